// The event loop, deferred calls, the wait cursor and time.
#include "platform/platform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <csignal>

namespace platform {
namespace {

// Longest time one ProcessSystemEvents call blocks when nothing happens.
constexpr int kIdleTickMs = 1;
constexpr double kMsPerSecond = 1000.0;

QPointer<QEventLoop> runningLoop;   // the loop of RunUserInterface
bool quitRequested = false;
int quitCode = 0;
bool waitCursorOn = false;

// The test clock: while it is in use, Timer() reads testNowS instead of the monotonic clock.
bool testClockInUse = false;
double testNowS = 0.0;

// Ctrl+C: the signal handler only sets the flag; the next pass of ProcessSystemEvents calls
// the handler, where any code may run.
volatile std::sig_atomic_t interruptPending = 0;
std::function<void()> interruptHandler;

extern "C" void NoteInterrupt(int) { interruptPending = 1; }

void RunInterruptHandler() {
    if (interruptPending == 0) return;
    interruptPending = 0;
    if (interruptHandler) interruptHandler();
}

QElapsedTimer& MonotonicClock() {
    static QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return clock;
}

}   // namespace

int InitPlatform(int& argc, char** argv) {
    if (QCoreApplication::instance() == nullptr) {
        // Lives until the process ends: destroying it among the static destructors, after
        // main has returned, would touch Qt state that is already gone.
        new QApplication(argc, argv);
    }
    MonotonicClock();
    UseFineSystemTimer();
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr ? 0 : -1;
}

int InitConsolePlatform(int& argc, char** argv) {
    // Lives until the process ends, as the one of InitPlatform.
    if (QCoreApplication::instance() == nullptr) new QCoreApplication(argc, argv);
    MonotonicClock();
    UseFineSystemTimer();
    return 0;
}

int RunUserInterface() {
    if (!quitRequested) {
        QEventLoop loop;
        runningLoop = &loop;
        loop.exec();
        runningLoop = nullptr;
    }
    quitRequested = false;
    return quitCode;
}

void QuitUserInterface(int code) {
    // A quit asked for before the loop runs (from a callback during start-up) makes the next
    // RunUserInterface return at once.
    quitCode = code;
    quitRequested = true;
    if (runningLoop) runningLoop->exit(code);
}

void ProcessSystemEvents(EventWait wait) {
    if (testClockInUse || wait == EventWait::None) {
        // On the test clock a pass dispatches what is pending and stands for the tick it
        // would have waited.
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (testClockInUse && wait == EventWait::UpToTick) testNowS += kIdleTickMs / kMsPerSecond;
        RunInterruptHandler();
        return;
    }
    // Dispatch what is pending; when nothing is, block until something happens, but never
    // longer than one tick: the timer wakes the dispatcher if no other event does. One timer
    // serves every call, nested ones included (a nested call only restarts it).
    static QTimer* const tick = [] {
        auto* timer = new QTimer(QCoreApplication::instance());
        timer->setTimerType(Qt::PreciseTimer);
        timer->setSingleShot(true);
        return timer;
    }();
    tick->start(kIdleTickMs);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    RunInterruptHandler();
}

void PostDeferredCall(std::function<void()> call) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(call), Qt::QueuedConnection);
}

void SetWaitCursor(int on) {
    // Without windows (InitConsolePlatform) there is no cursor to change.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return;
    if ((on != 0) == waitCursorOn) return;
    waitCursorOn = on != 0;
    if (waitCursorOn) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

double Timer() {
    if (testClockInUse) return testNowS;
    return static_cast<double>(MonotonicClock().nsecsElapsed()) / 1e9;
}

void Sleep(int milliseconds) {
    if (testClockInUse) {
        testNowS += std::max(milliseconds, 0) / kMsPerSecond;
        return;
    }
    if (milliseconds > 0) QThread::msleep(static_cast<unsigned long>(milliseconds));
}

void UseTestClock(bool on) {
    testClockInUse = on;
    testNowS = 0.0;
}

void AdvanceTestClock(double seconds) { testNowS += seconds; }

void OnInterrupt(std::function<void()> handler) {
    interruptHandler = std::move(handler);
    interruptPending = 0;
    std::signal(SIGINT, interruptHandler ? NoteInterrupt : SIG_DFL);
}

}   // namespace platform
