// Tests of the simulated sensor's protocol side: request framing, faults, and the sensor
// served over real loopback sockets, real pseudo-terminals and as a program. Its
// behaviour (the signal model and the EEPROM records) is tested in test_simmodel.cpp.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <random>

#include "link/telegram.h"
#include "sim/fault.h"
#include "sim/model.h"
#include "sim/protocol.h"
#include "sim/ptyserver.h"
#include "sim/sensor.h"
#include "sim/tcpserver.h"

#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using sim::Record;
using sim::Telegram;
namespace sl = sensorlink;

constexpr int kWaitMs = 3000;   // generous limit for anything that should happen at once
constexpr int kSettleMs = 150;  // how long to look for bytes beyond the expected ones

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

void PumpFor(int ms) {
    PumpUntil([] { return false; }, ms);
}

Telegram Request(uint16_t code, const Record& payload = {}) {
    Telegram t{};
    sl::PackTelegram(sl::kSyncWord, code, payload.data(), t.data());
    return t;
}

QByteArray Bytes(const Telegram& t) {
    return QByteArray(reinterpret_cast<const char*>(t.data()), static_cast<qsizetype>(t.size()));
}

QByteArray Bytes(const std::vector<uint8_t>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
}

std::vector<uint16_t> Words(const QByteArray& reply) {
    std::vector<uint16_t> words;
    for (qsizetype i = 0; i + 1 < reply.size(); i += 2)
        words.push_back(static_cast<uint16_t>(uint8_t(reply[i]) << 8 | uint8_t(reply[i + 1])));
    return words;
}

// ---- request framing -------------------------------------------------------------

TEST(SimParser, AssemblesRequestsFromAnyChunking) {
    const Telegram a = Request(1, {1000});
    const Telegram b = Request(5);
    const Telegram c = Request(7);
    QByteArray stream = Bytes(a) + Bytes(b) + Bytes(c);
    for (int chunk : {1, 10, 35, 36, 108}) {
        sim::RequestParser parser;
        std::vector<Telegram> got;
        for (qsizetype at = 0; at < stream.size(); at += chunk) {
            const QByteArray part = stream.mid(at, chunk);
            auto more = sim::FeedBytes(parser, reinterpret_cast<const uint8_t*>(part.data()),
                                       static_cast<size_t>(part.size()));
            got.insert(got.end(), more.begin(), more.end());
        }
        ASSERT_EQ(got.size(), 3u) << "chunk " << chunk;
        EXPECT_EQ(got[0], a);
        EXPECT_EQ(got[1], b);
        EXPECT_EQ(got[2], c);
        EXPECT_EQ(parser.m_dropped, 0u);
    }
}

TEST(SimParser, ResynchronisesOnTheSyncWord) {
    // Garbage, a frame with a reply mark instead of the sync word, a lone 0x00 right
    // before a real request, and a request cut short by nothing: only whole requests count.
    Telegram wrong = Request(3);
    wrong[1] = 0xAA;
    const Telegram good = Request(1, {7, 8, 9});
    QByteArray stream = QByteArray("\x12\x34\x55", 3) + Bytes(wrong) + QByteArray(1, '\0') +
                        Bytes(good) + Bytes(Request(5)).left(20);
    sim::RequestParser parser;
    auto got = sim::FeedBytes(parser, reinterpret_cast<const uint8_t*>(stream.data()),
                              static_cast<size_t>(stream.size()));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], good);
    EXPECT_EQ(parser.m_filled, 20u);
    // The wrong frame's payload is all zeros, so it and the garbage are dropped whole.
    EXPECT_EQ(parser.m_dropped, 3u + 36u + 1u);
}

