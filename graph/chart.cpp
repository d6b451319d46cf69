#include "graph/chart.h"

#include <QBackingStore>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QToolTip>
#include <algorithm>
#include <cmath>

namespace graph {

namespace {

// ---- Axes

constexpr int kTickPx = 4;                      // length of a tick mark
constexpr int kLabelGapPx = 3;                  // between a tick mark and its label
constexpr int kEdgePx = 6;                      // free room above and right of the plot
constexpr int kMinYTickSpacingPx = 36;          // rows between Y labels at least
constexpr int kMinXTickSpacingPx = 64;          // columns between X labels at least
constexpr const char* kWidestLabel = "00000";   // 16-bit values have at most five digits
constexpr QRgb kGridRgb = 0xFFDCDCDC;
const QColor kGridColor = QColor::fromRgb(kGridRgb);
constexpr uint32_t kWhite = 0xFFFFFFFF;                 // the plot area's pixels ...
constexpr uint32_t kWhiteToGrid = kWhite ^ kGridRgb;   // ... and the bits a grid line flips

// The plot area of a chart of `size`: room for the Y labels on the left, the X labels below
// and half a label above and to the right. The axis lines lie just outside it, so that no
// point of a trace hides behind them.
QRect PlotArea(QSize size, const QFontMetrics& metrics) {
    const int labelWidth = metrics.horizontalAdvance(QLatin1String(kWidestLabel));
    const int left = labelWidth + kTickPx + kLabelGapPx + 2;
    const int top = metrics.height() / 2 + kEdgePx;
    const int right = labelWidth / 2 + kEdgePx;
    const int bottom = metrics.height() + kTickPx + kLabelGapPx + 2;
    return QRect(left, top, std::max(2, size.width() - left - right),
                 std::max(2, size.height() - top - bottom));
}

QString Label(double value) { return QString::number(std::llround(value)); }

}   // namespace

AxisTicks AxisTicks::For(const PlotFrame& frame) {
    const QRect& area = frame.m_area;
    return {RoundTicks(frame.m_x.m_low, frame.m_x.m_high,
                       std::max(2, area.width() / kMinXTickSpacingPx)),
            RoundTicks(frame.m_y.m_low, frame.m_y.m_high,
                       std::max(2, area.height() / kMinYTickSpacingPx))};
}

namespace {

// Grid lines at the ticks, as filled rectangles: the cheapest thing QPainter draws.
void PaintGrid(QPainter& painter, const PlotFrame& frame, const AxisTicks& ticks) {
    const QRect& area = frame.m_area;
    for (double tick : ticks.m_y)
        painter.fillRect(area.left(), frame.Map(0, tick).y(), area.width(), 1, kGridColor);
    for (double tick : ticks.m_x)
        painter.fillRect(frame.Map(tick, 0).x(), area.top(), 1, area.height(), kGridColor);
}

// The plot area white, with grid lines at the ticks when wanted.
void PaintPlotArea(QPainter& painter, const PlotFrame& frame, const AxisTicks& ticks, bool grid) {
    painter.fillRect(frame.m_area, Qt::white);
    if (grid) PaintGrid(painter, frame, ticks);
}

// The whole chart without its traces: white, the plot area, and the two axis lines with their
// tick marks and labels.
void PaintAxes(QPainter& painter, const PlotFrame& frame, const AxisTicks& ticks, bool grid,
               QSize size) {
    const QRect& area = frame.m_area;
    const QFontMetrics metrics = painter.fontMetrics();
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    if (grid) PaintGrid(painter, frame, ticks);
    painter.setPen(Qt::black);
    for (double tick : ticks.m_y) {
        const int row = frame.Map(frame.m_x.m_low, tick).y();
        painter.fillRect(area.left() - 1 - kTickPx, row, kTickPx, 1, Qt::black);
        const int right = area.left() - 1 - kTickPx - kLabelGapPx;
        painter.drawText(QRect(0, row - metrics.height() / 2, right, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, Label(tick));
    }
    for (double tick : ticks.m_x) {
        const int column = frame.Map(tick, frame.m_y.m_low).x();
        painter.fillRect(column, area.bottom() + 1, 1, kTickPx + 1, Qt::black);
        const int top = area.bottom() + 2 + kTickPx + kLabelGapPx;
        painter.drawText(QRect(column - area.left(), top, 2 * area.left(), metrics.height()),
                         Qt::AlignHCenter | Qt::AlignTop, Label(tick));
    }
    painter.fillRect(area.left() - 1, area.top(), 1, area.height() + 2, Qt::black);
    painter.fillRect(area.left() - 1, area.bottom() + 1, area.width() + 1, 1, Qt::black);
}

// An image of the widget's size in device pixels, kept when the size has not changed.
void FitImage(QImage& image, const QWidget& widget) {
    const qreal ratio = widget.devicePixelRatioF();
    const QSize pixels = widget.size() * ratio;
    if (image.size() == pixels) return;
    image = QImage(pixels, QImage::Format_RGB32);   // opaque: blitted by plain copies
    image.setDevicePixelRatio(ratio);
}

// Copies the part of `image` under `dirty` (in widget coordinates) to the widget.
void Blit(QPainter& painter, const QImage& image, QRect dirty) {
    const qreal ratio = image.devicePixelRatio();
    painter.drawImage(
        dirty, image,
        QRectF(QPointF(dirty.topLeft()) * ratio, QSizeF(dirty.size()) * ratio).toAlignedRect());
}

// The 32-bit image `painter` paints on, when it shows the widget one pixel a point at a whole
// pixel offset and holds all of `area`; null otherwise (a scaled screen, another kind of
// device), where QPainter draws the traces.
QImage* DeviceImage(QPainter& painter, QRect area) {
    QPaintDevice* device = painter.paintEngine()->paintDevice();
    const QTransform transform = painter.deviceTransform();
    if (device->devType() != QInternal::Image || transform.type() > QTransform::TxTranslate ||
        transform.dx() != std::trunc(transform.dx()) ||
        transform.dy() != std::trunc(transform.dy()))
        return nullptr;
    auto* image = static_cast<QImage*>(device);
    const QImage::Format format = image->format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32_Premultiplied)
        return nullptr;
    return image->rect().contains(transform.mapRect(area)) ? image : nullptr;
}

qsizetype Stride(const QImage& image) {
    return image.bytesPerLine() / static_cast<qsizetype>(sizeof(uint32_t));
}

void ShowToolTip(QWidget* widget, const QMouseEvent* event, const QString& text) {
    if (text.isEmpty()) {
        QToolTip::hideText();
    } else {
        QToolTip::showText(event->globalPosition().toPoint(), text, widget);
    }
}

// ---- Strip chart

// Trace styles by slot of a frame's six values: reference, raw, threshold 1 and 2,
// hysteresis 1 and 2.
struct TraceStyle {
    QRgb m_color = 0;
    LineStyle m_line = LineStyle::Solid;
    bool m_bold = false;
};
constexpr std::array<TraceStyle, kTracesPerFrame> kTraceStyles = {{
    {0x0000FF, LineStyle::Dashed, false},   // reference: blue dashed
    {0x00A000, LineStyle::Solid, true},     // raw signal: green, two pixels wide
    {0xFF0000, LineStyle::Solid, false},    // thresholds: red
    {0xFF0000, LineStyle::Solid, false},
    {0x000000, LineStyle::Dashed, false},   // hysteresis: black dashed
    {0x000000, LineStyle::Dashed, false},
}};

// A bold trace is its one-pixel line drawn again one pixel to the right and one below: it
// looks like a two-pixel line in every direction, and one-pixel lines are the cheap ones.
constexpr QPoint kBoldOffsets[] = {{0, 0}, {1, 0}, {0, 1}};

// Room to log trace pixels, as a share of the plot area's: traces that cover more are rubbed
// out by filling the whole plot area, which is then as cheap.
constexpr std::size_t kLoggedShare = 4;

// The oldest frame of the history stands at this X, the newest at the right edge.
constexpr int kFirstFrameX = kPointsPerScreen - kHistoryFrames;
constexpr int kDefaultRefreshHz = 60;
constexpr qint64 kMsPerSecond = 1000;

}   // namespace

QPoint PlotFrame::Map(double x, double y) const {
    const double xScale = (m_area.width() - 1) / (m_x.m_high - m_x.m_low);
    const double yScale = (m_area.height() - 1) / (m_y.m_high - m_y.m_low);
    return QPoint(m_area.left() + static_cast<int>(std::lround((x - m_x.m_low) * xScale)),
                  m_area.bottom() - static_cast<int>(std::lround((y - m_y.m_low) * yScale)));
}

double PlotFrame::XAt(int column) const {
    return m_x.m_low + (column - m_area.left()) * (m_x.m_high - m_x.m_low) / (m_area.width() - 1);
}

StripChartWidget::StripChartWidget(QWidget* parent) : QWidget(parent) {
    m_frame.m_x = {0.0, kPointsPerScreen - 1.0};
    m_frame.m_y = FixedScaleLimits();
    m_frame.m_area = PlotArea(size(), fontMetrics());
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_pendingPaint.setSingleShot(true);
    connect(&m_pendingPaint, &QTimer::timeout, this, [this] { update(DirtyRect()); });
}

void StripChartWidget::SetHistory(std::span<const double, kHistoryValues> history, AxisLimits y) {
    std::copy(history.begin(), history.end(), m_history.begin());
    if (y.m_low != m_frame.m_y.m_low || y.m_high != m_frame.m_y.m_high) {
        m_frame.m_y = y;
        AxesChanged();
    }
    Refresh();
}

void StripChartWidget::SetGridVisible(bool visible) {
    m_grid = visible;
    AxesChanged();
    update();
}

// Repaints now, or at the next refresh of the screen when the last repaint was less than one
// refresh ago: frames that come faster than the screen shows them are not all painted.
void StripChartWidget::Refresh() {
    if (m_pendingPaint.isActive()) return;
    const QScreen* shownOn = screen();
    const qreal hz = shownOn != nullptr && shownOn->refreshRate() > 0 ? shownOn->refreshRate()
                                                                      : kDefaultRefreshHz;
    const qint64 periodMs = std::llround(kMsPerSecond / hz);
    const qint64 sinceMs = m_sincePaint.isValid() ? m_sincePaint.elapsed() : periodMs;
    if (sinceMs >= periodMs) {
        update(DirtyRect());
    } else {
        m_pendingPaint.start(static_cast<int>(periodMs - sinceMs));
    }
}

// The picture of the axes is drawn again at the next repaint, and the whole chart repainted.
void StripChartWidget::AxesChanged() {
    m_backgroundValid = false;
    m_axesShown = false;
}

// A new history changes the plot area only, unless the axes changed and are not yet shown.
QRect StripChartWidget::DirtyRect() const { return m_axesShown ? m_frame.m_area : rect(); }

void StripChartWidget::PaintBackground() {
    FitImage(m_background, *this);
    QPainter painter(&m_background);
    painter.setFont(font());
    m_ticks = AxisTicks::For(m_frame);
    PaintAxes(painter, m_frame, m_ticks, m_grid, size());
    const QRect& area = m_frame.m_area;
    m_gridRows.assign(static_cast<std::size_t>(area.height()), 0);
    m_gridColumns.assign(static_cast<std::size_t>(area.width()), 0);
    if (m_grid) {
        for (double tick : m_ticks.m_y) m_gridRows[m_frame.Map(0, tick).y() - area.top()] = ~0u;
        for (double tick : m_ticks.m_x) m_gridColumns[m_frame.Map(tick, 0).x() - area.left()] = ~0u;
    }
    m_backgroundValid = true;
}

// Calls `stroke(style, points)` for each line the traces are drawn with, in drawing order. A
// trace whose 100 values are equal (a steady reference and its switching lines) is one straight
// line; any other is one polyline; a bold one is stroked three times.
template <typename Stroke>
void StripChartWidget::ForEachStroke(QPoint offset, Stroke stroke) const {
    std::array<QPoint, kHistoryFrames> points;
    for (int slot = 0; slot < kTracesPerFrame; ++slot) {
        const TraceStyle& style = kTraceStyles[slot];
        bool flat = true;
        const double first = m_history[slot];
        for (int frame = 0; frame < kHistoryFrames; ++frame) {
            const double value = m_history[frame * kTracesPerFrame + slot];
            flat = flat && value == first;
            points[frame] = m_frame.Map(kFirstFrameX + frame, value) + offset;
        }
        if (flat) points[1] = points.back();
        const std::span<QPoint> line(points.data(), flat ? 2 : kHistoryFrames);
        const std::size_t strokes = style.m_bold ? std::size(kBoldOffsets) : 1;
        for (QPoint bold : std::span<const QPoint>(kBoldOffsets, strokes)) {
            for (QPoint& point : line) point += bold;
            stroke(style, std::span<const QPoint>(line));
            for (QPoint& point : line) point -= bold;
        }
    }
}

// The traces drawn straight into the pixels of `image`, which shows the widget at `offset`;
// every pixel they cover is logged, so that the next frame can rub them out.
void StripChartWidget::DrawTraces(QImage& image, QPoint offset) {
    const QRect clip = m_frame.m_area.translated(offset);
    m_traced.Clear();
    ForEachStroke(offset, [&](const TraceStyle& style, std::span<const QPoint> line) {
        DrawThinPolyline(image, clip, image.rect(), line, style.m_color, style.m_line, m_traced);
    });
}

// The same traces through QPainter, for a device whose pixels are not ours to write.
void StripChartWidget::PaintTraces(QPainter& painter) const {
    painter.setClipRect(m_frame.m_area);
    ForEachStroke({}, [&](const TraceStyle& style, std::span<const QPoint> line) {
        const Qt::PenStyle pen = style.m_line == LineStyle::Dashed ? Qt::DashLine : Qt::SolidLine;
        painter.setPen(QPen(QColor::fromRgb(style.m_color), 1, pen));
        painter.drawPolyline(line.data(), static_cast<int>(line.size()));
    });
}

// Puts the plot area's white and grid lines back under the pixels the traces cover in `image`.
void StripChartWidget::RubOutTraces(QImage& image, QPoint offset) const {
    uint32_t* pixels = ImagePixels(image);
    const qsizetype stride = Stride(image);
    const QPoint origin = m_frame.m_area.topLeft() + offset;
    const uint32_t* rows = m_gridRows.data() - origin.y();
    const uint32_t* columns = m_gridColumns.data() - origin.x();
    for (PixelLog::Pixel p : m_traced.Pixels()) {
        pixels[p.m_y * stride + p.m_x] = kWhite ^ ((rows[p.m_y] | columns[p.m_x]) & kWhiteToGrid);
    }
}

// A frame repaints the plot area only. On the screen, where the window's picture still shows the
// last frame's traces and axes, only the traces' pixels are put back before the new ones are
// drawn: some thousand pixels instead of the whole area.
void StripChartWidget::paintEvent(QPaintEvent* event) {
    m_sincePaint.restart();
    if (!m_backgroundValid) PaintBackground();
    QPainter painter(this);
    const QRect& area = m_frame.m_area;
    const QRegion& region = event->region();
    QBackingStore* store = backingStore();
    const bool onScreen =
        store != nullptr && painter.paintEngine()->paintDevice() == store->paintDevice();
    QImage* image =
        onScreen && (QRegion(area) - region).isEmpty() ? DeviceImage(painter, area) : nullptr;
    if (image == nullptr) {
        if (onScreen) m_traced.Forget();
        PaintUnderTraces(painter, event->rect());
        PaintTraces(painter);
    } else {
        const QPoint offset = painter.deviceTransform().map(QPoint(0, 0));
        if (m_axesShown && region == QRegion(area) && m_traced.Complete()) {
            RubOutTraces(*image, offset);
        } else {
            PaintUnderTraces(painter, event->rect());
        }
        DrawTraces(*image, offset);
    }
    if (onScreen && (visibleRegion() - region).isEmpty()) m_axesShown = true;
}

// The chart without its traces under `dirty`. A plot area repainted whole is filled afresh
// rather than copied from the picture (a fill writes each pixel once, a copy reads it as well),
// the rest is copied.
void StripChartWidget::PaintUnderTraces(QPainter& painter, QRect dirty) const {
    const QRect& area = m_frame.m_area;
    if (!dirty.contains(area)) {
        Blit(painter, m_background, dirty);
        return;
    }
    for (const QRect& part : QRegion(dirty).subtracted(area)) Blit(painter, m_background, part);
    PaintPlotArea(painter, m_frame, m_ticks, m_grid);
}

void StripChartWidget::resizeEvent(QResizeEvent*) {
    m_frame.m_area = PlotArea(size(), fontMetrics());
    AxesChanged();
    const QSize plot = m_frame.m_area.size();
    m_traced.Reserve(static_cast<std::size_t>(plot.width()) * plot.height() / kLoggedShare);
}

void StripChartWidget::mouseMoveEvent(QMouseEvent* event) {
    ShowToolTip(this, event, ToolTipAt(event->position().toPoint()));
}

QString StripChartWidget::ToolTipAt(QPoint pos) const {
    const long x = std::lround(m_frame.XAt(pos.x()));
    const long frame = x - kFirstFrameX;
    if (!m_frame.m_area.contains(pos) || frame < 0 || frame >= kHistoryFrames) return {};
    const double* v = &m_history[static_cast<std::size_t>(frame) * kTracesPerFrame];
    return QStringLiteral("frame %1\nRAW %2\nREF %3\nTHRESHOLD %4, %5\nHYSTERESIS %6, %7")
        .arg(x)
        .arg(v[1])
        .arg(v[0])
        .arg(v[2])
        .arg(v[3])
        .arg(v[4])
        .arg(v[5]);
}

// ---- Signal graphs

void PointStore::Append(Point16 point) {
    if (m_size == m_blocks.size() * kBlockPoints) m_blocks.push_back(std::make_unique<Block>());
    (*m_blocks[m_size / kBlockPoints])[m_size % kBlockPoints] = point;
    ++m_size;
}

void PointStore::Clear() {
    m_blocks.clear();
    m_size = 0;
}

namespace {

constexpr AxisLimits kEmptyX = {0.0, 100.0};   // the X axis at least, before it grows
constexpr AxisLimits kEmptyY = {0.0, 100.0};   // the Y axis of an empty graph
constexpr double kLargestX = 65535.0;          // the frame count is 16 bits
constexpr double kXGrowth = 1.25;              // an outgrown X axis gets this much room
constexpr double kXStep = 100.0;               // ... rounded up to a multiple of this
constexpr double kMinYMargin = 16.0;           // sensor units kept free above and below
constexpr std::size_t kLinesPerBatch = 512;    // segments handed to QPainter at once

}   // namespace

SignalGraphWidget::SignalGraphWidget(QWidget* parent, QColor color, QString valueName)
    : QWidget(parent), m_color(color), m_valueName(std::move(valueName)) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    Clear();
}

