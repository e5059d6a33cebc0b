// The render driver: strip tables, the renderer choice, whole pictures against plain reference
// loops with the same strip layout, stops by Esc, titles and the steps after a picture.
#include "engine/colouring.h"
#include "engine/kernel_kind.h"
#include "engine/kernels_deep.h"
#include "engine/kernels_extended.h"
#include "engine/mp_float.h"
#include "base/number_text.h"
#include "engine/render_driver.h"
#include "engine/strip_job.h"
#include "engine/view_state.h"
#include "app/app_state.h"
#include "tests/support/scripted_render_host.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include <gmp.h>
#include <gtest/gtest.h>

namespace qv {
namespace {

using test::ScriptedRenderHost;

struct Raw
{
    std::vector<std::int32_t> counts;
    std::vector<float> a;
    std::vector<float> b;

    bool operator==(const Raw&) const = default;
};

/// A test picture: threads workers allowed, palette entries all distinct, entry 0 not black.
void prepare(AppState& app, std::int32_t width, std::int32_t height, std::int32_t threads)
{
    app.settings.pictureWidth = width;
    app.settings.pictureHeight = height;
    app.settings.threads = threads;
    app.settings.multiThreaded = threads > 1 ? 1 : 0;
    app.shell.processorCount = 2;
    app.shell.juliaShown = 1;
    app.iterations.allocate(width, height);
    for (std::size_t i = 0; i < app.palette.entries.size(); ++i) {
        app.palette.entries[i] = static_cast<std::uint32_t>(i * 2654435761u) & 0x00FFFFFFu;
    }
    app.palette.entries[0] = 0x00ABCDEFu;
}

void setWindow(AppState& app, long double xmin, long double xmax, long double ymin,
               long double ymax)
{
    WindowRef w = currentWindow(app.view);
    w.xmin.ext = xmin;
    w.xmax.ext = xmax;
    w.ymin.ext = ymin;
    w.ymax.ext = ymax;
    extendedToDeep(app.view);
}

/// On the edge of the Mandelbrot set, where a last-bit change of y changes escape results.
void edgeView(AppState& app)
{
    app.view.iterMax = 600;
    setWindow(app, -0.7480L, -0.7460L, 0.0980L, 0.0995L);
}

/// A Julia set that is nearly the unit disc: rows far from 0 escape at once, rows near it never
/// escape and cost iterMax iterations per pixel.
void cheapThenHeavyJuliaView(AppState& app, std::int32_t iterMax)
{
    app.view.modeWord = 4; // Julia, drawing mode 1
    app.view.julia.cr.ext = -0.1L;
    app.view.julia.ci.ext = 0.1L;
    app.view.iterMax = iterMax;
    setWindow(app, -0.4L, 0.4L, -6.4L, 0.0L);
}

/// Rows 0..54 of the 16 x 64 picture of cheapThenHeavyJuliaView escape within 20 iterations;
/// rows 55..63 hold pixels of the set.
constexpr std::int32_t kCheapRows = 55;

/// Every pixel computed row by row from the definitions: x and y of a strip start at
/// xmin and ymin + dy * firstRow and step by repeated addition.
Raw referenceExtended(AppState& app, const std::vector<StripBounds>& strips)
{
    const std::int32_t width = app.settings.pictureWidth;
    const std::int32_t height = app.settings.pictureHeight;
    const WindowRef w = currentWindow(app.view);
    const bool mandelbrot = (app.view.modeWord & 1u) != 0;
    const long double dx = (w.xmax.ext - w.xmin.ext) / static_cast<long double>(width);
    const long double dy = (w.ymax.ext - w.ymin.ext) / static_cast<long double>(height);
    const KernelKind kind =
        drawingMode(app.view.modeWord) == 2 ? KernelKind::RealSquare : KernelKind::Plain;
    const EscapeLimits lim = makeEscapeLimits(app.view.iterMax, app.view.bailout);
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    Raw raw{std::vector<std::int32_t>(n), std::vector<float>(n), std::vector<float>(n)};
    for (const StripBounds& strip : strips) {
        long double y = w.ymin.ext + dy * static_cast<long double>(strip.firstRow);
        for (std::int32_t row = strip.firstRow; row <= strip.lastRow; ++row) {
            long double x = w.xmin.ext;
            for (std::int32_t col = 0; col < width; ++col) {
                const long double cr = mandelbrot ? x : app.view.julia.cr.ext;
                const long double ci = mandelbrot ? y : app.view.julia.ci.ext;
                const PixelEscape e = iteratePixelExtended(kind, lim, x, y, cr, ci);
                const auto at = static_cast<std::size_t>(row * width + col);
                raw.counts[at] = e.count;
                raw.a[at] = e.a;
                raw.b[at] = e.b;
                x += dx;
            }
            y += dy;
        }
    }
    return raw;
}

/// The same through the deep kernel, one call per strip from the strip's own start.
Raw referenceDeep(AppState& app, const std::vector<StripBounds>& strips)
{
    const std::int32_t width = app.settings.pictureWidth;
    const std::int32_t height = app.settings.pictureHeight;
    const std::int32_t bits = app.view.precisionBits;
    const auto ubits = static_cast<unsigned long>(bits);
    const WindowRef w = currentWindow(app.view);
    MpFloat dx(ubits);
    MpFloat dy(ubits);
    mpf_sub(dx.get(), w.xmax.mp(), w.xmin.mp());
    mpf_div_ui(dx.get(), dx.get(), static_cast<unsigned long>(width));
    mpf_sub(dy.get(), w.ymax.mp(), w.ymin.mp());
    mpf_div_ui(dy.get(), dy.get(), static_cast<unsigned long>(height));
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    Raw raw{std::vector<std::int32_t>(n), std::vector<float>(n), std::vector<float>(n)};
    for (const StripBounds& strip : strips) {
        DeepStripJob job(bits);
        job.iterMax = app.view.iterMax;
        const auto at = static_cast<std::size_t>(strip.firstRow * width);
        job.counts = raw.counts.data() + at;
        job.a = raw.a.data() + at;
        job.b = raw.b.data() + at;
        job.mandelbrot = static_cast<std::int32_t>(app.view.modeWord & 1u);
        job.width = width;
        job.firstRow = strip.firstRow;
        job.lastRow = strip.lastRow;
        job.bailout = app.view.bailout;
        mpf_set(job.x0.get(), w.xmin.mp());
        mpf_set(job.dx.get(), dx.get());
        mpf_mul_ui(job.y0.get(), dy.get(), static_cast<unsigned long>(strip.firstRow));
        mpf_add(job.y0.get(), job.y0.get(), w.ymin.mp());
        mpf_set(job.dy.get(), dy.get());
        mpf_set(job.juliaCr.get(), app.view.julia.cr.mp());
        mpf_set(job.juliaCi.get(), app.view.julia.ci.mp());
        runDeepStripJob(job, kernelKindForMode(drawingMode(app.view.modeWord)), height);
    }
    return raw;
}

Raw rawOf(const RawResults& r)
{
    return Raw{r.counts, r.a, r.b};
}

/// What the colour pass makes of `raw` with the palette as it was before the render.
std::vector<std::int32_t> colouredFrom(const Raw& raw, const AppState& app, const Palette& palette)
{
    ColourSettings s;
    s.drawingMode = drawingMode(app.view.modeWord);
    s.colourFlags = app.settings.colourFlags;
    s.iterMax = app.view.iterMax;
    s.bailout = app.view.bailout;
    s.potValue = app.view.potValue;
    s.paletteOffset = app.paletteState.paletteOffset;
    const ColourConstants c = prepareColouring(s);
    std::vector<std::int32_t> coloured(raw.counts.size());
    for (std::size_t i = 0; i < coloured.size(); ++i) {
        coloured[i] = colourPixel(c, palette, raw.counts[i], raw.a[i], raw.b[i]);
    }
    return coloured;
}

std::vector<std::int32_t> usedCounts(const IterationBuffer& it)
{
    return {it.counts.begin(), it.counts.begin() + it.width * it.height};
}

/// Marks every pixel with values no kernel or colour pass gives, to tell untouched rows.
constexpr std::int32_t kOldValue = -0x123456;
constexpr float kOldA = 12345.0f;

void fillWithOldValues(IterationBuffer& it)
{
    std::fill(it.counts.begin(), it.counts.end(), kOldValue);
    std::fill(it.a.begin(), it.a.end(), kOldA);
}

/// After a stopped render every row holds either this render's results, coloured once, or
/// exactly the values from before; returns the rows of the first kind.
std::int32_t checkRowsWhollyNewOrOld(const AppState& app, const RawResults& raw,
                                     const Palette& before)
{
    const IterationBuffer& it = app.iterations;
    const std::vector<std::int32_t> coloured = colouredFrom(rawOf(raw), app, before);
    std::int32_t newRows = 0;
    for (std::int32_t row = 0; row < it.height; ++row) {
        const auto begin = static_cast<std::size_t>(row * it.width);
        const bool old = it.a[begin] == kOldA;
        for (std::size_t i = begin; i < begin + static_cast<std::size_t>(it.width); ++i) {
            if (old) {
                EXPECT_EQ(it.counts[i], kOldValue) << "row " << row;
                EXPECT_EQ(it.a[i], kOldA) << "row " << row;
                EXPECT_EQ(app.picture.pixels[i], 0x123456u) << "row " << row;
            } else {
                EXPECT_NE(it.a[i], kOldA) << "row " << row;
                EXPECT_EQ(it.counts[i], coloured[i]) << "row " << row;
            }
        }
        newRows += old ? 0 : 1;
    }
    EXPECT_EQ(newRows, app.render.rowsComputed);
    return newRows;
}

// ---- Layout and choice ----

TEST(RenderDriver, StripTablesCoverEveryRowOnceWithinThePicture)
{
    struct Case
    {
        std::int32_t height;
        std::int32_t threads;
        std::int32_t rowsPerStrip;
        std::vector<StripBounds> strips;
    };

    std::vector<StripBounds> sixteen;
    for (std::int32_t i = 0; i < 15; ++i) {
        sixteen.push_back({38 * i, 38 * i + 37});
    }
    sixteen.push_back({570, 599});
    const std::vector<Case> cases = {
        {1000, 3, 333, {{0, 332}, {333, 665}, {666, 999}}},
        {600, 16, 38, sixteen},
        // 1.5 rows per strip round up to 2: the fifth strip is cut at the last row, and no
        // sixth worker starts below the picture.
        {9, 6, 2, {{0, 1}, {2, 3}, {4, 5}, {6, 7}, {8, 8}}},
        {10, 4, 2, {{0, 1}, {2, 3}, {4, 5}, {6, 9}}}, // 2.5 rounds to even
        {2, 5, 1, {{0, 0}, {1, 1}}},                  // never more workers than rows
        {7, 0, 7, {{0, 6}}},
    };
    for (const Case& c : cases) {
        const StripLayout layout = stripLayout(c.height, c.threads);
        EXPECT_EQ(layout.rowsPerStrip, c.rowsPerStrip) << c.height << " / " << c.threads;
        EXPECT_EQ(layout.strips, c.strips) << c.height << " / " << c.threads;
    }
    EXPECT_TRUE(stripLayout(0, 4).strips.empty());
}

TEST(RenderDriver, ChoosesTheRendererFromDepthModeAndThreads)
{
    struct Case
    {
        std::int32_t firstPicture, processors, threads, multi, mode, deep;
        RendererKind expected;
    };

    const std::vector<Case> cases = {
        {0, 4, 4, 1, 1, 0, RendererKind::Threaded},
        {0, 4, 1, 0, 25, 0, RendererKind::Single},
        {0, 4, 4, 0, 5, 0, RendererKind::Single},
        {0, 1, 1, 0, 26, 0, RendererKind::Threaded}, // modes 26..28 need the workers
        {0, 1, 1, 0, 27, 0, RendererKind::Threaded},
        {0, 1, 1, 0, 28, 0, RendererKind::Threaded},
        {0, 4, 1, 0, 1, 1, RendererKind::Deep},
        // The first picture on one processor is single-threaded, where that renderer can
        // compute the view at all.
        {1, 1, 4, 1, 1, 0, RendererKind::Single},
        {1, 2, 4, 1, 1, 0, RendererKind::Threaded},
        {1, 1, 4, 1, 26, 0, RendererKind::Threaded},
        {1, 1, 4, 1, 1, 1, RendererKind::Deep},
    };
    for (const Case& c : cases) {
        AppState app;
        app.render.firstPicture = c.firstPicture;
        app.shell.processorCount = c.processors;
        app.settings.threads = c.threads;
        app.settings.multiThreaded = c.multi;
        setDrawingMode(app.view.modeWord, c.mode);
        app.view.deepZoom = c.deep;
        EXPECT_EQ(chooseRenderer(app), c.expected)
            << "first " << c.firstPicture << ", mode " << c.mode << ", deep " << c.deep;
    }
}

// ---- Exact pictures ----

TEST(RenderDriver, ThreadedRenderMatchesTheReferenceWithTheSameStrips)
{
    const std::vector<std::pair<std::int32_t, std::vector<StripBounds>>> layouts = {
        {1, {{0, 29}}},
        {2, {{0, 14}, {15, 29}}},
        {3, {{0, 9}, {10, 19}, {20, 29}}},
        {7, {{0, 3}, {4, 7}, {8, 11}, {12, 15}, {16, 19}, {20, 23}, {24, 29}}},
    };
    Raw oneStrip;
    for (const auto& [threads, strips] : layouts) {
        AppState app;
        prepare(app, 32, 30, threads);
        edgeView(app);
        const Raw expected = referenceExtended(app, strips);
        const Palette before = app.palette;
        ScriptedRenderHost host;
        RawResults raw;
        RenderOptions options;
        options.raw = &raw;

        // One worker is what the threaded renderer runs for drawing modes 26..28.
        if (threads == 1) {
            renderThreaded(app, host, options);
        } else {
            renderView(app, host, options);
        }

        EXPECT_EQ(app.render.lastRenderer, RendererKind::Threaded);
        EXPECT_EQ(app.render.rowsComputed, 30);
        EXPECT_TRUE(rawOf(raw) == expected) << threads << " workers";
        EXPECT_EQ(usedCounts(app.iterations), colouredFrom(expected, app, before))
            << threads << " workers";
        if (threads == 1) {
            oneStrip = expected;
        } else {
            // Otherwise the comparison could not tell one strip layout from another.
            EXPECT_FALSE(expected == oneStrip) << threads << " workers";
        }
    }
}

TEST(RenderDriver, ThreadedJuliaAndKinds3To5UseEveryStripAsLaidOut)
{
    AppState app;
    prepare(app, 20, 15, 3);
    app.view.modeWord = 4 | 2; // Julia chosen
    app.view.julia.cr.ext = -0.8L;
    app.view.julia.ci.ext = 0.156L;
    app.view.iterMax = 300;
    setWindow(app, -1.5L, 1.5L, -1.0L, 1.0L);
    const Raw expected = referenceExtended(app, {{0, 4}, {5, 9}, {10, 14}});
    ScriptedRenderHost host;
    RawResults raw;
    RenderOptions options;
    options.raw = &raw;
    renderView(app, host, options);
    EXPECT_TRUE(rawOf(raw) == expected);

    // Modes 26..28 with one thread: the threaded renderer with one worker, one strip.
    for (const std::int32_t mode : {26, 27, 28}) {
        AppState one;
        prepare(one, 20, 15, 1);
        setDrawingMode(one.view.modeWord, mode);
        edgeView(one);
        const std::size_t n = 20 * 15;
        Raw strip{std::vector<std::int32_t>(n), std::vector<float>(n), std::vector<float>(n)};
        StripJob job;
        job.iterMax = one.view.iterMax;
        job.counts = strip.counts.data();
        job.a = strip.a.data();
        job.b = strip.b.data();
        job.width = 20;
        job.rowsPerStrip = 15;
        job.lastRow = 14;
        job.bailout = one.view.bailout;
        job.xmin = one.view.mandelbrot.xmin.ext;
        job.dx = (one.view.mandelbrot.xmax.ext - job.xmin) / 20.0L;
        job.y0 = one.view.mandelbrot.ymin.ext;
        job.dy = (one.view.mandelbrot.ymax.ext - job.y0) / 15.0L;
        runStripJob(job, kernelKindForMode(mode));
        ScriptedRenderHost oneHost;
        RawResults oneRaw;
        RenderOptions oneOptions;
        oneOptions.raw = &oneRaw;
        renderView(one, oneHost, oneOptions);
        EXPECT_EQ(one.render.lastRenderer, RendererKind::Threaded) << "mode " << mode;
        EXPECT_TRUE(rawOf(oneRaw) == strip) << "mode " << mode;
    }
}

TEST(RenderDriver, SingleRenderColoursEachRowAsTheColourPassWould)
{
    AppState app;
    prepare(app, 24, 18, 1);
    edgeView(app);
    app.view.iterMax = 150; // leaves pixels inside: index 0, drawn black
    app.settings.colourFlags |= ColourSettings::kSmoothColour;
    const Raw expected = referenceExtended(app, {{0, 17}});
    const Palette before = app.palette;
    ScriptedRenderHost host;
    RawResults raw;
    RenderOptions options;
    options.raw = &raw;

    renderView(app, host, options);

    EXPECT_EQ(app.render.lastRenderer, RendererKind::Single);
    EXPECT_TRUE(rawOf(raw) == expected);
    const std::vector<std::int32_t> coloured = colouredFrom(expected, app, before);
    EXPECT_EQ(usedCounts(app.iterations), coloured);
    EXPECT_TRUE(std::equal(expected.a.begin(), expected.a.end(), app.iterations.a.begin()));
    EXPECT_TRUE(std::equal(expected.b.begin(), expected.b.end(), app.iterations.b.begin()));
    EXPECT_NE(std::count(coloured.begin(), coloured.end(), 0), 0);
    // Each row on screen is the row of the finished picture.
    ASSERT_EQ(host.drawnRows.size(), 18u);
    for (std::size_t row = 0; row < 18; ++row) {
        EXPECT_TRUE(std::equal(host.drawnRows[row].begin(), host.drawnRows[row].end(),
                               app.picture.pixels.begin() + static_cast<std::ptrdiff_t>(row * 24)))
            << "row " << row;
    }
    EXPECT_EQ(host.polls, 18); // Esc is read after every row
}

TEST(RenderDriver, DeepRenderGivesTheSharedRowToTheStripStartingThere)
{
    AppState app;
    prepare(app, 12, 9, 2);
    app.view.iterMax = 120;
    setWindow(app, -0.80L, -0.70L, 0.05L, 0.125L);
    app.view.deepZoom = 1;
    app.settings.autosaveParameter = 1;
    const Raw expected = referenceDeep(app, {{0, 3}, {4, 8}});
    ScriptedRenderHost host;
    RawResults raw;
    RenderOptions options;
    options.raw = &raw;
    options.idleDeepWorkers = false;

    renderView(app, host, options);

    EXPECT_EQ(app.render.lastRenderer, RendererKind::Deep);
    EXPECT_TRUE(rawOf(raw) == expected);
    EXPECT_EQ(app.render.renderSuppressed, 1);
    EXPECT_EQ(app.shell.pictureValid, 1);
    EXPECT_EQ(app.shell.rendering, 0);
    EXPECT_EQ(app.render.stopFlag.load(), 1);
    EXPECT_TRUE(host.has("title: " + std::string(kDeepStartTitle)));
    EXPECT_EQ(host.all("backup"), std::vector<std::string>{"deep"});
    // The deep copies gave the view back its text and its depth: far from deep, so it is off.
    EXPECT_TRUE(host.has("deepZoom: off"));
    EXPECT_EQ(app.view.deepZoom, 0);

    // While rendering is suppressed, and while the picture is valid, a request does nothing.
    const std::vector<std::int32_t> counts = app.iterations.counts;
    ScriptedRenderHost again;
    app.shell.pictureValid = 0;
    renderView(app, again);
    app.render.renderSuppressed = 0;
    app.shell.pictureValid = 1;
    renderView(app, again);
    app.shell.pictureValid = 0;
    app.shell.rendering = 1;
    renderView(app, again);
    EXPECT_TRUE(again.shown.empty());
    EXPECT_EQ(again.pumps, 0);
    EXPECT_EQ(app.iterations.counts, counts);
}

// ---- Stops ----

TEST(RenderDriver, EscDuringSingleRenderStopsAfterTheCurrentRow)
{
    AppState app;
    prepare(app, 20, 12, 1);
    edgeView(app);
    app.settings.autosaveParameter = 1;
    fillWithOldValues(app.iterations);
    const Palette before = app.palette;
    ScriptedRenderHost host;
    host.escAtPump = 3;
    RawResults raw;
    RenderOptions options;
    options.raw = &raw;

    renderView(app, host, options);

    EXPECT_EQ(app.render.stoppedByUser, 1);
    EXPECT_EQ(host.drawnRows.size(), 3u);
    EXPECT_EQ(host.polls, 3);
    EXPECT_EQ(host.pollsSinceEscDown, 1);
    EXPECT_EQ(host.pumpsAfterEscRead, 0);
    EXPECT_EQ(checkRowsWhollyNewOrOld(app, raw, before), 3);
    const Raw expected = referenceExtended(app, {{0, 11}});
    EXPECT_TRUE(
        std::equal(expected.counts.begin(), expected.counts.begin() + 60, raw.counts.begin()));
    EXPECT_EQ(app.shell.pictureValid, 1);
    EXPECT_EQ(app.shell.mandelbrotShown, 1);
    EXPECT_TRUE(host.all("backup").empty()); // a stopped picture is not backed up
}

TEST(RenderDriver, EscDuringThreadedRenderKeepsUncomputedRows)
{
    AppState app;
    prepare(app, 16, 64, 2);
    cheapThenHeavyJuliaView(app, 5'000'000);
    fillWithOldValues(app.iterations);
    const Palette before = app.palette;
    ScriptedRenderHost host;
    host.escAtRowsDone = kCheapRows;
    RawResults raw;
    RenderOptions options;
    options.raw = &raw;

    renderView(app, host, options);

    EXPECT_EQ(app.render.stoppedByUser, 1);
    EXPECT_EQ(host.pollsSinceEscDown, 1); // seen at the next poll
    EXPECT_EQ(host.pumpsAfterEscRead, 0);
    const std::int32_t computed = checkRowsWhollyNewOrOld(app, raw, before);
    EXPECT_GE(computed, kCheapRows);
    EXPECT_LT(computed, 64);
    EXPECT_EQ(app.render.stopFlag.load(), 0);
    // The cheap rows are exact.
    const Raw expected = referenceExtended(app, {{0, 31}, {32, kCheapRows - 1}});
    const auto cheap = static_cast<std::ptrdiff_t>(kCheapRows * 16);
    EXPECT_TRUE(
        std::equal(expected.counts.begin(), expected.counts.begin() + cheap, raw.counts.begin()));
    EXPECT_TRUE(std::equal(expected.a.begin(), expected.a.begin() + cheap, raw.a.begin()));
}

/// How the deep progress title begins while a render runs (two blanks before the figure).
constexpr std::string_view kProgressTitlePrefix = "QUORVALIS - Calculating  ";

/// Holds Esc back until the deep progress title has been shown once, so that a slow machine
/// (or a sanitizer) that finishes the cheap rows before the first poll still sees a title.
class EscAfterProgressTitleHost : public ScriptedRenderHost
{
public:
    void setMainTitle(std::string_view title) override
    {
        titleShown = titleShown || title.starts_with(kProgressTitlePrefix);
        ScriptedRenderHost::setMainTitle(title);
    }

