// Termination requests on Windows. Windows has no pseudo-terminals: the simulator serves TCP.
#include "sim/system.h"

#include <windows.h>
#include <QAbstractNativeEventFilter>
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

// A program without windows is asked to end by WM_CLOSE posted to its main thread (what
// QProcess::terminate and other supervisors send, as SIGTERM elsewhere): the event loop quits.
class CloseRequest : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray&, void* message, qintptr*) override {
        const MSG* msg = static_cast<const MSG*>(message);
        if (msg->hwnd != nullptr || msg->message != WM_CLOSE) return false;
        QCoreApplication::quit();
        return true;
    }
};

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

void QuitOnTerminate(QCoreApplication& app) {
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    static CloseRequest closeRequest;
    app.installNativeEventFilter(&closeRequest);
}

}   // namespace sim
