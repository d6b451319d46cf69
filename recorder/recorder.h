#pragma once
// The record file (choosing it, its header, one line per frame) and the recorder panel with
// its four modes: timed, continuous, manual and triggered.
#include <cstdint>

namespace recorder {

// Record-mode selector values.
constexpr int kModeTimed = 0;
constexpr int kModeContinuous = 1;
constexpr int kModeManual = 2;
constexpr int kModeTriggered = 3;

inline uint16_t zeitint = 0;     // interval, whole seconds
inline uint16_t anzwerte = 0;    // frames of a timed recording
inline uint16_t reczeit = 0;     // days, hours, minutes, seconds on their way to the displays
inline uint16_t otcrec = 0;      // frames recorded in a timed recording; manual records
inline double recstart = 0.0;    // start of the current pass, seconds

// Record file.
void SelRecFile();
void WriteFileHeader();
void ToFile();

// Recorder panel.
void InitRecordPanel();
void CalcRecTime();
void Record();
void RecordFrame();
void SlowDown();
void TriggeredRecord();
void RecordManually();

void RegisterCallbacks();

}  // namespace recorder
