// Files the program cannot write or should not trust: it goes on, says what failed, takes what is valid.
#include <optional>
#include <random>

#include "apptest.h"
#include "connection/combobox.h"

using namespace apptest;

namespace {

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

Texts HistoryShown() {
    const int list = connection::GetComboRecord(ui::interfacepanel, ui::INTERFACEP_IPADDRESS)->m_listButton;
    int count = 0;
    platform::GetNumListItems(ui::interfacepanel, list, count);
    Texts entries(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) platform::GetValueFromIndex(ui::interfacepanel, list, i, entries[i]);
    return entries;
}

}   // namespace

TEST(FilesProgramDirectory, UnwritableTheProgramGoesOnAndSaysSoOncePerFile) {
    auto program = Fresh(Transport::Pty);
    // Nothing can be created in /proc/self; without a settings file RS-232 port 1, the simulator.
    platform::SetProjectDir("/proc/self");
    qputenv("XDG_CONFIG_HOME", "/proc/self");   // the user's configuration folder, the fallback
    ASSERT_NO_FATAL_FAILURE(program->StartConnected());
    EXPECT_EQ(sensorlink::proj_dir, platform::GetDialogDir());   // the dialogs start where files can be made
    program->Click(ui::mainpanel, ui::MAINP_BUTTON_CONNECT);
    for (const char* address : {"first.lan", "second.lan"}) {
        platform::SetCtrlVal(ui::interfacepanel, ui::INTERFACEP_IPADDRESS, address);
        connection::CBF_StringIpAdress(ui::interfacepanel, ui::INTERFACEP_IPADDRESS, platform::EVENT_COMMIT, nullptr, 0,
                                       0);
    }
    EXPECT_EQ(HistoryShown(), (Texts{"second.lan", "first.lan"}));
    EXPECT_EQ(Program::Shown("ATTENTION!", connection::kHistoryFile), 1);   // once, not per commit
    program->Click(ui::interfacepanel, ui::INTERFACEP_BUTTON_TRY);
    ASSERT_FALSE(program->Dimmed(ui::interfacepanel, ui::INTERFACEP_BUTTON_ACCEPT));
    program->Click(ui::interfacepanel, ui::INTERFACEP_BUTTON_ACCEPT);
    EXPECT_EQ(Program::Shown("ATTENTION!", connection::kSettingsFile), 1);
    EXPECT_EQ(platform::PopupLog().size(), 2u);
    program->m_sensor.clearLog();   // and the sensor is still served
    program->Click(ui::mainpanel, ui::MAINP_BUTTON_GET);
    EXPECT_EQ(program->RequestCodes(), std::vector<int>{sensorlink::kCodeParaRead});
}

// A settings or history file found at start: the program starts, connects when the sensor's
// settings are intact, and shows no field or history entry beyond its limits.
struct Shape {
    const char *m_name, *m_file;
    std::string (*m_bytes)(const Program&);
    bool m_connects;
    std::optional<Texts> m_history;   // the history list it must show
};

void PrintTo(const Shape& shape, std::ostream* os) { *os << shape.m_name; }

Texts Numbered(size_t n) {   // "s0", "s1", ...
    Texts addresses;
    while (addresses.size() < n) addresses.push_back("s" + std::to_string(addresses.size()));
    return addresses;
}

const Shape kShapes[] = {
    {"GarbageSettings", connection::kSettingsFile, [](auto&) { return RandomBytes(64 * 1024); }, false, {}},
    {"TenMegabytesOfSettings",
     connection::kSettingsFile,
     [](auto& p) {   // the four lines, then filler
         std::string bytes = Program::Bytes(p.Path(connection::kSettingsFile));
         while (bytes.size() < kTenMegabytes) bytes += std::string(1000, 'x') + "\r\n";
         return bytes;
     },
     true,
     {}},
    // Numbers and port text are read from their first characters, the address up to a NUL.
    {"SettingsLinesOf100000Characters",
     connection::kSettingsFile,
     [](auto& p) {
         return "1" + kLongLine + "\r\n1" + kLongLine + "\r\n127.0.0.1" + std::string(1, '\0') + kLongLine + "\r\n" +
                std::to_string(p.m_tcp->port()) + kLongLine + "\r\n";
     },
     true,
     {}},
    {"GarbageHistory", connection::kHistoryFile, [](auto&) { return RandomBytes(kTenMegabytes); }, true, {}},
    {"TenMegabytesOfHistory", connection::kHistoryFile,   // records of 102 bytes: the first ones are shown
     [](auto&) { return connection::FormatHistoryFile(Numbered(kTenMegabytes / 102 + 1)); }, true,
     Numbered(connection::kHistoryMaxRecords)},
    {"HistoryLineOf100000Characters", connection::kHistoryFile,   // cut, and the records after it stay
     [](auto&) { return kLongLine + "\r\n" + connection::FormatHistoryFile(Numbered(2)); }, true,
     Texts{std::string(connection::kAddressMaxChars, 'x'), "s0", "s1"}},
};

class FilesAtStartUp : public ::testing::TestWithParam<Shape> {};

TEST_P(FilesAtStartUp, TheProgramStartsAndTakesWhatIsValid) {
    const Shape& shape = GetParam();
    auto program = Fresh(Transport::Tcp);
    ASSERT_TRUE(platform::WriteFileBytes(program->Path(shape.m_file), shape.m_bytes(*program)));
    program->Start();
    if (!shape.m_connects)
        program->ExpectTimeoutState();
    else
        EXPECT_EQ(program->Text(ui::datapanel, ui::DATAP_STATUS), sim::kDefaultIdentification);
    EXPECT_LE(program->Text(ui::interfacepanel, ui::INTERFACEP_IPADDRESS).size(), connection::kAddressMaxChars);
    EXPECT_LE(program->Text(ui::interfacepanel, ui::INTERFACEP_PORTNUMBER).size(), connection::kPortTextMaxChars);
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
