// The simulated sensor: fault rules, what its links and program add to the exchanges test_link.cpp
// drives, and its signal model stepped one 1 ms tick per call (no test waits in real time).
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <memory>
#include <numeric>
#include <sstream>

#include "core/telegram.h"
#include "sim/fault.h"
#include "sim/model.h"
#include "sim/ptyserver.h"
#include "sim/sensor.h"
#include "sim/tcpserver.h"
#include "testsystem.h"

#include <csignal>

namespace {

using sim::Record;
using sim::Scene;
using sim::Telegram;

constexpr int kWaitMs = 3000;   // generous limit for anything that should happen at once

Telegram Request(uint16_t code, const Record& payload = {}) {
    Telegram t{};
    sensorlink::PackTelegram(sensorlink::kSyncWord, code, payload.data(), t.data());
    return t;
}

QByteArray Bytes(const auto& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
}

QByteArray Echo(const Telegram& request) { return Bytes(request).replace(1, 1, "\xAA"); }

QString SimulatorPath() { return QDir(QCoreApplication::applicationDirPath()).filePath("../sim/tavrix-sensor-sim"); }

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
    for (const char* bad : {"", "5", "5:", "x:none", "5:explode", "5:delay", "5:mark:1", "5:none:1", "5:shortx0",
                            "5:byte:1:256", "5:short:-1", "70000:none", "5:surplus:1:2:3", "5:delay:10xx"})
        EXPECT_EQ(Shaped(bad), "error") << bad;
}

enum class Link { Tcp, Pty, PacedPty };
const char* const kLinkNames[] = {"Tcp", "Pty", "Paced"};   // in the order of Link

// The sensor behind one link, and the program's side of it as a non-blocking descriptor.
class LinkFixture : public ::testing::Test {
protected:
    void Start(Link link) {
        if (link == Link::Tcp) {
            m_tcp = std::make_unique<sim::TcpServer>(m_sensor);
            ASSERT_TRUE(m_tcp->listen(QHostAddress::LocalHost, 0));
            m_port = m_tcp->port();
        } else {
            m_pty = std::make_unique<sim::PtyServer>(m_sensor, link == Link::PacedPty);
            ASSERT_TRUE(m_pty->open(m_linkPath)) << qPrintable(m_pty->errorString());
        }
        Reopen();
    }
    void TearDown() override { testsystem::Close(m_fd); }

    // The program closes its connection or port, if open, and opens it again.
    void Reopen() {
        testsystem::Close(m_fd);
        QTest::qWait(50);
        const QByteArray pty = QFile::encodeName(m_linkPath);
        m_fd = m_pty ? testsystem::OpenDevice(pty.constData()) : testsystem::ConnectTo(m_port);
        ASSERT_GE(m_fd, 0);
    }
    // Runs the simulator program on a free loopback TCP port (ending one that runs), connects to it.
    void Run(const QStringList& args) {
        if (m_process.state() == QProcess::Running) {   // asked to end, it ends cleanly
            m_process.terminate();
            ASSERT_TRUE(m_process.waitForFinished(kWaitMs));
            EXPECT_TRUE(m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0);
        }
        m_process.start(SimulatorPath(), QStringList{"--tcp", "127.0.0.1:0"} + args);
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_process.canReadLine(); }, kWaitMs));
        m_port = m_process.readLine().trimmed().toUShort();
        Reopen();
    }

    // Collects what arrives until n bytes are there or waitMs pass.
    QByteArray Receive(qsizetype n = 36, int waitMs = kWaitMs) {
        QByteArray got;
        const auto available = [&] {
            char buffer[256];
            const long long r = testsystem::ReadSome(m_fd, buffer, sizeof buffer);
            if (r > 0) got.append(buffer, r);
            return got.size() >= n;
        };
        if (!QTest::qWaitFor(available, waitMs)) available();
        return got;
    }
    QByteArray Exchange(const Telegram& request, qsizetype n = 36, int waitMs = kWaitMs) {
        EXPECT_EQ(testsystem::WriteAll(m_fd, Bytes(request).data(), 36), 36);
        return Receive(n, waitMs);
    }

    sim::Sensor m_sensor{5};
    std::unique_ptr<sim::TcpServer> m_tcp;
    std::unique_ptr<sim::PtyServer> m_pty;
    const QString m_linkPath =
        QDir::temp().filePath(QString("tavrix-sim-test-%1").arg(QCoreApplication::applicationPid()));
    quint16 m_port = 0;   // the loopback TCP port served
    int m_fd = -1;
    QProcess m_process;
};

