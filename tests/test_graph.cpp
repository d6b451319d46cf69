// The strip chart and the graph panel in the running program: the threshold lines follow the
// panel's edits, the Y scale follows real clicks, the traces carry their slots in their styles,
// and the XY graphs draw one segment per recorded frame, wrap at 65536 frames and swap with
// the data panel.
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QLineSeries>
#include <QTimer>
#include <QValueAxis>

#include "apptest.h"
#include "graph/graph.h"
#include "graph/graphrules.h"
#include "shell/helptexts.h"

using namespace apptest;
namespace sl = sensorlink;

namespace {

class GraphTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The program starts with an empty history and the fixed scale (the tests of this
        // file may share one process).
        std::fill(std::begin(graph::ana0Buf), std::end(graph::ana0Buf), 0.0);
        graph::scale = graph::kScaleFixed;
        m_program = std::make_unique<Program>(Transport::Tcp);
        m_program->Start();
        ASSERT_EQ(m_program->Text(shell::datapanel, ui::DATAP_STATUS),
                  sim::kDefaultIdentification);
        m_program->m_sensor.clearLog();
        platform::ClearPopupLog();
    }
    void TearDown() override { m_program.reset(); }

    Program& P() { return *m_program; }

    static QChart* Chart(int panel, int control) {
        auto* view = qobject_cast<QChartView*>(platform::ControlWidget(panel, control));
        return view != nullptr ? view->chart() : nullptr;
    }
    static QChart* Strip() { return Chart(shell::datapanel, ui::DATAP_STRIPCHART); }
    static QValueAxis* Axis(QChart* chart, Qt::Orientation orientation) {
        const auto axes = chart->axes(orientation);
        return axes.isEmpty() ? nullptr : qobject_cast<QValueAxis*>(axes.first());
    }
    static QLineSeries* Trace(int slot) {
        return qobject_cast<QLineSeries*>(Strip()->series().at(slot));
    }
    // Every point of every series of an XY graph, series by series.
    static std::vector<std::vector<QPointF>> Segments(int control) {
        std::vector<std::vector<QPointF>> all;
        for (QAbstractSeries* series : Chart(shell::graphpanel, control)->series()) {
            const QList<QPointF> points = qobject_cast<QLineSeries*>(series)->points();
            all.emplace_back(points.begin(), points.end());
        }
        return all;
    }

    // One frame as the GO loop takes it.
    static void Frame(uint16_t raw, uint16_t ref) {
        sl::dataANA0 = raw;
        sl::dataRef = ref;
        shell::SetPanelData();
        graph::ShowGraph();
    }
    static void Recorded(uint16_t raw, uint16_t temp) {
        sl::dataANA0 = raw;
        sl::dataTemp = temp;
        graph::SetPanelGraphData();
    }

    std::unique_ptr<Program> m_program;
};

// ---- strip chart ----------------------------------------------------------------------------

TEST_F(GraphTest, ToleranceEditShowsInTheThresholdLinesWithTheNextFrameBeforeSend) {
    // The sensor runs WIN with tolerance 200 and its reference at the teach value.
    ASSERT_EQ(P().Value(shell::parapanel, ui::PARAP_TRSHMODE), graph::kModeWin);
    ASSERT_EQ(P().Value(shell::parapanel, ui::PARAP_TOLERANCE), 200);
    constexpr int kEditedTolerance = 777;
    size_t requestsAtEdit = 0;
    double upperBefore = -1.0;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        const size_t requests = P().m_sensor.requests().size();
        if (requestsAtEdit == 0 && requests >= 3) {
            upperBefore = Trace(2)->at(graph::kHistoryFrames - 1).y();
            platform::SetCtrlVal(shell::parapanel, ui::PARAP_TOLERANCE, kEditedTolerance);
            requestsAtEdit = requests;
        } else if (requestsAtEdit != 0 && requests >= requestsAtEdit + 2) {
            P().Click(shell::mainpanel, ui::MAINP_BUTTON_STOP);
        }
    });
    user.start(10);
    P().Click(shell::mainpanel, ui::MAINP_BUTTON_GO);
    ASSERT_NE(requestsAtEdit, 0u);

    const double ref = sl::dataRef;
    EXPECT_EQ(upperBefore, std::min(ref + 200, 4095.0));
    EXPECT_EQ(Trace(2)->at(graph::kHistoryFrames - 1).y(), std::min(ref + kEditedTolerance, 4095.0));
    EXPECT_EQ(Trace(3)->at(graph::kHistoryFrames - 1).y(), std::max(ref - kEditedTolerance, 0.0));
    EXPECT_EQ(sl::paraTol, kEditedTolerance);
    // Nothing was sent: the sensor still works with its own tolerance.
    EXPECT_EQ(P().m_sensor.ram()[12], 200);
    for (const auto& request : P().m_sensor.requests()) EXPECT_EQ(request[3], sl::kCodeData);
}

