// Checks of the six panel forms: every control is bound once to a widget that reads or takes
// input as the program needs, is named for assistive technology, the function keys belong to
// the command buttons, the panels fit their places in the main window without overlapping,
// and the charts grow with the window.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSignalSpy>
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

std::unique_ptr<QWidget> Build(int resourceId) {
    return std::unique_ptr<QWidget>(Def(resourceId).create());
}

template <class T = QWidget>
T* Child(QWidget* panel, const char* objectName) {
    T* child = panel->findChild<T*>(objectName);
    if (child == nullptr) throw std::runtime_error(std::string("no widget ") + objectName);
    return child;
}

// The controls the program only writes to: they must take no input.
const std::set<std::pair<int, int>> kIndicators = {
    {DATAP, DATAP_RAW}, {DATAP, DATAP_REF}, {DATAP, DATAP_TEMP}, {DATAP, DATAP_LED_OUT},
    {DATAP, DATAP_STATUS}, {DATAP, DATAP_COMPORT}, {DATAP, DATAP_IPADDRESS},
    {INTERFACEP, INTERFACEP_STATUS}, {RECP, RECP_DAYS}, {RECP, RECP_HOURS},
    {RECP, RECP_MINUTES}, {RECP, RECP_SECONDS}, {RECP, RECP_RECORDED}, {RECP, RECP_REMAINING},
    {RECP, RECP_RUNNING_COUNT}, {RECP, RECP_FILE}, {RECP, RECP_SENSOR_ID},
    {GRAPHP, GRAPHP_RAW}, {GRAPHP, GRAPHP_TEMP}};
// The buttons that stay pressed: the memory selector and the grid.
const std::set<std::pair<int, int>> kToggles = {
    {MAINP, MAINP_SELECT_RAM}, {MAINP, MAINP_SELECT_EEPROM}, {MAINP, MAINP_SELECT_FILE},
    {DATAP, DATAP_GRID}};

TEST(PanelResourcesInPlatform, EveryControlIsBoundOnceToAWidgetThatReadsOrTakesInputAsNeeded) {
    RegisterPanelResources();
    const int main = platform::LoadPanel(0, MAINP);
    ASSERT_GT(main, 0);
    for (const platform::PanelDef& def : PanelResources()) {
        SCOPED_TRACE(def.name);
        const int panel =
            def.resourceId == MAINP ? main : platform::LoadPanel(main, def.resourceId);
        ASSERT_GT(panel, 0);
        int count = 0;
        EXPECT_GE(platform::GetPanelAttribute(panel, platform::ATTR_PANEL_NUM_CTRLS, count), 0);
        EXPECT_EQ(count, static_cast<int>(def.controls.size()));
        std::set<int> ids;
        std::unique_ptr<QWidget> form = Build(def.resourceId);
        for (const platform::ControlDef& control : def.controls) {
            SCOPED_TRACE(control.objectName);
            EXPECT_TRUE(ids.insert(control.id).second) << "id listed twice";
            QWidget* w = platform::ControlWidget(panel, control.id);
            ASSERT_NE(w, nullptr);
            EXPECT_EQ(w->objectName(), control.objectName);
            EXPECT_EQ(form->findChildren<QWidget*>(control.objectName).size(), 1);
            const std::pair<int, int> key{def.resourceId, control.id};
            EXPECT_EQ(w->property("readOnly").toBool(), kIndicators.count(key) == 1);
            EXPECT_EQ(w->property("checkable").toBool(), kToggles.count(key) == 1);
            EXPECT_EQ(w->property("tavrixKind").toString() == "led",
                      (key == std::pair<int, int>{DATAP, DATAP_LED_OUT}));
            if (auto* ring = qobject_cast<QComboBox*>(w)) {
                EXPECT_FALSE(ring->isEditable());
            }
        }
    }
    platform::DiscardPanel(main);
}

// Widgets a user can operate or read: each needs a name that assistive technology can say.
bool IsUserFacing(QWidget* w) {
    return qobject_cast<QAbstractButton*>(w) || qobject_cast<QAbstractSpinBox*>(w) ||
           qobject_cast<QComboBox*>(w) || qobject_cast<QLineEdit*>(w) ||
           qobject_cast<QAbstractSlider*>(w) || qobject_cast<QPlainTextEdit*>(w) ||
           qobject_cast<QProgressBar*>(w);
}

// The panel and the plain frames that group some of its widgets.
std::vector<QWidget*> Containers(QWidget* panel) {
    std::vector<QWidget*> containers = {panel};
    for (QFrame* frame : panel->findChildren<QFrame*>())
        if (QString(frame->metaObject()->className()) == "QFrame") containers.push_back(frame);
    return containers;
}

