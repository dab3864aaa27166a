#include "journal/journalfolder.h"

#include "common/systemfile.h"
#include "journal/journalreader.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace zorvane {

namespace fs = std::filesystem;

std::optional<fs::path> journalFolderFrom(const char *xdgStateHome, const char *home)
{
    if (xdgStateHome && *xdgStateHome && fs::path(xdgStateHome).is_absolute())
        return fs::path(xdgStateHome) / "zorvane";
    if (home && *home && fs::path(home).is_absolute())
        return fs::path(home) / ".local" / "state" / "zorvane";
    return std::nullopt;
}

std::optional<fs::path> defaultJournalFolder()
{
    if (std::optional<fs::path> local = systemfile::localApplicationData())
        return *local / "zorvane";
    const char *home = std::getenv("HOME");
    if (!home || !*home)
        home = systemfile::accountHome();
    return journalFolderFrom(std::getenv("XDG_STATE_HOME"), home);
}

namespace {

enum class FileRole { Journal, Aside, Scratch };

struct FoundFile {
    fs::path path;
    FileRole role;
    fs::file_time_type modified;
    std::uint64_t size;
};

std::optional<FileRole> roleOf(const fs::path &file)
{
    const std::string name = file.filename().string();
    // ReplacingFile's temporary files: ".NAME.XXXXXX".
    if (name.starts_with('.')) {
        if (name.find(kJournalExtension) != std::string::npos)
            return FileRole::Scratch;
        return std::nullopt;
    }
    if (file.extension() == kJournalExtension)
        return FileRole::Journal;
    if (file.extension() == kAsideExtension)
        return FileRole::Aside;
    return std::nullopt;
}

std::vector<FoundFile> journalFiles(const fs::path &folder)
{
    std::vector<FoundFile> found;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::optional<FileRole> role = roleOf(it->path());
        std::error_code statError;
        if (!role || !it->is_regular_file(statError))
            continue;
        const fs::file_time_type modified = it->last_write_time(statError);
        const std::uintmax_t size = it->file_size(statError);
        if (!statError)
            found.push_back({it->path(), *role, modified, size});
    }
    return found;
}

bool isTooOld(const FoundFile &file, fs::file_time_type now, const PruningPolicy &policy)
{
    const auto age = now - file.modified;
    switch (file.role) {
    case FileRole::Scratch: return age > policy.scratchAge;
    case FileRole::Aside: return age > policy.asideAge;
    case FileRole::Journal:
        if (age > policy.unsavedAge)
            return true;
        return age > policy.savedAge && readJournal(file.path).unsavedPoints == 0;
    }
    return false;
}

} // namespace

std::size_t pruneJournals(const fs::path &folder, fs::file_time_type now, const PruningPolicy &policy,
                          const fs::path &keep)
{
    std::size_t removed = 0;
    std::vector<FoundFile> remaining;
    for (FoundFile &file : journalFiles(folder)) {
        std::error_code error;
        if (file.path != keep && isTooOld(file, now, policy) && fs::remove(file.path, error))
            ++removed;
        else
            remaining.push_back(std::move(file));
    }
    std::sort(remaining.begin(), remaining.end(),
              [](const FoundFile &a, const FoundFile &b) { return a.modified < b.modified; });
    std::uint64_t total = 0;
    for (const FoundFile &file : remaining)
        total += file.size;
    std::size_t count = remaining.size();
    for (const FoundFile &file : remaining) {
        if (count <= policy.maxFiles && total <= policy.maxTotalBytes)
            break;
        std::error_code error;
        if (file.path == keep || !fs::remove(file.path, error))
            continue;
        ++removed;
        --count;
        total -= file.size;
    }
    return removed;
}

} // namespace zorvane
