#pragma once

#include "videoinfo.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <string_view>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace zorvane {

// Readable failure messages for records compared in tests.
inline void PrintTo(const VideoInfo &info, std::ostream *out)
{
    *out << "{\"" << info.Codec << "\", " << info.Width << ", " << info.Height << ", " << info.Spare1 << ", "
         << info.Spare2 << "}";
}

} // namespace zorvane

namespace zorvane::testing {

// File content built byte by byte at explicit offsets; gaps stay zero.
class ByteImage {
public:
    ByteImage &put(std::size_t offset, std::string_view bytes)
    {
        grow(offset + bytes.size());
        for (std::size_t i = 0; i < bytes.size(); ++i)
            m_bytes[offset + i] = static_cast<char>(bytes[i]);
        return *this;
    }
    ByteImage &putInt32(std::size_t offset, std::int32_t value)
    {
        const auto bits = static_cast<std::uint32_t>(value);
        const char le[4] = {static_cast<char>(bits & 0xff), static_cast<char>((bits >> 8) & 0xff),
                            static_cast<char>((bits >> 16) & 0xff), static_cast<char>(bits >> 24)};
        return put(offset, std::string_view(le, 4));
    }
    ByteImage &padTo(std::size_t size)
    {
        grow(size);
        return *this;
    }
    const std::string &bytes() const { return m_bytes; }

private:
    void grow(std::size_t size)
    {
        if (m_bytes.size() < size)
            m_bytes.resize(size, '\0');
    }
    std::string m_bytes;
};

// A fresh folder per test case, removed afterwards.
class ScratchDir {
public:
    explicit ScratchDir(const std::string &name)
        : m_path(std::filesystem::temp_directory_path() / ("zorvane-" + name + "-" + std::to_string(getpid())))
    {
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;

    std::string write(const std::string &name, const std::string &bytes) const
    {
        const std::filesystem::path file = m_path / name;
        std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return file.string();
    }
    std::string write(const std::string &name, const ByteImage &image) const { return write(name, image.bytes()); }
    std::filesystem::path path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

} // namespace zorvane::testing
