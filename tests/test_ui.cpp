// Checks of the six panel forms against the control tables: every control exists as the kind
// of widget the program drives, is named for assistive technology, the indicators report what
// they show, and the panels fit their places in the main window without overlapping.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QtCharts/QChartView>
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

// What the program drives each control as.
enum class Kind {
    Command, Toggle, Numeric, Slider, Ring, String, Display, Led, TextBox, Progress, Label,
    Decoration, Chart
};

const std::map<int, std::map<int, Kind>> kExpectedKinds = {
    {MAINP, {{MAINP_BUTTON_CONNECT, Kind::Command}, {MAINP_BUTTON_PARA, Kind::Command},
             {MAINP_BUTTON_RECORDER, Kind::Command}, {MAINP_SELECT_RAM, Kind::Toggle},
             {MAINP_SELECT_EEPROM, Kind::Toggle}, {MAINP_SELECT_FILE, Kind::Toggle},
             {MAINP_BUTTON_SEND, Kind::Command}, {MAINP_BUTTON_GET, Kind::Command},
             {MAINP_BUTTON_GO, Kind::Command}, {MAINP_BUTTON_STOP, Kind::Command},
             {MAINP_BANNER, Kind::Decoration}, {MAINP_LOGO, Kind::Label}}},
    {PARAP, {{PARAP_POWER, Kind::Slider}, {PARAP_PMODE, Kind::Ring},
             {PARAP_DYNWINLO, Kind::Numeric}, {PARAP_DYNWINHI, Kind::Numeric},
             {PARAP_AVERAGE, Kind::Numeric}, {PARAP_OUTMODE, Kind::Ring},
             {PARAP_HOLD, Kind::Numeric}, {PARAP_TRSHMODE, Kind::Ring},
             {PARAP_TRSHTRACING, Kind::Ring}, {PARAP_TRACINGUP, Kind::Numeric},
             {PARAP_TRACINGDOWN, Kind::Numeric}, {PARAP_TEACHVALUE, Kind::Numeric},
             {PARAP_TOLERANCE, Kind::Numeric}, {PARAP_HYSTERESIS, Kind::Numeric},
             {PARAP_BUTTON_TEACH, Kind::Command}}},
    {DATAP, {{DATAP_RAW, Kind::Display}, {DATAP_REF, Kind::Display},
             {DATAP_TEMP, Kind::Display}, {DATAP_LED_OUT, Kind::Led},
             {DATAP_STRIPCHART, Kind::Chart}, {DATAP_LEGEND, Kind::Label},
             {DATAP_GRID, Kind::Toggle}, {DATAP_BUTTON_SHOWGRAPH, Kind::Command},
             {DATAP_STATUS, Kind::Display}, {DATAP_COMPORT, Kind::Display},
             {DATAP_IPADDRESS, Kind::Display}, {DATAP_BUTTON_SAVECHART, Kind::Command}}},
    {INTERFACEP, {{INTERFACEP_PROTOCOL, Kind::Ring}, {INTERFACEP_COMPORT, Kind::Ring},
                  {INTERFACEP_IPADDRESS, Kind::String}, {INTERFACEP_PORTNUMBER, Kind::String},
                  {INTERFACEP_BUTTON_TRY, Kind::Command}, {INTERFACEP_BUTTON_ACCEPT, Kind::Command},
                  {INTERFACEP_BUTTON_DISCARD, Kind::Command}, {INTERFACEP_STATUS, Kind::Display},
                  {INTERFACEP_SENSOR_ID, Kind::String}}},
    {RECP, {{RECP_MODE, Kind::Ring}, {RECP_INTERVAL, Kind::Numeric},
            {RECP_RECVAL, Kind::Numeric}, {RECP_DAYS, Kind::Display},
            {RECP_HOURS, Kind::Display}, {RECP_MINUTES, Kind::Display},
            {RECP_SECONDS, Kind::Display}, {RECP_RECORDTIME_FRAME, Kind::Decoration},
            {RECP_RECORDED, Kind::Display}, {RECP_REMAINING, Kind::Display},
            {RECP_PROGRESS, Kind::Progress}, {RECP_RUNNING_COUNT, Kind::Display},
            {RECP_BUTTON_START, Kind::Command}, {RECP_BUTTON_STOP, Kind::Command},
            {RECP_BUTTON_TRIGSTART, Kind::Command}, {RECP_BUTTON_TRIGSTOP, Kind::Command},
            {RECP_BUTTON_MANUAL, Kind::Command}, {RECP_BUTTON_SELFILE, Kind::Command},
            {RECP_FILE, Kind::TextBox}, {RECP_SENSOR_ID, Kind::Display}}},
    {GRAPHP, {{GRAPHP_SIGNAL, Kind::Ring}, {GRAPHP_RAW, Kind::Display},
              {GRAPHP_TEMP, Kind::Display}, {GRAPHP_GRAPH_RAW, Kind::Chart},
              {GRAPHP_GRAPH_TEMP, Kind::Chart}, {GRAPHP_BUTTON_CLOSE, Kind::Command},
              {GRAPHP_BUTTON_SAVEGRAPH, Kind::Command}}},
};

