#include "measure/plotaxis.h"

#include <algorithm>
#include <cmath>

namespace zorvane {

namespace {

double niceStep(double span, int targetTicks)
{
    const double raw = span / std::max(targetTicks, 1);
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double fraction = raw / magnitude;
    const double nice = fraction <= 1 ? 1 : fraction <= 2 ? 2 : fraction <= 5 ? 5 : 10;
    return nice * magnitude;
}

int decimalsOf(double step) { return std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9))); }

} // namespace

std::vector<double> AxisScale::ticks() const
{
    std::vector<double> ticks;
    if (!(step > 0) || !std::isfinite(low) || !std::isfinite(high))
        return ticks;
    const double first = std::ceil(low / step - 1e-9);
    for (double k = first; k * step <= high + step * 1e-9 && ticks.size() < 200; ++k)
        ticks.push_back(std::abs(k) < 0.5 ? 0.0 : k * step);
    return ticks;
}

AxisScale ticksWithin(double low, double high, int targetTicks)
{
    if (!(high > low) || !std::isfinite(high - low))
        return {};
    const double step = niceStep(high - low, targetTicks);
    return {low, high, step, decimalsOf(step)};
}

AxisScale niceScale(double low, double high, double minimumSpan, bool fromZero, int targetTicks)
{
    if (!(low <= high) || !std::isfinite(low) || !std::isfinite(high))
        return {};
    const bool startAtZero = fromZero && low >= 0;
    if (startAtZero)
        low = 0;
    const double span = std::max({high - low, minimumSpan, 1e-12 * std::max(std::abs(low), std::abs(high)), 1e-300});
    if (high - low < span) {
        const double middle = (low + high) / 2;
        low = middle - span / 2;
        high = middle + span / 2;
        if (startAtZero && low < 0) {
            high -= low;
            low = 0;
        }
    }
    const double step = niceStep(high - low, targetTicks);
    return {std::floor(low / step + 1e-9) * step, std::ceil(high / step - 1e-9) * step, step, decimalsOf(step)};
}

AxisScale quantityScale(Quantity quantity, const MeasureTable &table, const std::vector<double> &values)
{
    if (values.empty())
        return niceScale(0, 1, 0, true);
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    return niceScale(*low, *high, 4 * quantityResolution(quantity, table), quantity == Quantity::T);
}

} // namespace zorvane
