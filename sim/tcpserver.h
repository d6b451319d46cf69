#pragma once
// The simulated sensor as a TCP server: any number of client connections, one after
// another or at once, each with its own request parser and triggered mode.
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <vector>

#include "sim/protocol.h"
#include "sim/sender.h"
#include "sim/sensor.h"

class QTcpSocket;

namespace sim {

// Serves the sensor's telegrams over TCP; the sensor must outlive the server.
class TcpServer : public QObject {
    Q_OBJECT

public:
    explicit TcpServer(Sensor& sensor, QObject* parent = nullptr);
    ~TcpServer() override;

    // Listens on address and port (0 = any free port); false with errorString() on failure.
    bool listen(const QHostAddress& address, quint16 port);
    quint16 port() const { return m_server.serverPort(); }
    QString errorString() const { return m_server.errorString(); }
    int connectionCount() const { return static_cast<int>(m_connections.size()); }
    // Queues bytes for every open connection, behind the replies already queued.
    void sendRaw(const QByteArray& bytes);

private:
    // One client connection and its protocol state.
    struct Connection {
        QPointer<QTcpSocket> m_socket;
        Sender* m_sender = nullptr;
        RequestParser m_parser;
        bool m_triggered = false;
    };

    void accept();
    void receive(QTcpSocket* socket);
    void drop(QTcpSocket* socket);
    void forwardTriggered(const ReplyPlan& plan);
    Connection* find(QTcpSocket* socket);

    Sensor& m_sensor;
    QTcpServer m_server;
    std::vector<Connection> m_connections;
};

}   // namespace sim
