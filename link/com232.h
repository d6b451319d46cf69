#pragma once
// com232: the telegram buffers and records, their packing, the state of the two transports
// (RS-232 and TCP) from which every exchange with the sensor is built, and the hooks through
// which the link reaches the program above it. One thread; every wait processes
// events, so other callbacks (STOP, the TCP client callback) run nested inside it.
#include <cstdint>
#include <functional>
#include <string>

#include "core/telegram.h"

namespace sensorlink {

// ---- Telegram constants (set once by start-up)
inline uint16_t sync = kSyncWord;
inline uint16_t anzframe = kTelegramWords;
inline uint16_t anzpara = kRecordWords;
inline uint16_t anzdata = kRecordWords;
inline uint16_t order = kCodeParaWrite;   // code of the telegram being packed

// ---- Buffers
constexpr int kBufferSize = 1024;          // transmit and receive buffers, serial queues
inline uint8_t szWriteBuf[kBufferSize];    // bytes 0-35: the telegram last packed
inline uint8_t szReadBuf[kBufferSize];     // bytes 0-35: the last reply
inline uint16_t pp[kTelegramWords];        // parameter record buffer
inline uint16_t databuf[kTelegramWords];   // last data frame: mark, code, 16 data words

// ---- Parameter values, in record order
inline uint16_t paraPower, paraPmode, paraDynWinLo, paraDynWinHi, paraAverage, paraOutmode,
    paraHold, paraTrshMode, paraTrshTracing, paraTrshTracingUp, paraTrshTracingDown, paraTeachValue,
    paraTol, paraHyst, frei15, frei16;

// ---- Data values, in frame order (frame words 2-17)
inline uint16_t dataANA0, dataOutTol, dataRef, dataFrei4, dataFrei5, dataFrei6, dataFrei7,
    dataFrei8, dataFrei9, dataFrei10, dataFrei11, dataFrei12, dataFrei13, dataFrei14, dataFrei15,
    dataTemp;

// ---- Run flag shared by the polling and recording loops: 1 while one runs
inline uint16_t poll = 0;

// ---- Interface selection and state
constexpr uint16_t kRS232 = 0;
constexpr uint16_t kTCPIP = 1;
inline uint16_t comprotocol = kRS232;
inline uint16_t comport = 1;
constexpr int kMaxAddressLength = 99;   // longest server address kept
inline std::string ipBuf;               // server host name or IP address
inline int32_t portNum = 0;             // server TCP port
inline int32_t g_hconversation = 0;     // open TCP conversation, 0 when none
inline uint16_t tcpcon = 0;             // 1 while a TCP conversation is open
inline int16_t ret = 0;                 // result of the last open or connect
inline std::string szStatus;            // failure text of the last open or connect
inline int16_t nBytesW = 0;             // result of the last write, never evaluated

// ---- Reply accounting, shared by the waits and the TCP client callback
inline int32_t dataSize = 0;      // RS-232: bytes queued; TCP: bytes expected
inline int32_t bytesToRead = 0;   // bytes still missing; 0 complete; < 0 too many
inline int32_t bytesRead = 0;     // result of the last TCP read in the callback
inline double tstart = 0.0;       // start of the wait in progress, seconds
inline double tdiff = 0.0;        // time elapsed in the wait in progress

// ---- Serial settings
constexpr long kBaudRate = 19200;
constexpr int kDataBits = 8;
constexpr int kStopBits = 1;
constexpr double kSerialTimeoutS = 2.0;

// ---- TCP settings
constexpr int kConnectTimeoutMs = 5000;
constexpr int kWriteTimeoutMs = 2000;   // every write but the identification request
constexpr int kIdentifyWriteTimeoutMs = 5000;
constexpr int kReadTimeoutMs = 5000;

// What the link asks of the program above it. The shell installs it at start-up (InitAll);
// tests and the command-line tool install their own. A member left empty does nothing.
struct LinkHooks {
    std::function<void(const std::string&)> m_showStatus;   // both status displays
    std::function<void()> m_exchangeFailed;      // after "TIMEOUT": the connection settings
    std::function<void()> m_readPanel;           // parameter panel -> parameter values
    std::function<void()> m_parametersChanged;   // parameter values -> parameter panel
    std::function<void()> m_frameTaken;          // a frame of the GO loop is in the data values
    std::function<void()> m_sensorReady;         // identified and its parameters read
    // Each telegram as the transport handles it, for tracing: direction '>' written or '<'
    // received (a reply at the end of its wait, or a frame of a stream), its bytes, how
    // many of the 36 are missing (0 all there, 36 none, < 0 that many too many) and, for a
    // reply, how long it was awaited.
    std::function<void(char direction, const uint8_t* bytes, int32_t missing, double waitedS)>
        m_telegramTraced;
};
inline LinkHooks hooks;
void ShowStatus(const std::string& text);   // through hooks.m_showStatus

// ---- Packing
void FillTxBuf(uint16_t code);   // sync, code, words 0-15 of pp into szWriteBuf
void GetRxBufPara();             // szReadBuf bytes 0-35 -> pp words 0-17
void GetRxBufData();             // szReadBuf bytes 0-35 -> databuf words 0-17
void CopyVarsToPP();             // parameter values -> pp words 0-15
void CopyPPtoVars();             // pp words 2-17 -> parameter values, only after 170, 3
void CopyFileParatoVars();       // pp words 0-15 -> parameter values
void CopyDatatoVars();           // databuf words 2-17 -> data values

// ---- Failure texts of the open operations
std::string SerialFailureText(int code);
std::string TcpFailureText(int code);

// szStatus of the last open that failed, with the system's reason in brackets when it gave
// one: "Cannot open port (Permission denied)".
std::string OpenFailureText();

// ---- The two transports' own operations (used through link/transport.h)
void InitRS232();    // opens comport; outcome in ret (and szStatus on failure)
void InitTCP_IP();   // connects to ipBuf:portNum; outcome in ret and tcpcon
// Receives for the conversation. While a reply is awaited the bytes land in order from byte
// 0 of szReadBuf, never more than are missing; while a stream of frames is taken they stay
// in the socket; otherwise they are read and dropped.
int ClientTCPCB(unsigned handle, int event, int errorCode, void* callbackData);
inline bool tcpStreaming = false;   // a stream of frames is taken from the socket
void DiscardUnawaitedTcpBytes();    // reads and drops what the conversation holds
void FlushSerialQueues();           // discards stale bytes in both serial queues

}   // namespace sensorlink
