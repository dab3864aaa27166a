#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace zorvane {

// The middle value of `values`, the upper one of the two for an even
// count; a value-initialised T for none.
template <typename T>
T middleValue(std::vector<T> values)
{
    if (values.empty())
        return T();
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

} // namespace zorvane
