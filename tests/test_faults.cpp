// The running program against a misbehaving sensor: every command code under every fault the
// simulated sensor can inject, on TCP and on a pseudo-terminal, and a server that drops the
// connection in the middle of GO, of a timed recording and of triggered listening. Each case
// checks that the command ends in time with its outcome (success, or the failure handling),
// that a recording loses no line it counted, and that "Try to connect" makes the next exchange
// work again. The limits are the real ones; the cases run in parallel processes.
#include "apptest.h"
#include "connection/connection.h"
#include "recorder/recorder.h"

using namespace apptest;
namespace sl = sensorlink;
using sim::FaultKind;

namespace {

constexpr double kSlackS = 0.2;                   // a command may overrun its limits by this much
constexpr double kStopWithinS = 1.0;              // a stopped recording ends within this
constexpr int kDelayWithinMs = 2000;              // a late reply that is still in time
constexpr int kIdentifyDelayWithinTcpMs = 4000;   // in time only for the 5 s identification limit
constexpr int kDelayBeyondExtraMs = 600;          // how far past its limit a reply arrives
constexpr int kWrongByteIndex = 25;               // low byte of record word 10 in a parameter reply
constexpr uint16_t kToleranceSent = 321;          // a value SEND carries to the sensor
constexpr int kGoodFramesAfterFault = 3;          // triggered frames that follow the faulty one
constexpr double kFrameGapS = 0.15;               // between two triggered frames
constexpr int kDelayBeyond = -1, kDelayWithin = -2;   // delays that depend on code and link

constexpr uint16_t kCodes[] = {sl::kCodeParaWrite, sl::kCodeParaRead, sl::kCodeData, sl::kCodeEepromStore,
                               sl::kCodeIdentify, sl::kCodeEepromLoad, sl::kCodeTriggered};

// Each fault and what it does to the exchange of each code above, on TCP and on a pseudo-terminal:
// P passes, I is ignored (a parameter reply without its mark: no values, no message), F fails as
// soon as the reply is in, L fails when the limit has passed. Triggered frames (code 50): P is
// recorded, D is dropped and the stream gets back in step, X loses the connection.
struct FaultRow {
    const char* m_name;
    const char* m_tcp;
    const char* m_pty;
    sim::Fault m_fault;
};
const FaultRow kFaults[] = {
    // codes:        1 3 5 6 7 8 50 on TCP, on pty
    {"NoReply",     "LLLLLLD", "LLLLLLD", {FaultKind::NoReply}},
    {"Short",       "LLLLLLD", "LLLLLLD", {FaultKind::Short, 1}},
    {"Surplus",     "PPPPPPP", "FFFFFFP", {FaultKind::Surplus, 1, 0}},   // TCP reads exactly 36 bytes
    {"WrongMark",   "FIPFPFD", "FIPFPFD", {FaultKind::WrongMark}},       // no mark check: data, text
    {"WrongByte",   "FPPPPPP", "FPPPPPP", {FaultKind::WrongByte, kWrongByteIndex, -1}},   // write echo only
    {"DelayBeyond", "LLLLLLP", "LLLLLLP", {FaultKind::Delay, kDelayBeyond}},
    {"DelayWithin", "PPPPPPP", "PPPPPPP", {FaultKind::Delay, kDelayWithin}},
    {"Split",       "PPPPPPP", "PPPPPPP", {FaultKind::Split, 10, 20}},
    {"Close",       "LLLLLLX", "LLLLLLX", {FaultKind::Close, 10}},
};

void PrintTo(const FaultRow& f, std::ostream* os) { *os << f.m_name; }

bool Tcp(Transport t) { return t == Transport::Tcp; }
double LimitOf(uint16_t code, Transport t) {
    return code == sl::kCodeIdentify && Tcp(t) ? sl::kIdentifyLimitTcpS : sl::kReplyLimitS;
}
int DelayWithinMs(uint16_t code, Transport t) {
    return code == sl::kCodeIdentify && Tcp(t) ? kIdentifyDelayWithinTcpMs : kDelayWithinMs;
}
int DelayBeyondMs(uint16_t code, Transport t) {
    return static_cast<int>(LimitOf(code, t) * 1000) + kDelayBeyondExtraMs;
}

// The program started against the sensor, with the helpers every case needs.
class FaultTest : public ::testing::Test {
protected:
    void Bring(Transport transport) {
        connection::refreshPortTableOnOpen = false;   // the port table holds the simulator
        m_program = std::make_unique<Program>(transport);
        P().m_sensor.setScene(sim::Scene::Steady);   // no triggered frames of its own
        P().Start();
        ASSERT_EQ(P().Text(ui::datapanel, ui::DATAP_STATUS), sim::kDefaultIdentification);
        P().m_sensor.clearLog();
        platform::ClearPopupLog();
    }
    Program& P() const { return *m_program; }
    double Timed(int panel, int control) {   // one click that runs a whole command
        const double start = platform::Timer();
        P().Click(panel, control);
        return platform::Timer() - start;
    }
    std::string RecordFile() const { return P().Path("faults.dat"); }
    std::vector<std::string> Lines() const { return Program::RecordLines(RecordFile()); }
    void OpenRecorder(int mode) {
        P().Click(ui::mainpanel, ui::MAINP_BUTTON_RECORDER);
        P().ChooseRecordFile(RecordFile());
        P().ChooseRecordMode(mode);
    }
    std::string LastPopup() const {
        return platform::PopupLog().empty() ? "" : platform::PopupLog().back().text;
    }

