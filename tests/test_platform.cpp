// The platform layer against real widgets (offscreen), real input events, real loopback
// sockets and real pseudo-terminals. What the program's panels prove through the platform
// (pop-ups, lists, labels, tab order, run-time controls) is left to their tests.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

using namespace platform;

namespace {

// ---------------------------------------------------------------------------------------------
// A small panel resource built in the test; every control reports to Record.

enum TestControl : int { kCmd = 1, kToggle, kSpin, kRing, kText, kDisplay, kLed, kBox };
constexpr int kTestResource = 40;
constexpr int kChildResource = 41;
constexpr int kBrokenResource = 42;

struct Seen {
    int control;
    int event;
    int data1;
};
std::vector<Seen> seen;

int Record(int, int control, int event, void*, int data1, int) {
    seen.push_back({control, event, data1});
    return 0;
}

// The events a control raised, without the focus changes that clicks and typing bring along.
std::vector<int> EventsOf(int control) {
    std::vector<int> events;
    for (const Seen& s : seen)
        if (s.control == control && s.event != EVENT_GOT_FOCUS && s.event != EVENT_LOST_FOCUS)
            events.push_back(s.event);
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
    panel->resize(420, 340);
    Place(new QPushButton("GO", panel), "cmd", 0);
    Place(new QPushButton("RAM", panel), "toggle", 26)->setCheckable(true);
    Place(new QSpinBox(panel), "spin", 52)->setRange(0, 100);
    auto* ring = Place(new QComboBox(panel), "ring", 104);
    for (const char* item : {"LOW", "HI", "WIN"}) ring->addItem(item, ring->count());
    Place(new QLineEdit(panel), "text", 130);
    Place(new QLineEdit(panel), "display", 156)->setReadOnly(true);
    auto* led = Place(new QLineEdit(panel), "led", 182);
    led->setReadOnly(true);
    led->setProperty("tavrixKind", "led");
    Place(new QPlainTextEdit(panel), "box", 208)->setReadOnly(true);
    return panel;
}

QWidget* BuildChildPanel() {
    auto* panel = new QWidget;
    Place(new QPushButton("CHILD", panel), "childButton", 0);
    return panel;
}

void RegisterTestResources() {
    RegisterCallback("Record", &Record);
    std::vector<ControlDef> controls;
    for (const char* name : {"cmd", "toggle", "spin", "ring", "text", "display", "led", "box"})
        controls.push_back({static_cast<int>(controls.size()) + 1, name, "Record"});
    RegisterPanelResource({kTestResource, "TESTP", &BuildTestPanel, "Record", controls});
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
        PanelWidget(m_panel)->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(PanelWidget(m_panel)));
        seen.clear();
    }
    void TearDown() override { DiscardPanel(m_panel); }

    template <typename W = QWidget>
    W* Widget(int control) { return qobject_cast<W*>(ControlWidget(m_panel, control)); }
    int Value(int control) {
        int value = -1;
        GetCtrlVal(m_panel, control, value);
        return value;
    }
    std::string Text(int control) {
        std::string text;
        GetCtrlVal(m_panel, control, text);
        return text;
    }

    int m_panel = 0;
};

using Events = std::vector<int>;