TEST(SimParser, RandomBytesYieldOnlySyncedRequests) {
    std::mt19937 rng(42);
    sim::RequestParser parser;
    size_t count = 0;
    for (int i = 0; i < 200000; ++i) {
        // Bias towards the sync bytes so that requests do occur.
        const uint32_t r = rng() % 4;
        const uint8_t byte = r == 0 ? 0x00 : r == 1 ? 0x55 : static_cast<uint8_t>(rng());
        if (sensorlink::FeedByte(parser, byte)) {
            ++count;
            ASSERT_EQ(parser.m_buffer[0], 0x00);
            ASSERT_EQ(parser.m_buffer[1], 0x55);
        }
        ASSERT_LT(parser.m_filled, 36u);
    }
    EXPECT_GT(count, 0u);
}

// ---- faults ----------------------------------------------------------------------

TEST(SimFault, ParsesRulesWithDefaultsAndCounts) {
    std::string error;
    auto rule = sim::ParseFaultSpec("5:delay:4000x2", error);
    ASSERT_TRUE(rule) << error;
    EXPECT_EQ(rule->m_code, 5);
    EXPECT_EQ(rule->m_fault.m_kind, sim::FaultKind::Delay);
    EXPECT_EQ(rule->m_fault.m_arg, 4000);
    EXPECT_EQ(rule->m_count, 2);

    rule = sim::ParseFaultSpec("1:byte:10", error);
    ASSERT_TRUE(rule) << error;
    EXPECT_EQ(rule->m_fault.m_kind, sim::FaultKind::WrongByte);
    EXPECT_EQ(rule->m_fault.m_arg, 10);
    EXPECT_LT(rule->m_fault.m_arg2, 0);
    EXPECT_EQ(rule->m_count, -1);

    rule = sim::ParseFaultSpec("50:split", error);
    ASSERT_TRUE(rule) << error;
    EXPECT_EQ(rule->m_fault.m_arg, 10);
    EXPECT_EQ(rule->m_fault.m_arg2, 5);

    for (const char* bad : {"", "5", "5:", "x:none", "5:explode", "5:delay", "5:mark:1",
                            "5:none:1", "5:shortx0", "5:byte:1:256", "5:short:-1",
                            "70000:none", "5:surplus:1:2:3", "5:delay:10xx"}) {
        error.clear();
        EXPECT_FALSE(sim::ParseFaultSpec(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

TEST(SimFault, ShapesReplies) {
    const std::vector<uint8_t> reply(36, 0x11);
    auto shaped = [&](sim::Fault f) {
        sim::ReplyPlan plan{reply};
        EXPECT_TRUE(sim::ApplyFault(plan, f));
        return plan;
    };
    sim::ReplyPlan plan{reply};
    EXPECT_FALSE(sim::ApplyFault(plan, {sim::FaultKind::NoReply}));
    EXPECT_EQ(shaped({sim::FaultKind::Short, 3}).m_bytes.size(), 33u);
    EXPECT_EQ(shaped({sim::FaultKind::Short, 99}).m_bytes.size(), 0u);
    const auto surplus = shaped({sim::FaultKind::Surplus, 2, 0x7E}).m_bytes;
    ASSERT_EQ(surplus.size(), 38u);
    EXPECT_EQ(surplus[37], 0x7E);
    EXPECT_EQ(shaped({sim::FaultKind::WrongByte, 4, 0x99}).m_bytes[4], 0x99);
    EXPECT_EQ(shaped({sim::FaultKind::WrongByte, 4, -1}).m_bytes[4], 0xEE);
    EXPECT_EQ(shaped({sim::FaultKind::WrongMark}).m_bytes[1], sim::kWrongReplyMark);
    const auto close = shaped({sim::FaultKind::Close, 5});
    EXPECT_EQ(close.m_bytes.size(), 5u);
    EXPECT_TRUE(close.m_closeAfter);
    EXPECT_EQ(shaped({sim::FaultKind::Delay, 250}).m_delayMs, 250);
    const auto split = shaped({sim::FaultKind::Split, 12, 30});
    EXPECT_EQ(split.m_pieceBytes, 12);
    EXPECT_EQ(split.m_pieceGapMs, 30);
}

// ---- the sensor over TCP ---------------------------------------------------------

// A sensor on a loopback TCP port with one connected client.
class SimTcp : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.listen(QHostAddress::LocalHost, 0)) << qPrintable(m_server.errorString());
        connectClient(m_client);
    }

    void connectClient(QTcpSocket& client) {
        client.connectToHost(QHostAddress::LocalHost, m_server.port());
        ASSERT_TRUE(PumpUntil([&] { return client.state() == QAbstractSocket::ConnectedState; }));
    }

    // Sends a request and collects what arrives until n bytes are there or waitMs pass.
    QByteArray exchange(const Telegram& request, qsizetype n = 36, int waitMs = kWaitMs) {
        m_client.write(Bytes(request));
        return receive(n, waitMs);
    }

    QByteArray receive(qsizetype n = 36, int waitMs = kWaitMs) {
        QByteArray got;
        PumpUntil([&] { got += m_client.readAll(); return got.size() >= n; }, waitMs);
        return got;
    }

    // Receives at least n bytes and whatever follows within a short while.
    QByteArray receiveAll(qsizetype n) {
        QByteArray got = receive(n);
        return got + receive(1, kSettleMs);
    }

    sim::Sensor m_sensor{5};
    sim::TcpServer m_server{m_sensor};
    QTcpSocket m_client;
};

QByteArray Echo(const Telegram& request) {
    QByteArray echo = Bytes(request);
    echo[1] = char(0xAA);
    return echo;
}

TEST_F(SimTcp, ParameterWriteReadAndEeprom) {
    Record a{1000, 1, 1500, 2500, 8, 0, 30, 1, 0, 100, 200, 2222, 150, 40, 7, 9};
    const Telegram writeA = Request(1, a);
    EXPECT_EQ(exchange(writeA), Echo(writeA));
    EXPECT_EQ(m_sensor.ram(), a);
    EXPECT_EQ(Words(exchange(Request(3))), std::vector<uint16_t>({170, 3, 1000, 1, 1500, 2500, 8, 0,
                                                                   30, 1, 0, 100, 200, 2222, 150, 40, 7, 9}));
    // Store A, then write B into RAM only.
    const Telegram store = Request(6, a);
    EXPECT_EQ(exchange(store), Echo(store));
    EXPECT_EQ(m_sensor.eeprom(), a);
    Record b = a;
    b[0] = 300;
    b[15] = 1;
    exchange(Request(1, b));
    EXPECT_EQ(m_sensor.eeprom(), a);
    // EEPROM load makes exactly the next read return the stored record.
    const Telegram load = Request(8, b);
    EXPECT_EQ(exchange(load), Echo(load));
    EXPECT_EQ(Words(exchange(Request(3)))[2], 1000);
    EXPECT_EQ(Words(exchange(Request(3)))[2], 300);
    EXPECT_EQ(Words(exchange(Request(3)))[17], 1);
}

TEST_F(SimTcp, DataFrameIdentificationAndUnknownCodes) {
    m_sensor.setScene(sim::Scene::Steady);
    Record r = sim::kDefaultRecord;
    r[sim::kWordTeachValue] = 1234;
    exchange(Request(1, r));
    const auto frame = Words(exchange(Request(5)));
    ASSERT_EQ(frame.size(), 18u);
    EXPECT_EQ(frame[0], 170);
    EXPECT_EQ(frame[1], 5);
    EXPECT_GT(frame[2], 1500);   // power 500 puts the raw signal around 2048
    EXPECT_LT(frame[2], 2600);
    EXPECT_LE(frame[3], 1);
    EXPECT_EQ(frame[4], 1234);
    for (int i = 5; i <= 16; ++i) EXPECT_EQ(frame[i], 0) << "word " << i;
    EXPECT_GT(frame[17], 0);

    EXPECT_EQ(exchange(Request(7)), QByteArray(sim::kDefaultIdentification).leftJustified(36, '\0'));
    m_sensor.setIdentification(std::string(40, 'Z') );
    EXPECT_EQ(exchange(Request(7)), QByteArray(36, 'Z'));

    // No reply to an unknown code; the next request is answered as usual.
    EXPECT_TRUE(exchange(Request(2), 1, 300).isEmpty());
    EXPECT_EQ(Words(exchange(Request(5)))[1], 5);
}

TEST_F(SimTcp, LogsRequestsAndRepliesByteForByte) {
    const Telegram write = Request(1, {1000});
    m_client.write(Bytes(write) + QByteArray("\x01\x02", 2) + Bytes(Request(7)));
    receive(72);
    const auto requests = m_sensor.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], write);
    EXPECT_EQ(sim::TelegramCode(requests[1]), 7);
    const auto& log = m_sensor.log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[1].m_kind, sim::LogKind::Reply);
    EXPECT_EQ(Bytes(log[1].m_bytes), Echo(write));
}

