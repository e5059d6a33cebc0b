// Parameter files and the program's state: the four kinds saved byte for byte and loaded back
// into the same view, what loading makes of the older layouts, refusals that leave the program
// as it was, and the header the browser reads.
#include "base/number_text.h"
#include "persistence/parameter_files.h"
#include "tests/persistence/persistence_test_support.h"
#include "tests/support/temp_folder.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include <gmp.h>
#include <gtest/gtest.h>

namespace qv {
namespace {

using test::deepJulia;
using test::deepMandelbrot;
using test::FileBytes;
using test::format43Start;
using test::i32At;
using test::kExp2Bit;
using test::kHslBit;
using test::kStoredPalette;
using test::Program;
using test::readBytes;
using test::shallowView;
using test::storedExtended;
using test::storedTexts;
using test::TempFolder;
using test::u32At;
using test::writeBytes;

void expectSameSettings(const AppState& loaded, const AppState& saved)
{
    EXPECT_EQ(loaded.view.modeWord, saved.view.modeWord);
    EXPECT_EQ(loaded.view.iterMax, saved.view.iterMax);
    EXPECT_EQ(loaded.view.bailout, saved.view.bailout);
    EXPECT_EQ(loaded.view.potValue, saved.view.potValue);
    EXPECT_EQ(loaded.settings.colourFlags, saved.settings.colourFlags);
    EXPECT_EQ(loaded.paletteState.parameters, saved.paletteState.parameters);
    EXPECT_EQ(loaded.paletteState.options, saved.paletteState.options);
    EXPECT_EQ(loaded.paletteState.paletteOffset, saved.paletteState.paletteOffset);
    EXPECT_TRUE(loaded.palette.entries == saved.palette.entries) << "palette tables differ";
}

// The standard file as the format-43 table lays it out.
std::vector<std::uint8_t> expectedStandardFile(Program& p)
{
    FileBytes f;
    f.u8(43).u32(p.app.view.modeWord).u32(p.app.settings.colourFlags);
    f.ext(static_cast<long double>(p.app.view.potValue));
    for (const long double v : storedExtended(p.app.view)) {
        f.ext(v);
    }
    f.i32(p.app.view.iterMax).ext(static_cast<long double>(p.app.view.bailout));
    const PaletteParameters& q = p.app.paletteState.parameters;
    for (const auto* channel : {&q.start, &q.step, &q.stop}) {
        for (const float v : *channel) {
            f.f32(v);
        }
    }
    f.i32(p.app.paletteState.paletteOffset);
    return f.bytes;
}

TEST(StandardFile, IsWrittenByteForByteAndLoadsAsTheSameView)
{
    TempFolder folder;
    for (const bool julia : {false, true}) {
        Program saved;
        shallowView(saved, julia);
        const std::string path = folder.file(julia ? "j.fra" : "m.fra");
        ASSERT_TRUE(saveStandardFile(saved.app, saved.pictures, path));
        // The palette options went into bits 4..8 of the colour flags before writing.
        EXPECT_EQ(saved.app.settings.colourFlags, 1u | 4u | kHslBit | kExp2Bit);
        const std::vector<std::uint8_t> bytes = readBytes(path);
        EXPECT_EQ(bytes.size(), julia ? 153u : 133u);
        EXPECT_EQ(bytes, expectedStandardFile(saved));
        EXPECT_EQ(saved.pictures.calls, std::vector<std::string>{"thumbnail " + path + ".jpg"});

        Program loaded;
        ASSERT_TRUE(loadParameterFile(loaded.app, loaded.shell.services, path));
        expectSameSettings(loaded.app, saved.app);
        EXPECT_EQ(storedExtended(loaded.app.view), storedExtended(saved.app.view));
        EXPECT_EQ(loaded.app.view.deepZoom, 0);
        EXPECT_EQ(loaded.app.shell.lastFilePath, path);
        EXPECT_EQ(loaded.app.shell.currentFileName, path);
        EXPECT_EQ(loaded.app.shell.juliaShown, 1);
        EXPECT_EQ(loaded.app.shell.pictureValid, 0);
        EXPECT_EQ(loaded.app.settings.multiThreaded, 1);
        const auto& o = loaded.shell.observer;
        EXPECT_EQ(o.last("menuTitle"), "QUORVALIS - " + path);
        EXPECT_EQ(o.last("fractalType"), julia ? "- julia" : "mandelbrot -");
        EXPECT_EQ(o.last("deepZoom"), "off");
        EXPECT_EQ(o.last("multiThreaded"), "on");
        EXPECT_EQ(o.last("repaint"), "");
        EXPECT_TRUE(loaded.shell.prompts.asked().empty());
    }
}

TEST(DeepFile, RestoresEveryNumberLimbForLimbAndSavesTheSameBytesAgain)
{
    TempFolder folder;
    for (const bool julia : {false, true}) {
        Program saved;
        if (julia) {
            deepJulia(saved);
        } else {
            deepMandelbrot(saved);
        }
        const std::string path = folder.file(julia ? "j.fdz" : "m.fdz");
        ASSERT_TRUE(saveDeepFile(saved.app, saved.pictures, path));
        // The palette options are kept in the colour flags here too.
        const std::uint32_t flags = saved.app.settings.colourFlags;
        EXPECT_EQ(flags & (kHslBit | kExp2Bit), julia ? 0u : kHslBit | kExp2Bit);
        const std::vector<std::uint8_t> bytes = readBytes(path);

        // The fixed fields, then one 16-byte header per number and the limbs.
        FileBytes fixed;
        fixed.u8(55).u32(saved.app.view.modeWord).i32(1).u32(flags);
        fixed.f64(saved.app.view.potValue).i32(saved.app.view.iterMax);
        fixed.f64(saved.app.view.bailout);
        const PaletteParameters& q = saved.app.paletteState.parameters;
        for (const auto* channel : {&q.start, &q.step, &q.stop}) {
            for (const float v : *channel) {
                fixed.f32(v);
            }
        }
        fixed.i32(saved.app.paletteState.paletteOffset).i32(saved.app.view.precisionBits);
        ASSERT_GE(bytes.size(), 77u);
        EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 77), fixed.bytes);
        const std::size_t numbers = julia ? 8 : 6;
        const std::vector<DeepNumberImage> images = test::storedImages(saved.app.view);
        std::size_t limbs = 0;
        std::size_t at = 77 + 16 * numbers;
        for (std::size_t k = 0; k < numbers; ++k) {
            const std::size_t h = 77 + 16 * k;
            EXPECT_EQ(i32At(bytes, h), (saved.app.view.precisionBits + 63) / 32);
            EXPECT_EQ(i32At(bytes, h + 4), images[k].size);
            EXPECT_EQ(i32At(bytes, h + 8), images[k].exponent);
            EXPECT_EQ(i32At(bytes, h + 12), 0);
            for (const std::uint32_t limb : images[k].limbs) {
                EXPECT_EQ(u32At(bytes, at), limb);
                at += 4;
            }
            limbs += images[k].limbs.size();
        }
        EXPECT_EQ(bytes.size(), (julia ? 205u : 173u) + 4 * limbs);

