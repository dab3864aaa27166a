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

// The two colours of the progress bar's gradient.
constexpr Color ProgressColorA = rgbColor(0, 128, 0);
constexpr Color ProgressColorB = rgbColor(128, 255, 255);

// Mixes Color2 (weight 1 - Fraction) with Color1 (weight Fraction), with red
// and blue exchanged in the result; from Fraction 1 on, Color2 comes back as is.
// The crossing is what turns the bar's green into light yellow, so keep it.
Color BlendColor(Color Color1, double Fraction, Color Color2);

} // namespace zorvane
