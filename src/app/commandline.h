#pragma once

#include <string>
#include <vector>

namespace zorvane {

// What the command line of zorvane asks for.
struct CommandLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    std::string file;  // the video to open after start-up; empty for none
    std::string error; // for Action::Error, one line naming the fault
};

// Reads the arguments that follow the program's name. --help and --version
// win wherever they stand (before "--"), so they answer even next to
// options only the toolkit knows; everything else starting with "-" is an
// error, and so is a second file.
CommandLine parseCommandLine(const std::vector<std::string> &args);

std::string helpText();
std::string versionText(const std::string &program);

} // namespace zorvane
