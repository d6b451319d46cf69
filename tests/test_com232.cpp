// Telegram records and the two transports, against real loopback sockets and real
// pseudo-terminals served from the test itself. The exchanges built on them, under every
// fault the simulator injects, are proven by the program-level tests.
#include <pty.h>
#include <unistd.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "link/com232.h"
#include "platform/platform.h"

using namespace sensorlink;

namespace {

std::vector<std::string> g_statusTexts;

template <typename Pred>
bool PumpUntil(Pred done, double seconds = 5.0) {
    const double start = platform::Timer();
    while (!done()) {
        if (platform::Timer() - start > seconds) return false;
        platform::ProcessSystemEvents();
    }
    return true;
}

void PumpFor(double seconds) { PumpUntil([] { return false; }, seconds); }

QByteArray Reply(uint16_t code, uint16_t first) {
    uint16_t payload[kRecordWords] = {};
    for (int i = 0; i < kRecordWords; ++i) payload[i] = static_cast<uint16_t>(first + i);
    uint8_t bytes[kTelegramBytes];
    PackTelegram(kReplyMark, code, payload, bytes);
    return QByteArray(reinterpret_cast<const char*>(bytes), kTelegramBytes);
}

QByteArray Received(int count = kTelegramBytes) {
    return QByteArray(reinterpret_cast<const char*>(szReadBuf), count);
}

// The 3.0 s wait for a reply, which must end between its limit and 0.2 s after.
int32_t AwaitReplyTimed() {
    const double start = platform::Timer();
    const int32_t missing = AwaitReply(3.0);
    const double took = platform::Timer() - start;
    EXPECT_GE(took, 3.0);
    EXPECT_LE(took, 3.2);
    return missing;
}

// Fresh module state and a status sink that records what the two displays would show.
class Com232 : public ::testing::Test {
protected:
    void SetUp() override {
        std::fill(std::begin(pp), std::end(pp), 0);
        std::fill(std::begin(szReadBuf), std::end(szReadBuf), 0);
        bytesToRead = dataSize = 0;
        tcpcon = 0;
        g_hconversation = 0;
        g_statusTexts.clear();
        statusDisplay = [](const std::string& text) { g_statusTexts.push_back(text); };
        platform::ClearPopupLog();
        platform::SetPopupHandler([](const platform::PopupRecord&, std::string&) { return 1; });
    }
    void TearDown() override { platform::SetPopupHandler({}); }
};

// The link connected by InitTCP_IP to a loopback server; the server's side of the connection.
QTcpSocket* Connect(QTcpServer& server) {
    EXPECT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    comprotocol = kTCPIP;
    ipBuf = "127.0.0.1";
    portNum = server.serverPort();
    InitTCP_IP();
    EXPECT_EQ(ret, 0);
    EXPECT_EQ(tcpcon, 1);
    PumpUntil([&] { return server.hasPendingConnections(); });
    return server.nextPendingConnection();
}

void Send(QTcpSocket* peer, const QByteArray& bytes) {
    peer->write(bytes);
    peer->flush();
}

}  // namespace

TEST_F(Com232, PackingFollowsTheRecordAndTheLastReply) {
    CopyFileParatoVars();   // every parameter 0
    paraPower = 1000;
    CopyVarsToPP();
    FillTxBuf(kCodeParaWrite);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(szWriteBuf), kTelegramBytes),
              QByteArray("\x00\x55\x00\x01\x03\xE8", 6) + QByteArray(30, '\0'));

    // A reply that is not a parameter reply fills pp but changes no value.
    std::memcpy(szReadBuf, Reply(kCodeData, 0x80AB).constData(), kTelegramBytes);
    GetRxBufPara();
    CopyPPtoVars();
    EXPECT_EQ(pp[1], kCodeData);
    EXPECT_EQ(pp[2], 0x80AB);   // neither byte sign-extended
    EXPECT_EQ(paraPower, 1000);

    // A parameter reply is taken, and the next request carries it as its payload.
    std::memcpy(szReadBuf, Reply(kCodeParaRead, 500).constData(), kTelegramBytes);
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
    std::fill(std::begin(pp), std::end(pp), 0);
    pp[14] = 7;
    pp[15] = 9;
    CopyFileParatoVars();
    CopyVarsToPP();
    FillTxBuf(kCodeParaWrite);
    UnpackTelegram(szWriteBuf, sent);
    EXPECT_EQ(sent[16], 7);
    EXPECT_EQ(sent[17], 9);
}

