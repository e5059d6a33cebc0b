// MovieDecoder: every codec the converter writes decodes to the frames written, in order and
// on time, loops with growing times, and refuses what is no video.
#include "tests/video/test_videos.h"
#include "video/movie_decoder.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qv {
namespace {

using std::chrono::microseconds;
using test::TestCodec;

// A fresh folder with a space in its name, removed at the end.
struct TempFolder
{
    TempFolder()
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "qv movies XXXXXX").string();
        path = mkdtemp(pattern.data());
    }

    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }

    std::string file(const std::string& name) const { return (path / name).string(); }

    std::filesystem::path path;
};

struct CodecCase
{
    const char* name;
    TestCodec codec;
    int tolerance; // per channel: exact for the lossless codecs
    int width;
    int height;
};

class EveryCodec : public ::testing::TestWithParam<CodecCase>
{
};

TEST_P(EveryCodec, DecodesTheFramesWrittenInOrderOnTimeThenLoops)
{
    const CodecCase c = GetParam();
    TempFolder folder;
    const std::string path = folder.file("zoom movie.avi");
    ASSERT_TRUE(test::writeTestVideo(path, c.codec, 5, c.width, c.height, 25));
    MovieDecoder decoder;
    std::string error;
    ASSERT_TRUE(decoder.open(path, error)) << error;
    EXPECT_EQ(decoder.frameDuration(), microseconds(40000));
    // Two passes and a little: the numbers start again, the times go on.
    for (std::int64_t k = 0; k < 12; ++k) {
        VideoFrame frame;
        ASSERT_TRUE(decoder.next(frame, error)) << error;
        const std::int64_t n = k % 5;
        EXPECT_EQ(frame.number, n);
        EXPECT_EQ(frame.time, microseconds(40000 * k));
        ASSERT_EQ(frame.width, c.width);
        ASSERT_EQ(frame.height, c.height);
        const auto at = [&](int x, int y) {
            return frame.pixels[static_cast<std::size_t>(y * c.width + x)];
        };
        // Away from the edge between the halves, where lossy codecs blur.
        for (int x : {1, c.width / 2, c.width - 2}) {
            EXPECT_TRUE(test::closeColours(at(x, 1), test::topColour(n), c.tolerance))
                << "frame " << k << " top " << std::hex << at(x, 1);
            EXPECT_TRUE(test::closeColours(at(x, c.height - 2), test::bottomColour(n), c.tolerance))
                << "frame " << k << " bottom " << std::hex << at(x, c.height - 2);
        }
        EXPECT_EQ(at(0, 0) >> 24, 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(MovieDecoder, EveryCodec,
                         ::testing::Values(CodecCase{"Raw", TestCodec::Raw, 0, 33, 17},
                                           CodecCase{"Ffv1", TestCodec::Ffv1, 0, 32, 24},
                                           CodecCase{"Mjpeg", TestCodec::Mjpeg, 12, 32, 24},
                                           CodecCase{"Mpeg4", TestCodec::Mpeg4, 12, 32, 24}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MovieDecoder, TimesFollowTheFilesFrameRate)
{
    TempFolder folder;
    const std::string path = folder.file("ten.avi");
    ASSERT_TRUE(test::writeTestVideo(path, TestCodec::Ffv1, 2, 16, 16, 10));
    MovieDecoder decoder;
    std::string error;
    ASSERT_TRUE(decoder.open(path, error)) << error;
    EXPECT_EQ(decoder.frameDuration(), microseconds(100000));
    std::vector<microseconds> times;
    for (int k = 0; k < 5; ++k) {
        VideoFrame frame;
        ASSERT_TRUE(decoder.next(frame, error)) << error;
        times.push_back(frame.time);
    }
    EXPECT_EQ(times, (std::vector<microseconds>{microseconds(0), microseconds(100000),
                                                microseconds(200000), microseconds(300000),
                                                microseconds(400000)}));
}

TEST(MovieDecoder, ASingleFrameLoopsOnItself)
{
    TempFolder folder;
    const std::string path = folder.file("still: one.avi");
    ASSERT_TRUE(test::writeTestVideo(path, TestCodec::Mjpeg, 1));
    MovieDecoder decoder;
    std::string error;
    ASSERT_TRUE(decoder.open(path, error)) << error;
    for (std::int64_t k = 0; k < 3; ++k) {
        VideoFrame frame;
        ASSERT_TRUE(decoder.next(frame, error)) << error;
        EXPECT_EQ(frame.number, 0);
        EXPECT_EQ(frame.time, microseconds(40000 * k));
    }
}

TEST(MovieDecoder, RefusesWhatIsNoPlayableVideo)
{
    TempFolder folder;
    const std::string good = folder.file("good.avi");
    ASSERT_TRUE(test::writeTestVideo(good, TestCodec::Mjpeg, 3));
    std::ifstream in(good, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto write = [&](const std::string& name, const std::string& content) {
        std::ofstream(folder.file(name), std::ios::binary) << content;
        return folder.file(name);
    };
    // Every frame's bytes spoilt, the file's structure kept: the frames are there but none
    // decodes.
    std::string damaged = bytes;
    for (std::size_t at = damaged.find("00dc"); at != std::string::npos;
         at = damaged.find("00dc", at + 8)) {
        const std::size_t size =
            static_cast<unsigned char>(damaged[at + 4]) |
            static_cast<std::size_t>(static_cast<unsigned char>(damaged[at + 5])) << 8;
        for (std::size_t i = at + 8; i < std::min(at + 8 + size, damaged.size()); ++i) {
            damaged[i] = static_cast<char>(0x55);
        }
    }
    const std::vector<std::string> refused = {
        folder.file("missing.avi"),
        write("empty.avi", ""),
        write("text.avi", "not a video at all\n"),
        write("cut.avi", bytes.substr(0, 300)),
        write("damaged.avi", damaged),
        folder.path.string(),
    };
    for (const std::string& path : refused) {
        MovieDecoder decoder;
        std::string error;
        EXPECT_FALSE(decoder.open(path, error)) << path;
        EXPECT_FALSE(error.empty()) << path;
        VideoFrame frame;
        EXPECT_FALSE(decoder.next(frame, error)) << path;
    }
}

} // namespace
} // namespace qv