    // After a failure or a dropped link: a hung-up pseudo-terminal comes back under a new
    // path, "Try to connect" identifies the sensor and reads its parameters, and GET works.
    void ExpectRecovery() {
        if (P().m_pty && !P().m_pty->isOpen()) {
            ASSERT_TRUE(P().m_pty->open());
            platform::SetSerialPortTable({{P().m_pty->path().toStdString(), "simulated sensor"}});
        }
        if (!platform::PanelVisible(ui::interfacepanel))
            P().Click(ui::mainpanel, ui::MAINP_BUTTON_CONNECT);
        P().Click(ui::interfacepanel, ui::INTERFACEP_BUTTON_TRY);
        EXPECT_EQ(P().Text(ui::datapanel, ui::DATAP_STATUS), sim::kDefaultIdentification);
        EXPECT_FALSE(P().Dimmed(ui::interfacepanel, ui::INTERFACEP_BUTTON_ACCEPT));
        P().m_sensor.clearLog();
        P().Click(ui::mainpanel, ui::MAINP_BUTTON_GET);
        EXPECT_EQ(sl::comecho, 1);
        EXPECT_EQ(P().Requests(sl::kCodeParaRead), 1);   // after an EEPROM load if chosen
    }

    std::unique_ptr<Program> m_program;
};

// ---- every code x every fault x both links --------------------------------------------------

using Case = std::tuple<uint16_t, FaultRow, Transport>;
using Chain = std::vector<uint16_t>;

class FaultMatrix : public FaultTest, public ::testing::WithParamInterface<Case> {
protected:
    uint16_t Code() const { return std::get<0>(GetParam()); }
    const FaultRow& Row() const { return std::get<1>(GetParam()); }
    Transport Link() const { return std::get<2>(GetParam()); }
    bool Is(std::string_view fault) const { return Row().m_name == fault; }
    char Effect() const {
        const auto at = std::find(std::begin(kCodes), std::end(kCodes), Code()) - std::begin(kCodes);
        return (Tcp(Link()) ? Row().m_tcp : Row().m_pty)[at];
    }
    bool Fails() const { return Effect() == 'F' || Effect() == 'L'; }
    void Inject() {
        sim::Fault fault = Row().m_fault;
        if (fault.m_arg == kDelayBeyond) fault.m_arg = DelayBeyondMs(Code(), Link());
        if (fault.m_arg == kDelayWithin) fault.m_arg = DelayWithinMs(Code(), Link());
        P().m_sensor.addFault(Code(), fault, 1);
    }

    // The least and the most a command may take: the exchanges of its chain up to the one that
    // fails, each bounded by its limit, plus the fixed pauses; the faulty exchange takes its
    // limit (when it fails there) or its delay at least.
    void ExpectTook(double took, const Chain& chain, double pauses) const {
        double least = pauses, most = pauses + kSlackS;
        for (uint16_t code : chain) {
            most += LimitOf(code, Link());
            if (code != Code()) continue;
            if (Effect() == 'L') least += LimitOf(code, Link());
            if (Is("DelayWithin")) least += DelayWithinMs(code, Link()) / 1000.0;
            if (Fails()) break;
        }
        EXPECT_GE(took, least);
        EXPECT_LE(took, most);
    }
    void ExpectOutcome() const {
        if (Fails()) {
            P().ExpectTimeoutState();
        } else {
            EXPECT_EQ(sl::comecho, 1);
            EXPECT_NE(P().Text(ui::datapanel, ui::DATAP_STATUS), "TIMEOUT");
        }
        EXPECT_EQ(Program::Shown("TCP Client"), Is("Close") && Tcp(Link()) ? 1 : 0);
    }
    // A command of a chain of exchanges: in time, the requests up to the failing one, its outcome.
    void RunCommand(int panel, int control, const Chain& chain, double pauses) {
        Inject();
        ExpectTook(Timed(panel, control), chain, pauses);
        std::vector<int> sent;
        for (uint16_t code : chain) {
            sent.push_back(code);
            if (code == Code() && Fails()) break;
        }
        EXPECT_EQ(P().RequestCodes(), sent);
        ExpectOutcome();
    }

