// The platform layer against real widgets (offscreen), real input events, real loopback
// sockets and real pseudo-terminals.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QAccessible>
#include <QAbstractItemView>
#include <QAccessibleTextInterface>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

#include <poll.h>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

using namespace platform;

namespace {

// ---------------------------------------------------------------------------------------------
// A small panel resource built in the test

enum TestControl : int {
    kCmd = 1, kToggle, kSpin, kSlider, kRing, kText, kDisplay, kLed, kBox, kLabel, kFrame,
    kProgress, kChart, kQuiet,
};
constexpr int kTestResource = 40;
constexpr int kChildResource = 41;
constexpr int kBrokenResource = 42;

// A stand-in for a chart: counts the presses that reach it.
class PressCounter : public QWidget {  // a graph-like control that notes mouse presses
public:
    using QWidget::QWidget;
    int m_presses = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++m_presses; }
};

struct Seen {
    int panel;
    int control;
    int event;
    int data1;
};
std::vector<Seen> seen;
int swallowedKey = -1;

int Record(int panel, int control, int event, void*, int data1, int) {
    seen.push_back({panel, control, event, data1});
    return event == EVENT_KEYPRESS && data1 == swallowedKey ? 1 : 0;
}

std::vector<int> EventsOf(int control) {
    std::vector<int> events;
    for (const Seen& s : seen) {
        if (s.control == control) events.push_back(s.event);
    }
    return events;
}

// The same without focus changes, which clicks and typing bring along.
std::vector<int> InputEventsOf(int control) {
    std::vector<int> events;
    for (int event : EventsOf(control)) {
        if (event != EVENT_GOT_FOCUS && event != EVENT_LOST_FOCUS) events.push_back(event);
    }
    return events;
}

template <typename W>
W* Place(W* widget, const char* name, int top) {
    widget->setObjectName(name);
    widget->setGeometry(10, top, 160, 24);
    return widget;
}

QWidget* BuildTestPanel() {
    auto* panel = new QWidget;
    panel->resize(420, 420);
    Place(new QPushButton("GO", panel), "cmd", 0);
    Place(new QPushButton("RAM", panel), "toggle", 26)->setCheckable(true);
    Place(new QSpinBox(panel), "spin", 52)->setRange(0, 100);
    Place(new QSlider(Qt::Horizontal, panel), "slider", 78)->setRange(0, 1000);
    auto* ring = Place(new QComboBox(panel), "ring", 104);
    ring->addItem("LOW", 0);
    ring->addItem("HI", 1);
    ring->addItem("WIN", 2);
    Place(new QLineEdit(panel), "text", 130);
    Place(new QLineEdit(panel), "display", 156)->setReadOnly(true);
    auto* led = Place(new QLineEdit(panel), "led", 182);
    led->setReadOnly(true);
    led->setProperty("tavrixKind", "led");
    Place(new QPlainTextEdit(panel), "box", 208)->setReadOnly(true);
    Place(new QLabel("legend", panel), "label", 234);
    Place(new QFrame(panel), "frame", 260);
    Place(new QProgressBar(panel), "progress", 286);
    Place(new PressCounter(panel), "chart", 312)->resize(160, 60);
    Place(new QPushButton("QUIET", panel), "quiet", 380);
    return panel;
}

QWidget* BuildChildPanel() {
    auto* panel = new QWidget;
    panel->resize(100, 60);
    Place(new QPushButton("CHILD", panel), "childButton", 0);
    return panel;
}

void RegisterTestResources() {
    RegisterCallback("Record", &Record);
    RegisterPanelResource({kTestResource, "TESTP", &BuildTestPanel, "Record",
                           {{kCmd, "cmd", "Record"}, {kToggle, "toggle", "Record"},
                            {kSpin, "spin", "Record"}, {kSlider, "slider", "Record"},
                            {kRing, "ring", "Record"}, {kText, "text", "Record"},
                            {kDisplay, "display", "Record"}, {kLed, "led", "Record"},
                            {kBox, "box", "Record"}, {kLabel, "label", "Record"},
                            {kFrame, "frame", "Record"}, {kProgress, "progress", "Record"},
                            {kChart, "chart", "Record"}, {kQuiet, "quiet", "NotRegistered"}}});
    RegisterPanelResource({kChildResource, "CHILDP", &BuildChildPanel, "", {{1, "childButton", ""}}});
    RegisterPanelResource({kBrokenResource, "BROKENP", &BuildChildPanel, "", {{1, "missing", ""}}});
}

template <typename Pred>
bool PumpUntil(Pred done, double seconds = 5.0) {
    const double start = Timer();
    while (!done()) {
        if (Timer() - start > seconds) return false;
        ProcessSystemEvents();
    }
    return true;
}

class PanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterTestResources();
        m_panel = LoadPanel(0, kTestResource);
        ASSERT_GT(m_panel, 0);
        DisplayPanel(m_panel);
        QWidget* window = PanelWidget(m_panel);
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        seen.clear();
        swallowedKey = -1;
    }
    void TearDown() override { DiscardPanel(m_panel); }

    template <typename W>
    W* Widget(int control) { return qobject_cast<W*>(ControlWidget(m_panel, control)); }

    int m_panel = 0;
};

