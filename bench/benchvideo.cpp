#include "benchvideo.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <random>
#include <stdexcept>

namespace zorvane::bench {
namespace {

constexpr int kBands = 3;

int bandLeft(int band, int width) { return band * width / kBands; }

void drawFrame(int index, const VideoSpec &clip, const std::vector<std::uint8_t> &noise,
               std::vector<std::uint8_t> &picture)
{
    const int width = clip.width;
    const int height = clip.height;
    int digits = index;
    for (int band = 0; band < kBands; ++band, digits /= 16) {
        const auto grey = static_cast<std::uint8_t>(16 + 14 * (digits % 16));
        for (int y = 0; y < height / 2; ++y)
            std::fill(picture.begin() + static_cast<std::ptrdiff_t>(y) * width + bandLeft(band, width),
                      picture.begin() + static_cast<std::ptrdiff_t>(y) * width + bandLeft(band + 1, width), grey);
    }
    for (int y = height / 2; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int shifted = (x + index * 3) % width;
            picture[static_cast<size_t>(y) * width + x] = static_cast<std::uint8_t>(
                ((shifted / 8 + y / 8 + index) & 1) * 96 + noise[static_cast<size_t>(y) * width + shifted]);
        }
}

} // namespace

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

std::filesystem::path makeVideo(const std::filesystem::path &dir, const VideoSpec &clip)
{
    const std::filesystem::path target = dir / clip.name;
    if (std::filesystem::exists(target))
        return target;
    const std::filesystem::path partial = dir / ("partial-" + clip.name);
    const std::string command = "ffmpeg -nostdin -y -loglevel error -f rawvideo -pix_fmt gray -video_size "
                                + std::to_string(clip.width) + "x" + std::to_string(clip.height) + " -framerate "
                                + clip.rate + " -i - " + clip.encoderArgs + " '" + partial.string() + "'";
    std::cerr << "making " << target << "\n";
    FILE *pipe = popen(command.c_str(), "w");
    if (!pipe)
        throw std::runtime_error("cannot start ffmpeg");
    std::mt19937 generator(1);
    std::vector<std::uint8_t> noise(static_cast<size_t>(clip.width) * clip.height);
    for (auto &value : noise)
        value = static_cast<std::uint8_t>(generator() % 64);
    std::vector<std::uint8_t> picture(noise.size());
    for (int index = 0; index < clip.frames; ++index) {
        drawFrame(index, clip, noise, picture);
        if (std::fwrite(picture.data(), 1, picture.size(), pipe) != picture.size())
            break;
    }
    if (pclose(pipe) != 0)
        throw std::runtime_error("ffmpeg could not make " + target.string());
    std::filesystem::rename(partial, target);
    return target;
}

int readIndex(const RgbImage &image)
{
    int index = 0;
    int scale = 1;
    for (int band = 0; band < kBands; ++band, scale *= 16) {
        const int left = bandLeft(band, image.width);
        const int width = bandLeft(band + 1, image.width) - left;
        double sum = 0;
        int count = 0;
        for (int y = image.height / 8; y < image.height * 3 / 8; y += 4)
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

DecodeLimit measureDecodeLimit(const std::filesystem::path &file, int gopFrames)
{
    AVFormatContext *format = nullptr;
    if (avformat_open_input(&format, file.c_str(), nullptr, nullptr) < 0
        || avformat_find_stream_info(format, nullptr) < 0)
        throw std::runtime_error("cannot open " + file.string());
    const AVCodec *decoder = nullptr;
    const int stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    AVCodecContext *codec = avcodec_alloc_context3(decoder);
    avcodec_parameters_to_context(codec, format->streams[stream]->codecpar);
    codec->thread_count = 0;
    codec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    avcodec_open2(codec, decoder, nullptr);
    const int width = codec->width;
    const int height = codec->height;
    AVPacket *packet = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    SwsContext *scaler = nullptr;
    // Room for the converter's block writes past the last row.
    std::vector<std::uint8_t> rgb(static_cast<size_t>(width) * height * 3 + 256);
    int frames = 0;
    double gopMs = 0;
    const auto start = Clock::now();
    auto drain = [&] {
        while (avcodec_receive_frame(codec, frame) == 0) {
            scaler =
                sws_getCachedContext(scaler, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                                     width, height, AV_PIX_FMT_RGB24, SWS_BILINEAR, nullptr, nullptr, nullptr);
            std::uint8_t *planes[4] = {rgb.data()};
            int strides[4] = {width * 3};
            sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
            av_frame_unref(frame);
            if (++frames == gopFrames)
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

} // namespace zorvane::bench