int discardingPanel = 0;
int DiscardOwnPanel(int panel, int, int event, void*, int, int) {
    if (event == EVENT_COMMIT) discardingPanel = DiscardPanel(panel) == 0 ? panel : -1;
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Events from real input

TEST_F(PanelTest, MouseInputRaisesItsEventsAndRightClicksNeverReachTheWidget) {
    auto* button = Widget<QPushButton>(kCmd);
    QSignalSpy pressed(button, &QPushButton::pressed);
    QTest::mouseClick(button, Qt::RightButton);
    EXPECT_EQ(EventsOf(kCmd), Events{EVENT_RIGHT_CLICK});
    EXPECT_EQ(pressed.count(), 0);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(EventsOf(kCmd), (Events{EVENT_RIGHT_CLICK, EVENT_LEFT_CLICK, EVENT_COMMIT}));
    QTest::mouseClick(Widget(kToggle), Qt::LeftButton);
    EXPECT_EQ(EventsOf(kToggle), (Events{EVENT_LEFT_CLICK, EVENT_VAL_CHANGED}));
    EXPECT_EQ(Value(kToggle), 1);

    // A dimmed button raises nothing; an indicator takes no input but still shows its help.
    seen.clear();
    SetCtrlAttribute(m_panel, kCmd, ATTR_DIMMED, 1);
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::mouseClick(button, Qt::RightButton);
    EXPECT_TRUE(seen.empty());
    SetCtrlAttribute(m_panel, kCmd, ATTR_DIMMED, 0);
    SetCtrlAttribute(m_panel, kCmd, ATTR_CTRL_MODE, kModeIndicator);
    SetCtrlAttribute(m_panel, kSpin, ATTR_CTRL_MODE, kModeIndicator);
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::keyClick(Widget(kSpin), Qt::Key_Up);
    QTest::mouseClick(button, Qt::RightButton);
    EXPECT_EQ(EventsOf(kCmd).back(), EVENT_RIGHT_CLICK);
    for (int event : EventsOf(kCmd)) EXPECT_NE(event, EVENT_COMMIT);
    EXPECT_TRUE(EventsOf(kSpin).empty());
    EXPECT_EQ(Value(kSpin), 0);

    // Closing the window is reported to the panel callback and refused.
    PanelWidget(m_panel)->windowHandle()->close();
    EXPECT_EQ(seen.back().control, 0);
    EXPECT_EQ(seen.back().event, EVENT_CLOSE);
    EXPECT_TRUE(PanelWidget(m_panel)->isVisible());
}

TEST_F(PanelTest, KeysChangeValuesCommitAndCarryTheirCodes) {
    QTest::keyClick(Widget(kSpin), Qt::Key_Up);
    EXPECT_EQ(EventsOf(kSpin), (Events{EVENT_VAL_CHANGED, EVENT_COMMIT}));
    EXPECT_EQ(Value(kSpin), 1);
    QTest::keyClick(Widget(kRing), Qt::Key_Down);
    EXPECT_EQ(EventsOf(kRing), (Events{EVENT_KEYPRESS, EVENT_VAL_CHANGED, EVENT_COMMIT}));
    EXPECT_EQ(Value(kRing), 1);

    auto* edit = Widget<QLineEdit>(kText);
    edit->setFocus();
    seen.clear();
    QTest::keyClick(edit, Qt::Key_A);
    QTest::keyClick(edit, 'B', Qt::ShiftModifier);
    QTest::keyClick(edit, Qt::Key_Return);
    std::vector<int> codes;
    for (const Seen& s : seen)
        if (s.event == EVENT_KEYPRESS) codes.push_back(s.data1);
    EXPECT_EQ(codes, (std::vector<int>{'a', 'B' | kShiftModifier, kKeyEnter}));
    EXPECT_EQ(EventsOf(kText), (Events{EVENT_KEYPRESS, EVENT_VAL_CHANGED, EVENT_KEYPRESS,
                                       EVENT_VAL_CHANGED, EVENT_KEYPRESS, EVENT_COMMIT}));

    // Leaving after an edit commits once more.
    EXPECT_EQ(Text(kText), "aB");
    QTest::keyClick(edit, Qt::Key_C);
    seen.clear();
    Widget(kSpin)->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(EventsOf(kText), Events{EVENT_COMMIT});
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().event, EVENT_GOT_FOCUS);
}

// ---------------------------------------------------------------------------------------------
// Values and attributes

