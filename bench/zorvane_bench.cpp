// Measures the frame reader on generated 720p H.264 files and prints one
// summary line last. Usage: zorvane-bench [MEDIA_DIR]
#include "benchvideo.h"
#include "player/framereader.h"
#include "player/player.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <numeric>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace zorvane::bench;

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kGop = 250;
constexpr int kShortFrames = 600;
constexpr int kLongFrames = 3600;
constexpr int kBackSteps = 60;
constexpr int kRandomReads = 30;

fs::path makeVideo(const fs::path &dir, int frames)
{
    const std::string gop = std::to_string(kGop);
    return zorvane::bench::makeVideo(dir,
                                     {"h264-720p-" + std::to_string(frames) + ".mp4", kWidth, kHeight, frames, "25",
                                      "-c:v libx264 -preset veryfast -crf 23 -bf 3 -g " + gop + " -keyint_min " + gop
                                          + " -sc_threshold 0 -pix_fmt yuv420p"});
}

constexpr int kFullHdFrames = 500;
constexpr int kColdBackTrials = 6;

struct ColdBack {
    double forwardMs = 0;
    double coldBackMs = 0;
    double coldBackMaxMs = 0;
    // From a key frame, after 0.3 s and after 1 s paused, against a plain
    // decode of the group before it.
    double keyBackMs = 0;
    double keyBackRestedMs = 0;
    double groupDecodeMs = 0;
    // Closing the player while the fill decodes, as a quit does.
    double closeDuringFillMs = 0;
};

