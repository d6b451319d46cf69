// The whole program against the simulated sensor on a real socket and pseudo-terminal, in real time.
#include <QLabel>
#include <QLineEdit>

#include "apptest.h"
#include "core/paramfile.h"
#include "recorder/recorder.h"
#include "sim/model.h"

using namespace apptest;
namespace sl = sensorlink;

namespace {

constexpr double kScenarioLimitS = 30.0;   // one GO or recording, on a slow, busy machine
constexpr int kFramesBeforeAction = 3;     // data requests before a test acts during GO
constexpr int kBrandBanner = 0x0080FF;     // the banner colour of the brand this build shows
constexpr int kIntervalS = 1;              // of the timed recording
constexpr int kFrames = 3;                 // frames of each recording
constexpr int kBytesBeforeDrop = 10;       // of the frame during which the server hangs up

// The raw values of a record file's lines (their fields: date, time, raw, temperature).
Texts Raws(const std::string& path) {
    Texts raws;
    for (const std::string& line : Program::RecordLines(path))
        raws.push_back(QString::fromStdString(line).split('\t').value(2).toStdString());
    return raws;
}

// The program started on a steady signal (the sensor sends no triggered frames of its own).
class EndToEnd : public ::testing::TestWithParam<Transport> {
protected:
    void SetUp() override {
        P().m_sensor.setScene(sim::Scene::Steady);
        ASSERT_NO_FATAL_FAILURE(P().StartConnected());
    }
    Program& P() { return m_program; }
    // The recorder panel with a new record file and a mode; the requests and boxes are forgotten.
    std::string Prepare(const std::string& name, int mode) {
        P().Click(ui::mainpanel, ui::MAINP_BUTTON_RECORDER);
        return P().PrepareRecording(P().Path(name), mode);
    }
    bool Late() const { return platform::Timer() - m_start > kScenarioLimitS; }

    Program m_program{GetParam()};
    double m_start = platform::Timer();   // for Late()
};

}   // namespace

TEST_P(EndToEnd, StartUpShowsTheSensorItsRecordAndTheBannerAndThePanelButtonsSwitch) {
    EXPECT_EQ(P().Text(ui::interfacepanel, ui::INTERFACEP_STATUS), sim::kDefaultIdentification);
    EXPECT_EQ(P().Attribute(ui::mainpanel, ui::MAINP_BANNER, platform::ATTR_FRAME_COLOR), kBrandBanner);
    EXPECT_FALSE(qobject_cast<QLabel*>(P().Widget(ui::mainpanel, ui::MAINP_LOGO))->pixmap().isNull());
    EXPECT_EQ(std::ranges::count_if(platform::PanelWidget(ui::mainpanel)->findChildren<QLabel*>(),
                                    [](QLabel* l) { return l->isVisible() && l->text() == "TAVRIX-Vovez V2.0"; }),
              1);
    // The parameter panel first; each panel button then shows its panel alone and is marked.
    EXPECT_TRUE(platform::PanelVisible(ui::parapanel));
    const std::pair<int, int> buttons[] = {{ui::MAINP_BUTTON_CONNECT, ui::interfacepanel},
                                           {ui::MAINP_BUTTON_RECORDER, ui::recpanel},
                                           {ui::MAINP_BUTTON_PARA, ui::parapanel}};
    for (const auto& [button, panel] : buttons) {
        P().Click(ui::mainpanel, button);
        for (const auto& [other, otherPanel] : buttons) {
            EXPECT_EQ(platform::PanelVisible(otherPanel), otherPanel == panel) << button;
            EXPECT_EQ(P().Attribute(ui::mainpanel, other, platform::ATTR_CMD_BUTTON_COLOR),
                      other == button ? ui::kSelectedButtonColor : ui::kButtonColor);
        }
    }
}

// Each step's requests, the whole record where it was written, and the tolerance shown after it.
TEST_P(EndToEnd, SendAndGetCarryTheWholeRecordToAndFromRamAndEeprom) {
    const sim::Record start = P().m_sensor.ram();
    const auto with = [&](int tol) {
        sim::Record r = start;
        r[sim::kWordTol] = static_cast<uint16_t>(tol);
        return r;
    };
    const int send = ui::MAINP_BUTTON_SEND, get = ui::MAINP_BUTTON_GET, old = start[sim::kWordTol];
    const int ram = ui::MAINP_SELECT_RAM, eeprom = ui::MAINP_SELECT_EEPROM;
    const struct {
        int target, button, edit;
        std::vector<int> codes;
        int inRam, inEeprom, shown;
    } steps[] = {{ram, send, 321, {1}, 321, old, 321},
                 {eeprom, send, 400, {1, 6}, 400, 400, 400},
                 {ram, send, 500, {1}, 500, 400, 500},
                 {eeprom, get, 7, {8, 3}, 500, 400, 400},
                 {ram, get, 7, {3}, 500, 400, 500}};
    for (const auto& s : steps) {
        SCOPED_TRACE(::testing::Message() << (s.button == send ? "SEND " : "GET ") << s.edit);
        P().m_sensor.clearLog();
        platform::SetCtrlVal(ui::parapanel, ui::PARAP_TOLERANCE, s.edit);
        P().Click(ui::mainpanel, s.target);
        P().Click(ui::mainpanel, s.button);
        EXPECT_EQ(P().RequestCodes(), s.codes);
        EXPECT_EQ(std::pair(P().m_sensor.ram(), P().m_sensor.eeprom()), std::pair(with(s.inRam), with(s.inEeprom)));
        EXPECT_EQ(std::pair(P().Value(ui::parapanel, ui::PARAP_TOLERANCE), int(sl::comecho)), std::pair(s.shown, 1));
    }
}

