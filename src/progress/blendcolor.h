#pragma once

#include "common/rgbcolor.h"

namespace zorvane {

// The two colours of the progress bar's gradient.
constexpr Color kProgressColorA = rgbColor(0, 128, 0);
constexpr Color kProgressColorB = rgbColor(128, 255, 255);

// Mixes Color2 (weight 1 - Fraction) with Color1 (weight Fraction), with red
// and blue exchanged in the result; from Fraction 1 on, Color2 comes back as is.
// The crossing is what turns the bar's green into light yellow, so keep it.
Color BlendColor(Color Color1, double Fraction, Color Color2);

} // namespace zorvane
