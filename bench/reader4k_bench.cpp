// Steps forward through generated 4K HEVC 10-bit videos, as phones record
// them (landscape, and upright with a display matrix turning the stored
// picture), against a plain decode of the same file, and prints the
// reader's picture memory against its budgets. Run it under
// `/usr/bin/time -f %M` for the process's peak.
// Usage: zorvane-bench-4k [MEDIA_DIR]
#include "benchvideo.h"
#include "player/framereader.h"
#include "support/displaymatrix.h"

#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace zorvane::bench;

constexpr int kFrames = 90;
constexpr int kGop = 30;
constexpr int kBackSteps = 8;

double mib(std::size_t bytes) { return bytes / (1024.0 * 1024.0); }

double peakRssMib()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

std::string encoderArgs(const std::string &filter)
{
    const std::string gop = std::to_string(kGop);
    return filter + " -c:v libx265 -preset ultrafast -x265-params log-level=error:keyint=" + gop + ":min-keyint=" + gop
           + " -pix_fmt yuv420p10le -tag:v hvc1";
}

fs::path landscapeVideo(const fs::path &dir)
{
    return makeVideo(dir,
                     {"hevc10-4k-" + std::to_string(kFrames) + ".mov", 3840, 2160, kFrames, "30", encoderArgs("")});
}

// Drawn upright at 2160x3840, stored turned a quarter anticlockwise with a
// matrix turning it back.
fs::path turnedVideo(const fs::path &dir)
{
    const std::string name = "hevc10-4k-upright-" + std::to_string(kFrames);
    const fs::path stored =
        makeVideo(dir, {name + "-stored.mov", 2160, 3840, kFrames, "30", encoderArgs("-vf transpose=cclock")});
    return zorvane::testing::remuxWithDisplayMatrix(stored, dir / (name + ".mov"),
                                                    zorvane::testing::displayMatrix(90, false));
}

// Prints the targets and one line of figures. False when a frame was wrong.
bool measure(const fs::path &file, const char *label)
{
    const DecodeLimit limit = measureDecodeLimit(file, kGop);
    int wrong = 0;
    auto start = Clock::now();
    zorvane::FrameReader reader(file.string());
    if (reader.frameCount() != kFrames)
        ++wrong;
    if (readIndex(reader.frameRgb(0)) != 0)
        ++wrong;
    const double openMs = msSince(start);
    std::vector<double> forward;
    for (int index = 1; index < kFrames; ++index) {
        start = Clock::now();
        const zorvane::RgbImage image = reader.frameRgb(index);
        forward.push_back(msSince(start));
        if (readIndex(image) != index)
            ++wrong;
    }
    std::vector<double> back;
    for (int index = kFrames - 2; index >= kFrames - 1 - kBackSteps; --index) {
        start = Clock::now();
        const zorvane::RgbImage image = reader.frameRgb(index);
        back.push_back(msSince(start));
        if (readIndex(image) != index)
            ++wrong;
    }

    const double forwardMs = median(forward);
    const double cacheBudget = mib(zorvane::FrameReader::kCacheBudgetBytes);
    const double pictureBudget = cacheBudget + mib(zorvane::FrameReader::kDecoderBudgetBytes);
    const double cachePeak = mib(reader.cachePeakBytes());
    const double picturePeak = mib(reader.picturePeakBytes());
    std::printf("targets: wrong=0 %s, forward<=1.5*limit %s, cache<=budget %s, pictures<=budgets %s\n",
                wrong == 0 ? "met" : "MISSED", forwardMs <= 1.5 * limit.perFrameMs ? "met" : "MISSED",
                cachePeak <= cacheBudget ? "met" : "MISSED", picturePeak <= pictureBudget ? "met" : "MISSED");
    std::printf("%s: %dx%d open_ms=%.1f forward_ms=%.2f decode_limit_ms=%.2f forward_per_limit=%.2f "
                "back_ms=%.2f cache_peak_mb=%.0f cache_budget_mb=%.0f picture_peak_mb=%.0f "
                "picture_budget_mb=%.0f wrong=%d\n",
                label, reader.width(), reader.height(), openMs, forwardMs, limit.perFrameMs,
                forwardMs / limit.perFrameMs, median(back), cachePeak, cacheBudget, picturePeak, pictureBudget, wrong);
    std::fflush(stdout);
    return wrong == 0;
}

} // namespace

int main(int argc, char **argv)
{
    try {
        const fs::path dir = argc > 1 ? fs::path(argv[1]) : fs::path(ZORVANE_BENCH_MEDIA_DIR);
        fs::create_directories(dir);
        const fs::path landscape = landscapeVideo(dir);
        const fs::path turned = turnedVideo(dir);
        bool exact = measure(landscape, "bench_4k_hevc10");
        exact = measure(turned, "bench_4k_hevc10_turned") && exact;
        std::printf("bench_4k: rss_peak_mb=%.0f\n", peakRssMib());
        return exact ? 0 : 1;
    } catch (const std::exception &error) {
        std::cerr << "zorvane-bench-4k: " << error.what() << "\n";
        return 1;
    }
}