TEST(PanelForms, ControlsAndEveryOperableWidgetHaveDistinctAccessibleNames) {
    for (const platform::PanelDef& def : PanelResources()) {
        SCOPED_TRACE(def.name);
        std::unique_ptr<QWidget> panel = Build(def.resourceId);
        std::set<QWidget*> named;
        for (const platform::ControlDef& control : def.controls)
            named.insert(Child(panel.get(), control.objectName));
        // The widgets the form places, without the inner parts of spin boxes, charts and so on.
        for (QWidget* container : Containers(panel.get()))
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
}

// Rectangles of the main window's areas, in its coordinates.
constexpr int kMainWidth = 996;
constexpr int kMainHeight = 640;
const QPoint kChildPanelPos(8, 93);   // left, top of the parameter, connection and recorder panels
const QPoint kDataPanelPos(288, 63);  // left, top of the data and graph panels

// With every child panel shown in the main window, F9 to F12 typed in the parameter panel press
// SEND, GET, GO and STOP; a second button with one of these keys would make the key ambiguous.
TEST(PanelForms, FunctionKeysPressTheCommandButtonsFromAChildPanel) {
    std::unique_ptr<QWidget> main = Build(MAINP);
    QWidget* para = nullptr;
    for (int id : {PARAP, DATAP, INTERFACEP, RECP, GRAPHP}) {
        QWidget* panel = Def(id).create();
        panel->setParent(main.get());
        panel->move(id == PARAP ? kChildPanelPos : QPoint(0, 0));
        panel->show();
        if (id == PARAP) para = panel;
    }
    main->show();
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
    auto* tolerance = Child<QSpinBox>(para, "tolerance");
    tolerance->setFocus();
    const std::map<std::string, Qt::Key> keys = {{"buttonSend", Qt::Key_F9},
                                                 {"buttonGet", Qt::Key_F10},
                                                 {"buttonGo", Qt::Key_F11},
                                                 {"buttonStop", Qt::Key_F12}};
    for (const auto& [name, key] : keys) {
        QSignalSpy clicked(main->findChild<QPushButton*>(name.c_str(), Qt::FindDirectChildrenOnly),
                           &QPushButton::clicked);
        QTest::keyClick(tolerance, key);
        // A shortcut presses the button visibly: the click follows after a short animation.
        EXPECT_TRUE(QTest::qWaitFor([&] { return clicked.count() == 1; }, 5000)) << name;
    }
}

TEST(PanelLayout, ChildPanelsFitTheirPlacesInTheMainWindow) {
    std::unique_ptr<QWidget> main = Build(MAINP);
    ASSERT_EQ(main->size(), QSize(kMainWidth, kMainHeight));
    const QRect window(0, 0, kMainWidth, kMainHeight);
    QRect childButtons, commands;   // the child-panel buttons; the selector and the commands
    for (const char* name : {"buttonConnect", "buttonPara", "buttonRecorder"})
        childButtons |= Child(main.get(), name)->geometry();
    for (const char* name : {"selectRam", "selectEeprom", "selectFile", "buttonSend", "buttonGet",
                             "buttonGo", "buttonStop"})
        commands |= Child(main.get(), name)->geometry();
    std::vector<QRect> places;
    for (int id : {DATAP, GRAPHP, PARAP, INTERFACEP, RECP}) {
        SCOPED_TRACE(Def(id).name);
        const bool right = id == DATAP || id == GRAPHP;
        std::unique_ptr<QWidget> panel = Build(id);
        const QRect place(right ? kDataPanelPos : kChildPanelPos, panel->size());
        EXPECT_TRUE(window.contains(place));
        EXPECT_FALSE(place.intersects(childButtons) || place.intersects(commands));
        if (!right) {
            EXPECT_LE(panel->width(), 272);
            EXPECT_LE(panel->height(), 470);
            for (const QRect& r : places) EXPECT_FALSE(place.intersects(r));   // the right side
        } else {
            places.push_back(place);
        }
    }
}

// Widgets that the program shows one at a time share a place; nothing else may overlap.
const std::vector<std::set<std::string>> kSharedPlaces = {
    {"banner", "logo"},
    {"dispComPort", "dispIpAddress", "labelComPort", "labelIpAddress"},
    {"comPort", "ipAddress", "labelComPort", "labelIpAddress"},
    {"recVal", "dispRunningCount", "labelRecVal", "labelRunningCount"},
    {"buttonStart", "buttonTrigStart", "buttonManualRecord"},
    {"buttonStop", "buttonTrigStop", "buttonManualRecord"},
    {"graphRaw", "graphTemp"},
};

bool SharePlace(const QWidget* a, const QWidget* b) {
    const std::string first = a->objectName().toStdString(), second = b->objectName().toStdString();
    for (const auto& group : kSharedPlaces)
        if (group.count(first) && group.count(second)) return true;
    return false;
}

TEST(PanelLayout, WidgetsLieInsideTheirParentAndDoNotOverlap) {
    for (const platform::PanelDef& def : PanelResources()) {
        SCOPED_TRACE(def.name);
        std::unique_ptr<QWidget> panel = Build(def.resourceId);
        for (QWidget* parent : Containers(panel.get())) {
            const auto kids = parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
            for (QWidget* a : kids) {
                EXPECT_TRUE(parent->rect().contains(a->geometry()))
                    << a->objectName().toStdString() << " is cut off";
                for (QWidget* b : kids)
                    if (a < b && a->geometry().intersects(b->geometry()) && !SharePlace(a, b))
                        ADD_FAILURE() << a->objectName().toStdString() << " overlaps "
                                      << b->objectName().toStdString();
            }
        }
    }
    // The server address leaves room for the combo box's list button and frame on its left:
    // two pixels around, the list button as wide as the text is high.
    std::unique_ptr<QWidget> panel = Build(INTERFACEP);
    QWidget* text = Child(panel.get(), "ipAddress");
    const QRect t = text->geometry();
    const QRect frame(t.left() - t.height() - 1, t.top() - 2, t.width() + t.height() + 2,
                      t.height() + 4);
    EXPECT_TRUE(panel->rect().contains(frame));
    for (QWidget* other : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other == text || SharePlace(text, other)) continue;
        EXPECT_FALSE(frame.intersects(other->geometry())) << other->objectName().toStdString();
    }
}