// ---------------------------------------------------------------------------------------------
// Events from real input

TEST_F(PanelTest, RightClickGoesToTheCallbackAndNeverToTheWidget) {
    auto* button = Widget<QPushButton>(kCmd);
    QSignalSpy pressed(button, &QPushButton::pressed);
    QTest::mouseClick(button, Qt::RightButton);
    EXPECT_EQ(EventsOf(kCmd), std::vector<int>{EVENT_RIGHT_CLICK});
    EXPECT_EQ(pressed.count(), 0);

    auto* chart = static_cast<PressCounter*>(ControlWidget(m_panel, kChart));
    QTest::mouseClick(chart, Qt::RightButton, {}, QPoint(20, 20));
    EXPECT_EQ(chart->m_presses, 0);
    EXPECT_EQ(EventsOf(kChart), std::vector<int>{EVENT_RIGHT_CLICK});
    QTest::mouseClick(chart, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(chart->m_presses, 1);
    EXPECT_EQ(EventsOf(kChart), (std::vector<int>{EVENT_RIGHT_CLICK, EVENT_LEFT_CLICK}));
    seen.clear();
    QTest::mouseDClick(chart, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(EventsOf(kChart).back(), EVENT_LEFT_DOUBLE_CLICK);

    // Without a callback the widget keeps its right clicks.
    QSignalSpy quietPressed(Widget<QPushButton>(kQuiet), &QPushButton::pressed);
    QTest::mousePress(Widget<QPushButton>(kQuiet), Qt::RightButton);
    QTest::mouseRelease(Widget<QPushButton>(kQuiet), Qt::RightButton);
    EXPECT_TRUE(EventsOf(kQuiet).empty());
}

TEST_F(PanelTest, ButtonsReportCommitAndToggleReportsValueChange) {
    QTest::mouseClick(Widget<QPushButton>(kCmd), Qt::LeftButton);
    EXPECT_EQ(InputEventsOf(kCmd), (std::vector<int>{EVENT_LEFT_CLICK, EVENT_COMMIT}));

    QTest::mouseClick(Widget<QPushButton>(kToggle), Qt::LeftButton);
    EXPECT_EQ(InputEventsOf(kToggle), (std::vector<int>{EVENT_LEFT_CLICK, EVENT_VAL_CHANGED}));
    int on = 0;
    ASSERT_EQ(GetCtrlVal(m_panel, kToggle, on), 0);
    EXPECT_EQ(on, 1);

    // The keyboard shortcut clicks the button, like the mouse.
    Widget<QPushButton>(kCmd)->setShortcut(QKeySequence(Qt::Key_F9));
    seen.clear();
    QTest::keyClick(PanelWidget(m_panel), Qt::Key_F9);
    EXPECT_TRUE(PumpUntil([] { return !EventsOf(kCmd).empty(); }, 2.0));
    EXPECT_EQ(InputEventsOf(kCmd), std::vector<int>{EVENT_COMMIT});

    // A dimmed button raises nothing.
    SetCtrlAttribute(m_panel, kCmd, ATTR_DIMMED, 1);
    seen.clear();
    QTest::mouseClick(Widget<QPushButton>(kCmd), Qt::LeftButton);
    QTest::mouseClick(Widget<QPushButton>(kCmd), Qt::RightButton);
    EXPECT_TRUE(seen.empty());
}

TEST_F(PanelTest, NumericSliderAndRingReportUserChanges) {
    auto* spin = Widget<QSpinBox>(kSpin);
    QTest::keyClick(spin, Qt::Key_Up);
    EXPECT_EQ(EventsOf(kSpin), (std::vector<int>{EVENT_VAL_CHANGED, EVENT_COMMIT}));
    int value = -1;
    GetCtrlVal(m_panel, kSpin, value);
    EXPECT_EQ(value, 1);

    auto* slider = Widget<QSlider>(kSlider);
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(EventsOf(kSlider), (std::vector<int>{EVENT_VAL_CHANGED, EVENT_COMMIT}));

    SetCtrlVal(m_panel, kRing, 0);
    QTest::keyClick(Widget<QComboBox>(kRing), Qt::Key_Down);
    const std::vector<int> ringEvents = EventsOf(kRing);
    ASSERT_EQ(ringEvents.size(), 3u);
    EXPECT_EQ(ringEvents[0], EVENT_KEYPRESS);
    EXPECT_EQ(ringEvents[1], EVENT_VAL_CHANGED);
    EXPECT_EQ(ringEvents[2], EVENT_COMMIT);
    GetCtrlVal(m_panel, kRing, value);
    EXPECT_EQ(value, 1);
}

TEST_F(PanelTest, StringControlEditsCommitsAndKeyCodes) {
    auto* edit = Widget<QLineEdit>(kText);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A);
    QTest::keyClick(edit, 'B', Qt::ShiftModifier);
    QTest::keyClick(edit, Qt::Key_Return);
    std::vector<int> codes;
    for (const Seen& s : seen) {
        if (s.event == EVENT_KEYPRESS) codes.push_back(s.data1);
    }
    EXPECT_EQ(codes, (std::vector<int>{'a', 'B' | kShiftModifier, kKeyEnter}));
    EXPECT_EQ(InputEventsOf(kText),
              (std::vector<int>{EVENT_KEYPRESS, EVENT_VAL_CHANGED, EVENT_KEYPRESS,
                                EVENT_VAL_CHANGED, EVENT_KEYPRESS, EVENT_COMMIT}));

    // A swallowed key never reaches the text; leaving after an edit commits once.
    seen.clear();
    swallowedKey = 'x';
    QTest::keyClick(edit, Qt::Key_X);
    QTest::keyClick(edit, Qt::Key_C);
    QTest::keyClick(edit, Qt::Key_Up);
    std::string text;
    GetCtrlVal(m_panel, kText, text);
    EXPECT_EQ(text, "aBc");
    EXPECT_EQ(seen.back().data1, kKeyUp);
    seen.clear();
    Widget<QSpinBox>(kSpin)->setFocus();
    QApplication::processEvents();
    int commits = 0;
    for (int event : EventsOf(kText)) commits += event == EVENT_COMMIT ? 1 : 0;
    EXPECT_EQ(commits, 1);
    EXPECT_EQ(EventsOf(kSpin), std::vector<int>{EVENT_GOT_FOCUS});
}

TEST_F(PanelTest, PanelCloseIsReportedAndRefused) {
    PanelWidget(m_panel)->windowHandle()->close();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().control, 0);
    EXPECT_EQ(seen.back().event, EVENT_CLOSE);
    EXPECT_TRUE(PanelVisible(m_panel));
    EXPECT_TRUE(PanelWidget(m_panel)->isVisible());
}