    void RunSend();
    void RunGet();
    void RunGo();
    void RunTryToConnect();
    void RunTriggered();
};

void FaultMatrix::RunSend() {
    const bool eeprom = Code() == sl::kCodeEepromStore;
    if (eeprom) P().Click(ui::mainpanel, ui::MAINP_SELECT_EEPROM);
    platform::SetCtrlVal(ui::parapanel, ui::PARAP_TOLERANCE, kToleranceSent);
    // The store's pause follows its exchange whatever its echo gave (the write here is good).
    RunCommand(ui::mainpanel, ui::MAINP_BUTTON_SEND,
               eeprom ? Chain{sl::kCodeParaWrite, sl::kCodeEepromStore} : Chain{sl::kCodeParaWrite},
               eeprom ? sl::kEepromStorePauseS : 0.0);
    EXPECT_EQ(P().m_sensor.ram()[12], kToleranceSent);   // the sensor took the record anyway
    if (eeprom) {
        EXPECT_EQ(P().m_sensor.eeprom()[12], kToleranceSent);
    }
}

void FaultMatrix::RunGet() {
    const bool eeprom = Code() == sl::kCodeEepromLoad;
    if (eeprom) P().Click(ui::mainpanel, ui::MAINP_SELECT_EEPROM);
    // The program's values and panel differ from the sensor's, so a taken record shows.
    const uint16_t teach = P().m_sensor.ram()[11];
    sl::paraTeachValue = static_cast<uint16_t>(teach + 1);
    platform::SetCtrlVal(ui::parapanel, ui::PARAP_TEACHVALUE, teach + 1);
    RunCommand(ui::mainpanel, ui::MAINP_BUTTON_GET,
               eeprom ? Chain{sl::kCodeEepromLoad, sl::kCodeParaRead} : Chain{sl::kCodeParaRead}, 0.0);
    EXPECT_EQ(P().Value(ui::parapanel, ui::PARAP_TEACHVALUE), Effect() == 'P' ? teach : teach + 1);
    if (Code() == sl::kCodeParaRead && Is("WrongByte")) {   // taken as it came
        const uint16_t word = P().m_sensor.ram()[10];
        EXPECT_EQ(P().Value(ui::parapanel, ui::PARAP_TRACINGDOWN), (word & 0xFF00) | (~word & 0x00FF));
    }
}

void FaultMatrix::RunGo() {
    constexpr int kFrames = 3;
    constexpr double kGiveUpS = 20.0;
    const double start = platform::Timer();
    P().WhileRunning([&] {
        if (P().Requests(sl::kCodeData) >= kFrames || platform::Timer() - start > kGiveUpS)
            P().Click(ui::mainpanel, ui::MAINP_BUTTON_STOP);
    });
    Inject();
    const double took = Timed(ui::mainpanel, ui::MAINP_BUTTON_GO);
    P().StopSampler();
    ExpectOutcome();
    EXPECT_EQ(sl::poll, 0);
    if (Fails()) {
        ExpectTook(took, {sl::kCodeData}, 0.0);
        EXPECT_EQ(P().RequestCodes(), std::vector<int>{sl::kCodeData});
    } else {
        EXPECT_LT(took, kGiveUpS);
        EXPECT_GE(P().Requests(sl::kCodeData), kFrames);
    }
}

void FaultMatrix::RunTryToConnect() {
    P().Click(ui::mainpanel, ui::MAINP_BUTTON_CONNECT);
    RunCommand(ui::interfacepanel, ui::INTERFACEP_BUTTON_TRY, {sl::kCodeIdentify, sl::kCodeParaRead},
               sl::kIdentifyPauseS);
    if (Fails()) return;
    EXPECT_FALSE(P().Dimmed(ui::interfacepanel, ui::INTERFACEP_BUTTON_ACCEPT));
    // The text is shown as it came, a changed second byte included.
    const uint8_t second = Is("WrongMark") ? sim::kWrongReplyMark : sim::kDefaultIdentification[1];
    EXPECT_EQ(static_cast<uint8_t>(sl::version[1]), second);
    EXPECT_STREQ(sl::version + 2, sim::kDefaultIdentification + 2);
}

// Triggered recording: the faulty frame, then good ones; no time limit applies, the user stops.
void FaultMatrix::RunTriggered() {
    OpenRecorder(recorder::kModeTriggered);
    std::vector<std::string> sent;   // "raw\ttemp" of each frame that left the sensor whole
    QObject listening;               // ends the connection below with this function
    QObject::connect(&P().m_sensor, &sim::Sensor::triggeredFrame, &listening, [&](const sim::ReplyPlan& plan) {
        uint16_t words[sl::kTelegramWords];
        if (plan.m_bytes.size() < sl::kTelegramBytes) return;
        sl::UnpackTelegram(plan.m_bytes.data(), words);
        sent.push_back(std::to_string(words[2]) + "\t" + std::to_string(words[17]));
    });
    const char effect = Effect();
    const int expectedLines = effect == 'X' ? 0 : kGoodFramesAfterFault + (effect == 'D' ? 0 : 1);
    int emitted = 0;
    double lastEmit = 0.0, stopped = 0.0;
    const double start = platform::Timer();
    const double giveUp = 5.0 + DelayBeyondMs(Code(), Link()) / 1000.0;
    P().WhileRunning([&] {
        const double now = platform::Timer();
        if (stopped > 0.0 || P().Requests(sl::kCodeTriggered) == 0) return;
        if (emitted <= kGoodFramesAfterFault && now - lastEmit > kFrameGapS) {
            if (emitted++ == 0) Inject();
            P().m_sensor.emitTriggeredFrame();
            lastEmit = now;
        } else if ((emitted > kGoodFramesAfterFault && static_cast<int>(Lines().size()) >= expectedLines &&
                    now - lastEmit > (effect == 'X' ? 1.0 : 0.0)) ||
                   now - start > giveUp) {
            stopped = now;
            P().Click(ui::recpanel, ui::RECP_BUTTON_TRIGSTOP);
        }
    });
    P().Click(ui::recpanel, ui::RECP_BUTTON_TRIGSTART);
    const double ended = platform::Timer();
    P().StopSampler();
    ASSERT_GT(stopped, 0.0);
    EXPECT_LT(ended - stopped, kStopWithinS);
    EXPECT_LT(stopped - start, giveUp);   // every expected line came before the give-up

    const auto lines = Lines();
    EXPECT_EQ(P().Text(ui::recpanel, ui::RECP_RUNNING_COUNT), std::to_string(lines.size()));   // none lost
    EXPECT_EQ(static_cast<int>(lines.size()), expectedLines);
    if (effect != 'X' && !lines.empty() && !sent.empty()) {   // the frames after the fault are in step
        EXPECT_EQ(lines.back().substr(20), sent.back());
    }
    EXPECT_EQ(P().RequestCodes(), std::vector<int>{sl::kCodeTriggered});
    EXPECT_EQ(Program::Shown("TCP Client"), effect == 'X' && Tcp(Link()) ? 1 : 0);
    EXPECT_EQ(LastPopup(), recorder::kSavedText);
    EXPECT_EQ(sl::poll, 0);
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    const auto& [code, fault, transport] = info.param;
    return "Code" + std::to_string(code) + fault.m_name + (Tcp(transport) ? "Tcp" : "Pty");
}

TEST_P(FaultMatrix, EndsInTimeWithItsOutcomeAndTheLinkRecovers) {
    Bring(Link());
    switch (Code()) {
        case sl::kCodeParaWrite:
        case sl::kCodeEepromStore: RunSend(); break;
        case sl::kCodeParaRead:
        case sl::kCodeEepromLoad: RunGet(); break;
        case sl::kCodeData: RunGo(); break;
        case sl::kCodeIdentify: RunTryToConnect(); break;
        case sl::kCodeTriggered: RunTriggered(); break;
        default: FAIL() << "no command sends code " << Code();
    }
    // A reply that comes after its limit is let through before the next attempt: on a serial
    // line nothing tells a late reply from the next one.
    if (Is("DelayBeyond")) PumpFor(kDelayBeyondExtraMs / 1000.0 + 0.3);
    ExpectRecovery();
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix,
                         ::testing::Combine(::testing::ValuesIn(kCodes), ::testing::ValuesIn(kFaults),
                                            ::testing::Values(Transport::Tcp, Transport::Pty)),
                         CaseName);

// ---- the server drops the connection -----------------------------------------------------

class DroppedConnection : public FaultTest {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(Bring(Transport::Tcp)); }
    // The server closes the connection at the reply to a request of code once `replies` of
    // them came, while the click runs; one "TCP Client" box, the failure handling.
    double DropDuring(uint16_t code, int replies, int panel, int control) {
        bool dropped = false;
        P().WhileRunning([&] {
            if (dropped || P().Requests(code) < replies) return;
            P().m_sensor.addFault(code, {FaultKind::Close, 0}, 1);
            dropped = true;
        });
        const double took = Timed(panel, control);
        P().StopSampler();
        EXPECT_TRUE(dropped);
        EXPECT_EQ(Program::Shown("TCP Client"), 1);
        P().ExpectTimeoutState();
        return took;
    }
    // And after reconnecting, GO brings frames again.
    void ExpectGoWorks() {
        ExpectRecovery();
        P().Click(ui::mainpanel, ui::MAINP_BUTTON_PARA);
        P().m_sensor.clearLog();
        P().WhileRunning([this] {
            if (P().Requests(sl::kCodeData) >= 3) P().Click(ui::mainpanel, ui::MAINP_BUTTON_STOP);
        });
        EXPECT_LT(Timed(ui::mainpanel, ui::MAINP_BUTTON_GO), sl::kReplyLimitS);
        P().StopSampler();
        EXPECT_GE(P().Requests(sl::kCodeData), 3);
        EXPECT_EQ(sl::comecho, 1);
    }
};

