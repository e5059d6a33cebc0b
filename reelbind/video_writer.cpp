// VideoWriter: FFmpeg's AVI muxer, its encoders and swscale for the colour conversion and scaling.
#include "reelbind/video_writer.h"

#include <array>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace qv::reelbind {
namespace {

constexpr std::array<CodecInfo, 4> kCodecs = {{
    {Codec::Mjpeg, "mjpeg", "Motion JPEG", "plays almost everywhere; high quality"},
    {Codec::Mpeg4, "mpeg4", "MPEG-4 Part 2", "smaller files; every frame a key frame"},
    {Codec::Ffv1, "ffv1", "FFV1 (lossless)",
     "exactly the frames' pixels, far smaller than uncompressed"},
    {Codec::Raw, "raw", "Uncompressed 24-bit RGB", "exactly the frames' pixels; very large"},
}};

constexpr AVRational kFrameTime = {1, kFramesPerSecond};

/// The fixed quantiser of Motion JPEG and MPEG-4: high quality, where the libraries' default
/// bit rate (some 200 kb/s) would smear a fractal's detail.
constexpr int kQuantiser = 2;

std::string errorText(int code)
{
    std::array<char, AV_ERROR_MAX_STRING_SIZE> text{};
    av_strerror(code, text.data(), text.size());
    return text.data();
}

AVPixelFormat pixelFormatOf(Codec codec)
{
    switch (codec) {
    case Codec::Mjpeg:
        return AV_PIX_FMT_YUVJ422P;
    case Codec::Mpeg4:
        return AV_PIX_FMT_YUV420P;
    case Codec::Ffv1:
        return AV_PIX_FMT_BGR0;
    case Codec::Raw:
        break;
    }
    return AV_PIX_FMT_BGR24;
}

AVCodecID codecIdOf(Codec codec)
{
    switch (codec) {
    case Codec::Mjpeg:
        return AV_CODEC_ID_MJPEG;
    case Codec::Mpeg4:
        return AV_CODEC_ID_MPEG4;
    case Codec::Ffv1:
        return AV_CODEC_ID_FFV1;
    case Codec::Raw:
        break;
    }
    return AV_CODEC_ID_RAWVIDEO;
}

} // namespace

std::span<const CodecInfo> codecs()
{
    return kCodecs;
}

std::optional<Codec> codecByName(std::string_view name)
{
    for (const CodecInfo& info : kCodecs) {
        if (info.name == name) {
            return info.codec;
        }
    }
    return std::nullopt;
}

const CodecInfo& codecInfo(Codec codec)
{
    for (const CodecInfo& info : kCodecs) {
        if (info.codec == codec) {
            return info;
        }
    }
    return kCodecs[0];
}

struct VideoWriter::State
{
    Codec codec = Codec::Mjpeg;
    AVFormatContext* format = nullptr;
    AVStream* stream = nullptr;
    AVCodecContext* encoder = nullptr; // none for uncompressed frames
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* scaler = nullptr;
    std::int64_t frames = 0;

    ~State()
    {
        sws_freeContext(scaler);
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&encoder);
        if (format != nullptr) {
            avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }

    bool fail(std::string& error, std::string_view what, int code)
    {
        error = std::string(what) + ": " + errorText(code);
        return false;
    }

    /// Writes the packet in `packet`. Buffered writes report their failures later, on the
    /// output's sticky error, so that is read after every packet too.
    bool writePacket(std::string& error)
    {
        packet->stream_index = stream->index;
        av_packet_rescale_ts(packet, kFrameTime, stream->time_base);
        const int written = av_write_frame(format, packet);
        av_packet_unref(packet);
        if (written < 0) {
            return fail(error, "cannot write the video", written);
        }
        if (format->pb->error < 0) {
            return fail(error, "cannot write the video", format->pb->error);
        }
        return true;
    }

