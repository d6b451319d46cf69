#include "sim/tcpserver.h"

#include <QTcpSocket>
#include <algorithm>

namespace sim {

TcpServer::TcpServer(Sensor& sensor, QObject* parent) : QObject(parent), m_sensor(sensor) {
    connect(&m_server, &QTcpServer::newConnection, this, &TcpServer::accept);
    connect(&m_sensor, &Sensor::triggeredFrame, this, &TcpServer::forwardTriggered);
}

TcpServer::~TcpServer() {
    for (Connection& c : m_connections) {
        if (c.m_triggered) m_sensor.watchTriggered(false);
        if (c.m_socket) c.m_socket->disconnect(this);
    }
}

bool TcpServer::listen(const QHostAddress& address, quint16 port) {
    return m_server.listen(address, port);
}

void TcpServer::sendRaw(const QByteArray& bytes) {
    for (Connection& c : m_connections) c.m_sender->sendRaw(bytes);
}

void TcpServer::accept() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        auto write = [socket](const QByteArray& bytes) { socket->write(bytes); };
        // Deferred, so that no connection disappears while the server walks its list.
        auto close = [socket] {
            QMetaObject::invokeMethod(socket, &QTcpSocket::disconnectFromHost,
                                      Qt::QueuedConnection);
        };
        auto* sender = new Sender(write, close, 0.0, socket);
        m_connections.push_back({socket, sender, {}, false});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { receive(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { drop(socket); });
    }
}

void TcpServer::receive(QTcpSocket* socket) {
    const QByteArray bytes = socket->readAll();
    Connection* c = find(socket);
    if (!c) return;
    const auto requests = FeedBytes(c->m_parser, reinterpret_cast<const uint8_t*>(bytes.data()),
                                    static_cast<size_t>(bytes.size()));
    for (const Telegram& request : requests) {
        if (IsTriggerRequest(request) && !c->m_triggered) {
            c->m_triggered = true;
            m_sensor.watchTriggered(true);
        }
        if (auto reply = m_sensor.answer(request)) c->m_sender->send(*reply);
    }
}

// Forgets a closed connection; the socket and its sender go once control is back in the
// event loop.
void TcpServer::drop(QTcpSocket* socket) {
    const auto it = std::find_if(m_connections.begin(), m_connections.end(),
                                 [socket](const Connection& c) { return c.m_socket == socket; });
    if (it == m_connections.end()) return;
    if (it->m_triggered) m_sensor.watchTriggered(false);
    m_connections.erase(it);
    socket->deleteLater();
}

void TcpServer::forwardTriggered(const ReplyPlan& plan) {
    for (Connection& c : m_connections)
        if (c.m_triggered) c.m_sender->send(plan);
}

TcpServer::Connection* TcpServer::find(QTcpSocket* socket) {
    for (Connection& c : m_connections)
        if (c.m_socket == socket) return &c;
    return nullptr;
}

}   // namespace sim
