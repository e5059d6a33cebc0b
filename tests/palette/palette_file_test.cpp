// The palette file: its two lengths, the refusal of others, and safe replacement on save.
#include "palette/palette_file.h"
#include "tests/palette/palette_test_support.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qv {
namespace {

namespace fs = std::filesystem;
using test::makeParameters;
using test::PaletteFixture;
using test::referenceEntries;

/// A fresh folder for one test, removed with everything in it afterwards.
class TempFolder
{
public:
    TempFolder()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_path = fs::temp_directory_path() /
                 (std::string("qv_palette_") + info->name() + "_" + std::to_string(::getpid()));
        fs::remove_all(m_path);
        fs::create_directories(m_path);
    }

    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    ~TempFolder() { fs::remove_all(m_path); }

    std::string file(const std::string& name) const { return (m_path / name).string(); }

    std::vector<std::string> names() const
    {
        std::vector<std::string> out;
        for (const auto& entry : fs::directory_iterator(m_path)) {
            out.push_back(entry.path().filename().string());
        }
        return out;
    }

private:
    fs::path m_path;
};

std::vector<std::uint8_t> readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

void appendLe(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

// Start 1, 2, 3; step 0.5, 0.25, 4; stop 255, -1, 200 as IEEE-754 single words.
std::vector<std::uint8_t> parameterBytes()
{
    std::vector<std::uint8_t> out;
    for (const std::uint32_t w : {0x3F800000u, 0x40000000u, 0x40400000u, 0x3F000000u, 0x3E800000u,
                                  0x40800000u, 0x437F0000u, 0xBF800000u, 0x43480000u}) {
        appendLe(out, w);
    }
    return out;
}

const PaletteParameters kFileParameters =
    makeParameters({1, 2, 3}, {0.5f, 0.25f, 4}, {255, -1, 200});

TEST(PaletteFile, SaveAlignsOptionBitsAndWritesTheLongForm)
{
    TempFolder folder;
    PaletteFixture f;
    f.state.parameters = kFileParameters;
    f.state.options.hsl = true;
    f.state.options.exp2 = true;
    f.state.paletteOffset = -2;
    // Inverse and Exp 3 bits are stale; bits 0, 1, 3 and 9 are not the palette's.
    f.colourFlags = 0x20Bu | PaletteOptions::kInverseBit | PaletteOptions::kExp3Bit;
    const std::string path = folder.file("a.pal");

    ASSERT_TRUE(savePaletteFile(f.context, path));

    EXPECT_EQ(f.colourFlags, 0x20Bu | PaletteOptions::kHslBit | PaletteOptions::kExp2Bit);
    std::vector<std::uint8_t> expected = parameterBytes();
    appendLe(expected, 0x29Bu);
    appendLe(expected, 0xFFFFFFFEu);
    EXPECT_EQ(readBytes(path), expected);
    EXPECT_TRUE(f.host.calls.empty());
    EXPECT_TRUE(f.prompts.asked().empty());
}

TEST(PaletteFile, LongFormWithSmoothColourRegeneratesAndAsksForARender)
{
    TempFolder folder;
    const std::string path = folder.file("smooth.pal");
    std::vector<std::uint8_t> bytes = parameterBytes();
    appendLe(bytes, 0x2u | PaletteOptions::kInverseBit | PaletteOptions::kReverseBit | 0x8u);
    appendLe(bytes, 70000u);
    writeBytes(path, bytes);

    PaletteFixture f;
    f.colourFlags = 0x5u;
    f.state.options.hsl = true;
    f.state.paletteOffset = 12;
    ASSERT_TRUE(loadPaletteFile(f.context, path));

    EXPECT_EQ(f.state.parameters, kFileParameters);
    EXPECT_EQ(f.colourFlags, 0x6Au); // the whole word: "Smooth color" on, the others off
    PaletteOptions expectedOptions;
    expectedOptions.inverse = true;
    expectedOptions.reverse = true;
    EXPECT_EQ(f.state.options, expectedOptions);
    EXPECT_EQ(f.state.paletteOffset, 70000);
    const std::vector<std::uint32_t> reference = referenceEntries(kFileParameters, true, true);
    EXPECT_EQ(f.palette.entries[0], reference[0]);
    EXPECT_EQ(f.palette.entries[77777], reference[77777]);
    EXPECT_EQ(f.palette.entries[262143], reference[262143]);
    EXPECT_EQ(f.host.count("redisplayPicture"), 1);
    EXPECT_EQ(f.host.calls.back(), "requestRender");
    EXPECT_TRUE(f.prompts.asked().empty());
}

TEST(PaletteFile, ShortFormHasNoOffsetAndWithoutSmoothColourOnlyRedisplays)
{
    TempFolder folder;
    const std::string path = folder.file("short.pal");
    std::vector<std::uint8_t> bytes = parameterBytes();
    appendLe(bytes, 0x4u | PaletteOptions::kHslBit);
    writeBytes(path, bytes);

    PaletteFixture f;
    f.state.paletteOffset = 99;
    ASSERT_TRUE(loadPaletteFile(f.context, path));

    EXPECT_EQ(f.state.paletteOffset, 0);
    EXPECT_EQ(f.colourFlags, 0x14u);
    EXPECT_TRUE(f.state.options.hsl);
    EXPECT_EQ(f.host.count("requestRender"), 0);
    EXPECT_EQ(f.host.calls.back(), "redisplayPicture");
    // With HSL, channel 3 (hue) 3 - 4 = -1 clamps to 0: the first entry has hue 0, saturation 2 -
    // 0.25 rounded to 2, luminance 1 - 0.5 rounded to 0 (0.5 to even): black.
    EXPECT_EQ(f.palette.entries[0], 0u);
}

TEST(PaletteFile, OtherLengthsAreRefusedAndLeaveTheOptionsOff)
{
    TempFolder folder;
    std::vector<std::uint8_t> long44 = parameterBytes();
    appendLe(long44, 0x1F6u);
    appendLe(long44, 5u);
    const std::vector<std::uint8_t> bytes43(long44.begin(), long44.begin() + 43);
    std::vector<std::uint8_t> bytes45 = long44;
    bytes45.push_back(0);
    const std::vector<std::vector<std::uint8_t>> contents = {
        bytes43, bytes45, {}, std::vector<std::uint8_t>(4096, 0x41)};
    for (std::size_t k = 0; k <= contents.size(); ++k) {
        // The last round reads a file that does not exist.
        const std::string path = folder.file("bad" + std::to_string(k) + ".pal");
        if (k < contents.size()) {
            writeBytes(path, contents[k]);
        }
        PaletteFixture f;
        f.colourFlags = 0x1F7u;
        f.state.options = optionsFromColourFlags(0x1F0u);
        f.state.paletteOffset = 7;
        f.state.randomPaletteFlag = true;
        const PaletteParameters before = f.state.parameters;
        f.palette.entries[3] = 0xABCDEFu;

        EXPECT_FALSE(loadPaletteFile(f.context, path)) << k;

        EXPECT_EQ(f.prompts.texts(), std::vector<std::string>{"Not a Quorvalis-file!"});
        EXPECT_EQ(f.prompts.titles(), std::vector<std::string>{"QUORVALIS"});
        EXPECT_EQ(f.colourFlags, 0u);
        EXPECT_EQ(f.state.options, PaletteOptions{});
        EXPECT_EQ(f.state.paletteOffset, 0);
        EXPECT_EQ(f.state.parameters, before);
        EXPECT_TRUE(f.state.randomPaletteFlag);
        EXPECT_EQ(f.palette.entries[3], 0xABCDEFu);
        EXPECT_TRUE(f.host.calls.empty());
    }
}

TEST(PaletteFile, EmptyPathLoadsNothingButResetsTheOffset)
{
    PaletteFixture f;
    f.colourFlags = 0x16u;
    f.state.options.hsl = true;
    f.state.paletteOffset = 7;
    EXPECT_FALSE(loadPaletteFile(f.context, ""));
    EXPECT_EQ(f.state.paletteOffset, 0);
    EXPECT_EQ(f.colourFlags, 0x16u);
    EXPECT_TRUE(f.state.options.hsl);
    EXPECT_TRUE(f.prompts.asked().empty());
    EXPECT_TRUE(f.host.calls.empty());
}

TEST(PaletteFile, SaveThenLoadGivesTheSameStateAndTheSameBytes)
{
    TempFolder folder;
    PaletteFixture f;
    f.state.parameters = makeParameters({17.25f, -3, 1e9f}, {1.9f, 0.001f, 7}, {250, 3e-7f, 9});
    f.state.options = optionsFromColourFlags(0x1F0u);
    f.state.options.inverse = false;
    f.state.paletteOffset = -123456789;
    f.colourFlags = 0x7u;
    const std::string first = folder.file("first.pal");
    ASSERT_TRUE(savePaletteFile(f.context, first));

    PaletteFixture g;
    ASSERT_TRUE(loadPaletteFile(g.context, first));
    EXPECT_EQ(g.state.parameters, f.state.parameters);
    EXPECT_EQ(g.state.options, f.state.options);
    EXPECT_EQ(g.state.paletteOffset, f.state.paletteOffset);
    EXPECT_EQ(g.colourFlags, f.colourFlags);

    const std::string second = folder.file("second.pal");
    ASSERT_TRUE(savePaletteFile(g.context, second));
    EXPECT_EQ(readBytes(second), readBytes(first));
    EXPECT_EQ(readBytes(first).size(), 44u);
}

TEST(PaletteFile, SaveReplacesAnExistingFileAndLeavesNoTemporaryBehind)
{
    TempFolder folder;
    const std::string path = folder.file("old.pal");
    writeBytes(path, std::vector<std::uint8_t>(100, 0x55));
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    PaletteFixture f;
    f.state.parameters = kFileParameters;
    ASSERT_TRUE(savePaletteFile(f.context, path));
    std::vector<std::uint8_t> expected = parameterBytes();
    appendLe(expected, 0u);
    appendLe(expected, 0u);
    EXPECT_EQ(readBytes(path), expected);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"old.pal"});
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(PaletteFile, FailedSaveSaysSoAndKeepsWhatWasThere)
{
    TempFolder folder;
    const std::string folderTarget = folder.file("taken.pal");
    fs::create_directory(folderTarget);
    writeBytes(folderTarget + "/inside", {1, 2, 3});
    const std::string missingFolder = folder.file("missing/x.pal");

    for (const std::string& path : {folderTarget, missingFolder}) {
        PaletteFixture f;
        EXPECT_FALSE(savePaletteFile(f.context, path)) << path;
        EXPECT_EQ(f.prompts.texts(),
                  std::vector<std::string>{"The palette file could not be written:\n" + path});
    }
    EXPECT_EQ(readBytes(folderTarget + "/inside"), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(folder.names(), std::vector<std::string>{"taken.pal"});

    PaletteFixture f;
    EXPECT_FALSE(savePaletteFile(f.context, ""));
    EXPECT_TRUE(f.prompts.asked().empty());
}

TEST(PaletteFile, SaveWritesThroughASymbolicLink)
{
    TempFolder folder;
    const std::string real = folder.file("real.pal");
    const std::string link = folder.file("link.pal");
    writeBytes(real, {9});
    fs::create_symlink(real, link);
    PaletteFixture f;
    ASSERT_TRUE(savePaletteFile(f.context, link));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readBytes(real).size(), 44u);
}

} // namespace
} // namespace qv
