#pragma once

#include <filesystem>
#include <string_view>

namespace zorvane {

// Replaces the file with `bytes` through ReplacingFile. On failure throws
// MeasureError (WriteFailed): "Impossible <action> dans « path » : why."
// and, when there was a file, that it is intact.
void replaceWholeFile(const std::filesystem::path &path, std::string_view bytes, std::string_view action);

} // namespace zorvane
