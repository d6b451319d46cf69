// The link against the in-process simulated sensor over a loopback socket and a pseudo-terminal,
// on the test clock: every code under every fault, stale bytes, triggered frames, failed opens.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <span>

#include "link/exchanges.h"
#include "link/transport.h"
#include "platform/platform.h"
#include "sim/clock.h"
#include "sim/ptyserver.h"
#include "sim/sensor.h"
#include "sim/tcpserver.h"
#include "testsystem.h"

namespace sl = sensorlink;
using sim::FaultKind;
using ::testing::AllOf, ::testing::ElementsAreArray, ::testing::Ge, ::testing::Le;
using Bytes = std::vector<uint8_t>;
using Strings = std::vector<std::string>;

namespace {

enum class Link { Tcp, Pty };

// The limits and pauses the link must keep, seconds.
constexpr double kReplyLimitS = 3.0, kIdentifyLimitTcpS = 5.0, kConnectLimitS = 5.0;
constexpr double kIdentifyPauseS = 0.1, kEepromStorePauseS = 0.5, kPollSleepS = 0.010;
constexpr double kTickS = 0.001;                      // one pass of the event loop on the test clock
constexpr double kSlackS = 2 * kTickS;                // a wait ends at the first check past its limit
constexpr double kPromptS = 0.1, kLateS = 0.1;        // a prompt reply is in within; a late one this far off its limit
constexpr int kWrongByteIndex = 25;                   // low byte of record word 10 in a parameter reply
constexpr int kGoFrames = 3;                          // GO is stopped after this many frames
constexpr int kTriggeredFrames = 4;                   // the faulty frame and three good ones
constexpr double kFrameGapS = 0.01, kListenS = 4.0;   // between triggered frames; listening for them
constexpr double kStaleS = 0.2;                       // stale bytes are in the link's queue within this
// A record unlike the sensor's, every word of it, the two spare words included.
constexpr sim::Record kSentRecord{11, 1, 1200, 2800, 4, 1, 30, 1, 1, 70, 90, 1900, 150, 40, 7, 9};
const char* const kFailed = "failed";   // what m_seen shows for m_exchangeFailed

void PrintTo(Link link, std::ostream* os) { *os << (link == Link::Tcp ? "Tcp" : "Pty"); }

auto Within(double from) { return AllOf(Ge(from - 1e-9), Le(from + kSlackS)); }

QByteArray Telegram(uint16_t mark, uint16_t code, const sim::Record& payload) {
    QByteArray bytes(sl::kTelegramBytes, '\0');
    sl::PackTelegram(mark, code, payload.data(), reinterpret_cast<uint8_t*>(bytes.data()));
    return bytes;
}

// The link against the simulated sensor, with hooks that note what the link asks for.
class LinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::UseTestClock(true);
        sim::SetClock([] { return platform::Timer() * 1000.0; });
        platform::ClearPopupLog();
        platform::SetPopupHandler([](const platform::PopupRecord&, std::string&) { return 1; });
        m_sensor.setScene(sim::Scene::Steady);   // no triggered frames of its own
        sl::hooks = {[this](const std::string& text) { Note(text); },
                     [this] { Note(kFailed); },
                     [this] { Note("read panel"); },
                     [this] { Note("parameters"); },
                     [this] {
                         Note("frame");
                         if (std::ranges::count(m_seen, "frame") == kGoFrames) sl::poll = 0;
                     },
                     [this] { Note("ready"); },
                     {}};
        sl::comecho = 1;
        sl::poll = 0;
    }
    void TearDown() override {
        sl::CurrentTransport().Close();
        m_tcp.reset();
        m_pty.reset();
        sl::hooks = {};
        platform::SetPopupHandler({});
        sim::SetClock({});
        platform::UseTestClock(false);
    }

    void Open(Link link) {
        sl::comprotocol = link == Link::Tcp ? sl::kTCPIP : sl::kRS232;
        sl::ipBuf = "127.0.0.1";
        sl::comport = 1;
        if (link == Link::Tcp) {
            m_tcp = std::make_unique<sim::TcpServer>(m_sensor);
            ASSERT_TRUE(m_tcp->listen(QHostAddress::LocalHost, 0));
            sl::portNum = m_tcp->port();
        } else {
            m_pty = std::make_unique<sim::PtyServer>(m_sensor, false);
            OpenPty();
        }
        sl::OpenTransport();
        ASSERT_EQ(sl::ret, 0) << sl::szStatus;
        m_sensor.clearLog();
    }
    // Through a link named after this process: the port's lock file takes its name, and a hung-up
    // terminal's number may go to another process.
    void OpenPty() {
        const qint64 pid = QCoreApplication::applicationPid();
        const QString link = m_dir.filePath("sensor" + QString::number(pid));
        EXPECT_TRUE(m_pty->open(link));
        platform::SetSerialPortTable({{link.toStdString(), "simulated sensor"}});
    }
    void Note(const std::string& what) {
        m_seen.push_back(what);
        m_waits.emplace_back(sl::tstart, sl::tdiff);
    }
    static void PumpFor(double seconds) {
        const double end = platform::Timer() + seconds;
        while (platform::Timer() < end) platform::ProcessSystemEvents();
    }
    static void SetValues(const sim::Record& values) {
        std::copy(values.begin(), values.end(), sl::pp);
        sl::CopyFileParatoVars();
    }

    // Listens to triggered frames as the recorder does: feed runs on every pass from the sensor's
    // receipt of the trigger request on, with the seconds since, for forS; then poll becomes 0.
    std::vector<Bytes> Listen(const std::function<void(double)>& feed, double forS) {
        double triggered = -1.0, stopped = 0.0;
        QTimer driver;
        QObject::connect(&driver, &QTimer::timeout, [&] {
            if (triggered < 0.0 && m_sensor.requests().empty()) return;
            if (triggered < 0.0) triggered = platform::Timer();
            if (platform::Timer() - triggered < forS) return feed(platform::Timer() - triggered);
            if (sl::poll == 1) stopped = platform::Timer();
            sl::poll = 0;
        });
        driver.start(0);
        std::vector<Bytes> taken;
        sl::StartTriggeredData();
        sl::poll = 1;
        while (sl::poll == 1)
            if (sl::AwaitTriggeredFrame() == 0) taken.emplace_back(sl::szReadBuf, sl::szReadBuf + sl::kTelegramBytes);
        sl::StopTriggeredData();
        EXPECT_TRUE(stopped > 0.0 && platform::Timer() - stopped <= kSlackS);   // the listening ends at once
        return taken;
    }

    sim::Sensor m_sensor{42};
    std::unique_ptr<sim::TcpServer> m_tcp;
    std::unique_ptr<sim::PtyServer> m_pty;
    QTemporaryDir m_dir;
    Strings m_seen;                                   // what the link asked of the program
    std::vector<std::pair<double, double>> m_waits;   // tstart and tdiff at each of those
};