// GO polls until STOP with SEND dimmed; a manual record and TEACH during GO take the raw shown.
TEST_P(EndToEnd, GoRunsUntilStopAndManualRecordAndTeachTakeTheFrameShown) {
    const std::string path = Prepare("go.dat", recorder::kModeManual);
    std::string shown;
    bool sendDimmed = false;
    P().ClickWhile(ui::mainpanel, ui::MAINP_BUTTON_GO, [&] {
        if (!shown.empty() || (P().Requests(sl::kCodeData) < kFramesBeforeAction && !Late())) return;
        sendDimmed = P().Dimmed(ui::mainpanel, ui::MAINP_BUTTON_SEND);
        shown = P().Text(ui::datapanel, ui::DATAP_RAW);
        P().Click(ui::recpanel, ui::RECP_BUTTON_MANUAL);
        P().Click(ui::mainpanel, ui::MAINP_BUTTON_PARA);
        P().Click(ui::parapanel, ui::PARAP_BUTTON_TEACH);
        P().Click(ui::mainpanel, ui::MAINP_BUTTON_STOP);
    });
    EXPECT_GE(P().Requests(sl::kCodeData), kFramesBeforeAction);
    EXPECT_EQ(P().Requests(sl::kCodeData), static_cast<int>(P().RequestCodes().size()));
    EXPECT_TRUE(sendDimmed && !P().Dimmed(ui::mainpanel, ui::MAINP_BUTTON_SEND) && sl::poll == 0);
    EXPECT_EQ(P().Text(ui::datapanel, ui::DATAP_STATUS), sim::kDefaultIdentification);
    EXPECT_EQ(Raws(path), Texts{shown});
    EXPECT_EQ(std::to_string(P().Value(ui::parapanel, ui::PARAP_TEACHVALUE)), shown);
    P().Click(ui::mainpanel, ui::MAINP_BUTTON_SEND);
    EXPECT_EQ(std::to_string(P().m_sensor.ram()[sim::kWordTeachValue]), shown);
}

// The trigger command once, then each frame sent is a line and a graph point; Stop sends nothing.
TEST_P(EndToEnd, TriggeredRecordingWritesEveryFrameTheSensorSends) {
    const std::string path = Prepare("triggered.dat", recorder::kModeTriggered);
    Texts sent;   // the raw value of each frame, as it leaves the sensor
    QObject::connect(&P().m_sensor, &sim::Sensor::triggeredFrame, [&](const sim::ReplyPlan& plan) {
        uint16_t words[sl::kTelegramWords];
        sl::UnpackTelegram(plan.m_bytes.data(), words);
        sent.push_back(std::to_string(words[2 + sim::kDataRaw]));
    });
    P().ClickWhile(ui::recpanel, ui::RECP_BUTTON_TRIGSTART, [&] {
        if (sent.empty() && P().Requests(sl::kCodeTriggered) == 1)
            for (int i = 0; i < kFrames; ++i) P().m_sensor.emitTriggeredFrame();
        if (P().Text(ui::recpanel, ui::RECP_RUNNING_COUNT) == std::to_string(kFrames) || Late())
            P().Click(ui::recpanel, ui::RECP_BUTTON_TRIGSTOP);
    });
    ASSERT_EQ(sent.size(), size_t{kFrames});
    EXPECT_EQ(Raws(path), sent);
    EXPECT_EQ(P().RawGraphPoints(), sent.size());
    EXPECT_EQ(P().RequestCodes(), std::vector<int>{sl::kCodeTriggered});
    EXPECT_EQ(Program::Popups(), (Texts{Attention(recorder::kConfirmFileText), Attention(recorder::kReminderTriggered),
                                        Info(recorder::kSavedText)}));
}

INSTANTIATE_TEST_SUITE_P(Transports, EndToEnd, ::testing::Values(Transport::Tcp, Transport::Pty), TransportName);

class EndToEndTcp : public EndToEnd {};   // what only the TCP link has, or needs no second run

