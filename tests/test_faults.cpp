// The running program against a misbehaving sensor: every command code under every fault the
// simulated sensor can inject, on TCP and on a pseudo-terminal, and a server that drops the
// connection in the middle of GO, of a timed recording and of triggered listening. Each case
// checks that the command ends in time with its outcome (success, or the failure handling),
// that a recording loses no line it counted, and that "Try to connect" makes the next exchange
// work again. The limits are the real ones; the cases run in parallel processes.
#include <QComboBox>
#include <QTimer>
#include <functional>

#include "apptest.h"
#include "connection/connection.h"
#include "recorder/recorder.h"

using namespace apptest;
namespace sl = sensorlink;
using sim::FaultKind;

namespace {

constexpr double kSlackS = 0.2;              // a command may overrun its limits by this much
constexpr double kStopWithinS = 1.0;         // a stopped recording ends within this
constexpr int kDelayWithinMs = 2000;         // a late reply that is still in time
constexpr int kIdentifyDelayWithinTcpMs = 4000;   // in time only for the 5 s identification limit
constexpr int kDelayBeyondExtraMs = 600;     // how far past its limit a reply arrives
constexpr int kWrongByteIndex = 25;          // low byte of record word 10 in a parameter reply
constexpr uint16_t kToleranceSent = 321;     // a value SEND carries to the sensor
constexpr int kGoodFramesAfterFault = 3;     // triggered frames that follow the faulty one
constexpr int kFrameGapMs = 150;             // between two triggered frames

enum class Injected { NoReply, Short, Surplus, WrongMark, WrongByte, DelayBeyond, DelayWithin,
                      Split, Close };

const char* Name(Injected f) {
    switch (f) {
        case Injected::NoReply: return "NoReply";
        case Injected::Short: return "Short";
        case Injected::Surplus: return "Surplus";
        case Injected::WrongMark: return "WrongMark";
        case Injected::WrongByte: return "WrongByte";
        case Injected::DelayBeyond: return "DelayBeyond";
        case Injected::DelayWithin: return "DelayWithin";
        case Injected::Split: return "Split";
        case Injected::Close: return "Close";
    }
    return "";
}

void PrintTo(Injected f, std::ostream* os) { *os << Name(f); }

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

sim::Fault FaultFor(Injected f, uint16_t code, Transport t) {
    switch (f) {
        case Injected::NoReply: return {FaultKind::NoReply};
        case Injected::Short: return {FaultKind::Short, 1};
        case Injected::Surplus: return {FaultKind::Surplus, 1, 0};
        case Injected::WrongMark: return {FaultKind::WrongMark};
        case Injected::WrongByte: return {FaultKind::WrongByte, kWrongByteIndex, -1};
        case Injected::DelayBeyond: return {FaultKind::Delay, DelayBeyondMs(code, t)};
        case Injected::DelayWithin: return {FaultKind::Delay, DelayWithinMs(code, t)};
        case Injected::Split: return {FaultKind::Split, 10, 20};
        case Injected::Close: return {FaultKind::Close, 10};
    }
    return {};
}

// What a faulty reply does to the exchange that awaits it.
enum class Effect {
    Passes,         // the exchange succeeds
    Ignored,        // a complete parameter reply without 170, 3: no values, no message
    FailsAtOnce,    // the failure handling as soon as the reply is in
    FailsAtLimit,   // the failure handling when the limit has passed
};

Effect EffectOf(uint16_t code, Injected f, Transport t) {
    switch (f) {
        case Injected::NoReply:
        case Injected::Short:
        case Injected::DelayBeyond:
        case Injected::Close:
            return Effect::FailsAtLimit;
        case Injected::Surplus:
            // TCP takes exactly 36 bytes; a serial queue holding 37 is a failure.
            return Tcp(t) ? Effect::Passes : Effect::FailsAtOnce;
        case Injected::WrongMark:
            // Echoes are checked for the mark; a parameter reply without it is ignored; data
            // frames and the identification text are taken whatever their first bytes.
            if (code == sl::kCodeParaRead) return Effect::Ignored;
            if (code == sl::kCodeData || code == sl::kCodeIdentify) return Effect::Passes;
            return Effect::FailsAtOnce;
        case Injected::WrongByte:
            // Only the parameter write's echo is compared beyond byte 3.
            return code == sl::kCodeParaWrite ? Effect::FailsAtOnce : Effect::Passes;
        case Injected::DelayWithin:
        case Injected::Split:
            return Effect::Passes;
    }
    return Effect::Passes;
}

bool Fails(Effect e) { return e == Effect::FailsAtOnce || e == Effect::FailsAtLimit; }

using Case = std::tuple<uint16_t, Injected, Transport>;

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    const auto& [code, fault, transport] = info.param;
    return "Code" + std::to_string(code) + Name(fault) + (Tcp(transport) ? "Tcp" : "Pty");
}

