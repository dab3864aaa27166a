#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace zorvane {

// What tells one video file from another for the journal: a file copied,
// re-encoded or touched gets a journal of its own.
struct VideoIdentity {
    std::string path;            // absolute
    std::uint64_t size = 0;      // bytes
    std::int64_t modifiedNs = 0; // modification time, nanoseconds since 1970

    // Nothing when the file cannot be examined.
    static std::optional<VideoIdentity> of(const std::filesystem::path &video);

    // The file name of its journal: a hash of the three fields, so that the
    // name stays short and free of the path's characters.
    std::string journalStem() const;

    friend bool operator==(const VideoIdentity &, const VideoIdentity &) = default;
};

} // namespace zorvane
