#pragma once

#include <cstdint>
#include <string>

namespace zorvane {

// The 32 binary digits of value, most significant first. A negative value
// gives its two's complement bits.
std::string ToBinaryString(std::int32_t value);

// Reads digits as a binary number, the first character the most
// significant. Each character counts by the decimal digit it shows (so "2"
// weighs twice its place) and anything else as 0. Throws
// ProbeError(Overflow) when the value leaves the signed 32-bit range.
std::int32_t FromBinaryString(const std::string &digits);

} // namespace zorvane
