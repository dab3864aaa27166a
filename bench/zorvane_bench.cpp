// Measures the frame reader on generated 720p H.264 files and prints one
// summary line last. Usage: zorvane-bench [MEDIA_DIR]
#include "player/framereader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kGop = 250;
constexpr int kShortFrames = 600;
constexpr int kLongFrames = 3600;
constexpr int kBackSteps = 60;
constexpr int kRandomReads = 30;
constexpr int kBands = 3;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

int bandLeft(int band) { return band * kWidth / kBands; }

// The top half carries the frame index as three flat greys (base-16
// digits); the bottom half is a moving texture so the encoder has real work.
void drawFrame(int index, const std::vector<std::uint8_t> &noise, std::vector<std::uint8_t> &picture)
{
    int digits = index;
    for (int band = 0; band < kBands; ++band, digits /= 16) {
        const auto grey = static_cast<std::uint8_t>(16 + 14 * (digits % 16));
        for (int y = 0; y < kHeight / 2; ++y)
            std::fill(picture.begin() + y * kWidth + bandLeft(band), picture.begin() + y * kWidth + bandLeft(band + 1),
                      grey);
    }
    for (int y = kHeight / 2; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const int shifted = (x + index * 3) % kWidth;
            picture[static_cast<size_t>(y) * kWidth + x] =
                static_cast<std::uint8_t>(((shifted / 8 + y / 8 + index) & 1) * 96 + noise[static_cast<size_t>(y) * kWidth + shifted]);
        }
}

int readIndex(const zorvane::RgbImage &image)
{
    int index = 0;
    int scale = 1;
    for (int band = 0; band < kBands; ++band, scale *= 16) {
        const int left = bandLeft(band);
        const int width = bandLeft(band + 1) - left;
        double sum = 0;
        int count = 0;
        for (int y = kHeight / 8; y < kHeight * 3 / 8; y += 4)
            for (int x = left + width / 4; x < left + width * 3 / 4; x += 4) {
                sum += image.pixels[(static_cast<size_t>(y) * image.width + x) * 3 + 1];
                ++count;
            }
        const double grey = sum / count;
        const long digit = std::lround((grey - 16) / 14);
        if (digit < 0 || digit > 15 || std::abs(grey - (16 + 14 * digit)) > 6)
            return -1;
        index += static_cast<int>(digit) * scale;
    }
    return index;
}

fs::path makeVideo(const fs::path &dir, int frames)
{
    const fs::path target = dir / ("h264-720p-" + std::to_string(frames) + ".mp4");
    if (fs::exists(target))
        return target;
    const fs::path partial = dir / ("partial-" + target.filename().string());
    const std::string command = "ffmpeg -nostdin -y -loglevel error -f rawvideo -pix_fmt gray -video_size "
                                + std::to_string(kWidth) + "x" + std::to_string(kHeight)
                                + " -framerate 25 -i - -c:v libx264 -preset veryfast -crf 23 -bf 3 -g "
                                + std::to_string(kGop) + " -keyint_min " + std::to_string(kGop)
                                + " -sc_threshold 0 -pix_fmt yuv420p '" + partial.string() + "'";
    std::cerr << "making " << target << "\n";
    FILE *pipe = popen(command.c_str(), "w");
    if (!pipe)
        throw std::runtime_error("cannot start ffmpeg");
    std::mt19937 generator(1);
    std::vector<std::uint8_t> noise(static_cast<size_t>(kWidth) * kHeight);
    for (auto &value : noise)
        value = static_cast<std::uint8_t>(generator() % 64);
    std::vector<std::uint8_t> picture(noise.size());
    for (int index = 0; index < frames; ++index) {
        drawFrame(index, noise, picture);
        if (std::fwrite(picture.data(), 1, picture.size(), pipe) != picture.size())
            break;
    }
    if (pclose(pipe) != 0)
        throw std::runtime_error("ffmpeg could not make " + target.string());
    fs::rename(partial, target);
    return target;
}

struct DecodeLimit {
    double perFrameMs = 0;
    double gopMs = 0;
};

// Plain sequential decode and RGB conversion with the same decoder settings
// as the reader: the floor any stepping can reach.
DecodeLimit measureDecodeLimit(const fs::path &file)
{
    AVFormatContext *format = nullptr;
    if (avformat_open_input(&format, file.c_str(), nullptr, nullptr) < 0 || avformat_find_stream_info(format, nullptr) < 0)
        throw std::runtime_error("cannot open " + file.string());
    const AVCodec *decoder = nullptr;
    const int stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    AVCodecContext *codec = avcodec_alloc_context3(decoder);
    avcodec_parameters_to_context(codec, format->streams[stream]->codecpar);
    codec->thread_count = 0;
    codec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    avcodec_open2(codec, decoder, nullptr);
    AVPacket *packet = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    SwsContext *scaler = nullptr;
    std::vector<std::uint8_t> rgb(static_cast<size_t>(kWidth) * kHeight * 3);
    int frames = 0;
    double gopMs = 0;
    const auto start = Clock::now();
    auto drain = [&] {
        while (avcodec_receive_frame(codec, frame) == 0) {
            scaler = sws_getCachedContext(scaler, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                                          kWidth, kHeight, AV_PIX_FMT_RGB24, SWS_BILINEAR, nullptr, nullptr, nullptr);
            std::uint8_t *planes[4] = {rgb.data()};
            int strides[4] = {kWidth * 3};
            sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
            av_frame_unref(frame);
            if (++frames == kGop)
                gopMs = msSince(start);
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == stream)
            avcodec_send_packet(codec, packet);
        av_packet_unref(packet);
        drain();
    }
    avcodec_send_packet(codec, nullptr);
    drain();
    const double totalMs = msSince(start);
    sws_freeContext(scaler);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
    return {totalMs / frames, gopMs};
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

        const DecodeLimit limit = measureDecodeLimit(shortFile);

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
        std::printf("targets: wrong=0 %s, forward<=1.5*limit %s, back<=2*forward %s, back_max<=gop %s, "
                    "open<=500 %s, cache<=budget %s\n",
                    wrong == 0 ? "met" : "MISSED", forwardMs <= 1.5 * limit.perFrameMs ? "met" : "MISSED",
                    backMs <= 2 * forwardMs ? "met" : "MISSED", backMaxMs <= limit.gopMs ? "met" : "MISSED",
                    openMs <= 500 ? "met" : "MISSED", cacheMb <= budgetMb ? "met" : "MISSED");
        std::printf("bench: open_ms=%.1f forward_ms=%.2f back_ms=%.2f back_max_ms=%.2f random_ms=%.1f "
                    "decode_limit_ms=%.2f cache_peak_mb=%.0f wrong=%d\n",
                    openMs, forwardMs, backMs, backMaxMs, median(random), limit.perFrameMs, cacheMb, wrong);
        return wrong == 0 ? 0 : 1;
    } catch (const std::exception &error) {
        std::cerr << "zorvane-bench: " << error.what() << "\n";
        return 1;
    }
}
