#include "support/displaymatrix.h"

#include "support/media.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
}

#include <unistd.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

namespace zorvane::testing {
namespace {

struct InputCloser {
    void operator()(AVFormatContext *context) const { avformat_close_input(&context); }
};
struct OutputCloser {
    void operator()(AVFormatContext *context) const
    {
        if (context->pb)
            avio_closep(&context->pb);
        avformat_free_context(context);
    }
};
struct PacketFree {
    void operator()(AVPacket *packet) const { av_packet_free(&packet); }
};

using Input = std::unique_ptr<AVFormatContext, InputCloser>;
using Output = std::unique_ptr<AVFormatContext, OutputCloser>;

Input openInput(const std::filesystem::path &file)
{
    AVFormatContext *context = nullptr;
    if (avformat_open_input(&context, file.c_str(), nullptr, nullptr) < 0)
        throw std::runtime_error("cannot open " + file.string());
    Input input(context);
    if (avformat_find_stream_info(context, nullptr) < 0)
        throw std::runtime_error("cannot read the streams of " + file.string());
    return input;
}

void check(int result, const std::string &what)
{
    if (result < 0)
        throw std::runtime_error(what + " failed (" + std::to_string(result) + ")");
}

void copyPackets(AVFormatContext *in, AVFormatContext *out)
{
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    while (av_read_frame(in, packet.get()) >= 0) {
        const AVStream *from = in->streams[packet->stream_index];
        const AVStream *to = out->streams[packet->stream_index];
        av_packet_rescale_ts(packet.get(), from->time_base, to->time_base);
        packet->pos = -1;
        check(av_interleaved_write_frame(out, packet.get()), "writing a packet");
    }
}

void remux(const std::filesystem::path &source, const std::filesystem::path &target,
           const std::array<std::int32_t, 9> &matrix)
{
    Input in = openInput(source);
    AVFormatContext *context = nullptr;
    check(avformat_alloc_output_context2(&context, nullptr, nullptr, target.c_str()), "choosing a muxer");
    Output out(context);
    const int video = av_find_best_stream(in.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    check(video, "finding the video stream");
    for (unsigned i = 0; i < in->nb_streams; ++i) {
        const AVStream *from = in->streams[i];
        AVStream *to = avformat_new_stream(out.get(), nullptr);
        if (!to)
            throw std::runtime_error("cannot add a stream");
        check(avcodec_parameters_copy(to->codecpar, from->codecpar), "copying codec parameters");
        to->codecpar->codec_tag = 0;
        to->time_base = from->time_base;
        to->avg_frame_rate = from->avg_frame_rate;
        to->r_frame_rate = from->r_frame_rate;
        if (static_cast<int>(i) != video)
            continue;
        std::uint8_t *data = av_stream_new_side_data(to, AV_PKT_DATA_DISPLAYMATRIX, sizeof matrix);
        if (!data)
            throw std::runtime_error("cannot add the display matrix");
        std::memcpy(data, matrix.data(), sizeof matrix);
    }
    check(avio_open(&out->pb, target.c_str(), AVIO_FLAG_WRITE), "creating " + target.string());
    check(avformat_write_header(out.get(), nullptr), "writing the header");
    copyPackets(in.get(), out.get());
    check(av_write_trailer(out.get()), "writing the trailer");
}

} // namespace

std::array<std::int32_t, 9> displayMatrix(double degrees, bool mirrored)
{
    std::array<std::int32_t, 9> matrix{};
    av_display_rotation_set(matrix.data(), degrees);
    av_display_matrix_flip(matrix.data(), mirrored ? 1 : 0, 0);
    return matrix;
}

std::filesystem::path remuxWithDisplayMatrix(const std::filesystem::path &source, const std::filesystem::path &target,
                                             const std::array<std::int32_t, 9> &matrix)
{
    if (std::filesystem::exists(target))
        return target;
    // The extension of the partial file still names the container.
    const std::filesystem::path partial =
        target.parent_path() / ("partial-" + std::to_string(getpid()) + "-" + target.filename().string());
    try {
        remux(source, partial, matrix);
    } catch (const std::exception &error) {
        std::filesystem::remove(partial);
        throw std::runtime_error("cannot make " + target.string() + ": " + error.what());
    }
    std::filesystem::rename(partial, target);
    return target;
}

std::filesystem::path generateTurnedIndexedVideo(const std::string &name, int frames, int width, int height,
                                                 const std::vector<std::string> &encoderArgs, const std::string &rate)
{
    std::vector<std::string> args{"-vf", "transpose=cclock"};
    args.insert(args.end(), encoderArgs.begin(), encoderArgs.end());
    const std::filesystem::path stored = generateIndexedVideo("stored-" + name, frames, width, height, args, rate);
    return remuxWithDisplayMatrix(stored, mediaDir() / name, displayMatrix(90, false));
}

std::optional<std::array<std::int32_t, 9>> readDisplayMatrix(const std::filesystem::path &file)
{
    Input in = openInput(file);
    const int video = av_find_best_stream(in.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    check(video, "finding the video stream");
    std::size_t size = 0;
    const std::uint8_t *data = av_stream_get_side_data(in->streams[video], AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (!data || size < sizeof(std::array<std::int32_t, 9>))
        return std::nullopt;
    std::array<std::int32_t, 9> matrix{};
    std::memcpy(matrix.data(), data, sizeof matrix);
    return matrix;
}

} // namespace zorvane::testing
