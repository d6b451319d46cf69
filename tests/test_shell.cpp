// The running program against the simulated sensor: start-up, the parameter transfers, the GO
// loop, every failure path of the exchanges, the parameter file and the parameter panel.
#include <QApplication>
#include <QCloseEvent>
#include <QTimer>

#include "apptest.h"
#include "core/paramfile.h"
#include "shell/TavrixV20.h"
#include "sim/sensor.h"

using namespace apptest;
using sensorlink::kTelegramBytes;

namespace {

class ShellTest : public ::testing::TestWithParam<Transport> {
protected:
    void SetUp() override {
        m_program = std::make_unique<Program>(GetParam());
        m_program->Start();
        ASSERT_EQ(m_program->Text(ui::datapanel, ui::DATAP_STATUS),
                  sim::kDefaultIdentification);
        m_program->m_sensor.clearLog();
    }
    void TearDown() override { m_program.reset(); }

    Program& P() { return *m_program; }
    void SelectTarget(int control) { P().Click(ui::mainpanel, control); }
    void SetParameter(int control, int value) {
        platform::SetCtrlVal(ui::parapanel, control, value);
    }

    // The telegram the PC sends for `code` with the record `words` as payload.
    static std::vector<uint8_t> Telegram(uint16_t code, const uint16_t words[16]) {
        std::vector<uint8_t> bytes(kTelegramBytes);
        sensorlink::PackTelegram(sensorlink::kSyncWord, code, words, bytes.data());
        return bytes;
    }

    std::unique_ptr<Program> m_program;
};

}  // namespace

TEST_P(ShellTest, StartUpShowsTheSensorAndItsParameters) {
    EXPECT_TRUE(platform::PanelVisible(ui::parapanel));
    EXPECT_FALSE(platform::PanelVisible(ui::interfacepanel));
    EXPECT_EQ(P().Text(ui::interfacepanel, ui::INTERFACEP_STATUS),
              sim::kDefaultIdentification);
    EXPECT_FALSE(P().Dimmed(ui::interfacepanel, ui::INTERFACEP_BUTTON_ACCEPT));
    // The sensor's record is on the panel.
    const sim::Record& ram = P().m_sensor.ram();
    EXPECT_EQ(P().Value(ui::parapanel, ui::PARAP_POWER), ram[0]);
    EXPECT_EQ(P().Value(ui::parapanel, ui::PARAP_TRSHMODE), ram[7]);
    EXPECT_EQ(P().Value(ui::parapanel, ui::PARAP_TEACHVALUE), ram[11]);
    EXPECT_EQ(P().Value(ui::parapanel, ui::PARAP_TOLERANCE), ram[12]);
    // Nothing stays dimmed after start-up.
    EXPECT_FALSE(P().Dimmed(ui::mainpanel, ui::MAINP_BUTTON_GO));
    EXPECT_FALSE(P().Dimmed(ui::recpanel, ui::RECP_BUTTON_START));
}

TEST_P(ShellTest, SendAndGetSendExactlyTheirTelegrams) {
    SetParameter(ui::PARAP_POWER, 1000);
    SetParameter(ui::PARAP_TOLERANCE, 321);
    P().Click(ui::mainpanel, ui::MAINP_BUTTON_SEND);
    uint16_t record[16];
    shell::GetPanelValues();
    sensorlink::CopyVarsToPP();
    std::copy(sensorlink::pp, sensorlink::pp + 16, record);
    ASSERT_EQ(P().m_sensor.requests().size(), 1u);
    const auto sent = P().m_sensor.requests()[0];
    EXPECT_EQ(std::vector<uint8_t>(sent.begin(), sent.end()), Telegram(1, record));
    EXPECT_EQ(P().m_sensor.ram()[0], 1000);
    EXPECT_EQ(P().m_sensor.ram()[12], 321);

    P().m_sensor.clearLog();
    SelectTarget(ui::MAINP_SELECT_EEPROM);
    const double start = platform::Timer();
    P().Click(ui::mainpanel, ui::MAINP_BUTTON_SEND);
    EXPECT_GE(platform::Timer() - start, sensorlink::kEepromStorePauseS);
    EXPECT_EQ(P().RequestCodes(), (std::vector<int>{1, 6}));
    EXPECT_EQ(P().m_sensor.eeprom()[12], 321);

    P().m_sensor.clearLog();
    P().Click(ui::mainpanel, ui::MAINP_BUTTON_GET);
    EXPECT_EQ(P().RequestCodes(), (std::vector<int>{8, 3}));

    P().m_sensor.clearLog();
    SelectTarget(ui::MAINP_SELECT_RAM);
    P().Click(ui::mainpanel, ui::MAINP_BUTTON_GET);
    EXPECT_EQ(P().RequestCodes(), (std::vector<int>{3}));
    EXPECT_FALSE(P().Dimmed(ui::mainpanel, ui::MAINP_BUTTON_SEND));
}

