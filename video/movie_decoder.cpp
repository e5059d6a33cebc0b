// MovieDecoder: FFmpeg's demuxers and decoders, swscale for the conversion to 0x00RRGGBB.
#include "video/movie_decoder.h"

#include <array>
#include <climits>
#include <optional>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

namespace qv {

namespace {

using std::chrono::microseconds;

constexpr microseconds kDefaultFrameDuration{40000};
constexpr AVRational kMicroseconds = {1, 1000000};

std::string errorText(int code)
{
    std::array<char, AV_ERROR_MAX_STRING_SIZE> text{};
    av_strerror(code, text.data(), text.size());
    return text.data();
}

bool validRate(AVRational rate)
{
    return rate.num > 0 && rate.den > 0;
}

// The full-range JPEG formats are deprecated in swscale: the plain format with the range set
// converts the same colours without the library's complaint.
AVPixelFormat plainFormat(AVPixelFormat format, bool& fullRange)
{
    switch (format) {
    case AV_PIX_FMT_YUVJ420P:
        fullRange = true;
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        fullRange = true;
        return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
        fullRange = true;
        return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
        fullRange = true;
        return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
        fullRange = true;
        return AV_PIX_FMT_YUV411P;
    default:
        return format;
    }
}

enum class Step { Frame, PassEnded };

} // namespace

struct MovieDecoder::State
{
    std::string path;
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    SwsContext* scaler = nullptr;
    int stream = -1;
    AVRational timeBase{1, 1};
    microseconds frameDuration = kDefaultFrameDuration;
    bool inputEnded = false;

    // The scaler's source, so that its colour details are set once per change.
    int sourceWidth = 0;
    int sourceHeight = 0;
    int sourceFormat = -1;
    bool sourceFullRange = false;

    std::optional<VideoFrame> first; ///< decoded by open, handed out by the first next()
    std::int64_t passFrames = 0;     ///< frames of the current pass so far
    std::int64_t passFirstPts = 0;
    microseconds passLast{0}; ///< the time of the pass's latest frame, from the pass's start
    microseconds loopOffset{0};

    ~State()
    {
        sws_freeContext(scaler);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }

    bool openInput(std::string& error)
    {
        avformat_close_input(&format);
        // "file:" keeps a name with a colon in it from being read as a network address.
        const int opened = avformat_open_input(&format, ("file:" + path).c_str(), nullptr, nullptr);
        if (opened < 0) {
            error = "cannot open the file: " + errorText(opened);
            return false;
        }
        const int probed = avformat_find_stream_info(format, nullptr);
        if (probed < 0) {
            error = "cannot read the file: " + errorText(probed);
            return false;
        }
        stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (stream < 0) {
            error = "the file holds no video";
            return false;
        }
        inputEnded = false;
        return true;
    }

    bool openCodec(std::string& error)
    {
        const AVStream* s = format->streams[stream];
        const AVCodec* found = avcodec_find_decoder(s->codecpar->codec_id);
        if (found == nullptr) {
            error = "the video's codec cannot be decoded here";
            return false;
        }
        codec = avcodec_alloc_context3(found);
        packet = av_packet_alloc();
        frame = av_frame_alloc();
        if (codec == nullptr || packet == nullptr || frame == nullptr) {
            error = "out of memory";
            return false;
        }
        codec->thread_count = 0; // as many as the machine has: large frames keep their rate
        const int copied = avcodec_parameters_to_context(codec, s->codecpar);
        const int opened = copied < 0 ? copied : avcodec_open2(codec, found, nullptr);
        if (opened < 0) {
            error = "cannot start the video decoder: " + errorText(opened);
            return false;
        }
        timeBase = s->time_base;
        if (validRate(s->avg_frame_rate)) {
            frameDuration =
                microseconds(av_rescale_q(1, av_inv_q(s->avg_frame_rate), kMicroseconds));
        } else if (validRate(s->r_frame_rate)) {
            frameDuration = microseconds(av_rescale_q(1, av_inv_q(s->r_frame_rate), kMicroseconds));
        }
        if (frameDuration <= microseconds(0)) {
            frameDuration = kDefaultFrameDuration;
        }
        return true;
    }

    /// Decodes the next frame of this pass into `frame`. Damaged packets are skipped: the
    /// frames around them still play.
    Step decodeNext()
    {
        for (;;) {
            const int received = avcodec_receive_frame(codec, frame);
            if (received == 0) {
                return Step::Frame;
            }
            // After the flush only the frames the decoder still holds come out.
            if (received == AVERROR_EOF || inputEnded) {
                return Step::PassEnded;
            }
            const int read = av_read_frame(format, packet);
            if (read < 0) {
                inputEnded = true;
                avcodec_send_packet(codec, nullptr);
                continue;
            }
            if (packet->stream_index == stream) {
                avcodec_send_packet(codec, packet);
            }
            av_packet_unref(packet);
        }
    }