TEST_F(PanelTest, ValuesAndAttributesRoundTripWithoutEvents) {
    EXPECT_EQ(SetCtrlVal(m_panel, kSpin, 42), 0);
    EXPECT_EQ(SetCtrlVal(m_panel, kDisplay, 70000), 0);
    EXPECT_EQ(SetCtrlVal(m_panel, kText, "Grüße  \"x\""), 0);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(Value(kSpin), 42);
    EXPECT_EQ(Text(kText), "Grüße  \"x\"");
    uint16_t word = 0;
    GetCtrlVal(m_panel, kDisplay, word);
    EXPECT_EQ(word, 65535);
    EXPECT_EQ(SetCtrlVal(m_panel, kRing, 7), kErrBadValue);
    EXPECT_EQ(SetCtrlVal(m_panel, kCmd, 1), kErrBadValue);
    EXPECT_EQ(SetCtrlVal(m_panel, 99, 1), kErrBadControl);
    EXPECT_EQ(SetCtrlVal(m_panel + 100, kSpin, 1), kErrBadPanel);
    EXPECT_EQ(SetCtrlAttribute(m_panel, kText, ATTR_CMD_BUTTON_COLOR, 0), kErrBadAttribute);

    // A text box collects what is set; lines can be read back.
    std::string line;
    SetCtrlVal(m_panel, kBox, "first\nsec");
    SetCtrlVal(m_panel, kBox, "ond");
    GetTextBoxLine(m_panel, kBox, 1, line);
    EXPECT_EQ(line, "second");
    ResetTextBox(m_panel, kBox, "only");
    EXPECT_EQ(GetTextBoxLine(m_panel, kBox, 1, line), kErrBadValue);

    SetCtrlVal(m_panel, kLed, 1);
    EXPECT_EQ(Widget<QLineEdit>(kLed)->text(), "ON");
    EXPECT_TRUE(Widget(kLed)->styleSheet().contains("#ff8000"));
    SetCtrlVal(m_panel, kLed, 0);
    EXPECT_EQ(Widget<QLineEdit>(kLed)->text(), "OFF");
    EXPECT_TRUE(Widget(kLed)->styleSheet().contains("#000000"));
    EXPECT_EQ(Value(kLed), 0);
    EXPECT_TRUE(seen.empty());

    int value = 0;
    SetCtrlAttribute(m_panel, kCmd, ATTR_CMD_BUTTON_COLOR, 0xC0C0C0);
    GetCtrlAttribute(m_panel, kCmd, ATTR_CMD_BUTTON_COLOR, value);
    EXPECT_EQ(value, 0xC0C0C0);
    EXPECT_TRUE(Widget(kCmd)->styleSheet().contains("#c0c0c0"));
    SetCtrlAttribute(m_panel, kSpin, ATTR_DIMMED, 1);
    EXPECT_FALSE(Widget(kSpin)->isEnabled());
    SetCtrlAttribute(m_panel, kSpin, ATTR_MAX_VALUE, 60000);
    SetCtrlVal(m_panel, kSpin, 59000);
    EXPECT_EQ(Value(kSpin), 59000);
}

// ---------------------------------------------------------------------------------------------
// Panels

