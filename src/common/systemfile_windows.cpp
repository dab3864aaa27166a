#include "common/systemfile.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <fcntl.h>
#include <io.h>
#include <random>
#include <string>

namespace zorvane::systemfile {

namespace {

// Between the two epochs, in 100 ns steps.
constexpr std::int64_t kEpochDifference = 116444736000000000;

int errnoFrom(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_DIRECTORY: return ENOTDIR;
    case ERROR_NOT_READY:
    case ERROR_DEV_NOT_EXIST: return ENXIO;
    case ERROR_INVALID_HANDLE: return EBADF;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    default: return EIO;
    }
}

// errno from the last failed call, and the failure's result.
int failed()
{
    errno = errnoFrom(GetLastError());
    return -1;
}

bool refused()
{
    failed();
    return false;
}

HANDLE handleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

bool isDirectory(const std::filesystem::path &path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Shared every way, as POSIX files are: a reader does not stop another
// program from replacing or removing the file.
int openHandle(const std::filesystem::path &path, DWORD access, DWORD disposition)
{
    const HANDLE handle = CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // A folder cannot be opened as a file: say so as POSIX does.
        errno = error == ERROR_ACCESS_DENIED && isDirectory(path) ? EISDIR : errnoFrom(error);
        return -1;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        errno = EMFILE;
    }
    return fd;
}

std::int64_t nanosecondsOf(FILETIME time)
{
    const std::int64_t ticks = (static_cast<std::int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return (ticks - kEpochDifference) * 100;
}

void fill(DWORD attributes, DWORD sizeHigh, DWORD sizeLow, FILETIME modified, Status &status)
{
    status.kind = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? Kind::Directory : Kind::Regular;
    status.size = (static_cast<std::uint64_t>(sizeHigh) << 32) | sizeLow;
    status.modifiedNs = nanosecondsOf(modified);
    status.mode = (attributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
}

OVERLAPPED at(std::uint64_t offset)
{
    OVERLAPPED overlapped{};
    overlapped.Offset = static_cast<DWORD>(offset);
    overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return overlapped;
}

DWORD piece(std::size_t size) { return static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30)); }

std::int64_t readWith(int fd, void *buffer, std::size_t size, OVERLAPPED *where)
{
    DWORD done = 0;
    if (!ReadFile(handleOf(fd), buffer, piece(size), &done, where)) {
        const DWORD error = GetLastError();
        if (error == ERROR_HANDLE_EOF || error == ERROR_BROKEN_PIPE)
            return 0;
        errno = errnoFrom(error);
        return -1;
    }
    return done;
}

std::int64_t writeWith(int fd, const void *buffer, std::size_t size, OVERLAPPED *where)
{
    DWORD done = 0;
    if (!WriteFile(handleOf(fd), buffer, piece(size), &done, where))
        return failed();
    return done;
}

} // namespace

int openForReading(const std::filesystem::path &path) { return openHandle(path, GENERIC_READ, OPEN_EXISTING); }

int openForWriting(const std::filesystem::path &path, bool) { return openHandle(path, GENERIC_WRITE, OPEN_EXISTING); }

int createUnique(const std::filesystem::path &stem, std::filesystem::path &created)
{
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<std::size_t> letter(0, sizeof kLetters - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring name = stem.native();
        for (int i = 0; i < 6; ++i)
            name += static_cast<wchar_t>(kLetters[letter(random)]);
        const int fd = openHandle(name, GENERIC_WRITE, CREATE_NEW);
        if (fd >= 0) {
            created = name;
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

int close(int fd) { return _close(fd); }

bool status(int fd, Status &status)
{
    const HANDLE handle = handleOf(fd);
    switch (GetFileType(handle)) {
    case FILE_TYPE_DISK: break;
    case FILE_TYPE_PIPE: status = Status{Kind::Pipe}; return true;
    case FILE_TYPE_CHAR: status = Status{Kind::Other}; return true;
    default: return refused();
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info))
        return refused();
    fill(info.dwFileAttributes, info.nFileSizeHigh, info.nFileSizeLow, info.ftLastWriteTime, status);
    return true;
}

bool status(const std::filesystem::path &path, Status &status)
{
    WIN32_FILE_ATTRIBUTE_DATA info{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &info))
        return refused();
    fill(info.dwFileAttributes, info.nFileSizeHigh, info.nFileSizeLow, info.ftLastWriteTime, status);
    return true;
}

bool canWrite(const std::filesystem::path &path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return refused();
    if ((attributes & FILE_ATTRIBUTE_READONLY) && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        errno = EACCES;
        return false;
    }
    return true;
}

bool isProgram(const std::filesystem::path &path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return false;
    std::wstring extension = path.extension().native();
    for (wchar_t &c : extension)
        c = static_cast<wchar_t>(towlower(c));
    return extension == L".exe" || extension == L".com";
}

void makeBlocking(int) {}

unsigned newFileMode() { return 0666; }

// Windows has no permission bits; the new file inherits its folder's rights.
int setMode(int, unsigned) { return 0; }

std::int64_t readSome(int fd, void *buffer, std::size_t size) { return readWith(fd, buffer, size, nullptr); }

std::int64_t readAt(int fd, void *buffer, std::size_t size, std::uint64_t offset)
{
    OVERLAPPED where = at(offset);
    return readWith(fd, buffer, size, &where);
}

std::int64_t writeSome(int fd, const void *buffer, std::size_t size) { return writeWith(fd, buffer, size, nullptr); }

std::int64_t writeAt(int fd, const void *buffer, std::size_t size, std::uint64_t offset)
{
    OVERLAPPED where = at(offset);
    return writeWith(fd, buffer, size, &where);
}

int truncate(int fd, std::uint64_t length)
{
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(length);
    if (!SetFileInformationByHandle(handleOf(fd), FileEndOfFileInfo, &end, sizeof end))
        return failed();
    return 0;
}

int flushToDisk(int fd) { return FlushFileBuffers(handleOf(fd)) ? 0 : failed(); }

int flushDataToDisk(int fd) { return flushToDisk(fd); }

// NTFS journals its folders itself; a folder cannot be flushed as a file.
void flushFolder(const std::filesystem::path &) {}

int replace(const std::filesystem::path &from, const std::filesystem::path &to)
{
    if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return failed();
    return 0;
}

int remove(const std::filesystem::path &path) { return DeleteFileW(path.c_str()) ? 0 : failed(); }

// Windows reports a full quota as a full disk.
bool isQuotaExceeded(int) { return false; }

std::vector<std::string> utf8Arguments(int argc, char **argv)
{
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        const int wideSize = MultiByteToWideChar(CP_ACP, 0, argv[i], -1, nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(std::max(wideSize, 1)), L'\0');
        MultiByteToWideChar(CP_ACP, 0, argv[i], -1, wide.data(), wideSize);
        const int size = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
        std::string text(static_cast<std::size_t>(std::max(size, 1)), '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, text.data(), size, nullptr, nullptr);
        text.resize(std::strlen(text.c_str()));
        arguments.push_back(std::move(text));
    }
    return arguments;
}

char listSeparator() { return ';'; }

std::optional<std::filesystem::path> localApplicationData()
{
    const wchar_t *folder = _wgetenv(L"LOCALAPPDATA");
    if (!folder || !*folder || !std::filesystem::path(folder).is_absolute())
        return std::nullopt;
    return std::filesystem::path(folder);
}

const char *accountHome() { return nullptr; }

bool isWindows() { return true; }

} // namespace zorvane::systemfile
