#include "graph/graph.h"

#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QList>
#include <QBuffer>
#include <QFileInfo>
#include <QPen>
#include <QPixmap>
#include <QPointer>
#include <QValueAxis>
#include <algorithm>
#include <array>
#include <span>
#include <vector>

#include "core/graphrules.h"
#include "link/com232.h"
#include "link/exchanges.h"
#include "platform/platform.h"
#include "ui/panels.h"
#include "ui/helptexts.h"
#include "ui/TavrixV20.h"

namespace graph {

namespace {

// ---- Strip chart

// Trace styles by slot of a frame's six values: reference, raw, threshold 1 and 2,
// hysteresis 1 and 2.
struct TraceStyle {
    int m_color = 0;
    Qt::PenStyle m_line = Qt::SolidLine;
    int m_widthPx = 1;
};
constexpr std::array<TraceStyle, kTracesPerFrame> kTraceStyles = {{
    {0x0000FF, Qt::DashLine, 1},   // reference: blue dashed
    {0x00A000, Qt::SolidLine, 2},  // raw signal: green
    {0xFF0000, Qt::SolidLine, 1},  // thresholds: red
    {0xFF0000, Qt::SolidLine, 1},
    {0x000000, Qt::DashLine, 1},   // hysteresis: black dashed
    {0x000000, Qt::DashLine, 1},
}};

// The oldest frame of the history stands at this X, the newest at the right edge.
constexpr int kFirstFrameX = kPointsPerScreen - kHistoryFrames;

// The strip chart's Qt objects and two point buffers per trace: the series holds one buffer
// while the other is refilled, so a redraw never copies or allocates.
struct StripChart {
    QPointer<QChartView> m_view;
    QValueAxis* m_axisX = nullptr;
    QValueAxis* m_axisY = nullptr;
    std::array<QLineSeries*, kTracesPerFrame> m_series{};
    std::array<std::array<QList<QPointF>, kTracesPerFrame>, 2> m_points;
    std::array<int, kTracesPerFrame> m_back{};   // per trace, the buffer to refill next
};
StripChart strip;

QColor Rgb(int rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb)); }

QChartView* ChartView(int panel, int control) {
    return qobject_cast<QChartView*>(platform::ControlWidget(panel, control));
}

// The chart theme fills the background with a gradient from white to white; a plain white
// brush shows the same and halves the cost of every repaint.
void UsePlainBackground(QChart* chart) { chart->setBackgroundBrush(QBrush(Qt::white)); }

bool GridWanted() {
    int checked = 1;
    platform::GetCtrlVal(ui::datapanel, ui::DATAP_GRID, checked);
    return checked != 0;
}

void BuildStripChart(QChartView* view) {
    strip = StripChart{};
    strip.m_view = view;
    auto* chart = new QChart;
    chart->legend()->hide();
    chart->setMargins(QMargins(2, 2, 2, 2));
    UsePlainBackground(chart);
    strip.m_axisX = new QValueAxis(chart);
    strip.m_axisX->setRange(0, kPointsPerScreen - 1);
    strip.m_axisX->setLabelFormat("%d");
    strip.m_axisY = new QValueAxis(chart);
    const AxisLimits fixed = FixedScaleLimits();
    strip.m_axisY->setRange(fixed.m_low, fixed.m_high);
    strip.m_axisY->setLabelFormat("%d");
    chart->addAxis(strip.m_axisX, Qt::AlignBottom);
    chart->addAxis(strip.m_axisY, Qt::AlignLeft);
    for (auto& buffers : strip.m_points) {
        for (QList<QPointF>& points : buffers) {
            points.resize(kHistoryFrames);
            for (int i = 0; i < kHistoryFrames; ++i) points[i] = QPointF(kFirstFrameX + i, 0.0);
        }
    }
    for (int slot = 0; slot < kTracesPerFrame; ++slot) {
        auto* series = new QLineSeries;
        QPen pen(Rgb(kTraceStyles[slot].m_color));
        pen.setStyle(kTraceStyles[slot].m_line);
        pen.setWidth(kTraceStyles[slot].m_widthPx);
        series->setPen(pen);
        series->replace(strip.m_points[0][slot]);
        chart->addSeries(series);
        series->attachAxis(strip.m_axisX);
        series->attachAxis(strip.m_axisY);
        strip.m_series[slot] = series;
    }
    strip.m_back.fill(1);
    view->setChart(chart);   // the view owns the chart (and deletes a previous one)
    ShowGridLines(GridWanted());
}

