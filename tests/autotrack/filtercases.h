#pragma once

#include "trackcorpus.h"

#include <memory>
#include <string>
#include <vector>

namespace zorvane::testing {

// Cases drawn by ffmpeg's own filters rather than by our renderer, and read
// back through the real reader after H.264: other test patterns, other
// sprites, other edges. Nothing in the tracker was tuned on them before
// they were first scored.
std::vector<std::string> filterCaseNames();

// Null for a name that is not one of them; `frames`, when positive, keeps
// the first frames only. Makes the video on first use under the build's
// media folder; throws std::runtime_error when ffmpeg fails.
std::unique_ptr<CorpusCase> makeFilterCase(const std::string &name, int frames = 0);

} // namespace zorvane::testing
