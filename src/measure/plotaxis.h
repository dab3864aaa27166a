#pragma once

#include "measure/measuretable.h"
#include "measure/quantity.h"

#include <vector>

namespace zorvane {

// An axis range with ticks at whole multiples of a 1, 2 or 5 × 10^k step,
// and the decimals that write every tick label whole.
struct AxisScale {
    double low = 0;
    double high = 1;
    double step = 0.2;
    int decimals = 1;

    std::vector<double> ticks() const;
};

// Ticks for about `targetTicks` intervals over [low, high], the range kept.
AxisScale ticksWithin(double low, double high, int targetTicks = 5);

// The range of the data, widened to at least `minimumSpan` around its
// middle, from 0 when `fromZero` and the data are not negative, then
// rounded out to whole ticks.
AxisScale niceScale(double low, double high, double minimumSpan, bool fromZero, int targetTicks = 5);

// The scale a plot of `quantity` uses for these values: never narrower
// than four times the quantity's resolution, so that a constant measured
// through pixel rounding looks constant; time from 0.
AxisScale quantityScale(Quantity quantity, const MeasureTable &table, const std::vector<double> &values);

} // namespace zorvane
