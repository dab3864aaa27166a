#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zorvane {

// How the user's locale writes numbers; separators are UTF-8 text, since
// some locales group digits with a narrow no-break space.
struct NumberFormat {
    std::string decimalSeparator = ".";
    std::string groupSeparator; // empty: digits are not grouped
};

// The step text as the user's locale reads it: blanks around, a sign,
// grouped digits, a fraction, an exponent. Nothing when it is not a finite
// number. Where the locale groups with a space, any kind of space is taken.
std::optional<double> parseStep(std::string_view text, const NumberFormat &format);

// A field of a sequence file, which may come from any locale: the decimal
// separator is a dot or a comma, and digits are not grouped.
std::optional<double> parseFileNumber(std::string_view field);

// General form with at most `significantDigits` digits, no trailing zeros,
// an exponent ("1.5E-05") only for very large or very small values; never "-0".
std::string formatNumber(double value, std::string_view decimalSeparator, int significantDigits);

// Shortest general form: at most 15 significant digits, no trailing zeros,
// an exponent only for very large or very small values.
std::string formatMilliseconds(double value, std::string_view decimalSeparator);

} // namespace zorvane
