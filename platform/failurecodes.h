#pragma once
// The negative codes of the serial and TCP operations, and the one table that turns Qt's
// failures into them. The status texts shown to the user are bound to these codes.
#include <QAbstractSocket>
#include <QSerialPort>

namespace platform {

// Serial port codes.
constexpr int kComErrUnknown = -1;      // "Unknown system error"
constexpr int kComErrBadPort = -2;      // "Invalid port number"
constexpr int kComErrNotOpen = -3;      // "Port is not open"
constexpr int kComErrIo = -4;           // "Unknown I/0 error"
constexpr int kComErrNoPorts = -6;      // "No serial port found"
constexpr int kComErrCannotOpen = -7;   // "Cannot open port"

// TCP client codes.
constexpr int kTcpErrUnableToEstablish = -2;   // "UnableToEstablishConnection"
constexpr int kTcpErrFailedToConnect = -4;     // "FailedToConnect"
constexpr int kTcpErrReadFailed = -7;          // "ReadFailed"
constexpr int kTcpErrWriteFailed = -8;         // "WriteFailed"
constexpr int kTcpErrInvalidParameter = -9;    // "InvalidParameter"
constexpr int kTcpErrOutOfMemory = -10;        // "OutOfMemory"
constexpr int kTcpErrTimeOut = -11;            // "TimeOutError "
constexpr int kTcpErrNoConnection = -12;       // "NoConnectionEstablished "
constexpr int kTcpErrGeneralIo = -13;          // "GeneralIOErr"
constexpr int kTcpErrConnectionClosed = -14;   // "ConnectionClosed"

int SerialFailureCode(QSerialPort::SerialPortError error);
int TcpFailureCode(QAbstractSocket::SocketError error);

// Keeps the system's reason of a failed open or connect for LastOpenFailureReason; an
// empty one at the start of each attempt.
void NoteOpenFailure(const QString& reason);

}   // namespace platform