constexpr uint16_t kCodes[] = {1, 3, 5, 6, 7, 8, 50};   // each command's own code
constexpr int kDelayBeyond = -1, kDelayWithin = -2;     // delays that depend on code and link

// Each fault's effect on the exchange of each code above, over TCP and over the pty: P passes,
// I is ignored (a parameter reply without its mark changes no value), F fails as soon as the reply
// is in, L fails when the limit has passed. Triggered frames (code 50): P all are taken, D the
// faulty one is dropped and the others taken in step, X the link is lost, nothing taken.
struct FaultRow {
    const char *m_name, *m_tcp, *m_pty;   // its name, its effects over TCP and over the pty
    sim::Fault m_fault;
};
const FaultRow kFaults[] = {
    // codes:        1 3 5 6 7 8 50 over TCP, over pty
    {"NoReply", "LLLLLLD", "LLLLLLD", {FaultKind::NoReply}},
    {"Short", "LLLLLLD", "LLLLLLD", {FaultKind::Short, 1}},
    {"Surplus", "PPPPPPP", "FFFFFFP", {FaultKind::Surplus, 1, 0}},   // TCP reads 36 bytes
    {"WrongMark", "FIPFPFD", "FIPFPFD", {FaultKind::WrongMark}},
    {"WrongByte", "FPPPPPP", "FPPPPPP", {FaultKind::WrongByte, kWrongByteIndex, -1}},
    {"DelayBeyond", "LLLLLLP", "LLLLLLP", {FaultKind::Delay, kDelayBeyond}},
    {"DelayWithin", "PPPPPPP", "PPPPPPP", {FaultKind::Delay, kDelayWithin}},
    {"Split", "PPPPPPP", "PPPPPPP", {FaultKind::Split, 10, 20}},
    {"Close", "LLLLLLX", "LLLLLLX", {FaultKind::Close, 10}},
};

