#include "graph/thinline.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace graph {

namespace {

// Positions are stepped as the raster engine steps them: end points in 26.6 fixed point, the
// position across the line in 16.16.
constexpr int kSubBits = 6;
constexpr int kSub = 1 << kSubBits;
constexpr int kHalfSub = kSub / 2;
constexpr int kFracBits = 16;
constexpr int kAxisAlignedSlope = 1 << 14;   // below this a line counts as level

enum Caps { kNoCaps = 0, kCapBegin = 1, kCapEnd = 2 };
enum Direction {
    kNoDirection = 0,
    kTopToBottom = 1,
    kBottomToTop = 2,
    kLeftToRight = 4,
    kRightToLeft = 8,
    kVerticalMask = 3,
    kHorizontalMask = 12,
};

// The dash pattern (4 pixels on, 2 off) as the running ends of its dashes and gaps, forwards
// and backwards, in 26.6 units.
constexpr int kDashes = 2;
constexpr int kDashEnds[kDashes] = {4 * kSub, 6 * kSub};
constexpr int kReverseDashEnds[kDashes] = {2 * kSub, 6 * kSub};
constexpr int kDashLength = 6 * kSub;

struct Pixel {
    int m_x = INT_MIN;
    int m_y = INT_MIN;
    bool Valid() const { return m_x != INT_MIN; }
    bool operator==(const Pixel&) const = default;
};

int SwapCaps(int caps) { return ((caps & kCapBegin) << 1) | ((caps & kCapEnd) >> 1); }

int FixedDiv(int a, int b) {
    return static_cast<int>(static_cast<int64_t>(a) * (1 << kFracBits) / b);
}

// Where a line stands in its dash pattern: the pattern runs on from one segment of a polyline
// to the next, and a segment stepped backwards reads it backwards.
class Dasher {
public:
    Dasher(int& patternOffset, bool reverse, int steps) {
        const int delta = steps * kSub;
        m_ends = reverse ? kReverseDashEnds : kDashEnds;
        m_on = reverse ? 0 : 1;
        m_offset =
            reverse ? kDashLength - patternOffset - delta + kHalfSub : patternOffset + kHalfSub;
        m_offset %= kDashLength;
        if (m_offset < 0) m_offset += kDashLength;
        while (m_offset >= m_ends[m_index]) ++m_index;
        patternOffset = (patternOffset + delta) % kDashLength;
    }
    bool On() const { return ((m_index + m_on) & 1) != 0; }
    void Step() {
        m_offset += kSub;
        if (m_offset >= m_ends[m_index]) m_index = (m_index + 1) % kDashes;
        m_offset %= kDashLength;
    }

private:
    const int* m_ends = kDashEnds;
    int m_on = 1;
    int m_offset = 0;
    int m_index = 0;
};

class Stroker {
public:
    Stroker(QImage& image, QRect clip, QRect device, QRgb color, LineStyle style, PixelLog& log)
        : m_log(log),
          m_pixels(ImagePixels(image)),
          m_stride(image.bytesPerLine() / static_cast<qsizetype>(sizeof(uint32_t))),
          m_clip(clip & image.rect()),
          m_xMin(device.left() - 1),
          m_xMax(device.right() + 2),
          m_yMin(device.top() - 1),
          m_yMax(device.bottom() + 2),
          m_color(color | 0xFF000000u),
          m_dashed(style == LineStyle::Dashed) {}

    void Polyline(std::span<const QPoint> points);

private:
    bool Cut(double& x1, double& y1, double& x2, double& y2);
    bool Segment(double x1, double y1, double x2, double y2, int caps);
    void Plot(int x, int y) {
        if (static_cast<unsigned>(x - m_clip.left()) >= static_cast<unsigned>(m_clip.width()) ||
            static_cast<unsigned>(y - m_clip.top()) >= static_cast<unsigned>(m_clip.height()))
            return;
        m_pixels[static_cast<qsizetype>(y) * m_stride + x] = m_color;
        m_log.Add(x, y);
    }

