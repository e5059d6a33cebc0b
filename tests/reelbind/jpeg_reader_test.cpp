// The JPEG reader: good files decode upright at their size; damaged, oversized and
// unconvertible ones are refused with libjpeg's reason instead of ending the program.
#include "reelbind/jpeg_reader.h"
#include "tests/reelbind/test_frames.h"

#include <jpeglib.h>

#include <gtest/gtest.h>

namespace qv::reelbind {
namespace {

/// A JPEG of a flat grey or CMYK picture, for the colour spaces the tests' RGB encoder lacks.
std::vector<std::uint8_t> flatJpeg(std::int32_t width, std::int32_t height, int components,
                                   J_COLOR_SPACE space)
{
    jpeg_compress_struct info = {};
    jpeg_error_mgr error = {};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = space;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width * components), 90);
    while (info.next_scanline < info.image_height) {
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&info, &pointer, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<std::uint8_t> bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

TEST(JpegReader, DecodesUprightAtItsSize)
{
    const Picture p = test::banded(21, 13, 70);
    std::string error;
    const std::optional<Picture> read = decodeJpeg(test::encodeJpeg(p, 100), error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(read->width, 21);
    EXPECT_EQ(read->height, 13);
    EXPECT_LT(test::meanDifference(*read, p), 8.0); // some 110 upside down
}

TEST(JpegReader, GreyPicturesBecomeRgb)
{
    std::string error;
    const std::optional<Picture> read = decodeJpeg(flatJpeg(8, 4, 1, JCS_GRAYSCALE), error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(read->rgb, std::vector<std::uint8_t>(8 * 4 * 3, 90));
}

TEST(JpegReader, FilesThatDoNotDecodeCleanlyAreRefusedWithLibjpegsReason)
{
    const std::vector<std::uint8_t> whole = test::encodeJpeg(test::noisy(64, 64, 1));
    std::vector<std::uint8_t> corrupt = whole;
    for (std::size_t i = whole.size() / 3; i < whole.size() - 2; i += 7) {
        corrupt[i] = 0xff; // markers in the middle of the entropy-coded data
    }

    struct Case
    {
        const char* name;
        std::vector<std::uint8_t> file;
    };

    const Case cases[] = {
        {"empty", {}},
        {"not a JPEG", {'B', 'M', 0, 0, 0, 0}},
        {"truncated after its header", {whole.begin(), whole.begin() + whole.size() / 2}},
        {"corrupt data", corrupt},
        {"CMYK, which has no RGB conversion", flatJpeg(8, 8, 4, JCS_CMYK)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        EXPECT_FALSE(decodeJpeg(c.file, error));
        EXPECT_FALSE(error.empty());
    }
}

TEST(JpegReader, SidesAboveTheLimitAreRefusedBeforeDecoding)
{
    std::string error;
    EXPECT_FALSE(decodeJpeg(flatJpeg(16385, 1, 1, JCS_GRAYSCALE), error));
    EXPECT_NE(error.find("16385x1"), std::string::npos) << error;
    EXPECT_TRUE(decodeJpeg(flatJpeg(16384, 1, 1, JCS_GRAYSCALE), error)) << error;
}

} // namespace
} // namespace qv::reelbind