TEST_F(PanelTest, APanelCanDiscardItselfFromItsOwnCallback) {
    InstallCtrlCallback(m_panel, kCmd, &DiscardOwnPanel, nullptr);
    QPointer<QWidget> widget = PanelWidget(m_panel);
    QTest::mouseClick(widget->findChild<QPushButton*>("cmd"), Qt::LeftButton);
    EXPECT_EQ(discardingPanel, m_panel);
    EXPECT_EQ(PanelWidget(m_panel), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(widget.isNull());
}

TEST(Panels, LoadingFailsCleanlyAndChildPanelsFollowTheirParent) {
    RegisterTestResources();
    EXPECT_EQ(LoadPanel(0, 999), kErrLoadPanel);
    EXPECT_EQ(LoadPanel(0, kBrokenResource), kErrLoadPanel);
    const int parent = LoadPanel(0, kTestResource);
    const int child = LoadPanel(parent, kChildResource);
    ASSERT_GT(child, 0);
    EXPECT_NE(child, parent);
    EXPECT_EQ(PanelWidget(child)->parentWidget(), PanelWidget(parent));
    QPointer<QWidget> childWidget = PanelWidget(child);
    EXPECT_EQ(DiscardPanel(parent), 0);
    EXPECT_TRUE(childWidget.isNull());
    EXPECT_EQ(DisplayPanel(child), kErrBadPanel);
    EXPECT_EQ(DiscardPanel(parent), kErrBadPanel);
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

    const auto cpuSeconds = [] {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
               (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    };
    const double cpuBefore = cpuSeconds();
    const double start = Timer();
    long passes = 0;
    for (; Timer() - start < 0.3; ++passes) ProcessSystemEvents();
    EXPECT_LT(passes, 3000);
    EXPECT_LT(cpuSeconds() - cpuBefore, 0.5 * (Timer() - start));
}

TEST(EventLoop, QuitFromANestedCallbackEndsRunUserInterfaceWithItsCode) {
    bool unwound = false;
    PostDeferredCall([&] {
        PostDeferredCall([] { QuitUserInterface(7); });
        // The quit arrives inside this wait; the loop ends once this call has returned.
        PumpUntil([] { return false; }, 0.05);
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
    ASSERT_TRUE(PumpUntil([&] { return server.hasPendingConnections(); }));
    QTcpSocket* peer = server.nextPendingConnection();

    char buffer[64] = {};
    EXPECT_EQ(ClientTCPRead(handle, buffer, sizeof buffer, 5000), 0);   // never blocks
    peer->write("0123456789");
    peer->flush();
    ASSERT_TRUE(PumpUntil([&] { return tcpSeen.dataReady > 0; }));
    EXPECT_EQ(ClientTCPRead(handle, buffer, 4, 5000), 4);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    EXPECT_EQ(ClientTCPRead(handle, buffer, sizeof buffer, 5000), 6);

    peer->close();
    ASSERT_TRUE(PumpUntil([&] { return tcpSeen.disconnects > 0; }));
    PumpUntil([] { return false; }, 0.1);
    EXPECT_EQ(tcpSeen.disconnects, 1);
    EXPECT_LT(ClientTCPRead(handle, buffer, sizeof buffer, 5000), 0);
    EXPECT_LT(ClientTCPWrite(handle, "x", 1, 100), 0);
}

TEST(Tcp, APeerThatSendsFasterThanTheProgramReadsIsHeldBackByTcp) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    TcpSeen tcpSeen;
    unsigned handle = 0;
    ASSERT_EQ(ConnectToTCPServer(&handle, server.serverPort(), "127.0.0.1", &TcpRecord,
                                 &tcpSeen, 2000), 0);
    ASSERT_TRUE(PumpUntil([&] { return server.hasPendingConnections(); }));
    server.nextPendingConnection()->write(QByteArray(16 << 20, 'x'));   // more than any socket buffer
    ASSERT_TRUE(PumpUntil([&] { return tcpSeen.dataReady > 0; }));
    PumpUntil([] { return false; }, 0.3);
    std::vector<char> buffer(4 << 20);
    const int unread = ClientTCPRead(handle, buffer.data(), static_cast<int>(buffer.size()), 100);
    EXPECT_GT(unread, 0);
    EXPECT_LE(unread, 32 * 1024);   // the client's read buffer
}

// The other failure codes show through the link's status texts.
TEST(Tcp, AServerThatNeverAcceptsTimesOut) {
    TcpSeen tcpSeen;
    unsigned handle = 0;
    // A listener whose accept queue is full drops further connection requests unanswered.
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 0), 0);
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    std::vector<std::unique_ptr<QTcpSocket>> fillers;
    for (int i = 0; i < 3; ++i) {
        fillers.push_back(std::make_unique<QTcpSocket>());
        fillers.back()->connectToHost(QHostAddress::LocalHost, ntohs(address.sin_port));
        fillers.back()->waitForConnected(300);
    }
    const double start = Timer();
    EXPECT_EQ(ConnectToTCPServer(&handle, ntohs(address.sin_port), "127.0.0.1", &TcpRecord,
                                 &tcpSeen, 300), -11);
    const double elapsed = Timer() - start;
    EXPECT_GE(elapsed, 0.3);
    EXPECT_LT(elapsed, 2.0);
    close(listener);
}

// ---------------------------------------------------------------------------------------------
// Serial ports over a pseudo-terminal, whose master side the test plays

TEST(Serial, PortNumbersCodesAndQueues) {
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    SetSerialPortTable({{name, "pseudo-terminal"}});
    EXPECT_EQ(OpenComConfig(0, "", 19200, kParityNone, 8, 1, 1024, 1024), -2);
    EXPECT_EQ(GetInQLen(1), -3);

    ASSERT_EQ(OpenComConfig(1, "", 19200, kParityNone, 8, 1, 1024, 1024), 0);

    ASSERT_EQ(write(master, "ABCDEFGH", 8), 8);
    EXPECT_TRUE(PumpUntil([] { return GetInQLen(1) >= 8; }));
    EXPECT_EQ(GetInQLen(1), 8);
    uint8_t buffer[16] = {};
    EXPECT_EQ(ComRd(1, buffer, 3), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 3), "ABC");
    EXPECT_EQ(GetInQLen(1), 5);
    EXPECT_EQ(ComRd(1, buffer, 16), 5);
    EXPECT_EQ(ComRd(1, buffer, 16), 0);
    ASSERT_EQ(write(master, "stale", 5), 5);
    EXPECT_TRUE(PumpUntil([] { return GetInQLen(1) >= 5; }));
    EXPECT_EQ(FlushInQ(1), 0);
    EXPECT_EQ(FlushOutQ(1), 0);
    EXPECT_EQ(GetInQLen(1), 0);

    EXPECT_EQ(CloseCom(1), 0);
    EXPECT_EQ(ComRd(1, buffer, 1), -3);
    EXPECT_EQ(CloseCom(1), -3);
    close(master);
    close(slave);
}

}  // namespace
