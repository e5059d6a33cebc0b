// The JPEG reader: what decodes and what is refused with libjpeg's reason instead of ending
// the program.
#include "reelbind/jpeg_reader.h"
#include "tests/reelbind/test_frames.h"

namespace qv::reelbind {
namespace {

TEST(JpegReader, DecodesUprightAndTurnsGreyIntoRgb)
{
    const Picture p = test::banded(21, 13, 70);
    std::string error;
    EXPECT_LT(test::meanDifference(decodeJpeg(test::encodeJpeg(p), error).value_or(Picture{}), p),
              8.0) // some 110 upside down
        << error;
    const std::vector<std::uint8_t> grey(8 * 4, 90);
    const auto read = decodeJpeg(test::encodeJpeg(8, 4, grey.data(), 1, JCS_GRAYSCALE), error);
    EXPECT_EQ(read.value_or(Picture{}).rgb, std::vector<std::uint8_t>(8 * 4 * 3, 90)) << error;
}

TEST(JpegReader, FilesThatDoNotDecodeCleanlyAreRefused)
{
    const std::vector<std::uint8_t> whole = test::encodeJpeg(test::noisy(64, 64, 1));
    const std::vector<std::uint8_t> cmyk(8 * 8 * 4, 90);
    const std::vector<std::uint8_t> line(16385, 90);
    const std::pair<const char*, std::vector<std::uint8_t>> cases[] = {
        {"empty", {}},
        {"not a JPEG", {'B', 'M', 0, 0, 0, 0}},
        // Decodes with a warning only: a grey lower half that must not become a frame.
        {"truncated in its data", {whole.begin(), whole.begin() + whole.size() / 2}},
        {"CMYK, which has no RGB conversion", test::encodeJpeg(8, 8, cmyk.data(), 4, JCS_CMYK)},
        {"16385 wide", test::encodeJpeg(16385, 1, line.data(), 1, JCS_GRAYSCALE)},
    };
    for (const auto& [name, file] : cases) {
        std::string error;
        EXPECT_FALSE(decodeJpeg(file, error)) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
    std::string error;
    EXPECT_TRUE(decodeJpeg(test::encodeJpeg(16384, 1, line.data(), 1, JCS_GRAYSCALE), error));
}

} // namespace
} // namespace qv::reelbind