bool IsKind(QWidget* w, Kind kind) {
    auto* button = qobject_cast<QPushButton*>(w);
    auto* edit = qobject_cast<QLineEdit*>(w);
    const bool led = w->property("tavrixKind").toString() == "led";
    switch (kind) {
    case Kind::Command: return button != nullptr && !button->isCheckable();
    case Kind::Toggle: return button != nullptr && button->isCheckable();
    case Kind::Numeric: {
        auto* spin = qobject_cast<QSpinBox*>(w);
        return spin != nullptr && !spin->isReadOnly();
    }
    case Kind::Slider: return qobject_cast<QSlider*>(w) != nullptr;
    case Kind::Ring: {
        auto* ring = qobject_cast<QComboBox*>(w);
        return ring != nullptr && !ring->isEditable();
    }
    case Kind::String: return edit != nullptr && !edit->isReadOnly() && !led;
    case Kind::Display: return edit != nullptr && edit->isReadOnly() && !led;
    case Kind::Led: return edit != nullptr && edit->isReadOnly() && led;
    case Kind::TextBox: {
        auto* box = qobject_cast<QPlainTextEdit*>(w);
        return box != nullptr && box->isReadOnly();
    }
    case Kind::Progress: return qobject_cast<QProgressBar*>(w) != nullptr;
    case Kind::Label: return qobject_cast<QLabel*>(w) != nullptr;
    case Kind::Decoration: return QString(w->metaObject()->className()) == "QFrame";
    case Kind::Chart: return qobject_cast<QChartView*>(w) != nullptr;
    }
    return false;
}

