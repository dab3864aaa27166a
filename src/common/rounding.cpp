#include "common/rounding.h"

#include <cmath>

namespace zorvane {

double roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return value;
    const double below = std::floor(value);
    const double fraction = value - below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0))
        return below + 1.0;
    return below;
}

std::optional<std::int32_t> roundHalfEvenToInt32(double value)
{
    const double rounded = roundHalfEven(value);
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0))
        return std::nullopt;
    return static_cast<std::int32_t>(rounded);
}

} // namespace zorvane
