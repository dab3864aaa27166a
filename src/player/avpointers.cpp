#include "player/avpointers.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libswscale/swscale.h>
}

namespace zorvane {

void FormatDeleter::operator()(AVFormatContext *context) const { avformat_close_input(&context); }
void CodecDeleter::operator()(AVCodecContext *context) const { avcodec_free_context(&context); }
void PacketDeleter::operator()(AVPacket *packet) const { av_packet_free(&packet); }
void FrameDeleter::operator()(AVFrame *frame) const { av_frame_free(&frame); }
void ScalerDeleter::operator()(SwsContext *context) const { sws_freeContext(context); }

PacketRelease::~PacketRelease() { av_packet_unref(m_packet); }

std::string avErrorText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

} // namespace zorvane
