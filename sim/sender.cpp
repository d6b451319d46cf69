#include "sim/sender.h"

#include "sim/clock.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace sim {

Sender::Sender(WriteFn write, CloseFn close, double byteTimeMs, QObject* parent)
    : QObject(parent),
      m_write(std::move(write)),
      m_close(std::move(close)),
      m_byteTimeMs(byteTimeMs) {
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Sender::pump);
}

void Sender::send(const ReplyPlan& plan) {
    const QByteArray bytes(reinterpret_cast<const char*>(plan.m_bytes.data()),
                           static_cast<qsizetype>(plan.m_bytes.size()));
    const qsizetype piece =
        plan.m_pieceBytes > 0 ? plan.m_pieceBytes : std::max<qsizetype>(bytes.size(), 1);
    int wait = plan.m_delayMs;
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        enqueue({wait, bytes.mid(at, piece), false});
        wait = plan.m_pieceGapMs;
    }
    if (plan.m_closeAfter) enqueue({wait, {}, true});
}

void Sender::sendRaw(const QByteArray& bytes) { enqueue({0, bytes, false}); }

void Sender::enqueue(Step step) {
    if (m_closed) return;
    m_steps.push_back(std::move(step));
    if (m_steps.size() == 1) pump();
}

// Writes whatever is due now and arms the timer for the next byte or step.
void Sender::pump() {
    while (!m_steps.empty()) {
        Step& step = m_steps.front();
        const double now = NowMs();
        if (!m_frontStarted) {
            m_frontStarted = true;
            m_frontStartMs = now + step.m_waitMs;
            m_frontSent = 0;
        }
        if (now < m_frontStartMs) {
            m_timer.start(TimerIntervalMs(m_frontStartMs - now));
            return;
        }
        qsizetype due = step.m_bytes.size();
        if (m_byteTimeMs > 0.0)
            due = std::min(due, static_cast<qsizetype>((now - m_frontStartMs) / m_byteTimeMs));
        if (due > m_frontSent) {
            m_write(step.m_bytes.mid(m_frontSent, due - m_frontSent));
            m_frontSent = due;
        }
        if (m_frontSent < step.m_bytes.size()) {
            const double next =
                m_frontStartMs + static_cast<double>(m_frontSent + 1) * m_byteTimeMs;
            m_timer.start(TimerIntervalMs(std::max(next - now, 1.0)));
            return;
        }
        const bool close = step.m_close;
        m_steps.pop_front();
        m_frontStarted = false;
        if (close) {
            m_steps.clear();
            m_closed = true;
            m_close();
            return;
        }
    }
}

}   // namespace sim
