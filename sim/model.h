#pragma once
// The simulated measurement, kept apart from the protocol: a raw signal driven by the
// transmitter power with a slow sine and seeded noise, the reference, the output state
// from the threshold mode with tolerance and hysteresis, and a drifting temperature.
// It advances in fixed ticks, so the same seed gives the same values tick for tick.
#include <array>
#include <cstdint>

#include "link/telegram.h"

namespace sim {

using Record = std::array<uint16_t, sensorlink::kRecordWords>;

// Record words the model reads.
constexpr int kWordPower = 0;         // transmitter power, 0..1000
constexpr int kWordTrshMode = 7;      // 0 LOW, 1 HI, 2 WIN
constexpr int kWordTeachValue = 11;   // reference while tracing is off
constexpr int kWordTol = 12;          // tolerance, counts
constexpr int kWordHyst = 13;         // hysteresis, counts

// Data words of a frame (frame word i + 2 = data word i).
constexpr int kDataRaw = 0;
constexpr int kDataOutTol = 1;
constexpr int kDataRef = 2;
constexpr int kDataTemp = 15;

constexpr int kModelTickMs = 1;       // model time step
constexpr int kRawMax = 4095;         // full scale of the raw signal and the thresholds
constexpr int kPowerMax = 1000;       // full transmitter power

// Threshold modes.
constexpr int kModeLow = 0;
constexpr int kModeHi = 1;

// State of the simulated measurement.
struct ModelState {
    uint64_t m_rng = 0;          // noise generator state
    int64_t m_tick = 0;          // the next tick, at m_tick * kModelTickMs; may be moved ahead to skip time
    uint16_t m_raw = 0;          // raw signal at the receiver
    uint16_t m_outTol = 0;       // 1 while the signal is within the tolerance, else 0
    uint16_t m_ref = 0;          // reference for the thresholds
    uint16_t m_temp = 0;         // temperature, sensor units
};

// A model that has not stepped yet, its noise seeded with seed.
ModelState StartModel(uint64_t seed);

// Steps one tick with the record in force; returns true when the output state changed.
bool StepModel(ModelState& model, const Record& record);

// The output rule: whether raw is within the tolerance of ref in the given threshold mode,
// with the hysteresis applied against the previous state (thresholds clamped to 0..4095).
bool WithinTolerance(int raw, int ref, int tol, int hyst, int mode, bool previous);

// The 16 data words of a frame for the current state.
Record DataWords(const ModelState& model);

}  // namespace sim
