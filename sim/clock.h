#pragma once
// The simulated sensor's time. It runs on a monotonic clock of its own; a test that runs the
// program's side on a clock it advances installs that clock here too, so that a delay of the
// sensor and a time limit of the program are measured on the same clock.
#include <functional>

namespace sim {

// Installs the clock the sensor reads, in milliseconds; an empty function restores the
// monotonic clock.
void SetClock(std::function<double()> nowMs);
double NowMs();

// The interval to arm a timer with so that it fires when `ms` have passed: on an installed
// clock the timers fire on every pass of the event loop and check the time themselves.
int TimerIntervalMs(double ms);

}   // namespace sim
