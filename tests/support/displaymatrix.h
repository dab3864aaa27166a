#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace zorvane::testing {

// A display matrix as libavutil builds it: av_display_rotation_set with
// `degrees` (90 turns the picture a quarter clockwise on screen), then
// av_display_matrix_flip left to right when `mirrored`.
std::array<std::int32_t, 9> displayMatrix(double degrees, bool mirrored);

// Makes mediaDir()/name, in the container its extension names, from the
// packets of `source` with `matrix` on the video stream, unless a previous
// test already made it. Throws std::runtime_error.
std::filesystem::path remuxWithDisplayMatrix(const std::filesystem::path &source, const std::string &name,
                                             const std::array<std::int32_t, 9> &matrix);

// The display matrix of the first video stream of `file` as libavformat
// reads it back, or none.
std::optional<std::array<std::int32_t, 9>> readDisplayMatrix(const std::filesystem::path &file);

} // namespace zorvane::testing
