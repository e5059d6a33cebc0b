// The BMP reader: every layout it reads gives the same pixels; damaged or unsupported files
// are refused with a reason.
#include "reelbind/bmp_reader.h"
#include "tests/reelbind/test_frames.h"

namespace qv::reelbind {
namespace {

using test::bmpFile;
using test::Bytes;

// 3 x 2: top row red, green, blue; bottom row white, black, grey.
const Bytes kPixels = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 128, 128, 128};
// Blue-green-red rows, bottom first, padded to 12 bytes.
const Bytes kRows24 = {255, 255, 255, 0, 0,   0, 128, 128, 128, 0, 0, 0,
                       0,   0,   255, 0, 255, 0, 255, 0,   0,   0, 0, 0};
// 0 red, 1 green, 2 blue, 3 white, 4 black, 5 grey, as blue-green-red-reserved.
const Bytes kPalette = {0,   0,   255, 0, 0, 255, 0, 0, 255, 0,   0,   0,
                        255, 255, 255, 0, 0, 0,   0, 0, 128, 128, 128, 0};

TEST(BmpReader, EveryLayoutGivesTheSamePixels)
{
    Bytes topDown(kRows24.begin() + 12, kRows24.end());
    topDown.insert(topDown.end(), kRows24.begin(), kRows24.begin() + 12);
    const std::pair<const char*, Bytes> cases[] = {
        {"24 bits", bmpFile(40, 3, 2, 24, 0, {}, kRows24)},
        {"24 bits, top row first", bmpFile(40, 3, -2, 24, 0, {}, topDown)},
        {"24 bits, core header", bmpFile(12, 3, 2, 24, 0, {}, kRows24)},
        {"32 bits, masks for red-green-blue-alpha bytes",
         bmpFile(40, 3, 2, 32, 3, {255, 0, 0, 0, 0, 255, 0, 0, 0, 0, 255, 0},
                 {255, 255, 255, 9, 0, 0,   0, 9, 128, 128, 128, 9,
                  255, 0,   0,   9, 0, 255, 0, 9, 0,   0,   255, 9})},
        {"16 bits, 5-6-5 masks",
         bmpFile(40, 3, 2, 16, 3, {0, 0xf8, 0, 0, 0xe0, 0x07, 0, 0, 0x1f, 0, 0, 0},
                 {0xff, 0xff, 0, 0, 0x10, 0x84, 0, 0, 0, 0xf8, 0xe0, 0x07, 0x1f, 0, 0, 0})},
        {"4 bits with a palette",
         bmpFile(40, 3, 2, 4, 0, kPalette, {0x34, 0x50, 0, 0, 1, 0x20, 0, 0})},
    };
    for (const auto& [name, file] : cases) {
        std::string error;
        const Picture p = decodeBmp(file, error).value_or(Picture{});
        EXPECT_EQ(p.width * 10 + p.height, 32) << name << error;
        // 16 bits hold grey as 16 of 31 and 32 of 63: 132 and 130 once widened.
        Bytes expected = kPixels;
        if (std::string(name).starts_with("16")) {
            expected[15] = expected[17] = 132;
            expected[16] = 130;
        }
        EXPECT_EQ(p.rgb, expected) << name;
    }
}

TEST(BmpReader, DamagedAndUnsupportedFilesAreRefusedWithAReason)
{
    const std::tuple<const char*, Bytes, const char*> cases[] = {
        {"not a bitmap", {'P', 'K', 3, 4}, "not a BMP"},
        {"pixels cut off", bmpFile(40, 3, 2, 24, 0, {}, {1, 2, 3}), "ends before its pixels"},
        {"wider than the limit", bmpFile(40, 16385, 1, 24, 0, {}, Bytes(49156)), "out of range"},
        {"the most negative height", bmpFile(40, 3, INT32_MIN, 24, 0, {}, {}), "out of range"},
        {"run-length compressed", bmpFile(40, 3, 2, 8, 1, kPalette, Bytes(8)), "compressed"},
        {"two bits per pixel", bmpFile(40, 3, 2, 2, 0, kPalette, Bytes(8)), "bits per pixel"},
    };
    for (const auto& [name, file, reason] : cases) {
        std::string error;
        EXPECT_FALSE(decodeBmp(file, error)) << name;
        EXPECT_NE(error.find(reason), std::string::npos) << name << ": " << error;
    }
}

} // namespace
} // namespace qv::reelbind
