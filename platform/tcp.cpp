// The TCP client: connections by handle, with data-ready and disconnect callbacks.
#include "platform/failurecodes.h"
#include "platform/platform.h"

#include <QPointer>
#include <QTcpSocket>
#include <algorithm>
#include <map>

namespace platform {
namespace {

constexpr int kMaxTcpPort = 65535;
constexpr double kMsPerSecond = 1000.0;
// Unread bytes the socket holds at most; beyond them it stops reading, so a peer that sends
// faster than the program takes its telegrams is held back by TCP instead of filling memory.
constexpr qint64 kReadBufferBytes = 32 * 1024;

// One open client connection and the callback that hears about it.
struct Connection {
    QPointer<QTcpSocket> m_socket;
    TcpCallbackPtr m_callback = nullptr;
    void* m_callbackData = nullptr;
};

std::map<unsigned, Connection> connections;
unsigned nextHandle = 1;

Connection* FindConnection(unsigned handle) {
    auto found = connections.find(handle);
    if (found == connections.end() || found->second.m_socket.isNull()) return nullptr;
    return &found->second;
}

// Each signal looks the handle up again: a callback may have closed the connection.
void Notify(unsigned handle, int event) {
    Connection* connection = FindConnection(handle);
    if (connection == nullptr || connection->m_callback == nullptr) return;
    connection->m_callback(handle, event, 0, connection->m_callbackData);
}

// Drops a connection from the table. The socket is deleted later, as its own signal
// emission (or a wait on it) may be on the stack.
void Forget(unsigned handle) {
    auto found = connections.find(handle);
    if (found == connections.end()) return;
    QPointer<QTcpSocket> socket = found->second.m_socket;
    connections.erase(found);
    if (socket) {
        socket->flush();
        socket->disconnectFromHost();
        socket->deleteLater();
    }
}

void BindConnection(unsigned handle, QTcpSocket* socket) {
    QObject::connect(socket, &QTcpSocket::readyRead, socket,
                     [handle] { Notify(handle, TCP_DATAREADY); });
    // The peer closed: report it once, then the handle is gone.
    QObject::connect(socket, &QTcpSocket::disconnected, socket, [handle] {
        Notify(handle, TCP_DISCONNECT);
        Forget(handle);
    });
}

bool Connecting(const QTcpSocket* socket) {
    return socket->state() != QAbstractSocket::ConnectedState &&
           socket->state() != QAbstractSocket::UnconnectedState;
}

}   // namespace

int ConnectToTCPServer(unsigned* handle, int port, const std::string& host, TcpCallbackPtr callback,
                       void* callbackData, int timeoutMs) {
    NoteOpenFailure({});
    if (handle == nullptr || host.empty() || port <= 0 || port > kMaxTcpPort) {
        return kTcpErrInvalidParameter;
    }
    auto* socket = new QTcpSocket;
    socket->setReadBufferSize(kReadBufferBytes);
    socket->connectToHost(QString::fromStdString(host), static_cast<quint16>(port));
    const double deadline = Timer() + timeoutMs / kMsPerSecond;
    while (Connecting(socket) && Timer() < deadline) ProcessSystemEvents();

    if (socket->state() != QAbstractSocket::ConnectedState) {
        const bool timedOut = Connecting(socket);
        NoteOpenFailure(timedOut ? QStringLiteral("no answer within %1 ms").arg(timeoutMs)
                                 : socket->errorString());
        const int code = timedOut ? kTcpErrTimeOut : TcpFailureCode(socket->error());
        socket->abort();
        delete socket;
        return code;
    }
    // A telegram leaves at once, not after the acknowledgement of an unanswered one (Nagle).
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    const unsigned newHandle = nextHandle++;
    connections[newHandle] = Connection{socket, callback, callbackData};
    BindConnection(newHandle, socket);
    // Bytes that came with the connection raised their signal before anyone listened.
    if (socket->bytesAvailable() > 0) {
        PostDeferredCall([newHandle] { Notify(newHandle, TCP_DATAREADY); });
    }
    *handle = newHandle;
    return 0;
}

int ClientTCPWrite(unsigned handle, const void* data, int count, int timeoutMs) {
    Connection* connection = FindConnection(handle);
    if (connection == nullptr) return kTcpErrNoConnection;
    if (count < 0 || (data == nullptr && count > 0)) return kTcpErrInvalidParameter;
    QPointer<QTcpSocket> socket = connection->m_socket;
    if (socket->state() != QAbstractSocket::ConnectedState) return kTcpErrConnectionClosed;
    if (socket->write(static_cast<const char*>(data), count) < 0) return kTcpErrWriteFailed;
    // Normally the system takes all bytes here and no event is processed, so a reply
    // cannot be handled before the caller has armed its read count.
    socket->flush();
    const double deadline = Timer() + timeoutMs / kMsPerSecond;
    while (socket && socket->state() == QAbstractSocket::ConnectedState &&
           socket->bytesToWrite() > 0) {
        if (Timer() >= deadline) return kTcpErrTimeOut;
        ProcessSystemEvents();
        if (socket) socket->flush();
    }
    if (!socket || socket->bytesToWrite() > 0) return kTcpErrConnectionClosed;
    return count;
}

int ClientTCPRead(unsigned handle, void* buffer, int count, int /*timeoutMs*/) {
    Connection* connection = FindConnection(handle);
    if (connection == nullptr) return kTcpErrNoConnection;
    if (count < 0 || (buffer == nullptr && count > 0)) return kTcpErrInvalidParameter;
    QTcpSocket* socket = connection->m_socket.data();
    const qint64 wanted = std::min<qint64>(count, socket->bytesAvailable());
    if (wanted <= 0) {
        return socket->state() == QAbstractSocket::ConnectedState || count == 0
                   ? 0
                   : kTcpErrConnectionClosed;
    }
    const qint64 got = socket->read(static_cast<char*>(buffer), wanted);
    return got < 0 ? kTcpErrReadFailed : static_cast<int>(got);
}

int DisconnectFromTCPServer(unsigned handle) {
    if (connections.find(handle) == connections.end()) return kTcpErrNoConnection;
    Forget(handle);
    return 0;
}

}   // namespace platform