TEST_P(ShellTest, GetFromTheSensorReplacesTheEditsAndTeach) {
    SetParameter(ui::PARAP_TEACHVALUE, 7);
    P().Click(ui::mainpanel, ui::MAINP_BUTTON_GET);
    EXPECT_EQ(P().Value(ui::parapanel, ui::PARAP_TEACHVALUE), P().m_sensor.ram()[11]);
}

struct FailureCase {
    const char* name;
    uint16_t target;          // RAM or EEPROM
    bool send;                // SEND, else GET
    uint16_t faultCode;
    sim::Fault fault;
    std::vector<int> codes;   // the requests the sensor receives
    double minSeconds;        // the least the command takes
    double maxSeconds;        // the most it takes
    bool refreshes = false;   // GET: the panel is rewritten from the unchanged values
};

class ShellFailureTest
    : public ::testing::TestWithParam<std::tuple<Transport, FailureCase>> {};

TEST_P(ShellFailureTest, EveryFailureEndsInTheOneHandling) {
    const auto& [transport, c] = GetParam();
    Program program(transport);
    program.Start();
    ASSERT_EQ(program.Text(ui::datapanel, ui::DATAP_STATUS), sim::kDefaultIdentification);
    const int teach = program.Value(ui::parapanel, ui::PARAP_TEACHVALUE);
    program.m_sensor.clearLog();
    if (c.target == sensorlink::EEPROM) program.Click(ui::mainpanel, ui::MAINP_SELECT_EEPROM);
    program.m_sensor.addFault(c.faultCode, c.fault, 1);
    if (!c.send) platform::SetCtrlVal(ui::parapanel, ui::PARAP_TEACHVALUE, teach + 1);

    const double start = platform::Timer();
    program.Click(ui::mainpanel, c.send ? ui::MAINP_BUTTON_SEND : ui::MAINP_BUTTON_GET);
    const double took = platform::Timer() - start;

    EXPECT_EQ(program.RequestCodes(), c.codes);
    EXPECT_GE(took, c.minSeconds);
    EXPECT_LE(took, c.maxSeconds);
    program.ExpectTimeoutState();
    // A failed GET takes nothing from the sensor: the panel keeps the edit, or, when the read
    // itself failed, shows the parameter values as they were before.
    if (!c.send) {
        EXPECT_EQ(program.Value(ui::parapanel, ui::PARAP_TEACHVALUE),
                  c.refreshes ? teach : teach + 1);
    }
    // The buttons are usable again, and the next attempt works.
    EXPECT_FALSE(program.Dimmed(ui::mainpanel, ui::MAINP_BUTTON_SEND));
    program.Click(ui::interfacepanel, ui::INTERFACEP_BUTTON_TRY);
    EXPECT_EQ(program.Text(ui::datapanel, ui::DATAP_STATUS), sim::kDefaultIdentification);
    EXPECT_FALSE(program.Dimmed(ui::interfacepanel, ui::INTERFACEP_BUTTON_ACCEPT));
}