// ---------------------------------------------------------------------------------------------
// Values, attributes, lists

TEST_F(PanelTest, SettingValuesRoundTripsAndRaisesNoEvent) {
    int value = 0;
    std::string text;
    EXPECT_EQ(SetCtrlVal(m_panel, kSpin, 42), 0);
    EXPECT_EQ(SetCtrlVal(m_panel, kSlider, 700), 0);
    EXPECT_EQ(SetCtrlVal(m_panel, kToggle, 1), 0);
    EXPECT_EQ(SetCtrlVal(m_panel, kRing, 2), 0);
    EXPECT_EQ(SetCtrlVal(m_panel, kDisplay, 1234), 0);
    EXPECT_EQ(SetCtrlVal(m_panel, kText, "Grüße  \"x\""), 0);
    EXPECT_TRUE(seen.empty());
    GetCtrlVal(m_panel, kSpin, value);
    EXPECT_EQ(value, 42);
    GetCtrlVal(m_panel, kSlider, value);
    EXPECT_EQ(value, 700);
    GetCtrlVal(m_panel, kRing, value);
    EXPECT_EQ(value, 2);
    GetCtrlVal(m_panel, kDisplay, value);
    EXPECT_EQ(value, 1234);
    GetCtrlVal(m_panel, kText, text);
    EXPECT_EQ(text, "Grüße  \"x\"");
    EXPECT_EQ(SetCtrlVal(m_panel, kRing, 7), kErrBadValue);
    EXPECT_EQ(SetCtrlVal(m_panel, kCmd, 1), kErrBadValue);
    EXPECT_EQ(SetCtrlVal(m_panel, 99, 1), kErrBadControl);
    EXPECT_EQ(SetCtrlVal(m_panel + 100, kSpin, 1), kErrBadPanel);

    uint16_t word = 0;
    SetCtrlVal(m_panel, kDisplay, 70000);
    GetCtrlVal(m_panel, kDisplay, word);
    EXPECT_EQ(word, 65535);

    // A text box collects what is set; lines can be read back.
    SetCtrlVal(m_panel, kBox, "first\nsec");
    SetCtrlVal(m_panel, kBox, "ond");
    GetTextBoxLine(m_panel, kBox, 1, text);
    EXPECT_EQ(text, "second");
    ResetTextBox(m_panel, kBox, "only");
    EXPECT_EQ(GetTextBoxLine(m_panel, kBox, 1, text), kErrBadValue);
}

TEST_F(PanelTest, LedShowsItsStateToTheEyeAndToAssistiveTechnology) {
    auto* led = Widget<QLineEdit>(kLed);
    SetCtrlVal(m_panel, kLed, 1);
    EXPECT_EQ(led->text(), "ON");
    EXPECT_TRUE(led->styleSheet().contains("#ff8000"));
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(led);
    ASSERT_NE(accessible, nullptr);
    ASSERT_NE(accessible->textInterface(), nullptr);
    EXPECT_EQ(accessible->textInterface()->text(0, 2), "ON");
    SetCtrlVal(m_panel, kLed, 0);
    EXPECT_EQ(accessible->textInterface()->text(0, 3), "OFF");
    EXPECT_TRUE(led->styleSheet().contains("#000000"));
    int value = -1;
    GetCtrlVal(m_panel, kLed, value);
    EXPECT_EQ(value, 0);
}

