#include "scratchfile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <system_error>
#include <unistd.h>

namespace zorvane::fuzz {

namespace {

std::filesystem::path scratchParent()
{
    const char *fromEnv = std::getenv("TMPDIR");
    if (fromEnv && *fromEnv)
        return fromEnv;
    std::error_code ignored;
    return std::filesystem::is_directory("/dev/shm", ignored) ? "/dev/shm" : "/tmp";
}

[[noreturn]] void giveUp(const char *what, const std::filesystem::path &path)
{
    std::fprintf(stderr, "fuzz scratch: %s %s: %s\n", what, path.c_str(), std::strerror(errno));
    std::abort();
}

} // namespace

ScratchFolder &ScratchFolder::instance()
{
    static ScratchFolder folder;
    return folder;
}

ScratchFolder::ScratchFolder()
{
    // No dot in the name: the probe takes a dotless path as its extension.
    std::string pattern = (scratchParent() / "zorvane-fuzz-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        giveUp("cannot make", pattern);
    m_path = pattern;
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::filesystem::path ScratchFolder::write(const std::string &name, const std::uint8_t *data, std::size_t size)
{
    const std::filesystem::path file = m_path / name;
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        giveUp("cannot open", file);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t wrote = ::write(fd, data + done, size - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            giveUp("cannot write", file);
        done += static_cast<std::size_t>(wrote);
    }
    ::close(fd);
    return file;
}

std::uint64_t inputHash(const std::uint8_t *data, std::size_t size)
{
    // FNV-1a: cheap, and good enough to spread choices.
    std::uint64_t hash = 14695981039346656037ull;
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= data[i];
        hash *= 1099511628211ull;
    }
    return hash;
}

} // namespace zorvane::fuzz
