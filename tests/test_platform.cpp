// The platform layer against real widgets (offscreen), real input, a loopback socket and a
// pseudo-terminal: events turned into callbacks, values set without events, the ports' own codes.
#include <gtest/gtest.h>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "platform/platform.h"
#include "testsystem.h"

using namespace platform;

namespace {

// A small panel resource built in the test; every control reports to Record.
enum TestControl : int { kCmd = 1, kToggle, kSpin, kRing, kText, kDisplay };
constexpr int kTestResource = 40;

struct Seen {
    int control, event, data1;
};
std::vector<Seen> seen;
using Events = std::vector<int>;

int Record(int, int control, int event, void*, int data1, int) {
    seen.push_back({control, event, data1});
    return 0;
}

// The events a control raised, without the focus changes that clicks and typing bring along.
Events EventsOf(int control) {
    Events events;
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
    return panel;
}

class PanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterCallbacks({{"Record", &Record}});
        std::vector<ControlDef> controls;
        for (const char* name : {"cmd", "toggle", "spin", "ring", "text", "display"})
            controls.push_back({static_cast<int>(controls.size()) + 1, name, "Record"});
        RegisterPanelResource({kTestResource, "TESTP", &BuildTestPanel, "Record", controls});
        m_panel = LoadPanel(0, kTestResource);
        ASSERT_GT(m_panel, 0);
        DisplayPanel(m_panel);
        PanelWidget(m_panel)->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(PanelWidget(m_panel)));
        seen.clear();
    }
    void TearDown() override { DiscardPanel(m_panel); }

    template <typename W = QWidget>
    W* Widget(int control) {
        return qobject_cast<W*>(ControlWidget(m_panel, control));
    }
    template <typename T = int>
    T Value(int control) {
        T value{};
        GetCtrlVal(m_panel, control, value);
        return value;
    }

    int m_panel = 0;
};

int discardingPanel = 0;   // the panel a callback discarded, -1 when that failed

TEST_F(PanelTest, MouseInputRaisesItsEventsExceptOnDimmedControlsAndIndicators) {
    auto* button = Widget<QPushButton>(kCmd);
    QTest::mouseClick(button, Qt::RightButton);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(EventsOf(kCmd), (Events{EVENT_RIGHT_CLICK, EVENT_LEFT_CLICK, EVENT_COMMIT}));
    QTest::mouseClick(Widget(kToggle), Qt::LeftButton);
    EXPECT_EQ(std::pair(EventsOf(kToggle), Value(kToggle)), std::pair(Events{EVENT_LEFT_CLICK, EVENT_VAL_CHANGED}, 1));

    // A dimmed button raises nothing; an indicator takes no input (its help: test_help.cpp).
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
    EXPECT_EQ(std::ranges::count(EventsOf(kCmd), EVENT_COMMIT) + EventsOf(kSpin).size() + Value(kSpin), 0u);

    // Closing the window is reported to the panel callback and refused.
    PanelWidget(m_panel)->windowHandle()->close();
    EXPECT_EQ(EventsOf(0), Events{EVENT_CLOSE});
    EXPECT_TRUE(PanelWidget(m_panel)->isVisible());
}

TEST_F(PanelTest, KeysChangeValuesCommitAndCarryTheirCodes) {
    QTest::keyClick(Widget(kSpin), Qt::Key_Up);
    QTest::keyClick(Widget(kRing), Qt::Key_Down);
    EXPECT_EQ(EventsOf(kSpin), (Events{EVENT_VAL_CHANGED, EVENT_COMMIT}));
    EXPECT_EQ(EventsOf(kRing), (Events{EVENT_KEYPRESS, EVENT_VAL_CHANGED, EVENT_COMMIT}));
    EXPECT_EQ(std::pair(Value(kSpin), Value(kRing)), std::pair(1, 1));

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
    EXPECT_EQ(EventsOf(kText), (Events{EVENT_KEYPRESS, EVENT_VAL_CHANGED, EVENT_KEYPRESS, EVENT_VAL_CHANGED,
                                       EVENT_KEYPRESS, EVENT_COMMIT}));

    // Leaving after an edit commits once more.
    EXPECT_EQ(Value<std::string>(kText), "aB");
    QTest::keyClick(edit, Qt::Key_C);
    seen.clear();
    Widget(kSpin)->setFocus();
    QApplication::processEvents();
    ASSERT_EQ(EventsOf(kText), Events{EVENT_COMMIT});
    EXPECT_EQ(seen.back().event, EVENT_GOT_FOCUS);
}

