// What the parameter-file tests share: a started program with recording services, files
// assembled byte by byte from the layouts, and views to store.
#pragma once

#include "app/app_state.h"
#include "app/startup.h"
#include "engine/view_state.h"
#include "persistence/deep_limbs.h"
#include "tests/support/recording_picture_writer.h"
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

/// The 32-bit limb images of the current view's stored numbers, as the files keep them.
inline std::vector<DeepNumberImage> storedImages(ViewState& view)
{
    std::vector<DeepNumberImage> images;
    const std::size_t count =
        isMandelbrot(view) ? MandelbrotNumbers::kStored : JuliaNumbers::kStored;
    std::vector<ViewNumber*> numbers;
    if (isMandelbrot(view)) {
        for (ViewNumber* n : view.mandelbrot.inOrder()) {
            numbers.push_back(n);
        }
    } else {
        for (ViewNumber* n : view.julia.inOrder()) {
            numbers.push_back(n);
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        images.push_back(imageOfNumber(numbers[i]->mp(), view.precisionBits).value());
    }
    return images;
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

} // namespace qv::test
