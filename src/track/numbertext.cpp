#include "track/numbertext.h"

#include <array>
#include <charconv>
#include <cmath>
#include <initializer_list>
#include <vector>

namespace zorvane {

namespace {

bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view trimmedBlanks(std::string_view text)
{
    const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Rewrites the number into the plain form from_chars reads, accepting any
// of the decimal separators.
std::optional<double> readNumber(std::string_view text, const std::vector<std::string_view> &decimalSeparators)
{
    std::string plain;
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        negative = text[pos++] == '-';

    const auto separatorAt = [&](const std::vector<std::string_view> &separators) -> std::size_t {
        for (std::string_view separator : separators)
            if (!separator.empty() && text.substr(pos).starts_with(separator))
                return separator.size();
        return 0;
    };
    std::size_t digits = 0;
    for (; pos < text.size() && isAsciiDigit(text[pos]); ++digits)
        plain += text[pos++];
    if (const std::size_t decimal = separatorAt(decimalSeparators)) {
        pos += decimal;
        plain += '.';
        for (; pos < text.size() && isAsciiDigit(text[pos]); ++digits)
            plain += text[pos++];
    }
    if (digits == 0)
        return std::nullopt;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        plain += text[pos++];
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
            plain += text[pos++];
        const std::size_t exponentStart = pos;
        while (pos < text.size() && isAsciiDigit(text[pos]))
            plain += text[pos++];
        if (pos == exponentStart)
            return std::nullopt;
    }
    if (pos != text.size())
        return std::nullopt;

    double value = 0.0;
    const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (error != std::errc() || end != plain.data() + plain.size() || !std::isfinite(value))
        return std::nullopt;
    return negative ? -value : value;
}

} // namespace

std::optional<double> parseStep(std::string_view text, const NumberFormat &format)
{
    return readNumber(trimmedBlanks(text), {".", ",", format.decimalSeparator});
}

std::optional<double> parseFileNumber(std::string_view field) { return readNumber(field, {".", ","}); }

std::string formatNumber(double value, std::string_view decimalSeparator, int significantDigits)
{
    if (value == 0.0)
        value = 0.0; // no "-0"
    std::array<char, 40> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value, std::chars_format::general,
                                      significantDigits);
    std::string text;
    for (const char *c = digits.data(); c != result.ptr; ++c) {
        if (*c == '.')
            text += decimalSeparator;
        else
            text += *c == 'e' ? 'E' : *c;
    }
    return text;
}

std::string formatMilliseconds(double value, std::string_view decimalSeparator)
{
    return formatNumber(value, decimalSeparator, 15);
}

} // namespace zorvane
