#include "progress/blendcolor.h"

#include "common/rounding.h"

#include <array>
#include <cstring>

namespace zorvane {

namespace {

std::array<std::uint8_t, 4> bytesOf(Color c)
{
    std::array<std::uint8_t, 4> bytes{};
    for (int k = 0; k < 4; ++k)
        bytes[k] = static_cast<std::uint8_t>(c >> (8 * k) & 0xff);
    return bytes;
}

} // namespace

Color BlendColor(Color Color1, double Fraction, Color Color2)
{
    if (Fraction >= 1)
        return Color2;
    const auto bytes1 = bytesOf(Color1);
    const auto bytes2 = bytesOf(Color2);
    const double u = 1 - Fraction;
    std::array<int, 3> v{};
    for (int k = 0; k < 3; ++k)
        v[k] = static_cast<int>(roundHalfEven(bytes2[k] * u + bytes1[k] * Fraction));
    return rgbColor(v[2], v[1], v[0]);
}

} // namespace zorvane
