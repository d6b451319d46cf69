#pragma once
// Outgoing side of one simulated connection: replies leave in order, each after its delay,
// in pieces with pauses, optionally paced at a line's byte rate, and a planned hang-up
// closes the connection once the bytes before it have left.
#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>

#include "sim/fault.h"

namespace sim {

// Schedules the bytes of replies for one connection on the event loop, never blocking.
class Sender : public QObject {
    Q_OBJECT

public:
    using WriteFn = std::function<void(const QByteArray&)>;
    using CloseFn = std::function<void()>;

    // byteTimeMs > 0 paces the bytes: byte k of a piece leaves (k + 1) byte times after the
    // piece may start.
    Sender(WriteFn write, CloseFn close, double byteTimeMs, QObject* parent = nullptr);

    // Both do nothing once a planned close has been carried out.
    void send(const ReplyPlan& plan);
    void sendRaw(const QByteArray& bytes);

private:
    // A piece of output: it may start m_waitMs after the previous one has left.
    struct Step {
        int m_waitMs = 0;
        QByteArray m_bytes;
        bool m_close = false;   // close the connection after m_bytes
    };

    void enqueue(Step step);
    void pump();

    WriteFn m_write;
    CloseFn m_close;
    double m_byteTimeMs = 0.0;
    std::deque<Step> m_steps;
    bool m_closed = false;         // a planned close has been carried out
    bool m_frontStarted = false;   // the start time of the front step is fixed
    double m_frontStartMs = 0.0;   // when the front step may start
    qsizetype m_frontSent = 0;     // bytes of the front step already written
    QTimer m_timer;
};

}   // namespace sim
