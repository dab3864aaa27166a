#pragma once

#include "dialogs/sysinfo.h"

namespace zorvane {

// Starts a program with QProcess, never through a shell.
class DesktopLauncher : public ProgramLauncher {
public:
    bool startProgram(const std::string &commandLine) override;
};

// A modal message box with an OK button and no icon.
class DesktopMessageDisplay : public MessageDisplay {
public:
    void showMessage(const std::string &text, const std::string &caption) override;
};

} // namespace zorvane