// The program started against the sensor, with the helpers every case needs.
class FaultTest : public ::testing::Test {
protected:
    void Bring(Transport transport) {
        connection::refreshPortTableOnOpen = false;   // the port table holds the simulator
        m_program = std::make_unique<Program>(transport);
        m_program->m_sensor.setScene(sim::Scene::Steady);   // no triggered frames of its own
        m_program->Start();
        ASSERT_EQ(P().Text(shell::datapanel, ui::DATAP_STATUS), sim::kDefaultIdentification);
        P().m_sensor.clearLog();
        platform::ClearPopupLog();
    }
    void TearDown() override {
        m_sampler.reset();
        m_program.reset();
    }

    Program& P() const { return *m_program; }

    int Shown(const std::string& title) const {
        int n = 0;
        for (const auto& popup : platform::PopupLog()) n += popup.title == title;
        return n;
    }
    int Requests(int code) const {
        int n = 0;
        for (int c : P().RequestCodes()) n += c == code;
        return n;
    }
    // Runs step every few milliseconds while a blocking click runs.
    void WhileRunning(std::function<void()> step) {
        m_sampler = std::make_unique<QTimer>();
        QObject::connect(m_sampler.get(), &QTimer::timeout, std::move(step));
        m_sampler->start(5);
    }
    // Times one click that runs a whole command.
    double Timed(int panel, int control) {
        const double start = platform::Timer();
        P().Click(panel, control);
        return platform::Timer() - start;
    }

    void OpenRecorder(int mode, const std::string& file) {
        P().Click(shell::mainpanel, ui::MAINP_BUTTON_RECORDER);
        P().m_filePath = file;
        P().m_fileResult = 2;
        P().Click(shell::recpanel, ui::RECP_BUTTON_SELFILE);
        auto* ring = qobject_cast<QComboBox*>(P().Widget(shell::recpanel, ui::RECP_MODE));
        ring->setCurrentIndex(mode);
        emit ring->activated(mode);
    }
    std::string RecordFile() const { return P().Path("faults.dat"); }
    // The data lines of the record file (after its header).
    std::vector<std::string> Lines() const {
        std::string bytes;
        platform::ReadFileBytes(RecordFile(), bytes);
        std::vector<std::string> lines;
        for (size_t at = 0, end; (end = bytes.find("\r\n", at)) != std::string::npos; at = end + 2)
            lines.push_back(bytes.substr(at, end - at));
        if (!lines.empty() && lines.front().rfind("DATE", 0) == 0) lines.erase(lines.begin());
        return lines;
    }
    std::string RunningCount() const { return P().Text(shell::recpanel, ui::RECP_RUNNING_COUNT); }

    // After a failure or a dropped link: a hung-up pseudo-terminal comes back under a new
    // path, "Try to connect" identifies the sensor and reads its parameters, and GET works.
    void ExpectRecovery() {
        if (P().m_pty && !P().m_pty->isOpen()) {
            ASSERT_TRUE(P().m_pty->open());
            platform::SetSerialPortTable({{P().m_pty->path().toStdString(), "simulated sensor"}});
        }
        if (!platform::PanelVisible(shell::interfacepanel))
            P().Click(shell::mainpanel, ui::MAINP_BUTTON_CONNECT);
        P().m_sensor.clearLog();
        P().Click(shell::interfacepanel, ui::INTERFACEP_BUTTON_TRY);
        EXPECT_EQ(P().Text(shell::datapanel, ui::DATAP_STATUS), sim::kDefaultIdentification);
        EXPECT_FALSE(P().Dimmed(shell::interfacepanel, ui::INTERFACEP_BUTTON_ACCEPT));
        ASSERT_FALSE(P().RequestCodes().empty());
        EXPECT_EQ(P().RequestCodes().front(), sl::kCodeIdentify);
        P().m_sensor.clearLog();
        P().Click(shell::mainpanel, ui::MAINP_BUTTON_GET);
        EXPECT_EQ(sl::comecho, 1);
        EXPECT_EQ(P().RequestCodes().back(), sl::kCodeParaRead);
        EXPECT_EQ(P().Text(shell::interfacepanel, ui::INTERFACEP_STATUS),
                  sim::kDefaultIdentification);
    }

