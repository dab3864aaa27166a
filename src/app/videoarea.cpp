#include "app/videoarea.h"

#include <algorithm>
#include <cmath>

namespace zorvane {
namespace {

std::optional<int> nonNegative(int value)
{
    if (value < 0)
        return std::nullopt;
    return value;
}

} // namespace

VideoAreaSize videoAreaSize(int clientWidth, int clientHeight, int areaTop)
{
    return {nonNegative(clientWidth - 10), nonNegative(clientHeight - areaTop - 5)};
}

int followingScroll(double point, double scale, int scroll, int viewLength, int maxScroll)
{
    const double onScreen = point * scale - scroll;
    if (onScreen >= viewLength / 4.0 && onScreen <= viewLength * 3 / 4.0)
        return scroll;
    const double centred = std::round(point * scale - viewLength / 2.0);
    return static_cast<int>(std::clamp(centred, 0.0, static_cast<double>(std::max(maxScroll, 0))));
}

} // namespace zorvane
