// Cost of the live graph: one strip-chart redraw (ShowGraph over the 600-value history with
// auto zoom), and one recorded frame drawn into the signal graphs (SetPanelGraphData) after
// 1 000 and after 100 000 recorded frames: its time and the heap it keeps. Each figure is the
// median of several runs; the panels are the program's own, on the offscreen platform.
#include <malloc.h>

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "ui/panels.h"
#include "graph/graph.h"
#include "link/com232.h"
#include "platform/platform.h"
#include "shell/TavrixV20.h"
#include "shell/gui.h"

namespace {

constexpr int kRuns = 5;
constexpr int kRedraws = 2000;          // strip-chart redraws per run
constexpr int kGraphRuns = 3;           // runs of the recorded-frame measurement
constexpr int kWindow = 500;            // frames measured at each size
constexpr int kSmallSize = 1000;
constexpr int kLargeSize = 100000;
constexpr double kTargetUs = 1000.0;      // a redraw or a recorded frame: under 1 ms
constexpr double kTargetBytes = 100.0;    // memory kept per recorded frame

using Clock = std::chrono::steady_clock;

double Microseconds(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

long long HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long long>(info.uordblks + info.hblkhd);
}

// A signal that moves, so that every frame changes the picture.
uint16_t Wave(int i) { return static_cast<uint16_t>(2000 + (i * 37) % 1500); }

void NextFrame(int i) {
    sensorlink::dataANA0 = Wave(i);
    sensorlink::dataRef = Wave(i / 7);
    sensorlink::dataTemp = static_cast<uint16_t>(300 + i % 50);
}

// Mean time of one strip-chart redraw; with `paint` the pending repaint is done as well, as
// the GO loop's event processing does after each frame.
double StripRedrawUs(bool paint) {
    Clock::duration total{};
    for (int i = 0; i < kRedraws; ++i) {
        NextFrame(i);
        shell::SetPanelData();
        const auto start = Clock::now();
        graph::ShowGraph();
        if (paint) QApplication::processEvents();
        total += Clock::now() - start;
    }
    return Microseconds(total) / kRedraws;
}

// Time and heap per recorded frame, measured over kWindow frames once `size` are drawn.
struct FrameCost {
    double m_us = 0.0;
    double m_bytes = 0.0;
};

FrameCost MeasureWindow(int& drawn, bool paint) {
    const long long heapBefore = HeapInUse();
    Clock::duration total{};
    for (int i = 0; i < kWindow; ++i, ++drawn) {
        NextFrame(drawn);
        const auto start = Clock::now();
        graph::SetPanelGraphData();
        if (paint) QApplication::processEvents();
        total += Clock::now() - start;
    }
    return {Microseconds(total) / kWindow,
            static_cast<double>(HeapInUse() - heapBefore) / kWindow};
}

// Draws up to each size (without painting in between) and measures a window there.
void MeasureRecordedFrames(bool paint, std::vector<FrameCost> (&costs)[2]) {
    graph::InitPanelGraph();
    int drawn = 0;
    const int sizes[2] = {kSmallSize, kLargeSize};
    for (int s = 0; s < 2; ++s) {
        for (; drawn < sizes[s]; ++drawn) {
            NextFrame(drawn);
            graph::SetPanelGraphData();
        }
        QApplication::processEvents();
        costs[s].push_back(MeasureWindow(drawn, paint));
    }
}

// One line per size; the figures at the large size are held against those at the small one,
// since a recorded frame must cost the same however many were drawn before it.
void PrintFrameCosts(const char* what, std::vector<FrameCost> (&costs)[2]) {
    const int sizes[2] = {kSmallSize, kLargeSize};
    double us[2] = {};
    double bytes[2] = {};
    for (int s = 0; s < 2; ++s) {
        std::vector<double> times, heap;
        for (const FrameCost& c : costs[s]) {
            times.push_back(c.m_us);
            heap.push_back(c.m_bytes);
        }
        us[s] = Median(times);
        bytes[s] = Median(heap);
    }
    for (int s = 0; s < 2; ++s)
        std::printf("5. recorded frame (SetPanelGraphData%s) at %d frames: %.1f us (target < %.0f "
                    "us, ratio %.2f); %.0f bytes kept per frame (target < %.0f, ratio %.2f)\n",
                    what, sizes[s], us[s], kTargetUs, us[s] / kTargetUs, bytes[s], kTargetBytes,
                    bytes[s] / kTargetBytes);
    std::printf("5. recorded frame (SetPanelGraphData%s): time at %d frames against %d (target "
                "flat, ratio %.2f)\n",
                what, sizes[1], sizes[0], us[1] / us[0]);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (platform::InitPlatform(argc, argv) < 0 || shell::LoadPanels() < 0) {
        std::printf("bench_graph: the panels cannot be loaded\n");
        return 1;
    }
    graph::InitCharts();
    QApplication::processEvents();

    graph::scale = graph::kScaleAutoZoom;
    for (bool paint : {false, true}) {
        std::vector<double> runs;
        for (int run = 0; run < kRuns; ++run) runs.push_back(StripRedrawUs(paint));
        const double us = Median(runs);
        std::printf("5. strip-chart redraw (ShowGraph, 600 values, auto zoom%s): %.1f us (target "
                    "< %.0f us, ratio %.2f)\n",
                    paint ? ", with repaint" : "", us, kTargetUs, us / kTargetUs);
    }

    // The data panel is in front while recording; the graph panel only when the user looks.
    std::vector<FrameCost> hidden[2];
    for (int run = 0; run < kGraphRuns; ++run) MeasureRecordedFrames(false, hidden);
    PrintFrameCosts("", hidden);

    platform::HidePanel(ui::datapanel);
    platform::DisplayPanel(ui::graphpanel);
    std::vector<FrameCost> shown[2];
    for (int run = 0; run < kGraphRuns; ++run) MeasureRecordedFrames(true, shown);
    PrintFrameCosts(", graph panel shown, with repaint", shown);
    return 0;
}
