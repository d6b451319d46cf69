// Tests of the simulated sensor: fault rules; the sensor served over real loopback sockets, real
// pseudo-terminals (plain and paced) and as a program; and its behaviour, with the model stepped
// directly one 1 ms tick per call so that no test waits in real time: the switching rules driven
// with chosen signals, hold time, threshold tracing, the receiver (averaging, DYN regulation,
// range), the scenes, the temperature, and the EEPROM records with their file. Every fault
// against the link is tested in test_link.cpp.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <numeric>
#include <sstream>
#include <vector>

#include "core/telegram.h"
#include "sim/fault.h"
#include "sim/model.h"
#include "sim/ptyserver.h"
#include "sim/sensor.h"
#include "sim/tcpserver.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using sim::Record;
using sim::Scene;
using sim::Telegram;

constexpr int kWaitMs = 3000;   // generous limit for anything that should happen at once

// Processes events until done() holds or timeoutMs pass; returns done().
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = kWaitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QThread::usleep(200);
    }
    return done();
}

void PumpFor(int ms) { PumpUntil([] { return false; }, ms); }

Telegram Request(uint16_t code, const Record& payload = {}) {
    Telegram t{};
    sensorlink::PackTelegram(sensorlink::kSyncWord, code, payload.data(), t.data());
    return t;
}

QByteArray Bytes(const auto& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
}

QByteArray Echo(const Telegram& request) {
    QByteArray echo = Bytes(request);
    echo[1] = char(0xAA);
    return echo;
}

std::vector<uint16_t> Words(const QByteArray& reply) {
    std::vector<uint16_t> words;
    for (qsizetype i = 0; i + 1 < reply.size(); i += 2)
        words.push_back(static_cast<uint16_t>(uint8_t(reply[i]) << 8 | uint8_t(reply[i + 1])));
    return words;
}

// A non-blocking descriptor connected to the loopback port, or -1.
int ConnectTo(quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return -1;
    ::fcntl(fd, F_SETFL, O_NONBLOCK);
    return fd;
}

QString SimulatorPath() {
    return QDir(QCoreApplication::applicationDirPath()).filePath("../sim/tavrix-sensor-sim");
}

// What a rule does to a reply of 36 bytes 0x11, in words.
std::string Shaped(const char* text) {
    std::string error;
    const auto rule = sim::ParseFaultSpec(text, error);
    if (!rule) return error.empty() ? "error without a reason" : "error";
    sim::ReplyPlan plan{std::vector<uint8_t>(36, 0x11)};
    if (!sim::ApplyFault(plan, rule->m_fault)) return "swallowed";
    std::ostringstream out;
    out << rule->m_code << " x" << rule->m_count << ": " << plan.m_bytes.size() << " bytes";
    if (plan.m_delayMs > 0) out << ", " << plan.m_delayMs << " ms late";
    if (plan.m_pieceBytes > 0) out << ", pieces of " << plan.m_pieceBytes << " every " << plan.m_pieceGapMs << " ms";
    if (plan.m_closeAfter) out << ", close";
    for (size_t i = 0; i < plan.m_bytes.size(); ++i)
        if (plan.m_bytes[i] != 0x11) out << ", [" << i << "] " << int(plan.m_bytes[i]);
    return out.str();
}

TEST(SimFault, RulesParseWithTheirDefaultsAndShapeAReply) {
    for (const auto& [rule, shaped] : std::vector<std::pair<const char*, std::string>>{
             {"5:none", "swallowed"},
             {"5:delay:4000x2", "5 x2: 36 bytes, 4000 ms late"},
             {"1:byte:10", "1 x-1: 36 bytes, [10] 238"},   // the byte inverted
             {"1:byte:4:153", "1 x-1: 36 bytes, [4] 153"},
             {"3:short", "3 x-1: 35 bytes"},
             {"3:short:99", "3 x-1: 0 bytes"},
             {"3:surplus:2:126", "3 x-1: 38 bytes, [36] 126, [37] 126"},
             {"7:mark", "7 x-1: 36 bytes, [1] 171"},
             {"7:close:5x1", "7 x1: 5 bytes, close"},
             {"50:split", "50 x-1: 36 bytes, pieces of 10 every 5 ms"}})
        EXPECT_EQ(Shaped(rule), shaped) << rule;
    for (const char* bad : {"", "5", "5:", "x:none", "5:explode", "5:delay", "5:mark:1",
                            "5:none:1", "5:shortx0", "5:byte:1:256", "5:short:-1",
                            "70000:none", "5:surplus:1:2:3", "5:delay:10xx"})
        EXPECT_EQ(Shaped(bad), "error") << bad;
}

