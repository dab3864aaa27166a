#include "app/frameinterval.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zorvane {
namespace {

// Intervals read from timestamps in whole milliseconds differ by one.
constexpr double kConstantTolerance = 1.0 + 1e-9;

std::string milliseconds(double ms, const std::string &separator)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", ms);
    std::string result(text);
    const std::size_t dot = result.find('.');
    if (dot != std::string::npos)
        result.replace(dot, 1, separator);
    return result;
}

} // namespace

std::string frameIntervalTip(const std::vector<double> &frameTimesMs, const std::string &decimalSeparator)
{
    if (frameTimesMs.size() < 2)
        return {};
    double shortest = INFINITY;
    double longest = -INFINITY;
    for (std::size_t i = 1; i < frameTimesMs.size(); ++i) {
        const double interval = frameTimesMs[i] - frameTimesMs[i - 1];
        shortest = std::min(shortest, interval);
        longest = std::max(longest, interval);
    }
    if (!std::isfinite(shortest) || !std::isfinite(longest))
        return {};
    const std::string low = milliseconds(shortest, decimalSeparator);
    const std::string high = milliseconds(longest, decimalSeparator);
    const std::string prefix = "Intervalle des images de la vidéo : ";
    // Intervals that read the same are the same to the user.
    if (low == high)
        return prefix + low + " ms";
    return prefix + "de " + low + " à " + high + " ms";
}

std::optional<double> constantFrameIntervalMs(const std::vector<double> &frameTimesMs)
{
    if (frameTimesMs.size() < 2)
        return std::nullopt;
    const double mean = (frameTimesMs.back() - frameTimesMs.front()) / static_cast<double>(frameTimesMs.size() - 1);
    if (!std::isfinite(mean) || mean <= 0.0)
        return std::nullopt;
    for (std::size_t i = 1; i < frameTimesMs.size(); ++i)
        if (!(std::fabs(frameTimesMs[i] - frameTimesMs[i - 1] - mean) <= kConstantTolerance))
            return std::nullopt;
    return mean;
}

std::string stepFieldText(double ms, const std::string &decimalSeparator)
{
    std::string text = milliseconds(ms, ".");
    while (text.back() == '0')
        text.pop_back();
    if (text.back() == '.')
        text.pop_back();
    const std::size_t dot = text.find('.');
    if (dot != std::string::npos)
        text.replace(dot, 1, decimalSeparator);
    return text;
}

} // namespace zorvane
