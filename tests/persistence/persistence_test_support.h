// What the parameter-file tests share: a started program with recording services, files
// assembled byte by byte from the layouts, views to store, and the files every reading refuses.
#pragma once

#include "app/app_state.h"
#include "app/startup.h"
#include "engine/view_state.h"
#include "persistence/deep_limbs.h"
#include "persistence/parameter_files.h"
#include "tests/support/recording_picture_writer.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_shell.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace qv::test {

/// The program after its window-free start-up (1280-pixel screen, so 640 x 480), with
/// recording services.
struct Program
{
    explicit Program(unsigned processors = 2)
    {
        startUpWithoutWindows(app, StartupEnvironment{1280, 1024, processors, ""}, shell.services);
        shell.observer.shown.clear();
        shell.paletteHost.calls.clear();
    }

    AppState app;
    TestShell shell;
    RecordingPictureWriter pictures;
};

/// A file assembled field by field, little-endian, as the layout tables give it.
class FileBytes
{
public:
    FileBytes& u8(std::uint8_t v)
    {
        bytes.push_back(v);
        return *this;
    }

    FileBytes& u32(std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        }
        return *this;
    }

    FileBytes& i32(std::int32_t v) { return u32(static_cast<std::uint32_t>(v)); }

    FileBytes& f32(float v) { return u32(std::bit_cast<std::uint32_t>(v)); }

    FileBytes& f64(double v)
    {
        const auto bits = std::bit_cast<std::uint64_t>(v);
        u32(static_cast<std::uint32_t>(bits));
        return u32(static_cast<std::uint32_t>(bits >> 32));
    }

    /// The x87 extended form, which on x86-64 is the first ten bytes of a long double.
    FileBytes& ext(long double v)
    {
        std::uint8_t raw[16] = {};
        std::memcpy(raw, &v, sizeof v);
        bytes.insert(bytes.end(), raw, raw + 10);
        return *this;
    }

    /// A text field of `width` bytes: the text, a zero byte, zeros.
    FileBytes& text(std::string_view t, std::size_t width)
    {
        bytes.insert(bytes.end(), t.begin(), t.end());
        bytes.insert(bytes.end(), width - t.size(), 0);
        return *this;
    }

    FileBytes& zeros(std::size_t n)
    {
        bytes.insert(bytes.end(), n, 0);
        return *this;
    }

    std::vector<std::uint8_t> bytes;
};

inline std::uint32_t u32At(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return static_cast<std::uint32_t>(b.at(at)) | (static_cast<std::uint32_t>(b.at(at + 1)) << 8) |
           (static_cast<std::uint32_t>(b.at(at + 2)) << 16) |
           (static_cast<std::uint32_t>(b.at(at + 3)) << 24);
}

inline std::int32_t i32At(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return static_cast<std::int32_t>(u32At(b, at));
}

/// A Julia view: bit 0 clear, bit 1 set.
inline void makeJulia(ViewState& view)
{
    view.modeWord = (view.modeWord & ~1u) | 2u;
}

/// Sets the current window from decimal texts (xmin, xmax, ymin, ymax; a Julia view also takes
/// cr, ci first) and lets the view take them as typed text does: precision, steps, deep zoom.
inline void typeWindow(AppState& app, RecordingObserver& observer,
                       const std::vector<std::string>& texts)
{
    ViewState& view = app.view;
    std::size_t next = 0;
    if (!isMandelbrot(view)) {
        view.julia.cr.text = texts.at(next++);
        view.julia.ci.text = texts.at(next++);
    }
    const WindowRef w = currentWindow(view);
    w.xmin.text = texts.at(next++);
    w.xmax.text = texts.at(next++);
    w.ymin.text = texts.at(next++);
    w.ymax.text = texts.at(next++);
    ASSERT_TRUE(takeTypedView(view, viewContext(app), observer, TypedView::Window));
}

/// Palette settings unlike the defaults, with the table generated from them.
inline void customPalette(AppState& app, TestShell& shell)
{
    PaletteState& p = app.paletteState;
    p.parameters = {{3.5f, 100.0f, 200.25f}, {0.75f, 2.0f, 1.125f}, {250.0f, 20.0f, 99.0f}};
    p.options.hsl = true;
    p.options.exp2 = true;
    p.paletteOffset = -12345;
    PaletteContext context = paletteContext(app, shell.services);
    generatePalette(context, PaletteMode::FromParameters);
}

/// The current view's stored numbers in file order: the first 6 of the Mandelbrot view or
/// the 8 of the Julia view.
inline std::vector<ViewNumber*> storedNumbers(ViewState& view)
{
    std::vector<ViewNumber*> numbers;
    if (isMandelbrot(view)) {
        for (std::size_t i = 0; i < MandelbrotNumbers::kStored; ++i) {
            numbers.push_back(view.mandelbrot.inOrder()[i]);
        }
    } else {
        for (ViewNumber* n : view.julia.inOrder()) {
            numbers.push_back(n);
        }
    }
    return numbers;
}