        Program loaded;
        ASSERT_TRUE(loadParameterFile(loaded.app, loaded.shell.services, path));
        expectSameSettings(loaded.app, saved.app);
        EXPECT_EQ(loaded.app.view.deepZoom, 1);
        EXPECT_EQ(loaded.app.view.precisionBits, saved.app.view.precisionBits);
        EXPECT_EQ(loaded.app.view.deepLimit, saved.app.view.deepLimit);
        EXPECT_EQ(test::storedImages(loaded.app.view), images);
        EXPECT_EQ(loaded.shell.observer.last("title"), deepLimitTitle(saved.app.view.deepLimit));
        EXPECT_EQ(loaded.shell.observer.last("menuTitle"), "QUORVALIS - " + path);
        EXPECT_EQ(loaded.shell.observer.last("autoPotValue"), "off");
        EXPECT_EQ(loaded.app.shell.currentFileName, path);

        const std::string again = folder.file(julia ? "j2.fdz" : "m2.fdz");
        ASSERT_TRUE(saveDeepFile(loaded.app, loaded.pictures, again));
        EXPECT_EQ(readBytes(again), bytes);
    }
}

TEST(StandardFileWithImage, StoresTheTextsInWideFieldsAndThePicture)
{
    TempFolder folder;
    Program saved;
    shallowView(saved);
    test::smallPicture(saved.app, 8, 6);
    const std::string path = folder.file("m.fpi");
    ASSERT_TRUE(saveStandardFileWithImage(saved.app, saved.shell.observer, saved.pictures, path));
    const std::vector<std::uint8_t> bytes = readBytes(path);
    const std::size_t fields = 21 + 6 * 5000;
    ASSERT_EQ(bytes.size(), fields + 56 + 8 + 4u * 10 * 8);
    EXPECT_EQ(bytes[0], 50);
    EXPECT_EQ(u32At(bytes, 1), saved.app.view.modeWord);
    EXPECT_EQ(i32At(bytes, 5), 0);
    EXPECT_EQ(u32At(bytes, 9), 1u | 4u | kHslBit | kExp2Bit);
    const std::vector<std::string> texts = storedTexts(saved.app.view);
    for (std::size_t k = 0; k < 6; ++k) {
        const std::size_t at = 21 + 5000 * k;
        EXPECT_EQ(std::string(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                              bytes.begin() + static_cast<std::ptrdiff_t>(at + texts[k].size())),
                  texts[k]);
        for (std::size_t z = at + texts[k].size(); z < at + 5000; ++z) {
            ASSERT_EQ(bytes[z], 0) << "field " << k;
        }
    }
    EXPECT_EQ(i32At(bytes, fields), 777);
    EXPECT_EQ(i32At(bytes, fields + 48), -12345);
    EXPECT_EQ(i32At(bytes, fields + 52), saved.app.view.precisionBits);
    EXPECT_EQ(i32At(bytes, fields + 56), 8);
    EXPECT_EQ(i32At(bytes, fields + 60), 6);
    // Pixel (i, j) at j * W + i, then the border entries as zeros.
    for (std::size_t k = 0; k < 80; ++k) {
        const std::int32_t expected = k < 48 ? saved.app.iterations.counts[k] : 0;
        EXPECT_EQ(i32At(bytes, fields + 64 + 4 * k), expected) << "entry " << k;
    }

    Program loaded;
    ASSERT_TRUE(loadParameterFileWithImage(loaded.app, loaded.shell.services, path));
    expectSameSettings(loaded.app, saved.app);
    EXPECT_EQ(storedTexts(loaded.app.view), texts);
    EXPECT_EQ(storedExtended(loaded.app.view), storedExtended(saved.app.view));
    EXPECT_EQ(loaded.app.settings.pictureWidth, 8);
    EXPECT_EQ(loaded.app.settings.pictureHeight, 6);
    EXPECT_EQ(loaded.app.iterations.width, 8);
    EXPECT_EQ(loaded.app.iterations.height, 6);
    EXPECT_EQ(loaded.app.iterations.counts, saved.app.iterations.counts);
    EXPECT_EQ(loaded.app.iterations.a.size(), IterationBuffer::storedSize(8, 6));
    EXPECT_EQ(loaded.shell.observer.last("pictureWindow"), "8 x 6");
    EXPECT_EQ(loaded.shell.observer.last("menuTitle"), "QUORVALIS - " + path);
    EXPECT_EQ(loaded.app.shell.currentFileName, path);
    EXPECT_EQ(loaded.app.shell.lastFilePath, path);

    // The plain loader reads the same file's view and leaves the picture alone.
    Program plain;
    ASSERT_TRUE(loadParameterFile(plain.app, plain.shell.services, path));
    EXPECT_EQ(storedTexts(plain.app.view), texts);
    EXPECT_EQ(plain.app.iterations.width, 640);
}