// The strip chart of the loaded data panel, built on first use; nullptr without a panel.
StripChart* Strip() {
    QChartView* view = ChartView(ui::datapanel, ui::DATAP_STRIPCHART);
    if (view == nullptr) return nullptr;
    if (strip.m_view != view) BuildStripChart(view);
    return &strip;
}

// ---- XY graphs of recorded frames

// Points of one series: a graph grows by appending to its newest series, and a full one is
// continued by a new series, so a frame costs the same however many were drawn before.
constexpr int kPointsPerSeries = 256;
constexpr double kInitialXMax = 100.0;     // X range at first; doubled whenever outgrown
constexpr double kLargestX = 65535.0;      // graphCnt is 16 bits
constexpr double kMinYMargin = 16.0;       // sensor units kept free above and below the values

// One XY graph of the graph panel: its chart, axes and the series holding its segments.
// The axes only grow, in steps that at least double the room, so that rescaling (which
// recomputes every series) happens a logarithmic number of times.
struct SignalGraph {
    QPointer<QChartView> m_view;
    QChart* m_chart = nullptr;
    QValueAxis* m_axisX = nullptr;
    QValueAxis* m_axisY = nullptr;
    int m_color = 0;
    std::vector<QLineSeries*> m_series;   // oldest first; the last one grows
    double m_xMax = kInitialXMax;
    bool m_hasYRange = false;
    double m_yLow = 0.0;
    double m_yHigh = 0.0;
};
SignalGraph rawGraph;
SignalGraph tempGraph;

void ResetAxes(SignalGraph& graph) {
    graph.m_xMax = kInitialXMax;
    graph.m_hasYRange = false;
    graph.m_axisX->setRange(0.0, graph.m_xMax);
    graph.m_axisY->setRange(0.0, 1.0);
}

void BuildSignalGraph(SignalGraph& graph, QChartView* view, int color) {
    graph = SignalGraph{};
    graph.m_view = view;
    graph.m_color = color;
    graph.m_chart = new QChart;
    graph.m_chart->legend()->hide();
    graph.m_chart->setMargins(QMargins(2, 2, 2, 2));
    UsePlainBackground(graph.m_chart);
    graph.m_axisX = new QValueAxis(graph.m_chart);
    graph.m_axisX->setLabelFormat("%d");
    graph.m_axisY = new QValueAxis(graph.m_chart);
    graph.m_axisY->setLabelFormat("%d");
    graph.m_chart->addAxis(graph.m_axisX, Qt::AlignBottom);
    graph.m_chart->addAxis(graph.m_axisY, Qt::AlignLeft);
    ResetAxes(graph);
    view->setChart(graph.m_chart);
}

// The graph of the loaded graph panel, built on first use; nullptr without a panel.
SignalGraph* Graph(SignalGraph& graph, int control, int color) {
    QChartView* view = ChartView(ui::graphpanel, control);
    if (view == nullptr) return nullptr;
    if (graph.m_view != view) BuildSignalGraph(graph, view, color);
    return &graph;
}
SignalGraph* RawGraph() { return Graph(rawGraph, ui::GRAPHP_GRAPH_RAW, kRawGraphColor); }
SignalGraph* TempGraph() { return Graph(tempGraph, ui::GRAPHP_GRAPH_TEMP, kTempGraphColor); }

void ClearGraph(SignalGraph* graph) {
    if (graph == nullptr) return;
    graph->m_chart->removeAllSeries();   // deletes them
    graph->m_series.clear();
    ResetAxes(*graph);
}

