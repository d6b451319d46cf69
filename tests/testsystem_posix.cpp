#include "testsystem.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <pty.h>
#include <sys/socket.h>
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

bool SendSignal(qint64 pid, int signal) { return ::kill(static_cast<pid_t>(pid), signal) == 0; }

QByteArray PrintedText(QByteArray output) { return output; }

}   // namespace testsystem