TEST_F(SimTcp, ReplyFaultsApplyToTheirCodeAndCount) {
    const int none = m_sensor.addFault(5, {sim::FaultKind::NoReply}, 1);
    EXPECT_TRUE(exchange(Request(5), 1, 300).isEmpty());
    EXPECT_EQ(exchange(Request(5)).size(), 36);
    EXPECT_EQ(m_sensor.faultApplied(none), 1);

    m_sensor.addFault(3, {sim::FaultKind::Short, 1}, 1);
    m_client.write(Bytes(Request(3)));
    EXPECT_EQ(receiveAll(35).size(), 35);
    m_sensor.addFault(3, {sim::FaultKind::Surplus, 2, 0x55}, 1);
    m_client.write(Bytes(Request(3)));
    EXPECT_EQ(receiveAll(38).size(), 38);

    const Telegram write = Request(1, {1000});
    m_sensor.addFault(1, {sim::FaultKind::WrongByte, 10, 0xFF}, 1);
    QByteArray expected = Echo(write);
    expected[10] = char(0xFF);
    EXPECT_EQ(exchange(write), expected);
    m_sensor.addFault(1, {sim::FaultKind::WrongMark}, 1);
    EXPECT_EQ(uint8_t(exchange(write)[1]), 0xAB);
    EXPECT_EQ(exchange(write), Echo(write));   // both counts used up

    const int always = m_sensor.addFault(7, {sim::FaultKind::WrongMark});
    exchange(Request(7));
    exchange(Request(7));
    EXPECT_EQ(m_sensor.faultApplied(always), 2);
}

