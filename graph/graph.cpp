#include "graph/graph.h"

#include <QBuffer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPixmap>
#include <algorithm>
#include <span>

#include "core/graphrules.h"
#include "graph/chart.h"
#include "link/com232.h"
#include "link/exchanges.h"
#include "platform/platform.h"
#include "ui/TavrixV20.h"
#include "ui/helptexts.h"
#include "ui/panels.h"

namespace graph {

namespace {

// ---- Charts in their places on the panels

QColor Rgb(int rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb)); }

bool GridWanted() {
    int checked = 1;
    platform::GetCtrlVal(ui::datapanel, ui::DATAP_GRID, checked);
    return checked != 0;
}

// The chart inside the form's place for it, made by `make` on first use and again when the
// panel has been loaded anew; nullptr without a panel. The chart fills its place and carries
// its accessible name; clicks on it reach the place's control callback.
template <class Chart, class Make>
Chart* ChartIn(int panel, int control, Make make) {
    QWidget* place = platform::ControlWidget(panel, control);
    if (place == nullptr) return nullptr;
    if (auto* chart = place->findChild<Chart*>(QString(), Qt::FindDirectChildrenOnly)) return chart;
    auto* layout = new QHBoxLayout(place);
    layout->setContentsMargins(0, 0, 0, 0);
    Chart* chart = make(place);
    chart->setAccessibleName(place->accessibleName());
    chart->setGeometry(place->rect());   // the layout takes over once the panel is shown
    layout->addWidget(chart);
    return chart;
}

StripChartWidget* Strip() {
    return ChartIn<StripChartWidget>(ui::datapanel, ui::DATAP_STRIPCHART, [](QWidget* place) {
        auto* chart = new StripChartWidget(place);
        chart->SetGridVisible(GridWanted());
        return chart;
    });
}

SignalGraphWidget* Graph(int control, int color, const char* valueName) {
    return ChartIn<SignalGraphWidget>(ui::graphpanel, control, [&](QWidget* place) {
        return new SignalGraphWidget(place, Rgb(color), QString::fromLatin1(valueName));
    });
}
SignalGraphWidget* RawGraph() { return Graph(ui::GRAPHP_GRAPH_RAW, kRawGraphColor, "RAW"); }
SignalGraphWidget* TempGraph() { return Graph(ui::GRAPHP_GRAPH_TEMP, kTempGraphColor, "TEMP"); }

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

// The chart as it is drawn, encoded as PNG.
std::string PngOf(QWidget* chart) {
    QByteArray png;
    QBuffer buffer(&png);
    if (chart == nullptr || !buffer.open(QIODevice::WriteOnly) ||
        !chart->grab().save(&buffer, "PNG"))
        return {};
    return png.toStdString();
}

// Asks for a file and writes the chart as it is drawn, at its size on the screen, as a
// PNG picture; says so when the file cannot be written. Cancelling the dialog does nothing.
void SaveChartPicture(int panel, int control, const char* defaultName) {
    InitCharts();   // an empty chart still shows its axes
    std::string chosen;
    if (platform::FileSelectPopup(sensorlink::proj_dir, defaultName, kPictureFilter, kPictureTitle,
                                  chosen) <= 0)
        return;
    const std::string path = PicturePath(chosen);
    const std::string png = PngOf(platform::ControlWidget(panel, control));
    if (!png.empty() && platform::WriteFileBytes(path, png)) return;
    platform::MessagePopup(platform::kAttentionTitle, "The picture could not be written:\n" + path);
}

}   // namespace

void InitCharts() {
    Strip();
    RawGraph();
    TempGraph();
}

void ShowGridLines(bool visible) {
    if (StripChartWidget* chart = Strip()) chart->SetGridVisible(visible);
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
    StripChartWidget* chart = Strip();
    if (chart == nullptr) return;
    const AxisLimits limits = scale == kScaleAutoZoom
                                  ? AutoZoomLimits(std::span<const double>(ana0Buf))
                                  : FixedScaleLimits();
    chart->SetHistory(std::span<const double, kHistoryValues>(ana0Buf), limits);
}

void InitPanelGraph() {
    graphCnt = 0;
    if (SignalGraphWidget* raw = RawGraph()) raw->Clear();
    if (SignalGraphWidget* temp = TempGraph()) temp->Clear();
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
    // Each graph keeps the new point; the segment from (bufCnt[0], buf...[0]) follows from it
    // and the point before it.
    if (SignalGraphWidget* raw = RawGraph()) raw->Append({bufCnt[1], bufANA0[1]});
    if (SignalGraphWidget* temp = TempGraph()) temp->Append({bufCnt[1], bufTemp[1]});
    ++graphCnt;
}

void SetGraphVisible() {
    platform::SetCtrlAttribute(ui::graphpanel, ui::GRAPHP_GRAPH_RAW, platform::ATTR_VISIBLE, 0);
    platform::SetCtrlAttribute(ui::graphpanel, ui::GRAPHP_GRAPH_TEMP, platform::ATTR_VISIBLE, 0);
    const int shown =
        SignalSelected() == kSignalTemp ? ui::GRAPHP_GRAPH_TEMP : ui::GRAPHP_GRAPH_RAW;
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

}   // namespace graph
