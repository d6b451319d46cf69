// Files the program cannot write or should not trust: a program directory where nothing can be
// written, record files in a folder that does not exist or on a device that takes no bytes,
// and settings and history files that are empty, binary garbage, 10 MB long or have lines of
// 100 000 characters. The program goes on, tells the user what failed, and takes what is valid.
#include <optional>
#include <random>

#include "apptest.h"
#include "connection/combobox.h"
#include "core/configfiles.h"
#include "connection/connection.h"
#include "recorder/recorder.h"

using namespace apptest;
namespace sl = sensorlink;

namespace {

constexpr double kStartUpLimitS = 3.0;   // start-up with files of any size and shape
constexpr size_t kTenMegabytes = 10u << 20;
const std::string kLongLine(100'000, 'x');

// The program, with the connection module as it is at start.
std::unique_ptr<Program> Fresh(Transport transport) {
    connection::historyWriteFailureReported = false;
    connection::refreshPortTableOnOpen = false;   // the port table holds the simulator
    return std::make_unique<Program>(transport);
}

std::string RandomBytes(size_t n) {
    std::mt19937 random(20261206);
    std::string bytes(n, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    return bytes;
}

std::vector<std::string> HistoryShown() {
    const int list = connection::GetComboRecord(ui::interfacepanel, ui::INTERFACEP_IPADDRESS)->m_listButton;
    int count = 0;
    platform::GetNumListItems(ui::interfacepanel, list, count);
    std::vector<std::string> entries(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) platform::GetValueFromIndex(ui::interfacepanel, list, i, entries[i]);
    return entries;
}

}  // namespace

TEST(FilesProgramDirectory, UnwritableTheProgramGoesOnAndSaysSoOncePerFile) {
    auto program = Fresh(Transport::Pty);
    // Nothing can be created in /proc/self, whoever runs the test: neither in the program's
    // directory nor in the user's configuration folder, its fallback. Without a settings file
    // the program takes RS-232 port 1, the simulator.
    platform::SetProjectDir("/proc/self");
    qputenv("XDG_CONFIG_HOME", "/proc/self");
    program->Start();
    ASSERT_EQ(program->Text(ui::datapanel, ui::DATAP_STATUS), sim::kDefaultIdentification);
    platform::ClearPopupLog();
    program->Click(ui::mainpanel, ui::MAINP_BUTTON_CONNECT);
    for (const char* address : {"first.lan", "second.lan"}) {
        platform::SetCtrlVal(ui::interfacepanel, ui::INTERFACEP_IPADDRESS, address);
        connection::CBF_StringIpAdress(ui::interfacepanel, ui::INTERFACEP_IPADDRESS,
                                       platform::EVENT_COMMIT, nullptr, 0, 0);
    }
    EXPECT_EQ(HistoryShown(), (std::vector<std::string>{"second.lan", "first.lan"}));
    EXPECT_EQ(Program::Shown("ATTENTION!", connection::kHistoryFile), 1);   // once, not per commit
    program->Click(ui::interfacepanel, ui::INTERFACEP_BUTTON_TRY);
    ASSERT_FALSE(program->Dimmed(ui::interfacepanel, ui::INTERFACEP_BUTTON_ACCEPT));
    program->Click(ui::interfacepanel, ui::INTERFACEP_BUTTON_ACCEPT);
    EXPECT_EQ(Program::Shown("ATTENTION!", connection::kSettingsFile), 1);
    EXPECT_EQ(platform::PopupLog().size(), 2u);
    EXPECT_TRUE(platform::PanelVisible(ui::parapanel));
    program->m_sensor.clearLog();   // and the sensor is still served
    program->Click(ui::mainpanel, ui::MAINP_BUTTON_GET);
    EXPECT_EQ(program->RequestCodes(), std::vector<int>{sl::kCodeParaRead});
    EXPECT_EQ(sl::comecho, 1);
}

// ---- record files that cannot be written: timed or triggered, /dev/full or a missing folder ---

using Recording = std::tuple<int, bool>;   // the mode, and whether the file is /dev/full

class FilesRecording : public ::testing::TestWithParam<Recording> {};

std::string RecordingName(const ::testing::TestParamInfo<Recording>& info) {
    const auto [mode, devFull] = info.param;
    return std::string(mode == recorder::kModeTimed ? "Timed" : "Triggered") +
           (devFull ? "DevFull" : "MissingFolder");
}

TEST_P(FilesRecording, LinesThatFailAreReportedNotSaved) {
    const auto [mode, devFull] = GetParam();
    const bool triggered = mode == recorder::kModeTriggered;
    auto program = Fresh(Transport::Tcp);
    program->m_sensor.setScene(sim::Scene::Steady);   // no triggered frames of its own
    program->Start();
    const std::string path = devFull ? "/dev/full" : program->Path("no such folder/record.dat");
    program->Click(ui::mainpanel, ui::MAINP_BUTTON_RECORDER);
    program->ChooseRecordFile(path);   // as a new name: nothing is deleted
    program->ChooseRecordMode(mode);
    platform::SetCtrlVal(ui::recpanel, ui::RECP_RECVAL, 2);
    platform::ClearPopupLog();
    bool sent = false;   // triggered: two frames, then Stop
    program->WhileRunning([&] {
        if (!triggered) return;
        if (program->Requests(sl::kCodeTriggered) == 1 && !std::exchange(sent, true)) {
            program->m_sensor.emitTriggeredFrame();
            program->m_sensor.emitTriggeredFrame();
        }
        if (program->Text(ui::recpanel, ui::RECP_RUNNING_COUNT) == "2")
            program->Click(ui::recpanel, ui::RECP_BUTTON_TRIGSTOP);
    });
    program->Click(ui::recpanel, triggered ? ui::RECP_BUTTON_TRIGSTART : ui::RECP_BUTTON_START);
    program->StopSampler();
    EXPECT_EQ(program->Text(ui::recpanel, triggered ? ui::RECP_RUNNING_COUNT : ui::RECP_RECORDED), "2");
    EXPECT_EQ(Program::Shown("INFO!"), 0);   // no "File has been saved!", but
    EXPECT_EQ(Program::Shown("ATTENTION!", "2 of 2 lines could not be written to the record file:\n" + path),
              1);
}

INSTANTIATE_TEST_SUITE_P(Modes, FilesRecording,
                         ::testing::Combine(::testing::Values(recorder::kModeTimed, recorder::kModeTriggered),
                                            ::testing::Bool()),
                         RecordingName);

// ---- settings and history files of any shape -----------------------------------------------

// A file the program finds at start. Whatever its shape, the program starts in time, connects
// when the file leaves the sensor's settings intact, and shows no field or history entry beyond
// its limits.
struct Shape {
    const char* m_name;
    const char* m_file;
    std::string (*m_bytes)(const Program&);
    bool m_connects;
    std::optional<std::vector<std::string>> m_history;   // the history list it must show
};

void PrintTo(const Shape& shape, std::ostream* os) { *os << shape.m_name; }

std::vector<std::string> Numbered(size_t n) {   // "s0", "s1", ...
    std::vector<std::string> addresses;
    while (addresses.size() < n) addresses.push_back("s" + std::to_string(addresses.size()));
    return addresses;
}

const Shape kShapes[] = {
    {"EmptySettings", connection::kSettingsFile, [](const Program&) { return std::string(); }, false, {}},
    {"GarbageSettings", connection::kSettingsFile, [](const Program&) { return RandomBytes(64 * 1024); }, false, {}},
    {"TenMegabytesOfSettings", connection::kSettingsFile,
     [](const Program& p) {   // the four lines, then filler
         std::string bytes;
         platform::ReadFileBytes(p.Path(connection::kSettingsFile), bytes);
         while (bytes.size() < kTenMegabytes) bytes += std::string(1000, 'x') + "\r\n";
         return bytes;
     },
     true, {}},
    {"SettingsLinesOf100000Characters", connection::kSettingsFile,
     [](const Program& p) {   // numbers and port text from their first characters, the address to a NUL
         return "1" + kLongLine + "\r\n1" + kLongLine + "\r\n127.0.0.1" + std::string(1, '\0') + kLongLine +
                "\r\n" + std::to_string(p.m_tcp->port()) + kLongLine + "\r\n";
     },
     true, {}},
    {"EmptyHistory", connection::kHistoryFile, [](const Program&) { return std::string(); }, true, Numbered(0)},
    {"GarbageHistory", connection::kHistoryFile, [](const Program&) { return RandomBytes(kTenMegabytes); }, true,
     {}},
    {"TenMegabytesOfHistory", connection::kHistoryFile,   // records of 102 bytes: the first ones are shown
     [](const Program&) { return connection::FormatHistoryFile(Numbered(kTenMegabytes / 102 + 1)); }, true,
     Numbered(connection::kHistoryMaxRecords)},
    {"HistoryLineOf100000Characters", connection::kHistoryFile,   // cut, and the records after it stay
     [](const Program&) { return kLongLine + "\r\n" + connection::FormatHistoryFile(Numbered(2)); }, true,
     std::vector<std::string>{std::string(connection::kAddressMaxChars, 'x'), "s0", "s1"}},
};

class FilesAtStartUp : public ::testing::TestWithParam<Shape> {};

TEST_P(FilesAtStartUp, TheProgramStartsAndTakesWhatIsValid) {
    const Shape& shape = GetParam();
    auto program = Fresh(Transport::Tcp);
    ASSERT_TRUE(platform::WriteFileBytes(program->Path(shape.m_file), shape.m_bytes(*program)));
    const double start = platform::Timer();
    program->Start();
    const double took = platform::Timer() - start;
    EXPECT_LT(took, kStartUpLimitS + (shape.m_connects ? 0.0 : sl::kConnectTimeoutMs / 1000.0));
    if (shape.m_connects) {
        EXPECT_EQ(program->Text(ui::datapanel, ui::DATAP_STATUS), sim::kDefaultIdentification);
    } else {
        program->ExpectTimeoutState();
    }
    // Bytes of UTF-8: no field outgrows its place in a file.
    EXPECT_LE(program->Text(ui::interfacepanel, ui::INTERFACEP_IPADDRESS).size(),
              connection::kAddressMaxChars);
    EXPECT_LE(program->Text(ui::interfacepanel, ui::INTERFACEP_PORTNUMBER).size(),
              connection::kPortTextMaxChars);
    const auto entries = HistoryShown();
    EXPECT_LE(entries.size(), connection::kHistoryMaxRecords);
    for (const std::string& entry : entries)
        EXPECT_TRUE(entry.size() <= connection::kAddressMaxChars && entry.find('\0') == std::string::npos);
    if (shape.m_history) {
        EXPECT_EQ(entries, *shape.m_history);
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, FilesAtStartUp, ::testing::ValuesIn(kShapes),
                         [](const auto& info) { return std::string(info.param.m_name); });
