// The strip chart and the graph panel in the running program, read back pixel by pixel.
#include <QPainter>
#include <QScreen>
#include <random>

#include "apptest.h"
#include "core/graphrules.h"
#include "graph/graph.h"
#include "graph/thinline.h"

using namespace apptest;
namespace sl = sensorlink;

namespace {

constexpr QRgb kRaw = 0x00A000, kRef = 0x0000FF, kThreshold = 0xFF0000, kHysteresis = 0x000000;
constexpr QRgb kRawGraph = graph::kRawGraphColor, kTempGraph = graph::kTempGraphColor;

graph::StripChartWidget* Strip() {
    return platform::ControlWidget(ui::datapanel, ui::DATAP_STRIPCHART)->findChild<graph::StripChartWidget*>();
}
graph::SignalGraphWidget* Graph(int control) {
    return platform::ControlWidget(ui::graphpanel, control)->findChild<graph::SignalGraphWidget*>();
}
double Newest(int slot) { return graph::ana0Buf[graph::kHistoryValues - graph::kTracesPerFrame + slot]; }

template <class Chart>
QRgb PixelAt(Chart* chart, QPoint point) {
    return chart->grab().toImage().pixel(point) & 0xFFFFFF;
}

// Pixels of `color` in the plot area of a chart, or in one row of it, as the chart is drawn now.
template <class Chart>
int InArea(Chart* chart, QRgb color, int row = -1) {
    const QImage image = chart->grab().toImage();
    QRect area = chart->Frame().m_area;
    if (row >= 0) area = QRect(area.left(), row, area.width(), 1);
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) count += (image.pixel(x, y) & 0xFFFFFF) == color;
    return count;
}

// One frame as the GO loop takes it, and one as a recording does.
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
        std::fill(std::begin(graph::ana0Buf), std::end(graph::ana0Buf), 0.0);
        graph::scale = graph::kScaleFixed;
        ASSERT_NO_FATAL_FAILURE(m_program.StartConnected());
    }
    Program& P() { return m_program; }
    Program m_program{Transport::Tcp};
};

TEST_F(GraphTest, ToleranceEditShowsInTheThresholdLinesWithTheNextFrameBeforeSend) {
    ASSERT_EQ(std::pair(P().Value(ui::parapanel, ui::PARAP_TRSHMODE), P().Value(ui::parapanel, ui::PARAP_TOLERANCE)),
              std::pair(int(graph::kModeWin), 200));
    size_t requestsAtEdit = 0;
    double upperBefore = -1.0;
    P().ClickWhile(ui::mainpanel, ui::MAINP_BUTTON_GO, [&] {
        const size_t requests = P().m_sensor.requests().size();
        if (requestsAtEdit == 0 && requests >= 3) {
            upperBefore = Newest(2);
            platform::SetCtrlVal(ui::parapanel, ui::PARAP_TOLERANCE, 777);
            requestsAtEdit = requests;
        } else if (requestsAtEdit != 0 && requests >= requestsAtEdit + 2) {
            P().Click(ui::mainpanel, ui::MAINP_BUTTON_STOP);
        }
    });
    ASSERT_NE(requestsAtEdit, 0u);
    const double ref = sl::dataRef;
    EXPECT_EQ(upperBefore, std::min(ref + 200, 4095.0));
    EXPECT_EQ(Newest(2), std::min(ref + 777, 4095.0));
    EXPECT_EQ(P().m_sensor.ram()[12], 200);   // nothing sent: the sensor keeps its tolerance
}

