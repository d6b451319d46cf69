// The strip chart and the graph panel in the running program: the threshold lines follow the
// panel's edits, the Y scale and the grid follow real clicks, the traces carry their slots, and
// the XY graphs draw one segment per recorded frame, wrap at 65536 frames and swap with the data
// panel. The threshold rule and the axis limits alone are checked in test_core.cpp.
#include <QChartView>
#include <QLineSeries>
#include <QValueAxis>

#include "apptest.h"
#include "graph/graph.h"
#include "core/graphrules.h"

using namespace apptest;
namespace sl = sensorlink;

namespace {

using Points = std::vector<QPointF>;

QChart* Chart(int panel, int control) {
    return qobject_cast<QChartView*>(platform::ControlWidget(panel, control))->chart();
}
QChart* Strip() { return Chart(ui::datapanel, ui::DATAP_STRIPCHART); }
QValueAxis* Axis(QChart* chart, Qt::Orientation orientation) {
    return qobject_cast<QValueAxis*>(chart->axes(orientation).value(0));
}
QLineSeries* Trace(int slot) { return qobject_cast<QLineSeries*>(Strip()->series().at(slot)); }
double Newest(int slot) { return Trace(slot)->at(graph::kHistoryFrames - 1).y(); }

// Every series of an XY graph, point by point.
std::vector<Points> Segments(int control) {
    std::vector<Points> all;
    for (QAbstractSeries* series : Chart(ui::graphpanel, control)->series()) {
        const QList<QPointF> points = qobject_cast<QLineSeries*>(series)->points();
        all.emplace_back(points.begin(), points.end());
    }
    return all;
}

// One frame as the GO loop takes it, and one as a recording takes it.
void Frame(uint16_t raw, uint16_t ref) {
    sl::dataANA0 = raw;
    sl::dataRef = ref;
    shell::SetPanelData();
    graph::ShowGraph();
}
void Recorded(uint16_t raw, uint16_t temp) {
    sl::dataANA0 = raw;
    sl::dataTemp = temp;
    graph::SetPanelGraphData();
}

class GraphTest : public ::testing::Test {
protected:
    void SetUp() override {
        // An empty history and the fixed scale, as at start, also when the cases share a process.
        std::fill(std::begin(graph::ana0Buf), std::end(graph::ana0Buf), 0.0);
        graph::scale = graph::kScaleFixed;
        m_program.Start();
        ASSERT_EQ(P().Text(ui::datapanel, ui::DATAP_STATUS), sim::kDefaultIdentification);
        P().m_sensor.clearLog();
    }
    Program& P() { return m_program; }
    Program m_program{Transport::Tcp};
};

// ---- strip chart ----------------------------------------------------------------------------

TEST_F(GraphTest, ToleranceEditShowsInTheThresholdLinesWithTheNextFrameBeforeSend) {
    // The sensor runs WIN with tolerance 200 and its reference at the teach value.
    ASSERT_EQ(P().Value(ui::parapanel, ui::PARAP_TRSHMODE), graph::kModeWin);
    ASSERT_EQ(P().Value(ui::parapanel, ui::PARAP_TOLERANCE), 200);
    size_t requestsAtEdit = 0;
    double upperBefore = -1.0;
    P().WhileRunning([&] {
        const size_t requests = P().m_sensor.requests().size();
        if (requestsAtEdit == 0 && requests >= 3) {
            upperBefore = Newest(2);
            platform::SetCtrlVal(ui::parapanel, ui::PARAP_TOLERANCE, 777);
            requestsAtEdit = requests;
        } else if (requestsAtEdit != 0 && requests >= requestsAtEdit + 2) {
            P().Click(ui::mainpanel, ui::MAINP_BUTTON_STOP);
        }
    });
    P().Click(ui::mainpanel, ui::MAINP_BUTTON_GO);
    P().StopSampler();
    ASSERT_NE(requestsAtEdit, 0u);
    const double ref = sl::dataRef;
    EXPECT_EQ(upperBefore, std::min(ref + 200, 4095.0));
    EXPECT_EQ(Newest(2), std::min(ref + 777, 4095.0));
    EXPECT_EQ(Newest(3), std::max(ref - 777, 0.0));
    // Nothing was sent: the sensor still works with its own tolerance.
    EXPECT_EQ(P().m_sensor.ram()[12], 200);
    EXPECT_EQ(P().Requests(sl::kCodeData), static_cast<int>(P().m_sensor.requests().size()));
}

TEST_F(GraphTest, TracesCarryTheirSlotsOldestFirst) {
    platform::SetCtrlVal(ui::parapanel, ui::PARAP_TRSHMODE, graph::kModeLow);
    platform::SetCtrlVal(ui::parapanel, ui::PARAP_TOLERANCE, 200);
    platform::SetCtrlVal(ui::parapanel, ui::PARAP_HYSTERESIS, 50);
    for (int i = 0; i < graph::kHistoryFrames; ++i) Frame(static_cast<uint16_t>(1000 + i), 3000);
    // Reference, raw, both LOW thresholds at ref - tol, both hysteresis lines 50 above them.
    const std::vector<double> newest = {3000, 1099, 2800, 2800, 2850, 2850};
    ASSERT_EQ(Strip()->series().size(), static_cast<qsizetype>(newest.size()));
    for (int slot = 0; slot < graph::kTracesPerFrame; ++slot) {
        ASSERT_EQ(Trace(slot)->count(), graph::kHistoryFrames);
        EXPECT_EQ(Trace(slot)->at(graph::kHistoryFrames - 1),
                  QPointF(graph::kPointsPerScreen - 1, newest[slot]));
    }
    EXPECT_EQ(Trace(1)->at(0).y(), 1000);
}

TEST_F(GraphTest, YScaleAndGridFollowRealClicksOnTheChart) {
    QWidget* chart = qobject_cast<QChartView*>(P().Widget(ui::datapanel, ui::DATAP_STRIPCHART))->viewport();
    QValueAxis* x = Axis(Strip(), Qt::Horizontal);
    QValueAxis* y = Axis(Strip(), Qt::Vertical);
    const auto range = [&] { return std::make_pair(y->min(), y->max()); };
    for (int i = 0; i < 10; ++i) Frame(1200, 1000);   // a history still partly zero
    EXPECT_EQ(range(), std::make_pair(0.0, 4096.0));   // fixed scale at start
    QTest::mouseDClick(chart, Qt::LeftButton);
    EXPECT_EQ(range(), std::make_pair(0.0, 4096.0));   // applied with the next frame only
    Frame(1200, 1000);
    EXPECT_EQ(range(), std::make_pair(0.0, 1225.0));   // down to 0, up to the largest of all traces
    platform::SetCtrlVal(ui::parapanel, ui::PARAP_TOLERANCE, 0);
    platform::SetCtrlVal(ui::parapanel, ui::PARAP_HYSTERESIS, 0);
    for (int i = 0; i < graph::kHistoryFrames; ++i) Frame(2000, 2000);
    EXPECT_EQ(range(), std::make_pair(1975.0, 2025.0));   // all equal: v - 25 .. v + 25
    QTest::mouseClick(chart, Qt::LeftButton);
    Frame(2000, 2000);
    EXPECT_EQ(range(), std::make_pair(0.0, 4096.0));

    ASSERT_TRUE(x->isGridLineVisible() && y->isGridLineVisible());
    P().Click(ui::datapanel, ui::DATAP_GRID);
    EXPECT_FALSE(x->isGridLineVisible() || y->isGridLineVisible());
    P().Click(ui::datapanel, ui::DATAP_GRID);
    EXPECT_TRUE(x->isGridLineVisible() && y->isGridLineVisible());
}

// ---- graph panel ----------------------------------------------------------------------------

TEST_F(GraphTest, RecordedFramesDrawAPointThenSegmentsAndWrapAfter65536) {
    Recorded(5, 6);   // before clearing
    graph::InitPanelGraph();
    EXPECT_TRUE(Segments(ui::GRAPHP_GRAPH_RAW).empty());
    Recorded(100, 300);
    EXPECT_EQ(Segments(ui::GRAPHP_GRAPH_RAW), std::vector<Points>{{QPointF(0, 100)}});
    EXPECT_EQ(Segments(ui::GRAPHP_GRAPH_TEMP), std::vector<Points>{{QPointF(0, 300)}});
    EXPECT_EQ(P().Text(ui::graphpanel, ui::GRAPHP_RAW) + " " + P().Text(ui::graphpanel, ui::GRAPHP_TEMP),
              "100 300");
    Recorded(150, 310);
    EXPECT_EQ(Segments(ui::GRAPHP_GRAPH_RAW), (std::vector<Points>{{QPointF(0, 100), QPointF(1, 150)}}));
    EXPECT_EQ(Segments(ui::GRAPHP_GRAPH_TEMP), (std::vector<Points>{{QPointF(0, 300), QPointF(1, 310)}}));
    QValueAxis* rawY = Axis(Chart(ui::graphpanel, ui::GRAPHP_GRAPH_RAW), Qt::Vertical);
    EXPECT_TRUE(rawY->min() <= 100 && rawY->max() >= 150);   // the axes hold every point

    constexpr int kFrames = 65536;
    for (int i = 2; i < kFrames; ++i) Recorded(static_cast<uint16_t>(i % 4000), 100);
    EXPECT_EQ(graph::graphCnt, 0);
    Recorded(7, 9);
    const auto segments = Segments(ui::GRAPHP_GRAPH_RAW);
    // The segment back: from 65535 to 0 at the new value, a series of its own.
    EXPECT_EQ(segments.back(), (Points{QPointF(65535, 7), QPointF(0, 7)}));
    // Before it the series join without a gap and hold every frame once.
    size_t points = 0;
    for (size_t s = 0; s + 1 < segments.size(); ++s) {
        ASSERT_FALSE(segments[s].empty());
        if (s > 0) {
            EXPECT_EQ(segments[s].front(), segments[s - 1].back());
        }
        points += segments[s].size() - (s > 0 ? 1 : 0);
    }
    EXPECT_EQ(points, static_cast<size_t>(kFrames));
    EXPECT_EQ(segments[segments.size() - 2].back(), QPointF(65535, 65535 % 4000));
    EXPECT_EQ(Axis(Chart(ui::graphpanel, ui::GRAPHP_GRAPH_RAW), Qt::Horizontal)->max(), 65535);
}

TEST_F(GraphTest, SignalSelectorShowsOneGraphAndTheRawOneForUnknownValues) {
    P().Click(ui::datapanel, ui::DATAP_BUTTON_SHOWGRAPH);
    EXPECT_TRUE(platform::PanelVisible(ui::graphpanel) && !platform::PanelVisible(ui::datapanel));
    platform::InsertListItem(ui::graphpanel, ui::GRAPHP_SIGNAL, -1, "OTHER", "7");
    const auto choose = [&](int index) {   // as the user picks an item: is raw, is temp shown
        auto* ring = qobject_cast<QComboBox*>(P().Widget(ui::graphpanel, ui::GRAPHP_SIGNAL));
        ring->setCurrentIndex(index);
        emit ring->activated(index);
        int raw = 0, temp = 0;
        platform::GetCtrlAttribute(ui::graphpanel, ui::GRAPHP_GRAPH_RAW, platform::ATTR_VISIBLE, raw);
        platform::GetCtrlAttribute(ui::graphpanel, ui::GRAPHP_GRAPH_TEMP, platform::ATTR_VISIBLE, temp);
        return std::make_pair(raw != 0, temp != 0);
    };
    EXPECT_EQ(choose(1), std::make_pair(false, true));
    EXPECT_EQ(choose(2), std::make_pair(true, false));
    choose(1);
    EXPECT_EQ(choose(0), std::make_pair(true, false));
    graph::InitPanelGraph();   // hidden graphs go on being drawn
    Recorded(40, 41);
    EXPECT_EQ(Segments(ui::GRAPHP_GRAPH_TEMP), std::vector<Points>{{QPointF(0, 41)}});
    P().Click(ui::graphpanel, ui::GRAPHP_BUTTON_CLOSE);
    EXPECT_TRUE(platform::PanelVisible(ui::datapanel) && !platform::PanelVisible(ui::graphpanel));
}

}  // namespace