class SimLink : public LinkFixture, public ::testing::WithParamInterface<Link> {};

// The paced line's timing, a port opened anew, a long identification cut and an unknown code.
TEST_P(SimLink, AnswersAReopenedPortAtTheLinesPace) {
    ASSERT_NO_FATAL_FAILURE(Start(GetParam()));
    Reopen();   // the program closed the port and opens it again: the sensor goes on
    const Telegram write = Request(1, {1234});
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(Exchange(write), Echo(write));
    // Paced: 72 byte times of about 0.52 ms on the line.
    EXPECT_GE(clock.elapsed(), GetParam() == Link::PacedPty ? 35 : 0);
    m_sensor.setIdentification(std::string(40, 'Z'));
    EXPECT_EQ(Exchange(Request(7)), QByteArray(36, 'Z'));
    EXPECT_TRUE(Exchange(Request(2), 1, 300).isEmpty());   // no reply to an unknown code
}

INSTANTIATE_TEST_SUITE_P(Links, SimLink, ::testing::Values(Link::Tcp, Link::Pty, Link::PacedPty),
                         [](const auto& info) -> std::string { return kLinkNames[int(info.param)]; });

using SimTcp = LinkFixture;

// Every link sends its replies through the same sender: faults together, without a count and a
// reply in pieces are checked on one. A delay with the bytes queued behind it: test_link.cpp.
TEST_F(SimTcp, FaultsApplyTogetherForTheirCountAndSplitTheReply) {
    ASSERT_NO_FATAL_FAILURE(Start(Link::Tcp));
    const Telegram write = Request(1, {1000});
    m_sensor.addFault(1, {sim::FaultKind::WrongByte, 10, 0xFF}, 1);   // applied together
    m_sensor.addFault(1, {sim::FaultKind::WrongMark}, 1);
    EXPECT_EQ(Exchange(write), Echo(write).replace(1, 1, "\xAB").replace(10, 1, "\xFF"));
    EXPECT_EQ(Exchange(write), Echo(write));   // both counts used up
    const int always = m_sensor.addFault(7, {sim::FaultKind::WrongMark});
    for (int i = 0; i < 2; ++i) EXPECT_EQ(uint8_t(Exchange(Request(7))[1]), sim::kWrongReplyMark);
    EXPECT_EQ(m_sensor.faultApplied(always), 2);

    // Pieces of 10 bytes 200 ms apart: part of the reply is there well before the rest.
    m_sensor.addFault(5, {sim::FaultKind::Split, 10, 200}, 1);
    QByteArray got = Exchange(Request(5), 1);
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(got.size() < 36 && (got + Receive(36 - got.size())).size() == 36 && clock.elapsed() >= 100);
}

using SimProgram = LinkFixture;

