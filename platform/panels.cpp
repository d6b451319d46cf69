// Panel resources, the panel table and callback dispatch.
#include "platform/panelstate.h"

#include <QAbstractSpinBox>
#include <QLineEdit>
#include <set>
#include <string>

namespace platform {
namespace {

std::map<std::string, CtrlCallbackPtr>& CallbackRegistry() {
    static std::map<std::string, CtrlCallbackPtr> registry;
    return registry;
}

CtrlCallbackPtr FindCallbackByName(const char* name) {
    return name != nullptr ? FindCallback(name) : nullptr;
}

// Operable controls that the form made read-only start as indicators.
int InitialMode(const ControlEntry& entry) {
    if (entry.m_kind == CtrlKind::Led) return kModeIndicator;
    if (auto* edit = qobject_cast<QLineEdit*>(entry.m_widget.data())) {
        return edit->isReadOnly() ? kModeIndicator : kModeHot;
    }
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(entry.m_widget.data())) {
        return spin->isReadOnly() ? kModeIndicator : kModeHot;
    }
    return kModeHot;
}

// The panel's controls in the order of the form's focus chain; controls outside the chain
// follow in id order.
std::vector<int> InitialTabOrder(const PanelEntry& panel) {
    std::map<const QWidget*, int> idOfWidget;
    for (const auto& [id, control] : panel.m_controls) idOfWidget[control.m_widget.data()] = id;
    std::vector<int> order;
    std::set<int> placed;
    QWidget* root = panel.m_widget.data();
    for (QWidget* w = root->nextInFocusChain(); w != nullptr && w != root;
         w = w->nextInFocusChain()) {
        auto found = idOfWidget.find(w);
        if (found != idOfWidget.end() && placed.insert(found->second).second) {
            order.push_back(found->second);
        }
    }
    for (const auto& [id, control] : panel.m_controls) {
        if (placed.insert(id).second) order.push_back(id);
    }
    return order;
}

// Finds every ControlDef's widget in the freshly built panel; false when one is missing.
bool BuildControlTable(const PanelDef& def, PanelEntry& panel) {
    for (const ControlDef& controlDef : def.controls) {
        auto* widget = panel.m_widget->findChild<QWidget*>(
            QString::fromUtf8(controlDef.objectName != nullptr ? controlDef.objectName : ""));
        if (widget == nullptr) return false;
        ControlEntry control;
        control.m_widget = widget;
        control.m_kind = KindOfWidget(widget);
        control.m_callback = FindCallbackByName(controlDef.callbackName);
        control.m_baseStyle = widget->styleSheet();
        control.m_mode = InitialMode(control);
        if (control.m_kind == CtrlKind::String)
            PaintFrameFromCache(static_cast<QLineEdit*>(widget));
        panel.m_controls[controlDef.id] = control;
    }
    return true;
}

void CollectChildPanels(int panel, std::vector<int>& handles) {
    for (const auto& [handle, entry] : panelTable) {
        if (entry.m_parent == panel) {
            handles.push_back(handle);
            CollectChildPanels(handle, handles);
        }
    }
}

}   // namespace

void RegisterCallbacks(std::initializer_list<NamedCallback> callbacks) {
    for (const NamedCallback& callback : callbacks)
        CallbackRegistry()[callback.m_name] = callback.m_fn;
}

CtrlCallbackPtr FindCallback(const std::string& name) {
    auto found = CallbackRegistry().find(name);
    return found != CallbackRegistry().end() ? found->second : nullptr;
}

void RegisterPanelResource(const PanelDef& def) { panelResources[def.resourceId] = def; }

PanelEntry* FindPanel(int panel) {
    auto found = panelTable.find(panel);
    if (found == panelTable.end() || found->second.m_widget.isNull()) return nullptr;
    return &found->second;
}

ControlEntry* FindControl(int panel, int control, int& error) {
    PanelEntry* entry = FindPanel(panel);
    if (entry == nullptr) {
        error = kErrBadPanel;
        return nullptr;
    }
    auto found = entry->m_controls.find(control);
    if (found == entry->m_controls.end() || found->second.m_widget.isNull()) {
        error = kErrBadControl;
        return nullptr;
    }
    return &found->second;
}

int Dispatch(int panel, int control, int event, int eventData1, int eventData2) {
    CtrlCallbackPtr callback = nullptr;
    void* callbackData = nullptr;
    if (control == 0) {
        PanelEntry* entry = FindPanel(panel);
        if (entry == nullptr) return 0;
        callback = entry->m_callback;
        callbackData = entry->m_callbackData;
    } else {
        int error = 0;
        ControlEntry* entry = FindControl(panel, control, error);
        if (entry == nullptr) return 0;
        callback = entry->m_callback;
        callbackData = entry->m_callbackData;
    }
    if (callback == nullptr) return 0;
    ++callbackDepth;
    const int result = callback(panel, control, event, callbackData, eventData1, eventData2);
    --callbackDepth;
    return result;
}