TEST_F(PanelTest, AttributesRoundTrip) {
    int value = 0;
    SetCtrlAttribute(m_panel, kCmd, ATTR_CMD_BUTTON_COLOR, 0xC0C0C0);
    GetCtrlAttribute(m_panel, kCmd, ATTR_CMD_BUTTON_COLOR, value);
    EXPECT_EQ(value, 0xC0C0C0);
    EXPECT_TRUE(Widget<QPushButton>(kCmd)->styleSheet().contains("#c0c0c0"));
    EXPECT_EQ(SetCtrlAttribute(m_panel, kText, ATTR_CMD_BUTTON_COLOR, 0), kErrBadAttribute);
    SetCtrlAttribute(m_panel, kFrame, ATTR_FRAME_COLOR, 0x0080FF);
    GetCtrlAttribute(m_panel, kFrame, ATTR_FRAME_COLOR, value);
    EXPECT_EQ(value, 0x0080FF);

    SetCtrlAttribute(m_panel, kSpin, ATTR_DIMMED, 1);
    GetCtrlAttribute(m_panel, kSpin, ATTR_DIMMED, value);
    EXPECT_EQ(value, 1);
    EXPECT_FALSE(Widget<QSpinBox>(kSpin)->isEnabled());
    SetCtrlAttribute(m_panel, kLabel, ATTR_VISIBLE, 0);
    GetCtrlAttribute(m_panel, kLabel, ATTR_VISIBLE, value);
    EXPECT_EQ(value, 0);

    SetCtrlAttribute(m_panel, kText, ATTR_MAX_ENTRY_LENGTH, 31);
    EXPECT_EQ(Widget<QLineEdit>(kText)->maxLength(), 31);
    SetCtrlAttribute(m_panel, kText, ATTR_MAX_ENTRY_LENGTH, -1);
    GetCtrlAttribute(m_panel, kText, ATTR_MAX_ENTRY_LENGTH, value);
    EXPECT_EQ(value, -1);

    SetCtrlVal(m_panel, kText, "alpha");
    SetCtrlAttribute(m_panel, kText, ATTR_TEXT_SELECTION_START, 2);
    SetCtrlAttribute(m_panel, kText, ATTR_TEXT_SELECTION_LENGTH, 3);
    EXPECT_EQ(Widget<QLineEdit>(kText)->selectedText(), "pha");

    GetCtrlAttribute(m_panel, kDisplay, ATTR_IS_INDICATOR, value);
    EXPECT_EQ(value, 1);
    GetCtrlAttribute(m_panel, kText, ATTR_IS_INDICATOR, value);
    EXPECT_EQ(value, 0);

    SetCtrlAttribute(m_panel, kSpin, ATTR_MAX_VALUE, 60000);
    SetCtrlVal(m_panel, kSpin, 59000);
    GetCtrlVal(m_panel, kSpin, value);
    EXPECT_EQ(value, 59000);

    SetCtrlAttribute(m_panel, kLabel, ATTR_LEFT, 33);
    SetCtrlAttribute(m_panel, kLabel, ATTR_TOP, 44);
    EXPECT_EQ(Widget<QLabel>(kLabel)->pos(), QPoint(33, 44));
    SetCtrlAttribute(m_panel, kLabel, ATTR_TEXT_POINT_SIZE, 18);
    GetCtrlAttribute(m_panel, kLabel, ATTR_TEXT_POINT_SIZE, value);
    EXPECT_EQ(value, 18);
    SetCtrlAttribute(m_panel, kCmd, ATTR_LABEL_TEXT, std::string("SEND"));
    std::string caption;
    GetCtrlAttribute(m_panel, kCmd, ATTR_LABEL_TEXT, caption);
    EXPECT_EQ(caption, "SEND");
}

TEST_F(PanelTest, IndicatorModeShowsTheValueButTakesNoInput) {
    SetCtrlAttribute(m_panel, kCmd, ATTR_CTRL_MODE, kModeIndicator);
    SetCtrlAttribute(m_panel, kSpin, ATTR_CTRL_MODE, kModeIndicator);
    QTest::mouseClick(Widget<QPushButton>(kCmd), Qt::LeftButton);
    QTest::keyClick(Widget<QSpinBox>(kSpin), Qt::Key_Up);
    for (int event : EventsOf(kCmd)) EXPECT_NE(event, EVENT_COMMIT);
    EXPECT_TRUE(EventsOf(kSpin).empty());
    EXPECT_TRUE(Widget<QSpinBox>(kSpin)->isReadOnly());
    int value = 0;
    GetCtrlAttribute(m_panel, kSpin, ATTR_IS_INDICATOR, value);
    EXPECT_EQ(value, 1);
    // The help still works on an indicator.
    QTest::mouseClick(Widget<QPushButton>(kCmd), Qt::RightButton);
    EXPECT_EQ(EventsOf(kCmd).back(), EVENT_RIGHT_CLICK);
}