void GrowAxes(SignalGraph& graph, QPointF point) {
    if (point.x() > graph.m_xMax) {
        while (point.x() > graph.m_xMax) graph.m_xMax *= 2.0;
        graph.m_xMax = std::min(graph.m_xMax, kLargestX);
        graph.m_axisX->setMax(graph.m_xMax);
    }
    const double y = point.y();
    if (!graph.m_hasYRange) {
        graph.m_hasYRange = true;
        graph.m_yLow = y - kMinYMargin;
        graph.m_yHigh = y + kMinYMargin;
    } else if (y < graph.m_yLow || y > graph.m_yHigh) {
        const double room = std::max(kMinYMargin, graph.m_yHigh - graph.m_yLow);
        if (y < graph.m_yLow) graph.m_yLow = y - room;
        if (y > graph.m_yHigh) graph.m_yHigh = y + room;
    } else {
        return;
    }
    // Round limits and ticks; they only widen the range.
    graph.m_axisY->setRange(graph.m_yLow, graph.m_yHigh);
    graph.m_axisY->applyNiceNumbers();
    graph.m_yLow = graph.m_axisY->min();
    graph.m_yHigh = graph.m_axisY->max();
}

QLineSeries* NewSeries(SignalGraph& graph) {
    auto* series = new QLineSeries;
    QPen pen(Rgb(graph.m_color));
    pen.setStyle(Qt::SolidLine);
    series->setPen(pen);
    series->setPointsVisible(false);
    graph.m_chart->addSeries(series);
    series->attachAxis(graph.m_axisX);
    series->attachAxis(graph.m_axisY);
    graph.m_series.push_back(series);
    return series;
}

// Draws the segment from `from` to `to`. It continues the newest series when that ends at
// `from`, runs forwards and has room; otherwise (first frame, the count wrapped back to 0,
// a full series) a new series starts at `from`. A segment whose ends coincide is one point.
void DrawSegment(SignalGraph* graph, QPointF from, QPointF to) {
    if (graph == nullptr) return;
    QLineSeries* series = graph->m_series.empty() ? nullptr : graph->m_series.back();
    const bool continues = series != nullptr && series->count() < kPointsPerSeries &&
                           series->at(series->count() - 1) == from && to.x() >= from.x();
    if (!continues) {
        series = NewSeries(*graph);
        GrowAxes(*graph, from);
        series->append(from);
        if (to == from) return;
    }
    GrowAxes(*graph, to);
    series->append(to);
}

// ---- Panels

int SignalSelected() {
    int signal = kSignalRaw;
    platform::GetCtrlVal(ui::graphpanel, ui::GRAPHP_SIGNAL, signal);
    return signal;
}

// ---- Pictures

// The XY graph the graph panel shows.
int GraphShown() {
    int tempShown = 0;
    platform::GetCtrlAttribute(ui::graphpanel, ui::GRAPHP_GRAPH_TEMP, platform::ATTR_VISIBLE,
                               tempShown);
    return tempShown != 0 ? ui::GRAPHP_GRAPH_TEMP : ui::GRAPHP_GRAPH_RAW;
}

// A chosen name without a suffix gets ".png", as the filter suggests.
std::string PicturePath(const std::string& chosen) {
    return QFileInfo(QString::fromStdString(chosen)).suffix().isEmpty() ? chosen + kPictureSuffix
                                                                         : chosen;
}

// The chart view as it is drawn, encoded as PNG.
std::string PngOf(QChartView* view) {
    QByteArray png;
    QBuffer buffer(&png);
    if (view == nullptr || !buffer.open(QIODevice::WriteOnly) || !view->grab().save(&buffer, "PNG"))
        return {};
    return png.toStdString();
}

