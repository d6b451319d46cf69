#pragma once
// The chart widgets of the data panel and the graph panel, painted with QPainter from compact
// arrays: a frame costs the same however long the program has been drawing.
#include <QColor>
#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "core/graphrules.h"
#include "graph/graph.h"
#include "graph/thinline.h"

namespace graph {

// The plot area of a chart in pixels and the values at its edges; the axes run along its
// left and bottom sides.
struct PlotFrame {
    QRect m_area;
    AxisLimits m_x;
    AxisLimits m_y;

    QPoint Map(double x, double y) const;   // the pixel that shows value (x, y)
    double XAt(int column) const;           // the X value at a pixel column
};

// Round tick values of both axes of a frame, as many as fit their labels.
struct AxisTicks {
    std::vector<double> m_x;
    std::vector<double> m_y;
    static AxisTicks For(const PlotFrame& frame);
};

// The strip chart: the six traces of the last 100 frames over a cached picture of its grid
// and axes. Repaints are held to the screen's refresh rate; the newest history is painted. On
// the screen a frame puts back the plot area under the last frame's traces, pixel by pixel,
// and draws the new ones straight into the window's picture.
class StripChartWidget : public QWidget {
    Q_OBJECT

public:
    explicit StripChartWidget(QWidget* parent);
    void SetHistory(std::span<const double, kHistoryValues> history, AxisLimits y);
    void SetGridVisible(bool visible);
    const PlotFrame& Frame() const { return m_frame; }
    QString ToolTipAt(QPoint pos) const;   // the frame under the cursor and its six values

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void Refresh();
    void AxesChanged();
    QRect DirtyRect() const;
    void PaintBackground();
    template <typename Stroke>
    void ForEachStroke(QPoint offset, Stroke stroke) const;
    void DrawTraces(QImage& image, QPoint offset);
    void PaintTraces(QPainter& painter) const;
    void RubOutTraces(QImage& image, QPoint offset) const;
    void PaintUnderTraces(QPainter& painter, QRect dirty) const;

    std::array<double, kHistoryValues> m_history{};
    PlotFrame m_frame;
    bool m_grid = true;
    AxisTicks m_ticks;
    QImage m_background;   // grid, axes and labels at the widget's size
    std::vector<uint32_t> m_gridRows;      // all ones at the rows of the plot area with a grid
    std::vector<uint32_t> m_gridColumns;   // line, and at its columns with one
    PixelLog m_traced;   // the pixels of the traces drawn straight onto the screen, still shown
    bool m_backgroundValid = false;
    bool m_axesShown = false;   // the screen shows the axes of the picture
    QElapsedTimer m_sincePaint;
    QTimer m_pendingPaint;   // a repaint held back to the next screen refresh
};

// One point of a signal graph: the frame count and the value, 16 bits each as recorded.
struct Point16 {
    uint16_t m_x = 0;
    uint16_t m_y = 0;
    bool operator==(const Point16&) const = default;
};

// Points in fixed-size blocks: appending never moves what is stored, and the room kept
// beyond the last point is less than one block.
class PointStore {
public:
    void Append(Point16 point);
    void Clear();
    std::size_t Size() const { return m_size; }
    Point16 operator[](std::size_t i) const {
        return (*m_blocks[i / kBlockPoints])[i % kBlockPoints];
    }

private:
    static constexpr std::size_t kBlockPoints = 1024;
    using Block = std::array<Point16, kBlockPoints>;
    std::vector<std::unique_ptr<Block>> m_blocks;
    std::size_t m_size = 0;
};

// One XY graph of the graph panel. Each recorded point adds the segment from the point before
// it; a point at X 0 after others (the count wrapped) runs level from the previous X, and the
// first one is a single point. New segments are painted onto a backing image and only their
// rectangle is repainted; the image is drawn again from the points when the axes grow, the
// size changes, the graph was cleared or it is shown again.
class SignalGraphWidget : public QWidget {
    Q_OBJECT

public:
    SignalGraphWidget(QWidget* parent, QColor color, QString valueName);
    void Clear();
    void Append(Point16 point);
    const PointStore& Points() const { return m_points; }
    const PlotFrame& Frame() const { return m_frame; }
    QString ToolTipAt(QPoint pos) const;   // the frame under the cursor and its value

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    Point16 SegmentStart(std::size_t i) const;
    bool GrowAxes(Point16 point);
    void Redraw();

    QColor m_color;
    QString m_valueName;
    PointStore m_points;
    PlotFrame m_frame;   // the axes only grow, until the graph is cleared
    QImage m_image;      // axes and every segment, at the widget's size
    bool m_imageValid = false;
};

}   // namespace graph
