// The connection-settings panel in the running program: the address field's combo box, its
// history and the history file, the settings file, accepting and discarding, and the interface
// shown at start-up, against the simulated sensor over TCP and over a pseudo-terminal.
#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QSerialPort>

#include "apptest.h"
#include "connection/combobox.h"
#include "connection/connection.h"

using namespace apptest;
using Entries = std::vector<std::string>;

namespace {

constexpr char kCrLf[] = "\r\n";

std::string Record(const std::string& text, const std::string& lineEnd = kCrLf) {
    std::string field = text;
    field.resize(connection::kHistoryFieldBytes, '\0');
    return field + lineEnd;
}

// The program with the connection panel's own helpers.
class ConnectionTest : public ::testing::Test {
protected:
    void Make(Transport transport, const std::string& historyFile = "") {
        connection::refreshPortTableOnOpen = false;   // the port table holds the simulator
        m_program = std::make_unique<Program>(transport);
        if (!historyFile.empty()) WriteFile(connection::kHistoryFile, historyFile);
    }

    Program& P() const { return *m_program; }
    void WriteFile(const char* name, const std::string& bytes) {
        ASSERT_TRUE(platform::WriteFileBytes(P().Path(name), bytes));
    }
    std::string ReadFile(const char* name) {
        std::string bytes;
        platform::ReadFileBytes(P().Path(name), bytes);
        return bytes;
    }

    int Panel() const { return ui::interfacepanel; }
    const connection::ComboRecord& Combo() const {
        return *connection::GetComboRecord(Panel(), ui::INTERFACEP_IPADDRESS);
    }
    QComboBox* ListButton() const { return qobject_cast<QComboBox*>(P().Widget(Panel(), Combo().m_listButton)); }
    Entries History() const {
        Entries entries;
        for (int i = 0; i < ListButton()->count(); ++i) entries.push_back(ListButton()->itemText(i).toStdString());
        return entries;
    }
    void ExpectHistory(const Entries& expected) {
        EXPECT_EQ(History(), expected);
        EXPECT_EQ(ReadFile(connection::kHistoryFile), connection::FormatHistoryFile(expected));
    }

    // Types into a text box as the user does and confirms with Enter.
    void Enter(int control, const std::string& text) {
        auto* edit = qobject_cast<QLineEdit*>(P().Widget(Panel(), control));
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, QString::fromStdString(text));
        QTest::keyClick(edit, Qt::Key_Return);
    }

    bool Visible(int panel, int control) const {
        int visible = 0;
        platform::GetCtrlAttribute(panel, control, platform::ATTR_VISIBLE, visible);
        return visible != 0;
    }
    bool AcceptDimmed() const { return P().Dimmed(Panel(), ui::INTERFACEP_BUTTON_ACCEPT); }
    std::string Port() const { return std::to_string(m_program->m_tcp->port()); }

    std::unique_ptr<Program> m_program;
};

