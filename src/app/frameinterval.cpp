#include "app/frameinterval.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zorvane {
namespace {

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

} // namespace zorvane