void DisposeWidget(QWidget* widget) {
    if (widget == nullptr) return;
    if (callbackDepth > 0) {
        // A callback of this widget (or of one inside it) may be on the stack, and Qt's own
        // signal emission above it still uses the widget.
        widget->hide();
        widget->deleteLater();
    } else {
        delete widget;
    }
}

int LoadPanel(int parentPanel, int resourceId) {
    auto resource = panelResources.find(resourceId);
    if (resource == panelResources.end() || resource->second.create == nullptr) {
        return kErrLoadPanel;
    }
    QWidget* parentWidget = nullptr;
    if (parentPanel != 0) {
        PanelEntry* parent = FindPanel(parentPanel);
        if (parent == nullptr) return kErrLoadPanel;
        parentWidget = parent->m_widget.data();
    }
    const PanelDef& def = resource->second;
    PanelEntry panel;
    panel.m_widget = def.create();
    if (panel.m_widget.isNull()) return kErrLoadPanel;
    if (!BuildControlTable(def, panel)) {
        delete panel.m_widget.data();
        return kErrLoadPanel;
    }
    panel.m_parent = parentPanel;
    panel.m_callback = FindCallbackByName(def.callbackName);
    panel.m_tabOrder = InitialTabOrder(panel);

    const int handle = nextPanelHandle++;
    PanelEntry& stored = panelTable[handle] = std::move(panel);
    stored.m_widget->setProperty(kPanelProperty, handle);
    for (auto& [id, control] : stored.m_controls) {
        control.m_widget->setProperty(kPanelProperty, handle);
        control.m_widget->setProperty(kControlProperty, id);
        BindControl(handle, id, control);
        ApplyStyle(control);
    }
    if (parentWidget != nullptr) {
        stored.m_widget->setParent(parentWidget);
        stored.m_widget->hide();
    }
    InstallEventRouting();
    return handle;
}

int DiscardPanel(int panel) {
    PanelEntry* entry = FindPanel(panel);
    if (entry == nullptr) return kErrBadPanel;
    QWidget* widget = entry->m_widget.data();
    std::vector<int> children;
    CollectChildPanels(panel, children);
    // Child panels are child widgets: they go with the parent's widget.
    for (int child : children) panelTable.erase(child);
    panelTable.erase(panel);
    DisposeWidget(widget);
    return 0;
}

int DisplayPanel(int panel) {
    PanelEntry* entry = FindPanel(panel);
    if (entry == nullptr) return kErrBadPanel;
    entry->m_widget->show();
    entry->m_widget->raise();
    return 0;
}

int HidePanel(int panel) {
    PanelEntry* entry = FindPanel(panel);
    if (entry == nullptr) return kErrBadPanel;
    entry->m_widget->hide();
    return 0;
}

int SetPanelPos(int panel, int top, int left) {
    PanelEntry* entry = FindPanel(panel);
    if (entry == nullptr) return kErrBadPanel;
    entry->m_widget->move(left, top);
    return 0;
}

int InstallPanelCallback(int panel, CtrlCallbackPtr fn, void* callbackData) {
    PanelEntry* entry = FindPanel(panel);
    if (entry == nullptr) return kErrBadPanel;
    entry->m_callback = fn;
    entry->m_callbackData = callbackData;
    return 0;
}

bool PanelVisible(int panel) {
    PanelEntry* entry = FindPanel(panel);
    return entry != nullptr && !entry->m_widget->isHidden();
}

int GetPanelAttribute(int panel, int attr, int& value) {
    PanelEntry* entry = FindPanel(panel);
    if (entry == nullptr) return kErrBadPanel;
    switch (attr) {
    case ATTR_PANEL_NUM_CTRLS:
        value = static_cast<int>(entry->m_controls.size());
        return 0;
    case ATTR_PANEL_TOP:
        value = entry->m_widget->y();
        return 0;
    case ATTR_PANEL_LEFT:
        value = entry->m_widget->x();
        return 0;
    default:
        return kErrBadAttribute;
    }
}

int InstallCtrlCallback(int panel, int control, CtrlCallbackPtr fn, void* callbackData) {
    int error = 0;
    ControlEntry* entry = FindControl(panel, control, error);
    if (entry == nullptr) return error;
    entry->m_callback = fn;
    entry->m_callbackData = callbackData;
    return 0;
}

int GetCtrlCallback(int panel, int control, CtrlCallbackPtr& fn, void*& callbackData) {
    int error = 0;
    ControlEntry* entry = FindControl(panel, control, error);
    if (entry == nullptr) return error;
    fn = entry->m_callback;
    callbackData = entry->m_callbackData;
    return 0;
}

QWidget* ControlWidget(int panel, int control) {
    int error = 0;
    ControlEntry* entry = FindControl(panel, control, error);
    return entry != nullptr ? entry->m_widget.data() : nullptr;
}

QWidget* PanelWidget(int panel) {
    PanelEntry* entry = FindPanel(panel);
    return entry != nullptr ? entry->m_widget.data() : nullptr;
}

}   // namespace platform