// Ring items, as the user reads them, with the values the program reads from them.
TEST(PanelForms, RingItemsCarryTheirValues) {
    const std::map<std::pair<int, const char*>, std::vector<QString>> expected = {
        {{PARAP, "pmode"}, {"STAT", "DYN"}},
        {{PARAP, "outmode"}, {"DIRECT", "INVERSE"}},
        {{PARAP, "thresholdMode"}, {"LOW", "HI", "WIN"}},
        {{PARAP, "thresholdTracing"}, {"OFF", "ON"}},
        {{INTERFACEP, "protocol"}, {"RS232", "TCP/IP"}},
        {{RECP, "mode"}, {"TIMED", "CONTINUOUS", "MANUAL", "TRIGGERED"}},
        {{GRAPHP, "signalSelect"}, {"RAW", "TEMP"}},
    };
    for (const auto& [key, items] : expected) {
        std::unique_ptr<QWidget> panel = Build(key.first);
        auto* ring = Child<QComboBox>(panel.get(), key.second);
        SCOPED_TRACE(key.second);
        ASSERT_EQ(ring->count(), static_cast<int>(items.size()));
        EXPECT_EQ(ring->currentIndex(), 0);
        for (int i = 0; i < ring->count(); ++i) {
            EXPECT_EQ(ring->itemText(i), items[i]);
            EXPECT_EQ(ring->itemData(i).typeId(), QMetaType::Int);
            EXPECT_EQ(ring->itemData(i).toInt(), i);
        }
    }
}

TEST(PanelForms, ValuesFitSixteenBitWordsAndTextsTheirLimits) {
    for (const platform::PanelDef& def : PanelResources()) {
        std::unique_ptr<QWidget> panel = Build(def.resourceId);
        for (QSpinBox* spin : panel->findChildren<QSpinBox*>()) {
            EXPECT_GE(spin->minimum(), 0) << spin->objectName().toStdString();
            EXPECT_LE(spin->maximum(), 65535) << spin->objectName().toStdString();
        }
    }
    std::unique_ptr<QWidget> para = Build(PARAP);
    auto* power = Child<QSlider>(para.get(), "power");
    EXPECT_EQ(std::pair(power->minimum(), power->maximum()), std::pair(0, 1000));
    for (const char* name : {"tracingUp", "tracingDown"})
        EXPECT_EQ(Child<QSpinBox>(para.get(), name)->maximum(), 60000) << name;
    EXPECT_LT(Child<QSpinBox>(para.get(), "dynWinLo")->value(),
              Child<QSpinBox>(para.get(), "dynWinHi")->value());
    std::unique_ptr<QWidget> rec = Build(RECP);
    EXPECT_GE(Child<QSpinBox>(rec.get(), "interval")->minimum(), 1);
    std::unique_ptr<QWidget> iface = Build(INTERFACEP);
    for (auto [name, length] : {std::pair{"ipAddress", 99}, {"portNumber", 31}, {"sensorId", 99}})
        EXPECT_EQ(Child<QLineEdit>(iface.get(), name)->maxLength(), length) << name;
}

