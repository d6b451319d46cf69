// Termination requests on Windows. Windows has no pseudo-terminals: the simulator serves TCP.
#include "sim/system.h"

#include <windows.h>
#include <QCoreApplication>
#include <QMetaObject>

namespace sim {
namespace {

// Runs on a thread of its own that the system starts: it only queues the quit for the event
// loop, and tells the system the request is handled.
BOOL WINAPI OnConsoleControl(DWORD) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                              Qt::QueuedConnection);
    return TRUE;
}

}   // namespace

bool OpenTerminal(Terminal&, QString& error) {
    error = "pseudo-terminals are not available on Windows: use --tcp";
    return false;
}

bool LinkTerminal(const Terminal&, const QString&, QString& error) {
    error = "pseudo-terminals are not available on Windows";
    return false;
}

void CloseTerminal(Terminal& terminal) { terminal = {}; }

long long ReadTerminal(const Terminal&, uint8_t*, std::size_t) { return -1; }

void WriteTerminal(const Terminal&, const QByteArray&) {}

void QuitOnTerminate(QCoreApplication&) { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

}   // namespace sim