using sim::FaultKind;
const FailureCase kFailureCases[] = {
    {"NoReplyToWrite", sensorlink::RAM, true, 1, {FaultKind::NoReply}, {1}, 3.0, 3.4},
    {"ShortEchoOfWrite", sensorlink::RAM, true, 1, {FaultKind::Short, 1}, {1}, 3.0, 3.4},
    {"WrongMarkInEcho", sensorlink::RAM, true, 1, {FaultKind::WrongMark}, {1}, 0.0, 0.4},
    {"OnePayloadByteChanged", sensorlink::RAM, true, 1, {FaultKind::WrongByte, 20, -1}, {1},
     0.0, 0.4},
    // A failed write stops before the EEPROM store and its pause.
    {"FailedWriteBeforeStore", sensorlink::EEPROM, true, 1, {FaultKind::WrongMark}, {1}, 0.0,
     0.4},
    // A failed store echo still makes the pause.
    {"FailedStoreEcho", sensorlink::EEPROM, true, 6, {FaultKind::WrongMark}, {1, 6}, 0.5, 0.9},
    // A failed EEPROM load stops before the read; the panel is not refreshed.
    {"FailedLoadEcho", sensorlink::EEPROM, false, 8, {FaultKind::WrongMark}, {8}, 0.0, 0.4},
    {"IncompleteRead", sensorlink::RAM, false, 3, {FaultKind::Short, 4}, {3}, 3.0, 3.4, true},
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

INSTANTIATE_TEST_SUITE_P(
    Exchanges, ShellFailureTest,
    ::testing::Combine(::testing::Values(Transport::Tcp, Transport::Pty),
                       ::testing::ValuesIn(kFailureCases)),
    [](const ::testing::TestParamInfo<std::tuple<Transport, FailureCase>>& info) {
        return std::string(std::get<1>(info.param).name) +
               (std::get<0>(info.param) == Transport::Tcp ? "Tcp" : "Pty");
    });

TEST_P(ShellTest, GoPollsUntilStopAndShowsEveryFrame) {
    // Frames whose first word is not the reply mark are shown all the same.
    P().m_sensor.addFault(5, {FaultKind::WrongMark}, -1);
    int frames = 0;
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        frames = static_cast<int>(P().m_sensor.requests().size());
        if (frames >= 5) {
            EXPECT_TRUE(P().Dimmed(ui::mainpanel, ui::MAINP_BUTTON_SEND));
            stopper.stop();
            P().Click(ui::mainpanel, ui::MAINP_BUTTON_STOP);
        }
    });
    stopper.start(20);
    P().Click(ui::mainpanel, ui::MAINP_BUTTON_GO);
    EXPECT_GE(frames, 5);
    EXPECT_EQ(sensorlink::poll, 0);
    EXPECT_EQ(P().Text(ui::datapanel, ui::DATAP_RAW), std::to_string(sensorlink::dataANA0));
    EXPECT_EQ(P().Text(ui::datapanel, ui::DATAP_STATUS), sim::kDefaultIdentification);
    EXPECT_FALSE(P().Dimmed(ui::mainpanel, ui::MAINP_BUTTON_SEND));
}

TEST_P(ShellTest, GoEndsAtTheFirstIncompleteFrame) {
    QTimer breaker;
    breaker.setSingleShot(true);
    QObject::connect(&breaker, &QTimer::timeout,
                     [&] { P().m_sensor.addFault(5, {FaultKind::Short, 1}, 1); });
    breaker.start(200);
    const double start = platform::Timer();
    P().Click(ui::mainpanel, ui::MAINP_BUTTON_GO);
    EXPECT_LT(platform::Timer() - start, 10.0);
    P().ExpectTimeoutState();
}