TEST_F(SimTcp, DelayAndSplitTimeTheReply) {
    m_sensor.addFault(5, {sim::FaultKind::Delay, 400}, 1);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(exchange(Request(5)).size(), 36);
    EXPECT_GE(clock.elapsed(), 400);

    // Pieces of 10 bytes 200 ms apart: part of the reply is there well before the rest.
    m_sensor.addFault(5, {sim::FaultKind::Split, 10, 200}, 1);
    m_client.write(Bytes(Request(5)));
    QByteArray got = receive(1);
    EXPECT_GE(got.size(), 1);
    EXPECT_LT(got.size(), 36);
    clock.restart();
    got += receive(36 - got.size());
    EXPECT_EQ(got.size(), 36);
    EXPECT_GE(clock.elapsed(), 100);
    EXPECT_EQ(Words(got)[1], 5);
}

TEST_F(SimTcp, CloseFaultEndsTheConnectionAndANewOneWorks) {
    m_sensor.addFault(7, {sim::FaultKind::Close, 12}, 1);
    m_client.write(Bytes(Request(7)));
    QByteArray got;
    ASSERT_TRUE(PumpUntil([&] {
        got += m_client.readAll();
        return m_client.state() == QAbstractSocket::UnconnectedState;
    }));
    got += m_client.readAll();
    EXPECT_EQ(got, QByteArray(sim::kDefaultIdentification).left(12));
    EXPECT_TRUE(PumpUntil([&] { return m_server.connectionCount() == 0; }));

    QTcpSocket again;
    connectClient(again);
    again.write(Bytes(Request(7)));
    QByteArray reply;
    PumpUntil([&] { reply += again.readAll(); return reply.size() >= 36; });
    EXPECT_EQ(reply.left(5), "TAVRI");
}

