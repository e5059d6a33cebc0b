// The BMP reader: every layout it reads gives the same pixels; damaged or unsupported files
// are refused with a reason.
#include "reelbind/bmp_reader.h"
#include "tests/reelbind/test_frames.h"

#include <gtest/gtest.h>

namespace qv::reelbind {
namespace {

/// A 3 x 2 picture: top row red, green, blue; bottom row white, black, grey.
const Picture kExpected = {
    3, 2, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 128, 128, 128}};

/// A BMP file from its parts: the header fields that vary, the palette or masks that follow
/// the header, and the pixel rows as stored (already padded, in file order).
std::vector<std::uint8_t> bmp(std::uint32_t headerSize, std::int32_t height, std::uint16_t bits,
                              std::uint32_t compression, const std::vector<std::uint8_t>& extra,
                              const std::vector<std::uint8_t>& rows)
{
    std::vector<std::uint8_t> b(14 + headerSize, 0);
    const auto put = [&b](std::size_t at, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
        }
    };
    b[0] = 'B';
    b[1] = 'M';
    put(10, static_cast<std::uint32_t>(14 + headerSize + extra.size()), 4);
    put(14, headerSize, 4);
    if (headerSize == 12) {
        put(18, 3, 2);
        put(20, static_cast<std::uint32_t>(height), 2);
        put(22, 1, 2);
        put(24, bits, 2);
    } else {
        put(18, 3, 4);
        put(22, static_cast<std::uint32_t>(height), 4);
        put(26, 1, 2);
        put(28, bits, 2);
        put(30, compression, 4);
    }
    b.insert(b.end(), extra.begin(), extra.end());
    b.insert(b.end(), rows.begin(), rows.end());
    return b;
}

// Palette of the 1-, 4- and 8-bit cases: 0 red, 1 green, 2 blue, 3 white, 4 black, 5 grey
// (blue, green, red, reserved).
const std::vector<std::uint8_t> kPalette = {0,   0,   255, 0, 0, 255, 0, 0, 255, 0,   0,   0,
                                            255, 255, 255, 0, 0, 0,   0, 0, 128, 128, 128, 0};

TEST(BmpReader, EveryLayoutGivesTheSamePixels)
{
    struct Case
    {
        const char* name;
        std::vector<std::uint8_t> file;
    };

    const Case cases[] = {
        {"24 bits, bottom row first",
         bmp(40, 2, 24, 0, {}, {255, 255, 255, 0, 0,   0, 128, 128, 128, 0, 0, 0,
                                0,   0,   255, 0, 255, 0, 255, 0,   0,   0, 0, 0})},
        {"24 bits, top row first",
         bmp(40, -2, 24, 0, {}, {0,   0,   255, 0, 255, 0, 255, 0,   0,   0, 0, 0,
                                 255, 255, 255, 0, 0,   0, 128, 128, 128, 0, 0, 0})},
        {"24 bits, version 5 header",
         bmp(124, 2, 24, 0, {}, {255, 255, 255, 0, 0,   0, 128, 128, 128, 0, 0, 0,
                                 0,   0,   255, 0, 255, 0, 255, 0,   0,   0, 0, 0})},
        {"24 bits, core header",
         bmp(12, 2, 24, 0, {}, {255, 255, 255, 0, 0,   0, 128, 128, 128, 0, 0, 0,
                                0,   0,   255, 0, 255, 0, 255, 0,   0,   0, 0, 0})},
        {"32 bits", bmp(40, 2, 32, 0, {}, {255, 255, 255, 0, 0, 0,   0, 0, 128, 128, 128, 0,
                                           0,   0,   255, 0, 0, 255, 0, 0, 255, 0,   0,   0})},
        {"32 bits, masks for red-green-blue-alpha bytes",
         bmp(40, 2, 32, 3, {0xff, 0, 0, 0, 0, 0xff, 0, 0, 0, 0, 0xff, 0},
             {255, 255, 255, 9, 0, 0,   0, 9, 128, 128, 128, 9,
              255, 0,   0,   9, 0, 255, 0, 9, 0,   0,   255, 9})},
        {"16 bits, 5-5-5",
         bmp(40, 2, 16, 0, {},
             {0xff, 0x7f, 0, 0, 0x10, 0x42, 0, 0, 0, 0x7c, 0xe0, 0x03, 0x1f, 0, 0, 0})},
        {"8 bits with a palette", bmp(40, 2, 8, 0, kPalette, {3, 4, 5, 0, 0, 1, 2, 0})},
        {"4 bits with a palette", bmp(40, 2, 4, 0, kPalette, {0x34, 0x50, 0, 0, 0x01, 0x20, 0, 0})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        const std::optional<Picture> p = decodeBmp(c.file, error);
        ASSERT_TRUE(p) << error;
        EXPECT_EQ(p->width, 3);
        EXPECT_EQ(p->height, 2);
        if (std::string(c.name) == "16 bits, 5-5-5") {
            // Five bits hold 16 as 0x10 of 0x1f: 132 after widening, not the 128 of the others.
            Picture expected = kExpected;
            expected.rgb[15] = expected.rgb[16] = expected.rgb[17] = 132;
            EXPECT_EQ(p->rgb, expected.rgb);
        } else {
            EXPECT_EQ(p->rgb, kExpected.rgb);
        }
    }
}

TEST(BmpReader, OneBitPixelsReadFromTheHighBitFirst)
{
    std::string error;
    const std::optional<Picture> p =
        decodeBmp(bmp(40, 1, 1, 0, kPalette, {0b0100'0000, 0, 0, 0}), error);
    ASSERT_TRUE(p) << error;
    EXPECT_EQ(p->rgb, (std::vector<std::uint8_t>{255, 0, 0, 0, 255, 0, 255, 0, 0}));
}

TEST(BmpReader, DamagedAndUnsupportedFilesAreRefusedWithAReason)
{
    const std::vector<std::uint8_t> good = bmp(40, 2, 24, 0, {}, std::vector<std::uint8_t>(24));
    std::vector<std::uint8_t> wide = good;
    wide[18] = 0x01; // 16385 = 0x4001
    wide[19] = 0x40;
    std::vector<std::uint8_t> tall = good;
    tall[22] = 0x00;
    tall[23] = 0x00;
    tall[24] = 0x00;
    tall[25] = 0x80; // -2^31 rows: its magnitude does not fit

    struct Case
    {
        const char* name;
        std::vector<std::uint8_t> file;
        const char* reason;
    };

    const Case cases[] = {
        {"not a bitmap", {'P', 'K', 3, 4}, "not a BMP"},
        {"pixels cut off", {good.begin(), good.end() - 1}, "ends before its pixels"},
        {"wider than the limit", wide, "out of range"},
        {"the most negative height", tall, "out of range"},
        {"zero rows", bmp(40, 0, 24, 0, {}, {}), "out of range"},
        {"run-length compressed", bmp(40, 2, 8, 1, kPalette, std::vector<std::uint8_t>(8)),
         "compressed"},
        {"two bits per pixel", bmp(40, 2, 2, 0, kPalette, std::vector<std::uint8_t>(8)),
         "bits per pixel"},
        {"unknown header", bmp(20, 2, 24, 0, {}, std::vector<std::uint8_t>(40)), "header"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        EXPECT_FALSE(decodeBmp(c.file, error));
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}

TEST(BmpReader, ReadsWhatTheTestsWrite)
{
    const Picture p = test::noisy(7, 5, 9);
    std::string error;
    EXPECT_EQ(decodeBmp(test::encodeBmp(p), error).value_or(Picture{}).rgb, p.rgb) << error;
}

} // namespace
} // namespace qv::reelbind