    PixelLog& m_log;
    uint32_t* m_pixels;
    qsizetype m_stride;
    QRect m_clip;
    double m_xMin, m_xMax, m_yMin, m_yMax;
    uint32_t m_color;
    bool m_dashed;
    int m_patternOffset = 0;
    Pixel m_last;
    int m_lastDir = kNoDirection;
    bool m_lastAxisAligned = false;
};

// Cuts the line at the device's edges (in floating point, so that far points cannot overflow
// the fixed-point steps); true when nothing of it is left.
bool Stroker::Cut(double& x1, double& y1, double& x2, double& y2) {
    const auto cutStart = [&](double& a1, double& b1, double a2, double b2, double low,
                              double high) {
        if (a1 < low) {
            if (a2 <= low) return true;
            b1 += (b2 - b1) / (a2 - a1) * (low - a1);
            a1 = low;
        } else if (a1 > high) {
            if (a2 >= high) return true;
            b1 += (b2 - b1) / (a2 - a1) * (high - a1);
            a1 = high;
        }
        return false;
    };
    const auto cutEnd = [&](double a1, double b1, double& a2, double& b2, double low, double high) {
        const double edge = a2 < low ? low : a2 > high ? high : a2;
        if (edge == a2) return;
        m_last.m_x = INT_MIN;
        b2 += (b2 - b1) / (a2 - a1) * (edge - a2);
        a2 = edge;
    };
    if (cutStart(x1, y1, x2, y2, m_xMin, m_xMax)) return m_last.m_x = INT_MIN, true;
    cutEnd(x1, y1, x2, y2, m_xMin, m_xMax);
    if (cutStart(y1, x1, y2, x2, m_yMin, m_yMax)) return m_last.m_x = INT_MIN, true;
    cutEnd(y1, x1, y2, x2, m_yMin, m_yMax);
    return false;
}

// Steps one segment along its longer axis, one pixel per row (a steep segment) or column. The
// end pixel is left to the next segment unless the end is capped; where segments meet, a
// pixel drawn twice is dropped and a diagonal gap is filled, as the raster engine does.
// Returns false when the segment was cut away or covers no pixel.
bool Stroker::Segment(double rx1, double ry1, double rx2, double ry2, int caps) {
    if (Cut(rx1, ry1, rx2, ry2)) return true;
    const int x1 = static_cast<int>(rx1 * kSub), y1 = static_cast<int>(ry1 * kSub);
    const int x2 = static_cast<int>(rx2 * kSub), y2 = static_cast<int>(ry2 * kSub);
    const bool steep = std::abs(x2 - x1) < std::abs(y2 - y1);
    if (!steep && x1 == x2) return true;
    // Along: the axis stepped pixel by pixel; across: the other one.
    int a1 = steep ? y1 : x1, b1 = steep ? x1 : y1, a2 = steep ? y2 : x2, b2 = steep ? x2 : y2;
    const auto toPixel = [steep](int along, int across) {
        return steep ? Pixel{across, along} : Pixel{along, across};
    };
    const int mask = steep ? kVerticalMask : kHorizontalMask;
    int dir = steep ? kTopToBottom : kLeftToRight;
    const bool swapped = a1 > a2;
    if (swapped) {
        std::swap(a1, a2);
        std::swap(b1, b2);
        caps = SwapCaps(caps);
        dir <<= 1;
    }
    const int inc = FixedDiv(b2 - b1, a2 - a1);
    int b = b1 * (1 << (kFracBits - kSubBits));
    if ((m_lastDir ^ mask) == dir) caps |= swapped ? kCapEnd : kCapBegin;
    if (caps & kCapBegin) {
        a1 -= kHalfSub;
        b -= inc >> 1;
    }
    if (caps & kCapEnd) a2 += kHalfSub;
    int a = (a1 + kHalfSub) >> kSubBits;
    int as = (a2 + kHalfSub) >> kSubBits;
    const int lastAlong = steep ? m_last.m_y : m_last.m_x;
    if ((caps & kCapBegin) && lastAlong == a + 1) ++a;
    if (a == as) return false;

    b += ((a * kSub) + (inc > 0 ? kHalfSub : 0) - a1) * inc >> kSubBits;
    Pixel first = toPixel(a, b >> kFracBits);
    Pixel last = toPixel(as - 1, (b + (as - a - 1) * inc) >> kFracBits);
    if (swapped) std::swap(first, last);
    const bool axisAligned = std::abs(inc) < kAxisAlignedSlope;
    if (m_last.Valid()) {
        const int dx = std::abs(m_last.m_x - first.m_x), dy = std::abs(m_last.m_y - first.m_y);
        if (first == m_last) {
            if (swapped) {
                --as;
            } else {
                ++a;
                b += inc;
            }
        } else if (m_lastDir != dir &&
                   ((axisAligned && m_lastAxisAligned && dx != 0 && dy != 0) || dx > 1 || dy > 1)) {
            if (swapped) {
                ++as;
            } else {
                --a;
                b -= inc;
            }
        } else if (m_lastDir == dir && dx <= 1 && dy > 1) {
            b += inc >> 1;
            const int across = swapped ? b >> kFracBits : (b + (as - a - 1) * inc) >> kFracBits;
            (steep ? last.m_x : last.m_y) = across;
        }
    }
    m_lastDir = dir;
    m_lastAxisAligned = axisAligned;

    // At least one pixel, even where a pixel drawn twice was dropped.
    const auto plot = [&] {
        const Pixel p = toPixel(a, b >> kFracBits);
        Plot(p.m_x, p.m_y);
    };
    if (m_dashed) {
        Dasher dasher(m_patternOffset, swapped, as - a);
        do {
            if (dasher.On()) plot();
            dasher.Step();
            b += inc;
        } while (++a < as);
    } else {
        do {
            plot();
            b += inc;
        } while (++a < as);
    }
    m_last = last;
    return true;
}

// An open polyline: a cap at its first and its last point.
void Stroker::Polyline(std::span<const QPoint> points) {
    if (points.size() < 2) return;
    QPointF from = points.front();
    int caps = kCapBegin;
    for (std::size_t i = 1; i < points.size(); ++i) {
        if (i + 1 == points.size()) caps |= kCapEnd;
        const QPointF to = points[i];
        if (Segment(from.x(), from.y(), to.x(), to.y(), caps) || !m_last.Valid()) from = to;
        caps = kNoCaps;
    }
}

}   // namespace

void PixelLog::Reserve(std::size_t capacity) {
    m_pixels = std::make_unique_for_overwrite<Pixel[]>(capacity);
    m_capacity = capacity;
    m_size = 0;
    m_overflow = true;
}

void PixelLog::Clear() {
    m_size = 0;
    m_overflow = false;
}

void DrawThinPolyline(QImage& image, QRect clip, QRect device, std::span<const QPoint> points,
                      QRgb color, LineStyle style, PixelLog& log) {
    Stroker(image, clip, device, color, style, log).Polyline(points);
}

}   // namespace graph