TEST_F(SimProgram, ServesWithItsOptionsKeepsTheEepromFileAcrossARestartAndRefusesBadUsage) {
    QTemporaryDir dir;
    const QString path = dir.filePath("eeprom.ini");
    const Record stored{700, 0, 1000, 3000, 2, 1, 10, 1, 0, 0, 0, 1800, 150, 40, 3, 4};
    const QString log = dir.filePath("replies.log");
    Run({"--scene", "steady", "--eeprom", path, "--control", "--log", log});   // --id, --fault: test_cli.cpp
    const QByteArray frame = Exchange(Request(5));
    EXPECT_NEAR(uint8_t(frame[4]) << 8 | uint8_t(frame[5]), 2048, 30);   // steady: no objects
    // Rules on standard input apply from the moment they are read; a bad one is refused on stderr.
    m_process.write("5:nonex1\n5:markx1\r\n5:delay:20x1\n5:boom\n");
    QByteArray errors;
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return (errors += m_process.readAllStandardError()).contains("'boom'"); }, kWaitMs));
    EXPECT_TRUE(Exchange(Request(5), 1, 300).isEmpty());
    const QByteArray marked = Exchange(Request(5));
    EXPECT_EQ(uint8_t(marked[1]), sim::kWrongReplyMark);
    Exchange(Request(1, stored));
    Exchange(Request(6));
    EXPECT_TRUE(errors.contains(path.toUtf8()));   // not there at first
    QFile replies(log);                            // each reply as it left, with its faults
    ASSERT_TRUE(replies.open(QIODevice::ReadOnly));
    EXPECT_EQ(replies.readAll().split('\n').mid(0, 3).join('|').toStdString(),
              ("5 " + frame.toHex().toUpper() + "|5 -|5 " + marked.toHex().toUpper() + " delay 20").toStdString());
    Run({"--eeprom", path, "--seed", "9"});
    EXPECT_EQ(Exchange(Request(3)), Echo(Request(3, stored)));   // RAM from EEPROM
    EXPECT_TRUE(m_process.readAllStandardError().isEmpty());
    QProcess refused;
    for (const QStringList& args :
         {QStringList{}, QStringList{"--pty", "--fault", "5:boom"}, QStringList{"--tcp", "127.0.0.1:0", "--paced"}}) {
        refused.start(SimulatorPath(), args);
        ASSERT_TRUE(refused.waitForFinished(kWaitMs));
        EXPECT_TRUE(refused.exitCode() == 2 && !refused.readAllStandardError().isEmpty()) << qPrintable(args.join(' '));
    }
}

TEST_F(SimProgram, ASignalEndsItCleanlyAndRemovesItsLink) {
    for (int signal : {SIGINT, SIGTERM}) {
        m_process.start(SimulatorPath(), {"--pty", "--link", m_linkPath});
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_process.canReadLine(); }, kWaitMs));
        ASSERT_TRUE(QFileInfo(m_linkPath).isSymLink() && testsystem::SendSignal(m_process.processId(), signal) &&
                    m_process.waitForFinished(kWaitMs));
        EXPECT_TRUE(m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0);
        EXPECT_FALSE(QFileInfo(m_linkPath).isSymLink()) << signal;
    }
}

// The default record with the given words changed.
Record With(std::initializer_list<std::pair<int, int>> words) {
    Record r = sim::kDefaultRecord;
    for (auto [word, value] : words) r[word] = static_cast<uint16_t>(value);
    return r;
}

Record Threshold(int mode, int teach, int tol, int hyst) {
    return With(
        {{sim::kWordTrshMode, mode}, {sim::kWordTeachValue, teach}, {sim::kWordTol, tol}, {sim::kWordHyst, hyst}});
}

