#pragma once

#include <cstdint>

namespace zorvane {

// 32-bit colour: red in the lowest byte, then green, then blue, top byte 0.
using Color = std::uint32_t;

constexpr Color rgbColor(int red, int green, int blue)
{
    return static_cast<Color>(red) | static_cast<Color>(green) << 8 | static_cast<Color>(blue) << 16;
}

constexpr int redOf(Color c) { return static_cast<int>(c & 0xff); }
constexpr int greenOf(Color c) { return static_cast<int>(c >> 8 & 0xff); }
constexpr int blueOf(Color c) { return static_cast<int>(c >> 16 & 0xff); }

} // namespace zorvane