TEST_P(ShellTest, TeachDuringGoTakesTheRawValueOnDisplay) {
    QTimer teacher;
    teacher.setSingleShot(true);
    int shown = -1;
    QObject::connect(&teacher, &QTimer::timeout, [&] {
        P().Click(ui::parapanel, ui::PARAP_BUTTON_TEACH);
        shown = std::stoi(P().Text(ui::datapanel, ui::DATAP_RAW));
        P().Click(ui::mainpanel, ui::MAINP_BUTTON_STOP);
    });
    teacher.start(300);
    P().Click(ui::mainpanel, ui::MAINP_BUTTON_GO);
    EXPECT_EQ(P().Value(ui::parapanel, ui::PARAP_TEACHVALUE), shown);
}

INSTANTIATE_TEST_SUITE_P(Transports, ShellTest, ::testing::Values(Transport::Tcp, Transport::Pty),
                         TransportName);

TEST(ShellIdentification, ShownThenReplacedWhenTheReadFails) {
    Program program(Transport::Tcp);
    program.m_sensor.setIdentification("ABC");
    program.m_sensor.addFault(3, {FaultKind::NoReply}, 1);
    std::vector<std::string> shown;
    ASSERT_EQ(shell::LoadPanels(), 0);
    QTimer watcher;   // samples the status display while the start-up waits
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        const std::string text = program.Text(ui::datapanel, ui::DATAP_STATUS);
        if (shown.empty() || shown.back() != text) shown.push_back(text);
    });
    watcher.start(5);
    shell::InitAll();
    EXPECT_NE(std::find(shown.begin(), shown.end(), "ABC"), shown.end());
    program.ExpectTimeoutState();
}

TEST(ShellStartUp, WithoutASensorTheProgramWaitsOnTheConnectionPanel) {
    Program program(Transport::Tcp);
    program.m_tcp.reset();   // nobody listens any more
    program.Start();
    program.ExpectTimeoutState();
    int color = 0;
    platform::GetCtrlAttribute(ui::mainpanel, ui::MAINP_BUTTON_CONNECT,
                               platform::ATTR_CMD_BUTTON_COLOR, color);
    EXPECT_EQ(color, ui::kSelectedButtonColor);
    platform::GetCtrlAttribute(ui::mainpanel, ui::MAINP_BUTTON_PARA,
                               platform::ATTR_CMD_BUTTON_COLOR, color);
    EXPECT_EQ(color, ui::kButtonColor);
    EXPECT_FALSE(program.Dimmed(ui::mainpanel, ui::MAINP_BUTTON_GO));
    EXPECT_FALSE(program.Dimmed(ui::mainpanel, ui::MAINP_BUTTON_SEND));
}

TEST(ShellLifecycle, ClosingTheWindowDuringGoEndsTheProgramCleanly) {
    Program program(Transport::Tcp);
    int exitCode = -5;
    bool started = false, closed = false;
    // One timer starts GO once the start-up is over (GO then runs inside its slot); another
    // closes the window once frames arrive.
    QTimer starter, closer;
    QObject::connect(&starter, &QTimer::timeout, [&] {
        if (started || ui::mainpanel <= 0 || sensorlink::tcpcon == 0 ||
            program.Dimmed(ui::mainpanel, ui::MAINP_BUTTON_GO))
            return;
        started = true;
        program.m_sensor.clearLog();
        program.Click(ui::mainpanel, ui::MAINP_BUTTON_GO);
    });
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (closed || !started || program.m_sensor.requests().size() < 3) return;
        EXPECT_EQ(sensorlink::poll, 1);
        closed = true;
        platform::PanelWidget(ui::mainpanel)->close();
    });
    starter.start(10);
    closer.start(10);
    char name[] = "TavrixV20";
    char* argv[] = {name, nullptr};
    exitCode = shell::WinMain(1, argv);
    EXPECT_TRUE(closed);
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(sensorlink::poll, 0);
    EXPECT_EQ(sensorlink::tcpcon, 0);
    EXPECT_TRUE(PumpUntil([&] { return program.m_tcp->connectionCount() == 0; }));
}