    bool convert(VideoFrame& out, std::string& error)
    {
        bool fullRange = frame->color_range == AVCOL_RANGE_JPEG;
        const AVPixelFormat source =
            plainFormat(static_cast<AVPixelFormat>(frame->format), fullRange);
        const int w = frame->width;
        const int h = frame->height;
        if (w <= 0 || h <= 0) {
            error = "a frame has no size";
            return false;
        }
        if (scaler == nullptr || w != sourceWidth || h != sourceHeight || source != sourceFormat ||
            fullRange != sourceFullRange) {
            sws_freeContext(scaler);
            scaler = sws_getContext(w, h, source, w, h, AV_PIX_FMT_BGR0,
                                    SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr,
                                    nullptr, nullptr);
            if (scaler == nullptr) {
                error = "cannot convert the video's pixel format";
                return false;
            }
            const int* coefficients = sws_getCoefficients(SWS_CS_DEFAULT);
            sws_setColorspaceDetails(scaler, coefficients, fullRange ? 1 : 0, coefficients, 1, 0,
                                     1 << 16, 1 << 16);
            sourceWidth = w;
            sourceHeight = h;
            sourceFormat = source;
            sourceFullRange = fullRange;
        }
        out.width = w;
        out.height = h;
        out.pixels.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
        std::array<std::uint8_t*, 4> planes = {reinterpret_cast<std::uint8_t*>(out.pixels.data()),
                                               nullptr, nullptr, nullptr};
        std::array<int, 4> strides = {w * 4, 0, 0, 0};
        sws_scale(scaler, frame->data, frame->linesize, 0, h, planes.data(), strides.data());
        // BGR0 stores the pixel 0x00RRGGBB on a little-endian machine; its fourth byte is the
        // library's to fill, so it is cleared.
        for (std::uint32_t& p : out.pixels) {
            p &= 0x00FFFFFFu;
        }
        return true;
    }

    /// Gives the decoded frame its number and its time, which keeps growing from pass to
    /// pass and never goes backwards even where the file's timestamps do.
    void stamp(VideoFrame& out)
    {
        const std::int64_t pts = frame->best_effort_timestamp;
        microseconds t = passLast + frameDuration;
        if (passFrames == 0) {
            passFirstPts = pts;
            t = microseconds(0);
        } else if (pts != AV_NOPTS_VALUE && passFirstPts != AV_NOPTS_VALUE) {
            const microseconds fromStamps(
                av_rescale_q(pts - passFirstPts, timeBase, kMicroseconds));
            if (fromStamps > passLast) {
                t = fromStamps;
            }
        }
        passLast = t;
        out.number = passFrames++;
        out.time = loopOffset + t;
    }

    bool rewind(std::string& error)
    {
        const AVStream* s = format->streams[stream];
        const std::int64_t start = s->start_time != AV_NOPTS_VALUE ? s->start_time : 0;
        if (av_seek_frame(format, stream, start, AVSEEK_FLAG_BACKWARD) < 0 &&
            avformat_seek_file(format, -1, INT64_MIN, 0, 0, 0) < 0 && !openInput(error)) {
            return false;
        }
        avcodec_flush_buffers(codec);
        inputEnded = false;
        loopOffset += passLast + frameDuration;
        passFrames = 0;
        passLast = microseconds(0);
        return true;
    }

    bool decodeFrame(VideoFrame& out, std::string& error)
    {
        // One rewind per call: a pass that decodes nothing after the rewind ends the file.
        for (int pass = 0; pass < 2; ++pass) {
            if (decodeNext() == Step::Frame) {
                stamp(out);
                return convert(out, error);
            }
            if (passFrames == 0) {
                break;
            }
            if (pass == 0 && !rewind(error)) {
                return false;
            }
        }
        if (error.empty()) {
            error = "the file holds no frame that can be decoded";
        }
        return false;
    }
};

MovieDecoder::MovieDecoder() = default;

MovieDecoder::~MovieDecoder() = default;

bool MovieDecoder::open(const std::string& path, std::string& error)
{
    // The reasons reach the person as text; the library's own lines on stderr would only
    // repeat them where nobody reads them.
    av_log_set_level(AV_LOG_QUIET);
    m_state = std::make_unique<State>();
    State& s = *m_state;
    s.path = path;
    VideoFrame first;
    if (!s.openInput(error) || !s.openCodec(error) || !s.decodeFrame(first, error)) {
        m_state.reset();
        return false;
    }
    s.first = std::move(first);
    return true;
}

bool MovieDecoder::next(VideoFrame& frame, std::string& error)
{
    if (!m_state) {
        error = "no video is open";
        return false;
    }
    if (m_state->first) {
        frame = std::move(*m_state->first);
        m_state->first.reset();
        return true;
    }
    return m_state->decodeFrame(frame, error);
}

std::chrono::microseconds MovieDecoder::frameDuration() const
{
    return m_state ? m_state->frameDuration : kDefaultFrameDuration;
}

} // namespace qv
