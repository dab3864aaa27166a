#pragma once

#include "measure/measuretable.h"

#include <cstdint>
#include <optional>

// A row of the table of measures, with the columns a test sets.
inline zorvane::MeasureRow measureRow(std::int32_t frame, double t, double x, double y, std::optional<double> vx,
                                      std::optional<double> vy)
{
    zorvane::MeasureRow row;
    row.frame = frame;
    row.t = t;
    row.x = x;
    row.y = y;
    row.vx = vx;
    row.vy = vy;
    return row;
}
