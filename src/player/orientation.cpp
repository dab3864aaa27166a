#include "player/orientation.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace zorvane {
namespace {

int signOf(std::int32_t value) { return (value > 0) - (value < 0); }

} // namespace

// With row vectors, (x', y') = (a x + c y, b x + d y) for the matrix rows
// (a b u), (c d v), (tx ty w); the translation only places the picture.
Orientation Orientation::fromDisplayMatrix(const std::int32_t matrix[9])
{
    const int a = signOf(matrix[0]);
    const int b = signOf(matrix[1]);
    const int c = signOf(matrix[3]);
    const int d = signOf(matrix[4]);
    const bool straight = a != 0 && d != 0 && b == 0 && c == 0;
    const bool crossed = a == 0 && d == 0 && b != 0 && c != 0;
    if (!straight && !crossed)
        return {};
    return {a, c, b, d};
}

// Pixels of `Channels` bytes each.
template <int Channels, typename Image>
Image Orientation::turn(const Image &stored) const
{
    if (isIdentity())
        return stored;
    const int width = stored.width;
    const int height = stored.height;
    Image upright;
    upright.width = uprightWidth(width, height);
    upright.height = uprightHeight(width, height);
    upright.pixels.resize(stored.pixels.size());
    // Offsets that bring negative coordinates back to 0 .. size - 1.
    const int offsetX = (m_xx < 0 ? width - 1 : 0) + (m_xy < 0 ? height - 1 : 0);
    const int offsetY = (m_yx < 0 ? width - 1 : 0) + (m_yy < 0 ? height - 1 : 0);
    // Pixel steps in the upright picture for one step right and one step
    // down in the stored picture.
    const std::ptrdiff_t stepX = (std::ptrdiff_t{m_yx} * upright.width + m_xx) * Channels;
    const std::ptrdiff_t stepY = (std::ptrdiff_t{m_yy} * upright.width + m_xy) * Channels;
    const std::ptrdiff_t origin = (std::ptrdiff_t{offsetY} * upright.width + offsetX) * Channels;
    const std::uint8_t *source = stored.pixels.data();
    std::uint8_t *target = upright.pixels.data();
    // Tiles keep both the rows read and the columns written in cache when
    // the map swaps sides.
    constexpr int kTile = 64;
    for (int tileY = 0; tileY < height; tileY += kTile) {
        const int endY = std::min(height, tileY + kTile);
        for (int tileX = 0; tileX < width; tileX += kTile) {
            const int endX = std::min(width, tileX + kTile);
            for (int y = tileY; y < endY; ++y) {
                const std::uint8_t *from = source + (std::ptrdiff_t{y} * width + tileX) * Channels;
                std::ptrdiff_t to = origin + y * stepY + tileX * stepX;
                for (int x = tileX; x < endX; ++x, from += Channels, to += stepX)
                    std::memcpy(target + to, from, Channels);
            }
        }
    }
    return upright;
}

RgbImage Orientation::apply(const RgbImage &stored) const { return turn<3>(stored); }

GrayImage Orientation::apply(const GrayImage &stored) const { return turn<1>(stored); }

} // namespace zorvane