const platform::PanelDef& Def(int resourceId) {
    for (const platform::PanelDef& def : PanelResources()) {
        if (def.resourceId == resourceId) return def;
    }
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

QWidget* Control(QWidget* panel, int resourceId, int id) {
    for (const platform::ControlDef& control : Def(resourceId).controls) {
        if (control.id == id) return Child(panel, control.objectName);
    }
    throw std::runtime_error("no such control id");
}

TEST(PanelForms, EveryControlIdIsBoundOnceToOneWidgetOfItsKind) {
    ASSERT_EQ(PanelResources().size(), kExpectedKinds.size());
    for (const platform::PanelDef& def : PanelResources()) {
        SCOPED_TRACE(def.name);
        ASSERT_TRUE(kExpectedKinds.count(def.resourceId));
        const std::map<int, Kind>& expected = kExpectedKinds.at(def.resourceId);
        std::set<int> ids;
        for (const platform::ControlDef& control : def.controls) ids.insert(control.id);
        EXPECT_EQ(ids.size(), def.controls.size()) << "an id is listed twice";
        EXPECT_EQ(ids.size(), expected.size()) << "ids missing from the table";

        std::unique_ptr<QWidget> panel = Build(def.resourceId);
        for (const platform::ControlDef& control : def.controls) {
            SCOPED_TRACE(control.objectName);
            const auto widgets = panel->findChildren<QWidget*>(control.objectName);
            ASSERT_EQ(widgets.size(), 1);
            ASSERT_TRUE(expected.count(control.id));
            EXPECT_TRUE(IsKind(widgets.front(), expected.at(control.id)));
        }
    }
}

// Widgets a user can operate or read: each needs a name that assistive technology can say.
bool IsUserFacing(QWidget* w) {
    return qobject_cast<QAbstractButton*>(w) || qobject_cast<QAbstractSpinBox*>(w) ||
           qobject_cast<QComboBox*>(w) || qobject_cast<QLineEdit*>(w) ||
           qobject_cast<QAbstractSlider*>(w) || qobject_cast<QPlainTextEdit*>(w) ||
           qobject_cast<QProgressBar*>(w) || qobject_cast<QChartView*>(w);
}

// The panel and the plain frames that group some of its widgets.
std::vector<QWidget*> Containers(QWidget* panel) {
    std::vector<QWidget*> containers = {panel};
    for (QFrame* frame : panel->findChildren<QFrame*>()) {
        if (QString(frame->metaObject()->className()) == "QFrame") containers.push_back(frame);
    }
    return containers;
}

// The widgets the form places, without the inner parts of spin boxes, charts and the like.
std::vector<QWidget*> FormWidgets(QWidget* panel) {
    std::vector<QWidget*> widgets;
    for (QWidget* container : Containers(panel)) {
        for (QWidget* w : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            widgets.push_back(w);
        }
    }
    return widgets;
}

TEST(PanelForms, ControlsAndEveryOperableWidgetHaveDistinctAccessibleNames) {
    for (const platform::PanelDef& def : PanelResources()) {
        SCOPED_TRACE(def.name);
        std::unique_ptr<QWidget> panel = Build(def.resourceId);
        std::set<QWidget*> named;
        for (const platform::ControlDef& control : def.controls) {
            named.insert(Child(panel.get(), control.objectName));
        }
        for (QWidget* w : FormWidgets(panel.get())) {
            if (IsUserFacing(w)) named.insert(w);
        }
        std::map<QString, QString> owner;
        for (QWidget* w : named) {
            SCOPED_TRACE(w->objectName().toStdString());
            EXPECT_FALSE(w->accessibleName().trimmed().isEmpty());
            auto [it, fresh] = owner.emplace(w->accessibleName(), w->objectName());
            EXPECT_TRUE(fresh) << "same name as " << it->second.toStdString();
        }
    }
}

TEST(PanelForms, IndicatorsReportTheValueTheyShow) {
    for (const platform::PanelDef& def : PanelResources()) {
        std::unique_ptr<QWidget> panel = Build(def.resourceId);
        for (const auto& [id, kind] : kExpectedKinds.at(def.resourceId)) {
            if (kind != Kind::Display && kind != Kind::Led) continue;
            auto* display = qobject_cast<QLineEdit*>(Control(panel.get(), def.resourceId, id));
            SCOPED_TRACE(display->objectName().toStdString());
            display->setText("4093");
            QAccessibleInterface* a11y = QAccessible::queryAccessibleInterface(display);
            ASSERT_NE(a11y, nullptr);
            EXPECT_EQ(a11y->text(QAccessible::Value), "4093");
            ASSERT_NE(a11y->textInterface(), nullptr);
            EXPECT_EQ(a11y->textInterface()->text(0, 4), "4093");
        }
    }
    std::unique_ptr<QWidget> rec = Build(RECP);
    auto* box = Child<QPlainTextEdit>(rec.get(), "recordFile");
    box->setPlainText("/data/run 7/record.dat");
    QAccessibleInterface* a11y = QAccessible::queryAccessibleInterface(box);
    ASSERT_NE(a11y, nullptr);
    ASSERT_NE(a11y->textInterface(), nullptr);
    const int length = a11y->textInterface()->characterCount();
    EXPECT_EQ(a11y->textInterface()->text(0, length), "/data/run 7/record.dat");
}

TEST(PanelForms, FunctionKeysBelongToTheCommandButtonsAlone) {
    const std::map<std::string, QKeySequence> expected = {
        {"buttonSend", QKeySequence(Qt::Key_F9)}, {"buttonGet", QKeySequence(Qt::Key_F10)},
        {"buttonGo", QKeySequence(Qt::Key_F11)}, {"buttonStop", QKeySequence(Qt::Key_F12)}};
    for (const platform::PanelDef& def : PanelResources()) {
        std::unique_ptr<QWidget> panel = Build(def.resourceId);
        for (QAbstractButton* button : panel->findChildren<QAbstractButton*>()) {
            const auto found = expected.find(button->objectName().toStdString());
            const bool isCommand = def.resourceId == MAINP && found != expected.end();
            EXPECT_EQ(button->shortcut(), isCommand ? found->second : QKeySequence())
                << def.name << " " << button->objectName().toStdString();
        }
    }
}

// Rectangles of the main window's areas, in its coordinates.
constexpr int kMainWidth = 996;
constexpr int kMainHeight = 640;
const QPoint kChildPanelPos(8, 93);   // left, top of the parameter, connection and recorder panels
const QPoint kDataPanelPos(288, 63);  // left, top of the data and graph panels

TEST(PanelForms, FunctionKeyPressesTheCommandButtonInTheWindow) {
    std::unique_ptr<QWidget> main = Build(MAINP);
    QWidget* para = Def(PARAP).create();
    para->setParent(main.get());
    para->move(kChildPanelPos);
    para->show();
    main->show();
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
    auto* tolerance = Child<QSpinBox>(para, "tolerance");
    tolerance->setFocus();
    QSignalSpy go(Child<QPushButton>(main.get(), "buttonGo"), &QPushButton::clicked);
    QSignalSpy stop(Child<QPushButton>(main.get(), "buttonStop"), &QPushButton::clicked);
    QTest::keyClick(tolerance, Qt::Key_F11);
    QTest::keyClick(tolerance, Qt::Key_F12);
    // A shortcut presses the button visibly: the click follows after a short animation.
    EXPECT_TRUE(QTest::qWaitFor([&] { return go.count() == 1 && stop.count() == 1; }, 5000));
    EXPECT_EQ(go.count(), 1);
    EXPECT_EQ(stop.count(), 1);
}

TEST(PanelLayout, ChildPanelsFitTheirPlacesInTheMainWindow) {
    std::unique_ptr<QWidget> main = Build(MAINP);
    ASSERT_EQ(main->size(), QSize(kMainWidth, kMainHeight));
    const QRect window(0, 0, kMainWidth, kMainHeight);
    QRect lowestButtonRow;
    for (const char* name : {"buttonConnect", "buttonPara", "buttonRecorder"}) {
        lowestButtonRow |= Child(main.get(), name)->geometry();
    }
    QRect selectorAndCommands;
    for (const char* name : {"selectRam", "selectEeprom", "selectFile", "buttonSend", "buttonGet",
                             "buttonGo", "buttonStop"}) {
        selectorAndCommands |= Child(main.get(), name)->geometry();
    }
    std::vector<QRect> right;
    for (int id : {DATAP, GRAPHP}) {
        std::unique_ptr<QWidget> panel = Build(id);
        const QRect place(kDataPanelPos, panel->size());
        EXPECT_TRUE(window.contains(place)) << Def(id).name;
        EXPECT_FALSE(place.intersects(lowestButtonRow | selectorAndCommands)) << Def(id).name;
        right.push_back(place);
    }
    for (int id : {PARAP, INTERFACEP, RECP}) {
        SCOPED_TRACE(Def(id).name);
        std::unique_ptr<QWidget> panel = Build(id);
        const QRect place(kChildPanelPos, panel->size());
        EXPECT_LE(panel->width(), 272);
        EXPECT_LE(panel->height(), 470);
        EXPECT_TRUE(window.contains(place));
        EXPECT_FALSE(place.intersects(lowestButtonRow));
        EXPECT_FALSE(place.intersects(selectorAndCommands));
        for (const QRect& r : right) EXPECT_FALSE(place.intersects(r));
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
    for (const auto& group : kSharedPlaces) {
        if (group.count(a->objectName().toStdString()) && group.count(b->objectName().toStdString())) {
            return true;
        }
    }
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
                for (QWidget* b : kids) {
                    if (a < b && a->geometry().intersects(b->geometry()) && !SharePlace(a, b)) {
                        ADD_FAILURE() << a->objectName().toStdString() << " overlaps "
                                      << b->objectName().toStdString();
                    }
                }
            }
        }
    }
}

