#pragma once

#include <cstdint>
#include <optional>

namespace zorvane {

// Nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4),
// whatever the floating-point rounding mode. NaN and infinities come back
// unchanged.
double roundHalfEven(double value);

// roundHalfEven as a 32-bit integer; nothing for NaN, infinities and
// results outside the 32-bit range.
std::optional<std::int32_t> roundHalfEvenToInt32(double value);

} // namespace zorvane