TEST_F(SimTcp, TriggeredFramesFollowOutputChangesUntilClose) {
    QTcpSocket other;   // never asks for triggered frames
    connectClient(other);
    m_client.write(Bytes(Request(50)));
    // The default record swings through the window: at least three changes in 6 s.
    QByteArray got = receive(3 * 36, 6000);
    ASSERT_GE(got.size(), 3 * 36);
    int previous = -1;
    for (qsizetype at = 0; at + 36 <= got.size(); at += 36) {
        const auto frame = Words(got.mid(at, 36));
        EXPECT_EQ(frame[0], 170);
        EXPECT_EQ(frame[1], 50);
        EXPECT_NE(frame[3], previous) << "a frame without an output change";
        previous = frame[3];
    }
    EXPECT_TRUE(other.readAll().isEmpty());

    // On demand, and with the faults for code 50 (a change may come first and take it).
    receive(1000, 50);
    const int mark = m_sensor.addFault(50, {sim::FaultKind::WrongMark}, 1);
    m_sensor.emitTriggeredFrame();
    got = receive(36);
    PumpFor(50);
    got += m_client.readAll();
    ASSERT_GE(got.size(), 36);
    int marked = 0;
    for (qsizetype at = 0; at + 36 <= got.size(); at += 36) marked += uint8_t(got[at + 1]) == 0xAB;
    EXPECT_EQ(marked, 1);
    EXPECT_EQ(m_sensor.faultApplied(mark), 1);

    // After the connection closes, nothing is sent any more: the log stops growing.
    m_client.close();
    ASSERT_TRUE(PumpUntil([&] { return m_server.connectionCount() == 1; }));
    const size_t logged = m_sensor.log().size();
    PumpFor(2000);
    EXPECT_EQ(m_sensor.log().size(), logged);
}

TEST_F(SimTcp, RawBytesGoOutBehindQueuedReplies) {
    Telegram frame{};
    sl::PackTelegram(sl::kReplyMark, 5, sim::kDefaultRecord.data(), frame.data());
    m_sensor.addFault(7, {sim::FaultKind::Delay, 200}, 1);
    m_client.write(Bytes(Request(7)));
    PumpFor(20);
    m_server.sendRaw(Bytes(frame) + Bytes(frame));
    const QByteArray got = receive(108);
    ASSERT_EQ(got.size(), 108);
    EXPECT_EQ(got.left(5), "TAVRI");
    EXPECT_EQ(got.mid(36), Bytes(frame) + Bytes(frame));
}

// ---- the sensor on a pseudo-terminal ---------------------------------------------

// The program's side of a pseudo-terminal: the slave opened raw and non-blocking.
class PtyClient {
public:
    explicit PtyClient(const QString& path) {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    }
    ~PtyClient() { close(); }
    bool isOpen() const { return m_fd >= 0; }
    void close() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }
    void write(const Telegram& t) { ASSERT_EQ(::write(m_fd, t.data(), t.size()), 36); }
    // Reads until n bytes are there, the line hangs up or waitMs pass.
    QByteArray read(qsizetype n = 36, int waitMs = kWaitMs) {
        QByteArray got;
        PumpUntil([&] {
            char buffer[256];
            const ssize_t r = ::read(m_fd, buffer, sizeof buffer);
            if (r > 0) got.append(buffer, r);
            m_hungUp = r == 0 || (r < 0 && errno != EAGAIN);
            return got.size() >= n || m_hungUp;
        }, waitMs);
        return got;
    }
    bool hungUp() const { return m_hungUp; }

private:
    int m_fd = -1;
    bool m_hungUp = false;
};

