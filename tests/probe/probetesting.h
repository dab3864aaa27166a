#pragma once

#include "probe/videoinfo.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <string_view>

namespace zorvane {

inline void PrintTo(const VideoInfo &info, std::ostream *out)
{
    *out << "{\"" << info.Codec << "\", " << info.Width << ", " << info.Height << ", " << info.Spare1 << ", "
         << info.Spare2 << "}";
}

} // namespace zorvane

namespace zorvane::testing {

// File content written at explicit offsets; gaps stay zero.
struct Bytes {
    std::string data;
    Bytes &put(std::size_t at, std::string_view text)
    {
        data.resize(std::max(data.size(), at + text.size()));
        data.replace(at, text.size(), text);
        return *this;
    }
    Bytes &int32(std::size_t at, std::int32_t value)
    {
        char le[4];
        for (int i = 0; i < 4; ++i)
            le[i] = static_cast<char>((static_cast<std::uint32_t>(value) >> (8 * i)) & 0xff);
        return put(at, std::string_view(le, 4));
    }
    Bytes &size(std::size_t n) { return put(std::max(data.size(), n), ""); }
};

// One folder per test program, removed at its end.
class ScratchDir {
public:
    explicit ScratchDir(const std::string &name)
            : m_path(std::filesystem::temp_directory_path() / ("zorvane-" + name + "-" + std::to_string(getpid())))
    {
        std::filesystem::create_directories(m_path);
    }
    ~ScratchDir() { std::filesystem::remove_all(m_path); }

    std::string write(const std::string &name, const std::string &bytes) const
    {
        std::ofstream(m_path / name, std::ios::binary) << bytes;
        return (m_path / name).string();
    }
    const std::filesystem::path &path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

} // namespace zorvane::testing