TEST_F(DroppedConnection, DuringGo) {
    EXPECT_LT(DropDuring(sl::kCodeData, 3, ui::mainpanel, ui::MAINP_BUTTON_GO), 10.0);
    EXPECT_EQ(sl::tcpcon, 0);
    ExpectGoWorks();
}

TEST_F(DroppedConnection, DuringTimedRecording) {
    OpenRecorder(recorder::kModeTimed);
    platform::SetCtrlVal(ui::recpanel, ui::RECP_INTERVAL, 1);
    platform::SetCtrlVal(ui::recpanel, ui::RECP_RECVAL, 100);
    // Two good passes a second apart, a third whose reply is lost with the connection.
    EXPECT_LT(DropDuring(sl::kCodeData, 2, ui::recpanel, ui::RECP_BUTTON_START),
              2 * 1.0 + sl::kReplyLimitS + 1.0);
    // Every frame that came was written and counted; the lost one neither.
    EXPECT_EQ(Lines().size(), 2u);
    EXPECT_EQ(P().Text(ui::recpanel, ui::RECP_RECORDED), "2");
    EXPECT_EQ(LastPopup(), recorder::kSavedText);
    ExpectGoWorks();
}

TEST_F(DroppedConnection, DuringTriggeredListening) {
    OpenRecorder(recorder::kModeTriggered);
    int step = 0;
    double stopped = 0.0;
    P().WhileRunning([&] {
        if (step == 0 && P().Requests(sl::kCodeTriggered) == 1) {
            P().m_sensor.emitTriggeredFrame();
        } else if (step == 1 && P().Text(ui::recpanel, ui::RECP_RUNNING_COUNT) == "1") {
            P().m_sensor.addFault(sl::kCodeTriggered, {FaultKind::Close, 0}, 1);
            P().m_sensor.emitTriggeredFrame();
        } else if (step == 2 && Program::Shown("TCP Client") == 1) {
            stopped = platform::Timer() + 1.0;   // the loop keeps listening until Stop
        } else if (step == 3 && platform::Timer() > stopped) {
            EXPECT_EQ(sl::poll, 1);
            P().Click(ui::recpanel, ui::RECP_BUTTON_TRIGSTOP);
        } else {
            return;
        }
        ++step;
    });
    P().Click(ui::recpanel, ui::RECP_BUTTON_TRIGSTART);
    const double ended = platform::Timer();
    P().StopSampler();
    ASSERT_EQ(step, 4);
    EXPECT_LT(ended - stopped, kStopWithinS);
    EXPECT_EQ(Program::Shown("TCP Client"), 1);
    EXPECT_EQ(Lines().size(), 1u);
    EXPECT_EQ(P().Text(ui::recpanel, ui::RECP_RUNNING_COUNT), "1");
    EXPECT_EQ(LastPopup(), recorder::kSavedText);
    ExpectGoWorks();
}

}  // namespace