// Asks for a file and writes the chart view as it is drawn, at its size on the screen, as a
// PNG picture; says so when the file cannot be written. Cancelling the dialog does nothing.
void SaveChartPicture(int panel, int control, const char* defaultName) {
    InitCharts();   // an empty chart still shows its axes
    std::string chosen;
    if (platform::FileSelectPopup(sensorlink::proj_dir, defaultName, kPictureFilter, kPictureTitle,
                                  chosen) <= 0)
        return;
    const std::string path = PicturePath(chosen);
    const std::string png = PngOf(ChartView(panel, control));
    if (!png.empty() && platform::WriteFileBytes(path, png)) return;
    platform::MessagePopup(platform::kAttentionTitle, "The picture could not be written:\n" + path);
}

}  // namespace

void InitCharts() {
    Strip();
    RawGraph();
    TempGraph();
}

void ShowGridLines(bool visible) {
    StripChart* chart = Strip();
    if (chart == nullptr) return;
    chart->m_axisX->setGridLineVisible(visible);
    chart->m_axisY->setGridLineVisible(visible);
}

void InitGraphBuffers() {
    using namespace sensorlink;
    platform::GetCtrlVal(ui::parapanel, ui::PARAP_TRSHMODE, paraTrshMode);
    platform::GetCtrlVal(ui::parapanel, ui::PARAP_TOLERANCE, paraTol);
    platform::GetCtrlVal(ui::parapanel, ui::PARAP_HYSTERESIS, paraHyst);
    const ThresholdLines lines = ThresholdRule(paraTrshMode, dataRef, paraTol, paraHyst);
    std::copy(ana0Buf + kTracesPerFrame, ana0Buf + kHistoryValues, ana0Buf);
    double* newest = ana0Buf + kHistoryValues - kTracesPerFrame;
    newest[0] = dataRef;
    newest[1] = dataANA0;
    newest[2] = lines.m_threshold1;
    newest[3] = lines.m_threshold2;
    newest[4] = lines.m_hysteresis1;
    newest[5] = lines.m_hysteresis2;
}

void ShowGraph() {
    StripChart* chart = Strip();
    if (chart == nullptr) return;
    const AxisLimits limits =
        scale == kScaleAutoZoom ? AutoZoomLimits(std::span<const double>(ana0Buf))
                                : FixedScaleLimits();
    chart->m_axisY->setRange(limits.m_low, limits.m_high);
    chart->m_axisX->setRange(0, kPointsPerScreen - 1);
    for (int slot = 0; slot < kTracesPerFrame; ++slot) {
        int& back = chart->m_back[slot];
        QList<QPointF>& points = chart->m_points[back][slot];
        QPointF* point = points.data();
        for (int frame = 0; frame < kHistoryFrames; ++frame)
            point[frame].setY(ana0Buf[frame * kTracesPerFrame + slot]);
        // A trace that comes out as it stands (a steady reference and its switching lines)
        // keeps its line: laying a line out again costs more than the rest of the redraw.
        if (points == chart->m_points[1 - back][slot]) continue;
        chart->m_series[slot]->replace(points);
        back = 1 - back;
    }
}

void InitPanelGraph() {
    graphCnt = 0;
    ClearGraph(RawGraph());
    ClearGraph(TempGraph());
    bufCnt[0] = bufCnt[1] = 0;
    bufANA0[0] = bufANA0[1] = sensorlink::dataANA0;
    bufTemp[0] = bufTemp[1] = sensorlink::dataTemp;
}

void SetPanelGraphData() {
    using sensorlink::dataANA0;
    using sensorlink::dataTemp;
    platform::SetCtrlVal(ui::graphpanel, ui::GRAPHP_RAW, static_cast<int>(dataANA0));
    platform::SetCtrlVal(ui::graphpanel, ui::GRAPHP_TEMP, static_cast<int>(dataTemp));
    bufCnt[0] = bufCnt[1];
    bufANA0[0] = bufANA0[1];
    bufTemp[0] = bufTemp[1];
    bufCnt[1] = graphCnt;
    bufANA0[1] = dataANA0;
    bufTemp[1] = dataTemp;
    if (graphCnt == 0) {
        bufANA0[0] = bufANA0[1];
        bufTemp[0] = bufTemp[1];
    }
    DrawSegment(RawGraph(), QPointF(bufCnt[0], bufANA0[0]), QPointF(bufCnt[1], bufANA0[1]));
    DrawSegment(TempGraph(), QPointF(bufCnt[0], bufTemp[0]), QPointF(bufCnt[1], bufTemp[1]));
    ++graphCnt;
}

