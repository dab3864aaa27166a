#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zorvane {

// Reads the first three blank-separated fields of each line of a file, in
// bounded memory and time: a line longer than kMaxLineBytes ends the
// reading, so a file without line ends (or a device such as /dev/zero)
// cannot hang the program. LF, CR LF and a lone CR all end a line; a UTF-8
// byte order mark is skipped. Throws std::system_error when the file
// cannot be opened, and refuses directories and pipes.
class FieldReader {
public:
    static constexpr std::size_t kMaxLineBytes = 64 * 1024;
    static constexpr std::size_t kMaxFieldBytes = 64;

    struct Line {
        std::array<std::string, 3> fields;
        std::size_t count = 0;

        // Empty when the line has fewer fields.
        std::string_view field(std::size_t index) const;
    };

    explicit FieldReader(const std::filesystem::path &path);
    ~FieldReader();
    FieldReader(const FieldReader &) = delete;
    FieldReader &operator=(const FieldReader &) = delete;

    // False at the end of the file, and from where reading stopped early.
    bool next(Line &line);
    // A line was too long to belong to the file, or reading failed.
    bool stoppedEarly() const { return m_stoppedEarly; }

private:
    int nextByte();
    bool refill();

    int m_fd = -1;
    std::vector<char> m_buffer = std::vector<char>(64 * 1024);
    std::size_t m_pos = 0;
    std::size_t m_size = 0;
    bool m_firstRead = true;
    bool m_atEnd = false;
    bool m_skipLineFeed = false;
    bool m_stoppedEarly = false;
};

} // namespace zorvane
