#pragma once
// Rules of the strip chart that need no screen: the four switching lines that the
// threshold mode derives from the reference, and the Y-axis limits.
#include <cstdint>
#include <span>
#include <vector>

namespace graph {

// Threshold modes (paraTrshMode); every value other than LOW and HI acts as WIN.
constexpr uint16_t kModeLow = 0;
constexpr uint16_t kModeHi = 1;
constexpr uint16_t kModeWin = 2;

constexpr int16_t kLineMin = 0;      // lowest value a clamp raises a line to (sensor units)
constexpr int16_t kLineMax = 4095;   // highest value a clamp lowers a line to (0xFFF)

constexpr double kFixedScaleLow = 0.0;   // fixed Y scale, sensor units
constexpr double kFixedScaleHigh = 4096.0;
constexpr double kZoomStartMin =
    10000.0;                            // auto zoom: the search for the smallest value starts here
constexpr double kZoomStartMax = 0.0;   // ... and for the largest here
constexpr double kZoomMargin = 25.0;    // added below and above the values found

// The four lines of one frame, in the order of the chart's slots 3 to 6.
struct ThresholdLines {
    int16_t m_threshold1 = 0;
    int16_t m_threshold2 = 0;
    int16_t m_hysteresis1 = 0;
    int16_t m_hysteresis2 = 0;
};

// Lower and upper limit of the chart's Y axis.
struct AxisLimits {
    double m_low = 0.0;
    double m_high = 0.0;
};

// LOW: t = R - T (raised to 0), h = t + H (lowered to 4095); lines t, t, h, h.
// HI:  t = R + T (lowered to 4095), h = t - H (raised to 0); lines t, t, h, h.
// WIN and any other mode: u = R + T (lowered to 4095), l = R - T (raised to 0);
//      lines u, l, u - H (raised to 0), l + H (lowered to 4095).
// Every sum and difference wraps to signed 16 bits before its one clamp, so a sum
// that wraps negative is not lowered and a difference that wraps positive is not
// raised: the chart shows what the sensor's 16-bit arithmetic gives.
ThresholdLines ThresholdRule(uint16_t mode, uint16_t reference, uint16_t tolerance,
                             uint16_t hysteresis);

// Auto zoom over the whole history: smallest value (search starting at 10000) minus
// 25, raised to 0; largest value (search starting at 0) plus 25.
AxisLimits AutoZoomLimits(std::span<const double> history);

// The fixed scale, 0 to 4096.
AxisLimits FixedScaleLimits();

// Tick values for an axis from `low` to `high`: every multiple of one round step (1, 2 or 5
// times a power of ten, at least 1, as the values are counts and sensor units) that lies
// inside the limits, with the smallest step that gives at most `maxTicks` of them.
std::vector<double> RoundTicks(double low, double high, int maxTicks);

}   // namespace graph
