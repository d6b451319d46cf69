// Turns Qt signals and input events of panel widgets into control and panel events.
#include "platform/panelstate.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSlider>
#include <QSpinBox>

namespace platform {
namespace {

// A control found from the widget that received an event.
struct ControlRef {
    int m_panel = 0;
    int m_control = 0;
    ControlEntry* m_entry = nullptr;
};

// Walks up from the receiving widget (which may be an inner part of a control, such as a
// spin box's line edit or a chart's viewport) to the control widget.
ControlRef ResolveControl(QObject* receiver) {
    if (!receiver->isWidgetType()) return {};
    for (auto* w = static_cast<QWidget*>(receiver); w != nullptr; w = w->parentWidget()) {
        const QVariant control = w->property(kControlProperty);
        if (control.isValid()) {
            const int panel = w->property(kPanelProperty).toInt();
            int error = 0;
            ControlEntry* entry = FindControl(panel, control.toInt(), error);
            if (entry == nullptr || entry->m_widget != w) return {};
            return {panel, control.toInt(), entry};
        }
        if (w->isWindow() || w->property(kPanelProperty).isValid()) return {};
    }
    return {};
}

// An event ignored by an inner widget travels on to its parents; each control sees one
// mouse event only once.
bool FirstDelivery(const QInputEvent* event, const QWidget* controlWidget) {
    static const QEvent* lastEvent = nullptr;
    static const QWidget* lastWidget = nullptr;
    static quint64 lastTimestamp = 0;
    static QEvent::Type lastType = QEvent::None;
    if (event == lastEvent && controlWidget == lastWidget && event->timestamp() == lastTimestamp &&
        event->type() == lastType) {
        return false;
    }
    lastEvent = event;
    lastWidget = controlWidget;
    lastTimestamp = event->timestamp();
    lastType = event->type();
    return true;
}

// Controls that stay fully visible in indicator mode but ignore the user's input here
// (line edits and spin boxes are made read-only instead).
bool InertInIndicatorMode(const ControlEntry& entry) {
    if (entry.m_mode != kModeIndicator) return false;
    switch (entry.m_kind) {
    case CtrlKind::Command:
    case CtrlKind::Toggle:
    case CtrlKind::Ring:
    case CtrlKind::Slider:
        return true;
    default:
        return false;
    }
}

// Windows-style virtual-key numbers of the keys that have no printable character.
struct VirtualKey {
    int m_qtKey = 0;
    int m_code = 0;
};
constexpr int kVirtualKeyBase = 0xE000;
constexpr VirtualKey kVirtualKeys[] = {
    {Qt::Key_Backspace, kKeyBackspace},
    {Qt::Key_Tab, kKeyTab},
    {Qt::Key_Backtab, kKeyTab},
    {Qt::Key_Return, kKeyEnter},
    {Qt::Key_Enter, kKeyEnter},
    {Qt::Key_Escape, kKeyEscape},
    {Qt::Key_Up, kKeyUp},
    {Qt::Key_Down, kKeyDown},
    {Qt::Key_Delete, kKeyDelete},
    {Qt::Key_Left, kVirtualKeyBase + 0x25},
    {Qt::Key_Right, kVirtualKeyBase + 0x27},
    {Qt::Key_Home, kVirtualKeyBase + 0x24},
    {Qt::Key_End, kVirtualKeyBase + 0x23},
    {Qt::Key_PageUp, kVirtualKeyBase + 0x21},
    {Qt::Key_PageDown, kVirtualKeyBase + 0x22},
    {Qt::Key_Insert, kVirtualKeyBase + 0x2D},
};
constexpr int kVirtualKeyF1 = kVirtualKeyBase + 0x70;

// The key code of EVENT_KEYPRESS, 0 for keys that raise no event (modifiers alone). A key
// whose text is a control character (Ctrl+X gives 0x18) gives that character's code.
int KeyCode(const QKeyEvent* event) {
    int code = 0;
    const QString text = event->text();
    if (text.size() == 1 && text[0].isPrint()) {
        code = text[0].unicode();
    } else if (text.size() == 2 && text[0].isHighSurrogate()) {
        code = static_cast<int>(QChar::surrogateToUcs4(text[0], text[1]));
    } else if (event->key() >= Qt::Key_F1 && event->key() <= Qt::Key_F12) {
        code = kVirtualKeyF1 + (event->key() - Qt::Key_F1);
    } else {
        for (const VirtualKey& key : kVirtualKeys) {
            if (key.m_qtKey == event->key()) code = key.m_code;
        }
        if (code == 0 && text.size() == 1) code = text[0].unicode();
    }
    if (code != 0 && (event->modifiers() & Qt::ShiftModifier)) code |= kShiftModifier;
    return code;
}

bool HandleMouse(QObject* receiver, QMouseEvent* event) {
    const ControlRef ref = ResolveControl(receiver);
    if (ref.m_entry == nullptr) return false;
    const ControlEntry& entry = *ref.m_entry;
    const bool enabled = entry.m_widget->isEnabled();
    const bool first = FirstDelivery(event, entry.m_widget.data());
    if (event->button() == Qt::RightButton) {
        // A control with a callback owns its right clicks: the widget never sees them.
        if (entry.m_callback == nullptr) return false;
        if (event->type() == QEvent::MouseButtonPress && first && enabled) {
            Dispatch(ref.m_panel, ref.m_control, EVENT_RIGHT_CLICK, 0, 0);
        }
        return true;
    }
    const bool inert = InertInIndicatorMode(entry);
    if (event->button() == Qt::LeftButton && first && enabled) {
        if (event->type() == QEvent::MouseButtonPress) {
            Dispatch(ref.m_panel, ref.m_control, EVENT_LEFT_CLICK, 0, 0);
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            Dispatch(ref.m_panel, ref.m_control, EVENT_LEFT_DOUBLE_CLICK, 0, 0);
        }
    }
    return inert;
}

bool HandleKey(QObject* receiver, QKeyEvent* event) {
    const ControlRef ref = ResolveControl(receiver);
    if (ref.m_entry == nullptr) return false;
    const ControlEntry& entry = *ref.m_entry;
    const bool navigation = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    const bool inert = InertInIndicatorMode(entry) && !navigation;
    const bool reportsKeys = entry.m_kind == CtrlKind::String || entry.m_kind == CtrlKind::Ring;
    if (reportsKeys && entry.m_widget->isEnabled()) {
        const int code = KeyCode(event);
        if (code != 0 && Dispatch(ref.m_panel, ref.m_control, EVENT_KEYPRESS, code, 0) != 0) {
            return true;   // the callback swallowed the key
        }
    }
    return inert;
}

void HandleFocus(QObject* receiver, QEvent* event) {
    const ControlRef ref = ResolveControl(receiver);
    if (ref.m_entry == nullptr || ref.m_entry->m_widget != receiver) return;
    Dispatch(ref.m_panel, ref.m_control,
             event->type() == QEvent::FocusIn ? EVENT_GOT_FOCUS : EVENT_LOST_FOCUS, 0, 0);
}

// The user's close of a panel window is reported to the panel callback and refused: the
// callback decides what happens (usually QuitUserInterface).
bool HandleClose(QObject* receiver, QEvent* event) {
    if (!receiver->isWidgetType() || receiver->property(kControlProperty).isValid()) return false;
    const QVariant panel = receiver->property(kPanelProperty);
    if (!panel.isValid() || FindPanel(panel.toInt()) == nullptr) return false;
    event->ignore();
    Dispatch(panel.toInt(), 0, EVENT_CLOSE, 0, 0);
    return true;
}

bool ControlOwnsContextMenu(QObject* receiver) {
    const ControlRef ref = ResolveControl(receiver);
    return ref.m_entry != nullptr && ref.m_entry->m_callback != nullptr;
}

bool InertControl(QObject* receiver) {
    const ControlRef ref = ResolveControl(receiver);
    return ref.m_entry != nullptr && InertInIndicatorMode(*ref.m_entry);
}

// The application-wide filter that feeds the control and panel callbacks.
class EventRouter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            return HandleMouse(watched, static_cast<QMouseEvent*>(event));
        case QEvent::KeyPress:
            return HandleKey(watched, static_cast<QKeyEvent*>(event));
        case QEvent::FocusIn:
        case QEvent::FocusOut:
            HandleFocus(watched, event);
            return false;
        case QEvent::Close:
            return HandleClose(watched, event);
        case QEvent::ContextMenu:
            return ControlOwnsContextMenu(watched);
        case QEvent::Wheel:
        case QEvent::Shortcut:
            return InertControl(watched);
        default:
            return false;
        }
    }
};