TEST(SimPty, AnswersSurvivesReopenAndHangsUp) {
    sim::Sensor sensor;
    sim::PtyServer server(sensor, false);
    const QString link = QDir::temp().filePath(QString("tavrix-sim-test-%1").arg(getpid()));
    ASSERT_TRUE(server.open(link)) << qPrintable(server.errorString());
    EXPECT_TRUE(server.path().startsWith("/dev/"));
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), server.path());
    {
        PtyClient client(link);
        ASSERT_TRUE(client.isOpen());
        client.write(Request(7));
        EXPECT_EQ(client.read().left(5), "TAVRI");
    }
    PumpFor(50);
    PtyClient client(server.path());   // the program closed the port and opens it again
    ASSERT_TRUE(client.isOpen());
    const Telegram write = Request(1, {1000});
    client.write(write);
    EXPECT_EQ(client.read(), Echo(write));

    sensor.addFault(5, {sim::FaultKind::Close, 4}, 1);
    client.write(Request(5));
    const QByteArray got = client.read(100);
    EXPECT_EQ(got.size(), 4);
    EXPECT_TRUE(client.hungUp());
    EXPECT_FALSE(server.isOpen());
}

TEST(SimPty, PacedExchangeTakesAsLongAsOnALine) {
    sim::Sensor sensor;
    sim::PtyServer paced(sensor, true);
    ASSERT_TRUE(paced.open()) << qPrintable(paced.errorString());
    PtyClient client(paced.path());
    ASSERT_TRUE(client.isOpen());
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer clock;
        clock.start();
        client.write(Request(5));
        const QByteArray got = client.read();
        EXPECT_EQ(got.size(), 36);
        EXPECT_GE(clock.elapsed(), 35);   // 72 byte times of about 0.52 ms
    }

    // Triggered frames come on the pseudo-terminal too, and on demand once the request has
    // come down the line. The model may send frames of its own meanwhile, so look for a
    // whole code-50 frame in what arrives.
    client.write(Request(50));
    ASSERT_TRUE(PumpUntil([&] { return sensor.requests().size() == 4; }));
    sensor.emitTriggeredFrame();
    const QByteArray stream = client.read(36 * 8, 500);
    EXPECT_TRUE(stream.contains(QByteArray::fromHex("00aa0032")));
}

// ---- the program -----------------------------------------------------------------

QString SimulatorPath() {
    return QDir(QCoreApplication::applicationDirPath()).filePath("../sim/tavrix-sensor-sim");
}

// The simulator program serving TCP on a free loopback port, with one client connected.
class RunningSimulator {
public:
    explicit RunningSimulator(const QStringList& args) {
        m_process.start(SimulatorPath(), QStringList{"--tcp", "127.0.0.1:0"} + args);
        if (!m_process.waitForStarted(kWaitMs) ||
            !PumpUntil([&] { return m_process.canReadLine(); }))
            return;
        bool ok = false;
        const int port = m_process.readLine().trimmed().toInt(&ok);
        if (!ok) return;
        m_client.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
        PumpUntil([&] { return m_client.state() == QAbstractSocket::ConnectedState; });
    }
    ~RunningSimulator() {
        m_process.kill();
        m_process.waitForFinished();
    }
    bool isServing() const { return m_client.state() == QAbstractSocket::ConnectedState; }
    // Sends a request and returns what arrives: n bytes, then whatever follows briefly.
    QByteArray exchange(const Telegram& request, qsizetype n = 36) {
        QByteArray got;
        m_client.write(Bytes(request));
        PumpUntil([&] { got += m_client.readAll(); return got.size() >= n; });
        PumpFor(kSettleMs);
        return got + m_client.readAll();
    }
    // What the program wrote on stderr so far.
    QString errors() {
        PumpFor(kSettleMs);
        return m_process.readAllStandardError();
    }

private:
    QProcess m_process;
    QTcpSocket m_client;
};

TEST(SimProgram, PrintsItsPortAndAnswers) {
    ASSERT_TRUE(QFileInfo(SimulatorPath()).isExecutable()) << "build tavrix-sensor-sim first";
    RunningSimulator program({"--id", "UNIT 42", "--seed", "9", "--scene", "steady", "--fault",
                              "5:shortx1"});
    ASSERT_TRUE(program.isServing());
    EXPECT_EQ(program.exchange(Request(7)), QByteArray("UNIT 42").leftJustified(36, '\0'));
    EXPECT_EQ(program.exchange(Request(5), 35).size(), 35);
    const auto frame = Words(program.exchange(Request(5)));
    ASSERT_EQ(frame.size(), 18u);
    EXPECT_NEAR(frame[2], 2048, 30);   // the steady scene: no object in the beam
}