TEST_F(GraphTest, TracesAreDrawnAtTheirRowsOldestFirst) {
    platform::SetCtrlVal(ui::parapanel, ui::PARAP_TRSHMODE, graph::kModeLow);
    platform::SetCtrlVal(ui::parapanel, ui::PARAP_TOLERANCE, 200);
    platform::SetCtrlVal(ui::parapanel, ui::PARAP_HYSTERESIS, 100);
    for (int i = 0; i < graph::kHistoryFrames; ++i) Frame(static_cast<uint16_t>(1000 + 10 * i), 3000);
    const graph::PlotFrame& frame = Strip()->Frame();
    const int width = frame.Map(100, 0).x() - frame.Map(1, 0).x() + 1;   // frames 1 to 100
    const auto row = [&](double value) { return frame.Map(0, value).y(); };
    EXPECT_EQ(InArea(Strip(), kThreshold, row(2800)), width);        // both LOW thresholds
    EXPECT_GT(InArea(Strip(), kHysteresis, row(2900)), width / 2);   // dashed, 100 above them
    EXPECT_GT(InArea(Strip(), kRef, row(3000)), width / 2);
    EXPECT_EQ(PixelAt(Strip(), frame.Map(1, 1000)), kRaw);
    EXPECT_EQ(PixelAt(Strip(), frame.Map(100, 1990)), kRaw);
    EXPECT_EQ(Strip()->ToolTipAt(frame.Map(100, 0)),
              "frame 100\nRAW 1990\nREF 3000\nTHRESHOLD 2800, 2800\nHYSTERESIS 2900, 2900");
}

TEST_F(GraphTest, YScaleAndGridFollowRealClicksOnTheChart) {
    const auto range = [&] { return std::make_pair(Strip()->Frame().m_y.m_low, Strip()->Frame().m_y.m_high); };
    for (int i = 0; i < 10; ++i) Frame(1200, 1000);    // a history still partly zero
    EXPECT_EQ(range(), std::make_pair(0.0, 4096.0));   // fixed scale at start
    QTest::mouseDClick(Strip(), Qt::LeftButton);
    EXPECT_EQ(range(), std::make_pair(0.0, 4096.0));   // applied with the next frame only
    Frame(1200, 1000);
    EXPECT_EQ(range(), std::make_pair(0.0, 1225.0));   // down to 0, up to the largest of all traces
    QTest::mouseClick(Strip(), Qt::LeftButton);
    Frame(2000, 2000);
    EXPECT_EQ(range(), std::make_pair(0.0, 4096.0));

    const QRgb grid = 0xDCDCDC;
    for (bool shown : {true, false, true}) {
        EXPECT_EQ(InArea(Strip(), grid) > 0, shown);
        P().Click(ui::datapanel, ui::DATAP_GRID);
    }
}

TEST_F(GraphTest, RecordedFramesDrawAPointThenSegmentsAndWrapAfter65536) {
    Recorded(5, 6);   // before clearing
    graph::InitPanelGraph();
    graph::SignalGraphWidget *raw = Graph(ui::GRAPHP_GRAPH_RAW), *temp = Graph(ui::GRAPHP_GRAPH_TEMP);
    EXPECT_EQ(InArea(raw, kRawGraph), 0);
    Recorded(100, 300);
    EXPECT_EQ(InArea(temp, kTempGraph), 1);   // a single point, at X 0
    EXPECT_EQ(PixelAt(temp, temp->Frame().Map(0, 300)), kTempGraph);
    EXPECT_EQ(P().Text(ui::graphpanel, ui::GRAPHP_RAW) + " " + P().Text(ui::graphpanel, ui::GRAPHP_TEMP), "100 300");
    Recorded(150, 310);
    const graph::PlotFrame& frame = raw->Frame();
    EXPECT_TRUE(frame.m_y.m_low <= 100 && frame.m_y.m_high >= 150 && frame.m_x.m_high == 100);
    EXPECT_EQ(raw->ToolTipAt(frame.Map(1, 120)), "frame 1\nRAW 150");
    EXPECT_EQ(PixelAt(raw, frame.Map(0, 100)), kRawGraph);

    constexpr int kFrames = 65536;
    for (int i = 2; i < kFrames; ++i) Recorded(static_cast<uint16_t>(i % 4000), 100);
    EXPECT_TRUE(graph::graphCnt == 0 && frame.m_x.m_high == 65535);   // the X axis grew with the recording
    const int level = frame.Map(0, 7).y();
    EXPECT_LT(InArea(raw, kRawGraph, level), frame.m_area.width() / 2);
    Recorded(7, 9);
    // The segment back runs from 65535 to 0 at the new value, across the whole graph.
    EXPECT_EQ(InArea(raw, kRawGraph, level), frame.m_area.width());
    ASSERT_EQ(raw->Points().Size(), static_cast<size_t>(kFrames + 1));
    EXPECT_EQ(raw->Points()[kFrames], (graph::Point16{0, 7}));
}

