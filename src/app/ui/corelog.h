#pragma once

#include <QLoggingCategory>

namespace zorvane {

Q_DECLARE_LOGGING_CATEGORY(lcApp)

// Sends the toolkit-free libraries' debug lines to the toolkit's logging
// categories "zorvane.player", "zorvane.ffmpeg", ..., off by default and
// switched on with QT_LOGGING_RULES (for example "zorvane.*.debug=true")
// or with ZORVANE_DEBUG=1, which turns every one of them on.
void routeCoreLogIntoQt();

} // namespace zorvane
