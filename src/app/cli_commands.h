#pragma once

#include <string>
#include <vector>

namespace zorvane::inspect {

// Each subcommand gets the arguments after its name and returns the exit
// status; failures print one line on stderr.
int runFrames(const std::vector<std::string> &args);
int runFrame(const std::vector<std::string> &args);
int runMeasure(const std::vector<std::string> &args);
int runTrack(const std::vector<std::string> &args);

} // namespace zorvane::inspect
