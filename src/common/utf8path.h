#pragma once

#include <filesystem>
#include <string>

namespace zorvane {

// File names travel as UTF-8 text between the windows and the libraries;
// this is the one place that turns them into paths, whatever the locale.
std::filesystem::path pathFromUtf8(const std::string &utf8);

} // namespace zorvane
