// The video writer: every codec read back by FFmpeg at its size, frame count, rate and
// orientation, the lossless ones to the exact pixels, the lossy ones at a high fixed quality.
#include "reelbind/video_writer.h"
#include "tests/reelbind/test_frames.h"

#include <tuple>

namespace qv::reelbind {
namespace {

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
    return path;
}

TEST(VideoWriter, EveryCodecKeepsSizeFrameCountRateOrientationAndOrder)
{
    // The name FFmpeg reads back, and the mean difference per byte allowed.
    const std::tuple<Codec, const char*, double> codecCases[] = {{Codec::Mjpeg, "mjpeg", 8},
                                                                 {Codec::Mpeg4, "mpeg4", 8},
                                                                 {Codec::Ffv1, "ffv1", 0},
                                                                 {Codec::Raw, "rawvideo", 0}};

    // Odd sides, and uncompressed rows that need padding (3 x 1366 = 4098 bytes).
    const std::pair<std::int32_t, std::int32_t> sizes[] = {{321, 241}, {1366, 8}};
    for (const auto& [codec, ffmpegName, tolerance] : codecCases) {
        for (const auto& [width, height] : sizes) {
            SCOPED_TRACE(std::string(ffmpegName) + " " + std::to_string(width));
            test::ScratchFolder folder;
            const std::vector<Picture> pictures = {test::banded(width, height, 40),
                                                   test::banded(width, height, 120),
                                                   test::banded(width, height, 240)};
            const test::VideoRead read = test::readVideo(writeVideo(folder, codec, pictures));
            EXPECT_EQ(std::tuple(read.codec, read.width, read.height, read.framesPerSecond),
                      std::tuple(std::string(ffmpegName), width, height, 25.0));
            // One stream of three frames, each a key frame.
            EXPECT_EQ(std::tuple(read.streams, read.framesInHeader, read.keyPackets),
                      std::tuple(1, 3, 3));
            ASSERT_EQ(read.frames.size(), 3u);
            for (std::size_t i = 0; i < 3; ++i) {
                // Upside down a frame differs by some 110, swapped for its neighbour by 50.
                EXPECT_LE(test::meanDifference(read.frames[i], pictures[i]), tolerance) << i;
            }
        }
    }
}

// Grey noise, which chroma subsampling leaves alone: at the libraries' default bit rate the
// sixth frame comes back with a mean error of 5 to 9, at the fixed quantiser near 2.
TEST(VideoWriter, LossyCodecsKeepDetailAtTheirFixedQuantiser)
{
    for (const Codec codec : {Codec::Mjpeg, Codec::Mpeg4}) {
        test::ScratchFolder folder;
        std::vector<Picture> pictures;
        for (std::uint32_t seed = 0; seed < 6; ++seed) {
            pictures.push_back(test::noisy(320, 240, seed, true));
        }
        const test::VideoRead read = test::readVideo(writeVideo(folder, codec, pictures));
        ASSERT_EQ(read.frames.size(), 6u);
        EXPECT_LT(test::meanDifference(read.frames[5], pictures[5]), 3.5) << int(codec);
    }
}

} // namespace
} // namespace qv::reelbind
