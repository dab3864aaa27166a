#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zorvane::systemfile {

// The file calls that differ between POSIX systems and Windows, with one
// implementation for each (systemfile_posix.cpp, systemfile_windows.cpp).
// Files are small integers as POSIX descriptors are; a call that fails
// returns -1 (or false) and leaves the reason in errno, in POSIX terms.

enum class Kind { Regular, Directory, Pipe, Other };

struct Status {
    Kind kind = Kind::Other;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0; // since 1970, UTC
    unsigned mode = 0;           // POSIX permission bits
};

// Read-only, not inherited by children; opening a named pipe does not wait
// for a writer.
int openForReading(const std::filesystem::path &path);
// An existing file for writing in place; with dontWait, a pipe nobody
// reads fails instead of blocking.
int openForWriting(const std::filesystem::path &path, bool dontWait);
// A new file named stem plus six random characters, which it sets in
// `created`; fails rather than open a file that exists.
int createUnique(const std::filesystem::path &stem, std::filesystem::path &created);
int close(int fd);

bool status(int fd, Status &status);
bool status(const std::filesystem::path &path, Status &status);
// errno explains why not.
bool canWrite(const std::filesystem::path &path);
// A program file the system can start.
bool isProgram(const std::filesystem::path &path);

// Reads of a descriptor opened without waiting wait again (a device).
void makeBlocking(int fd);
// The permission bits a new file gets (the process's umask applied).
unsigned newFileMode();
int setMode(int fd, unsigned mode);

// Read and write results: bytes done, 0 at the end, -1 with errno.
std::int64_t readSome(int fd, void *buffer, std::size_t size);
std::int64_t readAt(int fd, void *buffer, std::size_t size, std::uint64_t offset);
std::int64_t writeSome(int fd, const void *buffer, std::size_t size);
std::int64_t writeAt(int fd, const void *buffer, std::size_t size, std::uint64_t offset);
int truncate(int fd, std::uint64_t length);
// The file's bytes and everything needed to find them (fsync).
int flushToDisk(int fd);
// The file's bytes and its length (fdatasync).
int flushDataToDisk(int fd);
// A new name in the folder survives a power cut only once the folder is
// flushed, where the system asks for it.
void flushFolder(const std::filesystem::path &folder);

// Replaces `to` by `from` at once, also when `to` exists.
int replace(const std::filesystem::path &from, const std::filesystem::path &to);
int remove(const std::filesystem::path &path);

bool isQuotaExceeded(int error);

// The program's arguments after its name, in UTF-8 as file names travel
// here: Windows gives them in the code page of the system.
std::vector<std::string> utf8Arguments(int argc, char **argv);

// The separator of PATH-like lists.
char listSeparator();
// %LOCALAPPDATA% on Windows; nothing elsewhere.
std::optional<std::filesystem::path> localApplicationData();
// The home folder of the account from the system's user database, where
// there is one; nullptr otherwise.
const char *accountHome();
bool isWindows();

} // namespace zorvane::systemfile
