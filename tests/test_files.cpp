// Files the program cannot write or should not trust: a program directory where nothing can be
// written, record files in a folder that does not exist or on a device that takes no bytes,
// and settings and history files that are empty, binary garbage, 10 MB long or have lines of
// 100 000 characters. The program goes on, tells the user what failed, and takes what is valid.
#include <QComboBox>
#include <QTimer>
#include <random>

#include "apptest.h"
#include "connection/combobox.h"
#include "connection/configfiles.h"
#include "connection/connection.h"
#include "recorder/recorder.h"

using namespace apptest;
namespace sl = sensorlink;

namespace {

// Nothing can be created in a process's /proc directory, whoever runs the test (root too).
constexpr char kUnwritableDir[] = "/proc/self";
constexpr double kStartUpLimitS = 3.0;        // start-up with files of any size and shape
constexpr size_t kTenMegabytes = 10u << 20;
constexpr size_t kLongLine = 100'000;

void ResetConnectionModule() {
    connection::historyWriteFailureReported = false;
    connection::refreshPortTableOnOpen = false;   // the port table holds the simulator
}

int CountTitled(const std::string& title, const std::string& part) {
    int n = 0;
    for (const auto& popup : platform::PopupLog())
        n += popup.title == title && popup.text.find(part) != std::string::npos;
    return n;
}

std::string RandomBytes(size_t n) {
    std::mt19937 random(20261206);
    std::string bytes(n, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    return bytes;
}

// Bytes that are no UTF-8 are shown as one replacement character each.
size_t Characters(const std::string& shown) {
    return static_cast<size_t>(QString::fromStdString(shown).size());
}

std::vector<std::string> HistoryShown() {
    std::vector<std::string> entries;
    const connection::ComboRecord* record =
        connection::GetComboRecord(shell::interfacepanel, ui::INTERFACEP_IPADDRESS);
    if (record == nullptr) return entries;
    int count = 0;
    platform::GetNumListItems(shell::interfacepanel, record->m_listButton, count);
    for (int i = 0; i < count; ++i) {
        std::string entry;
        platform::GetValueFromIndex(shell::interfacepanel, record->m_listButton, i, entry);
        entries.push_back(entry);
    }
    return entries;
}

}  // namespace

// ---- a program directory nobody can write into ----------------------------------------------

TEST(FilesProgramDirectory, UnwritableTheProgramGoesOnAndSaysSoOncePerFile) {
    ResetConnectionModule();
    Program program(Transport::Pty);
    // Without a settings file the program takes RS-232 port 1, the simulator.
    platform::SetProjectDir(kUnwritableDir);
    program.Start();
    ASSERT_EQ(program.Text(shell::datapanel, ui::DATAP_STATUS), sim::kDefaultIdentification);
    platform::ClearPopupLog();

    program.Click(shell::mainpanel, ui::MAINP_BUTTON_CONNECT);
    for (const char* address : {"first.lan", "second.lan"}) {
        platform::SetCtrlVal(shell::interfacepanel, ui::INTERFACEP_IPADDRESS, address);
        connection::CBF_StringIpAdress(shell::interfacepanel, ui::INTERFACEP_IPADDRESS,
                                       platform::EVENT_COMMIT, nullptr, 0, 0);
    }
    EXPECT_EQ(HistoryShown(), (std::vector<std::string>{"second.lan", "first.lan"}));
    EXPECT_EQ(CountTitled("ATTENTION!", shell::kHistoryFile), 1);   // once, not per commit

    program.Click(shell::interfacepanel, ui::INTERFACEP_BUTTON_TRY);
    ASSERT_FALSE(program.Dimmed(shell::interfacepanel, ui::INTERFACEP_BUTTON_ACCEPT));
    program.Click(shell::interfacepanel, ui::INTERFACEP_BUTTON_ACCEPT);
    EXPECT_EQ(CountTitled("ATTENTION!", shell::kSettingsFile), 1);
    EXPECT_EQ(platform::PopupLog().size(), 2u);
    EXPECT_TRUE(platform::PanelVisible(shell::parapanel));

    // And the sensor is still served.
    program.m_sensor.clearLog();
    program.Click(shell::mainpanel, ui::MAINP_BUTTON_GET);
    EXPECT_EQ(program.RequestCodes(), std::vector<int>{sl::kCodeParaRead});
    EXPECT_EQ(sl::comecho, 1);
}

// ---- record files that cannot be written --------------------------------------------------

class FilesRecording : public ::testing::TestWithParam<std::tuple<int, const char*>> {};

TEST_P(FilesRecording, LinesThatFailAreReportedNotSaved) {
    const auto& [mode, where] = GetParam();
    ResetConnectionModule();
    Program program(Transport::Tcp);
    program.m_sensor.setScene(sim::Scene::Steady);
    program.Start();
    const std::string path = std::string(where) == "/dev/full"
                                 ? std::string(where)
                                 : program.Path("no such folder/record.dat");
    program.Click(shell::mainpanel, ui::MAINP_BUTTON_RECORDER);
    program.m_filePath = path;
    program.m_fileResult = 2;   // a new name: nothing is deleted
    program.Click(shell::recpanel, ui::RECP_BUTTON_SELFILE);
    auto* ring = qobject_cast<QComboBox*>(program.Widget(shell::recpanel, ui::RECP_MODE));
    ring->setCurrentIndex(mode);
    emit ring->activated(mode);
    platform::SetCtrlVal(shell::recpanel, ui::RECP_INTERVAL, 0);
    platform::ClearPopupLog();

    constexpr int kFrames = 2;
    const bool triggered = mode == recorder::kModeTriggered;
    int emitted = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const std::string count = program.Text(shell::recpanel, ui::RECP_RUNNING_COUNT);
        if (count == std::to_string(kFrames)) {
            program.Click(shell::recpanel, triggered ? ui::RECP_BUTTON_TRIGSTOP
                                                     : ui::RECP_BUTTON_STOP);
        } else if (triggered && emitted < kFrames && sl::poll == 1 &&
                   count == std::to_string(emitted)) {
            program.m_sensor.emitTriggeredFrame();
            ++emitted;
        }
    });
    sampler.start(20);
    program.Click(shell::recpanel, triggered ? ui::RECP_BUTTON_TRIGSTART : ui::RECP_BUTTON_START);
    sampler.stop();

    EXPECT_EQ(program.Text(shell::recpanel, ui::RECP_RUNNING_COUNT), std::to_string(kFrames));
    EXPECT_EQ(CountTitled("INFO!", recorder::kSavedText), 0);
    ASSERT_FALSE(platform::PopupLog().empty());
    EXPECT_EQ(platform::PopupLog().back().title, "ATTENTION!");
    EXPECT_EQ(platform::PopupLog().back().text,
              "2 of 2 lines could not be written to the record file:\n" + path);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, FilesRecording,
    ::testing::Values(std::make_tuple(recorder::kModeContinuous, "/dev/full"),
                      std::make_tuple(recorder::kModeContinuous, "missing folder"),
                      std::make_tuple(recorder::kModeTriggered, "/dev/full"),
                      std::make_tuple(recorder::kModeTriggered, "missing folder")),
    [](const ::testing::TestParamInfo<std::tuple<int, const char*>>& info) {
        const std::string mode =
            std::get<0>(info.param) == recorder::kModeTriggered ? "Triggered" : "Continuous";
        return mode + (std::string(std::get<1>(info.param)) == "/dev/full" ? "DevFull"
                                                                            : "MissingFolder");
    });

