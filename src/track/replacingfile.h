#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zorvane {

// Writes a file so that its previous content survives any failure: the
// bytes go to a temporary file in the same folder, which replaces the
// target only once complete and flushed to disk. An existing target that
// is not a regular file (a device such as /dev/null) is written in place,
// since a rename would replace the device instead of writing to it.
// Every failure throws std::system_error carrying errno.
class ReplacingFile {
public:
    explicit ReplacingFile(const std::filesystem::path &target);
    // Removes the temporary file unless commit() succeeded.
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile &) = delete;
    ReplacingFile &operator=(const ReplacingFile &) = delete;

    void write(std::string_view bytes);
    void commit();

private:
    void openTemporaryBeside(const std::filesystem::path &target, unsigned mode);
    void flushBuffer();
    void discard() noexcept;

    std::filesystem::path m_target;
    std::filesystem::path m_temporary; // empty when writing in place
    std::string m_buffer;
    int m_fd = -1;
    bool m_committed = false;
};

} // namespace zorvane