TEST(DeepFileWithImage, ChangesThePictureSizeAndKeepsNumbersAndPicture)
{
    TempFolder folder;
    Program saved;
    deepJulia(saved);
    test::smallPicture(saved.app, 5, 4);
    const std::string path = folder.file("j.fpz");
    ASSERT_TRUE(saveDeepFileWithImage(saved.app, saved.pictures, path));
    const std::vector<std::uint8_t> bytes = readBytes(path);
    EXPECT_EQ(i32At(bytes, 77), 5);
    EXPECT_EQ(i32At(bytes, 81), 4);
    const std::size_t headers = 85 + 4 * 7 * 6;
    EXPECT_EQ(i32At(bytes, headers), (saved.app.view.precisionBits + 63) / 32);

    Program loaded;
    ASSERT_EQ(loaded.app.settings.pictureWidth, 640);
    ASSERT_TRUE(loadParameterFileWithImage(loaded.app, loaded.shell.services, path));
    expectSameSettings(loaded.app, saved.app);
    EXPECT_EQ(test::storedImages(loaded.app.view), test::storedImages(saved.app.view));
    EXPECT_EQ(loaded.app.settings.pictureWidth, 5);
    EXPECT_EQ(loaded.app.settings.pictureHeight, 4);
    EXPECT_EQ(loaded.app.iterations.counts, saved.app.iterations.counts);
    EXPECT_EQ(loaded.app.iterations.b.size(), IterationBuffer::storedSize(5, 4));
    EXPECT_EQ(loaded.shell.observer.last("pictureWindow"), "5 x 4");

    const std::string again = folder.file("j2.fpz");
    ASSERT_TRUE(saveDeepFileWithImage(loaded.app, loaded.pictures, again));
    EXPECT_EQ(readBytes(again), bytes);

    // The plain loader (a .fpz named on the command line) reads its view past the picture.
    Program plain;
    ASSERT_TRUE(loadParameterFile(plain.app, plain.shell.services, path));
    EXPECT_EQ(test::storedImages(plain.app.view), test::storedImages(saved.app.view));
    EXPECT_EQ(plain.app.iterations.width, 640);

    // For its picture's size only: the view and the size, the iteration buffer untouched and
    // waiting for a render.
    Program sized;
    ASSERT_TRUE(loadParameterFileWithPictureSize(sized.app, sized.shell.services, path));
    expectSameSettings(sized.app, saved.app);
    EXPECT_EQ(test::storedImages(sized.app.view), test::storedImages(saved.app.view));
    EXPECT_EQ(sized.app.settings.pictureWidth, 5);
    EXPECT_EQ(sized.app.settings.pictureHeight, 4);
    EXPECT_EQ(sized.app.iterations.width, 640);
    EXPECT_EQ(sized.app.shell.pictureValid, 0);
}