// ---- settings and history files of any shape -----------------------------------------------

// The program started on the given files; how long its start-up took.
class FilesAtStartUp : public ::testing::Test {
protected:
    void SetUp() override {
        ResetConnectionModule();
        m_program = std::make_unique<Program>(Transport::Tcp);
    }
    void Write(const char* name, const std::string& bytes) {
        ASSERT_TRUE(platform::WriteFileBytes(P().Path(name), bytes));
    }
    std::string GoodSettings() const {
        std::string bytes;
        platform::ReadFileBytes(P().Path(shell::kSettingsFile), bytes);
        return bytes;
    }
    double Start() {
        const double start = platform::Timer();
        P().Start();
        return platform::Timer() - start;
    }
    bool Connected() const {
        return P().Text(shell::datapanel, ui::DATAP_STATUS) == sim::kDefaultIdentification;
    }
    std::string Port() const { return std::to_string(P().m_tcp->port()); }
    Program& P() const { return *m_program; }
    std::unique_ptr<Program> m_program;
};

TEST_F(FilesAtStartUp, EmptySettingsGiveSerialPortZeroAndTheConnectionPanel) {
    Write(shell::kSettingsFile, "");
    EXPECT_LT(Start(), kStartUpLimitS);
    P().ExpectTimeoutState();
    EXPECT_EQ(P().Value(shell::interfacepanel, ui::INTERFACEP_PROTOCOL), 0);
    EXPECT_EQ(sl::comport, 0);
}

