#pragma once
// One-pixel lines without antialiasing, written straight into the 32-bit pixels of an image:
// pixel for pixel the lines Qt's raster engine draws with a one-pixel pen (square caps, solid
// or dashed 4 on 2 off), at a fraction of its cost per line.
#include <QImage>
#include <QPoint>
#include <QRect>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace graph {

enum class LineStyle { Solid, Dashed };

// The pixels that drawings wrote, as long as they fit in the room reserved; past that only
// that there were more. Logging allocates nothing.
class PixelLog {
public:
    struct Pixel {
        uint16_t m_x = 0;
        uint16_t m_y = 0;
    };
    void Reserve(std::size_t capacity);
    void Clear();
    void Forget() { m_overflow = true; }   // the pixels logged are no longer all there are
    void Add(int x, int y) {
        if (m_size == m_capacity) {
            m_overflow = true;
        } else {
            m_pixels[m_size++] = {static_cast<uint16_t>(x), static_cast<uint16_t>(y)};
        }
    }
    bool Complete() const { return !m_overflow; }
    std::span<const Pixel> Pixels() const { return {m_pixels.get(), m_size}; }

private:
    std::unique_ptr<Pixel[]> m_pixels;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
    bool m_overflow = true;   // nothing is known before the first drawing
};

// The 32-bit pixels of an image, written through constBits: an image that a painter paints on
// must not be detached from it, or the two would write into different pixels.
inline uint32_t* ImagePixels(const QImage& image) {
    return const_cast<uint32_t*>(reinterpret_cast<const uint32_t*>(image.constBits()));
}

// Draws the open polyline (its first and last points differ) through `points` in `color` onto
// `image` (Format_RGB32 or a premultiplied 32-bit format), only inside `clip`. The raster engine
// cuts a line at the edges of its paint device before it steps it, which moves the pixels of a line
// that runs far outside; `device` is that device's rectangle in the image's coordinates. Every
// pixel written goes to `log`.
void DrawThinPolyline(QImage& image, QRect clip, QRect device, std::span<const QPoint> points,
                      QRgb color, LineStyle style, PixelLog& log);

}   // namespace graph