    std::unique_ptr<Program> m_program;
    std::unique_ptr<QTimer> m_sampler;
};

class FaultMatrix : public FaultTest, public ::testing::WithParamInterface<Case> {
protected:
    uint16_t Code() const { return std::get<0>(GetParam()); }
    Injected Fault() const { return std::get<1>(GetParam()); }
    Transport Link() const { return std::get<2>(GetParam()); }
    Effect FaultEffect() const { return EffectOf(Code(), Fault(), Link()); }
    void Inject() { P().m_sensor.addFault(Code(), FaultFor(Fault(), Code(), Link()), 1); }

    // The least and the most a command may take: the exchanges that run, each bounded by its
    // limit, plus the fixed pauses; the faulty one takes its limit or its delay at least.
    struct Span {
        double m_min = 0.0;
        double m_max = kSlackS;
    };
    Span Expected(const std::vector<uint16_t>& chain, double pauses) const {
        Span span;
        span.m_min = span.m_max = pauses;
        span.m_max += kSlackS;
        for (uint16_t code : chain) {
            span.m_max += LimitOf(code, Link());
            if (code != Code()) continue;
            if (FaultEffect() == Effect::FailsAtLimit) span.m_min += LimitOf(code, Link());
            if (Fault() == Injected::DelayWithin) span.m_min += DelayWithinMs(code, Link()) / 1000.0;
            if (Fails(FaultEffect())) break;
        }
        return span;
    }
    void ExpectTook(double took, const Span& span) const {
        EXPECT_GE(took, span.m_min);
        EXPECT_LE(took, span.m_max);
    }
    // The codes the sensor receives: the chain up to the exchange that fails.
    std::vector<int> Sent(const std::vector<uint16_t>& chain) const {
        std::vector<int> codes;
        for (uint16_t code : chain) {
            codes.push_back(code);
            if (code == Code() && Fails(FaultEffect())) break;
        }
        return codes;
    }
    void ExpectOutcome() const {
        if (Fails(FaultEffect())) {
            P().ExpectTimeoutState();
        } else {
            EXPECT_EQ(sl::comecho, 1);
            EXPECT_NE(P().Text(shell::datapanel, ui::DATAP_STATUS), "TIMEOUT");
        }
        EXPECT_EQ(Shown("TCP Client"), Fault() == Injected::Close && Tcp(Link()) ? 1 : 0);
    }
    // A reply that comes after its limit is let through before the next attempt: on a serial
    // line nothing tells a late reply from the next one.
    void LetLateReplyPass() {
        if (Fault() == Injected::DelayBeyond) PumpFor(kDelayBeyondExtraMs / 1000.0 + 0.3);
    }

    void RunSend();
    void RunGet();
    void RunGo();
    void RunTryToConnect();
    void RunTriggered();
};

void FaultMatrix::RunSend() {
    const bool eeprom = Code() == sl::kCodeEepromStore;
    if (eeprom) P().Click(shell::mainpanel, ui::MAINP_SELECT_EEPROM);
    platform::SetCtrlVal(shell::parapanel, ui::PARAP_TOLERANCE, kToleranceSent);
    const std::vector<uint16_t> chain =
        eeprom ? std::vector<uint16_t>{sl::kCodeParaWrite, sl::kCodeEepromStore}
               : std::vector<uint16_t>{sl::kCodeParaWrite};
    Inject();
    const double took = Timed(shell::mainpanel, ui::MAINP_BUTTON_SEND);
    // The store's pause follows its exchange whatever its echo gave (the write here is good).
    ExpectTook(took, Expected(chain, eeprom ? sl::kEepromStorePauseS : 0.0));
    EXPECT_EQ(P().RequestCodes(), Sent(chain));
    ExpectOutcome();
    EXPECT_EQ(P().m_sensor.ram()[12], kToleranceSent);   // the sensor took the record anyway
    if (eeprom) {
        EXPECT_EQ(P().m_sensor.eeprom()[12], kToleranceSent);
    }
}