using Case = std::tuple<uint16_t, FaultRow, Link>;

class FaultMatrix : public LinkTest, public ::testing::WithParamInterface<Case> {
protected:
    uint16_t Code() const { return std::get<0>(GetParam()); }
    const FaultRow& Row() const { return std::get<1>(GetParam()); }
    bool Tcp() const { return std::get<2>(GetParam()) == Link::Tcp; }
    bool Is(const std::string& fault) const { return Row().m_name == fault; }
    char Effect() const {
        const auto* at = std::find(std::begin(kCodes), std::end(kCodes), Code());
        return (Tcp() ? Row().m_tcp : Row().m_pty)[at - std::begin(kCodes)];
    }
    bool Fails() const { return Effect() == 'F' || Effect() == 'L'; }
    double LimitS() const { return Code() == sl::kCodeIdentify && Tcp() ? kIdentifyLimitTcpS : kReplyLimitS; }
    double DelayS() const { return Row().m_fault.m_arg == kDelayWithin ? LimitS() - kLateS : LimitS() + kLateS; }

    // A command: the requests it sends when all goes well, what it asks of the program when
    // all goes well and when the exchange of Code() fails, and its pause after its last wait.
    struct Command {
        std::vector<int> m_chain;
        Strings m_ok, m_failed;
        double m_pauseAfterS = 0.0;
    };
    // Runs the command that sends Code(), with the checks of its own results.
    Command Run() {
        const bool stops = Fails() && Code() == sl::kCodeParaWrite;   // before the store
        const bool eeprom =
            Code() == sl::kCodeParaWrite || Code() == sl::kCodeEepromStore || Code() == sl::kCodeEepromLoad;
        sl::target = eeprom ? sl::EEPROM : sl::RAM;
        switch (Code()) {
        case sl::kCodeParaWrite:
        case sl::kCodeEepromStore:
            SetValues(kSentRecord);
            sl::SendPara();
            EXPECT_EQ(m_sensor.ram(), kSentRecord);   // taken whatever the echo
            EXPECT_EQ(m_sensor.eeprom() == kSentRecord, !stops);
            return {{1, 6},
                    {"read panel"},
                    {"read panel", "TIMEOUT", kFailed},
                    stops ? 0.0 : kEepromStorePauseS};   // whatever the store's echo gave
        case sl::kCodeParaRead:
        case sl::kCodeEepromLoad: {
            sim::Record before = m_sensor.ram(), expected = m_sensor.ram();
            for (uint16_t& value : before) ++value;   // a record taken shows
            SetValues(before);
            sl::GetPara();
            if (Effect() != 'P') expected = before;
            if (Code() == sl::kCodeParaRead && Is("WrongByte"))   // taken as it came
                expected[10] = static_cast<uint16_t>(m_sensor.ram()[10] ^ 0x00FF);
            sl::CopyVarsToPP();   // the parameter values, in record order
            EXPECT_THAT(std::span(sl::pp, sl::kRecordWords), ElementsAreArray(expected));
            if (!eeprom) return {{3}, {"parameters"}, {"TIMEOUT", kFailed, "parameters"}};
            return {{8, 3}, {"parameters"}, {"TIMEOUT", kFailed}};
        }
        case sl::kCodeData:
            sl::GetData();
            if (!Fails()) {   // the last frame as it came (the log ends with its reply)
                uint16_t words[sl::kTelegramWords];
                sl::UnpackTelegram(m_sensor.log().back().m_bytes.data(), words);
                EXPECT_TRUE(std::equal(std::begin(words), std::end(words), sl::databuf));
            }
            return {{5, 5, 5}, {"frame", "frame", "frame"}, {"TIMEOUT", kFailed}, kPollSleepS};
        case sl::kCodeIdentify:   // shown as it came, 0xAB as Windows-1252
            sl::CheckComLine();
            return {
                {7, 3},
                {Is("WrongMark") ? "T\u00ABVRIX-Vovez SIM V2.0" : sim::kDefaultIdentification, "parameters", "ready"},
                {"TIMEOUT", kFailed}};
        default:
            RunTriggered();
            return {{50}, {}, {}};
        }
    }