// The power value box mirrors the slider both ways and follows its state; captions follow
// their controls, also while the panel is hidden.
TEST(PanelForms, CompanionWidgetsFollowTheirControls) {
    std::unique_ptr<QWidget> para = Build(PARAP);
    auto* power = Child<QSlider>(para.get(), "power");
    auto* box = Child<QSpinBox>(para.get(), "powerValue");
    {
        // The program sets values without raising events: the box must follow all the same.
        const QSignalBlocker quiet(power);
        power->setValue(731);
    }
    EXPECT_EQ(box->value(), 731);
    box->setValue(5000);
    EXPECT_EQ(power->value(), 1000);
    power->setEnabled(false);
    EXPECT_FALSE(box->isEnabled());
    power->hide();
    EXPECT_TRUE(box->isHidden());
    Child(para.get(), "dynWinLo")->setEnabled(false);
    EXPECT_FALSE(Child(para.get(), "labelDynWinLo")->isEnabled());
    Child(para.get(), "dynWinLo")->setEnabled(true);
    EXPECT_TRUE(Child(para.get(), "labelDynWinLo")->isEnabled());

    std::unique_ptr<QWidget> iface = Build(INTERFACEP);
    ASSERT_FALSE(iface->isVisible());
    EXPECT_TRUE(Child(iface.get(), "labelIpAddress")->isHidden());
    EXPECT_FALSE(Child(iface.get(), "labelComPort")->isHidden());
    Child(iface.get(), "ipAddress")->show();
    Child(iface.get(), "comPort")->hide();
    EXPECT_FALSE(Child(iface.get(), "labelIpAddress")->isHidden());
    EXPECT_TRUE(Child(iface.get(), "labelComPort")->isHidden());
}

TEST(PanelResourcesInPlatform, ChartsGrowWithTheWindowWhileChildPanelsKeepTheirPlaces) {
    RegisterPanelResources();
    const int main = platform::LoadPanel(0, MAINP);
    const int para = platform::LoadPanel(main, PARAP);
    const int data = platform::LoadPanel(main, DATAP);
    const int graph = platform::LoadPanel(main, GRAPHP);
    platform::SetPanelPos(para, kChildPanelPos.y(), kChildPanelPos.x());
    platform::SetPanelPos(data, kDataPanelPos.y(), kDataPanelPos.x());
    platform::SetPanelPos(graph, kDataPanelPos.y(), kDataPanelPos.x());
    for (int panel : {main, para, data}) platform::DisplayPanel(panel);
    QWidget* window = platform::PanelWidget(main);
    const QSize initial = window->size();
    auto geometry = [](int panel, int control) {
        return platform::ControlWidget(panel, control)->geometry();
    };
    const QRect chart = geometry(data, DATAP_STRIPCHART);
    const QRect legend = geometry(data, DATAP_LEGEND);
    const QRect raw = geometry(data, DATAP_RAW);
    const QRect xy = geometry(graph, GRAPHP_GRAPH_RAW);

    window->resize(initial + QSize(300, 200));
    EXPECT_EQ(geometry(data, DATAP_STRIPCHART), chart.adjusted(0, 0, 300, 200));
    EXPECT_EQ(geometry(data, DATAP_LEGEND), legend.translated(0, 200));
    EXPECT_EQ(geometry(data, DATAP_RAW), raw);
    platform::DisplayPanel(graph);   // a panel hidden during the resize follows when shown
    EXPECT_EQ(geometry(graph, GRAPHP_GRAPH_RAW), xy.adjusted(0, 0, 300, 200));
    EXPECT_EQ(platform::PanelWidget(para)->pos(), kChildPanelPos);
    EXPECT_EQ(platform::PanelWidget(data)->pos(), kDataPanelPos);

    // Back at the default size everything is where the forms put it; smaller is refused.
    window->resize(initial);
    EXPECT_EQ(geometry(data, DATAP_STRIPCHART), chart);
    EXPECT_EQ(window->minimumSize(), initial);
    platform::DiscardPanel(main);
}

}  // namespace