void SignalGraphWidget::Clear() {
    m_points.Clear();
    m_frame = PlotFrame{PlotArea(size(), fontMetrics()), kEmptyX, kEmptyY};
    m_imageValid = false;
    update();
}

// The first point is a single point; a point at X 0 after others runs level from the X
// before it; every other one continues from the point before it.
Point16 SignalGraphWidget::SegmentStart(std::size_t i) const {
    const Point16 to = m_points[i];
    if (i == 0) return to;
    const Point16 before = m_points[i - 1];
    return to.m_x == 0 ? Point16{before.m_x, to.m_y} : before;
}

// Widens the axes to hold `point`: the X axis with room to spare, the Y axis by at least its
// own span, so that a long recording redraws the whole graph only a few times.
bool SignalGraphWidget::GrowAxes(Point16 point) {
    AxisLimits& x = m_frame.m_x;
    AxisLimits& y = m_frame.m_y;
    bool grown = false;
    if (point.m_x > x.m_high) {
        x.m_high = std::min(kLargestX, std::ceil(point.m_x * kXGrowth / kXStep) * kXStep);
        grown = true;
    }
    const double value = point.m_y;
    if (m_points.Size() == 1) {
        y = {std::max(0.0, value - kMinYMargin), value + kMinYMargin};
        grown = true;
    } else if (value < y.m_low || value > y.m_high) {
        const double room = std::max(kMinYMargin, y.m_high - y.m_low);
        if (value < y.m_low) y.m_low = std::max(0.0, value - room);
        if (value > y.m_high) y.m_high = value + room;
        grown = true;
    }
    return grown;
}

