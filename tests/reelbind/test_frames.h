// Helpers of the converter's tests: scratch folders, pictures, JPEG and BMP files made here, and
// videos read back through FFmpeg's demuxer and decoders.
#pragma once

#include "reelbind/picture.h"
#include "tests/support/temp_folder.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

extern "C" {
#include <jpeglib.h>
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace qv::reelbind::test {

/// A fresh folder, removed with its contents afterwards.
class ScratchFolder
{
public:
    ScratchFolder()
    {
        static int made = 0;
        m_path = std::filesystem::temp_directory_path() /
                 ("reelbind_test_" + std::to_string(::getpid()) + "_" + std::to_string(made++));
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }

    ~ScratchFolder() { std::filesystem::remove_all(m_path); }

    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }

    std::string file(const std::string& name) const { return (m_path / name).string(); }

    /// The names in the folder, sorted.
    std::vector<std::string> names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_path)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path m_path;
};

inline Picture blank(std::int32_t width, std::int32_t height)
{
    return {width, height, std::vector<std::uint8_t>(std::size_t(width) * height * 3)};
}

/// Top half reddish, bottom half bluish, `green` everywhere: flat areas that lossy codecs keep,
/// an orientation that shows, and a level that tells frames apart.
inline Picture banded(std::int32_t width, std::int32_t height, std::uint8_t green)
{
    Picture p = blank(width, height);
    for (std::size_t i = 0; i < p.rgb.size(); i += 3) {
        const bool top = i / 3 < std::size_t(width) * (height / 2);
        p.rgb[i] = top ? 200 : 30;
        p.rgb[i + 1] = green;
        p.rgb[i + 2] = top ? 30 : 200;
    }
    return p;
}

/// Pseudo-random bytes; `grey` makes the three channels of a pixel equal.
inline Picture noisy(std::int32_t width, std::int32_t height, std::uint32_t seed, bool grey = false)
{
    Picture p = blank(width, height);
    std::uint32_t state = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < p.rgb.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        p.rgb[i] = grey && i % 3 != 0 ? p.rgb[i - i % 3] : std::uint8_t(state >> 24);
    }
    return p;
}

/// The mean absolute difference of two pictures' bytes; 255 when their sizes differ.
inline double meanDifference(const Picture& a, const Picture& b)
{
    if (a.width != b.width || a.height != b.height || a.rgb.empty()) {
        return 255;
    }
    double sum = 0;
    for (std::size_t i = 0; i < a.rgb.size(); ++i) {
        sum += std::abs(int{a.rgb[i]} - int{b.rgb[i]});
    }
    return sum / double(a.rgb.size());
}

