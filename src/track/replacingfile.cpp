#include "track/replacingfile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace zorvane {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

[[noreturn]] void throwErrno(int error, const std::string &what)
{
    throw std::system_error(error, std::generic_category(), what);
}

mode_t modeForNewFile()
{
    // umask can only be read by setting it; the program has a single thread.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
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
    struct stat existing {};
    if (::stat(m_target.c_str(), &existing) != 0) {
        if (errno != ENOENT)
            throwErrno(errno, m_target.string());
        openTemporaryBeside(m_target, modeForNewFile());
        return;
    }
    if (S_ISDIR(existing.st_mode))
        throwErrno(EISDIR, m_target.string());
    if (::access(m_target.c_str(), W_OK) != 0)
        throwErrno(errno, m_target.string());
    if (S_ISREG(existing.st_mode)) {
        openTemporaryBeside(m_target, existing.st_mode & 07777);
        return;
    }
    // Non-blocking, so that a pipe nobody reads fails instead of hanging.
    m_fd = ::open(m_target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        throwErrno(errno, m_target.string());
}

ReplacingFile::~ReplacingFile()
{
    if (!m_committed)
        discard();
}

void ReplacingFile::openTemporaryBeside(const std::filesystem::path &target, mode_t mode)
{
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    m_fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (m_fd < 0)
        throwErrno(errno, target.string());
    m_temporary = name.data();
    if (::fchmod(m_fd, mode) != 0) {
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
        const ssize_t written = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
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
        if (::close(fd) != 0)
            throwErrno(errno, m_target.string());
        m_committed = true;
        return;
    }
    if (::fsync(m_fd) != 0)
        throwErrno(errno, m_target.string());
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0)
        throwErrno(errno, m_target.string());
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0)
        throwErrno(errno, m_target.string());
    m_committed = true;
}

void ReplacingFile::discard() noexcept
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_temporary.empty())
        ::unlink(m_temporary.c_str());
}

} // namespace zorvane
