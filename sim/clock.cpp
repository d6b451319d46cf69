#include "sim/clock.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr double kNsPerMs = 1e6;

std::function<double()>& InstalledClock() {
    static std::function<double()> clock;
    return clock;
}

}   // namespace

void SetClock(std::function<double()> nowMs) { InstalledClock() = std::move(nowMs); }

double NowMs() {
    if (InstalledClock()) return InstalledClock()();
    static QElapsedTimer monotonic = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return static_cast<double>(monotonic.nsecsElapsed()) / kNsPerMs;
}

int TimerIntervalMs(double ms) {
    if (InstalledClock()) return 0;
    return std::max(static_cast<int>(std::ceil(ms)), 0);
}

}   // namespace sim