TEST(StandardFileWithImage, ATextLongerThanItsFieldKeepsItsExponent)
{
    TempFolder folder;
    Program saved;
    test::smallPicture(saved.app, 2, 2);
    // One third at 17024 bits has about 5100 digits: more than a field holds.
    setPrecision(saved.app.view, 17024);
    mpf_set_si(saved.app.view.mandelbrot.xmin.mp(), -1);
    mpf_div_ui(saved.app.view.mandelbrot.xmin.mp(), saved.app.view.mandelbrot.xmin.mp(), 3);
    const std::string path = folder.file("long.fpi");
    ASSERT_TRUE(saveStandardFileWithImage(saved.app, saved.shell.observer, saved.pictures, path));
    ASSERT_GT(saved.app.view.mandelbrot.xmin.text.size(), 4999u);
    const std::vector<std::uint8_t> bytes = readBytes(path);
    const std::string field(bytes.begin() + 21, bytes.begin() + 21 + 5000);
    const std::string text = field.substr(0, field.find('\0'));
    EXPECT_LE(text.size(), 4999u);
    EXPECT_EQ(text.substr(text.size() - 3), "e-1");

    Program loaded;
    ASSERT_TRUE(loadParameterFileWithImage(loaded.app, loaded.shell.services, path));
    EXPECT_NEAR(mpf_get_d(loaded.app.view.mandelbrot.xmin.mp()), -1.0 / 3.0, 1e-15);
}

// --- Older layouts, assembled by hand: what loading makes of their fields (the fields
// themselves are read in parameter_format_test) ---

TEST(OlderLayouts, A133ByteFileHasItsOffsetOnlyWithVersion43)
{
    TempFolder folder;
    for (const std::uint8_t version : {43, 42}) {
        const std::string path = folder.file("v" + std::to_string(version) + ".fra");
        writeBytes(path, format43Start(version, 5, 4u | kHslBit).i32(777).bytes);
        Program p;
        ASSERT_TRUE(loadParameterFile(p.app, p.shell.services, path));
        const ViewState& v = p.app.view;
        EXPECT_TRUE(isMandelbrot(v));
        EXPECT_EQ(p.app.paletteState.paletteOffset, version == 43 ? 777 : 0);
        EXPECT_EQ(v.modeWord, 5u);
        EXPECT_EQ(p.app.settings.colourFlags, 4u | kHslBit);
        EXPECT_TRUE(p.app.paletteState.options.hsl);
        EXPECT_EQ(p.app.paletteState.parameters, kStoredPalette);
        EXPECT_EQ(v.potValue, static_cast<double>(0.002L));
        EXPECT_EQ(v.iterMax, 250);
        EXPECT_EQ(v.bailout, 64.0);
        EXPECT_EQ(v.mandelbrot.xmin.ext, -2.0L);
        EXPECT_EQ(v.mandelbrot.dx.ext, 3.0L / 640);
        EXPECT_EQ(v.mandelbrot.ymax.ext, 1.125L);
        EXPECT_EQ(mpf_cmp_si(v.mandelbrot.xmin.mp(), -2), 0);
        EXPECT_EQ(mpf_cmp_d(v.mandelbrot.ymax.mp(), 1.125), 0);
    }
}

