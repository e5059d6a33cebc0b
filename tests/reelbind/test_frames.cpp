// Helpers of the converter's tests: scratch folders, pictures, JPEG and BMP files, read-back.
#include "tests/reelbind/test_frames.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <unistd.h>

#include <gtest/gtest.h>

extern "C" {
#include <jpeglib.h>
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace qv::reelbind::test {

ScratchFolder::ScratchFolder()
{
    static int made = 0;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("reelbind_") + info->test_suite_name() + "_" + info->name() +
                       "_" + std::to_string(::getpid()) + "_" + std::to_string(made++);
    std::replace(name.begin(), name.end(), '/', '_');
    m_path = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::vector<std::string> ScratchFolder::names() const
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_path)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

Picture blank(std::int32_t width, std::int32_t height)
{
    Picture p{width, height, {}};
    p.rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    return p;
}

} // namespace

Picture banded(std::int32_t width, std::int32_t height, std::uint8_t green)
{
    Picture p = blank(width, height);
    for (std::int32_t y = 0; y < height; ++y) {
        const bool top = y < height / 2;
        for (std::int32_t x = 0; x < width; ++x) {
            std::uint8_t* px = &p.rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            px[0] = top ? 200 : 30;
            px[1] = green;
            px[2] = top ? 30 : 200;
        }
    }
    return p;
}

Picture noisy(std::int32_t width, std::int32_t height, std::uint32_t seed)
{
    Picture p = blank(width, height);
    std::uint32_t state = seed * 2654435761u + 1;
    for (std::uint8_t& byte : p.rgb) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    return p;
}

double meanDifference(const Picture& a, const Picture& b)
{
    if (a.width != b.width || a.height != b.height || a.rgb.empty()) {
        return 255;
    }
    double sum = 0;
    for (std::size_t i = 0; i < a.rgb.size(); ++i) {
        sum += std::abs(int{a.rgb[i]} - int{b.rgb[i]});
    }
    return sum / static_cast<double>(a.rgb.size());
}

std::vector<std::uint8_t> encodeJpeg(const Picture& picture, int quality)
{
    jpeg_compress_struct info = {};
    jpeg_error_mgr error = {};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(picture.width);
    info.image_height = static_cast<JDIMENSION>(picture.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        auto* row = const_cast<JSAMPROW>(picture.rgb.data() +
                                         std::size_t{info.next_scanline} * picture.width * 3);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<std::uint8_t> bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

std::vector<std::uint8_t> encodeBmp(const Picture& picture)
{
    const std::size_t stride = (static_cast<std::size_t>(picture.width) * 3 + 3) / 4 * 4;
    const std::size_t size = 54 + stride * static_cast<std::size_t>(picture.height);
    std::vector<std::uint8_t> b(size, 0);
    const auto put = [&b](std::size_t at, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
        }
    };
    b[0] = 'B';
    b[1] = 'M';
    put(2, static_cast<std::uint32_t>(size), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, static_cast<std::uint32_t>(picture.width), 4);
    put(22, static_cast<std::uint32_t>(picture.height), 4);
    put(26, 1, 2);
    put(28, 24, 2);
    for (std::int32_t y = 0; y < picture.height; ++y) {
        const std::uint8_t* in = &picture.rgb[static_cast<std::size_t>(y) * picture.width * 3];
        std::uint8_t* out = &b[54 + static_cast<std::size_t>(picture.height - 1 - y) * stride];
        for (std::int32_t x = 0; x < picture.width; ++x) {
            out[x * 3] = in[x * 3 + 2];
            out[x * 3 + 1] = in[x * 3 + 1];
            out[x * 3 + 2] = in[x * 3];
        }
    }
    return b;
}

void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

namespace {

/// Appends a decoded frame to `read`, converted to RGB.
void keepFrame(const AVFrame& frame, VideoRead& read)
{
    Picture p = blank(frame.width, frame.height);
    SwsContext* convert = sws_getContext(
        frame.width, frame.height, static_cast<AVPixelFormat>(frame.format), frame.width,
        frame.height, AV_PIX_FMT_RGB24, SWS_POINT | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr,
        nullptr, nullptr);
    std::uint8_t* out[] = {p.rgb.data()};
    const int stride[] = {frame.width * 3};
    sws_scale(convert, frame.data, frame.linesize, 0, frame.height, out, stride);
    sws_freeContext(convert);
    read.frames.push_back(std::move(p));
}

} // namespace

VideoRead readVideo(const std::string& path)
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
    read.opened = true;
    read.streams = format->nb_streams;
    const AVStream* stream = format->streams[0];
    read.codec = avcodec_get_name(stream->codecpar->codec_id);
    read.width = stream->codecpar->width;
    read.height = stream->codecpar->height;
    read.framesInHeader = stream->nb_frames;
    read.seconds = static_cast<double>(stream->duration) * av_q2d(stream->time_base);
    read.framesPerSecond = av_q2d(stream->avg_frame_rate);

    AVCodecContext* decoder =
        avcodec_alloc_context3(avcodec_find_decoder(stream->codecpar->codec_id));
    avcodec_parameters_to_context(decoder, stream->codecpar);
    avcodec_open2(decoder, decoder->codec, nullptr);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const auto receive = [&] {
        while (avcodec_receive_frame(decoder, frame) == 0) {
            keepFrame(*frame, read);
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
