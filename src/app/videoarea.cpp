#include "app/videoarea.h"

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

} // namespace zorvane
