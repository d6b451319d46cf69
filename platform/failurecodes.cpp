#include "platform/failurecodes.h"

#include "platform/platform.h"

namespace platform {
namespace {

// One row of the table: a Qt failure and the code the callers see for it.
template <typename QtError>
struct FailureRow {
    QtError m_error;
    int m_code = 0;
};

constexpr FailureRow<QSerialPort::SerialPortError> kSerialRows[] = {
    // The device of a table entry is gone or was never there: it cannot be opened.
    {QSerialPort::DeviceNotFoundError, kComErrCannotOpen},
    // Another process holds the port, or we may not open it.
    {QSerialPort::PermissionError, kComErrCannotOpen},
    // Already open, or the driver refused the open.
    {QSerialPort::OpenError, kComErrCannotOpen},
    // An operation on a port that is not open.
    {QSerialPort::NotOpenError, kComErrNotOpen},
    // The device disappeared while open (unplugged adapter).
    {QSerialPort::ResourceError, kComErrIo},
    // The driver failed a read or a write.
    {QSerialPort::ReadError, kComErrIo},
    {QSerialPort::WriteError, kComErrIo},
    // The driver cannot apply a setting (baud rate, parity ...).
    {QSerialPort::UnsupportedOperationError, kComErrUnknown},
    {QSerialPort::TimeoutError, kComErrUnknown},
    {QSerialPort::UnknownError, kComErrUnknown},
};

constexpr FailureRow<QAbstractSocket::SocketError> kTcpRows[] = {
    // Nobody listens on that port: the peer answered with a reset.
    {QAbstractSocket::ConnectionRefusedError, kTcpErrFailedToConnect},
    // The network cannot reach the host.
    {QAbstractSocket::NetworkError, kTcpErrFailedToConnect},
    // The name could not be resolved (or is not a valid host name at all).
    {QAbstractSocket::HostNotFoundError, kTcpErrUnableToEstablish},
    // The socket's own time-out elapsed.
    {QAbstractSocket::SocketTimeoutError, kTcpErrTimeOut},
    // The peer closed the connection before it was established or while in use.
    {QAbstractSocket::RemoteHostClosedError, kTcpErrConnectionClosed},
    // The system ran out of sockets or memory.
    {QAbstractSocket::SocketResourceError, kTcpErrOutOfMemory},
    // Proxy failures count as failures to reach the server.
    {QAbstractSocket::ProxyConnectionRefusedError, kTcpErrFailedToConnect},
    {QAbstractSocket::ProxyConnectionClosedError, kTcpErrConnectionClosed},
    {QAbstractSocket::ProxyConnectionTimeoutError, kTcpErrTimeOut},
    {QAbstractSocket::ProxyNotFoundError, kTcpErrUnableToEstablish},
    // Everything else (access, address in use, unsupported operation ...) is a general
    // I/O failure.
    {QAbstractSocket::UnknownSocketError, kTcpErrGeneralIo},
};

std::string lastOpenFailure;   // see LastOpenFailureReason

template <typename QtError, std::size_t N>
int Lookup(const FailureRow<QtError> (&rows)[N], QtError error, int fallback) {
    for (const auto& row : rows) {
        if (row.m_error == error) return row.m_code;
    }
    return fallback;
}

}   // namespace

int SerialFailureCode(QSerialPort::SerialPortError error) {
    return Lookup(kSerialRows, error, kComErrUnknown);
}

int TcpFailureCode(QAbstractSocket::SocketError error) {
    return Lookup(kTcpRows, error, kTcpErrGeneralIo);
}

void NoteOpenFailure(const QString& reason) { lastOpenFailure = reason.toStdString(); }

std::string LastOpenFailureReason() { return lastOpenFailure; }

}   // namespace platform