/// The 32-bit limb images of the current view's stored numbers, as the files keep them.
inline std::vector<DeepNumberImage> storedImages(ViewState& view)
{
    std::vector<DeepNumberImage> images;
    for (ViewNumber* n : storedNumbers(view)) {
        images.push_back(imageOfNumber(n->mp(), view.precisionBits).value());
    }
    return images;
}

/// One field of each of the current view's stored numbers, in file order.
template <typename T> std::vector<T> storedField(ViewState& view, T ViewNumber::*field)
{
    std::vector<T> out;
    for (const ViewNumber* n : storedNumbers(view)) {
        out.push_back(n->*field);
    }
    return out;
}

inline std::vector<long double> storedExtended(ViewState& view)
{
    return storedField(view, &ViewNumber::ext);
}

inline std::vector<std::string> storedTexts(ViewState& view)
{
    return storedField(view, &ViewNumber::text);
}

/// A small picture in the iteration buffer: indices, finished colours and zeros.
inline void smallPicture(AppState& app, std::int32_t width, std::int32_t height)
{
    app.settings.pictureWidth = width;
    app.settings.pictureHeight = height;
    app.iterations.allocate(width, height);
    for (std::int32_t j = 0; j < height; ++j) {
        for (std::int32_t i = 0; i < width; ++i) {
            const std::int32_t k = j * width + i;
            app.iterations.counts[app.iterations.at(i, j)] =
                k % 3 == 0 ? k * 1000 : (k % 3 == 1 ? -(0x010203 * k) : 0);
        }
    }
}

inline constexpr std::uint32_t kHslBit = PaletteOptions::kHslBit;
inline constexpr std::uint32_t kExp2Bit = PaletteOptions::kExp2Bit;

/// A shallow view in drawing mode 7 with settings unlike the start values.
inline void shallowView(Program& p, bool julia = false)
{
    setDrawingMode(p.app.view.modeWord, 7);
    if (julia) {
        makeJulia(p.app.view);
        typeWindow(p.app, p.shell.observer, {"-0.8", "0.156", "-1.5", "1.5", "-1.125", "1.125"});
    } else {
        typeWindow(p.app, p.shell.observer, {"-0.75", "-0.5", "0.1", "0.3"});
    }
    p.app.view.iterMax = 777;
    p.app.view.bailout = 16.5;
    p.app.view.potValue = 0.003;
    p.app.settings.colourFlags = 1u | 4u;
    customPalette(p.app, p.shell);
}

/// A Mandelbrot view about 1e-36 wide: deep zoom at 144 bits.
inline void deepMandelbrot(Program& p)
{
    setDrawingMode(p.app.view.modeWord, 3);
    typeWindow(p.app, p.shell.observer,
               {"-0.743643887037158704752191506114774", "-0.743643887037158704752191506114773",
                "0.131825904205311970493132056385139", "0.131825904205311970493132056385140"});
    ASSERT_EQ(p.app.view.deepZoom, 1);
    ASSERT_EQ(p.app.view.precisionBits, 144);
    p.app.view.iterMax = 5000;
    customPalette(p.app, p.shell);
}

/// A deep Julia view: eight stored numbers.
inline void deepJulia(Program& p)
{
    makeJulia(p.app.view);
    setDrawingMode(p.app.view.modeWord, 12);
    typeWindow(p.app, p.shell.observer,
               {"-0.7453", "0.11301", "0.0123456789012345678901234", "0.0123456789012345678901235",
                "-0.3000000000000000000000001", "-0.3000000000000000000000000"});
    ASSERT_EQ(p.app.view.deepZoom, 1);
    p.app.view.iterMax = 3000;
    p.app.view.bailout = 1e6;
}

