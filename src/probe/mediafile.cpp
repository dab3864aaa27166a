#include "probe/mediafile.h"

#include "common/systemfile.h"
#include "common/utf8path.h"
#include "probe/probeerror.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace zorvane {
namespace {

constexpr std::int64_t kBlockSize = 64 * 1024;

std::string systemReason(int error) { return std::strerror(error); }

} // namespace

MediaFile::MediaFile(const std::string &path)
{
    // A NUL inside the path would silently name another file.
    if (path.empty() || path.find('\0') != std::string::npos)
        throw ProbeError(ProbeErrorKind::CannotOpen, "cannot open file: malformed path");
    // Non-blocking so that naming a FIFO cannot hang the caller on open.
    m_fd = systemfile::openForReading(pathFromUtf8(path));
    if (m_fd < 0)
        throw ProbeError(ProbeErrorKind::CannotOpen, "cannot open file: " + systemReason(errno));
    systemfile::Status status;
    if (!systemfile::status(m_fd, status)) {
        const int error = errno;
        systemfile::close(m_fd);
        throw ProbeError(ProbeErrorKind::CannotOpen, "cannot open file: " + systemReason(error));
    }
    if (status.kind != systemfile::Kind::Regular) {
        systemfile::close(m_fd);
        throw ProbeError(ProbeErrorKind::CannotOpen, "cannot open file: not a regular file");
    }
    m_size = static_cast<std::int64_t>(status.size);
}

MediaFile::~MediaFile() { systemfile::close(m_fd); }

void MediaFile::loadBlockHolding(std::int64_t offset)
{
    const std::int64_t start = offset - offset % kBlockSize;
    const std::int64_t wanted = std::min(kBlockSize, m_size - start);
    m_block.assign(static_cast<std::size_t>(wanted), 0);
    std::int64_t done = 0;
    while (done < wanted) {
        const std::int64_t n = systemfile::readAt(m_fd, m_block.data() + done, static_cast<std::size_t>(wanted - done),
                                                  static_cast<std::uint64_t>(start + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw ProbeError(ProbeErrorKind::ReadFailed, "cannot read file: " + systemReason(errno));
        if (n == 0)
            break; // the file shrank since it was opened: the rest stays zero
        done += n;
    }
    m_blockStart = start;
}

std::uint8_t MediaFile::byteAt(std::int64_t offset)
{
    if (offset < 0 || offset >= m_size)
        return 0;
    if (m_blockStart < 0 || offset < m_blockStart || offset >= m_blockStart + static_cast<std::int64_t>(m_block.size()))
        loadBlockHolding(offset);
    return m_block[static_cast<std::size_t>(offset - m_blockStart)];
}

std::int32_t MediaFile::int32At(std::int64_t offset)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | byteAt(offset + i);
    return static_cast<std::int32_t>(value);
}

std::string MediaFile::bytesAt(std::int64_t offset, int count)
{
    std::string bytes;
    for (int i = 0; i < count; ++i)
        bytes.push_back(static_cast<char>(byteAt(offset + i)));
    return bytes;
}

} // namespace zorvane