TEST(OlderLayouts, AnOptionalFieldPastTheEndKeepsItsResetValue)
{
    TempFolder folder;
    const std::string path = folder.file("short43.fra");
    writeBytes(path, format43Start(43, 5, 4).bytes); // 129 bytes: no room for the offset
    Program p;
    p.app.paletteState.paletteOffset = 99;
    ASSERT_TRUE(loadParameterFile(p.app, p.shell.services, path));
    EXPECT_EQ(p.app.paletteState.paletteOffset, 0);
    EXPECT_EQ(p.app.view.iterMax, 250);
}

TEST(OlderLayouts, A75ByteFileTakesTheDefaultPaletteAndMovesTheOldInsideBit)
{
    TempFolder folder;
    const std::string path = folder.file("old75.fra");
    writeBytes(path, test::oldFile75().bytes);
    Program p;
    ASSERT_TRUE(loadParameterFile(p.app, p.shell.services, path));
    EXPECT_EQ(p.app.view.modeWord, 5u);
    EXPECT_EQ(p.app.settings.colourFlags, 1u);
    EXPECT_EQ(p.app.view.potValue, 0.0001);
    EXPECT_EQ(p.app.view.bailout, 4.0); // 1 or less becomes 4
    EXPECT_EQ(p.app.view.iterMax, 1000);
    // The defaults for colouring neither smooth nor by potential.
    const PaletteParameters defaults{
        {218.0f, 64.0f, 74.0f}, {5.0f, 3.0f, 4.0f}, {255.0f, 169.0f, 194.0f}};
    EXPECT_EQ(p.app.paletteState.parameters, defaults);
    EXPECT_EQ(p.app.paletteState.options, PaletteOptions{});
}

TEST(OlderLayouts, IntegerPalettesAndTheRowsWithAVersionByte)
{
    TempFolder folder;
    {
        const std::string path = folder.file("old131.fra");
        writeBytes(path, test::oldFile131().bytes);
        Program p;
        ASSERT_TRUE(loadParameterFile(p.app, p.shell.services, path));
        EXPECT_FALSE(isMandelbrot(p.app.view));
        EXPECT_EQ(drawingMode(p.app.view.modeWord), 2);
        EXPECT_EQ(p.app.view.julia.cr.ext, -0.8L);
        EXPECT_EQ(p.app.view.julia.dx.ext, 3.0L / 640);
        EXPECT_EQ(p.app.paletteState.parameters, test::kIntegerPaletteAsFloats);
        EXPECT_EQ(p.app.view.bailout, 10.0);
        EXPECT_EQ(p.shell.observer.last("fractalType"), "- julia");
    }
    {
        // A zero step: the file was written before the palette parameters were kept.
        const std::string path = folder.file("old135.fra");
        writeBytes(path, test::oldFile135().bytes);
        Program p;
        ASSERT_TRUE(loadParameterFile(p.app, p.shell.services, path));
        EXPECT_EQ(p.app.view.modeWord, 2u | 8u);
        EXPECT_EQ(p.app.settings.colourFlags, 1u);
        EXPECT_EQ(p.app.paletteState.parameters.step, (std::array<float, 3>{5.0f, 3.0f, 4.0f}));
    }
    // The palette options of the 119-byte row stay off whatever its colour flags say.
    for (const std::uint8_t version : {30, 31}) {
        const std::string path = folder.file("old119.fra");
        writeBytes(path, test::oldFile119(version).bytes);
        Program p;
        ASSERT_TRUE(loadParameterFile(p.app, p.shell.services, path));
        EXPECT_EQ(p.app.settings.colourFlags, 4u | kHslBit);
        EXPECT_FALSE(p.app.paletteState.options.hsl);
        EXPECT_EQ(p.app.paletteState.parameters.start[0], version == 30 ? 9.0f : 9.5f);
        EXPECT_EQ(p.app.view.potValue, 0.0001);
    }
}