enum class Link { Tcp, Pty, PacedPty };

// The sensor behind one link, and the program's side of it as a non-blocking descriptor: a
// loopback TCP connection, or the slave of the pseudo-terminal opened through a symbolic link.
class LinkFixture : public ::testing::Test {
protected:
    void Start(Link link) {
        if (link == Link::Tcp) {
            m_tcp = std::make_unique<sim::TcpServer>(m_sensor);
            ASSERT_TRUE(m_tcp->listen(QHostAddress::LocalHost, 0));
        } else {
            m_pty = std::make_unique<sim::PtyServer>(m_sensor, link == Link::PacedPty);
            ASSERT_TRUE(m_pty->open(m_linkPath)) << qPrintable(m_pty->errorString());
        }
        Reopen();
    }
    void TearDown() override { ::close(m_fd); }

    // The program closes its connection or port, if open, and opens it again.
    void Reopen() {
        ::close(m_fd);
        PumpFor(50);
        m_fd = m_tcp ? ConnectTo(m_tcp->port())
                     : ::open(QFile::encodeName(m_linkPath).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(m_fd, 0);
    }
    // Runs the simulator program on a free loopback TCP port, ending one that runs, and
    // connects to it.
    void Run(const QStringList& args) {
        m_process.kill();
        m_process.waitForFinished();
        m_process.start(SimulatorPath(), QStringList{"--tcp", "127.0.0.1:0"} + args);
        ASSERT_TRUE(PumpUntil([&] { return m_process.canReadLine(); })) << "no tavrix-sensor-sim";
        ::close(m_fd);
        m_fd = ConnectTo(m_process.readLine().trimmed().toUShort());
        ASSERT_GE(m_fd, 0);
    }

    void Send(const QByteArray& bytes) { EXPECT_EQ(::write(m_fd, bytes.data(), bytes.size()), bytes.size()); }
    // What arrived so far; notes whether the link has ended (closed or hung up).
    QByteArray Available() {
        char buffer[256];
        const ssize_t r = ::read(m_fd, buffer, sizeof buffer);
        m_ended = r == 0 || (r < 0 && errno != EAGAIN);
        return r > 0 ? QByteArray(buffer, r) : QByteArray();
    }
    // Collects what arrives until n bytes are there, the link ends or waitMs pass.
    QByteArray Receive(qsizetype n = 36, int waitMs = kWaitMs) {
        QByteArray got;
        PumpUntil([&] { got += Available(); return got.size() >= n || m_ended; }, waitMs);
        return got + Available();
    }
    QByteArray Exchange(const Telegram& request, qsizetype n = 36, int waitMs = kWaitMs) {
        Send(Bytes(request));
        return Receive(n, waitMs);
    }

    sim::Sensor m_sensor{5};
    std::unique_ptr<sim::TcpServer> m_tcp;
    std::unique_ptr<sim::PtyServer> m_pty;
    const QString m_linkPath = QDir::temp().filePath(QString("tavrix-sim-test-%1").arg(getpid()));
    int m_fd = -1;
    bool m_ended = false;
    QProcess m_process;
};

class SimLink : public LinkFixture, public ::testing::WithParamInterface<Link> {
protected:
    void SetUp() override { Start(GetParam()); }
};

// Triggered frames (code 50) are proven by the triggered recording in test_endtoend.cpp.
TEST_P(SimLink, AnswersEveryCodeAndLogsTheTraffic) {
    m_sensor.setScene(Scene::Steady);
    Record a = sim::kDefaultRecord;
    a[sim::kWordTeachValue] = 1234;
    const Telegram write = Request(1, a);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(Exchange(write), Echo(write));
    // Paced: 72 byte times of about 0.52 ms on the line.
    EXPECT_GE(clock.elapsed(), GetParam() == Link::PacedPty ? 35 : 0);
    const auto read = Words(Exchange(Request(3)));
    ASSERT_EQ(read.size(), 18u);
    EXPECT_EQ(read[1], 3);
    EXPECT_TRUE(std::equal(a.begin(), a.end(), read.begin() + 2));
    PumpFor(10);   // the model takes up a record written at its next 1 ms tick
    const auto frame = Words(Exchange(Request(5)));
    ASSERT_EQ(frame.size(), 18u);
    EXPECT_EQ(frame[1], 5);
    EXPECT_NEAR(frame[2], 2048, 60);   // power 500, a clear beam, outside the window
    EXPECT_EQ(frame[3], 0);            // around the reference, the teach value
    EXPECT_EQ(frame[4], 1234);
    const Telegram store = Request(6, a);   // what a store does: SimEeprom below
    EXPECT_EQ(Exchange(store), Echo(store));
    EXPECT_EQ(Exchange(Request(7)), QByteArray(sim::kDefaultIdentification).leftJustified(36, '\0'));
    m_sensor.setIdentification(std::string(40, 'Z'));
    EXPECT_EQ(Exchange(Request(7)), QByteArray(36, 'Z'));
    EXPECT_TRUE(Exchange(Request(2), 1, 300).isEmpty());   // no reply to an unknown code
    EXPECT_EQ(m_sensor.requests().size(), 7u);
    EXPECT_EQ(Bytes(m_sensor.log().at(1).m_bytes), Echo(write));   // replies are logged as sent
}

TEST_P(SimLink, CloseFaultEndsTheLinkAfterItsBytes) {
    Reopen();   // the program closed the port and opens it again: the sensor goes on
    EXPECT_EQ(Exchange(Request(7)).left(5), "TAVRI");
    m_sensor.addFault(7, {sim::FaultKind::Close, 12}, 1);
    EXPECT_EQ(Exchange(Request(7), 100), QByteArray(sim::kDefaultIdentification).left(12));
    EXPECT_TRUE(m_ended);
    if (m_pty) {
        EXPECT_FALSE(m_pty->isOpen());   // hung up
        return;
    }
    EXPECT_TRUE(PumpUntil([&] { return m_tcp->connectionCount() == 0; }));
    Reopen();   // a new connection is answered
    EXPECT_EQ(Exchange(Request(7)).left(5), "TAVRI");
}

std::string LinkName(const ::testing::TestParamInfo<Link>& info) {
    return info.param == Link::Tcp ? "Tcp" : info.param == Link::Pty ? "Pty" : "PacedPty";
}

INSTANTIATE_TEST_SUITE_P(Links, SimLink, ::testing::Values(Link::Tcp, Link::Pty, Link::PacedPty),
                         LinkName);

class SimTcp : public LinkFixture {
protected:
    void SetUp() override { Start(Link::Tcp); }
};

// Every link sends its replies through the same sender: the timing faults are checked on one.
TEST_F(SimTcp, FaultsApplyToTheirCodeAndCountAndTimeTheReply) {
    const int none = m_sensor.addFault(5, {sim::FaultKind::NoReply}, 1);
    EXPECT_TRUE(Exchange(Request(5), 1, 300).isEmpty());
    EXPECT_EQ(Exchange(Request(5)).size(), 36);
    EXPECT_EQ(m_sensor.faultApplied(none), 1);
    const Telegram write = Request(1, {1000});
    m_sensor.addFault(1, {sim::FaultKind::WrongByte, 10, 0xFF}, 1);   // applied together
    m_sensor.addFault(1, {sim::FaultKind::WrongMark}, 1);
    EXPECT_EQ(Exchange(write), Echo(write).replace(1, 1, "\xAB").replace(10, 1, "\xFF"));
    EXPECT_EQ(Exchange(write), Echo(write));   // both counts used up
    const int always = m_sensor.addFault(7, {sim::FaultKind::WrongMark});
    for (int i = 0; i < 2; ++i) EXPECT_EQ(uint8_t(Exchange(Request(7))[1]), sim::kWrongReplyMark);
    EXPECT_EQ(m_sensor.faultApplied(always), 2);

    // A delayed reply, and bytes the sensor sends meanwhile queue behind it.
    m_sensor.addFault(3, {sim::FaultKind::Delay, 400}, 1);
    QElapsedTimer clock;
    clock.start();
    Send(Bytes(Request(3)));
    PumpFor(20);
    m_tcp->sendRaw("raw");
    const QByteArray late = Receive(39);
    EXPECT_GE(clock.elapsed(), 400);
    EXPECT_EQ(Words(late)[1], 3);
    EXPECT_EQ(late.mid(36), "raw");

    // Pieces of 10 bytes 200 ms apart: part of the reply is there well before the rest.
    m_sensor.addFault(5, {sim::FaultKind::Split, 10, 200}, 1);
    QByteArray got = Exchange(Request(5), 1);
    EXPECT_LT(got.size(), 36);
    clock.restart();
    EXPECT_EQ((got + Receive(36 - got.size())).size(), 36);
    EXPECT_GE(clock.elapsed(), 100);
}

using SimProgram = LinkFixture;

TEST_F(SimProgram, ServesWithItsOptionsAndKeepsTheEepromFileAcrossARestart) {
    QTemporaryDir dir;
    const QString path = dir.filePath("eeprom.ini");
    const Record stored{700, 0, 1000, 3000, 2, 1, 10, 1, 0, 0, 0, 1800, 150, 40, 3, 4};
    Run({"--id", "UNIT 42", "--scene", "steady", "--fault", "5:shortx1", "--eeprom", path});
    EXPECT_EQ(Exchange(Request(7)), QByteArray("UNIT 42").leftJustified(36, '\0'));
    EXPECT_EQ(Exchange(Request(5), 35).size(), 35);
    EXPECT_NEAR(Words(Exchange(Request(5))).at(2), 2048, 30);   // steady: no objects
    Exchange(Request(1, stored));
    Exchange(Request(6));
    EXPECT_TRUE(m_process.readAllStandardError().contains(path.toUtf8()));   // not there at first
    Run({"--eeprom", path, "--seed", "9"});
    const auto read = Words(Exchange(Request(3)));
    ASSERT_EQ(read.size(), 18u);
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), read.begin() + 2));   // RAM from EEPROM
    EXPECT_TRUE(m_process.readAllStandardError().isEmpty());
}