    /// Writes every packet the encoder has ready.
    bool drain(std::string& error)
    {
        for (;;) {
            const int received = avcodec_receive_packet(encoder, packet);
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
                return true;
            }
            if (received < 0) {
                return fail(error, "cannot encode a frame", received);
            }
            packet->flags |= AV_PKT_FLAG_KEY;
            if (!writePacket(error)) {
                return false;
            }
        }
    }

    bool openEncoder(std::int32_t width, std::int32_t height, std::string& error)
    {
        const AVCodec* found = avcodec_find_encoder(codecIdOf(codec));
        if (found == nullptr) {
            error = std::string("this FFmpeg has no ") + std::string(codecInfo(codec).title) +
                    " encoder";
            return false;
        }
        encoder = avcodec_alloc_context3(found);
        encoder->width = width;
        encoder->height = height;
        encoder->time_base = kFrameTime;
        encoder->framerate = {kFramesPerSecond, 1};
        encoder->sample_aspect_ratio = {1, 1};
        encoder->pix_fmt = pixelFormatOf(codec);
        encoder->gop_size = 1; // every frame a key frame: players seek to any frame
        encoder->max_b_frames = 0;
        encoder->thread_count = 0;
        if (codec == Codec::Mjpeg || codec == Codec::Mpeg4) {
            encoder->flags |= AV_CODEC_FLAG_QSCALE;
            encoder->global_quality = FF_QP2LAMBDA * kQuantiser;
        }
        encoder->color_range = codec == Codec::Mjpeg ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
        if ((format->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
            encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
        const int opened = avcodec_open2(encoder, found, nullptr);
        if (opened < 0) {
            return fail(error, "cannot start the encoder", opened);
        }
        const int copied = avcodec_parameters_from_context(stream->codecpar, encoder);
        if (copied < 0) {
            return fail(error, "cannot start the encoder", copied);
        }
        return true;
    }
};

VideoWriter::VideoWriter() = default;

VideoWriter::~VideoWriter() = default;

bool VideoWriter::open(const std::string& path, Codec codec, std::int32_t width,
                       std::int32_t height, std::string& error)
{
    m_state = std::make_unique<State>();
    State& s = *m_state;
    s.codec = codec;
    const int allocated = avformat_alloc_output_context2(&s.format, nullptr, "avi", nullptr);
    if (allocated < 0) {
        return s.fail(error, "cannot start the AVI writer", allocated);
    }
    s.stream = avformat_new_stream(s.format, nullptr);
    s.frame = av_frame_alloc();
    s.packet = av_packet_alloc();
    if (s.stream == nullptr || s.frame == nullptr || s.packet == nullptr) {
        return s.fail(error, "cannot start the AVI writer", AVERROR(ENOMEM));
    }
    s.stream->time_base = kFrameTime;
    s.stream->avg_frame_rate = {kFramesPerSecond, 1};
    if (codec == Codec::Raw) {
        AVCodecParameters& p = *s.stream->codecpar;
        p.codec_type = AVMEDIA_TYPE_VIDEO;
        p.codec_id = AV_CODEC_ID_RAWVIDEO;
        p.codec_tag = 0;
        p.format = AV_PIX_FMT_BGR24;
        p.bits_per_coded_sample = 24;
        p.width = width;
        p.height = height;
    } else if (!s.openEncoder(width, height, error)) {
        return false;
    }
    s.frame->format = pixelFormatOf(codec);
    s.frame->width = width;
    s.frame->height = height;
    const int buffered = av_frame_get_buffer(s.frame, 0);
    if (buffered < 0) {
        return s.fail(error, "cannot start the AVI writer", buffered);
    }
    // "file:" keeps a name with a colon in it from being read as a network address.
    const int opened = avio_open(&s.format->pb, ("file:" + path).c_str(), AVIO_FLAG_WRITE);
    if (opened < 0) {
        return s.fail(error, "cannot create " + path, opened);
    }
    // Uncompressed frames go in bottom row first with a positive height, the classic layout
    // that every player reads, rather than the muxer's top-down negative height.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "flipped_raw_rgb", "1", 0);
    const int started = avformat_write_header(s.format, &options);
    av_dict_free(&options);
    if (started < 0 || s.format->pb->error < 0) {
        return s.fail(error, "cannot write the video", started < 0 ? started : s.format->pb->error);
    }
    return true;
}

bool VideoWriter::append(const Picture& picture, std::string& error)
{
    State& s = *m_state;
    const int writable = av_frame_make_writable(s.frame);
    if (writable < 0) {
        return s.fail(error, "cannot encode a frame", writable);
    }
    s.scaler = sws_getCachedContext(s.scaler, picture.width, picture.height, AV_PIX_FMT_RGB24,
                                    s.frame->width, s.frame->height,
                                    static_cast<AVPixelFormat>(s.frame->format),
                                    SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
    if (s.scaler == nullptr) {
        error = "cannot convert a frame";
        return false;
    }
    const std::uint8_t* const source[] = {picture.rgb.data()};
    const int sourceStride[] = {picture.width * 3};
    sws_scale(s.scaler, source, sourceStride, 0, picture.height, s.frame->data, s.frame->linesize);
    const std::int64_t index = s.frames++;
    if (s.codec == Codec::Raw) {
        // Rows bottom first, each padded to a multiple of four bytes.
        const std::size_t rowBytes = static_cast<std::size_t>(s.frame->width) * 3;
        const std::size_t stride = (rowBytes + 3) / 4 * 4;
        const auto rows = static_cast<std::size_t>(s.frame->height);
        const int made = av_new_packet(s.packet, static_cast<int>(stride * rows));
        if (made < 0) {
            return s.fail(error, "cannot encode a frame", made);
        }
        std::memset(s.packet->data, 0, stride * rows);
        for (std::size_t y = 0; y < rows; ++y) {
            std::memcpy(s.packet->data + (rows - 1 - y) * stride,
                        s.frame->data[0] + static_cast<std::ptrdiff_t>(y) * s.frame->linesize[0],
                        rowBytes);
        }
        s.packet->pts = index;
        s.packet->dts = index;
        s.packet->duration = 1;
        s.packet->flags |= AV_PKT_FLAG_KEY;
        return s.writePacket(error);
    }
    s.frame->pts = index;
    s.frame->pict_type = AV_PICTURE_TYPE_I;
    s.frame->quality = s.encoder->global_quality;
    const int sent = avcodec_send_frame(s.encoder, s.frame);
    if (sent < 0) {
        return s.fail(error, "cannot encode a frame", sent);
    }
    return s.drain(error);
}

bool VideoWriter::finish(std::string& error)
{
    State& s = *m_state;
    if (s.encoder != nullptr) {
        const int sent = avcodec_send_frame(s.encoder, nullptr);
        if (sent < 0) {
            return s.fail(error, "cannot encode a frame", sent);
        }
        if (!s.drain(error)) {
            return false;
        }
    }
    const int trailer = av_write_trailer(s.format);
    if (trailer < 0) {
        return s.fail(error, "cannot write the video's index", trailer);
    }
    avio_flush(s.format->pb);
    if (s.format->pb->error < 0) {
        return s.fail(error, "cannot write the video's index", s.format->pb->error);
    }
    const int closed = avio_closep(&s.format->pb);
    if (closed < 0) {
        return s.fail(error, "cannot close the video", closed);
    }
    return true;
}

std::int64_t VideoWriter::frames() const
{
    return m_state ? m_state->frames : 0;
}

} // namespace qv::reelbind
