#include "sim/model.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "core/graphrules.h"

namespace sim {

namespace {

constexpr double kCountsPerPower = double{kRawMax} / kPowerMax;   // clear beam, per power unit
constexpr double kNoiseDepth = 0.01;      // noise amplitude as a fraction of the level
constexpr double kNoiseMinCounts = 2.0;   // noise amplitude at very low levels
constexpr double kDynGain = 0.002;        // DYN: fraction of the level error corrected per tick
constexpr double kDriftDepth = 0.35;      // drift scene: deepest loss of level
constexpr double kDriftPeriodS = 90.0;    // drift scene: soiled and clean again
constexpr int kObjectGapMinMs = 300;      // objects scene: clear beam between two objects
constexpr int kObjectGapMaxMs = 2000;
constexpr int kObjectLengthMinMs = 100;   // time an object spends in the beam
constexpr int kObjectLengthMaxMs = 600;
constexpr int kObjectEdgeMs = 20;         // time an object's edge takes to cross the beam
constexpr double kDarkObjectMin = 0.15;   // transmission of an object that shades the beam
constexpr double kDarkObjectMax = 0.70;
constexpr double kBrightObjectMin = 1.15;   // transmission of an object that reflects extra light
constexpr double kBrightObjectMax = 1.40;
constexpr double kBrightObjectShare = 0.25;
constexpr double kTempBase = 2000.0;     // temperature, sensor units
constexpr double kTempSwing = 30.0;      // temperature drift amplitude, sensor units
constexpr double kTempPeriodS = 600.0;   // period of the temperature drift
constexpr double kMsPerS = 1000.0;
constexpr int kTraceStepsPerTick = kModelTickMs * 1000 / kTraceStepUs;
constexpr int64_t kSinceChangeMax = UINT16_MAX;   // longest hold time that matters, ms

// splitmix64: small, fast and the same on every platform.
uint64_t NextRandom(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Uniform in [0, 1).
double NextUnit(uint64_t& state) {
    return static_cast<double>(NextRandom(state) >> 11) * 0x1.0p-53;
}

// Uniform in [low, high).
double NextBetween(uint64_t& state, double low, double high) {
    return low + (high - low) * NextUnit(state);
}

double Seconds(const ModelState& model) {
    return static_cast<double>(model.m_tick * kModelTickMs) / kMsPerS;
}

uint16_t ToCounts(double value) {
    return static_cast<uint16_t>(std::clamp(std::lround(value), 0L, long{kRawMax}));
}

// Draws the next object: a clear gap, then a while in the beam, darker or brighter.
void ScheduleObject(ModelState& model) {
    uint64_t& rng = model.m_rng;
    const long gapMs = std::lround(NextBetween(rng, kObjectGapMinMs, kObjectGapMaxMs));
    const long lengthMs = std::lround(NextBetween(rng, kObjectLengthMinMs, kObjectLengthMaxMs));
    model.m_objectStart = model.m_tick + gapMs / kModelTickMs;
    model.m_objectEnd = model.m_objectStart + lengthMs / kModelTickMs;
    model.m_objectTransmission = NextUnit(rng) < kBrightObjectShare
                                     ? NextBetween(rng, kBrightObjectMin, kBrightObjectMax)
                                     : NextBetween(rng, kDarkObjectMin, kDarkObjectMax);
}

// Moves the transmitter power towards the DYN window by a share of the level's distance
// from it; a level inside the window leaves the power alone.
void RegulatePower(ModelState& model, const Record& record, uint16_t measured) {
    const int low = std::min(record[kWordDynWinLo], record[kWordDynWinHi]);
    const int high = std::max(record[kWordDynWinLo], record[kWordDynWinHi]);
    const int error = measured > high ? high - measured : measured < low ? low - measured : 0;
    model.m_power =
        std::clamp(model.m_power + kDynGain * error / kCountsPerPower, 0.0, double{kPowerMax});
}

// The mean of the last count measured values; a new count starts the ring afresh.
uint16_t Average(ModelState& model, uint16_t measured, uint16_t count) {
    const size_t n = std::clamp<size_t>(count, 1, kMaxAverage);
    if (model.m_samples.size() != n) {
        model.m_samples.assign(n, measured);
        model.m_sampleSum = static_cast<int64_t>(n) * measured;
        model.m_sampleAt = 0;
    }
    model.m_sampleSum += measured - model.m_samples[model.m_sampleAt];
    model.m_samples[model.m_sampleAt] = measured;
    model.m_sampleAt = (model.m_sampleAt + 1) % n;
    const auto size = static_cast<int64_t>(n);
    return static_cast<uint16_t>((model.m_sampleSum + size / 2) / size);
}

// The reference: the teach value while tracing is off; while it is on, one count unit
// towards the raw signal per Up or Down delay (0: at once), starting from the teach value.
void TraceReference(ModelState& model, const Record& record) {
    if (record[kWordTracing] == 0 || !model.m_primed) {
        model.m_ref = record[kWordTeachValue];
        model.m_traceCreditUs10 = 0;
        return;
    }
    const int gap = std::abs(model.m_raw - model.m_ref);
    if (gap == 0) {
        model.m_traceCreditUs10 = 0;
        return;
    }
    const bool up = model.m_raw > model.m_ref;
    if (up != model.m_traceUp) {
        model.m_traceUp = up;
        model.m_traceCreditUs10 = 0;
    }
    const int delay = record[up ? kWordTracingUp : kWordTracingDown];
    int steps = gap;
    if (delay > 0) {
        model.m_traceCreditUs10 += kTraceStepsPerTick;
        steps = static_cast<int>(std::min<int64_t>(model.m_traceCreditUs10 / delay, gap));
        model.m_traceCreditUs10 -= int64_t{steps} * delay;
    }
    model.m_ref = static_cast<uint16_t>(model.m_ref + (up ? steps : -steps));
    if (steps == gap) model.m_traceCreditUs10 = 0;
}

double Temperature(const ModelState& model) {
    return kTempBase +
           kTempSwing * std::sin(2.0 * std::numbers::pi * Seconds(model) / kTempPeriodS);
}

}   // namespace

std::optional<Scene> ParseScene(std::string_view name) {
    if (name == "steady") return Scene::Steady;
    if (name == "objects") return Scene::Objects;
    if (name == "drift") return Scene::Drift;
    return {};
}

ModelState StartModel(uint64_t seed, Scene scene) {
    ModelState model;
    model.m_rng = seed;
    model.m_scene = scene;
    return model;
}

double SceneTransmission(ModelState& model) {
    switch (model.m_scene) {
    case Scene::Steady:
        return 1.0;
    case Scene::Drift:
        return 1.0 - kDriftDepth * 0.5 *
                         (1.0 - std::cos(2.0 * std::numbers::pi * Seconds(model) / kDriftPeriodS));
    case Scene::Objects:
        break;
    }
    if (model.m_tick >= model.m_objectEnd) ScheduleObject(model);
    if (model.m_tick < model.m_objectStart) return 1.0;
    // A trapezoid: the edges cross the beam, the middle shades or brightens it fully.
    const int64_t edge =
        std::min(model.m_tick - model.m_objectStart, model.m_objectEnd - model.m_tick);
    const double cover = std::min(1.0, static_cast<double>(edge * kModelTickMs) / kObjectEdgeMs);
    return 1.0 + (model.m_objectTransmission - 1.0) * cover;
}

uint16_t StepReceiver(ModelState& model, const Record& record) {
    const double transmission = SceneTransmission(model);
    const bool dynamic = record[kWordPmode] == kPmodeDyn;
    if (!dynamic) model.m_power = std::min<int>(record[kWordPower], kPowerMax);
    const double level = model.m_power * kCountsPerPower * transmission;
    const double noise =
        std::max(level * kNoiseDepth, kNoiseMinCounts) * NextBetween(model.m_rng, -1.0, 1.0);
    const uint16_t measured = ToCounts(level + noise);
    if (dynamic) RegulatePower(model, record, measured);
    return Average(model, measured, record[kWordAverage]);
}

bool StepEvaluation(ModelState& model, const Record& record, uint16_t raw) {
    model.m_raw = raw;
    TraceReference(model, record);
    // The first state is whether the signal lies within the threshold lines.
    const bool previous = model.m_outTol != 0 || !model.m_primed;
    const bool inside = WithinTolerance(raw, model.m_ref, record[kWordTol], record[kWordHyst],
                                        record[kWordTrshMode], previous);
    if (!model.m_primed) {
        model.m_primed = true;
        model.m_outTol = inside ? 1 : 0;
        return false;
    }
    model.m_sinceChangeMs = std::min(model.m_sinceChangeMs + kModelTickMs, kSinceChangeMax);
    if (inside == previous || model.m_sinceChangeMs < record[kWordHold]) return false;
    model.m_outTol = inside ? 1 : 0;
    model.m_sinceChangeMs = 0;
    return true;
}

bool StepModel(ModelState& model, const Record& record) {
    const uint16_t raw = StepReceiver(model, record);
    model.m_temp = ToCounts(Temperature(model));
    const bool changed = StepEvaluation(model, record, raw);
    ++model.m_tick;
    return changed;
}

bool WithinTolerance(int raw, int ref, int tol, int hyst, int mode, bool previous) {
    const graph::ThresholdLines lines =
        graph::ThresholdRule(static_cast<uint16_t>(mode), static_cast<uint16_t>(ref),
                             static_cast<uint16_t>(tol), static_cast<uint16_t>(hyst));
    if (mode == kModeLow) return previous ? raw >= lines.m_threshold1 : raw > lines.m_hysteresis1;
    if (mode == kModeHi) return previous ? raw <= lines.m_threshold1 : raw < lines.m_hysteresis1;
    // WIN: threshold 1 and hysteresis 1 are the upper pair, 2 the lower pair.
    return previous ? raw >= lines.m_threshold2 && raw <= lines.m_threshold1
                    : raw > lines.m_hysteresis2 && raw < lines.m_hysteresis1;
}

Record DataWords(const ModelState& model) {
    Record words{};
    words[kDataRaw] = model.m_raw;
    words[kDataOutTol] = model.m_outTol;
    words[kDataRef] = model.m_ref;
    words[kDataTemp] = model.m_temp;
    return words;
}

}   // namespace sim
