// The connection-settings panel in the running program: the server-address history and its
// file, the settings file, accepting and discarding, and the start-up connection, against the
// simulated sensor over TCP and over a pseudo-terminal.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>

#include "apptest.h"
#include "connection/combobox.h"
#include "connection/connection.h"

using namespace apptest;

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
    void Make(Transport transport) {
        // Module state as a fresh program has it, also when the cases share one process.
        connection::comprotocolold = 0;
        connection::comportold = 0;
        connection::ipBufOld.clear();
        connection::portNumStrOld.clear();
        connection::historyWriteFailureReported = false;
        connection::refreshPortTableOnOpen = false;
        m_program = std::make_unique<Program>(transport);
    }

    Program& P() const { return *m_program; }

    void WriteFile(const char* name, const std::string& bytes) {
        ASSERT_TRUE(platform::WriteFileBytes(P().Path(name), bytes));
    }

    std::string ReadFile(const char* name) {
        std::string bytes;
        EXPECT_TRUE(platform::ReadFileBytes(P().Path(name), bytes));
        return bytes;
    }

    // Replaces a file by a directory of the same name: no one can write the file then.
    void MakeUnwritable(const char* name) {
        platform::DeleteFile(P().Path(name));
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(P().Path(name))));
    }

    // The panels and the steps of start-up before the first connection attempt.
    void LoadSettingsOnly() {
        ASSERT_EQ(shell::LoadPanels(), 0);
        shell::ipComboBoxFileName = P().Path(shell::kHistoryFile);
        shell::conSettingsFileName = P().Path(shell::kSettingsFile);
        connection::LoadAddressHistory();
    }

    int Panel() const { return shell::interfacepanel; }
    QLineEdit* Address() const {
        return qobject_cast<QLineEdit*>(P().Widget(Panel(), ui::INTERFACEP_IPADDRESS));
    }
    const connection::ComboRecord& Combo() const {
        const connection::ComboRecord* record =
            connection::GetComboRecord(Panel(), ui::INTERFACEP_IPADDRESS);
        EXPECT_NE(record, nullptr);
        return *record;
    }
    QComboBox* ListButton() const {
        return qobject_cast<QComboBox*>(P().Widget(Panel(), Combo().m_listButton));
    }

    std::vector<std::string> History() const {
        std::vector<std::string> entries;
        int count = 0;
        platform::GetNumListItems(Panel(), Combo().m_listButton, count);
        for (int i = 0; i < count; ++i) {
            std::string entry;
            platform::GetValueFromIndex(Panel(), Combo().m_listButton, i, entry);
            entries.push_back(entry);
        }
        return entries;
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

    void PickFromHistory(int index) {
        QTest::mouseClick(ListButton(), Qt::LeftButton);
        ASSERT_TRUE(ListButton()->view()->isVisible());
        // The list ignores a release that follows its opening as closely as a double click.
        QTest::qWait(QApplication::doubleClickInterval() + 100);
        QAbstractItemView* view = ListButton()->view();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          view->visualRect(view->model()->index(index, 0)).center());
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

// ---------------------------------------------------------------------------------------------
// The server-address history

TEST_F(ConnectionTest, ACommittedAddressGoesToTheTopOnceAndTheFileFollows) {
    Make(Transport::Tcp);
    // A hand-edited file may hold an address twice; only its first copy moves.
    WriteFile(shell::kHistoryFile, Record("alpha.lan") + Record("beta.lan") + Record("gamma.lan") +
                                       Record("beta.lan"));
    P().Start();
    P().Click(shell::mainpanel, ui::MAINP_BUTTON_CONNECT);
    P().Click(Panel(), ui::INTERFACEP_BUTTON_TRY);
    ASSERT_FALSE(AcceptDimmed());

    Enter(ui::INTERFACEP_IPADDRESS, "gamma.lan");
    EXPECT_EQ(History(), (std::vector<std::string>{"gamma.lan", "alpha.lan", "beta.lan", "beta.lan"}));
    EXPECT_TRUE(AcceptDimmed());
    Enter(ui::INTERFACEP_IPADDRESS, "beta.lan");
    const std::vector<std::string> expected{"beta.lan", "gamma.lan", "alpha.lan", "beta.lan"};
    EXPECT_EQ(History(), expected);
    EXPECT_EQ(sensorlink::ipBuf, "beta.lan");
    EXPECT_EQ(ReadFile(shell::kHistoryFile), connection::FormatHistoryFile(expected));
}

TEST_F(ConnectionTest, TheEleventhAddressPushesTheOldestOut) {
    Make(Transport::Tcp);
    P().Start();
    P().Click(shell::mainpanel, ui::MAINP_BUTTON_CONNECT);
    std::vector<std::string> newestFirst;
    for (char c = 'a'; c <= 'k'; ++c) {
        const std::string address = std::string("host-") + c + ".lan";
        Enter(ui::INTERFACEP_IPADDRESS, address);
        newestFirst.insert(newestFirst.begin(), address);
    }
    newestFirst.resize(connection::kHistoryEntries);
    EXPECT_EQ(History(), newestFirst);
    const std::string file = ReadFile(shell::kHistoryFile);
    EXPECT_EQ(file.size(), 10u * 102u);
    EXPECT_EQ(file, connection::FormatHistoryFile(newestFirst));
}

TEST_F(ConnectionTest, APickFromTheListMovesItToTheTopAndRewritesTheFile) {
    Make(Transport::Tcp);
    WriteFile(shell::kHistoryFile, Record("one.lan") + Record("two.lan") + Record("three.lan"));
    P().Start();
    P().Click(shell::mainpanel, ui::MAINP_BUTTON_CONNECT);
    P().Click(Panel(), ui::INTERFACEP_BUTTON_TRY);
    ASSERT_FALSE(AcceptDimmed());
    PickFromHistory(2);
    EXPECT_EQ(Address()->text(), "three.lan");
    const std::vector<std::string> expected{"three.lan", "one.lan", "two.lan"};
    EXPECT_EQ(History(), expected);
    EXPECT_EQ(ReadFile(shell::kHistoryFile), connection::FormatHistoryFile(expected));
    EXPECT_TRUE(AcceptDimmed());
}

class HistoryLineEnds : public ConnectionTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(HistoryLineEnds, TenRecordsLoadInFileOrder) {
    Make(Transport::Tcp);
    std::string file;
    std::vector<std::string> addresses;
    for (int i = 0; i < 10; ++i) {
        addresses.push_back("10.0.0." + std::to_string(i + 1));
        file += Record(addresses.back(), GetParam());
    }
    WriteFile(shell::kHistoryFile, file);
    P().Start();
    EXPECT_EQ(History(), addresses);
}

INSTANTIATE_TEST_SUITE_P(CrLfAndLf, HistoryLineEnds, ::testing::Values("\r\n", "\n"),
                         [](const auto& info) { return info.index == 0 ? "CrLf" : "Lf"; });

TEST_F(ConnectionTest, MoreThanTenRecordsLoadWholeAndAreTrimmedAtTheNextCommit) {
    Make(Transport::Tcp);
    std::string file;
    for (int i = 0; i < 12; ++i) file += Record("server" + std::to_string(100 + i));
    WriteFile(shell::kHistoryFile, file);
    P().Start();
    ASSERT_EQ(History().size(), 12u);
    P().Click(shell::mainpanel, ui::MAINP_BUTTON_CONNECT);
    Enter(ui::INTERFACEP_IPADDRESS, "fresh.lan");
    const std::vector<std::string> history = History();
    ASSERT_EQ(history.size(), 10u);
    EXPECT_EQ(history.front(), "fresh.lan");
    EXPECT_EQ(history.back(), "server108");
    EXPECT_EQ(ReadFile(shell::kHistoryFile), connection::FormatHistoryFile(history));
}

TEST_F(ConnectionTest, EmptyAndOverLongRecords) {
    Make(Transport::Tcp);
    // An empty record is skipped; a record without its NUL keeps 99 characters.
    const std::string longAddress(connection::kHistoryFieldBytes, 'x');
    WriteFile(shell::kHistoryFile, Record("") + longAddress + kCrLf + Record("b.lan"));
    P().Start();
    EXPECT_EQ(History(), (std::vector<std::string>{std::string(99, 'x'), "b.lan"}));

    // Committing an empty address puts an empty entry first: a record of 100 NUL bytes.
    P().Click(shell::mainpanel, ui::MAINP_BUTTON_CONNECT);
    Enter(ui::INTERFACEP_IPADDRESS, "");
    EXPECT_EQ(History().front(), "");
    const std::string file = ReadFile(shell::kHistoryFile);
    ASSERT_EQ(file.size(), 3u * 102u);
    EXPECT_EQ(file.substr(0, 102), std::string(100, '\0') + kCrLf);
    EXPECT_EQ(file.substr(102, 102), std::string(99, 'x') + '\0' + kCrLf);
}

TEST_F(ConnectionTest, AHistoryFileThatCannotBeWrittenIsReportedOnce) {
    Make(Transport::Tcp);
    P().Start();
    MakeUnwritable(shell::kHistoryFile);
    platform::ClearPopupLog();
    P().Click(shell::mainpanel, ui::MAINP_BUTTON_CONNECT);
    Enter(ui::INTERFACEP_IPADDRESS, "first.lan");
    Enter(ui::INTERFACEP_IPADDRESS, "second.lan");
    ASSERT_EQ(platform::PopupLog().size(), 1u);
    EXPECT_EQ(platform::PopupLog()[0].title, "ATTENTION!");
    EXPECT_NE(platform::PopupLog()[0].text.find(P().Path(shell::kHistoryFile)), std::string::npos);
    // The list itself is kept.
    EXPECT_EQ(History(), (std::vector<std::string>{"second.lan", "first.lan"}));
}

// ---------------------------------------------------------------------------------------------
// The settings file

TEST_F(ConnectionTest, WithoutASettingsFileRs232Port1AndTheFormsValues) {
    Make(Transport::Tcp);
    platform::DeleteFile(P().Path(shell::kSettingsFile));
    LoadSettingsOnly();
    const std::string address = P().Text(Panel(), ui::INTERFACEP_IPADDRESS);
    const std::string portText = P().Text(Panel(), ui::INTERFACEP_PORTNUMBER);
    const int protocol = P().Value(Panel(), ui::INTERFACEP_PROTOCOL);
    sensorlink::comprotocol = 1;
    sensorlink::comport = 7;
    connection::GetConnectionSettingsFromFile();
    EXPECT_EQ(sensorlink::comprotocol, sensorlink::kRS232);
    EXPECT_EQ(sensorlink::comport, 1);
    EXPECT_EQ(P().Text(Panel(), ui::INTERFACEP_IPADDRESS), address);
    EXPECT_EQ(P().Text(Panel(), ui::INTERFACEP_PORTNUMBER), portText);
    EXPECT_EQ(P().Value(Panel(), ui::INTERFACEP_PROTOCOL), protocol);
    EXPECT_EQ(P().Value(Panel(), ui::INTERFACEP_COMPORT), 1);
}

TEST_F(ConnectionTest, ASettingsFileOfTwoLinesLeavesTheTextsEmpty) {
    Make(Transport::Pty);
    WriteFile(shell::kSettingsFile, "1\r\n3\r\n");
    LoadSettingsOnly();
    connection::GetConnectionSettingsFromFile();
    EXPECT_EQ(sensorlink::comprotocol, sensorlink::kTCPIP);
    EXPECT_EQ(sensorlink::comport, 3);
    EXPECT_EQ(sensorlink::ipBuf, "");
    EXPECT_EQ(connection::portNumStr, "");
    EXPECT_EQ(P().Text(Panel(), ui::INTERFACEP_IPADDRESS), "");
    EXPECT_EQ(P().Text(Panel(), ui::INTERFACEP_PORTNUMBER), "");
    EXPECT_EQ(P().Value(Panel(), ui::INTERFACEP_PROTOCOL), 1);
    // The table holds one port; the stored number 3 stays selected, shown as not present.
    EXPECT_EQ(P().Value(Panel(), ui::INTERFACEP_COMPORT), 3);
    auto* selector = qobject_cast<QComboBox*>(P().Widget(Panel(), ui::INTERFACEP_COMPORT));
    EXPECT_EQ(selector->itemText(0).toStdString(), "1  " + P().m_pty->path().toStdString() +
                                                       "  simulated sensor");
    EXPECT_EQ(selector->currentText(), "3  (not present)");
}

TEST_F(ConnectionTest, DigitsFollowedByALetterGiveThePortNumber) {
    Make(Transport::Tcp);
    WriteFile(shell::kSettingsFile, "1\r\n1\r\n127.0.0.1\r\n" + Port() + "x\r\n");
    P().Start();
    EXPECT_EQ(sensorlink::comprotocol, sensorlink::kTCPIP);
    EXPECT_EQ(sensorlink::portNum, m_program->m_tcp->port());
    EXPECT_EQ(P().Text(Panel(), ui::INTERFACEP_PORTNUMBER), Port() + "x");
    EXPECT_EQ(P().Text(shell::datapanel, ui::DATAP_STATUS), sim::kDefaultIdentification);
}

TEST_F(ConnectionTest, AcceptStoresExactlyTheFourLinesAfterASuccessfulTest) {
    Make(Transport::Tcp);
    P().Start();
    P().Click(shell::mainpanel, ui::MAINP_BUTTON_CONNECT);
    EXPECT_TRUE(platform::PanelVisible(Panel()));
    EXPECT_TRUE(AcceptDimmed());
    // A dimmed accept button stores nothing.
    platform::DeleteFile(P().Path(shell::kSettingsFile));
    P().Click(Panel(), ui::INTERFACEP_BUTTON_ACCEPT);
    EXPECT_TRUE(platform::PanelVisible(Panel()));
    long long size = 0;
    EXPECT_EQ(platform::GetFileInfo(P().Path(shell::kSettingsFile), size), 0);

    P().Click(Panel(), ui::INTERFACEP_BUTTON_TRY);
    ASSERT_FALSE(AcceptDimmed());
    P().m_sensor.clearLog();
    P().Click(Panel(), ui::INTERFACEP_BUTTON_ACCEPT);
    EXPECT_EQ(ReadFile(shell::kSettingsFile), "1\r\n1\r\n127.0.0.1\r\n" + Port() + "\r\n");
    EXPECT_TRUE(platform::PanelVisible(shell::parapanel));
    EXPECT_FALSE(platform::PanelVisible(Panel()));
    EXPECT_TRUE(P().RequestCodes().empty());   // accepting makes no connection attempt
}

TEST_F(ConnectionTest, EditsDimTheAcceptButton) {
    Make(Transport::Tcp);
    P().Start();
    P().Click(shell::mainpanel, ui::MAINP_BUTTON_CONNECT);
    P().Click(Panel(), ui::INTERFACEP_BUTTON_TRY);
    ASSERT_FALSE(AcceptDimmed());
    Enter(ui::INTERFACEP_PORTNUMBER, Port());   // even the same text
    EXPECT_TRUE(AcceptDimmed());

    P().Click(Panel(), ui::INTERFACEP_BUTTON_TRY);
    ASSERT_FALSE(AcceptDimmed());
    // The interface selector, switched to RS-232 from the keyboard, shows the serial port
    // selector instead of the server address box (with its list button and frame) and the
    // port number box; back on TCP/IP they all show again.
    const std::vector<int> tcpControls{ui::INTERFACEP_IPADDRESS, Combo().m_listButton,
                                       Combo().m_frame, ui::INTERFACEP_PORTNUMBER};
    QWidget* protocol = P().Widget(Panel(), ui::INTERFACEP_PROTOCOL);
    protocol->setFocus();
    QTest::keyClick(protocol, Qt::Key_Up);
    EXPECT_EQ(P().Value(Panel(), ui::INTERFACEP_PROTOCOL), 0);
    EXPECT_TRUE(AcceptDimmed());
    EXPECT_TRUE(Visible(Panel(), ui::INTERFACEP_COMPORT));
    for (int control : tcpControls) EXPECT_FALSE(Visible(Panel(), control)) << control;
    QTest::keyClick(protocol, Qt::Key_Down);
    EXPECT_EQ(P().Value(Panel(), ui::INTERFACEP_PROTOCOL), 1);
    EXPECT_FALSE(Visible(Panel(), ui::INTERFACEP_COMPORT));
    for (int control : tcpControls) EXPECT_TRUE(Visible(Panel(), control)) << control;
}

TEST_F(ConnectionTest, DiscardPutsBackWhatThePanelShowedAndReconnects) {
    Make(Transport::Tcp);
    P().Start();
    P().Click(shell::mainpanel, ui::MAINP_BUTTON_CONNECT);
    Enter(ui::INTERFACEP_PORTNUMBER, "1");   // nothing listens there
    P().Click(Panel(), ui::INTERFACEP_BUTTON_TRY);
    P().ExpectTimeoutState();

    P().m_sensor.clearLog();
    P().Click(Panel(), ui::INTERFACEP_BUTTON_DISCARD);
    EXPECT_EQ(P().Text(Panel(), ui::INTERFACEP_PORTNUMBER), Port());
    EXPECT_EQ(P().Text(Panel(), ui::INTERFACEP_IPADDRESS), "127.0.0.1");
    EXPECT_EQ(P().Value(Panel(), ui::INTERFACEP_PROTOCOL), 1);
    EXPECT_EQ(P().RequestCodes(), (std::vector<int>{7, 3}));
    EXPECT_EQ(P().Text(Panel(), ui::INTERFACEP_STATUS), sim::kDefaultIdentification);
    EXPECT_TRUE(platform::PanelVisible(Panel()));
    EXPECT_FALSE(platform::PanelVisible(shell::parapanel));
    EXPECT_FALSE(AcceptDimmed());
    EXPECT_FALSE(P().Dimmed(Panel(), ui::INTERFACEP_BUTTON_DISCARD));
}

TEST_F(ConnectionTest, DiscardBeforeThePanelWasEverOpenedPutsBackNothingSet) {
    Make(Transport::Tcp);
    P().Start();
    shell::ShowChildPanel(shell::kShowConnection);
    P().Click(Panel(), ui::INTERFACEP_BUTTON_DISCARD);
    EXPECT_EQ(P().Value(Panel(), ui::INTERFACEP_PROTOCOL), 0);
    EXPECT_EQ(P().Value(Panel(), ui::INTERFACEP_COMPORT), 0);
    EXPECT_EQ(P().Text(Panel(), ui::INTERFACEP_IPADDRESS), "");
    EXPECT_EQ(P().Text(Panel(), ui::INTERFACEP_PORTNUMBER), "");
    P().ExpectTimeoutState();   // port 0 does not exist
}

TEST_F(ConnectionTest, SettingsThatCannotBeSavedAreReportedBeforeTheParameterPanel) {
    Make(Transport::Tcp);
    P().Start();
    MakeUnwritable(shell::kSettingsFile);
    bool parametersShownAtTheBox = true;
    platform::SetPopupHandler([&](const platform::PopupRecord&, std::string&) {
        parametersShownAtTheBox = platform::PanelVisible(shell::parapanel);
        return 1;
    });
    platform::ClearPopupLog();
    P().Click(shell::mainpanel, ui::MAINP_BUTTON_CONNECT);
    P().Click(Panel(), ui::INTERFACEP_BUTTON_TRY);
    P().Click(Panel(), ui::INTERFACEP_BUTTON_ACCEPT);
    ASSERT_EQ(platform::PopupLog().size(), 1u);
    EXPECT_EQ(platform::PopupLog()[0].title, "ATTENTION!");
    EXPECT_NE(platform::PopupLog()[0].text.find(P().Path(shell::kSettingsFile)), std::string::npos);
    EXPECT_FALSE(parametersShownAtTheBox);
    EXPECT_TRUE(platform::PanelVisible(shell::parapanel));
}

TEST_F(ConnectionTest, TheSensorIdGoesToTheRecorderPanelOnly) {
    Make(Transport::Tcp);
    P().Start();
    const std::string settings = ReadFile(shell::kSettingsFile);
    P().m_sensor.clearLog();
    P().Click(shell::mainpanel, ui::MAINP_BUTTON_CONNECT);
    Enter(ui::INTERFACEP_SENSOR_ID, "Line 3 / left");
    EXPECT_EQ(P().Text(shell::recpanel, ui::RECP_SENSOR_ID), "Line 3 / left");
    EXPECT_EQ(ReadFile(shell::kSettingsFile), settings);
    EXPECT_TRUE(P().RequestCodes().empty());
}

// ---------------------------------------------------------------------------------------------
// The start-up connection

class StartUp : public ConnectionTest, public ::testing::WithParamInterface<Transport> {};

TEST_P(StartUp, WithTheSensorTheProgramComesUpOnTheParameterPanel) {
    Make(GetParam());
    P().Start();
    EXPECT_TRUE(platform::PanelVisible(shell::parapanel));
    EXPECT_FALSE(platform::PanelVisible(Panel()));
    EXPECT_EQ(P().Text(shell::datapanel, ui::DATAP_STATUS), sim::kDefaultIdentification);
    EXPECT_EQ(P().Text(Panel(), ui::INTERFACEP_STATUS), sim::kDefaultIdentification);
    const sim::Record& ram = P().m_sensor.ram();
    EXPECT_EQ(P().Value(shell::parapanel, ui::PARAP_POWER), ram[0]);
    EXPECT_EQ(P().Value(shell::parapanel, ui::PARAP_DYNWINHI), ram[3]);
    EXPECT_EQ(P().Value(shell::parapanel, ui::PARAP_HYSTERESIS), ram[13]);
    EXPECT_FALSE(AcceptDimmed());

    const bool serial = GetParam() == Transport::Pty;
    EXPECT_EQ(Visible(shell::datapanel, ui::DATAP_COMPORT), serial);
    EXPECT_EQ(Visible(shell::datapanel, ui::DATAP_IPADDRESS), !serial);
    EXPECT_EQ(Visible(Panel(), ui::INTERFACEP_COMPORT), serial);
    EXPECT_EQ(Visible(Panel(), Combo().m_listButton), !serial);
    if (serial) {
        EXPECT_EQ(P().Value(shell::datapanel, ui::DATAP_COMPORT), 1);
    } else {
        EXPECT_EQ(P().Text(shell::datapanel, ui::DATAP_IPADDRESS), "127.0.0.1");
    }
}

TEST_P(StartUp, WithoutTheSensorTheProgramWaitsOnTheConnectionPanel) {
    Make(GetParam());
    if (GetParam() == Transport::Tcp)
        m_program->m_tcp.reset();   // nothing listens on the stored port any more
    else
        platform::SetSerialPortTable({});
    P().Start();
    P().ExpectTimeoutState();
    EXPECT_FALSE(P().Dimmed(shell::mainpanel, ui::MAINP_BUTTON_GO));
    EXPECT_FALSE(P().Dimmed(Panel(), ui::INTERFACEP_BUTTON_TRY));
}

INSTANTIATE_TEST_SUITE_P(Transports, StartUp, ::testing::Values(Transport::Tcp, Transport::Pty),
                         TransportName);

}  // namespace