    // The faulty frame, then good ones; no limit applies, the listening is stopped.
    void RunTriggered() {
        std::vector<Bytes> sent;   // the frames as they left the sensor
        QObject scope;
        QObject::connect(&m_sensor, &sim::Sensor::triggeredFrame, &scope,
                         [&](const sim::ReplyPlan& plan) { sent.push_back(plan.m_bytes); });
        int emitted = 0;
        const auto taken = Listen(
            [&](double since) {
                for (; emitted < kTriggeredFrames && since >= emitted * kFrameGapS; ++emitted)
                    m_sensor.emitTriggeredFrame();
            },
            kListenS);
        ASSERT_TRUE(emitted == kTriggeredFrames && sent.size() >= 3u);   // all but a swallowed one
        std::vector<Bytes> expected;
        if (Effect() == 'P') expected = {sent.begin(), sent.end()};
        if (Effect() == 'D') expected = {sent.end() - 3, sent.end()};
        for (Bytes& frame : expected) frame.resize(sl::kTelegramBytes);   // no surplus byte
        EXPECT_EQ(taken, expected);
    }
};

TEST_P(FaultMatrix, EndsInTimeWithItsOutcomeAndTheLinkRecovers) {
    ASSERT_NO_FATAL_FAILURE(Open(std::get<2>(GetParam())));
    sim::Fault fault = Row().m_fault;
    if (fault.m_kind == FaultKind::Delay) fault.m_arg = static_cast<int>(DelayS() * 1000.0);
    m_sensor.addFault(Code(), fault, 1);
    const double start = platform::Timer();
    const Command command = Run();
    const double took = platform::Timer() - start;
    if (HasFatalFailure()) return;

    std::vector<int> sent = command.m_chain;
    if (Fails()) sent.erase(std::find(sent.begin(), sent.end(), Code()) + 1, sent.end());
    std::vector<int> codes;
    for (const auto& request : m_sensor.requests()) codes.push_back(request[3]);
    EXPECT_EQ(codes, sent);
    EXPECT_EQ(m_seen, Fails() ? command.m_failed : command.m_ok);
    EXPECT_EQ(std::pair(sl::poll, sl::comecho), (std::pair<uint16_t, uint16_t>(0, Fails() ? 0 : 1)));
    Strings popups;
    for (const auto& box : platform::PopupLog()) popups.push_back(box.title + ": " + box.text);
    const bool dropped = Is("Close") && Tcp();   // then no conversation is left open
    EXPECT_EQ(popups, dropped ? Strings{"TCP Client: Server has closed connection!"} : Strings{});
    EXPECT_EQ(sl::tcpcon == 0 && sl::g_hconversation == 0, dropped || !Tcp());

    if (Fails())   // the failing wait ends at its limit (L) or as soon as the reply is in (F)
        EXPECT_THAT(m_waits.at(std::ranges::find(m_seen, kFailed) - m_seen.begin()).second,
                    Effect() == 'L' ? Within(LimitS()) : AllOf(Ge(0.0), Le(kPromptS)));
    EXPECT_GE(took, Is("DelayWithin") ? DelayS() : 0.0);
    if (Code() == sl::kCodeIdentify)   // the pause before the first wait
        EXPECT_THAT(m_waits.at(0).first - start, Within(kIdentifyPauseS));
    if (Code() != sl::kCodeTriggered)   // the pause after the last wait
        EXPECT_THAT(start + took - (sl::tstart + sl::tdiff), Within(command.m_pauseAfterS));

    // A hung-up pseudo-terminal comes back under a new device, a closed server connection is
    // made anew; bytes that arrive while no reply is awaited are dropped before the next
    // exchange: the link identifies the sensor and reads its record.
    PumpFor(2 * kLateS);   // a reply that came after its limit is in
    const bool lost = m_pty ? !m_pty->isOpen() : sl::tcpcon == 0;
    if (m_pty && lost) OpenPty();
    if (lost) sl::OpenTransport();
    const QByteArray stale(2500, '\x77');   // more than one read takes or the queue holds
    m_tcp ? m_tcp->sendRaw(stale) : m_pty->sendRaw(stale);
    PumpFor(kStaleS);
    m_seen.clear();
    sl::CheckComLine();
    EXPECT_EQ(m_seen, (Strings{sim::kDefaultIdentification, "parameters", "ready"}));
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    const auto& [code, fault, link] = info.param;
    return "Code" + std::to_string(code) + fault.m_name + ::testing::PrintToString(link);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix,
                         ::testing::Combine(::testing::ValuesIn(kCodes), ::testing::ValuesIn(kFaults),
                                            ::testing::Values(Link::Tcp, Link::Pty)),
                         CaseName);

