#pragma once

#include "player/framesource.h"

#include <cstdint>

namespace zorvane {

// How a stored picture is turned and mirrored to stand upright: one of the
// eight right-angle maps of a rectangle onto itself. Stored pixel (x, y)
// goes to (xx * x + xy * y, yx * x + yy * y), moved back into the picture;
// y points down.
class Orientation {
public:
    Orientation() = default;
    // From a container's display matrix: nine fixed-point numbers, row
    // vectors times the matrix as MP4 track headers have them. A matrix
    // that is not a right-angle turn or mirror leaves pictures as stored.
    static Orientation fromDisplayMatrix(const std::int32_t matrix[9]);

    bool isIdentity() const { return m_xx == 1 && m_xy == 0 && m_yx == 0 && m_yy == 1; }
    // True when upright width is the stored height.
    bool swapsSides() const { return m_xx == 0; }
    int uprightWidth(int storedWidth, int storedHeight) const { return swapsSides() ? storedHeight : storedWidth; }
    int uprightHeight(int storedWidth, int storedHeight) const { return swapsSides() ? storedWidth : storedHeight; }

    RgbImage apply(const RgbImage &stored) const;
    GrayImage apply(const GrayImage &stored) const;

private:
    template <int Channels, typename Image>
    Image turn(const Image &stored) const;

    Orientation(int xx, int xy, int yx, int yy) : m_xx(xx), m_xy(xy), m_yx(yx), m_yy(yy) {}

    int m_xx = 1;
    int m_xy = 0;
    int m_yx = 0;
    int m_yy = 1;
};

} // namespace zorvane