TEST_F(SimProgram, UsageErrors) {
    for (const QStringList& args : {QStringList{}, QStringList{"--pty", "--fault", "5:boom"},
                                    QStringList{"--tcp", "127.0.0.1:0", "--paced"}}) {
        m_process.start(SimulatorPath(), args);
        ASSERT_TRUE(m_process.waitForFinished(kWaitMs));
        EXPECT_EQ(m_process.exitCode(), 2) << qPrintable(args.join(' '));
        EXPECT_FALSE(m_process.readAllStandardError().isEmpty());
    }
}

// The default record with the given words changed.
Record With(std::initializer_list<std::pair<int, int>> words) {
    Record r = sim::kDefaultRecord;
    for (auto [word, value] : words) r[word] = static_cast<uint16_t>(value);
    return r;
}

// The output state after each of the given raw values.
std::vector<int> Drive(const Record& record, const std::vector<int>& raws) {
    sim::ModelState model = sim::StartModel(1);
    std::vector<int> states;
    for (int raw : raws) {
        sim::StepEvaluation(model, record, static_cast<uint16_t>(raw));
        states.push_back(model.m_outTol);
    }
    return states;
}

// The data words of every tick of a whole-model run.
std::vector<Record> RunModel(const Record& record, Scene scene, int ticks, uint64_t seed = 1) {
    sim::ModelState model = sim::StartModel(seed, scene);
    std::vector<Record> frames(static_cast<size_t>(ticks));
    for (Record& frame : frames) {
        sim::StepModel(model, record);
        frame = sim::DataWords(model);
    }
    return frames;
}

