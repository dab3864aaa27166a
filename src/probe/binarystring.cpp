#include "probe/binarystring.h"

#include "probe/probeerror.h"

#include <limits>

namespace zorvane {

std::string ToBinaryString(std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    std::string digits(32, '0');
    for (int i = 0; i < 32; ++i) {
        if (bits & (std::uint32_t{1} << i))
            digits[static_cast<std::size_t>(31 - i)] = '1';
    }
    return digits;
}

std::int32_t FromBinaryString(const std::string &digits)
{
    constexpr std::int64_t kLargest = std::numeric_limits<std::int32_t>::max();
    const std::size_t n = digits.size();
    std::int64_t result = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const char c = digits[i];
        const int value = (c >= '0' && c <= '9') ? c - '0' : 0;
        if (value == 0)
            continue; // leading zeros never overflow, however many there are
        const std::size_t place = n - 1 - i;
        // Every term is non-negative, so a place of 31 or more cannot fit.
        if (place >= 31 || result + (std::int64_t{value} << place) > kLargest)
            throw ProbeError(ProbeErrorKind::Overflow, "binary number out of the 32-bit range: " + digits);
        result += std::int64_t{value} << place;
    }
    return static_cast<std::int32_t>(result);
}

} // namespace zorvane