TEST_F(GraphTest, TracesCarryTheirSlotsInTheirStyles) {
    platform::SetCtrlVal(shell::parapanel, ui::PARAP_TRSHMODE, graph::kModeLow);
    platform::SetCtrlVal(shell::parapanel, ui::PARAP_TOLERANCE, 200);
    platform::SetCtrlVal(shell::parapanel, ui::PARAP_HYSTERESIS, 50);
    for (int i = 0; i < graph::kHistoryFrames; ++i) Frame(static_cast<uint16_t>(1000 + i), 3000);
    ASSERT_EQ(Strip()->series().size(), graph::kTracesPerFrame);
    struct Expected {
        double newest;
        QColor color;
        Qt::PenStyle line;
    };
    const Expected expected[graph::kTracesPerFrame] = {
        {3000, Qt::blue, Qt::DashLine},              // reference
        {1099, QColor(0x00, 0xA0, 0x00), Qt::SolidLine},   // raw signal
        {2800, Qt::red, Qt::SolidLine},              // LOW: both thresholds at ref - tol
        {2800, Qt::red, Qt::SolidLine},
        {2850, Qt::black, Qt::DashLine},             // both hysteresis lines 50 above
        {2850, Qt::black, Qt::DashLine},
    };
    for (int slot = 0; slot < graph::kTracesPerFrame; ++slot) {
        SCOPED_TRACE(slot);
        QLineSeries* trace = Trace(slot);
        ASSERT_EQ(trace->count(), graph::kHistoryFrames);
        EXPECT_EQ(trace->at(graph::kHistoryFrames - 1).y(), expected[slot].newest);
        EXPECT_EQ(trace->at(graph::kHistoryFrames - 1).x(), graph::kPointsPerScreen - 1);
        EXPECT_EQ(trace->pen().color(), expected[slot].color);
        EXPECT_EQ(trace->pen().style(), expected[slot].line);
    }
    // Oldest first: the raw trace rises from left to right.
    EXPECT_EQ(Trace(1)->at(0).y(), 1000);
    EXPECT_EQ(Axis(Strip(), Qt::Horizontal)->max(), graph::kPointsPerScreen - 1);
}