// Its data holds the mark's bytes.
TEST_F(LinkTest, TriggeredFrameWithAWrongMarkIsSkippedWholeAndTheStreamStaysInStep) {
    ASSERT_NO_FATAL_FAILURE(Open(Link::Tcp));
    const sim::Record payload{0, 0, 0, 0, sl::kReplyMark};   // 00 AA at an even offset of the frame
    QByteArray stream = Telegram(0x00AB, sl::kCodeTriggered, payload);
    for (uint16_t raw : {1001, 1002, 1003}) stream += Telegram(sl::kReplyMark, sl::kCodeTriggered, {raw});
    const auto taken = Listen(
        [&](double) {
            if (!stream.isEmpty()) m_tcp->sendRaw(std::exchange(stream, {}));
        },
        0.5);
    std::vector<int> raws;
    for (const Bytes& frame : taken) raws.push_back(frame[4] << 8 | frame[5]);
    EXPECT_EQ(raws, (std::vector<int>{1001, 1002, 1003}));
}

// The interface chosen anew while a connection attempt or GO runs (here: as each step is shown)
// takes effect at the next open: the rest of the exchange keeps to its transport.
TEST_F(LinkTest, AnExchangeKeepsItsTransportWhenTheInterfaceChanges) {
    ASSERT_NO_FATAL_FAILURE(Open(Link::Tcp));
    const sl::LinkHooks noted = sl::hooks;
    sl::hooks.m_showStatus = [&](const std::string& text) { noted.m_showStatus(text), sl::comprotocol = sl::kRS232; };
    sl::hooks.m_frameTaken = [&] { noted.m_frameTaken(), sl::comprotocol = sl::kRS232; };
    sl::CheckComLine();
    sl::comprotocol = sl::kTCPIP;
    sl::GetData();
    EXPECT_EQ(m_seen, (Strings{sim::kDefaultIdentification, "parameters", "ready", "frame", "frame", "frame"}));
    EXPECT_EQ(m_sensor.requests().size(), 5u);   // 7, 3 and three times 5
}

