#include "testsystem.h"

#include <winsock2.h>

namespace testsystem {

int OpenDevice(const char*) { return -1; }

int ConnectTo(quint16 port) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return -1;
    const SOCKET fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd == INVALID_SOCKET || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (fd != INVALID_SOCKET) closesocket(fd);
        return -1;
    }
    u_long nonBlocking = 1;
    ioctlsocket(fd, FIONBIO, &nonBlocking);
    return static_cast<int>(fd);
}

long long ReadSome(int fd, char* buffer, long long size) {
    const int n = ::recv(static_cast<SOCKET>(fd), buffer, static_cast<int>(size), 0);
    return n < 0 && WSAGetLastError() == WSAEWOULDBLOCK ? 0 : n;
}

long long WriteAll(int fd, const char* bytes, long long size) {
    return ::send(static_cast<SOCKET>(fd), bytes, static_cast<int>(size), 0);
}

void Close(int fd) {
    if (fd >= 0) closesocket(static_cast<SOCKET>(fd));
}

bool OpenTestTerminal(int&, int&, std::string&) { return false; }

// The Windows runs leave out the tests that need these (scripts/test-windows).
int ListenWithoutQueue(quint16&) { return -1; }

bool ReadLineSettings(int, LineSettings&) { return false; }

bool LimitFileSize(long long) { return false; }

bool LimitFileSizeOf(QProcess&, long long) { return false; }

bool SendSignal(qint64, int) { return false; }

QByteArray PrintedText(QByteArray output) { return output.replace("\r\n", "\n"); }

}   // namespace testsystem
