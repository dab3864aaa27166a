#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zorvane::testing {

// A display matrix as libavutil builds it: av_display_rotation_set with
// `degrees` (90 turns the picture a quarter clockwise on screen), then
// av_display_matrix_flip left to right when `mirrored`.
std::array<std::int32_t, 9> displayMatrix(double degrees, bool mirrored);

// Makes `target`, in the container its extension names, from the packets
// of `source` with `matrix` on the video stream, unless a previous run
// already made it. Throws std::runtime_error.
std::filesystem::path remuxWithDisplayMatrix(const std::filesystem::path &source, const std::filesystem::path &target,
                                             const std::array<std::int32_t, 9> &matrix);

// An indexed video (see generateIndexedVideo) of upright size width x
// height, as a phone held sideways records it: stored turned a quarter
// anticlockwise, with a display matrix turning it back. `name` ends in
// .mp4 or .mov; `encoderArgs` must not filter the video.
std::filesystem::path generateTurnedIndexedVideo(const std::string &name, int frames, int width, int height,
                                                 const std::vector<std::string> &encoderArgs,
                                                 const std::string &rate = "25");

// The display matrix of the first video stream of `file` as libavformat
// reads it back, or none.
std::optional<std::array<std::int32_t, 9>> readDisplayMatrix(const std::filesystem::path &file);

} // namespace zorvane::testing