    void showProgress(std::int32_t rowsDone, std::int32_t rows) override
    {
        if (titleShown) {
            ScriptedRenderHost::showProgress(rowsDone, rows);
        }
    }

private:
    bool titleShown = false;
};

TEST(RenderDriver, EscDuringDeepRenderKeepsUncomputedRowsAndShowsTheLeastAdvancedStrip)
{
    AppState app;
    prepare(app, 16, 64, 2);
    cheapThenHeavyJuliaView(app, 60'000);
    app.view.deepZoom = 1;
    fillWithOldValues(app.iterations);
    const Palette before = app.palette;
    EscAfterProgressTitleHost host;
    host.escAtRowsDone = kCheapRows;
    RawResults raw;
    RenderOptions options;
    options.raw = &raw;
    options.idleDeepWorkers = false;
    options.deepRepaintInterval = std::chrono::milliseconds(0);

    renderView(app, host, options);

    EXPECT_EQ(app.render.lastRenderer, RendererKind::Deep);
    EXPECT_EQ(app.render.stoppedByUser, 1);
    EXPECT_EQ(host.pollsSinceEscDown, 1);
    const std::int32_t computed = checkRowsWhollyNewOrOld(app, raw, before);
    EXPECT_GE(computed, kCheapRows);
    EXPECT_LT(computed, 64);
    // Strip 0 (rows 0..31) is cheap and soon done; strip 1 still has its 9 rows in the set to
    // do (one of them may have ended before the stop), so the title shows at most
    // 100 - 100 * 8 / 32 percent while it runs; the share of all rows would give 86.
    const std::vector<std::string> titles = host.all("title");
    std::int32_t progressTitles = 0;
    for (const std::string& t : titles) {
        if (t.starts_with(kProgressTitlePrefix)) {
            ++progressTitles;
            EXPECT_LE(std::stoi(t.substr(kProgressTitlePrefix.size())), 75) << t;
        }
    }
    EXPECT_GT(progressTitles, 0);
    EXPECT_TRUE(host.has("invalidate: "));
}

// ---- Titles and the steps after a picture ----

TEST(RenderDriver, ProgressTitleFollowsTheLeastAdvancedStrip)
{
    const std::vector<StripBounds> strips = {{0, 37}, {38, 75}, {76, 99}};
    EXPECT_EQ(deepRemainingPercent(std::vector<std::int32_t>{38, 38, 24}, strips), 100);
    EXPECT_EQ(deepRemainingPercent(std::vector<std::int32_t>{0, 19, 3}, strips), 50);
    // 12 of 24 rows left counts more than 14 of 38.
    EXPECT_EQ(deepRemainingPercent(std::vector<std::int32_t>{14, 0, 12}, strips), 50);
    EXPECT_EQ(deepRemainingPercent(std::vector<std::int32_t>{0, 0, 3}, strips), 12); // 12.5
    EXPECT_EQ(deepRemainingPercent(std::vector<std::int32_t>{0, 0, 0}, strips), 0);
    EXPECT_EQ(deepProgressTitle(37), "QUORVALIS - Calculating  37% - STOP WITH ESC-KEY");
    EXPECT_EQ(kDeepStartTitle, "QUORVALIS - Calculating 0% - STOP WITH ESC-KEY");
}

TEST(RenderDriver, TitlesDialogsAndThumbnailFollowThePicture)
{
    AppState app;
    prepare(app, 12, 9, 2);
    edgeView(app);
    ScriptedRenderHost host;
    renderView(app, host);
    EXPECT_EQ(host.all("title").front(), "QUORVALIS - Please wait. Stop with esc -key");
    EXPECT_EQ(host.all("iterMax"), std::vector<std::string>{" 600"});
    EXPECT_EQ(host.all("menuTitle"),
              std::vector<std::string>{"QUORVALIS - (Time:" +
                                       elapsedText(app.render.elapsedSeconds) + ") - Mandelbrot"});
    EXPECT_EQ(host.all("dialogs").size(), 1u);
    EXPECT_EQ(host.all("resize"), std::vector<std::string>{"12x9"});
    EXPECT_EQ(host.all("controls"), (std::vector<std::string>{"off", "on"}));
    EXPECT_EQ(elapsedText(0.25f), " 0.25");

    // A picture from a parameter file: its name in the menu title, the thumbnail when missing.
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "qv_render_driver_test";
    std::filesystem::create_directories(folder);
    const std::string file = (folder / "view.fra").string();
    std::filesystem::remove(file + ".jpg");
    app.shell.currentFileName = file;
    app.shell.pictureValid = 0;
    ScriptedRenderHost withFile;
    renderView(app, withFile);
    EXPECT_EQ(withFile.all("menuTitle"), std::vector<std::string>{"QUORVALIS - " + file});
    EXPECT_EQ(withFile.all("thumbnail"), std::vector<std::string>{file + ".jpg"});
    EXPECT_TRUE(withFile.all("resize").empty()); // same size as the last render
    std::ofstream(file + ".jpg") << "x";
    app.shell.pictureValid = 0;
    ScriptedRenderHost thumbnailThere;
    renderView(app, thumbnailThere);
    EXPECT_TRUE(thumbnailThere.all("thumbnail").empty());
    std::filesystem::remove_all(folder);

    // During an animation: no waiting title, no controls, dialogs or menu title.
    app.shell.animationRunning = 1;
    app.shell.pictureValid = 0;
    ScriptedRenderHost animated;
    renderView(app, animated);
    EXPECT_EQ(animated.shown, std::vector<std::string>{"invalidate: "});
}

TEST(RenderDriver, FirstJuliaPictureStartsFromTheDefaultJuliaWindow)
{
    AppState app;
    prepare(app, 12, 9, 2);
    app.view.modeWord = 4;
    app.shell.juliaShown = 0;
    app.view.iterMax = 900;
    setWindow(app, 0.1L, 0.2L, 0.3L, 0.4L);
    app.iterations.allocate(3, 3); // a buffer of the wrong size is refitted
    ScriptedRenderHost host;
    renderView(app, host);
    EXPECT_EQ(app.view.julia.xmin.ext, -1.8L);
    EXPECT_EQ(app.view.julia.ymax.ext, 1.8L);
    EXPECT_EQ(app.view.iterMax, 100);
    EXPECT_EQ(app.shell.juliaShown, 1);
    EXPECT_EQ(app.shell.mandelbrotShown, 0);
    EXPECT_EQ(app.iterations.width, 12);
    EXPECT_EQ(app.iterations.height, 9);
    EXPECT_TRUE(host.all("menuTitle").back().ends_with(") - Julia"));
}

TEST(RenderDriver, AutosaveSkipsTheFirstPictureAndStoppedOnes)
{
    AppState app;
    prepare(app, 12, 9, 2);
    edgeView(app);
    app.settings.autosaveParameter = 1;
    app.render.firstPicture = 1;
    ScriptedRenderHost first;
    renderView(app, first);
    EXPECT_TRUE(first.all("backup").empty());
    EXPECT_EQ(app.render.firstPicture, 0);
    app.shell.pictureValid = 0;
    ScriptedRenderHost second;
    renderView(app, second);
    EXPECT_EQ(second.all("backup"), std::vector<std::string>{"standard"});
}

} // namespace
} // namespace qv