TEST(SimProgram, EepromFileSurvivesARestart) {
    QTemporaryDir dir;
    const QString path = dir.filePath("eeprom.ini");
    const Record stored{700, 0, 1000, 3000, 2, 1, 10, 1, 0, 0, 0, 1800, 150, 40, 3, 4};
    {
        RunningSimulator program({"--eeprom", path});
        ASSERT_TRUE(program.isServing());
        EXPECT_TRUE(program.errors().contains(path));   // not there yet: said on stderr
        program.exchange(Request(1, stored));
        const Telegram store = Request(6, stored);
        EXPECT_EQ(program.exchange(store), Echo(store));
    }
    RunningSimulator restarted({"--eeprom", path});
    ASSERT_TRUE(restarted.isServing());
    const auto read = Words(restarted.exchange(Request(3)));
    ASSERT_EQ(read.size(), 18u);
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), read.begin() + 2));   // RAM from EEPROM
    restarted.exchange(Request(1, sim::kDefaultRecord));
    restarted.exchange(Request(8));
    EXPECT_EQ(Words(restarted.exchange(Request(3)))[13], 1800);
    EXPECT_TRUE(restarted.errors().isEmpty());

    // A damaged file: the defaults, and a note on stderr.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("700 0 1000\n");
    file.close();
    RunningSimulator damaged({"--eeprom", path});
    ASSERT_TRUE(damaged.isServing());
    EXPECT_EQ(Words(damaged.exchange(Request(3)))[13], sim::kDefaultRecord[11]);
    EXPECT_TRUE(damaged.errors().contains("only 3 of 16"));
}

TEST(SimProgram, HelpAndUsageErrors) {
    QProcess process;
    process.start(SimulatorPath(), {"--help"});
    ASSERT_TRUE(process.waitForFinished(kWaitMs));
    EXPECT_EQ(process.exitCode(), 0);
    const QString help = process.readAllStandardOutput();
    for (const char* word : {"--tcp", "--pty", "--link", "--paced", "--id", "--fault", "--seed",
                             "CODE:KIND", "split", "--scene", "steady", "objects", "drift",
                             "--eeprom"})
        EXPECT_TRUE(help.contains(word)) << word;
    for (const QStringList& args : {QStringList{}, QStringList{"--tcp", "1.2.3.4"},
                                    QStringList{"--pty", "--fault", "5:boom"},
                                    QStringList{"--tcp", "127.0.0.1:0", "--paced"},
                                    QStringList{"--tcp", "127.0.0.1:0", "--scene", "fog"}}) {
        process.start(SimulatorPath(), args);
        ASSERT_TRUE(process.waitForFinished(kWaitMs));
        EXPECT_EQ(process.exitCode(), 2) << qPrintable(args.join(' '));
        EXPECT_FALSE(process.readAllStandardError().isEmpty());
    }
}

}  // namespace

TEST(SimLog, StaysBoundedWhileTheSensorIsPolledForHours) {
    sim::Sensor sensor;
    Record last{};
    for (int i = 0; i < static_cast<int>(sim::kMaxLogEntries); ++i) {
        last[0] = static_cast<uint16_t>(i);
        sensor.answer(Request(sensorlink::kCodeParaWrite, last));
    }
    // Two entries a request: the log was thinned but holds the latest traffic.
    EXPECT_LE(sensor.log().size(), sim::kMaxLogEntries);
    const auto requests = sensor.requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(sim::TelegramCode(requests.back()), sensorlink::kCodeParaWrite);
    EXPECT_EQ(requests.back()[4] * 256 + requests.back()[5], last[0]);
}
