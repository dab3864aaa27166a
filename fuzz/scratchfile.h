#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace zorvane::fuzz {

// A private folder, made once per process under $TMPDIR (or /dev/shm),
// where each input is written to a file the reader under test can open.
// Files are rewritten in place for every input and the folder goes away
// when the process ends normally; scripts/fuzz.sh removes whatever a
// crash leaves behind.
class ScratchFolder {
public:
    static ScratchFolder &instance();

    // Writes the bytes to the named file in the folder, replacing its
    // content, and returns its path. Aborts when the file cannot be
    // written, since every later result would be meaningless.
    std::filesystem::path write(const std::string &name, const std::uint8_t *data, std::size_t size);

    const std::filesystem::path &path() const { return m_path; }

    ~ScratchFolder();
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

private:
    ScratchFolder();

    std::filesystem::path m_path;
};

// A seed for choices a target makes from the input (names, frame orders),
// so that replaying an input repeats them.
std::uint64_t inputHash(const std::uint8_t *data, std::size_t size);

} // namespace zorvane::fuzz
