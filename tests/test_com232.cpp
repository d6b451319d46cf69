// Telegram records and the two transports, against real loopback sockets and real
// pseudo-terminals served from the test itself.
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "link/com232.h"
#include "platform/platform.h"

using namespace sensorlink;

namespace {

std::vector<std::string> g_statusTexts;

// Fresh module state and a status sink that records what the two displays would show.
void ResetLink() {
    std::fill(std::begin(pp), std::end(pp), 0);
    std::fill(std::begin(databuf), std::end(databuf), 0);
    std::fill(std::begin(szReadBuf), std::end(szReadBuf), 0);
    bytesToRead = 0;
    dataSize = 0;
    tcpcon = 0;
    g_hconversation = 0;
    g_statusTexts.clear();
    statusDisplay = [](const std::string& text) { g_statusTexts.push_back(text); };
    platform::ClearPopupLog();
    platform::SetPopupHandler([](const platform::PopupRecord&, std::string&) { return 1; });
}

void PumpFor(double seconds) {
    const double start = platform::Timer();
    while (platform::Timer() - start < seconds) platform::ProcessSystemEvents();
}

template <typename Pred>
bool PumpUntil(Pred done, double seconds = 5.0) {
    const double start = platform::Timer();
    while (!done()) {
        if (platform::Timer() - start > seconds) return false;
        platform::ProcessSystemEvents();
    }
    return true;
}

QByteArray Reply(uint16_t code, uint16_t first) {
    uint16_t payload[kRecordWords] = {};
    for (int i = 0; i < kRecordWords; ++i) payload[i] = static_cast<uint16_t>(first + i);
    uint8_t bytes[kTelegramBytes];
    PackTelegram(kReplyMark, code, payload, bytes);
    return QByteArray(reinterpret_cast<const char*>(bytes), kTelegramBytes);
}

// A loopback server with one accepted client.
struct Server {
    QTcpServer m_server;
    QTcpSocket* m_client = nullptr;
    QByteArray m_received;

    Server() {
        EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            m_client = m_server.nextPendingConnection();
            QObject::connect(m_client, &QTcpSocket::readyRead,
                             [this] { m_received += m_client->readAll(); });
        });
    }
    int Port() const { return m_server.serverPort(); }
    void Send(const QByteArray& bytes) {
        m_client->write(bytes);
        m_client->flush();
    }
};

void ConnectTo(Server& server) {
    comprotocol = kTCPIP;
    ipBuf = "127.0.0.1";
    portNum = server.Port();
    InitTCP_IP();
    ASSERT_EQ(ret, 0);
    ASSERT_EQ(tcpcon, 1);
    ASSERT_TRUE(PumpUntil([&] { return server.m_client != nullptr; }));
}

