#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zorvane {

// How the user's locale writes numbers; the separator is UTF-8 text, since
// a few locales use a character beyond ASCII.
struct NumberFormat {
    std::string decimalSeparator = ".";
};

// The step text: blanks around, a sign, digits, a fraction, an exponent.
// A step is never large enough to group its digits, so a dot and a comma
// are both taken as the decimal separator in every locale, as is the
// locale's own. Nothing when it is not a finite number.
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
