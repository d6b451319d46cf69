#pragma once
// The tests' own few system calls, one file a system, and the line ends of what programs print.
// Windows has no pseudo-terminals and no signals: there OpenDevice, OpenTestTerminal and
// SendSignal fail, and the tests that need them are left out (scripts/test-windows).
#include <QByteArray>
#include <QtGlobal>
#include <string>

class QProcess;

namespace testsystem {

int OpenDevice(const char* path);   // -1 on failure
int ConnectTo(quint16 port);        // -1 on failure
// The bytes read (0 when none are waiting), or the bytes written; negative on failure.
long long ReadSome(int fd, char* buffer, long long size);
long long WriteAll(int fd, const char* bytes, long long size);
void Close(int fd);
// A new pseudo-terminal: both descriptors and the slave's device path; false on failure.
bool OpenTestTerminal(int& master, int& slave, std::string& path);
// A loopback server that never accepts, with a queue of one: its descriptor and port; -1 on failure.
int ListenWithoutQueue(quint16& port);
// A terminal's line as the system reports it, for the settings the sensor's line needs.
struct LineSettings {
    unsigned inSpeed = 0, outSpeed = 0;   // baud
    bool twoStopBits = false, rtsCts = false, xonXoff = false;
    bool operator==(const LineSettings&) const = default;
};
bool ReadLineSettings(int fd, LineSettings& settings);   // false where there are no terminals
// A disk that fills up: no file of this process (or of a process before it starts) grows beyond
// `bytes` (negative: no limit). False where the system has no such limit.
bool LimitFileSize(long long bytes);
bool LimitFileSizeOf(QProcess& process, long long bytes);
// SIGINT or SIGTERM to a process; false where the system has no such signals.
bool SendSignal(qint64 pid, int signal);
// What a program printed, its lines ending in LF: the C run-time's text mode on Windows ends
// them in CR LF.
QByteArray PrintedText(QByteArray output);

}   // namespace testsystem