TEST_F(GraphTest, YScaleFollowsRealClicksOnTheChart) {
    QChartView* view = qobject_cast<QChartView*>(P().Widget(shell::datapanel, ui::DATAP_STRIPCHART));
    ASSERT_NE(view, nullptr);
    QValueAxis* y = Axis(Strip(), Qt::Vertical);
    ASSERT_NE(y, nullptr);
    const auto range = [&] { return std::make_pair(y->min(), y->max()); };

    // A history still partly zero after start: the auto zoom reaches down to 0.
    for (int i = 0; i < 10; ++i) Frame(1200, 1000);
    EXPECT_EQ(range(), std::make_pair(0.0, 4096.0));   // fixed scale at start
    QTest::mouseDClick(view->viewport(), Qt::LeftButton);
    EXPECT_EQ(graph::scale, graph::kScaleAutoZoom);
    EXPECT_EQ(range(), std::make_pair(0.0, 4096.0));   // applied with the next frame only
    Frame(1200, 1000);
    // Largest of all six traces: the raw 1200 (WIN lines of ref 1000 stay below).
    EXPECT_EQ(range(), std::make_pair(0.0, 1225.0));

    // A full history of equal values gives v - 25 .. v + 25.
    platform::SetCtrlVal(shell::parapanel, ui::PARAP_TOLERANCE, 0);
    platform::SetCtrlVal(shell::parapanel, ui::PARAP_HYSTERESIS, 0);
    for (int i = 0; i < graph::kHistoryFrames; ++i) Frame(2000, 2000);
    EXPECT_EQ(range(), std::make_pair(1975.0, 2025.0));

    // A right click shows the help and leaves the scaling alone.
    QTest::mouseClick(view->viewport(), Qt::RightButton);
    ASSERT_EQ(platform::PopupLog().size(), 1u);
    EXPECT_EQ(platform::PopupLog()[0].title, "INFO!");
    EXPECT_EQ(platform::PopupLog()[0].text, shell::InfoGraph);
    EXPECT_EQ(graph::scale, graph::kScaleAutoZoom);

    QTest::mouseClick(view->viewport(), Qt::LeftButton);
    EXPECT_EQ(graph::scale, graph::kScaleFixed);
    Frame(2000, 2000);
    EXPECT_EQ(range(), std::make_pair(0.0, 4096.0));
}

TEST_F(GraphTest, GridButtonShowsAndHidesTheGridLines) {
    QValueAxis* x = Axis(Strip(), Qt::Horizontal);
    QValueAxis* y = Axis(Strip(), Qt::Vertical);
    ASSERT_NE(x, nullptr);
    ASSERT_NE(y, nullptr);
    ASSERT_TRUE(x->isGridLineVisible());
    P().Click(shell::datapanel, ui::DATAP_GRID);
    EXPECT_FALSE(x->isGridLineVisible());
    EXPECT_FALSE(y->isGridLineVisible());
    P().Click(shell::datapanel, ui::DATAP_GRID);
    EXPECT_TRUE(x->isGridLineVisible());
    EXPECT_TRUE(y->isGridLineVisible());
}

// ---- graph panel ----------------------------------------------------------------------------

TEST_F(GraphTest, FirstRecordedFrameIsOnePointTheSecondASegment) {
    Recorded(5, 6);   // before clearing
    sl::dataANA0 = 111;
    sl::dataTemp = 222;
    graph::InitPanelGraph();
    EXPECT_TRUE(Segments(ui::GRAPHP_GRAPH_RAW).empty());
    EXPECT_EQ(graph::graphCnt, 0);

    Recorded(100, 300);
    using Points = std::vector<std::vector<QPointF>>;
    EXPECT_EQ(Segments(ui::GRAPHP_GRAPH_RAW), (Points{{QPointF(0, 100)}}));
    EXPECT_EQ(Segments(ui::GRAPHP_GRAPH_TEMP), (Points{{QPointF(0, 300)}}));
    EXPECT_EQ(P().Text(shell::graphpanel, ui::GRAPHP_RAW), "100");
    EXPECT_EQ(P().Text(shell::graphpanel, ui::GRAPHP_TEMP), "300");

    Recorded(150, 310);
    EXPECT_EQ(Segments(ui::GRAPHP_GRAPH_RAW), (Points{{QPointF(0, 100), QPointF(1, 150)}}));
    EXPECT_EQ(Segments(ui::GRAPHP_GRAPH_TEMP), (Points{{QPointF(0, 300), QPointF(1, 310)}}));
    EXPECT_EQ(graph::graphCnt, 2);

    auto* raw = qobject_cast<QLineSeries*>(Chart(shell::graphpanel, ui::GRAPHP_GRAPH_RAW)->series()[0]);
    auto* temp = qobject_cast<QLineSeries*>(Chart(shell::graphpanel, ui::GRAPHP_GRAPH_TEMP)->series()[0]);
    EXPECT_EQ(raw->pen().color(), QColor(0x00, 0xFF, 0x00));
    EXPECT_EQ(temp->pen().color(), QColor(0x00, 0x80, 0x80));
    EXPECT_FALSE(raw->pointsVisible());
    // The axes hold every point drawn.
    QValueAxis* rawY = Axis(Chart(shell::graphpanel, ui::GRAPHP_GRAPH_RAW), Qt::Vertical);
    EXPECT_LE(rawY->min(), 100);
    EXPECT_GE(rawY->max(), 150);
}

