#include "track/replacingfile.h"

#include "common/systemfile.h"

#include <cerrno>
#include <system_error>

namespace zorvane {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

[[noreturn]] void throwErrno(int error, const std::string &what)
{
    throw std::system_error(error, std::generic_category(), what);
}

// Follows a symbolic link so that the link keeps pointing at the new file.
std::filesystem::path resolvedTarget(const std::filesystem::path &target)
{
    std::error_code error;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(target, error))) {
        std::filesystem::path real = std::filesystem::canonical(target, error);
        if (!error)
            return real;
    }
    return target;
}

} // namespace

ReplacingFile::ReplacingFile(const std::filesystem::path &target) : m_target(resolvedTarget(target))
{
    m_buffer.reserve(kBufferSize);
    systemfile::Status existing;
    if (!systemfile::status(m_target, existing)) {
        if (errno != ENOENT)
            throwErrno(errno, m_target.string());
        openTemporaryBeside(m_target, systemfile::newFileMode());
        return;
    }
    if (existing.kind == systemfile::Kind::Directory)
        throwErrno(EISDIR, m_target.string());
    if (!systemfile::canWrite(m_target))
        throwErrno(errno, m_target.string());
    if (existing.kind == systemfile::Kind::Regular) {
        openTemporaryBeside(m_target, existing.mode);
        return;
    }
    // Without waiting, so that a pipe nobody reads fails instead of hanging.
    m_fd = systemfile::openForWriting(m_target, true);
    if (m_fd < 0)
        throwErrno(errno, m_target.string());
}

ReplacingFile::~ReplacingFile()
{
    if (!m_committed)
        discard();
}

void ReplacingFile::openTemporaryBeside(const std::filesystem::path &target, unsigned mode)
{
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    std::filesystem::path name = ".";
    name += target.filename();
    name += ".";
    m_fd = systemfile::createUnique(folder / name, m_temporary);
    if (m_fd < 0)
        throwErrno(errno, target.string());
    if (systemfile::setMode(m_fd, mode) != 0) {
        const int error = errno;
        // The destructor does not run for a constructor that throws.
        discard();
        throwErrno(error, target.string());
    }
}

void ReplacingFile::write(std::string_view bytes)
{
    if (m_buffer.size() + bytes.size() > kBufferSize)
        flushBuffer();
    m_buffer.append(bytes);
    if (m_buffer.size() >= kBufferSize)
        flushBuffer();
}

void ReplacingFile::flushBuffer()
{
    std::size_t done = 0;
    while (done < m_buffer.size()) {
        const std::int64_t written = systemfile::writeSome(m_fd, m_buffer.data() + done, m_buffer.size() - done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            throwErrno(errno, m_target.string());
        }
        done += static_cast<std::size_t>(written);
    }
    m_buffer.clear();
}

void ReplacingFile::commit()
{
    flushBuffer();
    if (m_temporary.empty()) {
        const int fd = m_fd;
        m_fd = -1;
        if (systemfile::close(fd) != 0)
            throwErrno(errno, m_target.string());
        m_committed = true;
        return;
    }
    if (systemfile::flushToDisk(m_fd) != 0)
        throwErrno(errno, m_target.string());
    const int fd = m_fd;
    m_fd = -1;
    if (systemfile::close(fd) != 0)
        throwErrno(errno, m_target.string());
    if (systemfile::replace(m_temporary, m_target) != 0)
        throwErrno(errno, m_target.string());
    m_committed = true;
}

void ReplacingFile::discard() noexcept
{
    if (m_fd >= 0)
        systemfile::close(m_fd);
    m_fd = -1;
    if (!m_temporary.empty())
        systemfile::remove(m_temporary);
}

} // namespace zorvane