// One data word of every frame.
std::vector<int> Column(const std::vector<Record>& frames, int word = sim::kDataRaw) {
    std::vector<int> values;
    for (const Record& f : frames) values.push_back(f[word]);
    return values;
}

double Mean(const std::vector<int>& v) { return std::accumulate(v.begin(), v.end(), 0.0) / v.size(); }
int Spread(const std::vector<int>& v) { return std::ranges::max(v) - std::ranges::min(v); }
int LargestStep(const std::vector<int>& v) {
    int step = 0;
    for (size_t i = 1; i < v.size(); ++i) step = std::max(step, std::abs(v[i] - v[i - 1]));
    return step;
}

// The lines come from the threshold rule (clamps and other modes: test_core.cpp).
TEST(SimSwitching, LowHiAndWinLeaveAtTheThresholdAndReturnPastTheHysteresis) {
    struct Case {
        int mode, teach, tol, hyst;
        std::vector<int> raws, states;
    };
    const Case cases[] = {
        // LOW: threshold 900, hysteresis line 920; started below, the output is off at once.
        {0, 1000, 100, 20, {1000, 901, 900, 899, 910, 920, 921, 4000, 900, 899},
         {1, 1, 1, 0, 0, 0, 1, 1, 1, 0}},
        {0, 1000, 100, 20, {500, 920, 921}, {0, 0, 1}},
        // HI: threshold 1100, hysteresis line 1080, no lower bound.
        {1, 1000, 100, 20, {1000, 1100, 1101, 1090, 1080, 1079, 0, 1100, 1101},
         {1, 1, 0, 0, 0, 1, 1, 1, 0}},
        // WIN: window 1700..2300, hysteresis window 1800..2200.
        {2, 2000, 300, 100, {2000, 2300, 2301, 2250, 2200, 2199, 1700, 1699, 1750, 1800, 1801},
         {1, 1, 0, 0, 0, 1, 1, 0, 0, 0, 1}},
        // A hysteresis wider than the window: once out, the signal cannot return.
        {2, 2000, 100, 150, {2000, 2101, 2000, 1950, 2050}, {1, 0, 0, 0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Drive(With({{sim::kWordTrshMode, c.mode}, {sim::kWordTeachValue, c.teach},
                              {sim::kWordTol, c.tol}, {sim::kWordHyst, c.hyst}}), c.raws), c.states)
            << "mode " << c.mode << ", teach " << c.teach << ", tol " << c.tol;
}

TEST(SimSwitching, HoldTimeKeepsEveryNewStateForItsTime) {
    const Record r = With({{sim::kWordTrshMode, 0}, {sim::kWordTeachValue, 1000},
                           {sim::kWordTol, 100}, {sim::kWordHold, 50}});
    // One tick below the threshold at 10, then below for good from 70: off for exactly 50 ms,
    // and back on at 60 it may not go off again before 110.
    std::vector<int> raws(200, 1000);
    raws[10] = 800;
    std::fill(raws.begin() + 70, raws.end(), 800);
    const std::vector<int> states = Drive(r, raws);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(states[i], (i >= 10 && i < 60) || i >= 110 ? 0 : 1) << "tick " << i;
}

// Ticks until the reference reaches target while the signal holds it; it never moves away.
int TicksToReach(sim::ModelState& model, const Record& record, int target) {
    for (int tick = 1; tick <= 100000; ++tick) {
        const int before = model.m_ref;
        sim::StepEvaluation(model, record, static_cast<uint16_t>(target));
        EXPECT_LE(std::abs(model.m_ref - target), std::abs(before - target)) << "moved away";
        if (model.m_ref == target) return tick;
    }
    return -1;
}

TEST(SimReference, TeachValueWhileTracingIsOffOneUnitPerDelayWhileOn) {
    Record r = With({{sim::kWordTeachValue, 1000}});
    sim::ModelState model = sim::StartModel(1);
    sim::StepEvaluation(model, r, 4095);
    EXPECT_EQ(model.m_ref, 1000);
    r[sim::kWordTracing] = 1;        // from the teach value on
    r[sim::kWordTracingUp] = 20;     // 200 us per unit
    r[sim::kWordTracingDown] = 50;   // 500 us per unit
    EXPECT_NEAR(TicksToReach(model, r, 1500), 100, 2);   // 500 units up
    EXPECT_NEAR(TicksToReach(model, r, 1300), 100, 2);   // 200 units down
    r[sim::kWordTracing] = 0;            // off: back at the teach value at once
    sim::StepEvaluation(model, r, 0);
    EXPECT_EQ(model.m_ref, 1000);
    r[sim::kWordTracing] = 1;
    r[sim::kWordTracingUp] = 0;          // a delay of 0 follows at once
    sim::StepEvaluation(model, r, 3000);
    EXPECT_EQ(model.m_ref, 3000);
    r[sim::kWordTracingDown] = 60000;    // the longest delay, 600 ms per unit
    EXPECT_NEAR(TicksToReach(model, r, 2998), 1200, 2);
}

TEST(SimReceiver, SteadyRawFollowsPowerInStatAveragedOverTheCount) {
    const auto frames = RunModel(sim::kDefaultRecord, Scene::Steady, 5000);   // averaging 1: none
    const std::vector<int> none = Column(frames);
    EXPECT_EQ(Spread(Column(frames, sim::kDataOutTol)), 0);
    EXPECT_NEAR(Mean(none), 2048, 5);   // a clear beam: noise only
    EXPECT_TRUE(Spread(none) > 20 && Spread(none) <= 50);
    EXPECT_EQ(Column(RunModel(With({{sim::kWordAverage, 0}}), Scene::Steady, 5000)), none);
    const auto averaged = Column(RunModel(With({{sim::kWordAverage, 64}}), Scene::Steady, 5000));
    EXPECT_LT(Spread(averaged), Spread(none) / 3);
    EXPECT_NEAR(Mean(averaged), Mean(none), 5.0);
    // Beyond full power counts as full power: full scale, less the noise peaks clipped.
    for (const auto& [power, level] : {std::pair{100, 410}, {500, 2048}, {900, 3686}, {60000, 4080}}) {
        const Record r = With({{sim::kWordAverage, 100}, {sim::kWordPower, power}});
        EXPECT_NEAR(Column(RunModel(r, Scene::Steady, 1000)).back(), level, 15) << power;
    }
}

TEST(SimReceiver, DynKeepsTheLevelInsideTheWindow) {
    constexpr int kSettleTicks = 4000;
    constexpr int kMarginCounts = 40;   // noise and the regulation's lag
    // The regulation starts from the power word; the lens soils and is cleaned meanwhile.
    for (int power : {0, 1000}) {
        const Record r = With({{sim::kWordPmode, sim::kPmodeDyn}, {sim::kWordDynWinLo, 1000},
                               {sim::kWordDynWinHi, 1300}, {sim::kWordPower, power}});
        const std::vector<int> raws = Column(RunModel(r, Scene::Drift, 90000));
        const auto [lo, hi] = std::minmax_element(raws.begin() + kSettleTicks, raws.end());
        EXPECT_TRUE(*lo >= 1000 - kMarginCounts && *hi <= 1300 + kMarginCounts) << power;
    }
}

TEST(SimScene, ObjectsPassAtIrregularIntervalsDarkerOrBrighterWithinFullScale) {
    // With the default record each object leaves the window and returns: one off per object.
    const auto frames = RunModel(sim::kDefaultRecord, Scene::Objects, 60000, 3);
    std::vector<int> offs, gaps;
    for (size_t i = 1; i < frames.size(); ++i)
        if (frames[i - 1][sim::kDataOutTol] == 1 && frames[i][sim::kDataOutTol] == 0) offs.push_back(int(i));
    std::adjacent_difference(offs.begin(), offs.end(), std::back_inserter(gaps));
    ASSERT_TRUE(gaps.size() >= 24 && gaps.size() <= 150) << gaps.size();   // 0.4 to 2.6 s apart
    gaps.erase(gaps.begin());
    EXPECT_GE(std::ranges::min(gaps), 300);
    EXPECT_GT(Spread(gaps), 500);
    EXPECT_LT(std::ranges::min(Column(frames)), 1400);
    EXPECT_GT(std::ranges::max(Column(frames)), 2400);
    // At full power bright objects would take the signal beyond 4095.
    const auto bright = RunModel(With({{sim::kWordPower, 1000}}), Scene::Objects, 60000, 11);
    EXPECT_EQ(std::ranges::max(Column(bright)), 4095);
    EXPECT_LE(std::ranges::max(Column(bright, sim::kDataRef)), 4095);
}

// The lens soils down to below 70 % half-way and is clean again; the temperature wanders
// slowly around its base of 2000.
TEST(SimScene, DriftAndTemperatureAreSlow) {
    const std::vector<int> raws = Column(RunModel(sim::kDefaultRecord, Scene::Drift, 90000));
    EXPECT_NEAR(raws.front(), 2048, 25);
    EXPECT_LT(raws[45000], 2048 * 0.7);
    EXPECT_NEAR(raws.back(), 2048, 25);
    EXPECT_LE(LargestStep(raws), 50);
    const auto temps = Column(RunModel(sim::kDefaultRecord, Scene::Steady, 150000), sim::kDataTemp);
    EXPECT_LE(LargestStep(temps), 1);
    EXPECT_TRUE(std::ranges::min(temps) >= 1950 && std::ranges::max(temps) <= 2050);
    EXPECT_GE(Spread(temps), 10);
}

const Record kStored = {800, 1, 1100, 2900, 4, 1, 25, 0, 1, 300, 400, 1500, 120, 30, 5, 6};

// The record of a code-3 reply.
Record ReadRecord(sim::Sensor& sensor) {
    const auto reply = sensor.answer(Request(sensorlink::kCodeParaRead));
    Record record{};
    for (size_t i = 0; reply && i < record.size(); ++i)
        record[i] = static_cast<uint16_t>(reply->m_bytes[4 + 2 * i] << 8 | reply->m_bytes[5 + 2 * i]);
    return record;
}

// What a restart takes from the file is tested by SimProgram above.
TEST(SimEeprom, StoreAndLoadThroughTheProtocolAFileTooShortAndAFailedWrite) {
    QTemporaryDir dir;
    const QString path = dir.filePath("eeprom.ini");
    sim::Sensor sensor;
    EXPECT_FALSE(sensor.useEepromFile(path).isEmpty());   // not there yet
    sensor.answer(Request(sensorlink::kCodeParaWrite, kStored));
    EXPECT_EQ(ReadRecord(sensor), kStored);
    EXPECT_EQ(sensor.eeprom(), sim::kDefaultRecord);   // a write reaches RAM only
    EXPECT_FALSE(QFile::exists(path));
    sensor.answer(Request(sensorlink::kCodeEepromStore));
    EXPECT_EQ(sensor.eeprom(), kStored);
    sensor.answer(Request(sensorlink::kCodeParaWrite, sim::kDefaultRecord));
    sensor.answer(Request(sensorlink::kCodeEepromLoad));
    EXPECT_EQ(ReadRecord(sensor), kStored);   // the next read only
    EXPECT_EQ(ReadRecord(sensor), sim::kDefaultRecord);

    {
        QFile file(path);   // what a file must hold is tested in test_core.cpp
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write("1 2 3\n") > 0);
    }
    sim::Sensor restarted;
    EXPECT_FALSE(restarted.useEepromFile(path).isEmpty());
    EXPECT_TRUE(restarted.ram() == sim::kDefaultRecord && restarted.eeprom() == sim::kDefaultRecord);

    restarted.useEepromFile(dir.filePath("no/such/folder/eeprom.ini"));
    QSignalSpy failed(&restarted, &sim::Sensor::eepromFileFailed);
    restarted.answer(Request(sensorlink::kCodeParaWrite, kStored));
    const auto echo = restarted.answer(Request(sensorlink::kCodeEepromStore));
    ASSERT_TRUE(echo);   // the sensor answers all the same
    EXPECT_EQ(echo->m_bytes[3], sensorlink::kCodeEepromStore);
    EXPECT_EQ(failed.count(), 1);
    EXPECT_EQ(restarted.eeprom(), kStored);
}

}  // namespace