QPointer<EventRouter> eventRouter;

// Each signal handler looks its control up again: a callback may have discarded it.
void Send(int panel, int control, int event) {
    if (programmaticChange == 0) Dispatch(panel, control, event, 0, 0);
}

void BindSpinBox(int panel, int control, QSpinBox* spin) {
    // The value changes once per arrow step, Enter or leaving the field, not per keystroke.
    spin->setKeyboardTracking(false);
    QObject::connect(spin, &QSpinBox::valueChanged, spin, [panel, control] {
        Send(panel, control, EVENT_VAL_CHANGED);
        Send(panel, control, EVENT_COMMIT);
    });
}

void BindSlider(int panel, int control, QSlider* slider) {
    QObject::connect(slider, &QSlider::valueChanged, slider, [panel, control, slider] {
        Send(panel, control, EVENT_VAL_CHANGED);
        // Keyboard steps, page clicks and the wheel end at once; a drag ends on release.
        if (!slider->isSliderDown()) Send(panel, control, EVENT_COMMIT);
    });
    QObject::connect(slider, &QSlider::sliderReleased, slider,
                     [panel, control] { Send(panel, control, EVENT_COMMIT); });
}

void BindRing(int panel, int control, QComboBox* ring) {
    QObject::connect(ring, &QComboBox::activated, ring, [panel, control] {
        Send(panel, control, EVENT_VAL_CHANGED);
        Send(panel, control, EVENT_COMMIT);
    });
}

