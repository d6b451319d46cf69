// Pseudo-terminals and termination requests on POSIX systems.
#include "sim/system.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstring>

namespace sim {
namespace {

constexpr std::size_t kPtsNameBytes = 128;

bool Fail(Terminal& terminal, const QString& what, QString& error) {
    error = what + ": " + QString::fromLocal8Bit(std::strerror(errno));
    CloseTerminal(terminal);
    return false;
}

// A signal handler may do little safely: it writes one byte into this pipe, and the event
// loop, reading the other end, quits.
int gSignalPipe[2] = {-1, -1};

void OnTerminate(int) {
    const char byte = 0;
    [[maybe_unused]] const ssize_t written = ::write(gSignalPipe[1], &byte, 1);
}

}   // namespace

bool OpenTerminal(Terminal& terminal, QString& error) {
    terminal.m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (terminal.m_master < 0) return Fail(terminal, "posix_openpt", error);
    char name[kPtsNameBytes] = {};
    if (grantpt(terminal.m_master) != 0 || unlockpt(terminal.m_master) != 0 ||
        ptsname_r(terminal.m_master, name, sizeof name) != 0)
        return Fail(terminal, "pseudo-terminal set-up", error);
    fcntl(terminal.m_master, F_SETFL, fcntl(terminal.m_master, F_GETFL) | O_NONBLOCK);
    terminal.m_path = QString::fromLocal8Bit(name);
    terminal.m_slave = ::open(name, O_RDWR | O_NOCTTY);
    if (terminal.m_slave < 0) return Fail(terminal, "open " + terminal.m_path, error);
    termios tio{};
    tcgetattr(terminal.m_slave, &tio);
    cfmakeraw(&tio);
    cfsetispeed(&tio, B19200);
    cfsetospeed(&tio, B19200);
    tcsetattr(terminal.m_slave, TCSANOW, &tio);
    return true;
}

bool LinkTerminal(const Terminal& terminal, const QString& linkPath, QString& error) {
    if (QFileInfo(linkPath).isSymLink()) QFile::remove(linkPath);
    if (::symlink(QFile::encodeName(terminal.m_path).constData(),
                  QFile::encodeName(linkPath).constData()) == 0)
        return true;
    error = "symlink " + linkPath + ": " + QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

void CloseTerminal(Terminal& terminal) {
    if (terminal.m_master >= 0) ::close(terminal.m_master);
    if (terminal.m_slave >= 0) ::close(terminal.m_slave);
    terminal.m_master = -1;
    terminal.m_slave = -1;
}

long long ReadTerminal(const Terminal& terminal, uint8_t* buffer, std::size_t size) {
    const ssize_t n = ::read(terminal.m_master, buffer, size);
    if (n >= 0) return n;
    return errno == EAGAIN || errno == EINTR ? 0 : -1;
}

void WriteTerminal(const Terminal& terminal, const QByteArray& bytes) {
    if (terminal.m_master < 0) return;
    [[maybe_unused]] const ssize_t written =
        ::write(terminal.m_master, bytes.data(), static_cast<size_t>(bytes.size()));
}

// Without the pipe the signals keep their default action, which ends the program at once.
void QuitOnTerminate(QCoreApplication& app) {
    if (::pipe(gSignalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGINT, OnTerminate);
    std::signal(SIGTERM, OnTerminate);
}

}   // namespace sim