// A raw pseudo-terminal whose slave side is the only entry of the serial port table.
struct Pty {
    int m_master = -1;
    int m_slave = -1;
    Pty() {
        char name[256] = {};
        EXPECT_EQ(openpty(&m_master, &m_slave, name, nullptr, nullptr), 0);
        termios tio{};
        tcgetattr(m_slave, &tio);
        cfmakeraw(&tio);
        tcsetattr(m_slave, TCSANOW, &tio);
        platform::SetSerialPortTable({{name, "test pseudo-terminal"}});
    }
    ~Pty() {
        platform::CloseCom(comport);
        close(m_slave);
        close(m_master);
    }
    void Send(const std::vector<uint8_t>& bytes) {
        ASSERT_EQ(write(m_master, bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }
};

void OpenPty(Pty&) {
    comprotocol = kRS232;
    comport = 1;
    InitRS232();
    ASSERT_EQ(ret, 0) << szStatus;
}

}  // namespace

TEST(Com232Records, PackingFollowsTheRecordAndTheLastReply) {
    ResetLink();
    paraPower = 1000;
    paraPmode = paraDynWinLo = paraDynWinHi = paraAverage = paraOutmode = paraHold = 0;
    paraTrshMode = paraTrshTracing = paraTrshTracingUp = paraTrshTracingDown = 0;
    paraTeachValue = paraTol = paraHyst = frei15 = frei16 = 0;
    CopyVarsToPP();
    FillTxBuf(kCodeParaWrite);
    const uint8_t head[] = {0x00, 0x55, 0x00, 0x01, 0x03, 0xE8};
    EXPECT_TRUE(std::equal(head, head + 6, szWriteBuf));
    EXPECT_TRUE(std::all_of(szWriteBuf + 6, szWriteBuf + 36, [](uint8_t b) { return b == 0; }));

    // A reply that is not a parameter reply fills pp but changes no value.
    const QByteArray wrong = Reply(kCodeData, 0x8001);
    std::memcpy(szReadBuf, wrong.constData(), kTelegramBytes);
    GetRxBufPara();
    CopyPPtoVars();
    EXPECT_EQ(pp[1], kCodeData);
    EXPECT_EQ(pp[2], 0x8001);   // top bit set, not sign-extended
    EXPECT_EQ(paraPower, 1000);

    // A parameter reply is taken, and the next request carries it as its payload.
    const QByteArray good = Reply(kCodeParaRead, 500);
    std::memcpy(szReadBuf, good.constData(), kTelegramBytes);
    GetRxBufPara();
    CopyPPtoVars();
    EXPECT_EQ(paraPower, 500);
    EXPECT_EQ(frei16, 515);
    FillTxBuf(kCodeData);
    uint16_t sent[kTelegramWords];
    UnpackTelegram(szWriteBuf, sent);
    EXPECT_EQ(sent[1], kCodeData);
    EXPECT_EQ(sent[2], kReplyMark);
    EXPECT_EQ(sent[3], kCodeParaRead);
    for (int i = 0; i < 14; ++i) EXPECT_EQ(sent[4 + i], 500 + i);

    // A record loaded from a file goes out whole, spare words included.
    for (int i = 0; i < kRecordWords; ++i) pp[i] = 0;
    pp[14] = 7;
    pp[15] = 9;
    CopyFileParatoVars();
    CopyVarsToPP();
    FillTxBuf(kCodeParaWrite);
    UnpackTelegram(szWriteBuf, sent);
    EXPECT_EQ(sent[16], 7);
    EXPECT_EQ(sent[17], 9);

    // A data frame is taken whatever its first two words hold.
    const QByteArray frame = Reply(0x1234, 40);
    std::memcpy(szReadBuf, frame.constData(), kTelegramBytes);
    szReadBuf[1] = 0x99;
    GetRxBufData();
    CopyDatatoVars();
    EXPECT_EQ(dataANA0, 40);
    EXPECT_EQ(dataOutTol, 41);
    EXPECT_EQ(dataRef, 42);
    EXPECT_EQ(dataTemp, 55);
}

TEST(Com232Texts, FailureTextsKeepTheirExactForm) {
    EXPECT_EQ(SerialFailureText(-99), "Timeout");
    EXPECT_EQ(SerialFailureText(-5), "RS-232 error!");
    EXPECT_EQ(SerialFailureText(-8), "RS-232 error!");
    EXPECT_EQ(SerialFailureText(-4), "Unknown I/0 error");
    EXPECT_EQ(TcpFailureText(-25), "Connection to server failed");
    EXPECT_EQ(TcpFailureText(-11), "TimeOutError ");
    EXPECT_EQ(TcpFailureText(-12), "NoConnectionEstablished ");
    EXPECT_EQ(TcpFailureText(-17), "NetworkSubsystemNotReady ");
    EXPECT_EQ(TcpFailureText(-20), "InfoNotAvailable");
    EXPECT_EQ(TcpFailureText(-1), "UnableToRegisterService");
}

TEST(Com232Tcp, ReplyInPiecesIsAssembledInOrder) {
    ResetLink();
    Server server;
    ConnectTo(server);
    order = kCodeData;
    FillTxBuf(order);
    ArmReply();
    WriteTelegram(kWriteTimeoutMs);
    ASSERT_TRUE(PumpUntil([&] { return server.m_received.size() == kTelegramBytes; }));
    const QByteArray reply = Reply(kCodeData, 0xA0B0);
    server.Send(reply.left(10));
    ASSERT_TRUE(PumpUntil([] { return bytesToRead == 26; }));
    EXPECT_EQ(QByteArray(reinterpret_cast<char*>(szReadBuf), 10), reply.left(10));
    server.Send(reply.mid(10, 10));
    ASSERT_TRUE(PumpUntil([] { return bytesToRead == 16; }));
    EXPECT_EQ(QByteArray(reinterpret_cast<char*>(szReadBuf) + 10, 10), reply.mid(10, 10));
    server.Send(reply.mid(20));
    EXPECT_EQ(AwaitReply(3.0), 0);
    EXPECT_EQ(QByteArray(reinterpret_cast<char*>(szReadBuf), kTelegramBytes), reply);
}

TEST(Com232Tcp, BytesNobodyAwaitsAreDiscarded) {
    ResetLink();
    Server server;
    ConnectTo(server);
    // Unsolicited bytes, more than one read of the callback takes, and a late reply tail.
    server.Send(QByteArray(2500, '\x77'));
    PumpFor(0.2);
    ArmReply();
    EXPECT_EQ(bytesToRead, kTelegramBytes);
    const QByteArray reply = Reply(kCodeParaRead, 1);
    server.Send(reply);
    EXPECT_EQ(AwaitReply(3.0), 0);
    EXPECT_EQ(QByteArray(reinterpret_cast<char*>(szReadBuf), kTelegramBytes), reply);
}

TEST(Com232Tcp, MissingReplyEndsAtTheLimit) {
    ResetLink();
    Server server;
    ConnectTo(server);
    ArmReply();
    server.Send(Reply(kCodeData, 3).left(20));   // the peer stops mid-reply
    const double start = platform::Timer();
    EXPECT_EQ(AwaitReply(3.0), 16);
    const double took = platform::Timer() - start;
    EXPECT_GE(took, 3.0);
    EXPECT_LE(took, 3.2);
}

TEST(Com232Tcp, ServerClosingIsReportedOnce) {
    ResetLink();
    Server server;
    ConnectTo(server);
    server.m_client->close();
    ASSERT_TRUE(PumpUntil([] { return tcpcon == 0; }));
    PumpFor(0.2);
    ASSERT_EQ(platform::PopupLog().size(), 1u);
    EXPECT_EQ(platform::PopupLog()[0].title, "TCP Client");
    EXPECT_EQ(platform::PopupLog()[0].text, "Server has closed connection!");
    EXPECT_EQ(g_hconversation, 0);
}

TEST(Com232Tcp, ConnectFailuresShowTheirTexts) {
    ResetLink();
    comprotocol = kTCPIP;
    int freePort;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        freePort = probe.serverPort();
    }
    struct Case {
        std::string host;
        int port;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"127.0.0.1", freePort, "FailedToConnect"},
        {"127.0.0.1", 0, "InvalidParameter"},
        {"", 5000, "InvalidParameter"},
        // A label longer than 63 characters is refused by the resolver without a query.
        {std::string(70, 'x') + ".invalid", 5000, "UnableToEstablishConnection"},
    };
    for (const Case& c : cases) {
        g_statusTexts.clear();
        ipBuf = c.host;
        portNum = c.port;
        InitTCP_IP();
        EXPECT_LT(ret, 0) << c.host;
        EXPECT_EQ(tcpcon, 0);
        EXPECT_EQ(szStatus, c.text);
        ASSERT_EQ(g_statusTexts.size(), 1u);
        EXPECT_EQ(g_statusTexts[0], c.text);
    }
}

