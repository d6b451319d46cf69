#include "link/com232.h"

#include <algorithm>

#include "platform/platform.h"

namespace sensorlink {

namespace {

// The parameter and data values in record order, so that copies are loops.
uint16_t* const kParaVars[kRecordWords] = {&paraPower,
                                           &paraPmode,
                                           &paraDynWinLo,
                                           &paraDynWinHi,
                                           &paraAverage,
                                           &paraOutmode,
                                           &paraHold,
                                           &paraTrshMode,
                                           &paraTrshTracing,
                                           &paraTrshTracingUp,
                                           &paraTrshTracingDown,
                                           &paraTeachValue,
                                           &paraTol,
                                           &paraHyst,
                                           &frei15,
                                           &frei16};
uint16_t* const kDataVars[kRecordWords] = {&dataANA0,   &dataOutTol, &dataRef,    &dataFrei4,
                                           &dataFrei5,  &dataFrei6,  &dataFrei7,  &dataFrei8,
                                           &dataFrei9,  &dataFrei10, &dataFrei11, &dataFrei12,
                                           &dataFrei13, &dataFrei14, &dataFrei15, &dataTemp};

}   // namespace

void ShowStatus(const std::string& text) {
    if (hooks.m_showStatus) hooks.m_showStatus(text);
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
    case -1:
        return "Unknown system error";
    case -2:
        return "Invalid port number";
    case -3:
        return "Port is not open";
    case -4:
        return "Unknown I/0 error";
    case -6:
        return "No serial port found";
    case -7:
        return "Cannot open port";
    case -99:
        return "Timeout";
    default:
        return "RS-232 error!";
    }
}

std::string TcpFailureText(int code) {
    static const char* const kTexts[] = {"UnableToRegisterService",
                                         "UnableToEstablishConnection",
                                         "ExistingServer",
                                         "FailedToConnect",
                                         "ServerNotRegistered",
                                         "TooManyConversations",
                                         "ReadFailed",
                                         "WriteFailed",
                                         "InvalidParameter",
                                         "OutOfMemory",
                                         "TimeOutError ",
                                         "NoConnectionEstablished ",
                                         "GeneralIOErr",
                                         "ConnectionClosed",
                                         "UnableToLoadWinsockDLL",
                                         "IncorrectWinsockDLLVersion",
                                         "NetworkSubsystemNotReady ",
                                         "ConnectionsStillOpen",
                                         "DisconnectPending",
                                         "InfoNotAvailable"};
    if (code <= -1 && code >= -20) return kTexts[-code - 1];
    return "Connection to server failed";
}

std::string OpenFailureText() {
    const std::string reason = platform::LastOpenFailureReason();
    return reason.empty() ? szStatus : szStatus + " (" + reason + ")";
}

// ---- Transports

void InitRS232() {
    poll = 0;
    platform::CloseCom(comport);
    ret = static_cast<int16_t>(
        std::max(platform::OpenComConfig(comport, "", kBaudRate, platform::kParityNone, kDataBits,
                                         kStopBits, kBufferSize, kBufferSize),
                 -32768));
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
    const int result = platform::ConnectToTCPServer(&handle, portNum, ipBuf, ClientTCPCB, nullptr,
                                                    kConnectTimeoutMs);
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

// It reads only what has arrived and returns: a peer that stops mid-reply leaves the count
// short and the waiting exchange ends at its time limit.
int ClientTCPCB(unsigned handle, int event, int /*errorCode*/, void* /*callbackData*/) {
    if (event == platform::TCP_DISCONNECT) {
        if (static_cast<int32_t>(handle) != g_hconversation) return 0;   // a closed old one
        platform::MessagePopup("TCP Client", "Server has closed connection!");
        g_hconversation = 0;
        tcpcon = 0;
        return 0;
    }
    if (event != platform::TCP_DATAREADY || tcpStreaming) return 0;
    if (static_cast<int32_t>(handle) == g_hconversation && bytesToRead > 0) {
        while (bytesToRead > 0) {
            const int offset = std::clamp(dataSize - bytesToRead, 0, kBufferSize - 1);
            const int wanted = std::min(bytesToRead, kBufferSize - offset);
            bytesRead = platform::ClientTCPRead(handle, szReadBuf + offset, wanted, kReadTimeoutMs);
            if (bytesRead <= 0) break;
            bytesToRead -= bytesRead;
        }
    } else {
        uint8_t scratch[kBufferSize];
        platform::ClientTCPRead(handle, scratch, kBufferSize, kReadTimeoutMs);
    }
    return 0;
}

void DiscardUnawaitedTcpBytes() {
    if (!tcpcon || g_hconversation == 0) return;
    uint8_t scratch[kBufferSize];
    while (platform::ClientTCPRead(static_cast<unsigned>(g_hconversation), scratch, kBufferSize,
                                   0) > 0) {}
}

void FlushSerialQueues() {
    platform::FlushInQ(comport);
    platform::FlushOutQ(comport);
}

}   // namespace sensorlink
