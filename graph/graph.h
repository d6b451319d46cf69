#pragma once
// The strip chart of the data panel (the last 100 frames: raw signal, reference and the four
// switching lines) and the graph panel's per-signal XY graphs of recorded frames; each can be
// saved as a PNG picture.
#include <cstdint>

namespace graph {

constexpr int kHistoryFrames = 100;
constexpr int kTracesPerFrame = 6;   // reference, raw, threshold 1, 2, hysteresis 1, 2
constexpr int kHistoryValues = kHistoryFrames * kTracesPerFrame;
constexpr int kPointsPerScreen = 101;

// Values of `scale`.
constexpr int16_t kScaleFixed = 0;
constexpr int16_t kScaleAutoZoom = 1;

// Values of the SIGNAL selector.
constexpr int kSignalRaw = 0;
constexpr int kSignalTemp = 1;

// Colours of the XY graphs, 0xRRGGBB.
constexpr int kRawGraphColor = 0x00FF00;
constexpr int kTempGraphColor = 0x008080;

// Saving a chart as a picture: the file dialog's default names, filter and title.
constexpr const char* kStripChartPictureName = "chart.png";
constexpr const char* kRawGraphPictureName = "raw.png";
constexpr const char* kTempGraphPictureName = "temp.png";
constexpr const char* kPictureFilter = "*.png";
constexpr const char* kPictureSuffix = ".png";   // added to a chosen name without a suffix
constexpr const char* kPictureTitle = "PNG";

inline double ana0Buf[kHistoryValues] = {};   // oldest frame first, six values a frame
inline int16_t scale = kScaleFixed;           // 0 fixed 0..4096, 1 auto zoom

inline uint16_t graphCnt = 0;      // X of the newest recorded point
inline uint16_t bufCnt[2] = {};    // previous and newest X
inline uint16_t bufANA0[2] = {};   // previous and newest raw signal
inline uint16_t bufTemp[2] = {};   // previous and newest temperature

// Builds the strip chart and both XY graphs on the loaded panels (axes, traces, styles), so
// they show their empty axes before the first frame. Every drawing function also does this
// on first use, and again when the panels have been loaded anew.
void InitCharts();

void InitGraphBuffers();    // appends the current frame to the strip-chart history
void ShowGraph();           // sets the Y scale and plots the whole history
void InitPanelGraph();      // empties both XY graphs and restarts their count
void SetPanelGraphData();   // shows the current values and draws one segment per graph
void SetGraphVisible();     // shows the graph the SIGNAL selector names

// Shows or hides the strip chart's grid lines (the GRID button of the data panel).
void ShowGridLines(bool visible);

// Control and panel callbacks.
int CBF_GraphANA0(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2);
int CBF_GraphData1(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
int CBF_ButtonShowGraph(int panel, int control, int event, void* callbackData, int eventData1,
                        int eventData2);
int CBF_ButtonGpClose(int panel, int control, int event, void* callbackData, int eventData1,
                      int eventData2);
int CBF_EditSignal(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
int CBF_PanelGraphGraph(int panel, int control, int event, void* callbackData, int eventData1,
                        int eventData2);
int CBF_GRAPHP(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);
// SAVE PNG of the data panel (the strip chart) and of the graph panel (the graph shown): ask
// for a file and save the chart as it is drawn on the screen. Polling and recording go on.
int CBF_ButtonSaveChart(int panel, int control, int event, void* callbackData, int eventData1,
                        int eventData2);
int CBF_ButtonSaveGraph(int panel, int control, int event, void* callbackData, int eventData1,
                        int eventData2);

void RegisterCallbacks();   // CBF_GraphANA0, CBF_ButtonShowGraph, ... with the platform

}   // namespace graph