TEST_F(PanelTest, TabPositionReordersTheFocusChain) {
    int position = -1;
    GetCtrlAttribute(m_panel, kToggle, ATTR_CTRL_TAB_POSITION, position);
    EXPECT_EQ(position, 1);
    ASSERT_EQ(SetCtrlAttribute(m_panel, kQuiet, ATTR_CTRL_TAB_POSITION, 1), 0);
    GetCtrlAttribute(m_panel, kQuiet, ATTR_CTRL_TAB_POSITION, position);
    EXPECT_EQ(position, 1);
    GetCtrlAttribute(m_panel, kToggle, ATTR_CTRL_TAB_POSITION, position);
    EXPECT_EQ(position, 2);
    EXPECT_EQ(Widget<QPushButton>(kCmd)->nextInFocusChain(), Widget<QPushButton>(kQuiet));
    EXPECT_EQ(Widget<QPushButton>(kQuiet)->nextInFocusChain(), Widget<QPushButton>(kToggle));
}

TEST_F(PanelTest, RingListsHoldTextValues) {
    DeleteListItem(m_panel, kRing, 0, -1);
    for (int i = 0; i < 11; ++i) {
        InsertListItem(m_panel, kRing, -1, "host" + std::to_string(i), "host" + std::to_string(i));
    }
    InsertListItem(m_panel, kRing, 0, "first", "10.0.0.1");
    int count = 0;
    GetNumListItems(m_panel, kRing, count);
    EXPECT_EQ(count, 12);
    int index = 0;
    GetIndexFromValue(m_panel, kRing, index, "host3");
    EXPECT_EQ(index, 4);
    GetIndexFromValue(m_panel, kRing, index, "absent");
    EXPECT_EQ(index, -1);
    std::string value;
    GetValueFromIndex(m_panel, kRing, 0, value);
    EXPECT_EQ(value, "10.0.0.1");
    int length = 0;
    GetValueLengthFromIndex(m_panel, kRing, 0, length);
    EXPECT_EQ(length, 8);
    ReplaceListItem(m_panel, kRing, 1, "zero", "host-zero");
    GetValueFromIndex(m_panel, kRing, 1, value);
    EXPECT_EQ(value, "host-zero");
    DeleteListItem(m_panel, kRing, 10, -1);
    GetNumListItems(m_panel, kRing, count);
    EXPECT_EQ(count, 10);
    EXPECT_EQ(GetValueFromIndex(m_panel, kRing, 10, value), kErrBadValue);

    // Text-valued items: selected by text, read as text (and as a number when they are one).
    EXPECT_EQ(SetCtrlVal(m_panel, kRing, "host3"), 0);
    GetCtrlVal(m_panel, kRing, value);
    EXPECT_EQ(value, "host3");
    InsertListItem(m_panel, kRing, -1, "COM 5", "5");
    SetCtrlVal(m_panel, kRing, 5);
    int number = 0;
    GetCtrlVal(m_panel, kRing, number);
    EXPECT_EQ(number, 5);
    EXPECT_TRUE(seen.empty());
}

TEST_F(PanelTest, RunTimeControlsAreCreatedPlacedAndDiscarded) {
    const int label = NewCtrl(m_panel, CTRL_TEXT_MSG, "", 30, 323);
    const int ring = NewCtrl(m_panel, CTRL_RING, "", 130, 180);
    const int frame = NewCtrl(m_panel, CTRL_DECORATION, "", 129, 179);
    EXPECT_GT(label, kQuiet);
    EXPECT_NE(label, ring);
    EXPECT_NE(ring, frame);
    int value = 0;
    GetPanelAttribute(m_panel, ATTR_PANEL_NUM_CTRLS, value);
    EXPECT_EQ(value, kQuiet + 3);

    SetCtrlVal(m_panel, label, "TAVRIX-Vovez V2.0");
    auto* text = qobject_cast<QLabel*>(ControlWidget(m_panel, label));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->pos(), QPoint(323, 30));
    EXPECT_GE(text->width(), text->sizeHint().width());
    SetCtrlAttribute(m_panel, label, ATTR_TEXT_BGCOLOR, kTransparent);
    GetCtrlAttribute(m_panel, label, ATTR_TEXT_BGCOLOR, value);
    EXPECT_EQ(value, kTransparent);

    // The frame lies behind everything, so it never takes a click meant for a control.
    const QObjectList& children = PanelWidget(m_panel)->children();
    EXPECT_EQ(children.indexOf(ControlWidget(m_panel, frame)), 0);

    InsertListItem(m_panel, ring, -1, "a", "a");
    auto* combo = qobject_cast<QComboBox*>(ControlWidget(m_panel, ring));
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(FakeKeystroke(m_panel, ring, kKeySpace), 0);
    EXPECT_TRUE(combo->view()->isVisible());
    combo->hidePopup();

    EXPECT_EQ(DiscardCtrl(m_panel, label), 0);
    EXPECT_EQ(ControlWidget(m_panel, label), nullptr);
    EXPECT_EQ(SetCtrlVal(m_panel, label, "x"), kErrBadControl);
}

// ---------------------------------------------------------------------------------------------
// Panels