void FaultMatrix::RunGet() {
    const bool eeprom = Code() == sl::kCodeEepromLoad;
    if (eeprom) P().Click(shell::mainpanel, ui::MAINP_SELECT_EEPROM);
    // The program's values and panel differ from the sensor's, so a taken record shows.
    const uint16_t teach = P().m_sensor.ram()[11];
    sl::paraTeachValue = static_cast<uint16_t>(teach + 1);
    platform::SetCtrlVal(shell::parapanel, ui::PARAP_TEACHVALUE, teach + 1);
    const std::vector<uint16_t> chain =
        eeprom ? std::vector<uint16_t>{sl::kCodeEepromLoad, sl::kCodeParaRead}
               : std::vector<uint16_t>{sl::kCodeParaRead};
    Inject();
    const double took = Timed(shell::mainpanel, ui::MAINP_BUTTON_GET);
    ExpectTook(took, Expected(chain, 0.0));
    EXPECT_EQ(P().RequestCodes(), Sent(chain));
    ExpectOutcome();
    const int shownTeach = P().Value(shell::parapanel, ui::PARAP_TEACHVALUE);
    const bool taken = !Fails(FaultEffect()) && FaultEffect() != Effect::Ignored;
    EXPECT_EQ(shownTeach, taken ? teach : teach + 1);
    if (Code() == sl::kCodeParaRead && Fault() == Injected::WrongByte) {   // taken as it came
        const uint16_t word = P().m_sensor.ram()[10];
        EXPECT_EQ(P().Value(shell::parapanel, ui::PARAP_TRACINGDOWN),
                  (word & 0xFF00) | (~word & 0x00FF));
    }
}

void FaultMatrix::RunGo() {
    constexpr int kFrames = 3;
    constexpr double kGiveUpS = 20.0;
    const double start = platform::Timer();
    WhileRunning([&] {
        if (Requests(sl::kCodeData) >= kFrames || platform::Timer() - start > kGiveUpS)
            P().Click(shell::mainpanel, ui::MAINP_BUTTON_STOP);
    });
    Inject();
    const double took = Timed(shell::mainpanel, ui::MAINP_BUTTON_GO);
    m_sampler.reset();
    ExpectOutcome();
    EXPECT_EQ(sl::poll, 0);
    if (Fails(FaultEffect())) {
        ExpectTook(took, Expected({sl::kCodeData}, 0.0));
        EXPECT_EQ(P().RequestCodes(), std::vector<int>{sl::kCodeData});
    } else {
        EXPECT_LT(took, kGiveUpS);
        EXPECT_GE(Requests(sl::kCodeData), kFrames);
        EXPECT_EQ(P().Text(shell::datapanel, ui::DATAP_RAW), std::to_string(sl::dataANA0));
        EXPECT_TRUE(platform::PanelVisible(shell::parapanel));
    }
}

void FaultMatrix::RunTryToConnect() {
    P().Click(shell::mainpanel, ui::MAINP_BUTTON_CONNECT);
    const std::vector<uint16_t> chain{sl::kCodeIdentify, sl::kCodeParaRead};
    Inject();
    const double took = Timed(shell::interfacepanel, ui::INTERFACEP_BUTTON_TRY);
    ExpectTook(took, Expected(chain, sl::kIdentifyPauseS));
    EXPECT_EQ(P().RequestCodes(), Sent(chain));
    ExpectOutcome();
    if (!Fails(FaultEffect())) {
        EXPECT_FALSE(P().Dimmed(shell::interfacepanel, ui::INTERFACEP_BUTTON_ACCEPT));
        // The text is shown as it came, a changed second byte included.
        const uint8_t second = Fault() == Injected::WrongMark ? sim::kWrongReplyMark
                                                              : sim::kDefaultIdentification[1];
        EXPECT_EQ(static_cast<uint8_t>(sl::version[1]), second);
        EXPECT_STREQ(sl::version + 2, sim::kDefaultIdentification + 2);
    }
}

