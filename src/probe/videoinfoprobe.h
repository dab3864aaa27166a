#pragma once

#include "probe/displayedsize.h"
#include "probe/videoinfo.h"

#include <functional>
#include <optional>
#include <string>

namespace zorvane {

// The size a player shows the file being probed at; nothing when it
// cannot show it.
using DisplayedSizeQuery = std::function<std::optional<DisplayedSize>()>;

// Reads the codec and frame size from the headers of the file at path
// (UTF-8). When the headers give no size (width and height both below 2)
// the displayed size is asked of displayedSize, if given. Any failure
// is thrown as ProbeError; nothing is returned then.
VideoInfo ProbeVideoInfo(const std::string &path, const DisplayedSizeQuery &displayedSize = {});

} // namespace zorvane
