#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zorvane {

// A media file opened read-only for reads at explicit offsets. Bytes past
// the end of the file read as zero. Reads go through one block buffer so
// byte-by-byte scans cost one system call per block. Closed on destruction.
class MediaFile {
public:
    // Throws ProbeError(CannotOpen) for a path that cannot be opened or
    // does not name a regular file.
    explicit MediaFile(const std::string &path);
    ~MediaFile();
    MediaFile(const MediaFile &) = delete;
    MediaFile &operator=(const MediaFile &) = delete;

    std::int64_t size() const { return m_size; }
    std::uint8_t byteAt(std::int64_t offset);
    std::int32_t int32At(std::int64_t offset);
    std::string bytesAt(std::int64_t offset, int count);

private:
    void loadBlockHolding(std::int64_t offset);

    int m_fd = -1;
    std::int64_t m_size = 0;
    std::int64_t m_blockStart = -1;
    std::vector<std::uint8_t> m_block;
};

} // namespace zorvane
