#pragma once

#include "journal/videoidentity.h"
#include "support/privatefolder.h"

#include <filesystem>
#include <fstream>
#include <string>

namespace zorvane::testing {

inline std::filesystem::path writeBytes(const std::filesystem::path &file, const std::string &bytes)
{
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
    return file;
}

// The journal only looks at a video's path, size and time, so any file
// stands for one.
inline VideoIdentity standInVideo(const std::filesystem::path &file, const std::string &content = "not a video")
{
    writeBytes(file, content);
    return *VideoIdentity::of(file);
}

} // namespace zorvane::testing