// Triggered recording: the faulty frame, then good ones; no time limit applies, the user stops.
void FaultMatrix::RunTriggered() {
    OpenRecorder(recorder::kModeTriggered, RecordFile());
    std::vector<std::string> sent;   // "raw\ttemp" of each frame that left the sensor whole
    QObject::connect(&P().m_sensor, &sim::Sensor::triggeredFrame, [&](const sim::ReplyPlan& plan) {
        uint16_t words[sl::kTelegramWords];
        if (plan.m_bytes.size() < sl::kTelegramBytes) return;
        sl::UnpackTelegram(plan.m_bytes.data(), words);
        sent.push_back(std::to_string(words[2]) + "\t" + std::to_string(words[17]));
    });
    const bool closes = Fault() == Injected::Close;
    const int expectedLines = closes ? 0
                              : Fault() == Injected::NoReply || Fault() == Injected::WrongMark ||
                                        Fault() == Injected::Short
                                  ? kGoodFramesAfterFault   // the faulty frame is lost
                                  : kGoodFramesAfterFault + 1;
    int emitted = 0;
    double lastEmit = 0.0, stopped = 0.0;
    const double start = platform::Timer();
    const double giveUp = 5.0 + DelayBeyondMs(Code(), Link()) / 1000.0;
    WhileRunning([&] {
        const double now = platform::Timer();
        if (stopped > 0.0 || Requests(sl::kCodeTriggered) == 0) return;
        if (emitted <= kGoodFramesAfterFault && now - lastEmit > kFrameGapMs / 1000.0) {
            if (emitted == 0) Inject();
            P().m_sensor.emitTriggeredFrame();
            ++emitted;
            lastEmit = now;
            return;
        }
        const bool allIn = emitted > kGoodFramesAfterFault &&
                           static_cast<int>(Lines().size()) >= expectedLines &&
                           now - lastEmit > (closes ? 1.0 : 0.0);
        if (allIn || now - start > giveUp) {
            stopped = now;
            P().Click(shell::recpanel, ui::RECP_BUTTON_TRIGSTOP);
        }
    });
    P().Click(shell::recpanel, ui::RECP_BUTTON_TRIGSTART);
    const double ended = platform::Timer();
    m_sampler.reset();
    ASSERT_GT(stopped, 0.0);
    EXPECT_LT(ended - stopped, kStopWithinS);
    EXPECT_LT(stopped - start, giveUp);   // every expected line came before the give-up

    const auto lines = Lines();
    EXPECT_EQ(RunningCount(), std::to_string(lines.size()));   // no counted line lost
    EXPECT_EQ(static_cast<int>(lines.size()), expectedLines);
    if (!closes && !lines.empty() && !sent.empty()) {   // the frames after the fault are in step
        EXPECT_EQ(lines.back().substr(20), sent.back());
    }
    EXPECT_EQ(P().RequestCodes(), std::vector<int>{sl::kCodeTriggered});
    EXPECT_EQ(Shown("TCP Client"), closes && Tcp(Link()) ? 1 : 0);
    ASSERT_FALSE(platform::PopupLog().empty());
    EXPECT_EQ(platform::PopupLog().back().text, recorder::kSavedText);
    EXPECT_EQ(sl::poll, 0);
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
    LetLateReplyPass();
    ExpectRecovery();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultMatrix,
    ::testing::Combine(::testing::Values(sl::kCodeParaWrite, sl::kCodeParaRead, sl::kCodeData,
                                         sl::kCodeEepromStore, sl::kCodeIdentify,
                                         sl::kCodeEepromLoad, sl::kCodeTriggered),
                       ::testing::Values(Injected::NoReply, Injected::Short, Injected::Surplus,
                                         Injected::WrongMark, Injected::WrongByte,
                                         Injected::DelayBeyond, Injected::DelayWithin,
                                         Injected::Split, Injected::Close),
                       ::testing::Values(Transport::Tcp, Transport::Pty)),
    CaseName);

// ---- the server drops the connection -----------------------------------------------------