// Through the player, as the window uses it: steps forward, then first
// back-steps after a jump to a random frame and a second's pause.
ColdBack measureColdBack(const fs::path &dir, int &wrong)
{
    const std::string gop = std::to_string(kGop);
    const fs::path file = zorvane::bench::makeVideo(
        dir, {"h264-1080p-" + std::to_string(kFullHdFrames) + ".mp4", 1920, 1080, kFullHdFrames, "25",
              "-c:v libx264 -preset veryfast -crf 23 -bf 3 -g " + gop + " -keyint_min " + gop
                  + " -sc_threshold 0 -pix_fmt yuv420p"});
    zorvane::Player player(&zorvane::openFrameSource);
    if (!player.open(file.string()) || player.length() != kFullHdFrames) {
        ++wrong;
        return {};
    }
    ColdBack result;
    std::vector<double> forward;
    player.seek(10);
    for (int step = 0; step < 30; ++step) {
        const auto start = Clock::now();
        if (!player.step())
            ++wrong;
        forward.push_back(msSince(start));
    }
    std::mt19937 generator(7);
    std::uniform_int_distribution<int> pick(1, kFullHdFrames - 1);
    std::vector<double> coldBack;
    for (int trial = 0; trial < kColdBackTrials; ++trial) {
        const int frame = pick(generator);
        player.seek(frame);
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const auto start = Clock::now();
        if (!player.back() || player.position() != frame - 1)
            ++wrong;
        coldBack.push_back(msSince(start));
    }
    // Its background fill would take a core from what follows.
    player.close();
    // On a key frame the step back needs the whole group before it, which
    // the background fill decodes first once the player rests. A fresh
    // player each time, so that nothing of that group is cached before.
    for (int pausedMs : {300, 1000}) {
        zorvane::Player rested(&zorvane::openFrameSource);
        if (!rested.open(file.string()) || !rested.seek(kGop)) {
            ++wrong;
            continue;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(pausedMs));
        const auto start = Clock::now();
        if (!rested.back() || rested.position() != kGop - 1)
            ++wrong;
        (pausedMs == 300 ? result.keyBackMs : result.keyBackRestedMs) = msSince(start);
    }
    zorvane::FrameReader plain(file.string());
    auto start = Clock::now();
    (void)plain.frameRgb(kGop - 1);
    result.groupDecodeMs = msSince(start);
    {
        zorvane::Player filling(&zorvane::openFrameSource);
        if (!filling.open(file.string()) || !filling.seek(kGop))
            ++wrong;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        start = Clock::now();
        filling.close();
        result.closeDuringFillMs = msSince(start);
    }
    result.forwardMs = median(forward);
    result.coldBackMs = median(coldBack);
    result.coldBackMaxMs = *std::max_element(coldBack.begin(), coldBack.end());
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    try {
        const fs::path dir = argc > 1 ? fs::path(argv[1]) : fs::path(ZORVANE_BENCH_MEDIA_DIR);
        fs::create_directories(dir);
        const fs::path shortFile = makeVideo(dir, kShortFrames);
        const fs::path longFile = makeVideo(dir, kLongFrames);
        int wrong = 0;
        auto check = [&wrong](const zorvane::RgbImage &image, int index) {
            if (readIndex(image) != index)
                ++wrong;
        };

        double openMs = 0;
        auto start = Clock::now();
        {
            zorvane::FrameReader reader(longFile.string());
            check(reader.frameRgb(0), 0);
            openMs = msSince(start);
            if (reader.frameCount() != kLongFrames)
                ++wrong;
        }

        const DecodeLimit limit = measureDecodeLimit(shortFile, kGop);

        zorvane::FrameReader reader(shortFile.string());
        if (reader.frameCount() != kShortFrames)
            ++wrong;
        check(reader.frameRgb(0), 0);
        std::vector<double> forward;
        for (int index = 1; index < kShortFrames; ++index) {
            start = Clock::now();
            const zorvane::RgbImage image = reader.frameRgb(index);
            forward.push_back(msSince(start));
            check(image, index);
        }
        std::vector<double> back;
        for (int step = 1; step <= kBackSteps; ++step) {
            const int index = kShortFrames - 1 - step;
            start = Clock::now();
            const zorvane::RgbImage image = reader.frameRgb(index);
            back.push_back(msSince(start));
            check(image, index);
        }
        std::mt19937 generator(42);
        std::uniform_int_distribution<int> pick(0, kShortFrames - 1);
        std::vector<double> random;
        for (int read = 0; read < kRandomReads; ++read) {
            const int index = pick(generator);
            start = Clock::now();
            const zorvane::RgbImage image = reader.frameRgb(index);
            random.push_back(msSince(start));
            check(image, index);
        }

        // Back-steps that start from a cold cache: the first pays one GOP.
        zorvane::FrameReader cold(shortFile.string());
        std::vector<double> coldBack;
        for (int index = kShortFrames - 1; index >= kShortFrames - kBackSteps; --index) {
            start = Clock::now();
            const zorvane::RgbImage image = cold.frameRgb(index);
            coldBack.push_back(msSince(start));
            check(image, index);
        }

        const ColdBack fullHd = measureColdBack(dir, wrong);
        const double forwardMs = median(forward);
        const double forwardMeanMs = std::accumulate(forward.begin(), forward.end(), 0.0) / forward.size();
        const double backMs = median(back);
        const double backMaxMs = *std::max_element(back.begin(), back.end());
        const double cacheMb = reader.cachePeakBytes() / (1024.0 * 1024.0);
        const double budgetMb = zorvane::FrameReader::kCacheBudgetBytes / (1024.0 * 1024.0);
        std::printf("gop_decode_ms=%.1f (%d frames) cache_budget_mb=%.0f forward_mean_ms=%.2f\n", limit.gopMs, kGop,
                    budgetMb, forwardMeanMs);
        std::printf("cold back-steps: first_ms=%.1f median_ms=%.2f max_after_first_ms=%.2f\n", coldBack.front(),
                    median(coldBack), *std::max_element(coldBack.begin() + 1, coldBack.end()));
        std::printf("1080p gop %d, jump + 1 s paused: cold_back_ms=%.2f (max %.2f) forward_step_ms=%.2f "
                    "cold_back<=2*forward %s\n",
                    kGop, fullHd.coldBackMs, fullHd.coldBackMaxMs, fullHd.forwardMs,
                    fullHd.coldBackMs <= 2 * fullHd.forwardMs ? "met" : "MISSED");
        std::printf("1080p back from key frame %d: keyframe_back_ms=%.1f after 0.3 s paused, %.1f after 1 s; "
                    "decoding that group alone %.1f ms\n",
                    kGop, fullHd.keyBackMs, fullHd.keyBackRestedMs, fullHd.groupDecodeMs);
        std::printf("1080p close while the fill decodes: close_during_fill_ms=%.1f quit<=300 %s\n",
                    fullHd.closeDuringFillMs, fullHd.closeDuringFillMs <= 300 ? "met" : "MISSED");
        std::printf("targets: wrong=0 %s, forward<=1.5*limit %s, back<=2*forward %s, back_max<=gop %s, "
                    "open<=500 %s, cache<=budget %s\n",
                    wrong == 0 ? "met" : "MISSED", forwardMs <= 1.5 * limit.perFrameMs ? "met" : "MISSED",
                    backMs <= 2 * forwardMs ? "met" : "MISSED", backMaxMs <= limit.gopMs ? "met" : "MISSED",
                    openMs <= 500 ? "met" : "MISSED", cacheMb <= budgetMb ? "met" : "MISSED");
        std::printf("bench: open_ms=%.1f forward_ms=%.2f back_ms=%.2f back_max_ms=%.2f random_ms=%.1f "
                    "decode_limit_ms=%.2f cache_peak_mb=%.0f cold_back_ms=%.2f wrong=%d\n",
                    openMs, forwardMs, backMs, backMaxMs, median(random), limit.perFrameMs, cacheMb, fullHd.coldBackMs,
                    wrong);
        return wrong == 0 ? 0 : 1;
    } catch (const std::exception &error) {
        std::cerr << "zorvane-bench: " << error.what() << "\n";
        return 1;
    }
}