TEST_F(FilesAtStartUp, GarbageSettingsAreCutToTheirFields) {
    Write(shell::kSettingsFile, RandomBytes(64 * 1024));
    EXPECT_LT(Start(), kStartUpLimitS + sl::kConnectTimeoutMs / 1000.0);
    EXPECT_LE(Characters(P().Text(shell::interfacepanel, ui::INTERFACEP_IPADDRESS)),
              connection::kAddressMaxChars);
    EXPECT_LE(Characters(P().Text(shell::interfacepanel, ui::INTERFACEP_PORTNUMBER)),
              connection::kPortTextMaxChars);
    EXPECT_FALSE(platform::PanelVisible(shell::parapanel));   // no sensor there
}

TEST_F(FilesAtStartUp, TenMegabytesOfSettingsTakeTheirFourLines) {
    std::string bytes = GoodSettings();
    while (bytes.size() < kTenMegabytes) bytes += std::string(1000, 'x') + "\r\n";
    Write(shell::kSettingsFile, bytes);
    EXPECT_LT(Start(), kStartUpLimitS);
    EXPECT_TRUE(Connected());
}

TEST_F(FilesAtStartUp, SettingsLinesOf100000CharactersKeepTheirLimits) {
    // Numbers converted from their first 100 characters, the address up to its NUL, the port
    // text cut to 31 characters ("5000xxx..." is port 5000).
    const std::string pad(kLongLine, 'x');
    Write(shell::kSettingsFile, "1" + pad + "\r\n" + "1" + pad + "\r\n" + "127.0.0.1" +
                                    std::string(1, '\0') + pad + "\r\n" + Port() + pad + "\r\n");
    EXPECT_LT(Start(), kStartUpLimitS);
    EXPECT_TRUE(Connected());
    EXPECT_EQ(P().Text(shell::interfacepanel, ui::INTERFACEP_IPADDRESS), "127.0.0.1");
    EXPECT_EQ(P().Text(shell::interfacepanel, ui::INTERFACEP_PORTNUMBER),
              (Port() + pad).substr(0, connection::kPortTextMaxChars));
}

TEST_F(FilesAtStartUp, EmptyHistoryGivesAnEmptyList) {
    Write(shell::kHistoryFile, "");
    EXPECT_LT(Start(), kStartUpLimitS);
    EXPECT_TRUE(Connected());
    EXPECT_TRUE(HistoryShown().empty());
}

TEST_F(FilesAtStartUp, GarbageHistoryFillsNoListBeyondReason) {
    Write(shell::kHistoryFile, RandomBytes(kTenMegabytes));
    EXPECT_LT(Start(), kStartUpLimitS);
    EXPECT_TRUE(Connected());
    const auto entries = HistoryShown();
    EXPECT_LE(entries.size(), connection::kHistoryMaxRecords);
    for (const std::string& entry : entries) {
        EXPECT_LE(Characters(entry), connection::kAddressMaxChars);
        EXPECT_EQ(entry.find('\0'), std::string::npos);
    }
}

TEST_F(FilesAtStartUp, TenMegabytesOfHistoryLoadItsFirstRecordsQuickly) {
    std::vector<std::string> addresses;
    for (size_t i = 0; addresses.size() * 102 < kTenMegabytes; ++i)
        addresses.push_back("sensor-" + std::to_string(i) + ".lan");
    Write(shell::kHistoryFile, connection::FormatHistoryFile(addresses));
    EXPECT_LT(Start(), kStartUpLimitS);
    EXPECT_TRUE(Connected());
    const auto entries = HistoryShown();
    ASSERT_EQ(entries.size(), connection::kHistoryMaxRecords);
    EXPECT_TRUE(std::equal(entries.begin(), entries.end(), addresses.begin()));
}

TEST_F(FilesAtStartUp, AHistoryLineOf100000CharactersIsCutAndTheRecordsAfterItStay) {
    const std::vector<std::string> after = {"a.lan", "b.lan", "c.lan"};
    Write(shell::kHistoryFile,
          std::string(kLongLine, 'h') + "\r\n" + connection::FormatHistoryFile(after));
    EXPECT_LT(Start(), kStartUpLimitS);
    EXPECT_TRUE(Connected());
    EXPECT_EQ(HistoryShown(), (std::vector<std::string>{std::string(connection::kAddressMaxChars, 'h'),
                                                         "a.lan", "b.lan", "c.lan"}));
}