class DroppedConnection : public FaultTest {
protected:
    void SetUp() override { Bring(Transport::Tcp); }
    // The server closes the connection at the next reply to code, once frames are flowing.
    void DropAfter(uint16_t code, int replies) {
        m_dropped = false;
        WhileRunning([this, code, replies] {
            if (m_dropped || Requests(code) < replies) return;
            m_dropped = true;
            P().m_sensor.addFault(code, {FaultKind::Close, 0}, 1);
        });
    }
    // And after reconnecting, GO brings frames again.
    void ExpectGoWorks() {
        ExpectRecovery();
        P().Click(shell::mainpanel, ui::MAINP_BUTTON_PARA);
        P().m_sensor.clearLog();
        WhileRunning([this] {
            if (Requests(sl::kCodeData) >= 3) P().Click(shell::mainpanel, ui::MAINP_BUTTON_STOP);
        });
        const double took = Timed(shell::mainpanel, ui::MAINP_BUTTON_GO);
        m_sampler.reset();
        EXPECT_LT(took, sl::kReplyLimitS);
        EXPECT_GE(Requests(sl::kCodeData), 3);
        EXPECT_EQ(sl::comecho, 1);
        EXPECT_EQ(P().Text(shell::datapanel, ui::DATAP_STATUS), sim::kDefaultIdentification);
    }
    bool m_dropped = false;
};

TEST_F(DroppedConnection, DuringGo) {
    DropAfter(sl::kCodeData, 3);
    const double took = Timed(shell::mainpanel, ui::MAINP_BUTTON_GO);
    m_sampler.reset();
    ASSERT_TRUE(m_dropped);
    EXPECT_EQ(Shown("TCP Client"), 1);
    EXPECT_EQ(sl::tcpcon, 0);
    P().ExpectTimeoutState();
    EXPECT_LT(took, 10.0);
    ExpectGoWorks();
}

TEST_F(DroppedConnection, DuringTimedRecording) {
    OpenRecorder(recorder::kModeTimed, RecordFile());
    platform::SetCtrlVal(shell::recpanel, ui::RECP_INTERVAL, 1);
    platform::SetCtrlVal(shell::recpanel, ui::RECP_RECVAL, 100);
    DropAfter(sl::kCodeData, 2);
    const double took = Timed(shell::recpanel, ui::RECP_BUTTON_START);
    m_sampler.reset();
    ASSERT_TRUE(m_dropped);
    EXPECT_EQ(Shown("TCP Client"), 1);
    P().ExpectTimeoutState();
    // Two good passes a second apart, a third whose reply is lost with the connection.
    EXPECT_LT(took, 2 * 1.0 + sl::kReplyLimitS + 1.0);
    // Every frame that came was written and counted; the lost one neither.
    EXPECT_EQ(Lines().size(), 2u);
    EXPECT_EQ(P().Text(shell::recpanel, ui::RECP_RECORDED), "2");
    EXPECT_EQ(platform::PopupLog().back().text, recorder::kSavedText);
    ExpectGoWorks();
}

TEST_F(DroppedConnection, DuringTriggeredListening) {
    OpenRecorder(recorder::kModeTriggered, RecordFile());
    int step = 0;
    double stopped = 0.0;
    WhileRunning([&] {
        if (step == 0 && Requests(sl::kCodeTriggered) == 1) {
            P().m_sensor.emitTriggeredFrame();
            step = 1;
        } else if (step == 1 && RunningCount() == "1") {
            P().m_sensor.addFault(sl::kCodeTriggered, {FaultKind::Close, 0}, 1);
            P().m_sensor.emitTriggeredFrame();
            step = 2;
        } else if (step == 2 && Shown("TCP Client") == 1) {
            step = 3;
            stopped = platform::Timer() + 1.0;   // the loop keeps listening until Stop
        } else if (step == 3 && platform::Timer() > stopped) {
            EXPECT_EQ(sl::poll, 1);
            step = 4;
            P().Click(shell::recpanel, ui::RECP_BUTTON_TRIGSTOP);
        }
    });
    P().Click(shell::recpanel, ui::RECP_BUTTON_TRIGSTART);
    const double ended = platform::Timer();
    m_sampler.reset();
    ASSERT_EQ(step, 4);
    EXPECT_LT(ended - stopped, kStopWithinS);
    EXPECT_EQ(Shown("TCP Client"), 1);
    EXPECT_EQ(Lines().size(), 1u);
    EXPECT_EQ(RunningCount(), "1");
    EXPECT_EQ(platform::PopupLog().back().text, recorder::kSavedText);
    ExpectGoWorks();
}

}  // namespace