TEST(Panels, LoadingFailsCleanlyAndChildPanelsFollowTheirParent) {
    RegisterTestResources();
    EXPECT_EQ(LoadPanel(0, 999), kErrLoadPanel);
    EXPECT_EQ(LoadPanel(0, kBrokenResource), kErrLoadPanel);

    const int parent = LoadPanel(0, kTestResource);
    const int child = LoadPanel(parent, kChildResource);
    ASSERT_GT(child, 0);
    EXPECT_NE(child, parent);
    EXPECT_EQ(PanelWidget(child)->parentWidget(), PanelWidget(parent));
    EXPECT_FALSE(PanelVisible(child));
    SetPanelPos(child, 93, 8);
    DisplayPanel(child);
    EXPECT_TRUE(PanelVisible(child));
    int top = 0;
    int left = 0;
    GetPanelAttribute(child, ATTR_PANEL_TOP, top);
    GetPanelAttribute(child, ATTR_PANEL_LEFT, left);
    EXPECT_EQ(top, 93);
    EXPECT_EQ(left, 8);
    HidePanel(child);
    EXPECT_FALSE(PanelVisible(child));

    QPointer<QWidget> childWidget = PanelWidget(child);
    EXPECT_EQ(DiscardPanel(parent), 0);
    EXPECT_TRUE(childWidget.isNull());
    EXPECT_EQ(DisplayPanel(child), kErrBadPanel);
    EXPECT_EQ(DiscardPanel(parent), kErrBadPanel);
}

int discardingPanel = 0;
int DiscardOwnPanel(int panel, int, int event, void*, int, int) {
    if (event == EVENT_COMMIT) discardingPanel = DiscardPanel(panel) == 0 ? panel : -1;
    return 0;
}

TEST(Panels, APanelCanDiscardItselfFromItsOwnCallback) {
    RegisterTestResources();
    const int panel = LoadPanel(0, kTestResource);
    DisplayPanel(panel);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(PanelWidget(panel)));
    InstallCtrlCallback(panel, kCmd, &DiscardOwnPanel, nullptr);
    QPointer<QWidget> widget = PanelWidget(panel);
    QTest::mouseClick(qobject_cast<QPushButton*>(ControlWidget(panel, kCmd)), Qt::LeftButton);
    EXPECT_EQ(discardingPanel, panel);
    EXPECT_EQ(PanelWidget(panel), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(widget.isNull());
}

// ---------------------------------------------------------------------------------------------
// Event loop and time

TEST(EventLoop, ProcessSystemEventsRunsTimersAndNestsWithoutSpinning) {
    bool outerFired = false;
    bool innerFired = false;
    QTimer::singleShot(5, [&] {
        outerFired = true;
        // A callback waiting inside another wait: the inner timer must still fire.
        QTimer::singleShot(5, [&] { innerFired = true; });
        PumpUntil([&] { return innerFired; }, 2.0);
    });
    EXPECT_TRUE(PumpUntil([&] { return outerFired && innerFired; }));

    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const double start = Timer();
    long passes = 0;
    while (Timer() - start < 0.3) {
        ProcessSystemEvents();
        ++passes;
    }
    const double wall = Timer() - start;
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    const double cpu = (after.ru_utime.tv_sec - before.ru_utime.tv_sec) +
                       (after.ru_utime.tv_usec - before.ru_utime.tv_usec) / 1e6 +
                       (after.ru_stime.tv_sec - before.ru_stime.tv_sec) +
                       (after.ru_stime.tv_usec - before.ru_stime.tv_usec) / 1e6;
    EXPECT_LT(passes, 3000);
    EXPECT_LT(cpu, 0.5 * wall);
}

TEST(EventLoop, QuitFromANestedCallbackEndsRunUserInterfaceWithItsCode) {
    bool unwound = false;
    PostDeferredCall([&] {
        PostDeferredCall([] { QuitUserInterface(7); });
        // The quit arrives inside this wait; the loop ends once this call has returned.
        const double start = Timer();
        while (Timer() - start < 0.05) ProcessSystemEvents();
        unwound = true;
    });
    EXPECT_EQ(RunUserInterface(), 7);
    EXPECT_TRUE(unwound);

    const double before = Timer();
    Sleep(30);
    EXPECT_GE(Timer() - before, 0.029);
}

// ---------------------------------------------------------------------------------------------
// TCP client

struct TcpSeen {
    int dataReady = 0;
    int disconnects = 0;
};

int TcpRecord(unsigned, int event, int, void* data) {
    auto* tcpSeen = static_cast<TcpSeen*>(data);
    if (event == TCP_DATAREADY) ++tcpSeen->dataReady;
    if (event == TCP_DISCONNECT) ++tcpSeen->disconnects;
    return 0;
}

