// Test videos: FFmpeg's AVI muxer and encoders, frames filled with known colours.
#include "tests/video/test_videos.h"

#include <array>
#include <cstdlib>
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
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    SwsContext* scaler = nullptr;

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

    // Encodes `sent` (null: the end) and writes what the encoder has ready.
    bool encode(const AVFrame* sent)
    {
        if (avcodec_send_frame(encoder, sent) < 0) {
            return false;
        }
        while (avcodec_receive_packet(encoder, packet) == 0) {
            av_packet_rescale_ts(packet, encoder->time_base, format->streams[0]->time_base);
            if (av_write_frame(format, packet) < 0) {
                return false;
            }
        }
        return true;
    }
};

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
        if (std::abs(static_cast<int>((a >> shift) & 0xFFu) -
                     static_cast<int>((b >> shift) & 0xFFu)) > tolerance) {
            return false;
        }
    }
    return true;
}

bool writeTestVideo(const std::string& path, TestCodec codec, int frames, int width, int height,
                    int fps)
{
    static constexpr std::array<std::pair<AVCodecID, AVPixelFormat>, 4> kKinds = {{
        {AV_CODEC_ID_MJPEG, AV_PIX_FMT_YUVJ420P},
        {AV_CODEC_ID_MPEG4, AV_PIX_FMT_YUV420P},
        {AV_CODEC_ID_FFV1, AV_PIX_FMT_BGR0},
        {AV_CODEC_ID_RAWVIDEO, AV_PIX_FMT_BGR24},
    }};
    const auto [id, pixelFormat] = kKinds[static_cast<std::size_t>(codec)];
    const AVCodec* found = avcodec_find_encoder(id);
    Writer w;
    AVStream* stream = nullptr;
    if (found == nullptr || (w.encoder = avcodec_alloc_context3(found)) == nullptr ||
        avformat_alloc_output_context2(&w.format, nullptr, "avi", nullptr) < 0 ||
        (stream = avformat_new_stream(w.format, nullptr)) == nullptr) {
        return false;
    }
    w.encoder->width = w.frame->width = width;
    w.encoder->height = w.frame->height = height;
    w.encoder->pix_fmt = pixelFormat;
    w.frame->format = pixelFormat;
    w.encoder->time_base = stream->time_base = {1, fps};
    w.encoder->gop_size = 1;
    w.encoder->flags |= AV_CODEC_FLAG_QSCALE;
    w.encoder->global_quality = FF_QP2LAMBDA * 2;
    w.scaler = sws_getContext(width, height, AV_PIX_FMT_BGR0, width, height, pixelFormat,
                              SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
    // Uncompressed frames are stored bottom row first; the header says so.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "flipped_raw_rgb", "1", 0);
    const bool started = avcodec_open2(w.encoder, found, nullptr) >= 0 &&
                         avcodec_parameters_from_context(stream->codecpar, w.encoder) >= 0 &&
                         av_frame_get_buffer(w.frame, 0) >= 0 && w.scaler != nullptr &&
                         avio_open(&w.format->pb, ("file:" + path).c_str(), AVIO_FLAG_WRITE) >= 0 &&
                         avformat_write_header(w.format, &options) >= 0;
    av_dict_free(&options);
    std::vector<std::uint32_t> picture(static_cast<std::size_t>(width * height));
    for (int i = 0; i < frames && started; ++i) {
        for (int y = 0; y < height; ++y) {
            const bool top = (codec == TestCodec::Raw ? height - 1 - y : y) < height / 2;
            std::fill_n(picture.begin() + y * width, width, top ? topColour(i) : bottomColour(i));
        }
        const std::uint8_t* const source[] = {reinterpret_cast<std::uint8_t*>(picture.data())};
        const int stride[] = {width * 4};
        sws_scale(w.scaler, source, stride, 0, height, w.frame->data, w.frame->linesize);
        w.frame->pts = i;
        if (!w.encode(w.frame)) {
            return false;
        }
    }
    return started && w.encode(nullptr) && av_write_trailer(w.format) >= 0 &&
           avio_closep(&w.format->pb) >= 0;
}

} // namespace qv::test
