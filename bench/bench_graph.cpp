// Cost of the live graph: one strip-chart redraw (ShowGraph over the 600-value history with
// auto zoom) with and without its repaint, and one recorded frame drawn into the signal graphs
// (SetPanelGraphData) after 1 000, 100 000 and 1 000 000 recorded frames, with the graph panel
// hidden and shown: its time and the heap the graphs keep per recorded frame. Each figure is
// the median of several runs; the panels are the program's own, on the offscreen platform.
#include <malloc.h>
#include <time.h>

#include <QApplication>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "graph/chart.h"
#include "graph/graph.h"
#include "link/com232.h"
#include "platform/platform.h"
#include "shell/TavrixV20.h"
#include "shell/gui.h"
#include "ui/TavrixV20.h"
#include "ui/panels.h"

namespace {

constexpr int kRuns = 5;
constexpr int kRedraws = 2000;                  // strip-chart redraws per run
constexpr int kPaintedRedraws = 300;            // ... when each is painted
constexpr unsigned long kScreenPeriodMs = 17;   // one refresh of a 60 Hz screen
constexpr int kGraphRuns = 3;                   // runs of the recorded-frame measurement
constexpr int kWindow = 2000;                   // frames measured at each size
constexpr int kSizes[] = {1000, 100000, 1000000};
constexpr int kSizeCount = 3;
constexpr int kEventsEvery = 100;          // frames drawn between event processing while filling
constexpr double kStripTargetUs = 150.0;   // a strip-chart redraw with its repaint
constexpr double kFrameTargetUs = 200.0;   // a recorded frame, graph panel shown and repainted
constexpr double kFlatTarget = 1.2;        // time at 1 000 000 frames against 1 000
constexpr double kTargetBytes = 16.0;      // heap kept per recorded frame, both graphs together

// The CPU time of this thread, which does all the drawing: on this shared machine the time
// that passes also holds the time other programs had the core.
struct Clock {
    using duration = std::chrono::nanoseconds;
    static duration now() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
    }
};

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

// A reference that moves too makes every trace a polyline: the most a redraw draws. A steady
// one (as while the sensor is not taught) leaves five flat traces of one line each.
bool movingReference = true;
constexpr uint16_t kSteadyReference = 2048;

void NextFrame(int i) {
    sensorlink::dataANA0 = Wave(i);
    sensorlink::dataRef = movingReference ? Wave(i / 7) : kSteadyReference;
    sensorlink::dataTemp = static_cast<uint16_t>(300 + i % 50);
}

// Mean time of one strip-chart redraw; with `paint` each redraw comes one screen refresh
// after the last and is painted by the event processing that follows it, as in the GO loop
// (the chart holds repaints to the screen's refresh rate, so this is what a painted frame
// costs). The number displays that the frame changed are repainted before, outside the time.
double StripRedrawUs(bool paint) {
    const int redraws = paint ? kPaintedRedraws : kRedraws;
    Clock::duration total{};
    for (int i = 0; i < redraws; ++i) {
        NextFrame(i);
        shell::SetPanelData();
        if (paint) {
            QApplication::processEvents();
            QThread::msleep(kScreenPeriodMs);
        }
        const auto start = Clock::now();
        graph::ShowGraph();
        if (paint) QApplication::processEvents();
        total += Clock::now() - start;
    }
    return Microseconds(total) / redraws;
}

// Time per recorded frame over kWindow frames once `size` are drawn, and the heap the graphs
// keep per recorded frame at that size.
struct FrameCost {
    double m_us = 0.0;
    double m_bytes = 0.0;
};

double WindowUs(int& drawn, bool paint) {
    Clock::duration total{};
    for (int i = 0; i < kWindow; ++i, ++drawn) {
        NextFrame(drawn);
        const auto start = Clock::now();
        graph::SetPanelGraphData();
        if (paint) QApplication::processEvents();
        total += Clock::now() - start;
    }
    return Microseconds(total) / kWindow;
}