TEST_F(GraphTest, CountWrapsAfter65536FramesAndTheNextSegmentRunsBack) {
    graph::InitPanelGraph();
    constexpr int kFrames = 65536;
    for (int i = 0; i < kFrames; ++i) Recorded(static_cast<uint16_t>(i % 4000), 100);
    EXPECT_EQ(graph::graphCnt, 0);
    Recorded(7, 9);
    EXPECT_EQ(graph::bufCnt[0], 65535);
    EXPECT_EQ(graph::bufCnt[1], 0);

    const auto segments = Segments(ui::GRAPHP_GRAPH_RAW);
    // The segment back: from 65535 to 0 at the new value, a series of its own.
    EXPECT_EQ(segments.back(), (std::vector<QPointF>{QPointF(65535, 7), QPointF(0, 7)}));
    // Before the wrap the series join without a gap and hold every frame once.
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
    QValueAxis* x = Axis(Chart(shell::graphpanel, ui::GRAPHP_GRAPH_RAW), Qt::Horizontal);
    EXPECT_EQ(x->max(), 65535);
}

TEST_F(GraphTest, SignalSelectorShowsOneGraphAndTheRawOneForUnknownValues) {
    P().Click(shell::datapanel, ui::DATAP_BUTTON_SHOWGRAPH);
    EXPECT_TRUE(platform::PanelVisible(shell::graphpanel));
    EXPECT_FALSE(platform::PanelVisible(shell::datapanel));

    auto* ring = qobject_cast<QComboBox*>(P().Widget(shell::graphpanel, ui::GRAPHP_SIGNAL));
    ASSERT_NE(ring, nullptr);
    platform::InsertListItem(shell::graphpanel, ui::GRAPHP_SIGNAL, -1, "OTHER", "7");
    const auto choose = [&](int index) {   // as the user picks an item
        ring->setCurrentIndex(index);
        emit ring->activated(index);
    };
    const auto visible = [&](int control) {
        int shown = 0;
        platform::GetCtrlAttribute(shell::graphpanel, control, platform::ATTR_VISIBLE, shown);
        return shown != 0;
    };
    choose(1);
    EXPECT_TRUE(visible(ui::GRAPHP_GRAPH_TEMP));
    EXPECT_FALSE(visible(ui::GRAPHP_GRAPH_RAW));
    choose(2);
    EXPECT_TRUE(visible(ui::GRAPHP_GRAPH_RAW));
    EXPECT_FALSE(visible(ui::GRAPHP_GRAPH_TEMP));
    choose(1);
    choose(0);
    EXPECT_TRUE(visible(ui::GRAPHP_GRAPH_RAW));
    EXPECT_FALSE(visible(ui::GRAPHP_GRAPH_TEMP));

    // Hidden graphs go on being drawn.
    graph::InitPanelGraph();
    Recorded(40, 41);
    EXPECT_EQ(Segments(ui::GRAPHP_GRAPH_TEMP).size(), 1u);

    P().Click(shell::graphpanel, ui::GRAPHP_BUTTON_CLOSE);
    EXPECT_TRUE(platform::PanelVisible(shell::datapanel));
    EXPECT_FALSE(platform::PanelVisible(shell::graphpanel));
    // Right clicks only help.
    QTest::mouseClick(P().Widget(shell::datapanel, ui::DATAP_BUTTON_SHOWGRAPH), Qt::RightButton);
    EXPECT_FALSE(platform::PanelVisible(shell::graphpanel));
    ASSERT_EQ(platform::PopupLog().size(), 1u);
    EXPECT_EQ(platform::PopupLog()[0].text, shell::InfoButtonShowGraph);
}

}  // namespace
