#include "link/transport.h"

#include <algorithm>

#include "link/com232.h"
#include "link/exchanges.h"
#include "platform/platform.h"

namespace sensorlink {

namespace {

int TelegramLength() { return anzframe * 2; }

void Trace(char direction, const uint8_t* bytes, int32_t missing, double waitedS) {
    if (hooks.m_telegramTraced) hooks.m_telegramTraced(direction, bytes, missing, waitedS);
}

// Keeps the result of a write in nBytesW and traces the telegram with what it left unwritten
// (all of it when the write failed).
void Written(int result) {
    nBytesW = static_cast<int16_t>(std::clamp(result, -32768, 32767));
    Trace('>', szWriteBuf, nBytesW < 0 ? TelegramLength() : TelegramLength() - nBytesW, 0.0);
}

// The stream of a trigger command starts with a frame, as stale bytes were dropped before the
// command: the assembler starts in step, so that a whole first frame with a wrong mark is
// skipped whole instead of being searched for a mark inside its data. The sensor sends these
// frames by itself, so a frame is taken when the next one's mark or a quiet time follows it.
void RestartFrames(FrameAssembler& frames) {
    ResetAssembler(frames);
    frames.m_inStep = true;
    frames.m_confirmByNextMark = true;
}

// The RS-232 port `comport`: the reply is counted in the input queue when the wait ends.
class SerialTransport final : public Transport {
public:
    void Open() override { InitRS232(); }
    void Close() override { platform::CloseCom(comport); }
    void FlushQueues() override { FlushSerialQueues(); }
    void Write(int /*timeoutMs*/) override {
        Written(platform::ComWrt(comport, szWriteBuf, TelegramLength()));
    }
    int32_t AwaitReply(double limitSeconds) override {
        tstart = platform::Timer();
        do {
            platform::ProcessSystemEvents();
            dataSize = platform::GetInQLen(comport);
            tdiff = platform::Timer() - tstart;
        } while (dataSize < TelegramLength() && tdiff <= limitSeconds);
        // Everything queued goes into szReadBuf; what is missing or surplus is counted.
        const int queued = std::clamp<int32_t>(dataSize, 0, kBufferSize);
        if (queued > 0) platform::ComRd(comport, szReadBuf, queued);
        bytesToRead = TelegramLength() - queued;
        Trace('<', szReadBuf, bytesToRead, tdiff);
        return bytesToRead;
    }
    double IdentifyLimitS() const override { return kIdentifyLimitSerialS; }
    int IdentifyWriteTimeoutMs() const override { return kWriteTimeoutMs; }
    void BeginStream() override {
        FlushSerialQueues();
        RestartFrames(m_frames);
    }

protected:
    bool ReadStreamByte(uint8_t& byte) override {
        return platform::GetInQLen(comport) > 0 && platform::ComRd(comport, &byte, 1) == 1;
    }
};

// The TCP conversation: ClientTCPCB fills szReadBuf while a reply is awaited.
class TcpTransport final : public Transport {
public:
    void Open() override { InitTCP_IP(); }
    void Close() override {
        if (tcpcon == 0) return;
        platform::DisconnectFromTCPServer(static_cast<unsigned>(g_hconversation));
        g_hconversation = 0;
        tcpcon = 0;
    }
    void ArmReply() override {
        tcpStreaming = false;
        DiscardUnawaitedTcpBytes();
        dataSize = TelegramLength();
        bytesToRead = TelegramLength();
    }
    void Write(int timeoutMs) override {
        Written(platform::ClientTCPWrite(static_cast<unsigned>(g_hconversation), szWriteBuf,
                                         TelegramLength(), timeoutMs));
    }
    int32_t AwaitReply(double limitSeconds) override {
        tstart = platform::Timer();
        while (bytesToRead > 0) {
            platform::ProcessSystemEvents();
            tdiff = platform::Timer() - tstart;
            if (tdiff > limitSeconds) break;
        }
        Trace('<', szReadBuf, bytesToRead, tdiff);
        return bytesToRead;
    }
    double IdentifyLimitS() const override { return kIdentifyLimitTcpS; }
    int IdentifyWriteTimeoutMs() const override { return kIdentifyWriteTimeoutMs; }
    void BeginStream() override {
        ArmReply();
        bytesToRead = 0;
        // The frames stay in the socket until the stream takes them, so a sensor that sends
        // faster than they are recorded is held back by TCP instead of filling memory.
        tcpStreaming = true;
        RestartFrames(m_frames);
    }
    void EndStream() override {
        tcpStreaming = false;
        bytesToRead = 0;
    }

protected:
    bool ReadStreamByte(uint8_t& byte) override {
        return tcpcon != 0 &&
               platform::ClientTCPRead(static_cast<unsigned>(g_hconversation), &byte, 1, 0) == 1;
    }
};

}   // namespace

int32_t Transport::AwaitStreamFrame() {
    for (;;) {
        uint8_t byte = 0;
        bool taken = false;
        while (!taken && ReadStreamByte(byte)) {
            m_lastByteS = platform::Timer();
            taken = FeedByte(m_frames, byte);
        }
        bytesToRead = TelegramLength() -
                      static_cast<int32_t>(std::min<size_t>(m_frames.m_filled, kTelegramBytes));
        // A frame followed by silence, or by the end of the listening, is not followed by
        // the next one's mark: a whole one is taken then, a partial one dropped.
        const bool quiet = platform::Timer() - m_lastByteS >= kStreamQuietS;
        if (!taken && m_frames.m_filled > 0 && (quiet || poll == 0))
            taken = TakeAfterQuiet(m_frames);
        if (taken) {
            std::copy(m_frames.m_buffer.begin(), m_frames.m_buffer.end(), szReadBuf);
            bytesToRead = 0;
            Trace('<', szReadBuf, bytesToRead, 0.0);
            return bytesToRead;
        }
        if (poll == 0) return bytesToRead;
        platform::ProcessSystemEvents();
    }
}

namespace {

SerialTransport serial;
TcpTransport tcp;
Transport* inUse = nullptr;   // the transport last opened

Transport& ForProtocol(uint16_t protocol) {
    if (protocol == kRS232) return serial;
    return tcp;
}

}   // namespace

Transport& CurrentTransport() { return inUse != nullptr ? *inUse : ForProtocol(comprotocol); }

void OpenTransport() {
    inUse = &ForProtocol(comprotocol);
    inUse->Open();
}

void CloseTransports() {
    serial.Close();
    tcp.Close();
}

}   // namespace sensorlink
