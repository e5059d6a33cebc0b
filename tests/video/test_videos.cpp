// Test videos: FFmpeg's AVI muxer and encoders, frames filled with known colours.
#include "tests/video/test_videos.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace qv::test {

namespace {

constexpr std::array<std::uint32_t, 7> kTops = {0xE02020, 0x20C040, 0x2040E0, 0xE0E020,
                                                0x20E0E0, 0xE020E0, 0xF0F0F0};
constexpr std::array<std::uint32_t, 7> kBottoms = {0x102080, 0x808010, 0x801080, 0x40A0A0,
                                                   0xA04010, 0x10A040, 0x202020};

struct Writer
{
    AVFormatContext* format = nullptr;
    AVCodecContext* encoder = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = av_packet_alloc();
    SwsContext* scaler = nullptr;
    AVStream* stream = nullptr;
    AVRational frameTime{1, 25};

    ~Writer()
    {
        sws_freeContext(scaler);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&encoder);
        if (format != nullptr) {
            avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }

    bool write(AVPacket* p)
    {
        p->stream_index = stream->index;
        av_packet_rescale_ts(p, frameTime, stream->time_base);
        return av_write_frame(format, p) >= 0;
    }

    bool drain()
    {
        while (avcodec_receive_packet(encoder, packet) == 0) {
            if (!write(packet)) {
                return false;
            }
            av_packet_unref(packet);
        }
        return true;
    }
};

AVPixelFormat formatOf(TestCodec codec)
{
    switch (codec) {
    case TestCodec::Mjpeg:
        return AV_PIX_FMT_YUVJ420P;
    case TestCodec::Mpeg4:
        return AV_PIX_FMT_YUV420P;
    case TestCodec::Ffv1:
        return AV_PIX_FMT_BGR0;
    case TestCodec::Raw:
        break;
    }
    return AV_PIX_FMT_BGR24;
}

AVCodecID idOf(TestCodec codec)
{
    switch (codec) {
    case TestCodec::Mjpeg:
        return AV_CODEC_ID_MJPEG;
    case TestCodec::Mpeg4:
        return AV_CODEC_ID_MPEG4;
    case TestCodec::Ffv1:
        return AV_CODEC_ID_FFV1;
    case TestCodec::Raw:
        break;
    }
    return AV_CODEC_ID_RAWVIDEO;
}

} // namespace

std::uint32_t topColour(std::int64_t index)
{
    return kTops[static_cast<std::size_t>(index) % kTops.size()];
}

std::uint32_t bottomColour(std::int64_t index)
{
    return kBottoms[static_cast<std::size_t>(index) % kBottoms.size()];
}

bool closeColours(std::uint32_t a, std::uint32_t b, int tolerance)
{
    for (int shift : {0, 8, 16}) {
        const int ca = static_cast<int>((a >> shift) & 0xFFu);
        const int cb = static_cast<int>((b >> shift) & 0xFFu);
        if (std::abs(ca - cb) > tolerance) {
            return false;
        }
    }
    return true;
}

bool writeTestVideo(const std::string& path, TestCodec codec, int frames, int width, int height,
                    int fps)
{
    Writer w;
    const AVRational frameTime{1, fps};
    w.frameTime = frameTime;
    if (avformat_alloc_output_context2(&w.format, nullptr, "avi", nullptr) < 0 ||
        w.packet == nullptr) {
        return false;
    }
    w.stream = avformat_new_stream(w.format, nullptr);
    w.stream->time_base = frameTime;
    w.stream->avg_frame_rate = {fps, 1};
    const AVPixelFormat pixelFormat = formatOf(codec);
    if (codec == TestCodec::Raw) {
        AVCodecParameters& p = *w.stream->codecpar;
        p.codec_type = AVMEDIA_TYPE_VIDEO;
        p.codec_id = AV_CODEC_ID_RAWVIDEO;
        p.format = pixelFormat;
        p.bits_per_coded_sample = 24;
        p.width = width;
        p.height = height;
    } else {
        const AVCodec* found = avcodec_find_encoder(idOf(codec));
        w.encoder = found != nullptr ? avcodec_alloc_context3(found) : nullptr;
        if (w.encoder == nullptr) {
            return false;
        }
        w.encoder->width = width;
        w.encoder->height = height;
        w.encoder->time_base = frameTime;
        w.encoder->framerate = {fps, 1};
        w.encoder->pix_fmt = pixelFormat;
        w.encoder->gop_size = 1;
        w.encoder->flags |= AV_CODEC_FLAG_QSCALE;
        w.encoder->global_quality = FF_QP2LAMBDA * 2;
        if (avcodec_open2(w.encoder, found, nullptr) < 0 ||
            avcodec_parameters_from_context(w.stream->codecpar, w.encoder) < 0) {
            return false;
        }
    }
    w.frame = av_frame_alloc();
    w.frame->format = pixelFormat;
    w.frame->width = width;
    w.frame->height = height;
    w.scaler = sws_getContext(width, height, AV_PIX_FMT_BGR0, width, height, pixelFormat,
                              SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
    if (av_frame_get_buffer(w.frame, 0) < 0 || w.scaler == nullptr ||
        avio_open(&w.format->pb, ("file:" + path).c_str(), AVIO_FLAG_WRITE) < 0) {
        return false;
    }
    AVDictionary* options = nullptr;
    av_dict_set(&options, "flipped_raw_rgb", "1", 0);
    const int started = avformat_write_header(w.format, &options);
    av_dict_free(&options);
    if (started < 0) {
        return false;
    }
    std::vector<std::uint32_t> picture(static_cast<std::size_t>(width) *
                                       static_cast<std::size_t>(height));
    for (int i = 0; i < frames; ++i) {
        for (int y = 0; y < height; ++y) {
            const std::uint32_t colour = y < height / 2 ? topColour(i) : bottomColour(i);
            std::fill_n(picture.begin() + y * width, width, colour);
        }
        const std::uint8_t* const source[] = {reinterpret_cast<std::uint8_t*>(picture.data())};
        const int stride[] = {width * 4};
        if (av_frame_make_writable(w.frame) < 0) {
            return false;
        }
        sws_scale(w.scaler, source, stride, 0, height, w.frame->data, w.frame->linesize);
        if (codec == TestCodec::Raw) {
            // Bottom row first, rows padded to four bytes: the classic uncompressed layout.
            const int rowBytes = width * 3;
            const int padded = (rowBytes + 3) / 4 * 4;
            if (av_new_packet(w.packet, padded * height) < 0) {
                return false;
            }
            std::memset(w.packet->data, 0, static_cast<std::size_t>(padded * height));
            for (int y = 0; y < height; ++y) {
                std::memcpy(w.packet->data + (height - 1 - y) * padded,
                            w.frame->data[0] + y * w.frame->linesize[0],
                            static_cast<std::size_t>(rowBytes));
            }
            w.packet->pts = w.packet->dts = i;
            w.packet->duration = 1;
            w.packet->flags |= AV_PKT_FLAG_KEY;
            if (!w.write(w.packet)) {
                return false;
            }
            continue;
        }
        w.frame->pts = i;
        if (avcodec_send_frame(w.encoder, w.frame) < 0 || !w.drain()) {
            return false;
        }
    }
    if (w.encoder != nullptr && (avcodec_send_frame(w.encoder, nullptr) < 0 || !w.drain())) {
        return false;
    }
    return av_write_trailer(w.format) >= 0 && avio_closep(&w.format->pb) >= 0;
}

} // namespace qv::test
