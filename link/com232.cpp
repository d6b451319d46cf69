#include "link/com232.h"

#include <algorithm>

#include "platform/platform.h"

namespace sensorlink {

namespace {

// The parameter and data values in record order, so that copies are loops.
uint16_t* const kParaVars[kRecordWords] = {
    &paraPower, &paraPmode, &paraDynWinLo, &paraDynWinHi, &paraAverage, &paraOutmode,
    &paraHold, &paraTrshMode, &paraTrshTracing, &paraTrshTracingUp, &paraTrshTracingDown,
    &paraTeachValue, &paraTol, &paraHyst, &frei15, &frei16};
uint16_t* const kDataVars[kRecordWords] = {
    &dataANA0, &dataOutTol, &dataRef, &dataFrei4, &dataFrei5, &dataFrei6, &dataFrei7,
    &dataFrei8, &dataFrei9, &dataFrei10, &dataFrei11, &dataFrei12, &dataFrei13, &dataFrei14,
    &dataFrei15, &dataTemp};

int TelegramLength() { return anzframe * 2; }

// Reads and drops whatever the TCP conversation holds that no exchange awaits.
void DiscardUnawaitedBytes() {
    if (!tcpcon || g_hconversation == 0) return;
    uint8_t scratch[kBufferSize];
    while (platform::ClientTCPRead(static_cast<unsigned>(g_hconversation), scratch, kBufferSize,
                                   0) > 0) {
    }
}

// RS-232: takes everything queued into szReadBuf and counts what is missing or surplus.
void ReadSerialQueue() {
    const int queued = std::clamp<int32_t>(dataSize, 0, kBufferSize);
    if (queued > 0) platform::ComRd(comport, szReadBuf, queued);
    bytesToRead = TelegramLength() - queued;
}

// TCP: szReadBuf holds a whole telegram. True when it begins with the reply mark; otherwise
// the bytes from the next place where a frame may begin are moved to the front, and the
// count of missing bytes is armed again.
bool KeepInStep() {
    FrameAssembler frame;
    for (int i = 0; i < TelegramLength(); ++i)
        if (FeedByte(frame, szReadBuf[i])) return true;
    std::copy_n(frame.m_buffer.begin(), frame.m_filled, szReadBuf);
    dataSize = TelegramLength();
    bytesToRead = TelegramLength() - static_cast<int32_t>(frame.m_filled);
    return false;
}

}  // namespace

void ShowStatus(const std::string& text) {
    if (statusDisplay) statusDisplay(text);
}

// ---- Packing

void FillTxBuf(uint16_t code) { PackTelegram(sync, code, pp, szWriteBuf); }

void GetRxBufPara() { UnpackTelegram(szReadBuf, pp); }

void GetRxBufData() { UnpackTelegram(szReadBuf, databuf); }

void CopyVarsToPP() {
    for (int i = 0; i < kRecordWords; ++i) pp[i] = *kParaVars[i];
}

void CopyPPtoVars() {
    if (pp[0] != kReplyMark || pp[1] != kCodeParaRead) return;
    for (int i = 0; i < kRecordWords; ++i) *kParaVars[i] = pp[i + 2];
}

void CopyFileParatoVars() {
    for (int i = 0; i < kRecordWords; ++i) *kParaVars[i] = pp[i];
}

void CopyDatatoVars() {
    for (int i = 0; i < kRecordWords; ++i) *kDataVars[i] = databuf[i + 2];
}

// ---- Failure texts

std::string SerialFailureText(int code) {
    switch (code) {
        case -1: return "Unknown system error";
        case -2: return "Invalid port number";
        case -3: return "Port is not open";
        case -4: return "Unknown I/0 error";
        case -6: return "No serial port found";
        case -7: return "Cannot open port";
        case -99: return "Timeout";
        default: return "RS-232 error!";
    }
}

std::string TcpFailureText(int code) {
    static const char* const kTexts[] = {
        "UnableToRegisterService",    "UnableToEstablishConnection", "ExistingServer",
        "FailedToConnect",            "ServerNotRegistered",         "TooManyConversations",
        "ReadFailed",                 "WriteFailed",                 "InvalidParameter",
        "OutOfMemory",                "TimeOutError ",               "NoConnectionEstablished ",
        "GeneralIOErr",               "ConnectionClosed",            "UnableToLoadWinsockDLL",
        "IncorrectWinsockDLLVersion", "NetworkSubsystemNotReady ",   "ConnectionsStillOpen",
        "DisconnectPending",          "InfoNotAvailable"};
    if (code <= -1 && code >= -20) return kTexts[-code - 1];
    return "Connection to server failed";
}

// ---- Transports

void InitRS232() {
    poll = 0;
    platform::CloseCom(comport);
    ret = static_cast<int16_t>(std::max(platform::OpenComConfig(
        comport, "", kBaudRate, platform::kParityNone, kDataBits, kStopBits, kBufferSize,
        kBufferSize), -32768));
    if (ret < 0) {
        szStatus = SerialFailureText(ret);
        ShowStatus(szStatus);
        return;
    }
    platform::SetComTime(comport, kSerialTimeoutS);
    platform::FlushInQ(comport);
    platform::FlushOutQ(comport);
    platform::SetCTSMode(comport, 0);
}

void InitTCP_IP() {
    if (tcpcon) {
        platform::DisconnectFromTCPServer(static_cast<unsigned>(g_hconversation));
        g_hconversation = 0;
        tcpcon = 0;
    }
    platform::SetWaitCursor(1);
    unsigned handle = 0;
    const int result = platform::ConnectToTCPServer(&handle, portNum, ipBuf, ClientTCPCB,
                                                    nullptr, kConnectTimeoutMs);
    platform::SetWaitCursor(0);
    ret = static_cast<int16_t>(std::max(result, -32768));
    g_hconversation = static_cast<int32_t>(handle);
    if (ret < 0) {
        szStatus = TcpFailureText(ret);
        ShowStatus(szStatus);
        tcpcon = 0;
    } else {
        tcpcon = 1;
    }
}

// Receives for the conversation. While a reply is awaited the bytes land in order from
// byte 0 of szReadBuf, never more than are missing; otherwise they are read and dropped.
// It reads only what has arrived and returns: a peer that stops mid-reply leaves the
// count short and the waiting exchange ends at its time limit.
int ClientTCPCB(unsigned handle, int event, int /*errorCode*/, void* /*callbackData*/) {
    if (event == platform::TCP_DISCONNECT) {
        if (static_cast<int32_t>(handle) != g_hconversation) return 0;  // a closed old one
        platform::MessagePopup("TCP Client", "Server has closed connection!");
        g_hconversation = 0;
        tcpcon = 0;
        return 0;
    }
    if (event != platform::TCP_DATAREADY) return 0;
    if (static_cast<int32_t>(handle) == g_hconversation && bytesToRead > 0) {
        while (bytesToRead > 0) {
            const int offset = std::clamp(dataSize - bytesToRead, 0, kBufferSize - 1);
            const int wanted = std::min(bytesToRead, kBufferSize - offset);
            bytesRead = platform::ClientTCPRead(handle, szReadBuf + offset, wanted,
                                                kReadTimeoutMs);
            if (bytesRead <= 0) break;
            bytesToRead -= bytesRead;
        }
    } else {
        uint8_t scratch[kBufferSize];
        platform::ClientTCPRead(handle, scratch, kBufferSize, kReadTimeoutMs);
    }
    return 0;
}

void WriteTelegram(int tcpTimeoutMs) {
    int written;
    if (comprotocol == kRS232)
        written = platform::ComWrt(comport, szWriteBuf, TelegramLength());
    else
        written = platform::ClientTCPWrite(static_cast<unsigned>(g_hconversation), szWriteBuf,
                                           TelegramLength(), tcpTimeoutMs);
    nBytesW = static_cast<int16_t>(std::clamp(written, -32768, 32767));
}

void ArmReply() {
    DiscardUnawaitedBytes();
    dataSize = TelegramLength();
    bytesToRead = TelegramLength();
}

void ArmNextFrame() {
    dataSize = TelegramLength();
    bytesToRead = TelegramLength();
    ClientTCPCB(static_cast<unsigned>(g_hconversation), platform::TCP_DATAREADY, 0, nullptr);
}

int32_t AwaitReply(double limitSeconds) {
    tstart = platform::Timer();
    if (comprotocol == kRS232) {
        do {
            platform::ProcessSystemEvents();
            dataSize = platform::GetInQLen(comport);
            tdiff = platform::Timer() - tstart;
        } while (dataSize < TelegramLength() && tdiff <= limitSeconds);
        ReadSerialQueue();
        return bytesToRead;
    }
    while (bytesToRead > 0) {
        platform::ProcessSystemEvents();
        tdiff = platform::Timer() - tstart;
        if (tdiff > limitSeconds) break;
    }
    return bytesToRead;
}

int32_t AwaitReplyUntimed() {
    if (comprotocol == kRS232) {
        // Frames are taken one at a time by length: bytes after a whole frame stay queued
        // for the next call, and the stream gets back in step at the next reply mark.
        for (;;) {
            dataSize = platform::GetInQLen(comport);
            for (; dataSize > 0; --dataSize) {
                uint8_t byte = 0;
                if (platform::ComRd(comport, &byte, 1) != 1) break;
                if (FeedByte(serialFrames, byte)) {
                    std::copy(serialFrames.m_buffer.begin(), serialFrames.m_buffer.end(),
                              szReadBuf);
                    bytesToRead = 0;
                    return bytesToRead;
                }
            }
            bytesToRead = TelegramLength() - static_cast<int32_t>(serialFrames.m_filled);
            if (poll == 0) return bytesToRead;
            platform::ProcessSystemEvents();
        }
    }
    // TCP: the client callback fills szReadBuf. A frame that is out of step (a short or
    // surplus frame before it) is not taken: the bytes from the next possible reply mark on
    // are kept as the start of the next frame, and the rest is awaited.
    for (;;) {
        while (bytesToRead > 0 && poll != 0) platform::ProcessSystemEvents();
        if (bytesToRead > 0 || KeepInStep()) return bytesToRead;
        // Bytes that came with the dropped ones raise no further data-ready event.
        ClientTCPCB(static_cast<unsigned>(g_hconversation), platform::TCP_DATAREADY, 0, nullptr);
    }
}

void FlushSerialQueues() {
    if (comprotocol != kRS232) return;
    platform::FlushInQ(comport);
    platform::FlushOutQ(comport);
    ResetAssembler(serialFrames);
}

}  // namespace sensorlink