// Draws up to each size, processing events now and then as a recording does, and measures
// there.
void MeasureRecordedFrames(bool paint, std::vector<FrameCost> (&costs)[kSizeCount]) {
    // The heap is counted from the first point on: the first repaint's own allocations are
    // not kept per frame.
    graph::InitPanelGraph();
    NextFrame(0);
    graph::SetPanelGraphData();
    QApplication::processEvents();
    const long long heapBefore = HeapInUse();
    int drawn = 1;
    for (int s = 0; s < kSizeCount; ++s) {
        for (; drawn < kSizes[s]; ++drawn) {
            NextFrame(drawn);
            graph::SetPanelGraphData();
            if (drawn % kEventsEvery == 0) QApplication::processEvents();
        }
        QApplication::processEvents();
        const double bytes = static_cast<double>(HeapInUse() - heapBefore) / (drawn - 1);
        costs[s].push_back({WindowUs(drawn, paint), bytes});
    }
}

// One line per size, then the time at the largest size held against the smallest: a
// recorded frame must cost the same however many were drawn before it.
void PrintFrameCosts(const char* what, std::vector<FrameCost> (&costs)[kSizeCount]) {
    double us[kSizeCount] = {};
    for (int s = 0; s < kSizeCount; ++s) {
        std::vector<double> times, heap;
        for (const FrameCost& c : costs[s]) {
            times.push_back(c.m_us);
            heap.push_back(c.m_bytes);
        }
        us[s] = Median(times);
        const double bytes = Median(heap);
        std::printf(
            "5. recorded frame (SetPanelGraphData%s) at %d frames: %.1f us (target < %.0f "
            "us, ratio %.2f); %.1f bytes kept per frame (target <= %.0f, ratio %.2f)\n",
            what, kSizes[s], us[s], kFrameTargetUs, us[s] / kFrameTargetUs, bytes, kTargetBytes,
            bytes / kTargetBytes);
    }
    const double flat = us[kSizeCount - 1] / us[0];
    std::printf(
        "5. recorded frame (SetPanelGraphData%s): time at %d frames against %d: %.2f "
        "(target <= %.1f, ratio %.2f)\n",
        what, kSizes[kSizeCount - 1], kSizes[0], flat, kFlatTarget, flat / kFlatTarget);
}

}   // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (platform::InitPlatform(argc, argv) < 0 || shell::LoadPanels() < 0) {
        std::printf("bench_graph: the panels cannot be loaded\n");
        return 1;
    }
    graph::InitCharts();
    QApplication::processEvents();

    graph::scale = graph::kScaleAutoZoom;
    const struct {
        bool m_paint, m_movingReference;
        const char* m_what;
    } redraws[] = {{false, true, ""},
                   {true, true, ", repainted, every trace moving"},
                   {true, false, ", repainted, steady reference"}};
    for (const auto& redraw : redraws) {
        movingReference = redraw.m_movingReference;
        std::vector<double> runs;
        for (int run = 0; run < kRuns; ++run) runs.push_back(StripRedrawUs(redraw.m_paint));
        const double us = Median(runs);
        std::printf(
            "5. strip-chart redraw (ShowGraph, 600 values, auto zoom%s): %.1f us (target "
            "< %.0f us, ratio %.2f)\n",
            redraw.m_what, us, kStripTargetUs, us / kStripTargetUs);
    }
    movingReference = true;

    // The data panel is in front while recording; the graph panel only when the user looks.
    std::vector<FrameCost> hidden[kSizeCount];
    for (int run = 0; run < kGraphRuns; ++run) MeasureRecordedFrames(false, hidden);
    PrintFrameCosts("", hidden);

    platform::HidePanel(ui::datapanel);
    platform::DisplayPanel(ui::graphpanel);
    std::vector<FrameCost> shown[kSizeCount];
    for (int run = 0; run < kGraphRuns; ++run) MeasureRecordedFrames(true, shown);
    PrintFrameCosts(", graph panel shown, with repaint", shown);
    return 0;
}
