#pragma once

#include "player/framesource.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zorvane::bench {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start);
double median(std::vector<double> values);

// A generated video: the top half carries the frame index as three flat
// greys (base-16 digits), the bottom half a moving texture so the encoder
// has real work.
struct VideoSpec {
    std::string name; // file name, its extension naming the container
    int width = 0;
    int height = 0;
    int frames = 0;
    std::string rate = "25";
    std::string encoderArgs; // ffmpeg output options: codec, GOP, pixel format
};

// Makes dir/clip.name with ffmpeg unless it exists.
std::filesystem::path makeVideo(const std::filesystem::path &dir, const VideoSpec &clip);

// The index drawn into a frame of a VideoSpec video, or -1.
int readIndex(const RgbImage &image);

struct DecodeLimit {
    double perFrameMs = 0;
    double gopMs = 0; // the first gopFrames frames
};

// Plain sequential decode and RGB conversion with the same decoder settings
// as the reader: the floor any stepping can reach.
DecodeLimit measureDecodeLimit(const std::filesystem::path &file, int gopFrames);

} // namespace zorvane::bench
