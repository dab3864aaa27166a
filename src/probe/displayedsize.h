#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zorvane {

struct DisplayedSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// The decimal number at the start of text (leading blanks skipped, 0 when
// there is none), rounded to the nearest integer with halves to even.
// Throws ProbeError(Overflow) outside the signed 32-bit range.
std::int32_t valueOfText(std::string_view text);

// Reads a "where ... destination" reply "left top width height": the last
// number is the height, the one before it the width. A reply of fewer
// than two characters (after cutting at the first NUL and trimming
// spaces) gives nothing. Throws ProbeError(BadFallbackReply) for a longer
// reply without a space, ProbeError(Overflow) for numbers too large.
std::optional<DisplayedSize> parseDisplayedSizeReply(const std::string &reply);

} // namespace zorvane