TEST(PanelLayout, ServerAddressLeavesRoomForTheComboListButtonAndFrame) {
    std::unique_ptr<QWidget> panel = Build(INTERFACEP);
    QWidget* text = Child(panel.get(), "ipAddress");
    const QRect t = text->geometry();
    const int h = t.height();
    // The larger of the two frame styles: two pixels around, the list button inside on the left.
    const QRect frame(t.left() - h - 1, t.top() - 2, t.width() + h + 2, h + 4);
    EXPECT_TRUE(panel->rect().contains(frame));
    for (QWidget* other : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other == text || SharePlace(text, other)) continue;
        EXPECT_FALSE(frame.intersects(other->geometry())) << other->objectName().toStdString();
    }
}

// Ring items, as the user reads them, with the values the program reads from them.
TEST(PanelForms, RingItemsCarryTheirValues) {
    const std::map<std::pair<int, int>, std::vector<std::pair<QString, int>>> expected = {
        {{PARAP, PARAP_PMODE}, {{"STAT", 0}, {"DYN", 1}}},
        {{PARAP, PARAP_OUTMODE}, {{"DIRECT", 0}, {"INVERSE", 1}}},
        {{PARAP, PARAP_TRSHMODE}, {{"LOW", 0}, {"HI", 1}, {"WIN", 2}}},
        {{PARAP, PARAP_TRSHTRACING}, {{"OFF", 0}, {"ON", 1}}},
        {{INTERFACEP, INTERFACEP_PROTOCOL}, {{"RS232", 0}, {"TCP/IP", 1}}},
        {{INTERFACEP, INTERFACEP_COMPORT},
         {{"1", 1}, {"2", 2}, {"3", 3}, {"4", 4}, {"5", 5}, {"6", 6}, {"7", 7}, {"8", 8}}},
        {{RECP, RECP_MODE}, {{"TIMED", 0}, {"CONTINUOUS", 1}, {"MANUAL", 2}, {"TRIGGERED", 3}}},
        {{GRAPHP, GRAPHP_SIGNAL}, {{"RAW", 0}, {"TEMP", 1}}},
    };
    size_t rings = 0;
    for (const auto& [resourceId, kinds] : kExpectedKinds) {
        for (const auto& [id, kind] : kinds) rings += kind == Kind::Ring;
    }
    EXPECT_EQ(expected.size(), rings);
    for (const auto& [key, items] : expected) {
        std::unique_ptr<QWidget> panel = Build(key.first);
        auto* ring = qobject_cast<QComboBox*>(Control(panel.get(), key.first, key.second));
        SCOPED_TRACE(ring->objectName().toStdString());
        ASSERT_EQ(ring->count(), static_cast<int>(items.size()));
        EXPECT_EQ(ring->currentIndex(), 0);
        for (int i = 0; i < ring->count(); ++i) {
            EXPECT_EQ(ring->itemText(i), items[i].first);
            EXPECT_EQ(ring->itemData(i).typeId(), QMetaType::Int);
            EXPECT_EQ(ring->itemData(i).toInt(), items[i].second);
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
    EXPECT_EQ(power->minimum(), 0);
    EXPECT_EQ(power->maximum(), 1000);
    for (const char* name : {"tracingUp", "tracingDown"}) {
        EXPECT_EQ(Child<QSpinBox>(para.get(), name)->maximum(), 60000) << name;
    }
    EXPECT_LT(Child<QSpinBox>(para.get(), "dynWinLo")->value(),
              Child<QSpinBox>(para.get(), "dynWinHi")->value());
    std::unique_ptr<QWidget> rec = Build(RECP);
    EXPECT_GE(Child<QSpinBox>(rec.get(), "interval")->minimum(), 1);
    std::unique_ptr<QWidget> iface = Build(INTERFACEP);
    EXPECT_EQ(Child<QLineEdit>(iface.get(), "ipAddress")->maxLength(), 99);
    EXPECT_EQ(Child<QLineEdit>(iface.get(), "portNumber")->maxLength(), 31);
    EXPECT_EQ(Child<QLineEdit>(iface.get(), "sensorId")->maxLength(), 99);
}

// The forms start in the state their rings select: STAT and OFF on the parameter panel,
// RS232 on the connection panel, timed recording, the raw graph.
TEST(PanelForms, InitialVisibilityAndDimmingMatchTheInitialRingValues) {
    std::unique_ptr<QWidget> para = Build(PARAP);
    for (const char* name : {"dynWinLo", "dynWinHi", "tracingUp", "tracingDown"}) {
        EXPECT_FALSE(Child(para.get(), name)->isEnabled()) << name;
    }
    for (const char* name : {"power", "powerValue", "teachValue", "buttonTeach"}) {
        EXPECT_TRUE(Child(para.get(), name)->isEnabled()) << name;
    }
    std::unique_ptr<QWidget> main = Build(MAINP);
    EXPECT_TRUE(Child<QPushButton>(main.get(), "selectRam")->isChecked());
    EXPECT_FALSE(Child<QPushButton>(main.get(), "selectEeprom")->isChecked());
    EXPECT_FALSE(Child<QPushButton>(main.get(), "selectFile")->isChecked());

    const std::map<int, std::vector<std::pair<const char*, bool>>> shown = {
        {INTERFACEP, {{"comPort", true}, {"ipAddress", false}, {"portNumber", false}}},
        {DATAP, {{"dispComPort", true}, {"dispIpAddress", false}}},
        {RECP, {{"interval", true}, {"recVal", true}, {"recordTimeFrame", true},
                {"dispRecorded", true}, {"dispRemaining", true}, {"dispRunningCount", false},
                {"buttonStart", true}, {"buttonStop", true}, {"buttonTrigStart", false},
                {"buttonTrigStop", false}, {"buttonManualRecord", false}}},
        {GRAPHP, {{"graphRaw", true}, {"graphTemp", false}}},
    };
    for (const auto& [resourceId, widgets] : shown) {
        std::unique_ptr<QWidget> panel = Build(resourceId);
        for (const auto& [name, visible] : widgets) {
            EXPECT_EQ(Child(panel.get(), name)->isHidden(), !visible) << name;
        }
    }
}

TEST(PanelForms, PowerValueBoxMirrorsTheSliderBothWaysAndFollowsItsState) {
    std::unique_ptr<QWidget> para = Build(PARAP);
    auto* power = Child<QSlider>(para.get(), "power");
    auto* box = Child<QSpinBox>(para.get(), "powerValue");
    EXPECT_EQ(box->value(), power->value());
    {
        // The program sets values without raising events: the box must follow all the same.
        const QSignalBlocker quiet(power);
        power->setValue(731);
    }
    EXPECT_EQ(box->value(), 731);
    box->setValue(120);
    EXPECT_EQ(power->value(), 120);
    box->setValue(5000);
    EXPECT_EQ(power->value(), 1000);

    power->setEnabled(false);
    EXPECT_FALSE(box->isEnabled());
    power->setEnabled(true);
    EXPECT_TRUE(box->isEnabled());
    power->hide();
    EXPECT_TRUE(box->isHidden());
}

TEST(PanelForms, CaptionsFollowTheirControlsWhileThePanelIsHidden) {
    std::unique_ptr<QWidget> iface = Build(INTERFACEP);
    ASSERT_FALSE(iface->isVisible());
    QWidget* server = Child(iface.get(), "ipAddress");
    QWidget* serverCaption = Child(iface.get(), "labelIpAddress");
    QWidget* portCaption = Child(iface.get(), "labelComPort");
    EXPECT_TRUE(serverCaption->isHidden());
    EXPECT_FALSE(portCaption->isHidden());
    server->show();
    Child(iface.get(), "comPort")->hide();
    EXPECT_FALSE(serverCaption->isHidden());
    EXPECT_TRUE(portCaption->isHidden());

    std::unique_ptr<QWidget> para = Build(PARAP);
    EXPECT_FALSE(Child(para.get(), "labelDynWinLo")->isEnabled());
    Child(para.get(), "dynWinLo")->setEnabled(true);
    EXPECT_TRUE(Child(para.get(), "labelDynWinLo")->isEnabled());
}

TEST(PanelResourcesInPlatform, EveryPanelLoadsAndBindsItsControls) {
    RegisterPanelResources();
    const int main = platform::LoadPanel(0, MAINP);
    ASSERT_GT(main, 0);
    for (const platform::PanelDef& def : PanelResources()) {
        SCOPED_TRACE(def.name);
        const int panel = def.resourceId == MAINP ? main : platform::LoadPanel(main, def.resourceId);
        ASSERT_GT(panel, 0);
        int count = 0;
        EXPECT_GE(platform::GetPanelAttribute(panel, platform::ATTR_PANEL_NUM_CTRLS, count), 0);
        EXPECT_EQ(count, static_cast<int>(def.controls.size()));
        for (const platform::ControlDef& control : def.controls) {
            QWidget* widget = platform::ControlWidget(panel, control.id);
            ASSERT_NE(widget, nullptr) << control.objectName;
            EXPECT_EQ(widget->objectName(), control.objectName);
        }
    }
    platform::DiscardPanel(main);
}

TEST(PanelResourcesInPlatform, ChartsGrowWithTheWindowWhileChildPanelsKeepTheirPlaces) {
    RegisterPanelResources();
    const int main = platform::LoadPanel(0, MAINP);
    const int para = platform::LoadPanel(main, PARAP);
    const int data = platform::LoadPanel(main, DATAP);
    const int graph = platform::LoadPanel(main, GRAPHP);
    platform::SetPanelPos(para, 93, 8);
    platform::SetPanelPos(data, 63, 288);
    platform::SetPanelPos(graph, 63, 288);
    for (int panel : {main, para, data}) platform::DisplayPanel(panel);
    QWidget* window = platform::PanelWidget(main);
    const QSize initial = window->size();
    const QRect chart = platform::ControlWidget(data, DATAP_STRIPCHART)->geometry();
    const QRect legend = platform::ControlWidget(data, DATAP_LEGEND)->geometry();
    const QRect raw = platform::ControlWidget(data, DATAP_RAW)->geometry();
    const QRect xy = platform::ControlWidget(graph, GRAPHP_GRAPH_RAW)->geometry();

    window->resize(initial + QSize(300, 200));
    EXPECT_EQ(platform::ControlWidget(data, DATAP_STRIPCHART)->geometry(),
              chart.adjusted(0, 0, 300, 200));
    EXPECT_EQ(platform::ControlWidget(data, DATAP_LEGEND)->geometry(), legend.translated(0, 200));
    EXPECT_EQ(platform::ControlWidget(data, DATAP_RAW)->geometry(), raw);
    platform::DisplayPanel(graph);   // a panel hidden during the resize follows when shown
    EXPECT_EQ(platform::ControlWidget(graph, GRAPHP_GRAPH_RAW)->geometry(),
              xy.adjusted(0, 0, 300, 200));
    EXPECT_EQ(platform::PanelWidget(para)->pos(), QPoint(8, 93));
    EXPECT_EQ(platform::PanelWidget(data)->pos(), QPoint(288, 63));

    // Back at the default size everything is where the forms put it; smaller is refused.
    window->resize(initial);
    EXPECT_EQ(platform::ControlWidget(data, DATAP_STRIPCHART)->geometry(), chart);
    EXPECT_EQ(window->minimumSize(), initial);
    platform::DiscardPanel(main);
}

}  // namespace