void SetGraphVisible() {
    platform::SetCtrlAttribute(ui::graphpanel, ui::GRAPHP_GRAPH_RAW, platform::ATTR_VISIBLE, 0);
    platform::SetCtrlAttribute(ui::graphpanel, ui::GRAPHP_GRAPH_TEMP, platform::ATTR_VISIBLE, 0);
    const int shown = SignalSelected() == kSignalTemp ? ui::GRAPHP_GRAPH_TEMP : ui::GRAPHP_GRAPH_RAW;
    platform::SetCtrlAttribute(ui::graphpanel, shown, platform::ATTR_VISIBLE, 1);
}

// ---- Callbacks

int CBF_GraphANA0(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoGraph)) return 0;
    if (event == platform::EVENT_LEFT_CLICK) scale = kScaleFixed;
    if (event == platform::EVENT_LEFT_DOUBLE_CLICK) scale = kScaleAutoZoom;
    return 0;
}

int CBF_GraphData1(int, int, int event, void*, int, int) {
    ui::ShowHelpOnRightClick(event, ui::InfoGraph);
    return 0;
}

int CBF_ButtonShowGraph(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoButtonShowGraph)) return 0;
    if (event != platform::EVENT_COMMIT) return 0;
    platform::DisplayPanel(ui::graphpanel);
    platform::HidePanel(ui::datapanel);
    return 0;
}

int CBF_ButtonGpClose(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoButtonClosePanel)) return 0;
    if (event != platform::EVENT_COMMIT) return 0;
    platform::DisplayPanel(ui::datapanel);
    platform::HidePanel(ui::graphpanel);
    return 0;
}

int CBF_EditSignal(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoEditSignal)) return 0;
    if (event == platform::EVENT_COMMIT) SetGraphVisible();
    return 0;
}

int CBF_PanelGraphGraph(int, int, int event, void*, int, int) {
    ui::ShowHelpOnRightClick(event, ui::InfoGraphPanel);
    return 0;
}

// The graph panel ignores every event, a close request included.
int CBF_GRAPHP(int, int, int, void*, int, int) { return 0; }

int CBF_ButtonSaveChart(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoButtonSaveChart)) return 0;
    if (event == platform::EVENT_COMMIT)
        SaveChartPicture(ui::datapanel, ui::DATAP_STRIPCHART, kStripChartPictureName);
    return 0;
}

int CBF_ButtonSaveGraph(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoButtonSaveGraph)) return 0;
    if (event != platform::EVENT_COMMIT) return 0;
    const int shown = GraphShown();
    SaveChartPicture(ui::graphpanel, shown,
                     shown == ui::GRAPHP_GRAPH_TEMP ? kTempGraphPictureName : kRawGraphPictureName);
    return 0;
}

void RegisterCallbacks() {
    platform::RegisterCallbacks({
        {"CBF_GraphANA0", CBF_GraphANA0},
        {"CBF_GraphData1", CBF_GraphData1},
        {"CBF_ButtonShowGraph", CBF_ButtonShowGraph},
        {"CBF_ButtonGpClose", CBF_ButtonGpClose},
        {"CBF_EditSignal", CBF_EditSignal},
        {"CBF_PanelGraphGraph", CBF_PanelGraphGraph},
        {"CBF_GRAPHP", CBF_GRAPHP},
        {"CBF_ButtonSaveChart", CBF_ButtonSaveChart},
        {"CBF_ButtonSaveGraph", CBF_ButtonSaveGraph},
    });
}

}  // namespace graph
