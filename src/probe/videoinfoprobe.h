#pragma once

#include "videoinfo.h"

#include <functional>
#include <string>

namespace zorvane {

// Answers the "where ... destination" query for the file being probed:
// "left top width height", or an empty text when there is no answer.
using DisplayedSizeQuery = std::function<std::string()>;

// Reads the codec and frame size from the headers of the file at path
// (UTF-8). When the headers give no size (width and height both below 2)
// the displayed size is asked of whereDestination, if given. Any failure
// is thrown as ProbeError; nothing is returned then.
VideoInfo ProbeVideoInfo(const std::string &path, const DisplayedSizeQuery &whereDestination = {});

} // namespace zorvane