// The output state after each of the given raw values, as '0' and '1'.
std::string Drive(const Record& record, const std::vector<int>& raws) {
    sim::ModelState model = sim::StartModel(1);
    std::string states;
    for (int value : raws) {
        sim::StepEvaluation(model, record, static_cast<uint16_t>(value));
        states += char('0' + model.m_outTol);
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
// The lines come from the threshold rule (clamps and other modes: test_core.cpp).
TEST(SimSwitching, LowHiAndWinLeaveAtTheThresholdAndReturnPastTheHysteresis) {
    struct Case {
        int mode, teach, tol, hyst;
        std::vector<int> raws;
        std::string states;
    };
    const Case cases[] = {
        // LOW: threshold 900, hysteresis line 920; started below, the output is off at once.
        {0, 1000, 100, 20, {1000, 901, 900, 899, 910, 920, 921, 4000, 900, 899}, "1110001110"},
        {0, 1000, 100, 20, {500, 920, 921}, "001"},
        // HI: threshold 1100, hysteresis line 1080, no lower bound.
        {1, 1000, 100, 20, {1000, 1100, 1101, 1090, 1080, 1079, 0, 1100, 1101}, "110001110"},
        // WIN: window 1700..2300, hysteresis window 1800..2200.
        {2, 2000, 300, 100, {2000, 2300, 2301, 2250, 2200, 2199, 1700, 1699, 1750, 1800, 1801}, "11000110001"},
        // A hysteresis wider than the window: once out, the signal cannot return.
        {2, 2000, 100, 150, {2000, 2101, 2000, 1950, 2050}, "10000"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Drive(Threshold(c.mode, c.teach, c.tol, c.hyst), c.raws), c.states) << c.mode << " " << c.tol;
}

TEST(SimSwitching, HoldTimeKeepsEveryNewStateForItsTime) {
    Record r = Threshold(0, 1000, 100, 50);
    r[sim::kWordHold] = 50;
    // One tick below the threshold at 10, then below for good from 70: off for exactly 50 ms,
    // and back on at 60 it may not go off again before 110.
    std::vector<int> raws(200, 1000);
    raws[10] = 800;
    std::fill(raws.begin() + 70, raws.end(), 800);
    EXPECT_EQ(Drive(r, raws),
              std::string(10, '1') + std::string(50, '0') + std::string(50, '1') + std::string(90, '0'));
}

// Ticks until the reference reaches ref while the signal holds signal; it never moves away.
int TicksToReach(sim::ModelState& model, const Record& record, int signal, int ref) {
    for (int tick = 1; tick <= 100000; ++tick) {
        const int before = model.m_ref;
        sim::StepEvaluation(model, record, static_cast<uint16_t>(signal));
        EXPECT_LE(std::abs(model.m_ref - ref), std::abs(before - ref)) << "moved away";
        if (model.m_ref == ref) return tick;
    }
    return -1;
}

TEST(SimReference, TeachValueWhileTracingIsOffOneUnitPerDelayWhileOn) {
    // Tracing, its delays up and down (10 us per unit), the signal held, the reference that
    // follows and the ticks it takes: 1 is at once.
    const int steps[][6] = {{0, 0, 0, 4095, 1000, 1}, {1, 20, 50, 1500, 1500, 100}, {1, 20, 50, 1300, 1300, 100},
                            {0, 20, 50, 0, 1000, 1},  {1, 0, 50, 3000, 3000, 1},    {1, 0, 60000, 2998, 2998, 1200}};
    sim::ModelState model = sim::StartModel(1);
    for (const auto& [tracing, up, down, signal, ref, ticks] : steps) {
        const Record r = With({{sim::kWordTeachValue, 1000},
                               {sim::kWordTracing, tracing},
                               {sim::kWordTracingUp, up},
                               {sim::kWordTracingDown, down}});
        EXPECT_NEAR(TicksToReach(model, r, signal, ref), ticks, ticks > 1 ? 2 : 0) << ref;
    }
}

TEST(SimReceiver, SteadyRawFollowsPowerInStatAveragedOverTheCount) {
    const auto frames = RunModel(sim::kDefaultRecord, Scene::Steady, 5000);   // averaging 1: none
    const std::vector<int> none = Column(frames);
    EXPECT_NEAR(Mean(none), 2048, 5);   // a clear beam: noise only
    EXPECT_TRUE(Spread(Column(frames, sim::kDataOutTol)) == 0 && Spread(none) > 20 && Spread(none) <= 50);
    EXPECT_EQ(Column(RunModel(With({{sim::kWordAverage, 0}}), Scene::Steady, 5000)), none);
    const auto averaged = Column(RunModel(With({{sim::kWordAverage, 64}}), Scene::Steady, 5000));
    EXPECT_TRUE(Spread(averaged) < Spread(none) / 3 && std::abs(Mean(averaged) - Mean(none)) <= 5.0);
    // Beyond full power counts as full power: full scale, less the noise peaks clipped.
    for (const auto& [power, level] : {std::pair{100, 410}, {500, 2048}, {900, 3686}, {60000, 4080}}) {
        const Record r = With({{sim::kWordAverage, 100}, {sim::kWordPower, power}});
        EXPECT_NEAR(Column(RunModel(r, Scene::Steady, 1000)).back(), level, 15) << power;
    }
}

TEST(SimReceiver, DynKeepsTheLevelInsideTheWindow) {
    constexpr int kSettleTicks = 4000, kMarginCounts = 40;   // noise and the regulation's lag
    // The regulation starts from the power word; the lens soils and is cleaned meanwhile.
    for (int power : {0, 1000}) {
        const Record r = With({{sim::kWordPmode, sim::kPmodeDyn},
                               {sim::kWordDynWinLo, 1000},
                               {sim::kWordDynWinHi, 1300},
                               {sim::kWordPower, power}});
        const std::vector<int> raws = Column(RunModel(r, Scene::Drift, 90000));
        const auto [lo, hi] = std::minmax_element(raws.begin() + kSettleTicks, raws.end());
        EXPECT_TRUE(*lo >= 1000 - kMarginCounts && *hi <= 1300 + kMarginCounts) << power;
    }
}

TEST(SimScene, ObjectsPassAtIrregularIntervalsDarkerOrBrighterWithinFullScale) {
    // With the default record each object leaves the window and returns: one off per object.
    const auto frames = RunModel(sim::kDefaultRecord, Scene::Objects, 60000, 3);
    const std::vector<int> out = Column(frames, sim::kDataOutTol);
    std::vector<int> gaps;
    for (int i = 1, last = 0; i < int(out.size()); ++i)
        if (out[i - 1] == 1 && out[i] == 0) gaps.push_back(i - std::exchange(last, i));
    ASSERT_TRUE(gaps.size() >= 24 && gaps.size() <= 150) << gaps.size();   // 0.4 to 2.6 s apart
    gaps.erase(gaps.begin());
    EXPECT_TRUE(std::ranges::min(gaps) >= 300 && Spread(gaps) > 500);
    EXPECT_TRUE(std::ranges::min(Column(frames)) < 1400 && std::ranges::max(Column(frames)) > 2400);
    // At full power bright objects would take the signal beyond 4095.
    const auto bright = RunModel(With({{sim::kWordPower, 1000}}), Scene::Objects, 60000, 11);
    EXPECT_EQ(std::ranges::max(Column(bright)), 4095);
    EXPECT_LE(std::ranges::max(Column(bright, sim::kDataRef)), 4095);
}

// Store and load through the protocol: test_endtoend.cpp; a restart from the file: SimProgram.
TEST(SimEeprom, AFileTooShortIsIgnoredAndAFailedWriteKeepsTheSensorAnswering) {
    QTemporaryDir dir;
    const QString path = dir.filePath("eeprom.ini");
    QFile file(path);   // what a file must hold is tested in test_core.cpp
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("1 2 3\n") > 0);
    file.close();
    sim::Sensor sensor;
    EXPECT_FALSE(sensor.useEepromFile(path).isEmpty());
    EXPECT_TRUE(sensor.ram() == sim::kDefaultRecord && sensor.eeprom() == sim::kDefaultRecord);

    const Record stored = {800, 1, 1100, 2900, 4, 1, 25, 0, 1, 300, 400, 1500, 120, 30, 5, 6};
    sensor.useEepromFile(dir.filePath("no/such/folder/eeprom.ini"));
    QSignalSpy failed(&sensor, &sim::Sensor::eepromFileFailed);
    sensor.answer(Request(sensorlink::kCodeParaWrite, stored));
    const auto echo = sensor.answer(Request(sensorlink::kCodeEepromStore));
    ASSERT_TRUE(echo);   // the sensor answers all the same
    EXPECT_TRUE(echo->m_bytes[3] == sensorlink::kCodeEepromStore && failed.count() == 1 && sensor.eeprom() == stored);
}

}   // namespace
