// The video writer: every codec read back by FFmpeg at its size, frame count, rate and
// orientation; the lossless ones to the exact pixels; the lossy ones at a high fixed quality.
#include "reelbind/video_writer.h"
#include "tests/reelbind/test_frames.h"

#include <gtest/gtest.h>

namespace qv::reelbind {
namespace {

using test::banded;
using test::meanDifference;

struct CodecCase
{
    Codec codec;
    const char* ffmpegName;
    bool exact;
};

constexpr CodecCase kCodecCases[] = {
    {Codec::Mjpeg, "mjpeg", false},
    {Codec::Mpeg4, "mpeg4", false},
    {Codec::Ffv1, "ffv1", true},
    {Codec::Raw, "rawvideo", true},
};

struct Size
{
    std::int32_t width;
    std::int32_t height;
};

// Odd sides, and a width whose uncompressed rows need padding (3 x 1366 = 4098 bytes).
constexpr Size kSizes[] = {{321, 241}, {1366, 8}};

std::string writeVideo(const test::ScratchFolder& folder, Codec codec,
                       const std::vector<Picture>& pictures)
{
    const std::string path = folder.file("v.avi");
    VideoWriter writer;
    std::string error;
    EXPECT_TRUE(writer.open(path, codec, pictures[0].width, pictures[0].height, error)) << error;
    for (const Picture& p : pictures) {
        EXPECT_TRUE(writer.append(p, error)) << error;
    }
    EXPECT_TRUE(writer.finish(error)) << error;
    EXPECT_EQ(writer.frames(), static_cast<std::int64_t>(pictures.size()));
    return path;
}

TEST(VideoWriter, EveryCodecKeepsSizeFrameCountRateAndOrientation)
{
    for (const CodecCase& c : kCodecCases) {
        for (const Size& size : kSizes) {
            SCOPED_TRACE(std::string(c.ffmpegName) + " " + std::to_string(size.width) + "x" +
                         std::to_string(size.height));
            test::ScratchFolder folder;
            const std::vector<Picture> pictures = {banded(size.width, size.height, 40),
                                                   banded(size.width, size.height, 120),
                                                   banded(size.width, size.height, 240)};
            const test::VideoRead read = test::readVideo(writeVideo(folder, c.codec, pictures));
            ASSERT_TRUE(read.opened);
            EXPECT_EQ(read.streams, 1);
            EXPECT_EQ(read.codec, c.ffmpegName);
            EXPECT_EQ(read.width, size.width);
            EXPECT_EQ(read.height, size.height);
            EXPECT_EQ(read.framesInHeader, 3);
            EXPECT_EQ(read.keyPackets, 3);
            EXPECT_DOUBLE_EQ(read.framesPerSecond, 25.0);
            ASSERT_EQ(read.frames.size(), 3u);
            for (std::size_t i = 0; i < 3; ++i) {
                // Upright and in order: a frame upside down differs by some 110, one swapped
                // for its neighbour by 50 or more.
                const double difference = meanDifference(read.frames[i], pictures[i]);
                if (c.exact) {
                    EXPECT_EQ(difference, 0.0) << "frame " << i;
                } else {
                    EXPECT_LT(difference, 8.0) << "frame " << i;
                }
            }
        }
    }
}

TEST(VideoWriter, LosslessCodecsKeepEveryPixelOfANoisyPicture)
{
    for (const Codec codec : {Codec::Ffv1, Codec::Raw}) {
        test::ScratchFolder folder;
        const std::vector<Picture> pictures = {test::noisy(33, 17, 1), test::noisy(33, 17, 2)};
        const test::VideoRead read = test::readVideo(writeVideo(folder, codec, pictures));
        ASSERT_EQ(read.frames.size(), 2u);
        EXPECT_EQ(read.frames[0].rgb, pictures[0].rgb);
        EXPECT_EQ(read.frames[1].rgb, pictures[1].rgb);
    }
}

// Grey noise (no colour for the chroma subsampling to lose): at the libraries' default bit
// rate the sixth frame comes back with a mean error of 5 to 9, at the fixed quantiser near 2.
TEST(VideoWriter, LossyCodecsKeepDetailAtTheirFixedQuantiser)
{
    for (const Codec codec : {Codec::Mjpeg, Codec::Mpeg4}) {
        test::ScratchFolder folder;
        std::vector<Picture> pictures;
        for (std::uint32_t seed = 0; seed < 6; ++seed) {
            pictures.push_back(test::noisy(320, 240, seed));
        }
        for (Picture& p : pictures) {
            for (std::size_t i = 0; i < p.rgb.size(); i += 3) {
                p.rgb[i + 1] = p.rgb[i];
                p.rgb[i + 2] = p.rgb[i];
            }
        }
        const test::VideoRead read = test::readVideo(writeVideo(folder, codec, pictures));
        ASSERT_EQ(read.frames.size(), 6u);
        EXPECT_LT(meanDifference(read.frames[5], pictures[5]), 3.5) << codecInfo(codec).name;
    }
}

TEST(VideoWriter, APictureOfAnotherSizeIsScaledToTheVideo)
{
    test::ScratchFolder folder;
    const std::vector<Picture> pictures = {banded(32, 24, 90), banded(64, 48, 90),
                                           banded(8, 6, 90)};
    const test::VideoRead read = test::readVideo(writeVideo(folder, Codec::Ffv1, pictures));
    ASSERT_EQ(read.frames.size(), 3u);
    EXPECT_LT(meanDifference(read.frames[1], pictures[0]), 10.0);
    EXPECT_LT(meanDifference(read.frames[2], pictures[0]), 10.0);
}

TEST(VideoWriter, CodecNamesAreTheCommandLines)
{
    ASSERT_EQ(codecs().size(), 4u);
    EXPECT_EQ(codecs()[0].codec, Codec::Mjpeg);
    for (const CodecInfo& info : codecs()) {
        EXPECT_EQ(codecByName(info.name), info.codec);
        EXPECT_EQ(codecInfo(info.codec).name, info.name);
    }
    EXPECT_EQ(codecByName("MJPEG"), std::nullopt);
    EXPECT_EQ(codecByName(""), std::nullopt);
}

} // namespace
} // namespace qv::reelbind
