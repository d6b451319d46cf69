#pragma once
// The simulated measurement, kept apart from the protocol. Every 1 ms tick the receiver
// takes one measured value (the transmitter power times what the scene lets through,
// plus seeded noise), regulates the power into the DYN window when asked to, and
// averages the last values into the raw signal; the evaluation then moves the reference
// (teach value, or traced with the Up/Down delays) and switches the output state on the
// threshold lines with hysteresis and hold time. A slowly drifting temperature completes
// the frame. The same seed, scene and records give the same values tick for tick.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "core/telegram.h"

namespace sim {

using Record = std::array<uint16_t, sensorlink::kRecordWords>;

// Record words the model reads.
constexpr int kWordPower = 0;      // transmitter power, 0..1000
constexpr int kWordPmode = 1;      // 0 STAT, 1 DYN
constexpr int kWordDynWinLo = 2;   // DYN regulation window, counts
constexpr int kWordDynWinHi = 3;
constexpr int kWordAverage = 4;        // measured values per raw value; 0 and 1 = none
constexpr int kWordOutmode = 5;        // 0 direct, else inverse: the physical output only
constexpr int kWordHold = 6;           // minimum time a new output state is kept, ms
constexpr int kWordTrshMode = 7;       // 0 LOW, 1 HI, 2 WIN
constexpr int kWordTracing = 8;        // 0 off, else on
constexpr int kWordTracingUp = 9;      // tracing delay upwards, 10 us per count unit
constexpr int kWordTracingDown = 10;   // tracing delay downwards, 10 us per count unit
constexpr int kWordTeachValue = 11;    // reference while tracing is off
constexpr int kWordTol = 12;           // tolerance, counts
constexpr int kWordHyst = 13;          // hysteresis, counts

// Data words of a frame (frame word i + 2 = data word i).
constexpr int kDataRaw = 0;
constexpr int kDataOutTol = 1;
constexpr int kDataRef = 2;
constexpr int kDataTemp = 15;

constexpr int kModelTickMs = 1;     // model time step
constexpr int kTraceStepUs = 10;    // unit of the tracing delays
constexpr int kRawMax = 4095;       // full scale of the raw signal and the thresholds
constexpr int kPowerMax = 1000;     // full transmitter power
constexpr uint16_t kPmodeDyn = 1;   // POWER MODE value of the regulated mode
constexpr int kMaxAverage = 1000;   // longest averaging, measured values (1 s)

// Threshold modes.
constexpr int kModeLow = 0;
constexpr int kModeHi = 1;

// What happens in the beam.
enum class Scene {
    Steady,    // a clear beam: constant level, noise only
    Objects,   // objects pass the beam at irregular intervals, darker or brighter
    Drift,     // the level drifts slowly down and back, as a lens that soils and is cleaned
};
constexpr Scene kDefaultScene = Scene::Objects;

// "steady", "objects" or "drift"; nothing for any other name.
std::optional<Scene> ParseScene(std::string_view name);

// State of the simulated measurement.
struct ModelState {
    uint64_t m_rng = 0;   // noise generator state
    int64_t m_tick = 0;   // the next tick, at m_tick * kModelTickMs; may jump ahead
    Scene m_scene = kDefaultScene;
    double m_power = 0.0;                // transmitter power in force, 0..1000 (regulated in DYN)
    std::vector<uint16_t> m_samples;     // the last measured values, a ring for the averaging
    size_t m_sampleAt = 0;               // ring position of the oldest value
    int64_t m_sampleSum = 0;             // sum of m_samples
    int64_t m_objectStart = 0;           // tick at which the current or next object enters
    int64_t m_objectEnd = 0;             // tick at which it has left; before it, none is scheduled
    double m_objectTransmission = 1.0;   // fraction of the clear-beam level while it is fully in
    bool m_primed = false;               // the output state has been set once
    int64_t m_sinceChangeMs = UINT16_MAX;   // time since the last output change, saturating
    int64_t m_traceCreditUs10 = 0;          // tracing time not yet spent on a step, 10 us units
    bool m_traceUp = true;                  // direction m_traceCreditUs10 was gathered for
    uint16_t m_raw = 0;                     // raw signal at the receiver
    uint16_t m_outTol = 0;                  // 1 while the signal is within the tolerance, else 0
    uint16_t m_ref = 0;                     // reference for the thresholds
    uint16_t m_temp = 0;                    // temperature, sensor units
};

// A model that has not stepped yet, its noise seeded with seed.
ModelState StartModel(uint64_t seed, Scene scene = kDefaultScene);

// The fraction of the clear-beam level that reaches the receiver at the model's tick;
// schedules the next object when the objects scene needs one.
double SceneTransmission(ModelState& model);

// One measurement tick: a measured value for the power in force, DYN regulation, and
// the average of the last values, which it returns.
uint16_t StepReceiver(ModelState& model, const Record& record);

// One evaluation tick for the raw signal raw: the reference, then the output state with
// hysteresis and hold time. Returns true when the output state changed.
bool StepEvaluation(ModelState& model, const Record& record, uint16_t raw);

// Steps one whole tick with the record in force; returns true when the output state changed.
bool StepModel(ModelState& model, const Record& record);

// The output rule: whether raw is within the tolerance of ref in the given threshold mode,
// with the hysteresis applied against the previous state. The lines are those the strip
// chart draws: LOW leaves below REF-TOL and returns above REF-TOL+HYST, HI leaves above
// REF+TOL and returns below REF+TOL-HYST, WIN does both.
bool WithinTolerance(int raw, int ref, int tol, int hyst, int mode, bool previous);

// The 16 data words of a frame for the current state.
Record DataWords(const ModelState& model);

}   // namespace sim