TEST(Com232Serial, ShortAndSurplusRepliesAreCounted) {
    ResetLink();
    Pty pty;
    OpenPty(pty);
    std::vector<uint8_t> bytes(35, 0x11);
    pty.Send(bytes);
    const double start = platform::Timer();
    EXPECT_EQ(AwaitReply(3.0), 1);
    const double took = platform::Timer() - start;
    EXPECT_GE(took, 3.0);
    EXPECT_LE(took, 3.2);
    EXPECT_EQ(szReadBuf[34], 0x11);

    FlushSerialQueues();
    pty.Send(std::vector<uint8_t>(37, 0x22));
    PumpFor(0.1);   // all 37 bytes are queued before the wait samples the queue
    EXPECT_EQ(AwaitReply(3.0), -1);
    EXPECT_EQ(szReadBuf[36], 0x22);
}

TEST(Com232Serial, WriteReachesTheLine) {
    ResetLink();
    Pty pty;
    OpenPty(pty);
    order = kCodeIdentify;
    FillTxBuf(order);
    WriteTelegram(kWriteTimeoutMs);
    PumpFor(0.1);
    uint8_t got[64] = {};
    fcntl(pty.m_master, F_SETFL, O_NONBLOCK);
    ASSERT_EQ(read(pty.m_master, got, sizeof got), kTelegramBytes);
    EXPECT_TRUE(std::equal(got, got + kTelegramBytes, szWriteBuf));
}

TEST(Com232Serial, TriggeredFramesAreTakenOneByOne) {
    ResetLink();
    Pty pty;
    OpenPty(pty);
    const QByteArray a = Reply(kCodeTriggered, 100), b = Reply(kCodeTriggered, 200);
    std::vector<uint8_t> chunk = {0x13, 0x00, 0x37};   // noise before the first mark
    chunk.insert(chunk.end(), a.begin(), a.end());
    chunk.insert(chunk.end(), b.begin(), b.begin() + 10);
    pty.Send(chunk);
    poll = 1;
    EXPECT_EQ(AwaitReplyUntimed(), 0);
    EXPECT_EQ(QByteArray(reinterpret_cast<char*>(szReadBuf), kTelegramBytes), a);
    pty.Send(std::vector<uint8_t>(b.begin() + 10, b.end()));
    EXPECT_EQ(AwaitReplyUntimed(), 0);
    EXPECT_EQ(QByteArray(reinterpret_cast<char*>(szReadBuf), kTelegramBytes), b);
    // Stopping ends the wait with the count of what is missing.
    pty.Send(std::vector<uint8_t>(a.begin(), a.begin() + 5));
    PumpFor(0.1);
    poll = 0;
    EXPECT_EQ(AwaitReplyUntimed(), kTelegramBytes - 5);
}

TEST(Com232Serial, OpenFailuresShowTheirTexts) {
    ResetLink();
    comprotocol = kRS232;
    platform::SetSerialPortTable({{"/dev/null-no-such-port", "missing"}});
    comport = 5;
    InitRS232();
    EXPECT_EQ(ret, -2);
    ASSERT_EQ(g_statusTexts.size(), 1u);
    EXPECT_EQ(g_statusTexts[0], "Invalid port number");

    platform::SetSerialPortTable({});
    g_statusTexts.clear();
    comport = 1;
    InitRS232();
    EXPECT_EQ(ret, -6);
    ASSERT_EQ(g_statusTexts.size(), 1u);
    EXPECT_EQ(g_statusTexts[0], "No serial port found");
}