// Paints the new segment onto the image and repaints its rectangle. A hidden graph only keeps
// the point; it is drawn from the points when it is shown again.
void SignalGraphWidget::Append(Point16 point) {
    m_points.Append(point);
    if (GrowAxes(point) || !isVisible()) m_imageValid = false;
    if (!m_imageValid) {
        update();
        return;
    }
    const Point16 from = SegmentStart(m_points.Size() - 1);
    const QPoint a = m_frame.Map(from.m_x, from.m_y);
    const QPoint b = m_frame.Map(point.m_x, point.m_y);
    QPainter painter(&m_image);
    painter.setClipRect(m_frame.m_area);
    painter.setPen(m_color);
    painter.drawLine(a, b);
    update(QRect(a, b).normalized().adjusted(-1, -1, 1, 1));
}

void SignalGraphWidget::Redraw() {
    FitImage(m_image, *this);
    QPainter painter(&m_image);
    painter.setFont(font());
    PaintAxes(painter, m_frame, AxisTicks::For(m_frame), true, size());
    painter.setClipRect(m_frame.m_area);
    painter.setPen(m_color);
    std::array<QLine, kLinesPerBatch> lines;
    std::size_t count = 0;
    for (std::size_t i = 0; i < m_points.Size(); ++i) {
        const Point16 from = SegmentStart(i);
        const Point16 to = m_points[i];
        lines[count++] = QLine(m_frame.Map(from.m_x, from.m_y), m_frame.Map(to.m_x, to.m_y));
        if (count == lines.size() || i + 1 == m_points.Size()) {
            painter.drawLines(lines.data(), static_cast<int>(count));
            count = 0;
        }
    }
    m_imageValid = true;
}