TEST_F(ConnectionTest, CommitsAndPicksMoveAnAddressToTheTopKeepTenAndRewriteTheFile) {
    // An empty record is skipped, more than ten load, in file order, whether lines end in CR LF
    // or LF (over-long records: test_files.cpp).
    Entries stored{"first.lan"};
    std::string file = Record("") + Record(stored[0]);
    for (int i = 100; i <= 110; ++i) {
        stored.push_back("server" + std::to_string(i));
        file += Record(stored.back(), i % 2 ? "\n" : kCrLf);
    }
    Make(Transport::Tcp, file);
    P().Start();
    ASSERT_EQ(History(), stored);
    P().Click(ui::mainpanel, ui::MAINP_BUTTON_CONNECT);
    P().Click(Panel(), ui::INTERFACEP_BUTTON_TRY);
    ASSERT_FALSE(AcceptDimmed());

    // An address already listed moves to the top once; the next commit trims the list to ten.
    Enter(ui::INTERFACEP_IPADDRESS, "server105");
    EXPECT_EQ(sensorlink::ipBuf, "server105");
    Entries expected{"server105", stored[0],   "server100", "server101", "server102",
                     "server103", "server104", "server106", "server107", "server108"};
    ExpectHistory(expected);
    // The eleventh address pushes the oldest out, in the list and in the file.
    Enter(ui::INTERFACEP_IPADDRESS, "fresh.lan");
    expected.insert(expected.begin(), "fresh.lan");
    expected.pop_back();
    ExpectHistory(expected);
    EXPECT_EQ(ReadFile(connection::kHistoryFile).size(), 10u * 102u);

    // A pick from the list, made with the mouse, moves that entry to the top.
    platform::SetCtrlAttribute(Panel(), ui::INTERFACEP_BUTTON_ACCEPT, platform::ATTR_DIMMED, 0);
    QTest::mouseClick(ListButton(), Qt::LeftButton);
    QAbstractItemView* view = ListButton()->view();
    ASSERT_TRUE(view->isVisible());
    QTest::qWait(QApplication::doubleClickInterval() + 100);   // or the release is ignored
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(4, 0)).center());
    EXPECT_EQ(P().Text(Panel(), ui::INTERFACEP_IPADDRESS), "server101");
    std::rotate(expected.begin(), expected.begin() + 4, expected.begin() + 5);
    ExpectHistory(expected);
    EXPECT_TRUE(AcceptDimmed());

    // An empty address is stored as a record of 100 NUL bytes.
    Enter(ui::INTERFACEP_IPADDRESS, "");
    EXPECT_EQ(History().front(), "");
    EXPECT_EQ(ReadFile(connection::kHistoryFile).substr(0, 102), std::string(100, '\0') + kCrLf);
}

