#include "core/graphrules.h"

namespace graph {

namespace {

// a + b and a - b taken modulo 2^16 and read as a signed 16-bit number.
int16_t Sum16(int a, int b) { return static_cast<int16_t>(a + b); }
int16_t Diff16(int a, int b) { return static_cast<int16_t>(a - b); }

int16_t RaiseToMin(int16_t v) { return v < kLineMin ? kLineMin : v; }
int16_t LowerToMax(int16_t v) { return v > kLineMax ? kLineMax : v; }

}  // namespace

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

}  // namespace graph
