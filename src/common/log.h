#pragma once

#include <string_view>

namespace zorvane {

// A debug log for the toolkit-free libraries, off unless asked for, so that
// a user's "it froze" can be answered. By default lines go to the error
// stream when the ZORVANE_DEBUG variable is set (to anything but "0"); the
// window routes them into the toolkit's logging categories instead.
//
// Categories are short names ("player", "ffmpeg", ...), shown with a
// "zorvane." prefix.

using LogSink = void (*)(std::string_view category, std::string_view message);

// Replaces where lines go, and whether any is wanted at all; null for the
// default. Call before other threads log.
void setLogSink(LogSink sink, bool enabled);
// Cheap enough to test before building a message.
bool debugLogEnabled() noexcept;
void logDebug(std::string_view category, std::string_view message);

} // namespace zorvane