TEST(FormatFifty, FilesWithTheOlder500ByteFieldsAreRead)
{
    TempFolder folder;
    // The window's corners are binary fractions: their texts come back as they are.
    auto expectWindow = [](ViewState& v) {
        const MandelbrotNumbers& m = v.mandelbrot;
        EXPECT_EQ(m.xmin.text, "-2.0e0");
        EXPECT_EQ(m.xmax.text, "1.0e0");
        EXPECT_EQ(m.ymin.text, "-1.5e0");
        EXPECT_EQ(m.ymax.text, "1.5e0");
        EXPECT_NEAR(mpf_get_d(m.dx.mp()), 0.0046875, 1e-18);
    };
    {
        // Without image: 3077 bytes, read by the plain loader.
        const std::string path = folder.file("plain50.fra");
        writeBytes(path, test::narrowFormat50(0).bytes);
        Program p;
        ASSERT_TRUE(loadParameterFile(p.app, p.shell.services, path));
        expectWindow(p.app.view);
        EXPECT_EQ(p.app.view.mandelbrot.xmin.ext, -2.0L);
        EXPECT_EQ(p.app.view.iterMax, 300);
        EXPECT_EQ(p.app.paletteState.paletteOffset, 5);
        EXPECT_EQ(p.app.paletteState.parameters, kStoredPalette);
        EXPECT_EQ(p.app.view.potValue, 0.01);
        EXPECT_EQ(p.app.shell.pictureValid, 0);
        EXPECT_EQ(p.shell.observer.last("title"), "QUORVALIS (Deeplimit:-3)");
        EXPECT_EQ(p.shell.observer.last("potValue"), potValueText(0.01));
        // Centre and magnification follow from the window.
        EXPECT_EQ(mpf_cmp_d(p.app.view.mandelbrot.centreRe.mp(), -0.5), 0);
        EXPECT_EQ(mpf_cmp_d(p.app.view.mandelbrot.magnification.mp(), 1.0), 0);
    }
    {
        // With a 3 x 2 picture after the narrow fields.
        const std::string path = folder.file("narrow.fpi");
        writeBytes(path, test::narrowFormat50WithPicture().bytes);
        Program p;
        ASSERT_TRUE(loadParameterFileWithImage(p.app, p.shell.services, path));
        expectWindow(p.app.view);
        EXPECT_EQ(p.app.iterations.width, 3);
        EXPECT_EQ(p.app.iterations.height, 2);
        EXPECT_EQ(p.app.iterations.counts[5], 105);
    }
}

// --- Refusals: the message, and no change beyond the resets (which file gets which refusal is
// checked in parameter_format_test) ---

/// Loads with the plain or the with-image loader, expects the refusal's message and no change
/// beyond the resets.
void expectRefused(const test::RefusedFile& file)
{
    Program p;
    p.app.shell.currentFileName = "before.fra";
    const test::Snapshot before(p.app);
    const std::string& path = file.path;
    const bool loaded = file.withImage ? loadParameterFileWithImage(p.app, p.shell.services, path)
                                       : loadParameterFile(p.app, p.shell.services, path);
    EXPECT_FALSE(loaded) << path;
    EXPECT_EQ(p.shell.prompts.texts(),
              std::vector<std::string>{std::string(messageFor(file.refusal))})
        << path;
    EXPECT_EQ(p.shell.prompts.titles(), std::vector<std::string>{"QUORVALIS"});
    EXPECT_TRUE(test::Snapshot(p.app) == before) << path;
    EXPECT_EQ(p.app.settings.colourFlags, 0u);
    EXPECT_EQ(p.app.paletteState.paletteOffset, 0);
    EXPECT_EQ(p.app.view.potValue, 0.0);
    EXPECT_EQ(p.app.paletteState.options, PaletteOptions{});
    EXPECT_TRUE(p.shell.observer.shown.empty()) << path;
}

