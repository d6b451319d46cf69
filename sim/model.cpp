#include "sim/model.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sim {

namespace {

constexpr double kSinePeriodS = 2.5;      // period of the slow signal swing
constexpr double kSineDepth = 0.15;       // swing amplitude as a fraction of the level
constexpr double kNoiseDepth = 0.005;     // noise amplitude as a fraction of the level
constexpr double kNoiseMinCounts = 2.0;   // noise amplitude at very low power
constexpr double kTempBase = 600.0;       // temperature, sensor units
constexpr double kTempSwing = 15.0;       // temperature drift amplitude, sensor units
constexpr double kTempPeriodS = 600.0;    // period of the temperature drift
constexpr double kMsPerS = 1000.0;

// splitmix64: small, fast and the same on every platform.
uint64_t NextRandom(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Uniform noise in [-1, 1).
double NextNoise(uint64_t& state) {
    return static_cast<double>(NextRandom(state) >> 11) * 0x1.0p-52 - 1.0;
}

double Swing(double seconds, double period) {
    return std::sin(2.0 * std::numbers::pi * seconds / period);
}

uint16_t ToCounts(double value) {
    return static_cast<uint16_t>(std::clamp(std::lround(value), 0L, long{kRawMax}));
}

}  // namespace

ModelState StartModel(uint64_t seed) {
    ModelState model;
    model.m_rng = seed;
    return model;
}

bool WithinTolerance(int raw, int ref, int tol, int hyst, int mode, bool previous) {
    const int lower = std::max(ref - tol, 0);
    const int lowerHyst = std::min(lower + hyst, kRawMax);
    const int upper = std::min(ref + tol, kRawMax);
    const int upperHyst = std::max(upper - hyst, 0);
    const bool lowOk = previous ? raw >= lower : raw > lowerHyst;
    const bool highOk = previous ? raw <= upper : raw < upperHyst;
    if (mode == kModeLow) return lowOk;
    if (mode == kModeHi) return highOk;
    return lowOk && highOk;
}

bool StepModel(ModelState& model, const Record& record) {
    const double seconds = static_cast<double>(model.m_tick * kModelTickMs) / kMsPerS;
    const double level =
        std::min<int>(record[kWordPower], kPowerMax) * double{kRawMax} / kPowerMax;
    const double noise = std::max(level * kNoiseDepth, kNoiseMinCounts) * NextNoise(model.m_rng);
    model.m_raw = ToCounts(level * (1.0 + kSineDepth * Swing(seconds, kSinePeriodS)) + noise);
    model.m_ref = record[kWordTeachValue];
    model.m_temp = ToCounts(kTempBase + kTempSwing * Swing(seconds, kTempPeriodS));
    const bool inside = WithinTolerance(model.m_raw, model.m_ref, record[kWordTol],
                                        record[kWordHyst], record[kWordTrshMode],
                                        model.m_outTol != 0);
    const bool changed = model.m_tick > 0 && inside != (model.m_outTol != 0);
    model.m_outTol = inside ? 1 : 0;
    ++model.m_tick;
    return changed;
}

Record DataWords(const ModelState& model) {
    Record words{};
    words[kDataRaw] = model.m_raw;
    words[kDataOutTol] = model.m_outTol;
    words[kDataRef] = model.m_ref;
    words[kDataTemp] = model.m_temp;
    return words;
}

}  // namespace sim
