#include "sim/ptyserver.h"

#include "sim/clock.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <algorithm>
#include <cmath>

namespace sim {

namespace {
constexpr size_t kReadChunkBytes = 1024;
}   // namespace

PtyServer::PtyServer(Sensor& sensor, bool paced, QObject* parent)
    : QObject(parent), m_sensor(sensor), m_paced(paced) {
    m_dueTimer.setSingleShot(true);
    m_dueTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_dueTimer, &QTimer::timeout, this, &PtyServer::handleDue);
    connect(&m_sensor, &Sensor::triggeredFrame, this, &PtyServer::forwardTriggered);
}

PtyServer::~PtyServer() {
    hangUp();
    if (!m_link.isEmpty() && QFileInfo(m_link).symLinkTarget() == path()) QFile::remove(m_link);
}

bool PtyServer::open(const QString& linkPath) {
    hangUp();
    QString error;
    if (!OpenTerminal(m_terminal, error)) return fail(error);
    if (!linkPath.isEmpty()) {
        if (!LinkTerminal(m_terminal, linkPath, error)) return fail(error);
        m_link = linkPath;
    }
    m_notifier = new QSocketNotifier(m_terminal.m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PtyServer::receive);
    auto write = [this](const QByteArray& bytes) { this->write(bytes); };
    // Deferred: the hang-up deletes the sender that asks for it.
    auto close = [this] {
        QMetaObject::invokeMethod(this, &PtyServer::hangUp, Qt::QueuedConnection);
    };
    m_sender = new Sender(write, close, m_paced ? kLineByteMs : 0.0, this);
    m_parser = {};
    m_rxFreeMs = 0.0;
    m_error.clear();
    return true;
}

void PtyServer::hangUp() {
    if (m_triggered) m_sensor.watchTriggered(false);
    m_triggered = false;
    m_pending.clear();
    m_dueTimer.stop();
    if (m_notifier) m_notifier->deleteLater();
    if (m_sender) m_sender->deleteLater();
    m_notifier = nullptr;
    m_sender = nullptr;
    CloseTerminal(m_terminal);
}

void PtyServer::sendRaw(const QByteArray& bytes) {
    if (m_sender) m_sender->sendRaw(bytes);
}

bool PtyServer::fail(const QString& reason) {
    hangUp();
    m_error = reason;
    return false;
}

// Reads what the program wrote. Paced, each byte arrives one byte time after the one
// before, and a request is handled when its last byte has arrived.
void PtyServer::receive() {
    uint8_t buffer[kReadChunkBytes];
    for (;;) {
        const long long n = ReadTerminal(m_terminal, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0) m_notifier->setEnabled(false);
            break;
        }
        const double now = NowMs();
        const double start = m_paced ? std::max(now, m_rxFreeMs) : now;
        for (long long i = 0; i < n; ++i)
            if (sensorlink::FeedByte(m_parser, buffer[i]))
                m_pending.push_back(
                    {start + (m_paced ? (i + 1) * kLineByteMs : 0.0), m_parser.m_buffer});
        m_rxFreeMs = start + (m_paced ? n * kLineByteMs : 0.0);
    }
    handleDue();
}

void PtyServer::handleDue() {
    while (!m_pending.empty() && isOpen()) {
        const double now = NowMs();
        if (m_pending.front().m_dueMs > now) {
            m_dueTimer.start(TimerIntervalMs(m_pending.front().m_dueMs - now));
            return;
        }
        const Telegram request = m_pending.front().m_request;
        m_pending.pop_front();
        handle(request);
    }
}

void PtyServer::handle(const Telegram& request) {
    if (IsTriggerRequest(request) && !m_triggered) {
        m_triggered = true;
        m_sensor.watchTriggered(true);
    }
    if (auto reply = m_sensor.answer(request); reply && m_sender) m_sender->send(*reply);
}

// Bytes the pseudo-terminal cannot take (nobody reads the slave) are lost, as on a line.
void PtyServer::write(const QByteArray& bytes) { WriteTerminal(m_terminal, bytes); }

void PtyServer::forwardTriggered(const ReplyPlan& plan) {
    if (m_triggered && m_sender) m_sender->send(plan);
}

}   // namespace sim
