#include "common/systemfile.h"

#include <cerrno>
#include <fcntl.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zorvane::systemfile {

namespace {

Kind kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return Kind::Regular;
    if (S_ISDIR(mode))
        return Kind::Directory;
    if (S_ISFIFO(mode) || S_ISSOCK(mode))
        return Kind::Pipe;
    return Kind::Other;
}

void fill(const struct stat &info, Status &status)
{
    status.kind = kindOf(info.st_mode);
    status.size = static_cast<std::uint64_t>(info.st_size);
    status.modifiedNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    status.mode = info.st_mode & 07777;
}

} // namespace

int openForReading(const std::filesystem::path &path)
{
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
}

int openForWriting(const std::filesystem::path &path, bool dontWait)
{
    return ::open(path.c_str(), O_WRONLY | O_CLOEXEC | (dontWait ? O_NONBLOCK : 0));
}

int createUnique(const std::filesystem::path &stem, std::filesystem::path &created)
{
    const std::string pattern = stem.native() + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0)
        created = name.data();
    return fd;
}

int close(int fd) { return ::close(fd); }

bool status(int fd, Status &status)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return false;
    fill(info, status);
    return true;
}

bool status(const std::filesystem::path &path, Status &status)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return false;
    fill(info, status);
    return true;
}

bool canWrite(const std::filesystem::path &path) { return ::access(path.c_str(), W_OK) == 0; }

bool isProgram(const std::filesystem::path &path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

void makeBlocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK); }

unsigned newFileMode()
{
    // umask can only be read by setting it; the program has a single thread.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

int setMode(int fd, unsigned mode) { return ::fchmod(fd, static_cast<mode_t>(mode)); }

std::int64_t readSome(int fd, void *buffer, std::size_t size) { return ::read(fd, buffer, size); }

std::int64_t readAt(int fd, void *buffer, std::size_t size, std::uint64_t offset)
{
    return ::pread(fd, buffer, size, static_cast<off_t>(offset));
}

std::int64_t writeSome(int fd, const void *buffer, std::size_t size) { return ::write(fd, buffer, size); }

std::int64_t writeAt(int fd, const void *buffer, std::size_t size, std::uint64_t offset)
{
    return ::pwrite(fd, buffer, size, static_cast<off_t>(offset));
}

int truncate(int fd, std::uint64_t length) { return ::ftruncate(fd, static_cast<off_t>(length)); }

int flushToDisk(int fd) { return ::fsync(fd); }

int flushDataToDisk(int fd) { return ::fdatasync(fd); }

void flushFolder(const std::filesystem::path &folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

int replace(const std::filesystem::path &from, const std::filesystem::path &to)
{
    return ::rename(from.c_str(), to.c_str());
}

int remove(const std::filesystem::path &path) { return ::unlink(path.c_str()); }

bool isQuotaExceeded(int error) { return error == EDQUOT; }

std::vector<std::string> utf8Arguments(int argc, char **argv)
{
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>{};
}

char listSeparator() { return ':'; }

std::optional<std::filesystem::path> localApplicationData() { return std::nullopt; }

const char *accountHome()
{
    const passwd *entry = ::getpwuid(::getuid());
    return entry ? entry->pw_dir : nullptr;
}

bool isWindows() { return false; }

} // namespace zorvane::systemfile
