#pragma once

#include <cstdint>

namespace zorvane {

// The size at which a player shows a video, in pixels.
struct DisplayedSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

} // namespace zorvane
