#include "sim/ptyserver.h"

#include "sim/clock.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace sim {

namespace {
constexpr size_t kReadChunkBytes = 1024;
constexpr size_t kPtsNameBytes = 128;
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
    if (!m_link.isEmpty() && QFileInfo(m_link).symLinkTarget() == m_path) QFile::remove(m_link);
}

bool PtyServer::open(const QString& linkPath) {
    hangUp();
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) return fail("posix_openpt");
    char name[kPtsNameBytes] = {};
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0 ||
        ptsname_r(m_master, name, sizeof name) != 0)
        return fail("pseudo-terminal set-up");
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_path = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slave < 0) return fail("open " + m_path);
    termios tio{};
    tcgetattr(m_slave, &tio);
    cfmakeraw(&tio);
    cfsetispeed(&tio, B19200);
    cfsetospeed(&tio, B19200);
    tcsetattr(m_slave, TCSANOW, &tio);
    if (!linkPath.isEmpty()) {
        if (QFileInfo(linkPath).isSymLink()) QFile::remove(linkPath);
        if (::symlink(name, QFile::encodeName(linkPath).constData()) != 0)
            return fail("symlink " + linkPath);
        m_link = linkPath;
    }
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
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
    if (m_master >= 0) ::close(m_master);
    if (m_slave >= 0) ::close(m_slave);
    m_master = -1;
    m_slave = -1;
}

void PtyServer::sendRaw(const QByteArray& bytes) {
    if (m_sender) m_sender->sendRaw(bytes);
}

bool PtyServer::fail(const QString& what) {
    const QString reason = what + ": " + QString::fromLocal8Bit(std::strerror(errno));
    hangUp();
    m_error = reason;
    return false;
}

// Reads what the program wrote. Paced, each byte arrives one byte time after the one
// before, and a request is handled when its last byte has arrived.
void PtyServer::receive() {
    uint8_t buffer[kReadChunkBytes];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && errno != EAGAIN && errno != EINTR) m_notifier->setEnabled(false);
            break;
        }
        const double now = NowMs();
        const double start = m_paced ? std::max(now, m_rxFreeMs) : now;
        for (ssize_t i = 0; i < n; ++i)
            if (sensorlink::FeedByte(m_parser, buffer[i]))
                m_pending.push_back(
                    {start + (m_paced ? (i + 1) * kLineByteMs : 0.0), m_parser.m_buffer});
        m_rxFreeMs = start + (m_paced ? n * kLineByteMs : 0.0);
    }
    handleDue();
}

void PtyServer::handleDue() {
    while (!m_pending.empty() && m_master >= 0) {
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
void PtyServer::write(const QByteArray& bytes) {
    if (m_master < 0) return;
    const ssize_t written = ::write(m_master, bytes.data(), static_cast<size_t>(bytes.size()));
    Q_UNUSED(written)
}

void PtyServer::forwardTriggered(const ReplyPlan& plan) {
    if (m_triggered && m_sender) m_sender->send(plan);
}

}   // namespace sim
