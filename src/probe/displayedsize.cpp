#include "displayedsize.h"

#include "probeerror.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace zorvane {
namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::size_t skipDigits(std::string_view text, std::size_t i)
{
    while (i < text.size() && isDigit(text[i]))
        ++i;
    return i;
}

// The longest prefix of text that is a decimal number (sign, digits,
// fraction, exponent with E or D), written with "e" for the parser.
std::string leadingNumber(std::string_view text)
{
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    const std::size_t integerStart = i;
    i = skipDigits(text, i);
    bool hasDigits = i > integerStart;
    if (i < text.size() && text[i] == '.') {
        const std::size_t fractionStart = i + 1;
        const std::size_t fractionEnd = skipDigits(text, fractionStart);
        if (hasDigits || fractionEnd > fractionStart)
            i = fractionEnd;
        hasDigits = hasDigits || fractionEnd > fractionStart;
    }
    if (!hasDigits)
        return {};
    std::string number(text.substr(0, i));
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            ++j;
        const std::size_t exponentEnd = skipDigits(text, j);
        if (exponentEnd > j)
            number += "e" + std::string(text.substr(i + 1, exponentEnd - i - 1));
    }
    return number;
}

double roundHalfToEven(double value)
{
    const double below = std::floor(value);
    const double fraction = value - below;
    if (fraction < 0.5)
        return below;
    if (fraction > 0.5)
        return below + 1;
    return std::fmod(below, 2.0) == 0.0 ? below : below + 1;
}

ProbeError overflowOf(std::string_view text)
{
    return ProbeError(ProbeErrorKind::Overflow, "number out of the 32-bit range: " + std::string(text));
}

std::string trimSpaces(const std::string &text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    const std::size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

} // namespace

std::int32_t valueOfText(std::string_view text)
{
    std::size_t start = 0;
    while (start < text.size() && isBlank(text[start]))
        ++start;
    std::string number = leadingNumber(text.substr(start));
    if (number.empty())
        return 0;
    // from_chars takes no leading "+".
    const char *begin = number.data() + (number[0] == '+' ? 1 : 0);
    double value = 0;
    const auto [end, error] = std::from_chars(begin, number.data() + number.size(), value);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        // Either far too large, or so small that it rounds to 0.
        if (number.find("e-") != std::string::npos)
            return 0;
        throw overflowOf(text);
    }
    const double rounded = roundHalfToEven(value);
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0))
        throw overflowOf(text);
    return static_cast<std::int32_t>(rounded);
}

std::optional<DisplayedSize> parseDisplayedSizeReply(const std::string &reply)
{
    // The reply arrives in a 128-character buffer holding a NUL-ended text.
    constexpr std::size_t bufferText = 127;
    std::string text = reply.substr(0, std::min(reply.find('\0'), bufferText));
    text = trimSpaces(text);
    if (text.size() <= 1)
        return std::nullopt;
    const std::size_t lastSpace = text.rfind(' ');
    if (lastSpace == std::string::npos) {
        valueOfText(text); // the height is read before the width's absence shows
        throw ProbeError(ProbeErrorKind::BadFallbackReply, "displayed-size reply without a space: " + text);
    }
    DisplayedSize size;
    size.height = valueOfText(std::string_view(text).substr(lastSpace + 1));
    const std::size_t spaceBefore = lastSpace == 0 ? std::string::npos : text.rfind(' ', lastSpace - 1);
    const std::size_t widthStart = spaceBefore == std::string::npos ? 0 : spaceBefore + 1;
    size.width = valueOfText(std::string_view(text).substr(widthStart, lastSpace - widthStart));
    return size;
}

} // namespace zorvane