TEST_F(GraphTest, SignalSelectorShowsOneGraphAndTheRawOneForUnknownValues) {
    P().Click(ui::datapanel, ui::DATAP_BUTTON_SHOWGRAPH);
    EXPECT_TRUE(platform::PanelVisible(ui::graphpanel) && !platform::PanelVisible(ui::datapanel));
    platform::InsertListItem(ui::graphpanel, ui::GRAPHP_SIGNAL, -1, "OTHER", "7");
    const auto choose = [&](int index) {   // as the user picks an item: is raw, is temp shown
        P().Choose(ui::graphpanel, ui::GRAPHP_SIGNAL, index);
        return std::make_pair(P().Attribute(ui::graphpanel, ui::GRAPHP_GRAPH_RAW, platform::ATTR_VISIBLE) > 0,
                              P().Attribute(ui::graphpanel, ui::GRAPHP_GRAPH_TEMP, platform::ATTR_VISIBLE) > 0);
    };
    EXPECT_EQ(choose(1), std::make_pair(false, true));
    EXPECT_EQ(choose(2), std::make_pair(true, false));
    choose(1);
    EXPECT_EQ(choose(0), std::make_pair(true, false));
    // The hidden graph goes on being drawn; the one shown, painted by segments, equals a redraw.
    graph::InitPanelGraph();
    for (int i = 0; i < 90; ++i) {
        Recorded(static_cast<uint16_t>(500 + (i * 7) % 40), 41);
        platform::ProcessSystemEvents();
    }
    EXPECT_GT(InArea(Graph(ui::GRAPHP_GRAPH_TEMP), kTempGraph), 0);
    graph::SignalGraphWidget* raw = Graph(ui::GRAPHP_GRAPH_RAW);
    const QImage painted = raw->grab().toImage();
    EXPECT_GT(InArea(raw, kRawGraph), 90);
    raw->resize(raw->size() + QSize(1, 1));   // drawn again from the points at each size
    raw->resize(raw->size() - QSize(1, 1));
    EXPECT_EQ(raw->grab().toImage(), painted);
    P().Click(ui::graphpanel, ui::GRAPHP_BUTTON_CLOSE);
    EXPECT_TRUE(platform::PanelVisible(ui::datapanel) && !platform::PanelVisible(ui::graphpanel));
}

// Our one-pixel lines against QPainter's on random polylines: solid and dashed, short and
// long, far outside the image (cut at its edges), inside a clip.
TEST(ThinLine, StepsThePixelsQPainterSteps) {
    std::mt19937 random(22);
    const auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    graph::PixelLog log;
    log.Reserve(1 << 16);
    for (int n = 0; n < 20000; ++n) {
        const int w = 5 + below(90), h = 5 + below(90), spread = below(3) == 0 ? 400 : w;
        std::vector<QPoint> points(static_cast<size_t>(2 + below(below(2) ? 4 : 30)));
        for (size_t i = 0; i < points.size(); ++i) {
            points[i] = QPoint(below(3) ? static_cast<int>(i) * (1 + n % 8) % (w + 10) : below(spread + 20) - 10,
                               below(spread + 20) - 10 + (below(10) == 0 ? 3000 : 0));
        }
        if (points.front() == points.back()) continue;
        const bool dashed = below(2) == 1;
        const QRect clip(below(5), below(5), w - 6, h - 6);
        QImage theirs(w, h, QImage::Format_RGB32), ours(w, h, QImage::Format_RGB32);
        theirs.fill(Qt::white);
        ours.fill(Qt::white);
        QPainter painter(&theirs);
        painter.setClipRect(clip);
        painter.setPen(QPen(QColor(Qt::blue), 1, dashed ? Qt::DashLine : Qt::SolidLine));
        painter.drawPolyline(points.data(), static_cast<int>(points.size()));
        painter.end();
        log.Clear();
        graph::DrawThinPolyline(ours, clip, ours.rect(), points, 0x0000FF,
                                dashed ? graph::LineStyle::Dashed : graph::LineStyle::Solid, log);
        ASSERT_EQ(ours, theirs) << "case " << n << (dashed ? ", dashed" : ", solid");
        theirs.fill(Qt::white);   // the log holds every pixel drawn
        for (graph::PixelLog::Pixel p : log.Pixels()) ours.setPixel(p.m_x, p.m_y, 0xFFFFFFFF);
        ASSERT_EQ(ours, theirs) << "case " << n;
    }
}