void SetEdited(int panel, int control, bool edited) {
    int error = 0;
    if (ControlEntry* entry = FindControl(panel, control, error)) entry->m_edited = edited;
}

bool Edited(int panel, int control) {
    int error = 0;
    ControlEntry* entry = FindControl(panel, control, error);
    return entry != nullptr && entry->m_edited;
}

void BindLineEdit(int panel, int control, QLineEdit* edit) {
    QObject::connect(edit, &QLineEdit::textEdited, edit, [panel, control] {
        SetEdited(panel, control, true);
        Send(panel, control, EVENT_VAL_CHANGED);
    });
    QObject::connect(edit, &QLineEdit::returnPressed, edit, [panel, control] {
        SetEdited(panel, control, false);
        Send(panel, control, EVENT_COMMIT);
    });
    // Leaving the field commits only what the user edited.
    QObject::connect(edit, &QLineEdit::editingFinished, edit, [panel, control] {
        if (!Edited(panel, control)) return;
        SetEdited(panel, control, false);
        Send(panel, control, EVENT_COMMIT);
    });
}

// A click moves the focus to the button, which ends the edit in the control the user was
// typing into; a shortcut key or an accessibility action presses the button without that.
// Either way the edit is committed first (its value-changed and commit events run), so the
// button acts on what the panel shows.
void CommitPendingEdit() {
    QWidget* focused = QApplication::focusWidget();
    if (focused == nullptr || programmaticChange != 0) return;
    auto* spin = qobject_cast<QAbstractSpinBox*>(focused);
    if (spin == nullptr) spin = qobject_cast<QAbstractSpinBox*>(focused->parentWidget());
    if (spin != nullptr) {
        spin->interpretText();   // signals the typed value if it differs from the last one
        return;
    }
    const ControlRef ref = ResolveControl(focused);
    if (ref.m_entry == nullptr || !Edited(ref.m_panel, ref.m_control)) return;
    SetEdited(ref.m_panel, ref.m_control, false);
    Send(ref.m_panel, ref.m_control, EVENT_COMMIT);
}

// A command button commits when pressed; a toggle reports every change of its state, also
// one made by an accessibility action or a keyboard, not only a click.
void BindButton(int panel, int control, QAbstractButton* button, CtrlKind kind) {
    if (kind == CtrlKind::Toggle) {
        QObject::connect(button, &QAbstractButton::toggled, button, [panel, control] {
            CommitPendingEdit();
            Send(panel, control, EVENT_VAL_CHANGED);
        });
        return;
    }
    QObject::connect(button, &QAbstractButton::clicked, button, [panel, control] {
        CommitPendingEdit();
        Send(panel, control, EVENT_COMMIT);
    });
}

}   // namespace

CtrlKind KindOfWidget(QWidget* widget) {
    if (widget->property(kKindProperty).toString() == QLatin1String("led")) return CtrlKind::Led;
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        return button->isCheckable() ? CtrlKind::Toggle : CtrlKind::Command;
    }
    if (qobject_cast<QSpinBox*>(widget)) return CtrlKind::Numeric;
    if (qobject_cast<QSlider*>(widget)) return CtrlKind::Slider;
    if (qobject_cast<QComboBox*>(widget)) return CtrlKind::Ring;
    if (qobject_cast<QLineEdit*>(widget)) return CtrlKind::String;
    if (qobject_cast<QPlainTextEdit*>(widget)) return CtrlKind::TextBox;
    if (qobject_cast<QProgressBar*>(widget)) return CtrlKind::Progress;
    if (qobject_cast<QLabel*>(widget)) return CtrlKind::Label;
    // Only a plain QFrame is a decoration; its subclasses (views, charts) are graphs.
    if (widget->metaObject() == &QFrame::staticMetaObject) return CtrlKind::Decoration;
    return CtrlKind::Graph;
}

void BindControl(int panel, int control, ControlEntry& entry) {
    QWidget* widget = entry.m_widget.data();
    switch (entry.m_kind) {
    case CtrlKind::Command:
    case CtrlKind::Toggle:
        BindButton(panel, control, static_cast<QAbstractButton*>(widget), entry.m_kind);
        break;
    case CtrlKind::Numeric:
        BindSpinBox(panel, control, static_cast<QSpinBox*>(widget));
        break;
    case CtrlKind::Slider:
        BindSlider(panel, control, static_cast<QSlider*>(widget));
        break;
    case CtrlKind::Ring:
        BindRing(panel, control, static_cast<QComboBox*>(widget));
        break;
    case CtrlKind::String:
        BindLineEdit(panel, control, static_cast<QLineEdit*>(widget));
        break;
    default:
        break;   // the rest raise only mouse, key and focus events
    }
}

void InstallEventRouting() {
    if (eventRouter || QCoreApplication::instance() == nullptr) return;
    eventRouter = new EventRouter(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(eventRouter);
}

}   // namespace platform
