#pragma once

#include "probe/displayedsize.h"

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace zorvane::inspect {

// The size a player shows a file at; nothing when it cannot show it.
using DisplayedSizeForPath = std::function<std::optional<DisplayedSize>(const std::string &path)>;

// `zorvane-inspect probe [--no-fallback] FILE [FILE ...]`; args exclude
// the word "probe". Prints one line per file: path, type tag, quoted
// codec and the four numbers, tab-separated; or path, "error" and the
// message. Returns 0 when every file was probed, 1 when one failed and 2
// for a usage error.
int runProbeCommand(const std::vector<std::string> &args, std::ostream &out, std::ostream &err,
                    DisplayedSizeForPath displayedSize);

// Codec bytes for a one-line listing: backslash, quote, tab, CR and LF
// escaped with a backslash, every other byte outside printable ASCII as \xHH.
std::string escapeCodec(const std::string &codec);

// A path or message kept on its line: backslash and control bytes
// escaped, bytes of UTF-8 text left as they are.
std::string escapeField(const std::string &text);

} // namespace zorvane::inspect
