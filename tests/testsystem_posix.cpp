#include "testsystem.h"

#include <QProcess>

#include <fcntl.h>
#include <netinet/in.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>

namespace testsystem {

int OpenDevice(const char* path) { return ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK); }

int ConnectTo(quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (fd >= 0) ::close(fd);
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    return fd;
}

long long ReadSome(int fd, char* buffer, long long size) {
    const ssize_t n = ::read(fd, buffer, static_cast<size_t>(size));
    return n < 0 && (errno == EAGAIN || errno == EINTR) ? 0 : n;
}

long long WriteAll(int fd, const char* bytes, long long size) { return ::write(fd, bytes, static_cast<size_t>(size)); }

void Close(int fd) {
    if (fd >= 0) ::close(fd);
}

bool OpenTestTerminal(int& master, int& slave, std::string& path) {
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return false;
    path = name;
    return true;
}

int ListenWithoutQueue(quint16& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(fd, 0) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        Close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

bool ReadLineSettings(int fd, LineSettings& settings) {
    termios line{};
    if (tcgetattr(fd, &line) != 0) return false;
    const auto baud = [](speed_t speed) { return speed == B19200 ? 19200u : speed == B9600 ? 9600u : 0u; };
    settings = {baud(cfgetispeed(&line)), baud(cfgetospeed(&line)), (line.c_cflag & CSTOPB) != 0,
                (line.c_cflag & CRTSCTS) != 0, (line.c_iflag & (IXON | IXOFF)) != 0};
    return true;
}

bool LimitFileSize(long long bytes) {
    std::signal(SIGXFSZ, SIG_IGN);   // a failed write, not the end of the process
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = bytes < 0 ? RLIM_INFINITY : static_cast<rlim_t>(bytes);
    return setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

bool LimitFileSizeOf(QProcess& process, long long bytes) {
    process.setChildProcessModifier([bytes] { LimitFileSize(bytes); });
    return true;
}

bool SendSignal(qint64 pid, int signal) { return ::kill(static_cast<pid_t>(pid), signal) == 0; }

QByteArray PrintedText(QByteArray output) { return output; }

}   // namespace testsystem