// FILE: the whole record, spare words too, without a telegram; a bad file changes nothing.
TEST_P(EndToEndTcp, SendAndGetWithAParameterFile) {
    P().Click(ui::mainpanel, ui::MAINP_SELECT_FILE);
    EXPECT_EQ(sl::target, sl::DATFILE);
    sl::frei16 = 9;   // a spare word, on no control
    platform::SetCtrlVal(ui::parapanel, ui::PARAP_HYSTERESIS, 77);
    P().m_filePath = P().Path(sl::kParameterFileName);
    P().Click(ui::mainpanel, ui::MAINP_BUTTON_SEND);
    platform::SetCtrlVal(ui::parapanel, ui::PARAP_HYSTERESIS, 1);
    sl::frei16 = 0;
    P().m_fileResult = 1;
    P().Click(ui::mainpanel, ui::MAINP_BUTTON_GET);
    EXPECT_EQ(std::pair(P().Value(ui::parapanel, ui::PARAP_HYSTERESIS), int(sl::frei16)), std::pair(77, 9));
    platform::WriteFileBytes(P().Path("short.ini"), "1\r\n2\r\n");
    for (const auto& [button, name] : {std::pair{ui::MAINP_BUTTON_GET, "short.ini"}, {ui::MAINP_BUTTON_SEND, ""}}) {
        P().m_filePath = P().Path(name);
        platform::ClearPopupLog();
        P().Click(ui::mainpanel, button);
        EXPECT_EQ(Program::Shown(platform::kAttentionTitle), 1) << button;
        EXPECT_EQ(P().Value(ui::parapanel, ui::PARAP_HYSTERESIS), 77);
    }
    EXPECT_TRUE(P().m_sensor.requests().empty());

    // Values beyond a control's limits (POWER, TEACH VALUE) are shown and sent on unchanged.
    const uint16_t wide[sl::kRecordWords] = {5000, 0, 1000, 3000, 1, 0, 0, 2, 0, 0, 0, 5000, 200, 50, 0, 0};
    platform::WriteFileBytes(P().m_filePath = P().Path("wide.ini"), sl::FormatParameterFile(wide));
    P().Click(ui::mainpanel, ui::MAINP_BUTTON_GET);
    EXPECT_EQ(std::pair(P().Value(ui::parapanel, ui::PARAP_POWER), P().Value(ui::parapanel, ui::PARAP_TEACHVALUE)),
              std::pair(5000, 5000));
    sl::dataANA0 = 6000;   // a RAW beyond even the widened limit is taught unchanged
    P().Click(ui::parapanel, ui::PARAP_BUTTON_TEACH);
    for (int selector : {ui::MAINP_SELECT_FILE, ui::MAINP_SELECT_RAM}) {
        P().Click(ui::mainpanel, selector);
        EXPECT_TRUE(sl::target == sl::RAM && P().Value(ui::mainpanel, ui::MAINP_SELECT_RAM) == 1);
    }
    P().Click(ui::mainpanel, ui::MAINP_BUTTON_SEND);
    EXPECT_EQ(std::pair(P().m_sensor.ram()[0], P().m_sensor.ram()[11]), (std::pair<uint16_t, uint16_t>(5000, 6000)));
}

// One request per interval, a line per frame with the value shown, no wait after the last one.
TEST_P(EndToEndTcp, TimedRecordingWritesItsFramesOnePerInterval) {
    const std::string path = Prepare("timed.dat", recorder::kModeTimed);
    platform::SetCtrlVal(ui::recpanel, ui::RECP_INTERVAL, kIntervalS);
    platform::SetCtrlVal(ui::recpanel, ui::RECP_RECVAL, kFrames);
    struct Seen {
        std::string recorded, raw;
        double at;
    };
    std::vector<Seen> seen;   // each count as it shows, with the remaining count that follows it
    auto* remaining = qobject_cast<QLineEdit*>(P().Widget(ui::recpanel, ui::RECP_REMAINING));
    QObject::connect(remaining, &QLineEdit::textChanged, [&] {
        const std::string recorded = P().Text(ui::recpanel, ui::RECP_RECORDED);
        if (recorded != "0") seen.push_back({recorded, P().Text(ui::datapanel, ui::DATAP_RAW), platform::Timer()});
    });
    P().Click(ui::recpanel, ui::RECP_BUTTON_START);
    const double ended = platform::Timer();
    const Texts raws = Raws(path);
    ASSERT_TRUE(seen.size() == size_t{kFrames} && raws.size() == size_t{kFrames});
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].recorded, std::to_string(i + 1));
        EXPECT_EQ(raws[i], seen[i].raw) << i;
        if (i > 0) EXPECT_GT(seen[i].at - seen[i - 1].at, 0.9 * kIntervalS) << i;
    }
    EXPECT_LT(ended - seen.back().at, 0.5 * kIntervalS);
    EXPECT_EQ(P().RequestCodes(), std::vector<int>(kFrames, sl::kCodeData));
    EXPECT_TRUE(P().Value(ui::recpanel, ui::RECP_PROGRESS) == kFrames && P().RawGraphPoints() == size_t{kFrames});
}