TEST(Tcp, ConnectReadWriteAndPeerClose) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    TcpSeen tcpSeen;
    unsigned handle = 0;
    ASSERT_EQ(ConnectToTCPServer(&handle, server.serverPort(), "127.0.0.1", &TcpRecord,
                                 &tcpSeen, 2000), 0);
    EXPECT_GT(handle, 0u);
    ASSERT_TRUE(PumpUntil([&] { return server.hasPendingConnections(); }));
    QTcpSocket* peer = server.nextPendingConnection();

    char buffer[64] = {};
    EXPECT_EQ(ClientTCPRead(handle, buffer, sizeof buffer, 5000), 0);
    peer->write("0123456789");
    peer->flush();
    ASSERT_TRUE(PumpUntil([&] { return tcpSeen.dataReady > 0; }));
    EXPECT_EQ(ClientTCPRead(handle, buffer, 4, 5000), 4);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    EXPECT_EQ(ClientTCPRead(handle, buffer, sizeof buffer, 5000), 6);
    EXPECT_EQ(ClientTCPRead(handle, buffer, sizeof buffer, 5000), 0);

    EXPECT_EQ(ClientTCPWrite(handle, "ping", 4, 2000), 4);
    ASSERT_TRUE(PumpUntil([&] { return peer->bytesAvailable() >= 4; }));
    EXPECT_EQ(peer->readAll(), QByteArray("ping"));

    peer->close();
    ASSERT_TRUE(PumpUntil([&] { return tcpSeen.disconnects > 0; }));
    const double start = Timer();
    while (Timer() - start < 0.1) ProcessSystemEvents();
    EXPECT_EQ(tcpSeen.disconnects, 1);
    EXPECT_LT(ClientTCPRead(handle, buffer, sizeof buffer, 5000), 0);
    EXPECT_LT(ClientTCPWrite(handle, "x", 1, 100), 0);
}

TEST(Tcp, FailuresGiveTheirCodes) {
    TcpSeen tcpSeen;
    unsigned handle = 0;
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        closedPort = probe.serverPort();
    }
    EXPECT_EQ(ConnectToTCPServer(&handle, closedPort, "127.0.0.1", &TcpRecord, &tcpSeen, 2000), -4);
    EXPECT_EQ(ConnectToTCPServer(&handle, 0, "127.0.0.1", &TcpRecord, &tcpSeen, 2000), -9);
    EXPECT_EQ(ConnectToTCPServer(&handle, 65536, "127.0.0.1", &TcpRecord, &tcpSeen, 2000), -9);
    EXPECT_EQ(ConnectToTCPServer(&handle, 5000, "", &TcpRecord, &tcpSeen, 2000), -9);
    const std::string overlongLabel(70, 'a');
    EXPECT_EQ(ConnectToTCPServer(&handle, 5000, overlongLabel + ".invalid", &TcpRecord,
                                 &tcpSeen, 2000), -2);
    EXPECT_EQ(tcpSeen.dataReady + tcpSeen.disconnects, 0);
    EXPECT_LT(DisconnectFromTCPServer(12345), 0);
}

TEST(Tcp, AServerThatNeverAcceptsTimesOut) {
    // A listener whose accept queue is full drops further connection requests unanswered.
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 0), 0);
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const quint16 port = ntohs(address.sin_port);
    std::vector<std::unique_ptr<QTcpSocket>> fillers;
    for (int i = 0; i < 3; ++i) {
        fillers.push_back(std::make_unique<QTcpSocket>());
        fillers.back()->connectToHost(QHostAddress::LocalHost, port);
        fillers.back()->waitForConnected(300);
    }
    TcpSeen tcpSeen;
    unsigned handle = 0;
    const double start = Timer();
    EXPECT_EQ(ConnectToTCPServer(&handle, port, "127.0.0.1", &TcpRecord, &tcpSeen, 300), -11);
    const double elapsed = Timer() - start;
    EXPECT_GE(elapsed, 0.3);
    EXPECT_LT(elapsed, 2.0);
    close(listener);
}

// ---------------------------------------------------------------------------------------------
// Serial ports over a pseudo-terminal

// A pseudo-terminal whose slave side is the port under test; the test plays the device on
// the master side.
struct PseudoTerminal {
    int m_master = -1;
    int m_slave = -1;
    std::string m_device;

    PseudoTerminal() {
        char name[256] = {};
        if (openpty(&m_master, &m_slave, name, nullptr, nullptr) == 0) m_device = name;
    }
    ~PseudoTerminal() {
        if (m_master >= 0) close(m_master);
        if (m_slave >= 0) close(m_slave);
    }
    std::string ReadMaster(std::size_t wanted) const {
        std::string bytes;
        const double start = Timer();
        while (bytes.size() < wanted && Timer() - start < 5.0) {
            pollfd fd{m_master, POLLIN, 0};
            if (poll(&fd, 1, 50) > 0) {
                char chunk[256];
                const ssize_t got = read(m_master, chunk, sizeof chunk);
                if (got > 0) bytes.append(chunk, static_cast<std::size_t>(got));
            }
            ProcessSystemEvents();
        }
        return bytes;
    }
};