/// The bytes with the 32-bit word at `at` replaced by v (as far as the bytes reach).
inline std::vector<std::uint8_t> withWord(std::vector<std::uint8_t> b, std::size_t at,
                                          std::uint32_t v)
{
    for (std::size_t i = 0; i < 4 && at + i < b.size(); ++i) {
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    return b;
}

// --- Older layouts, assembled by hand ---

/// The palette the hand-made files store, as floats.
inline const PaletteParameters kStoredPalette{
    {10.0f, 20.0f, 30.0f}, {1.5f, 2.5f, 3.5f}, {200.0f, 210.0f, 220.0f}};

/// A format-43 Mandelbrot file up to its palette (129 bytes): pot value 0.002, the window
/// -2..1 x -1.125..1.125, iterMax 250, bailout 64, kStoredPalette.
inline FileBytes format43Start(std::uint8_t version, std::uint32_t modeWord, std::uint32_t flags)
{
    FileBytes f;
    f.u8(version).u32(modeWord).u32(flags).ext(0.002L);
    f.ext(-2.0L).ext(1.0L).ext(3.0L / 640).ext(-1.125L).ext(1.125L).ext(2.25L / 480);
    f.i32(250).ext(64.0L);
    for (const float v : {10.0f, 20.0f, 30.0f, 1.5f, 2.5f, 3.5f, 200.0f, 210.0f, 220.0f}) {
        f.f32(v);
    }
    return f;
}

/// 75 bytes: the low mode byte of a Mandelbrot view in mode 1 with the old "Inside color" bit,
/// six numbers, iterMax 1000, bailout 0.5, no palette.
inline FileBytes oldFile75()
{
    FileBytes f;
    f.u8(1 | 4 | 64);
    f.ext(-2.5L).ext(1.5L).ext(4.0L / 640).ext(-1.5L).ext(1.5L).ext(3.0L / 480);
    f.i32(1000).ext(0.5L);
    return f;
}

/// The integer palette of the older rows, and the same as floats.
inline const std::vector<std::int32_t> kIntegerPalette{9, 8, 7, 2, 3, 4, 100, 110, 120};
inline const PaletteParameters kIntegerPaletteAsFloats{
    {9.0f, 8.0f, 7.0f}, {2.0f, 3.0f, 4.0f}, {100.0f, 110.0f, 120.0f}};

/// The eight numbers of a Julia view (cr -0.8, dx 3 / 640), iterMax 400 and bailout 10.
inline void oldJuliaNumbers(FileBytes& f)
{
    for (const long double v : {-1.5L, -1.0L, 1.5L, 1.0L, -0.8L, 0.156L, 2.0L / 480, 3.0L / 640}) {
        f.ext(v);
    }
    f.i32(400).ext(10.0L);
}

/// 131 bytes: the low byte of a Julia mode word in mode 2, eight numbers, integer palette.
inline FileBytes oldFile131()
{
    FileBytes f;
    f.u8(2 | 8);
    oldJuliaNumbers(f);
    for (const std::int32_t v : kIntegerPalette) {
        f.i32(v);
    }
    return f;
}

/// 135 bytes: version 20, a Julia mode word with the old inside bit, an integer palette with a
/// zero step (1, 2, 3 / 0, 5, 6 / 7, 8, 9).
inline FileBytes oldFile135()
{
    FileBytes f;
    f.u8(20).u32(2 | 8 | 64);
    oldJuliaNumbers(f);
    for (const std::int32_t v : {1, 2, 3, 0, 5, 6, 7, 8, 9}) {
        f.i32(v);
    }
    return f;
}

/// 119 bytes: colour flags 4 | HSL stored; the palette as integers with version 30, as the
/// same values plus 0.5 in floats otherwise.
inline FileBytes oldFile119(std::uint8_t version)
{
    FileBytes f;
    f.u8(version).u32(5).u32(4u | kHslBit);
    f.ext(-2.0L).ext(1.0L).ext(3.0L / 640).ext(-1.125L).ext(1.125L).ext(2.25L / 480);
    f.i32(500).ext(8.0L);
    for (const std::int32_t v : kIntegerPalette) {
        if (version == 30) {
            f.i32(v);
        } else {
            f.f32(static_cast<float>(v) + 0.5f);
        }
    }
    return f;
}

/// The window of the older format-50 files below: binary fractions, so their texts come back
/// as they are.
inline const std::vector<std::string> kNarrowTexts{"-2.0e0", "1.0e0", "4.6875e-3",
                                                   "-1.5e0", "1.5e0", "6.25e-3"};

/// Format 50 with the older 500-byte fields up to precisionBits (3077 bytes): mode word 5, pot
/// value 0.01, iterMax 300, bailout 8, kStoredPalette, offset 5, 96 bits.
inline FileBytes narrowFormat50(std::int32_t deepZoom)
{
    FileBytes f;
    f.u8(50).u32(5).i32(deepZoom).u32(4).f64(0.01);
    for (const std::string& t : kNarrowTexts) {
        f.text(t, 500);
    }
    f.i32(300).f64(8.0);
    for (const float v : {10.0f, 20.0f, 30.0f, 1.5f, 2.5f, 3.5f, 200.0f, 210.0f, 220.0f}) {
        f.f32(v);
    }
    f.i32(5).i32(96);
    return f;
}

/// narrowFormat50 with a 3 x 2 picture: values 100..105, then the border entries as zeros.
inline FileBytes narrowFormat50WithPicture()
{
    FileBytes f = narrowFormat50(0);
    f.i32(3).i32(2);
    for (std::int32_t k = 0; k < 20; ++k) {
        f.i32(k < 6 ? 100 + k : 0);
    }
    return f;
}

// --- Files every reading refuses ---

/// A file, whether the with-image loader is the one that reads it, and the refusal it gets.
struct RefusedFile
{
    std::string path;
    bool withImage = false;
    Refusal refusal = Refusal::None;
};

/// Other lengths and version bytes, and a file that does not exist.
inline std::vector<RefusedFile> filesOfNoLayout(const TempFolder& folder)
{
    FileBytes f = format43Start(49, 5, 4);
    f.zeros(154 - f.bytes.size());
    writeBytes(folder.file("bad154.fra"), f.bytes);
    writeBytes(folder.file("len100.fra"), std::vector<std::uint8_t>(100, 43));
    return {{folder.file("bad154.fra"), false, Refusal::NotOurs},
            {folder.file("len100.fra"), false, Refusal::NotOurs},
            {folder.file("missing.fra"), false, Refusal::NotOurs}};
}

/// A Julia mode word in a 133-byte file (eight numbers need 149), a .fdz without its last
/// byte, a .fpz cut inside its picture block.
inline std::vector<RefusedFile> filesShorterThanTheirLayout(const TempFolder& folder)
{
    writeBytes(folder.file("julia133.fra"), format43Start(43, 2 | 4, 4).i32(1).bytes);
    Program saved;
    deepMandelbrot(saved);
    smallPicture(saved.app, 4, 3);
    EXPECT_TRUE(saveDeepFile(saved.app, saved.pictures, folder.file("m.fdz")));
    std::vector<std::uint8_t> bytes = readBytes(folder.file("m.fdz"));
    bytes.resize(bytes.size() - 1);
    writeBytes(folder.file("cut.fdz"), bytes);
    EXPECT_TRUE(saveDeepFileWithImage(saved.app, saved.pictures, folder.file("m.fpz")));
    bytes = readBytes(folder.file("m.fpz"));
    bytes.resize(85 + 4 * 20); // inside the picture block
    writeBytes(folder.file("cut.fpz"), bytes);
    return {{folder.file("julia133.fra"), false, Refusal::ShortFile},
            {folder.file("cut.fdz"), false, Refusal::ShortFile},
            {folder.file("cut.fpz"), true, Refusal::ShortFile}};
}

/// Deep files of a 144-bit view with one field changed: precisions out of range, limb counts
/// beyond the precision, picture sides out of range.
inline std::vector<RefusedFile> filesWithImpossibleValues(const TempFolder& folder)
{
    Program saved;
    deepMandelbrot(saved);
    smallPicture(saved.app, 4, 3);
    EXPECT_TRUE(saveDeepFile(saved.app, saved.pictures, folder.file("m.fdz")));
    EXPECT_TRUE(saveDeepFileWithImage(saved.app, saved.pictures, folder.file("m.fpz")));
    const std::vector<std::uint8_t> deep = readBytes(folder.file("m.fdz"));
    const std::vector<std::uint8_t> image = readBytes(folder.file("m.fpz"));
    std::vector<RefusedFile> files;
    auto patched = [&](const std::vector<std::uint8_t>& from, std::size_t at, std::int32_t v,
                       const std::string& name, Refusal refusal) {
        writeBytes(folder.file(name), withWord(from, at, static_cast<std::uint32_t>(v)));
        files.push_back({folder.file(name), name.ends_with(".fpz"), refusal});
    };
    patched(deep, 73, 1 << 21, "huge.fdz", Refusal::Precision);
    patched(deep, 73, 64, "low.fdz", Refusal::Precision);
    // 144 bits hold at most (144 + 63) / 32 + 1 = 7 limbs.
    patched(deep, 77 + 4, 8, "limbs.fdz", Refusal::Limbs);
    patched(deep, 77 + 16 + 4, -0x7FFFFFFF, "absurd.fdz", Refusal::Limbs);
    patched(image, 77, 0, "w0.fpz", Refusal::PictureSize);
    patched(image, 81, 16385, "h16385.fpz", Refusal::PictureSize);
    patched(image, 77, -5, "wneg.fpz", Refusal::PictureSize);
    return files;
}

/// What a refused load must leave as it was (the resets aside).
struct Snapshot
{
    std::uint32_t modeWord;
    std::int32_t iterMax;
    std::int32_t precisionBits;
    std::vector<std::string> texts;
    std::vector<std::uint32_t> palette;
    std::int32_t width;
    std::string currentFileName;

    explicit Snapshot(AppState& app)
        : modeWord(app.view.modeWord), iterMax(app.view.iterMax),
          precisionBits(app.view.precisionBits), texts(storedTexts(app.view)),
          palette(app.palette.entries), width(app.iterations.width),
          currentFileName(app.shell.currentFileName)
    {
    }

    bool operator==(const Snapshot&) const = default;
};

} // namespace qv::test