// A chart that repaints only its traces' pixels shows, frame after frame, what a chart painted
// whole shows: with parts repainted, grabs, a widget over it, grid changes, new limits and
// traces too large to log.
TEST(StripChart, RepaintedFramesShowWhatAWholePaintShows) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> value(0, 4095);
    QWidget windows[2];
    graph::StripChartWidget* charts[2];
    QWidget* covers[2];   // over a corner of the axes, now and then
    for (int i = 0; i < 2; ++i) {
        windows[i].resize(260, 150);
        charts[i] = new graph::StripChartWidget(&windows[i]);
        charts[i]->setGeometry(11, 7, 230, 130);
        covers[i] = new QWidget(&windows[i]);
        covers[i]->setAutoFillBackground(true);
        covers[i]->setGeometry(11, 120, 30, 17);
        covers[i]->hide();
        windows[i].show();
    }
    const auto window = [&](int i) { return windows[i].screen()->grabWindow(windows[i].winId()).toImage(); };
    std::array<double, graph::kHistoryValues> history{};
    graph::AxisLimits limits{0, 4096};
    const auto next = [&](int kind) {
        for (int i = 0; i < graph::kHistoryFrames; ++i) {
            for (int slot = 0; slot < graph::kTracesPerFrame; ++slot) {
                double& v = history[static_cast<size_t>(i * graph::kTracesPerFrame + slot)];
                v = kind % 4 == 0   ? value(random)
                    : kind % 4 == 1 ? 1000.0 * slot + kind * 20 + (slot == 1 ? i * 9 % 400 : 0)
                    : kind % 4 == 2 ? (slot == 1 ? 65535.0 : 2000.0 + kind)
                                    : 2000.0 + slot * 50 + value(random) % 200;
            }
        }
    };
    const auto show = [&] { for (graph::StripChartWidget* chart : charts) chart->SetHistory(history, limits); };
    for (int step = 0; step < 60; ++step) {
        next(step);
        if (step % 11 == 10) {
            // New limits right after a repaint wait for the next screen refresh; a repaint of
            // the plot area alone before then already shows the new grid there.
            show();
            QApplication::processEvents();
            limits = {static_cast<double>(value(random) % 1000), 3000.0 + value(random) % 2000};
            show();
            charts[0]->update(charts[0]->Frame().m_area);
            charts[1]->update();
            QApplication::processEvents();
            const QRect area = charts[0]->Frame().m_area.translated(charts[0]->pos());
            ASSERT_EQ(window(0).copy(area), window(1).copy(area)) << "step " << step;
        }
        if (step % 7 == 3) {
            // A part repainted while a frame waits for the next refresh, then another frame.
            show();
            QApplication::processEvents();
            next(step + 1);
            charts[0]->SetHistory(history, limits);
            charts[0]->update(QRect(value(random) % 200, value(random) % 100, 40, 30));
            QApplication::processEvents();
            next(step + 2);
        }
        if (step % 13 == 12) for (graph::StripChartWidget* chart : charts) chart->SetGridVisible(step % 2 == 0);
        if (step % 8 == 5) for (QWidget* cover : covers) cover->setVisible(!cover->isVisible());
        show();
        if (step % 9 == 4) charts[0]->grab();
        charts[1]->update();
        // Until both are painted, a repaint being held to the next screen refresh.
        QTest::qWait(20);
        for (int wait = 0; wait < 50 && window(0) != window(1); ++wait) QTest::qWait(20);
        ASSERT_EQ(window(0), window(1)) << "step " << step;
    }
}

}   // namespace
