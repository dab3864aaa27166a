#pragma once

#include <cstddef>
#include <cstdint>

namespace zorvane {

// CRC-32 as in zlib and PNG (reflected polynomial 0xEDB88320). Feed the
// bytes in pieces by passing the previous result back in.
std::uint32_t crc32Update(std::uint32_t crc, const void *data, std::size_t size);

inline std::uint32_t crc32(const void *data, std::size_t size) { return crc32Update(0, data, size); }

} // namespace zorvane
