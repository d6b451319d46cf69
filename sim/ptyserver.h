#pragma once
// The simulated sensor behind a pseudo-terminal, optionally paced like a real line at
// 19200 baud. The program opens the slave side like a serial port. POSIX systems only: on
// Windows open() fails and says so.
#include <QObject>
#include <QString>
#include <QTimer>
#include <deque>

#include "sim/protocol.h"
#include "sim/sender.h"
#include "sim/sensor.h"
#include "sim/system.h"

class QSocketNotifier;

namespace sim {

constexpr int kLineBaud = 19200;       // bits per second of the simulated serial line
constexpr int kLineBitsPerByte = 10;   // start bit, 8 data bits, stop bit
constexpr double kLineByteMs = 1000.0 * kLineBitsPerByte / kLineBaud;   // about 0.52 ms

// Serves the sensor's telegrams on a pseudo-terminal; the sensor must outlive the server.
class PtyServer : public QObject {
    Q_OBJECT

public:
    // paced: a request counts as received 36 byte times after its first byte, and reply
    // bytes leave one byte time apart.
    PtyServer(Sensor& sensor, bool paced, QObject* parent = nullptr);
    ~PtyServer() override;

    // Opens a new pseudo-terminal (hanging up an open one) and, if linkPath is given,
    // points a symbolic link there at its device; false with errorString() on failure.
    bool open(const QString& linkPath = {});
    bool isOpen() const { return m_terminal.m_master >= 0; }
    // The device the program opens, e.g. /dev/pts/7.
    QString path() const { return m_terminal.m_path; }
    QString errorString() const { return m_error; }
    // Closes both sides: the program's reads and writes fail as after a hang-up.
    void hangUp();
    // Queues bytes behind the replies already queued.
    void sendRaw(const QByteArray& bytes);

private:
    bool fail(const QString& reason);
    void receive();
    void handleDue();
    void handle(const Telegram& request);
    void write(const QByteArray& bytes);
    void forwardTriggered(const ReplyPlan& plan);

    // A whole request and when it counts as received.
    struct Pending {
        double m_dueMs = 0.0;
        Telegram m_request{};
    };

    Sensor& m_sensor;
    bool m_paced = false;
    // The slave is held open so that the master sees no hang-up when the program closes it.
    Terminal m_terminal;
    QString m_link;
    QString m_error;
    QSocketNotifier* m_notifier = nullptr;
    Sender* m_sender = nullptr;
    RequestParser m_parser;
    bool m_triggered = false;
    double m_rxFreeMs = 0.0;   // when the simulated line has delivered the bytes received so far
    std::deque<Pending> m_pending;
    QTimer m_dueTimer;
};

}   // namespace sim