/// A JPEG of `components` bytes per pixel in `space` from rows top first (libjpeg).
inline std::vector<std::uint8_t> encodeJpeg(std::int32_t width, std::int32_t height,
                                            const std::uint8_t* pixels, int components = 3,
                                            J_COLOR_SPACE space = JCS_RGB)
{
    jpeg_compress_struct info = {};
    jpeg_error_mgr error = {};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = components;
    info.in_color_space = space;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        auto row = const_cast<JSAMPROW>(pixels + std::size_t(info.next_scanline) * width *
                                                     std::size_t(components));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<std::uint8_t> bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

inline std::vector<std::uint8_t> encodeJpeg(const Picture& p)
{
    return encodeJpeg(p.width, p.height, p.rgb.data());
}

using Bytes = std::vector<std::uint8_t>;

/// A BMP file: header size (12 for the core header), sides (a negative height stores the top
/// row first), bits per pixel, compression, then the palette or masks and the stored rows.
inline Bytes bmpFile(std::uint32_t headerSize, std::int32_t width, std::int32_t height,
                     std::uint32_t bits, std::uint32_t compression, const Bytes& extra,
                     const Bytes& rows)
{
    Bytes b(14 + headerSize + extra.size() + rows.size(), 0);
    const auto put = [&b](std::size_t at, std::uint32_t v, std::size_t bytes) {
        for (std::size_t i = 0; i < bytes; ++i) {
            b[at + i] = std::uint8_t(v >> (8 * i));
        }
    };
    b[0] = 'B';
    b[1] = 'M';
    put(10, std::uint32_t(14 + headerSize + extra.size()), 4);
    put(14, headerSize, 4);
    const std::size_t field = headerSize == 12 ? 2 : 4; // the core header's sides are 16-bit
    put(18, std::uint32_t(width), field);
    put(18 + field, std::uint32_t(height), field);
    put(18 + 2 * field + 2, bits, 2);
    if (headerSize >= 20) {
        put(30, compression, 4);
    }
    std::copy(extra.begin(), extra.end(), b.begin() + 14 + headerSize);
    std::copy(rows.begin(), rows.end(), b.end() - std::ptrdiff_t(rows.size()));
    return b;
}

/// A 24-bit bottom-up BMP of the picture.
inline Bytes encodeBmp(const Picture& p)
{
    const std::size_t width = std::size_t(p.width);
    const std::size_t height = std::size_t(p.height);
    const std::size_t stride = (width * 3 + 3) / 4 * 4;
    Bytes rows(stride * height, 0);
    for (std::size_t y = 0; y < height; ++y) {
        for (std::size_t x = 0; x < width * 3; ++x) {
            rows[(height - 1 - y) * stride + x] = p.rgb[y * width * 3 + x / 3 * 3 + 2 - x % 3];
        }
    }
    return bmpFile(40, p.width, p.height, 24, 0, {}, rows);
}

using qv::test::readBytes;
using qv::test::writeBytes;

/// What FFmpeg reads back from a video.
struct VideoRead
{
    std::string codec;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int64_t streams = 0;
    std::int64_t framesInHeader = 0;
    double seconds = 0;
    double framesPerSecond = 0;
    std::int64_t keyPackets = 0;
    std::vector<Picture> frames; // decoded, as RGB
};

inline VideoRead readVideo(const std::string& path)
{
    VideoRead read;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) {
        return read;
    }
    const std::unique_ptr<AVFormatContext*, void (*)(AVFormatContext**)> closeFormat(
        &format, avformat_close_input);
    if (avformat_find_stream_info(format, nullptr) < 0 || format->nb_streams < 1) {
        return read;
    }
    const AVStream& stream = *format->streams[0];
    read = {avcodec_get_name(stream.codecpar->codec_id),
            stream.codecpar->width,
            stream.codecpar->height,
            format->nb_streams,
            stream.nb_frames,
            double(stream.duration) * av_q2d(stream.time_base),
            av_q2d(stream.avg_frame_rate),
            0,
            {}};
    AVCodecContext* decoder =
        avcodec_alloc_context3(avcodec_find_decoder(stream.codecpar->codec_id));
    avcodec_parameters_to_context(decoder, stream.codecpar);
    avcodec_open2(decoder, decoder->codec, nullptr);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const auto receive = [&] {
        while (avcodec_receive_frame(decoder, frame) == 0) {
            Picture p = blank(frame->width, frame->height);
            SwsContext* toRgb = sws_getContext(
                frame->width, frame->height, AVPixelFormat(frame->format), frame->width,
                frame->height, AV_PIX_FMT_RGB24, SWS_POINT | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT,
                nullptr, nullptr, nullptr);
            std::uint8_t* out[] = {p.rgb.data()};
            const int stride[] = {frame->width * 3};
            sws_scale(toRgb, frame->data, frame->linesize, 0, frame->height, out, stride);
            sws_freeContext(toRgb);
            read.frames.push_back(std::move(p));
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        read.keyPackets += (packet->flags & AV_PKT_FLAG_KEY) != 0 ? 1 : 0;
        avcodec_send_packet(decoder, packet);
        av_packet_unref(packet);
        receive();
    }
    avcodec_send_packet(decoder, nullptr);
    receive();
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    return read;
}

} // namespace qv::reelbind::test