void SignalGraphWidget::paintEvent(QPaintEvent* event) {
    if (!m_imageValid) Redraw();
    QPainter painter(this);
    Blit(painter, m_image, event->rect());
}

void SignalGraphWidget::resizeEvent(QResizeEvent*) {
    m_frame.m_area = PlotArea(size(), fontMetrics());
    m_imageValid = false;
}

void SignalGraphWidget::mouseMoveEvent(QMouseEvent* event) {
    ShowToolTip(this, event, ToolTipAt(event->position().toPoint()));
}

// Points are stored in recording order with X counting up and wrapping after 65535, so the
// newest point at a given X lies a fixed distance back from the last one.
QString SignalGraphWidget::ToolTipAt(QPoint pos) const {
    const std::size_t count = m_points.Size();
    const long x = std::lround(m_frame.XAt(pos.x()));
    if (count == 0 || !m_frame.m_area.contains(pos) || x < 0 || x > kLargestX) return {};
    const std::size_t back = static_cast<uint16_t>(m_points[count - 1].m_x - x);
    if (back >= count) return {};
    const std::size_t frame = count - 1 - back;
    const Point16 point = m_points[frame];
    if (point.m_x != x) return {};
    return QStringLiteral("frame %1\n%2 %3").arg(frame).arg(m_valueName).arg(point.m_y);
}

}   // namespace graph