TEST(Refusals, OtherLengthsAndVersionBytesAreNotParameterFiles)
{
    TempFolder folder;
    for (const test::RefusedFile& file : test::filesOfNoLayout(folder)) {
        ASSERT_EQ(messageFor(file.refusal), kNotParameterFile);
        expectRefused(file);
    }
}

TEST(Refusals, FilesShorterThanTheirLayout)
{
    TempFolder folder;
    for (const test::RefusedFile& file : test::filesShorterThanTheirLayout(folder)) {
        ASSERT_EQ(messageFor(file.refusal), kShortParameterFile);
        expectRefused(file);
    }
}

TEST(Refusals, ImpossiblePrecisionsLimbCountsAndPictureSizes)
{
    TempFolder folder;
    for (const test::RefusedFile& file : test::filesWithImpossibleValues(folder)) {
        expectRefused(file);
    }
}

// --- The browser's header ---

TEST(ParameterHeader, ReportsTypeDeepZoomAndPrecisionOfEveryKind)
{
    TempFolder folder;
    Program deep;
    deepJulia(deep);
    ASSERT_TRUE(saveDeepFile(deep.app, deep.pictures, folder.file("j.fdz")));
    Program standard;
    shallowView(standard);
    test::smallPicture(standard.app, 3, 3);
    ASSERT_TRUE(saveStandardFile(standard.app, standard.pictures, folder.file("m.fra")));
    ASSERT_TRUE(saveStandardFileWithImage(standard.app, standard.shell.observer, standard.pictures,
                                          folder.file("m.fpi")));
    FileBytes old;
    old.u8(0).zeros(94); // a 95-byte Julia file
    writeBytes(folder.file("old.fra"), old.bytes);

    ShellState shell;
    ParameterHeader header;
    ASSERT_TRUE(readParameterHeader(folder.file("j.fdz"), shell, header));
    EXPECT_FALSE(header.mandelbrot);
    EXPECT_EQ(header.deepZoom, 1);
    EXPECT_EQ(header.precisionShown, deep.app.view.precisionBits);
    EXPECT_EQ(shell.lastFilePath, folder.file("j.fdz"));
    for (const std::string name : {"m.fra", "m.fpi"}) {
        header = ParameterHeader{false, 1, 1};
        ASSERT_TRUE(readParameterHeader(folder.file(name), shell, header)) << name;
        EXPECT_TRUE(header.mandelbrot);
        EXPECT_EQ(header.deepZoom, 0);
        EXPECT_EQ(header.precisionShown, 80);
    }
    header = ParameterHeader{true, 1, 1};
    ASSERT_TRUE(readParameterHeader(folder.file("old.fra"), shell, header));
    EXPECT_FALSE(header.mandelbrot);
    EXPECT_EQ(header.deepZoom, 0);
    EXPECT_EQ(header.precisionShown, 80);

    // Another file leaves the header as it was, but becomes lastFilePath; an empty path does not.
    writeBytes(folder.file("other.fxx"), std::vector<std::uint8_t>(154, 7));
    const ParameterHeader kept{false, 1, 1234};
    header = kept;
    EXPECT_FALSE(readParameterHeader(folder.file("other.fxx"), shell, header));
    EXPECT_EQ(header.precisionShown, 1234);
    EXPECT_EQ(shell.lastFilePath, folder.file("other.fxx"));
    EXPECT_FALSE(readParameterHeader("", shell, header));
    EXPECT_EQ(shell.lastFilePath, folder.file("other.fxx"));
}

TEST(Saving, AFailedWriteReportsFalseAndWritesNoThumbnail)
{
    Program p;
    test::smallPicture(p.app, 2, 2);
    const std::string path = "/nonexistent-folder-of-quorvalis/x.fra";
    EXPECT_FALSE(saveStandardFile(p.app, p.pictures, path));
    EXPECT_FALSE(saveDeepFile(p.app, p.pictures, path));
    EXPECT_FALSE(saveStandardFileWithImage(p.app, p.shell.observer, p.pictures, path));
    EXPECT_FALSE(saveDeepFileWithImage(p.app, p.pictures, path));
    EXPECT_FALSE(saveStandardFile(p.app, p.pictures, ""));
    EXPECT_TRUE(p.pictures.calls.empty());
    EXPECT_FALSE(loadParameterFile(p.app, p.shell.services, ""));
    EXPECT_TRUE(p.shell.prompts.asked().empty());
}

} // namespace
} // namespace qv