TEST(Serial, PortNumbersCodesAndQueues) {
    SetSerialPortTable({});
    EXPECT_EQ(OpenComConfig(1, "", 19200, kParityNone, 8, 1, 1024, 1024), -6);
    PseudoTerminal pty;
    ASSERT_FALSE(pty.m_device.empty());
    SetSerialPortTable({{pty.m_device, "pseudo-terminal"}});
    EXPECT_EQ(OpenComConfig(2, "", 19200, kParityNone, 8, 1, 1024, 1024), -2);
    EXPECT_EQ(OpenComConfig(0, "", 19200, kParityNone, 8, 1, 1024, 1024), -2);
    EXPECT_EQ(CloseCom(1), -3);
    EXPECT_EQ(GetInQLen(1), -3);

    ASSERT_EQ(OpenComConfig(1, "", 19200, kParityNone, 8, 1, 1024, 1024), 0);
    EXPECT_EQ(SetComTime(1, 2.0), 0);
    EXPECT_EQ(SetCTSMode(1, 0), 0);
    const uint8_t request[3] = {0x55, 0x00, 0x05};
    EXPECT_EQ(ComWrt(1, request, 3), 3);
    EXPECT_EQ(pty.ReadMaster(3), std::string("\x55\x00\x05", 3));

    ASSERT_EQ(write(pty.m_master, "ABCDEFGH", 8), 8);
    EXPECT_TRUE(PumpUntil([] { return GetInQLen(1) >= 8; }));
    EXPECT_EQ(GetInQLen(1), 8);
    uint8_t buffer[16] = {};
    EXPECT_EQ(ComRd(1, buffer, 3), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 3), "ABC");
    EXPECT_EQ(GetInQLen(1), 5);
    EXPECT_EQ(ComRd(1, buffer, 16), 5);
    EXPECT_EQ(ComRd(1, buffer, 16), 0);

    ASSERT_EQ(write(pty.m_master, "stale", 5), 5);
    EXPECT_TRUE(PumpUntil([] { return GetInQLen(1) >= 5; }));
    EXPECT_EQ(FlushInQ(1), 0);
    EXPECT_EQ(FlushOutQ(1), 0);
    EXPECT_EQ(GetInQLen(1), 0);

    EXPECT_EQ(CloseCom(1), 0);
    EXPECT_EQ(ComRd(1, buffer, 1), -3);
    EXPECT_EQ(CloseCom(1), -3);
}

// ---------------------------------------------------------------------------------------------
// Pop-ups and files

TEST(Popups, EveryBoxIsLoggedAndTheHandlerAnswers) {
    ClearPopupLog();
    SetPopupHandler([](const PopupRecord& record, std::string& path) {
        if (record.kind == PopupRecord::FileSelect) {
            path = "/tmp/record.dat";
            return 2;
        }
        return record.kind == PopupRecord::Confirm && record.text == "Overwrite?" ? 1 : 0;
    });
    EXPECT_EQ(MessagePopup("INFO!", "line one\n  line two"), 0);
    EXPECT_EQ(ConfirmPopup("ATTENTION!", "Overwrite?"), 1);
    EXPECT_EQ(ConfirmPopup("ATTENTION!", "Other?"), 0);
    std::string path;
    EXPECT_EQ(FileSelectPopup("/tmp", "record.dat", "*.dat", "Record file", path), 2);
    EXPECT_EQ(path, "/tmp/record.dat");
    const std::vector<PopupRecord>& log = PopupLog();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].kind, PopupRecord::Message);
    EXPECT_EQ(log[0].title, "INFO!");
    EXPECT_EQ(log[0].text, "line one\n  line two");
    EXPECT_EQ(log[3].kind, PopupRecord::FileSelect);
    EXPECT_EQ(log[3].text, "record.dat");
    ClearPopupLog();
    EXPECT_TRUE(PopupLog().empty());
}

TEST(Files, WholeFileHelpersAndPaths) {
    QTemporaryDir dir;
    const std::string base = dir.path().toStdString();
    const std::string file = JoinPath(base, "ComSettings.cfg");
    EXPECT_EQ(file, base + "/ComSettings.cfg");
    EXPECT_EQ(JoinPath(base + "/", "x"), base + "/x");
    long long size = -1;
    EXPECT_EQ(GetFileInfo(file, size), 0);
    EXPECT_TRUE(WriteFileBytes(file, std::string("a\r\nb\0c", 6)));
    EXPECT_TRUE(AppendFileBytes(file, "!!"));
    EXPECT_EQ(GetFileInfo(file, size), 1);
    EXPECT_EQ(size, 8);
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(file, bytes));
    EXPECT_EQ(bytes, std::string("a\r\nb\0c!!", 8));
    EXPECT_TRUE(ReadFileBytes(file, bytes, 3));
    EXPECT_EQ(bytes, "a\r\n");
    EXPECT_TRUE(DeleteFile(file));
    EXPECT_FALSE(DeleteFile(file));
    EXPECT_FALSE(ReadFileBytes(file, bytes));
    EXPECT_FALSE(WriteFileBytes(JoinPath(base, "missing/dir.cfg"), "x"));

    EXPECT_FALSE(GetProjectDir().empty());
    SetProjectDir(base);
    EXPECT_EQ(GetProjectDir(), base);
    SetProjectDir("");
    EXPECT_EQ(GetProjectDir(), QCoreApplication::applicationDirPath().toStdString());
}

}  // namespace
