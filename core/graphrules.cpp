#include "core/graphrules.h"

#include <cmath>

namespace graph {

namespace {

// a + b and a - b taken modulo 2^16 and read as a signed 16-bit number.
int16_t Sum16(int a, int b) { return static_cast<int16_t>(a + b); }
int16_t Diff16(int a, int b) { return static_cast<int16_t>(a - b); }

int16_t RaiseToMin(int16_t v) { return v < kLineMin ? kLineMin : v; }
int16_t LowerToMax(int16_t v) { return v > kLineMax ? kLineMax : v; }

}   // namespace

ThresholdLines ThresholdRule(uint16_t mode, uint16_t reference, uint16_t tolerance,
                             uint16_t hysteresis) {
    if (mode == kModeLow) {
        const int16_t t = RaiseToMin(Diff16(reference, tolerance));
        const int16_t h = LowerToMax(Sum16(t, hysteresis));
        return {t, t, h, h};
    }
    if (mode == kModeHi) {
        const int16_t t = LowerToMax(Sum16(reference, tolerance));
        const int16_t h = RaiseToMin(Diff16(t, hysteresis));
        return {t, t, h, h};
    }
    const int16_t upper = LowerToMax(Sum16(reference, tolerance));
    const int16_t lower = RaiseToMin(Diff16(reference, tolerance));
    return {upper, lower, RaiseToMin(Diff16(upper, hysteresis)),
            LowerToMax(Sum16(lower, hysteresis))};
}

AxisLimits AutoZoomLimits(std::span<const double> history) {
    double smallest = kZoomStartMin;
    double largest = kZoomStartMax;
    for (double v : history) {
        if (v < smallest) smallest = v;
        if (v > largest) largest = v;
    }
    const double low = smallest - kZoomMargin;
    return {low < 0.0 ? 0.0 : low, largest + kZoomMargin};
}

AxisLimits FixedScaleLimits() { return {kFixedScaleLow, kFixedScaleHigh}; }

std::vector<double> RoundTicks(double low, double high, int maxTicks) {
    if (!(high >= low) || maxTicks < 1) return {};
    constexpr double kMantissas[] = {1.0, 2.0, 5.0};
    for (double power = 1.0;; power *= 10.0) {
        for (double mantissa : kMantissas) {
            const double step = mantissa * power;
            const double first = std::ceil(low / step);
            const double last = std::floor(high / step);
            if (last - first + 1.0 > maxTicks) continue;
            std::vector<double> ticks;
            for (double k = first; k <= last; ++k) ticks.push_back(k * step);
            return ticks;
        }
    }
}

}   // namespace graph