TEST_F(PanelTest, ValuesAndAttributesRoundTripWithoutEvents) {
    SetCtrlAttribute(m_panel, kSpin, ATTR_MAX_VALUE, 60000);
    EXPECT_EQ(SetCtrlVal(m_panel, kSpin, 59000) + SetCtrlVal(m_panel, kDisplay, 70000) +
                  SetCtrlVal(m_panel, kText, "Grüße  \"x\""),
              0);
    EXPECT_TRUE(seen.empty());   // the program's own settings raise no events
    EXPECT_EQ(std::tuple(Value(kSpin), Value<std::string>(kText), Value<uint16_t>(kDisplay)),
              std::tuple(59000, "Grüße  \"x\"", 65535));
    EXPECT_EQ(SetCtrlVal(m_panel, kRing, 7), kErrBadValue);   // no such item
}

// A line edit's frame is copied from a picture kept per size and state: it must look as the
// application's style draws it in each state, editable or read-only.
TEST_F(PanelTest, LineEditsLookAsTheStyleDrawsThemInEachState) {
    const auto shoot = [&] {
        std::vector<QImage> shots;
        for (int control : {kText, kDisplay}) {
            for (int state : {0, 1, 2}) {   // plain, focused, dimmed
                SetActiveCtrl(m_panel, state == 1 ? control : kCmd);
                SetCtrlAttribute(m_panel, control, ATTR_DIMMED, state == 2 ? 1 : 0);
                shots.push_back(Widget(control)->grab().toImage());
            }
        }
        return shots;
    };
    const std::vector<QImage> cached = shoot();
    for (int control : {kText, kDisplay}) Widget(control)->setStyle(QApplication::style());
    EXPECT_EQ(cached, shoot());
}

TEST_F(PanelTest, APanelCanDiscardItselfFromItsOwnCallback) {
    InstallCtrlCallback(
        m_panel, kCmd,
        [](int panel, int, int event, void*, int, int) {
            if (event == EVENT_COMMIT) discardingPanel = DiscardPanel(panel) == 0 ? panel : -1;
            return 0;
        },
        nullptr);
    QPointer<QWidget> widget = PanelWidget(m_panel);
    QTest::mouseClick(widget->findChild<QPushButton*>("cmd"), Qt::LeftButton);
    EXPECT_TRUE(discardingPanel == m_panel && PanelWidget(m_panel) == nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(widget.isNull());
}

// Reported like a click.
TEST_F(PanelTest, ButtonsPressedWithoutAClickCommitThePendingEditFirst) {
    auto* button = Widget<QPushButton>(kCmd);
    button->setShortcut(Qt::Key_F9);
    ASSERT_TRUE(QTest::qWaitForWindowActive(PanelWidget(m_panel)));
    auto* actions = QAccessible::queryAccessibleInterface(button)->actionInterface();
    const std::function<void()> presses[] = {[&] { QTest::keyClick(Widget(kSpin), Qt::Key_F9); },
                                             [&] { actions->doAction(QAccessibleActionInterface::pressAction()); }};
    int typed = 40;
    for (const auto& press : presses) {
        auto* spin = Widget<QSpinBox>(kSpin);
        spin->setFocus();
        spin->selectAll();
        QTest::keyClicks(spin, QString::number(++typed));
        seen.clear();
        press();
        ASSERT_TRUE(QTest::qWaitFor([] { return !EventsOf(kCmd).empty(); }, 5000));
        EXPECT_EQ(Value(kSpin), typed);
        ASSERT_EQ(seen.size(), 3u);
        EXPECT_EQ((Events{seen[0].event, seen[1].event, seen[2].event, seen[2].control}),
                  (Events{EVENT_VAL_CHANGED, EVENT_COMMIT, EVENT_COMMIT, kCmd}));
    }
    QAccessible::queryAccessibleInterface(Widget(kToggle))
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(std::pair(EventsOf(kToggle), Value(kToggle)), std::pair(Events{EVENT_VAL_CHANGED}, 1));
}

// Otherwise (an installed program; /proc, where an administrator passes the permission check but no
// file can be made) settings go to the window's folder among the user's configuration folders (on
// Windows %APPDATA%\TavrixV20), whichever program asks, and dialogs start in the user's documents.
TEST(Files, TheProgramsFolderWhileAFileCanBeMadeThereElseTheUsersFolders) {
    QTemporaryDir dir, home;
    qputenv("HOME", home.path().toUtf8());
    for (const char* base : {"XDG_CONFIG_HOME", "APPDATA"}) qputenv(base, dir.filePath("user").toUtf8());
    const std::string program = dir.path().toStdString(), documents = home.filePath("Documents").toStdString(),
                      user = QDir::toNativeSeparators(dir.filePath("user/TavrixV20")).toStdString();
    const struct {
        std::string program;
        bool documents;
        std::string config, dialog;
    } cases[] = {{program, false, program, program},
                 {dir.filePath("not-there").toStdString(), false, user, home.path().toStdString()},
                 {"/proc", true, user, documents}};
    for (const auto& c : cases) {
        if (c.documents) QDir().mkdir(QString::fromStdString(documents));
        SetProjectDir(c.program);
        EXPECT_EQ(GetConfigDir() + " " + GetDialogDir(), c.config + " " + c.dialog);
    }
    EXPECT_TRUE(QFileInfo(QString::fromStdString(user)).isDir());
    SetProjectDir("");
}

// A full disk: an append is cut back to the file's former end, a replacement leaves the old file whole.
TEST(Files, AWriteThatComesUpShortLeavesTheFileAsItWas) {
    QTemporaryDir dir;
    const std::string path = JoinPath(dir.path().toStdString(), "f.dat"), old = "0123456789\r\n", line = "abcdef\r\n";
    // The limit, append or replace, and the file after it.
    const std::tuple<long long, bool, std::string> cases[] = {
        {15, true, old}, {12, true, old}, {20, true, old + line}, {7, false, old}, {8, false, line}};
    for (const auto& [limit, append, expected] : cases) {
        ASSERT_TRUE(WriteFileBytes(path, old));
        testsystem::LimitFileSize(limit);
        const bool written = append ? AppendFileBytes(path, line) : WriteFileBytes(path, line);
        testsystem::LimitFileSize(-1);
        std::string after;
        EXPECT_TRUE(ReadFileBytes(path, after));
        EXPECT_EQ(std::tuple(after, written ? "" : LastFileFailureReason()),
                  std::tuple(expected, expected == old ? "File too large" : ""))
            << limit;
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"f.dat"});   // nothing left beside it
}

