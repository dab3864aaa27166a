#pragma once

#include <cstdint>
#include <string>

namespace zorvane {

// Codec and frame size read from a media file's headers. Codec holds raw
// bytes, at most five, and may end in a space.
struct VideoInfo {
    std::string Codec;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::int32_t Spare1 = 0;
    std::int32_t Spare2 = 0;

    bool operator==(const VideoInfo &) const = default;
};

} // namespace zorvane