// The server hangs up in the middle of a frame: one box says so, and GO ends in the TIMEOUT state.
TEST_P(EndToEndTcp, ALinkDroppedDuringGoIsReportedOnceAndEndsInTheTimeoutState) {
    bool dropped = false;
    P().ClickWhile(ui::mainpanel, ui::MAINP_BUTTON_GO, [&] {
        if (!dropped && P().Requests(sl::kCodeData) >= kFramesBeforeAction) {
            dropped = true;
            P().m_sensor.addFault(sl::kCodeData, {sim::FaultKind::Close, kBytesBeforeDrop}, 1);
        }
        if (Late()) P().Click(ui::mainpanel, ui::MAINP_BUTTON_STOP);
    });
    EXPECT_EQ(Program::Popups(), Texts{"TCP Client|Server has closed connection!"});
    P().ExpectTimeoutState();
    EXPECT_EQ(sl::tcpcon, 0);   // closed
}

// The LED is lit exactly when the output is at +24 V: the reported state, inverted in inverse mode.
TEST_P(EndToEndTcp, TheLedShowsTheOutputAtPlus24Volts) {
    for (const auto& [outmode, outTol, lit] : {std::tuple{0, 0, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 0}}) {
        sl::paraOutmode = static_cast<uint16_t>(outmode);
        sl::dataOutTol = static_cast<uint16_t>(outTol);
        shell::SetPanelData();
        EXPECT_EQ(P().Value(ui::datapanel, ui::DATAP_LED_OUT), lit) << outmode << outTol;
    }
}

INSTANTIATE_TEST_SUITE_P(Tcp, EndToEndTcp, ::testing::Values(Transport::Tcp), TransportName);

// The window closed while GO polls: the loop stops, the event loop ends with 0, the link is closed.
TEST(EndToEndLifecycle, ClosingTheWindowDuringGoEndsTheProgramCleanly) {
    Program program(Transport::Tcp);
    bool started = false, closed = false;
    // One timer starts GO once the start-up is over (GO then runs in its slot), one closes the window.
    QTimer starter, closer;
    QObject::connect(&starter, &QTimer::timeout, [&] {
        if (started || ui::mainpanel <= 0 || sl::tcpcon == 0 || program.Dimmed(ui::mainpanel, ui::MAINP_BUTTON_GO))
            return;
        started = true;
        program.m_sensor.clearLog();
        program.Click(ui::mainpanel, ui::MAINP_BUTTON_GO);
    });
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (closed || !started || program.Requests(sl::kCodeData) < kFramesBeforeAction) return;
        EXPECT_EQ(sl::poll, 1);
        closed = true;
        platform::PanelWidget(ui::mainpanel)->close();
    });
    starter.start(10), closer.start(10);
    char name[] = "TavrixV20";
    char* argv[] = {name, nullptr};
    EXPECT_EQ(shell::WinMain(1, argv), 0);
    EXPECT_TRUE(closed && sl::poll == 0 && sl::tcpcon == 0);
    EXPECT_TRUE(PumpUntil([&] { return program.m_tcp->connectionCount() == 0; }));
}

// Left for RS-232, the TCP conversation is still closed at exit.
TEST(EndToEndLifecycle, ExitClosesATcpConversationLeftForTheSerialPort) {
    Program program(Transport::Tcp);
    connection::refreshPortTableOnOpen = false;
    platform::SetSerialPortTable({});
    QTimer switcher;
    QObject::connect(&switcher, &QTimer::timeout, [&] {
        if (ui::mainpanel <= 0 || sl::tcpcon == 0 || program.Dimmed(ui::mainpanel, ui::MAINP_BUTTON_GO)) return;
        switcher.stop();
        program.Click(ui::mainpanel, ui::MAINP_BUTTON_CONNECT);
        platform::SetCtrlVal(ui::interfacepanel, ui::INTERFACEP_PROTOCOL, static_cast<int>(sl::kRS232));
        program.Click(ui::interfacepanel, ui::INTERFACEP_BUTTON_TRY);
        EXPECT_EQ(sl::tcpcon, 1);   // opening a serial port leaves it open
        platform::PanelWidget(ui::mainpanel)->close();
    });
    switcher.start(10);
    char name[] = "TavrixV20";
    char* argv[] = {name, nullptr};
    EXPECT_EQ(shell::WinMain(1, argv), 0);
    EXPECT_TRUE(PumpUntil([&] { return program.m_tcp->connectionCount() == 0; }));
}
