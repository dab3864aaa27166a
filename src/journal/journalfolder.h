#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

namespace zorvane {

// $XDG_STATE_HOME/zorvane when that is an absolute path, else
// HOME/.local/state/zorvane; nothing when neither is usable.
std::optional<std::filesystem::path> journalFolderFrom(const char *xdgStateHome, const char *home);

// The folder for this user: %LOCALAPPDATA%\zorvane on Windows; elsewhere
// from the environment, else from the password database's home; nothing
// when there is no home at all.
std::optional<std::filesystem::path> defaultJournalFolder();

inline constexpr std::string_view kJournalExtension = ".journal";
// A journal whose points the user declined to restore, kept for one more
// opening of its video.
inline constexpr std::string_view kAsideExtension = ".aside";

struct PruningPolicy {
    std::chrono::hours savedAge{24 * 30}; // journals holding nothing unsaved
    std::chrono::hours unsavedAge{24 * 180};
    std::chrono::hours asideAge{24 * 30};
    std::chrono::hours scratchAge{24}; // temporary files left by a crash
    std::size_t maxFiles = 100;
    std::uint64_t maxTotalBytes = 1024ull * 1024 * 1024;
};

// Removes old journals, set-aside journals and temporary files from the
// folder by age (last change), then the oldest ones until the count and
// total size are within the policy. `keep` is never removed; files of
// other names are left alone. Returns how many files were removed.
std::size_t pruneJournals(const std::filesystem::path &folder, std::filesystem::file_time_type now,
                          const PruningPolicy &policy = {}, const std::filesystem::path &keep = {});

} // namespace zorvane