// The address field's combo box as the user works it: typing completes from the first entry
// that matches and selects the added part, Backspace does not complete, an emptied text takes
// the first entry, a paste completes; Down opens the list, whose pick is cut to the maximum entry length and
// committed; Shift+Tab skips the list button and hidden controls; a click on the list button
// leaves the focus in the text. Which entry completes a text is tested in test_core.cpp.
TEST_F(ConnectionTest, TheAddressFieldCompletesPicksAndTabsAsTheUserTypes) {
    Make(Transport::Tcp, Record("a-very-long-server-name") + Record("Alpha") + Record("alps"));
    P().Start();
    P().Click(ui::mainpanel, ui::MAINP_BUTTON_CONNECT);
    auto* text = qobject_cast<QLineEdit*>(P().Widget(Panel(), ui::INTERFACEP_IPADDRESS));
    const auto shown = [&] { return (text->text() + "|" + text->selectedText()).toStdString(); };
    text->setFocus();
    text->selectAll();
    QTest::keyClick(text, Qt::Key_Delete);
    QTest::keyClicks(text, "al");
    EXPECT_EQ(shown(), "alpha|pha");
    QTest::keyClicks(text, "ps");   // typed over the selection
    EXPECT_EQ(shown(), "alps|");
    QTest::keyClick(text, Qt::Key_Backspace);
    EXPECT_EQ(shown(), "alp|");
    // Cut and paste come as a keyboard sends them: Ctrl with a control character's text.
    const auto ctrlKey = [&](Qt::Key key, const char* keyText) {
        QTest::sendKeyEvent(QTest::Click, text, key, QString(keyText), Qt::ControlModifier);
    };
    text->selectAll();
    ctrlKey(Qt::Key_X, "\x18");
    EXPECT_EQ(shown(), "a-very-long-server-name|a-very-long-server-name");
    QTest::keyClick(text, Qt::Key_Backspace);
    QApplication::clipboard()->setText("al");
    ctrlKey(Qt::Key_V, "\x16");
    EXPECT_EQ(shown(), "alpha|pha");

    ASSERT_EQ(connection::Combo_SetComboAttribute(Panel(), ui::INTERFACEP_IPADDRESS,
                                                  connection::COMBO_ATTR_MAX_ENTRY_LENGTH, 6),
              0);
    QTest::keyClick(text, Qt::Key_Down);
    EXPECT_TRUE(ListButton()->view()->isVisible());
    QTest::keyClick(ListButton()->view(), Qt::Key_Return);   // takes the highlighted entry
    EXPECT_FALSE(ListButton()->view()->isVisible());
    EXPECT_EQ(shown(), "a-very|");
    EXPECT_EQ(sensorlink::ipBuf, "a-very");   // committed with the text already set

    text->setFocus();
    QTest::keyClick(text, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(platform::GetActiveCtrl(Panel()), ui::INTERFACEP_PROTOCOL);   // the port is hidden
    QTest::mouseClick(ListButton(), Qt::LeftButton);
    EXPECT_TRUE(ListButton()->view()->isVisible());
    EXPECT_EQ(platform::GetActiveCtrl(Panel()), ui::INTERFACEP_IPADDRESS);
    QTest::keyClick(ListButton()->view(), Qt::Key_Escape);
    EXPECT_EQ(platform::GetActiveCtrl(Panel()), ui::INTERFACEP_IPADDRESS);
    EXPECT_EQ(sensorlink::ipBuf, "a-very");   // escape commits nothing
}

// Each attribute of the address field reaches the parts it names and reads back; after moving,
// sizing and a taller text's new point size the square list button still leads the text.
TEST_F(ConnectionTest, TheAddressFieldsAttributesReachTheirPartsAndKeepItsLayout) {
    using namespace connection;
    using namespace platform;
    Make(Transport::Tcp);
    P().Start();
    const int p = Panel(), text = ui::INTERFACEP_IPADDRESS;
    const int parts[] = {text, Combo().m_listButton, Combo().m_frame};
    const auto get = [&](int a, int v = -1) {
        Combo_GetComboAttribute(p, text, a, v);
        return v;
    };
    const int h = P().Attribute(p, text, ATTR_HEIGHT) + 8;   // the text part made taller
    SetCtrlAttribute(p, text, ATTR_HEIGHT, h);
    // code, value, the platform's attribute and whether the text, list button and frame take it
    const struct {
        int code, value, attr;
        bool takes[3];
    } kCases[] = {{COMBO_ATTR_TEXT_COLOR, 0x123456, ATTR_TEXT_COLOR, {1, 0, 0}},
                  {COMBO_ATTR_FRAME_COLOR, 0x00FF00, ATTR_FRAME_COLOR, {1, 1, 1}},
                  {COMBO_ATTR_TEXT_BOLD, 1, ATTR_TEXT_BOLD, {1, 1, 0}},
                  {COMBO_ATTR_TEXT_BGCOLOR, 0xFFFF00, ATTR_TEXT_BGCOLOR, {1, 1, 0}},
                  {COMBO_ATTR_MAX_ENTRY_LENGTH, 20, ATTR_MAX_ENTRY_LENGTH, {1, 0, 0}},
                  {COMBO_ATTR_DIMMED, 1, ATTR_DIMMED, {1, 1, 1}},
                  {COMBO_ATTR_TOP, 150, ATTR_TOP, {0, 0, 1}},
                  {COMBO_ATTR_LEFT, 100, ATTR_LEFT, {0, 0, 1}},
                  {COMBO_ATTR_WIDTH, 300, ATTR_WIDTH, {0, 0, 1}},
                  {COMBO_ATTR_TEXT_POINT_SIZE, 15, ATTR_TEXT_POINT_SIZE, {1, 1, 0}}};   // a new layout, last
    for (const auto& c : kCases) {
        ASSERT_EQ(Combo_SetComboAttribute(p, text, c.code, c.value), 0) << c.code;
        EXPECT_EQ(get(c.code), c.value) << c.code;
        for (int i = 0; i < 3; ++i) EXPECT_EQ(P().Attribute(p, parts[i], c.attr) == c.value, c.takes[i]) << c.code << i;
    }
    EXPECT_EQ(P().Widget(p, parts[1])->geometry(), QRect(101, 151, h, h));
    EXPECT_EQ(P().Widget(p, text)->pos(), QPoint(100 + h, 151));
    EXPECT_EQ(get(COMBO_ATTR_HEIGHT), h + 2);
    ASSERT_EQ(Combo_SetComboAttribute(p, text, COMBO_ATTR_TEXT_FONT, "Monospace"), 0);
    std::string font;
    EXPECT_EQ(Combo_GetComboAttribute(p, text, COMBO_ATTR_TEXT_FONT, font), 0);
    EXPECT_EQ(font, "Monospace");
    EXPECT_EQ(P().Widget(p, parts[1])->font().family(), "Monospace");         // the list's too
    for (int code : {+COMBO_ATTR_HEIGHT, +COMBO_ATTR_SELECTION_LENGTH, 15})   // read only, or none
        EXPECT_EQ(Combo_SetComboAttribute(p, text, code, 1), kComboBadAttribute) << code;
    EXPECT_EQ(Combo_GetComboAttribute(p, text, 15, font), kComboBadAttribute);
    EXPECT_EQ(Combo_GetComboAttribute(p, ui::INTERFACEP_PORTNUMBER, 1, font), kComboNotComboBox);
}

// Replacing an entry; refused creation on a combo box or a button; a value change raised by the
// program, its commit from the event loop, but none once the box is discarded with its parts.
TEST_F(ConnectionTest, TheAddressFieldsOtherOperations) {
    using namespace connection;
    Make(Transport::Tcp, Record("one.lan") + Record("two.lan"));
    P().Start();
    const int p = Panel(), text = ui::INTERFACEP_IPADDRESS;
    ASSERT_EQ(Combo_ReplaceComboItem(p, text, 1, "renamed.lan"), 0);
    EXPECT_EQ(History(), (Entries{"one.lan", "renamed.lan"}));
    for (int control : {text, +ui::INTERFACEP_BUTTON_TRY})
        EXPECT_EQ(Combo_NewComboBox(p, control), kComboNotComboBox) << control;

    ComboRecord* record = GetComboRecord(p, text);
    const int parts[] = {text, record->m_listButton, record->m_frame};
    for (const char* address : {"pushed.lan", "gone.lan"}) {
        platform::SetCtrlVal(p, text, address);
        SendValChangedEvent(record);
        EXPECT_NE(sensorlink::ipBuf, address);   // the commit is still queued
        if (address == std::string("gone.lan")) {
            ASSERT_EQ(Combo_DiscardComboBox(p, text), 0);
        }
        bool drained = false;   // posted after the commit, so run after it
        platform::PostDeferredCall([&] { drained = true; });
        ASSERT_TRUE(PumpUntil([&] { return drained; }));
        EXPECT_EQ(sensorlink::ipBuf, "pushed.lan");
    }
    for (int control : parts) EXPECT_EQ(P().Attribute(p, control, platform::ATTR_VISIBLE), -1);
    EXPECT_EQ(Combo_DiscardComboBox(p, text), platform::kErrBadControl);
}

// Without a settings file the program takes RS-232 port 1; a stored port number that the
// port table lacks stays selected, shown as not present.
TEST_F(ConnectionTest, MissingSettingsFileAndAPortNotPresent) {
    Make(Transport::Pty);
    platform::DeleteFile(P().Path(connection::kSettingsFile));
    ASSERT_EQ(shell::LoadPanels(), 0);
    connection::conSettingsFileName = P().Path(connection::kSettingsFile);
    sensorlink::comprotocol = sensorlink::kTCPIP;
    sensorlink::comport = 7;
    connection::GetConnectionSettingsFromFile();
    EXPECT_EQ(sensorlink::comprotocol, sensorlink::kRS232);
    EXPECT_EQ(sensorlink::comport, 1);
    EXPECT_EQ(P().Value(Panel(), ui::INTERFACEP_COMPORT), 1);

    WriteFile(connection::kSettingsFile, "0\r\n3\r\n");
    connection::GetConnectionSettingsFromFile();
    EXPECT_EQ(P().Value(Panel(), ui::INTERFACEP_COMPORT), 3);
    auto* selector = qobject_cast<QComboBox*>(P().Widget(Panel(), ui::INTERFACEP_COMPORT));
    EXPECT_EQ(selector->itemText(0).toStdString(), "1  " + P().m_pty->path().toStdString() + "  simulated sensor");
    EXPECT_EQ(selector->currentText(), "3  (not present)");
}

// The panel's rules as a table of the user's actions: opening it and every edit of a setting dims
// ACCEPT (the sensor ID goes to the recorder panel only), TRY lights it when the sensor answers;
// a committed address is listed first and once. Switching to TCP closes the serial port.
TEST_F(ConnectionTest, EditsDimAcceptTryLightsItAndAcceptStoresExactlyTheFourLines) {
    Make(Transport::Pty);
    P().m_tcp = std::make_unique<sim::TcpServer>(P().m_sensor);
    ASSERT_TRUE(P().m_tcp->listen(QHostAddress::LocalHost, 0));
    P().Start();
    const auto tryIt = [&] { P().Click(Panel(), ui::INTERFACEP_BUTTON_TRY); };
    const auto port = [&] { P().Choose(Panel(), ui::INTERFACEP_COMPORT, 0); };   // the same port again
    const auto address = [&] { Enter(ui::INTERFACEP_IPADDRESS, "127.0.0.1"); };
    const auto protocol = [&](Qt::Key key) {   // switched from the keyboard
        return [&, key] { QTest::keyClick(P().Widget(Panel(), ui::INTERFACEP_PROTOCOL), key); };
    };
    const struct {
        std::function<void()> action;
        bool dimmed;
        size_t history;
    } steps[] = {{[&] { P().Click(ui::mainpanel, ui::MAINP_BUTTON_CONNECT); }, true, 0},
                 {tryIt, false, 0},
                 {port, true, 0},
                 {tryIt, false, 0},
                 {protocol(Qt::Key_Down), true, 0},
                 {protocol(Qt::Key_Up), true, 0},
                 {protocol(Qt::Key_Down), true, 0},
                 {[&] { Enter(ui::INTERFACEP_PORTNUMBER, Port()); }, true, 0},
                 {address, true, 1},
                 {tryIt, false, 1},    // over TCP now
                 {address, true, 1},   // already first: listed once
                 {tryIt, false, 1},
                 {[&] { Enter(ui::INTERFACEP_PORTNUMBER, Port()); }, true, 1},   // the same text
                 {tryIt, false, 1},
                 {[&] { Enter(ui::INTERFACEP_SENSOR_ID, "Line 3 / left"); }, false, 1}};
    // RS-232 shows the port selector; TCP the address (with list button and frame) and port number.
    const int tcpControls[] = {ui::INTERFACEP_IPADDRESS, Combo().m_listButton, Combo().m_frame,
                               ui::INTERFACEP_PORTNUMBER};
    for (size_t i = 0; i < std::size(steps); ++i) {
        steps[i].action();
        EXPECT_EQ(AcceptDimmed(), steps[i].dimmed) << i;
        ExpectHistory(Entries(steps[i].history, "127.0.0.1"));
        const bool tcp = P().Value(Panel(), ui::INTERFACEP_PROTOCOL) == 1;
        EXPECT_EQ(Visible(Panel(), ui::INTERFACEP_COMPORT), !tcp) << i;
        for (int control : tcpControls) EXPECT_EQ(Visible(Panel(), control), tcp) << i << " " << control;
    }
    EXPECT_EQ(platform::GetInQLen(1), -3);   // "Port is not open"
    EXPECT_FALSE(Visible(ui::datapanel, ui::DATAP_COMPORT));
    EXPECT_TRUE(Visible(ui::datapanel, ui::DATAP_IPADDRESS));
    EXPECT_EQ(P().Text(ui::datapanel, ui::DATAP_IPADDRESS), "127.0.0.1");
    EXPECT_EQ(P().Text(ui::recpanel, ui::RECP_SENSOR_ID), "Line 3 / left");

    P().m_sensor.clearLog();
    platform::DeleteFile(P().Path(connection::kSettingsFile));   // the fixture wrote one
    P().Click(Panel(), ui::INTERFACEP_BUTTON_ACCEPT);
    EXPECT_EQ(ReadFile(connection::kSettingsFile), "1\r\n1\r\n127.0.0.1\r\n" + Port() + "\r\n");
    EXPECT_TRUE(platform::PanelVisible(ui::parapanel));
    EXPECT_FALSE(platform::PanelVisible(Panel()));
    EXPECT_TRUE(P().RequestCodes().empty());   // accepting makes no connection attempt
}

TEST_F(ConnectionTest, DigitsAndALetterGiveThePortAndDiscardPutsBackWhatThePanelShowed) {
    Make(Transport::Tcp);
    WriteFile(connection::kSettingsFile, "1\r\n1\r\n127.0.0.1\r\n" + Port() + "x\r\n");
    ASSERT_NO_FATAL_FAILURE(P().StartConnected());
    P().Click(ui::mainpanel, ui::MAINP_BUTTON_CONNECT);
    Enter(ui::INTERFACEP_PORTNUMBER, "1");   // nothing listens there
    P().Click(Panel(), ui::INTERFACEP_BUTTON_TRY);
    P().ExpectTimeoutState();
    const auto tooltip = [&] {
        std::string text;
        platform::GetCtrlAttribute(Panel(), ui::INTERFACEP_STATUS, platform::ATTR_TOOLTIP_TEXT, text);
        return text;
    };
    EXPECT_EQ(tooltip(), "FailedToConnect (Connection refused)");   // why, beside "TIMEOUT"

    P().m_sensor.clearLog();
    P().Click(Panel(), ui::INTERFACEP_BUTTON_DISCARD);   // reconnects, staying on the panel
    EXPECT_EQ(P().Text(Panel(), ui::INTERFACEP_PORTNUMBER), Port() + "x");
    EXPECT_EQ(P().RequestCodes(), (std::vector<int>{7, 3}));
    EXPECT_EQ(P().Text(Panel(), ui::INTERFACEP_STATUS), sim::kDefaultIdentification);
    EXPECT_TRUE(platform::PanelVisible(Panel()));
    EXPECT_FALSE(AcceptDimmed());
    EXPECT_EQ(tooltip(), "");
}

// Switching from port 1 to port 2 frees port 1 for other programs and connects through port 2.
TEST_F(ConnectionTest, SwitchingTheSerialPortFreesTheOneLeft) {
    Make(Transport::Pty);
    sim::PtyServer second(P().m_sensor, false);
    ASSERT_TRUE(second.open());
    const QString first = P().m_pty->path();
    platform::SetSerialPortTable({{first.toStdString(), "first"}, {second.path().toStdString(), "second"}});
    P().Start();
    platform::SetCtrlVal(Panel(), ui::INTERFACEP_COMPORT, 2);
    P().m_sensor.clearLog();
    P().Click(Panel(), ui::INTERFACEP_BUTTON_TRY);
    EXPECT_EQ(P().RequestCodes(), (std::vector<int>{7, 3}));
    EXPECT_EQ(P().Text(ui::datapanel, ui::DATAP_STATUS), sim::kDefaultIdentification);
    QSerialPort other(first);
    EXPECT_TRUE(other.open(QIODevice::ReadWrite)) << other.errorString().toStdString();
}

}   // namespace