TEST_F(Com232, TcpUnsolicitedBytesAreDiscardedAndAReplyInPiecesLandsInOrder) {
    QTcpServer server;
    QTcpSocket* peer = Connect(server);
    ASSERT_NE(peer, nullptr);
    Send(peer, QByteArray(2500, '\x77'));   // more than one read of the callback takes
    PumpFor(0.2);
    FillTxBuf(order = kCodeData);
    ArmReply();
    EXPECT_EQ(bytesToRead, kTelegramBytes);
    WriteTelegram(kWriteTimeoutMs);
    ASSERT_TRUE(PumpUntil([&] { return peer->bytesAvailable() == kTelegramBytes; }));
    const QByteArray reply = Reply(kCodeData, 0xA0B0);
    Send(peer, reply.left(10));
    ASSERT_TRUE(PumpUntil([] { return bytesToRead == 26; }));
    EXPECT_EQ(Received(10), reply.left(10));
    Send(peer, reply.mid(10, 10));
    ASSERT_TRUE(PumpUntil([] { return bytesToRead == 16; }));
    EXPECT_EQ(Received(20), reply.left(20));
    Send(peer, reply.mid(20));
    EXPECT_EQ(AwaitReply(3.0), 0);
    EXPECT_EQ(Received(), reply);
}

TEST_F(Com232, TcpMissingReplyEndsAtTheLimitAndTheServerClosingIsReportedOnce) {
    QTcpServer server;
    QTcpSocket* peer = Connect(server);
    ASSERT_NE(peer, nullptr);
    ArmReply();
    Send(peer, Reply(kCodeData, 3).left(20));   // the peer stops mid-reply
    EXPECT_EQ(AwaitReplyTimed(), 16);

    peer->close();
    ASSERT_TRUE(PumpUntil([] { return tcpcon == 0; }));
    PumpFor(0.2);
    ASSERT_EQ(platform::PopupLog().size(), 1u);
    EXPECT_EQ(platform::PopupLog()[0].title, "TCP Client");
    EXPECT_EQ(platform::PopupLog()[0].text, "Server has closed connection!");
    EXPECT_EQ(g_hconversation, 0);
}

TEST_F(Com232, ConnectAndOpenFailuresShowTheirTexts) {
    const auto expectShown = [](const char* text) {
        EXPECT_LT(ret, 0) << text;
        EXPECT_EQ(tcpcon, 0);
        EXPECT_EQ(szStatus, text);
        EXPECT_EQ(g_statusTexts, std::vector<std::string>{text});
        g_statusTexts.clear();
    };
    int freePort;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        freePort = probe.serverPort();
    }
    const std::tuple<std::string, int, const char*> tcp[] = {
        {"127.0.0.1", freePort, "FailedToConnect"},
        {"127.0.0.1", 0, "InvalidParameter"},
        {"", 5000, "InvalidParameter"},
        // A label longer than 63 characters is refused by the resolver without a query.
        {std::string(70, 'x') + ".invalid", 5000, "UnableToEstablishConnection"}};
    comprotocol = kTCPIP;
    for (const auto& [host, port, text] : tcp) {
        ipBuf = host;
        portNum = port;
        InitTCP_IP();
        expectShown(text);
    }
    comprotocol = kRS232;
    platform::SetSerialPortTable({{"/dev/null-no-such-port", "missing"}});
    comport = 5;   // outside the table of one port
    InitRS232();
    expectShown("Invalid port number");
    platform::SetSerialPortTable({});
    comport = 1;
    InitRS232();
    expectShown("No serial port found");
}

TEST_F(Com232, SerialRepliesOfThirtyFiveAndThirtySevenBytesAreCounted) {
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    platform::SetSerialPortTable({{name, "test pseudo-terminal"}});
    comprotocol = kRS232;
    comport = 1;
    InitRS232();
    ASSERT_EQ(ret, 0) << szStatus;

    ASSERT_EQ(write(master, std::string(35, '\x11').data(), 35), 35);
    EXPECT_EQ(AwaitReplyTimed(), 1);
    EXPECT_EQ(szReadBuf[34], 0x11);
    FlushSerialQueues();
    ASSERT_EQ(write(master, std::string(37, '\x22').data(), 37), 37);
    PumpFor(0.1);   // all 37 bytes are queued before the wait samples the queue
    EXPECT_EQ(AwaitReply(3.0), -1);
    EXPECT_EQ(szReadBuf[36], 0x22);

    platform::CloseCom(comport);
    close(slave);
    close(master);
}
