// Tests of the simulated sensor's protocol side: fault rules, and the sensor served over real
// loopback sockets, real pseudo-terminals (plain and paced) and as a program. Its behaviour
// (the signal model and the EEPROM records) is tested in test_simmodel.cpp.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>

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
    m_sensor.setScene(sim::Scene::Steady);
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
    const Telegram store = Request(6, a);   // what a store does: test_simmodel.cpp
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

}  // namespace