// A server whose queue of connections is full never answers a connect: that one ends at its limit.
TEST_F(LinkTest, OpenFailuresShowTheirTextsAndAnUnansweredConnectEndsAtItsLimit) {
    quint16 fullPort = 0;
    const int full = testsystem::ListenWithoutQueue(fullPort);
    ASSERT_GE(full, 0);
    QTcpSocket queued;   // fills the queue of one
    queued.connectToHost(QHostAddress::LocalHost, fullPort);
    ASSERT_TRUE(queued.waitForConnected(3000));
    // Interface, host, TCP (none listens on 1) or serial port, ports in the table, text shown.
    const std::tuple<uint16_t, std::string, int, size_t, const char*> kCases[] = {
        {sl::kTCPIP, "127.0.0.1", 1, 1, "FailedToConnect"}, {sl::kTCPIP, "127.0.0.1", 0, 1, "InvalidParameter"},
        {sl::kTCPIP, "", 1, 1, "InvalidParameter"},         {sl::kRS232, "", 2, 1, "Invalid port number"},
        {sl::kRS232, "", 1, 0, "No serial port found"},     {sl::kTCPIP, "127.0.0.1", fullPort, 1, "TimeOutError "},
    };
    for (const auto& [protocol, host, port, ports, text] : kCases) {
        sl::comprotocol = protocol;
        sl::ipBuf = host;
        sl::portNum = port;
        sl::comport = static_cast<uint16_t>(port);
        platform::SetSerialPortTable({ports, {"/dev/null-no-such-port", "missing"}});
        m_seen.clear();
        const double start = platform::Timer();
        sl::OpenTransport();
        EXPECT_THAT(platform::Timer() - start, Within(text == std::string("TimeOutError ") ? kConnectLimitS : 0.0));
        EXPECT_TRUE(sl::ret < 0 && sl::tcpcon == 0) << text;
        EXPECT_EQ(m_seen, Strings{text});
    }
    testsystem::Close(full);
}

// Read back from the terminal (which always reports 8 data bits and no parity: see test_cli.cpp).
TEST_F(LinkTest, TheSerialPortIsSetTo19200BaudOneStopBitWithoutHandshake) {
    int master = -1, slave = -1;
    std::string name;
    ASSERT_TRUE(testsystem::OpenTestTerminal(master, slave, name));
    platform::SetSerialPortTable({{name, "pseudo-terminal"}});
    sl::comprotocol = sl::kRS232;
    sl::comport = 1;
    sl::OpenTransport();
    ASSERT_EQ(sl::ret, 0) << sl::szStatus;
    testsystem::LineSettings line;
    ASSERT_TRUE(testsystem::ReadLineSettings(slave, line));
    EXPECT_EQ(line, (testsystem::LineSettings{19200, 19200}));
    for (int fd : {master, slave}) testsystem::Close(fd);
}

// The parameter write's 36 bytes, the EEPROM store's and load's 4.
TEST_F(LinkTest, EveryEchoByteIsCompared) {
    ASSERT_NO_FATAL_FAILURE(Open(Link::Tcp));
    sl::target = sl::EEPROM;
    for (const auto& [code, compared] :
         {std::pair{sl::kCodeParaWrite, 36}, {sl::kCodeEepromStore, 4}, {sl::kCodeEepromLoad, 4}})
        for (int at : {0, 1, 2, 3, 4, 5, 34, 35}) {
            m_sensor.clearLog();
            m_sensor.addFault(code, {FaultKind::WrongByte, at, -1}, 1);
            code == sl::kCodeEepromLoad ? sl::GetPara() : sl::SendPara();
            EXPECT_EQ(sl::comecho, at >= compared) << code << " " << at;
            EXPECT_EQ(m_sensor.requests().size(), code == sl::kCodeEepromStore || at >= compared ? 2u : 1u)
                << code << " " << at;
        }
}

}   // namespace
