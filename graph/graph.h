#pragma once
// The strip chart of the data panel (the last 100 frames: raw signal, reference and the four
// switching lines) and the graph panel's per-signal XY graphs of recorded frames.
#include <cstdint>

namespace graph {

constexpr int kHistoryFrames = 100;
constexpr int kTracesPerFrame = 6;     // reference, raw, threshold 1, 2, hysteresis 1, 2
constexpr int kHistoryValues = kHistoryFrames * kTracesPerFrame;
constexpr int kPointsPerScreen = 101;

inline double ana0Buf[kHistoryValues] = {};   // oldest frame first, six values a frame
inline int16_t scale = 0;                     // 0 fixed 0..4096, 1 auto zoom

inline uint16_t graphCnt = 0;                 // X of the newest recorded point
inline uint16_t bufCnt[2] = {};               // previous and newest X
inline uint16_t bufANA0[2] = {};              // previous and newest raw signal
inline uint16_t bufTemp[2] = {};              // previous and newest temperature

void InitGraphBuffers();    // appends the current frame to the strip-chart history
void ShowGraph();           // sets the Y scale and plots the whole history
void InitPanelGraph();      // empties both XY graphs and restarts their count
void SetPanelGraphData();   // shows the current values and draws one segment per graph
void SetGraphVisible();     // shows the graph the SIGNAL selector names

void RegisterCallbacks();   // CBF_GraphANA0, CBF_ButtonShowGraph, ... with the platform

}  // namespace graph