TEST(ShellChildPanels, OnlyTheChosenPanelShows) {
    Program program(Transport::Tcp);
    ASSERT_EQ(shell::LoadPanels(), 0);
    const int panels[] = {ui::interfacepanel, ui::parapanel, ui::recpanel};
    const int buttons[] = {ui::MAINP_BUTTON_CONNECT, ui::MAINP_BUTTON_PARA,
                           ui::MAINP_BUTTON_RECORDER};
    for (int code : {1, 2, 3, 0, 4}) {
        ui::ShowChildPanel(code);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(platform::PanelVisible(panels[i]), code == i + 1) << code;
            int color = 0;
            platform::GetCtrlAttribute(ui::mainpanel, buttons[i],
                                       platform::ATTR_CMD_BUTTON_COLOR, color);
            EXPECT_EQ(color, code == i + 1 ? ui::kSelectedButtonColor : ui::kButtonColor);
        }
    }
}

TEST(ShellParameterPanel, SelectorPowerModeTracingAndLed) {
    Program program(Transport::Tcp);
    ASSERT_EQ(shell::LoadPanels(), 0);
    shell::InitAll();
    auto on = [&](int control) { return program.Value(ui::mainpanel, control); };
    program.Click(ui::mainpanel, ui::MAINP_SELECT_FILE);
    EXPECT_EQ(sensorlink::target, sensorlink::DATFILE);
    EXPECT_EQ(on(ui::MAINP_SELECT_RAM), 0);
    EXPECT_EQ(on(ui::MAINP_SELECT_EEPROM), 0);
    program.Click(ui::mainpanel, ui::MAINP_SELECT_FILE);   // off again: back to RAM
    EXPECT_EQ(sensorlink::target, sensorlink::RAM);
    EXPECT_EQ(on(ui::MAINP_SELECT_RAM), 1);
    program.Click(ui::mainpanel, ui::MAINP_SELECT_RAM);    // RAM cannot be switched off
    EXPECT_EQ(sensorlink::target, sensorlink::RAM);
    EXPECT_EQ(on(ui::MAINP_SELECT_RAM), 1);

    // POWER MODE and THRESHOLD TRACING set the dimming when committed.
    auto dimmed = [&](int control) { return program.Dimmed(ui::parapanel, control); };
    platform::SetCtrlVal(ui::parapanel, ui::PARAP_PMODE, 1);
    shell::CBF_EditPmode(ui::parapanel, ui::PARAP_PMODE, platform::EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_TRUE(dimmed(ui::PARAP_POWER));
    EXPECT_FALSE(dimmed(ui::PARAP_DYNWINLO));
    EXPECT_FALSE(dimmed(ui::PARAP_DYNWINHI));
    platform::SetCtrlVal(ui::parapanel, ui::PARAP_PMODE, 0);
    shell::CBF_EditPmode(ui::parapanel, ui::PARAP_PMODE, platform::EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_FALSE(dimmed(ui::PARAP_POWER));
    EXPECT_TRUE(dimmed(ui::PARAP_DYNWINLO));
    platform::SetCtrlVal(ui::parapanel, ui::PARAP_TRSHTRACING, 1);
    shell::CBF_EditThresholdTracing(ui::parapanel, ui::PARAP_TRSHTRACING,
                                    platform::EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_FALSE(dimmed(ui::PARAP_TRACINGUP));
    EXPECT_FALSE(dimmed(ui::PARAP_TRACINGDOWN));
    EXPECT_TRUE(dimmed(ui::PARAP_TEACHVALUE));
    EXPECT_TRUE(dimmed(ui::PARAP_BUTTON_TEACH));

    // The LED is lit exactly when the output is at +24 V.
    for (uint16_t outmode : {0, 1})
        for (uint16_t tol : {0, 1}) {
            sensorlink::paraOutmode = outmode;
            sensorlink::dataOutTol = tol;
            shell::SetPanelData();
            EXPECT_EQ(program.Value(ui::datapanel, ui::DATAP_LED_OUT),
                      outmode == 0 ? tol : 1 - tol);
        }
}

TEST(ShellParameterFile, RoundTripAndRefusals) {
    Program program(Transport::Tcp);
    program.Start();
    program.Click(ui::mainpanel, ui::MAINP_SELECT_FILE);
    sensorlink::frei15 = 7;
    sensorlink::frei16 = 9;
    platform::SetCtrlVal(ui::parapanel, ui::PARAP_HYSTERESIS, 77);
    program.m_filePath = program.Path("Parameter.ini");
    program.m_sensor.clearLog();
    program.Click(ui::mainpanel, ui::MAINP_BUTTON_SEND);
    EXPECT_TRUE(program.m_sensor.requests().empty());
    std::string saved;
    ASSERT_TRUE(platform::ReadFileBytes(program.m_filePath, saved));
    EXPECT_EQ(saved.size(), 16u * 12u);

    // Loading gives back every word, the spare words included.
    platform::SetCtrlVal(ui::parapanel, ui::PARAP_HYSTERESIS, 1);
    sensorlink::frei15 = sensorlink::frei16 = 0;
    program.m_fileResult = 1;
    program.Click(ui::mainpanel, ui::MAINP_BUTTON_GET);
    EXPECT_EQ(program.Value(ui::parapanel, ui::PARAP_HYSTERESIS), 77);
    EXPECT_EQ(sensorlink::frei15, 7);
    EXPECT_EQ(sensorlink::frei16, 9);

    // Files that are not parameter files are refused and change nothing.
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"missing.ini", ""}, {"short.ini", "1\r\n2\r\n3\r\n"}, {"words.ini", "power\r\n"}};
    for (const auto& [name, content] : bad) {
        program.m_filePath = program.Path(name);
        if (!content.empty()) platform::WriteFileBytes(program.m_filePath, content);
        platform::ClearPopupLog();
        program.Click(ui::mainpanel, ui::MAINP_BUTTON_GET);
        ASSERT_EQ(platform::PopupLog().size(), 2u) << name;   // the dialog, then the refusal
        EXPECT_EQ(platform::PopupLog()[1].title, "ATTENTION!");
        EXPECT_EQ(program.Value(ui::parapanel, ui::PARAP_HYSTERESIS), 77);
        EXPECT_EQ(sensorlink::frei16, 9);
    }

    // A file that cannot be written (here a folder of that name) is reported, not ignored.
    program.m_filePath = program.Path("");
    program.m_fileResult = 1;
    platform::ClearPopupLog();
    program.Click(ui::mainpanel, ui::MAINP_BUTTON_SEND);
    ASSERT_EQ(platform::PopupLog().size(), 2u);
    EXPECT_EQ(platform::PopupLog()[1].title, "ATTENTION!");

    // Cancelling the dialog does nothing.
    program.m_fileResult = 0;
    platform::ClearPopupLog();
    program.Click(ui::mainpanel, ui::MAINP_BUTTON_SEND);
    EXPECT_EQ(platform::PopupLog().size(), 1u);

    // Values beyond a control's limits (POWER, TEACH VALUE) are shown and sent on unchanged.
    uint16_t wide[16] = {5000, 0, 1000, 3000, 1, 0, 0, 2, 0, 0, 0, 5000, 200, 50, 0, 0};
    program.m_filePath = program.Path("wide.ini");
    program.m_fileResult = 1;
    platform::WriteFileBytes(program.m_filePath, sensorlink::FormatParameterFile(wide));
    program.Click(ui::mainpanel, ui::MAINP_BUTTON_GET);
    EXPECT_EQ(program.Value(ui::parapanel, ui::PARAP_POWER), 5000);
    EXPECT_EQ(program.Value(ui::parapanel, ui::PARAP_TEACHVALUE), 5000);
    program.Click(ui::mainpanel, ui::MAINP_SELECT_RAM);
    program.Click(ui::mainpanel, ui::MAINP_BUTTON_SEND);
    EXPECT_EQ(program.m_sensor.ram()[0], 5000);
    EXPECT_EQ(program.m_sensor.ram()[11], 5000);
}
