// The six panel forms: controls bound once, named for assistive technology, input as needed.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "ui/TavrixV20.h"
#include "ui/TavrixV20Panels.h"

namespace {

using namespace ui;

const platform::PanelDef& Def(int resourceId) {
    for (const platform::PanelDef& def : PanelResources())
        if (def.resourceId == resourceId) return def;
    throw std::runtime_error("no such panel resource");
}

std::unique_ptr<QWidget> Build(int resourceId) { return std::unique_ptr<QWidget>(Def(resourceId).create()); }

template <class T = QWidget>
T* Child(QWidget* panel, const char* objectName) {
    T* child = panel->findChild<T*>(objectName);
    if (child == nullptr) throw std::runtime_error(std::string("no widget ") + objectName);
    return child;
}

// The controls the program only writes to: they take no input and tell their value.
const std::set<std::pair<int, int>> kIndicators = {
    {DATAP, DATAP_RAW},     {DATAP, DATAP_REF},     {DATAP, DATAP_TEMP},        {DATAP, DATAP_LED_OUT},
    {DATAP, DATAP_STATUS},  {DATAP, DATAP_COMPORT}, {DATAP, DATAP_IPADDRESS},   {INTERFACEP, INTERFACEP_STATUS},
    {RECP, RECP_DAYS},      {RECP, RECP_HOURS},     {RECP, RECP_MINUTES},       {RECP, RECP_SECONDS},
    {RECP, RECP_RECORDED},  {RECP, RECP_REMAINING}, {RECP, RECP_RUNNING_COUNT}, {RECP, RECP_FILE},
    {RECP, RECP_SENSOR_ID}, {GRAPHP, GRAPHP_RAW},   {GRAPHP, GRAPHP_TEMP}};
// The buttons that stay pressed: the memory selector and the grid.
const std::set<std::pair<int, int>> kToggles = {
    {MAINP, MAINP_SELECT_RAM}, {MAINP, MAINP_SELECT_EEPROM}, {MAINP, MAINP_SELECT_FILE}, {DATAP, DATAP_GRID}};

// Widgets a user can operate or read: each needs a name that assistive technology can say.
bool IsUserFacing(QWidget* w) {
    return qobject_cast<QAbstractButton*>(w) || qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QComboBox*>(w) ||
           qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractSlider*>(w) || qobject_cast<QPlainTextEdit*>(w) ||
           qobject_cast<QProgressBar*>(w);
}

// The panel and the plain frames that group some of its widgets.
std::vector<QWidget*> Containers(QWidget* panel) {
    std::vector<QWidget*> containers = {panel};
    for (QFrame* frame : panel->findChildren<QFrame*>())
        if (QString(frame->metaObject()->className()) == "QFrame") containers.push_back(frame);
    return containers;
}

// What assistive technology reads as a widget's value, and what the widget shows.
QString AccessibleValue(QWidget* w) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    if (a == nullptr) return "<no interface>";
    if (QAccessibleValueInterface* value = a->valueInterface()) return value->currentValue().toString();
    return a->text(QAccessible::Value);
}
QString Shown(QWidget* w) { return w->property(qobject_cast<QPlainTextEdit*>(w) ? "plainText" : "text").toString(); }

TEST(PanelResources, EveryControlIsBoundOnceNamedAndReadsOrTakesInputAsNeeded) {
    RegisterPanelResources();
    const int main = platform::LoadPanel(0, MAINP);
    ASSERT_GT(main, 0);
    for (const platform::PanelDef& def : PanelResources()) {
        SCOPED_TRACE(def.name);
        const int panel = def.resourceId == MAINP ? main : platform::LoadPanel(main, def.resourceId);
        ASSERT_GT(panel, 0);
        std::set<int> ids;
        std::set<QWidget*> named;   // controls and the other widgets the form places
        std::unique_ptr<QWidget> form = Build(def.resourceId);
        for (const platform::ControlDef& control : def.controls) {
            SCOPED_TRACE(control.objectName);
            EXPECT_TRUE(ids.insert(control.id).second) << "id listed twice";
            QWidget* w = platform::ControlWidget(panel, control.id);
            ASSERT_NE(w, nullptr);
            EXPECT_EQ(w->objectName(), control.objectName);
            EXPECT_EQ(form->findChildren<QWidget*>(control.objectName).size(), 1);
            named.insert(Child(form.get(), control.objectName));
            const std::pair<int, int> key{def.resourceId, control.id};
            EXPECT_EQ(w->property("readOnly").toBool(), kIndicators.count(key) == 1);
            EXPECT_EQ(w->property("checkable").toBool(), kToggles.count(key) == 1);
            if (kIndicators.count(key)) {
                EXPECT_EQ(qobject_cast<QPlainTextEdit*>(w) ? platform::SetCtrlVal(panel, control.id, "7")
                                                           : platform::SetCtrlVal(panel, control.id, 7),
                          0);
                EXPECT_EQ(AccessibleValue(w), Shown(w).isEmpty() ? "not empty" : Shown(w));
            }
            if (auto* ring = qobject_cast<QComboBox*>(w)) {   // items carry their number
                EXPECT_FALSE(ring->isEditable());
                for (int i = 0; i < ring->count(); ++i)
                    EXPECT_EQ(ring->itemData(i), control.id == INTERFACEP_COMPORT && key.first == INTERFACEP
                                                     ? QVariant(ring->itemText(i).toInt())
                                                     : QVariant(i));
            }
            if (auto* spin = qobject_cast<QSpinBox*>(w))   // values travel as 16-bit words
                EXPECT_TRUE(spin->minimum() >= 0 && spin->maximum() <= 65535);
        }
        for (QWidget* container : Containers(form.get()))
            for (QWidget* w : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (IsUserFacing(w)) named.insert(w);
        std::map<QString, QString> owner;
        for (QWidget* w : named) {
            SCOPED_TRACE(w->objectName().toStdString());
            EXPECT_FALSE(w->accessibleName().trimmed().isEmpty());
            auto [it, fresh] = owner.emplace(w->accessibleName(), w->objectName());
            EXPECT_TRUE(fresh) << "same name as " << it->second.toStdString();
        }
    }
    platform::DiscardPanel(main);
}

// Captions follow their controls (also on a hidden panel); the POWER box mirrors the slider
// both ways, also when the program sets the slider without raising events.
TEST(PanelForms, CompanionWidgetsFollowTheirControls) {
    for (const platform::PanelDef& def : PanelResources()) {
        std::unique_ptr<QWidget> panel = Build(def.resourceId);
        for (QLabel* caption : panel->findChildren<QLabel*>()) {
            QWidget* control = caption->buddy();
            if (control == nullptr) continue;
            SCOPED_TRACE(caption->objectName().toStdString());
            for (bool on : {false, true}) {
                control->setEnabled(on);
                control->setVisible(on);
                EXPECT_TRUE(caption->isEnabled() == on && caption->isHidden() == !on) << on;
            }
        }
    }
    std::unique_ptr<QWidget> para = Build(PARAP);
    auto* power = Child<QSlider>(para.get(), "power");
    auto* box = Child<QSpinBox>(para.get(), "powerValue");
    power->blockSignals(true);   // as the program sets values: without raising events
    power->setValue(731);
    EXPECT_EQ(box->value(), 731);
    box->setValue(5000);
    EXPECT_EQ(power->value(), 1000);
    power->setEnabled(false);
    EXPECT_FALSE(box->isEnabled());
}

}   // namespace