std::vector<int> tcpEvents;

int TcpRecord(unsigned, int event, int, void*) {
    tcpEvents.push_back(event);
    return 0;
}

// A peer that sends faster than the program reads is held back (at most the read buffer waits unread).
TEST(Tcp, ReadsNeverBlockACloseIsReportedOnceAndAFastPeerIsHeldBack) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    std::vector<char> buffer(4 << 20);
    const int size = static_cast<int>(buffer.size());
    unsigned handle = 0;
    const auto connect = [&] {
        ASSERT_EQ(ConnectToTCPServer(&handle, server.serverPort(), "127.0.0.1", &TcpRecord, nullptr, 2000), 0);
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.hasPendingConnections(); }));
    };
    connect();
    EXPECT_EQ(ClientTCPRead(handle, buffer.data(), size, 5000), 0);
    server.nextPendingConnection()->close();
    ASSERT_TRUE(QTest::qWaitFor([] { return !tcpEvents.empty(); }));
    QTest::qWait(100);
    EXPECT_EQ(tcpEvents, std::vector<int>{TCP_DISCONNECT});
    EXPECT_LT(ClientTCPRead(handle, buffer.data(), size, 5000), 0);
    EXPECT_LT(ClientTCPWrite(handle, "x", 1, 100), 0);

    connect();
    server.nextPendingConnection()->write(QByteArray(16 << 20, 'x'));   // more than any socket buffer
    QTest::qWait(300);
    const int unread = ClientTCPRead(handle, buffer.data(), size, 100);
    EXPECT_GT(unread, 0);
    EXPECT_LE(unread, 32 * 1024);   // the client's read buffer
    DisconnectFromTCPServer(handle);
}

// Over a pseudo-terminal, whose master side the test plays.
TEST(Serial, PortNumbersCodesAndQueues) {
    int master = -1, slave = -1;
    std::string name;
    ASSERT_TRUE(testsystem::OpenTestTerminal(master, slave, name));
    SetSerialPortTable({{name, "pseudo-terminal"}});
    EXPECT_EQ(GetInQLen(1), -3);   // not open
    ASSERT_EQ(OpenComConfig(1, "", 19200, kParityNone, 8, 1, 1024, 1024), 0);
    ASSERT_EQ(testsystem::WriteAll(master, "ABCDEFGH", 8), 8);
    EXPECT_TRUE(QTest::qWaitFor([] { return GetInQLen(1) == 8; }));
    uint8_t buffer[16] = {};
    EXPECT_EQ((std::vector{ComRd(1, buffer, 3), ComRd(1, buffer, 16), ComRd(1, buffer, 16), CloseCom(1),
                           ComRd(1, buffer, 1)}),
              (std::vector{3, 5, 0, 0, -3}));
    for (int fd : {master, slave}) testsystem::Close(fd);
}

}   // namespace
