// MovieDecoder: every codec the converter writes decodes to the frames written, in order and
// on time, loops with growing times, and what is no playable video is refused with a reason.
#include "tests/video/test_videos.h"
#include "video/movie_decoder.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

namespace qv {
namespace {

using std::chrono::microseconds;
using test::TestCodec;

// A fresh folder with a space in its name, removed at the end.
struct TempFolder
{
    std::filesystem::path path = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "qv movies XXXXXX");
        return std::filesystem::path(mkdtemp(pattern.data()));
    }();

    ~TempFolder() { std::filesystem::remove_all(path); }

    std::string file(const std::string& name) const { return (path / name).string(); }
};

TEST(MovieDecoder, EveryCodecDecodesTheFramesWrittenOnTimeAndLoops)
{
    struct Case
    {
        TestCodec codec;
        int tolerance; // per channel: exact for the lossless codecs
        int width, height, frames, fps;
    };

    const Case cases[] = {
        {TestCodec::Raw, 0, 32, 24, 5, 25},    {TestCodec::Ffv1, 0, 33, 17, 5, 10},
        {TestCodec::Mjpeg, 12, 32, 24, 5, 25}, {TestCodec::Mpeg4, 12, 32, 24, 5, 25},
        {TestCodec::Mjpeg, 12, 16, 16, 1, 25}, // a single frame loops on itself
    };
    TempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.codec));
        const std::string path = folder.file("zoom: movie.avi");
        ASSERT_TRUE(test::writeTestVideo(path, c.codec, c.frames, c.width, c.height, c.fps));
        MovieDecoder decoder;
        std::string error;
        ASSERT_TRUE(decoder.open(path, error)) << error;
        const microseconds frameTime(1000000 / c.fps);
        EXPECT_EQ(decoder.frameDuration(), frameTime);
        // Two passes and a little: the numbers start again, the times go on.
        for (std::int64_t k = 0; k < 2 * c.frames + 2; ++k) {
            VideoFrame frame;
            ASSERT_TRUE(decoder.next(frame, error)) << error;
            const std::int64_t n = k % c.frames;
            EXPECT_EQ(frame.number, n);
            EXPECT_EQ(frame.time, k * frameTime);
            ASSERT_EQ(frame.width, c.width);
            ASSERT_EQ(frame.height, c.height);
            // Away from the edge between the halves, where lossy codecs blur.
            for (int x : {1, c.width / 2, c.width - 2}) {
                const std::uint32_t top = frame.pixels[static_cast<std::size_t>(c.width + x)];
                const std::uint32_t bottom =
                    frame.pixels[static_cast<std::size_t>((c.height - 2) * c.width + x)];
                EXPECT_TRUE(test::closeColours(top, test::topColour(n), c.tolerance)) << top;
                EXPECT_TRUE(test::closeColours(bottom, test::bottomColour(n), c.tolerance));
                EXPECT_EQ(top >> 24, 0u);
            }
        }
    }
}

TEST(MovieDecoder, RefusesWhatIsNoPlayableVideo)
{
    TempFolder folder;
    const std::string good = folder.file("good.avi");
    ASSERT_TRUE(test::writeTestVideo(good, TestCodec::Mjpeg, 3));
    std::ifstream in(good, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Every frame's bytes spoilt, the file's structure kept: the frames are there but none
    // decodes.
    std::string damaged = bytes;
    for (std::size_t at = damaged.find("00dc"); at != std::string::npos;
         at = damaged.find("00dc", at + 8)) {
        const std::size_t size =
            static_cast<unsigned char>(damaged[at + 4]) |
            static_cast<std::size_t>(static_cast<unsigned char>(damaged[at + 5])) << 8;
        const std::size_t spoilt = std::min(size, damaged.size() - at - 8);
        damaged.replace(at + 8, spoilt, spoilt, '\x55');
    }
    const std::pair<const char*, std::string> written[] = {{"empty.avi", ""},
                                                           {"text.avi", "not a video\n"},
                                                           {"cut.avi", bytes.substr(0, 300)},
                                                           {"damaged.avi", damaged}};
    std::vector<std::string> refused = {folder.file("missing.avi"), folder.path.string()};
    for (const auto& [name, content] : written) {
        std::ofstream(folder.file(name), std::ios::binary) << content;
        refused.push_back(folder.file(name));
    }
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
