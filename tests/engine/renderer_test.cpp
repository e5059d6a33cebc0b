// The renderers: strip tables, whole pictures against pixel-by-pixel references with the same
// strip layout, and stops by Esc that leave every row wholly new or wholly as it was.
#include "engine/colouring.h"
#include "engine/kernel_kind.h"
#include "engine/renderer.h"
#include "engine/strip_layout.h"
#include "engine/view_state.h"
#include "tests/support/reference_pictures.h"
#include "tests/support/scripted_progress.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::kCheapRows;
using test::Raw;
using test::ScriptedProgress;

/// One picture to render: a view, the buffers and the job. The palette's entries are all
/// distinct and entry 0 is not black, so that a wrong index or a missed entry-0 rule shows.
struct Scene
{
    Scene(std::int32_t width, std::int32_t height, std::int32_t threads, RendererKind renderer)
    {
        job.renderer = renderer;
        job.width = width;
        job.height = height;
        job.threads = threads;
        iterations.allocate(width, height);
        for (std::size_t i = 0; i < palette.entries.size(); ++i) {
            palette.entries[i] = static_cast<std::uint32_t>(i * 2654435761u) & 0x00FFFFFFu;
        }
        palette.entries[0] = 0x00ABCDEFu;
    }

    /// Renders with the colour settings of the view as it is now, keeping the raw results.
    RenderOutcome render(RenderProgress& progress, RenderOptions options = {})
    {
        job.colours = colourSettingsOf(view, colourFlags, 0);
        options.raw = &raw;
        return renderPicture(job, view, RenderTarget{iterations, palette, picture}, progress,
                             options);
    }

    Raw rawResults() const { return Raw{raw.counts, raw.a, raw.b}; }

    /// What the colour pass makes of `results` with the palette `before` the render.
    std::vector<std::int32_t> colouredFrom(const Raw& results, const Palette& before) const
    {
        const ColourConstants c = prepareColouring(colourSettingsOf(view, colourFlags, 0));
        std::vector<std::int32_t> coloured(results.counts.size());
        for (std::size_t i = 0; i < coloured.size(); ++i) {
            coloured[i] = colourPixel(c, before, results.counts[i], results.a[i], results.b[i]);
        }
        return coloured;
    }

    std::vector<std::int32_t> usedCounts() const
    {
        return {iterations.counts.begin(),
                iterations.counts.begin() + iterations.width * iterations.height};
    }

    ViewState view;
    std::uint32_t colourFlags = ColourSettings::kColourByPotential;
    IterationBuffer iterations;
    Palette palette;
    PictureBuffer picture;
    RenderJob job;
    RawResults raw;
};

/// Marks every pixel with values no kernel or colour pass gives, to tell untouched rows.
constexpr std::int32_t kOldValue = -0x123456;
constexpr float kOldA = 12345.0f;

void fillWithOldValues(Scene& s)
{
    std::fill(s.iterations.counts.begin(), s.iterations.counts.end(), kOldValue);
    std::fill(s.iterations.a.begin(), s.iterations.a.end(), kOldA);
}

/// After a stopped render every row holds either this render's results, coloured once, or
/// exactly the values from before; returns the rows of the first kind.
std::int32_t checkRowsWhollyNewOrOld(const Scene& s, const Palette& before,
                                     const RenderOutcome& outcome)
{
    const IterationBuffer& it = s.iterations;
    const std::vector<std::int32_t> coloured = s.colouredFrom(s.rawResults(), before);
    std::int32_t newRows = 0;
    for (std::int32_t row = 0; row < it.height; ++row) {
        const auto begin = static_cast<std::size_t>(row * it.width);
        const bool old = it.a[begin] == kOldA;
        for (std::size_t i = begin; i < begin + static_cast<std::size_t>(it.width); ++i) {
            if (old) {
                EXPECT_EQ(it.counts[i], kOldValue) << "row " << row;
                EXPECT_EQ(it.a[i], kOldA) << "row " << row;
                EXPECT_EQ(s.picture.pixels[i], 0x123456u) << "row " << row;
            } else {
                EXPECT_NE(it.a[i], kOldA) << "row " << row;
                EXPECT_EQ(it.counts[i], coloured[i]) << "row " << row;
            }
        }
        newRows += old ? 0 : 1;
    }
    EXPECT_EQ(newRows, outcome.rowsComputed);
    return newRows;
}

// ---- Strips ----

TEST(Renderers, StripTablesCoverEveryRowOnceWithinThePicture)
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

TEST(Renderers, StripProgressIsThatOfTheLeastAdvancedStrip)
{
    const std::vector<StripBounds> strips = {{0, 37}, {38, 75}, {76, 99}};
    EXPECT_EQ(deepRemainingPercent(std::vector<std::int32_t>{38, 38, 24}, strips), 100);
    EXPECT_EQ(deepRemainingPercent(std::vector<std::int32_t>{0, 19, 3}, strips), 50);
    // 12 of 24 rows left counts more than 14 of 38.
    EXPECT_EQ(deepRemainingPercent(std::vector<std::int32_t>{14, 0, 12}, strips), 50);
    EXPECT_EQ(deepRemainingPercent(std::vector<std::int32_t>{0, 0, 3}, strips), 12); // 12.5
    EXPECT_EQ(deepRemainingPercent(std::vector<std::int32_t>{0, 0, 0}, strips), 0);
}

// ---- Exact pictures ----

TEST(Renderers, ThreadedRenderMatchesTheReferenceWithTheSameStrips)
{
    const std::vector<std::pair<std::int32_t, std::vector<StripBounds>>> layouts = {
        {1, {{0, 29}}},
        {2, {{0, 14}, {15, 29}}},
        {3, {{0, 9}, {10, 19}, {20, 29}}},
        {7, {{0, 3}, {4, 7}, {8, 11}, {12, 15}, {16, 19}, {20, 23}, {24, 29}}},
    };
    Raw oneStrip;
    for (const auto& [threads, strips] : layouts) {
        Scene s(32, 30, threads, RendererKind::Threaded);
        test::edgeView(s.view);
        const Raw expected = test::referenceExtended(s.view, 32, 30, strips);
        const Palette before = s.palette;
        ScriptedProgress progress;

        const RenderOutcome outcome = s.render(progress);

        EXPECT_EQ(outcome.renderer, RendererKind::Threaded);
        EXPECT_EQ(outcome.rowsComputed, 30);
        EXPECT_FALSE(outcome.stopped);
        EXPECT_TRUE(s.rawResults() == expected) << threads << " workers";
        EXPECT_EQ(s.usedCounts(), s.colouredFrom(expected, before)) << threads << " workers";
        if (threads == 1) {
            oneStrip = expected;
        } else {
            // Otherwise the comparison could not tell one strip layout from another.
            EXPECT_FALSE(expected == oneStrip) << threads << " workers";
        }
    }
}

TEST(Renderers, ThreadedJuliaAndKinds3To5UseEveryStripAsLaidOut)
{
    Scene julia(20, 15, 3, RendererKind::Threaded);
    julia.view.modeWord = 4 | 2; // Julia chosen
    julia.view.julia.cr.ext = -0.8L;
    julia.view.julia.ci.ext = 0.156L;
    julia.view.iterMax = 300;
    test::setWindow(julia.view, -1.5L, 1.5L, -1.0L, 1.0L);
    const Raw expected = test::referenceExtended(julia.view, 20, 15, {{0, 4}, {5, 9}, {10, 14}});
    ScriptedProgress progress;
    julia.render(progress);
    EXPECT_TRUE(julia.rawResults() == expected);

    // Modes 26..28 with one thread: one worker, one strip, the kernel's own strip loop.
    for (const std::int32_t mode : {26, 27, 28}) {
        Scene one(20, 15, 1, RendererKind::Threaded);
        setDrawingMode(one.view.modeWord, mode);
        test::edgeView(one.view);
        const Raw strip =
            test::referenceExtended(one.view, 20, 15, {{0, 14}}, kernelKindForMode(mode));
        ScriptedProgress oneProgress;
        one.render(oneProgress);
        EXPECT_TRUE(one.rawResults() == strip) << "mode " << mode;
    }
}

TEST(Renderers, SingleRenderColoursEachRowAsTheColourPassWould)
{
    Scene s(24, 18, 1, RendererKind::Single);
    test::edgeView(s.view);
    s.view.iterMax = 150; // leaves pixels inside: index 0, drawn black
    s.colourFlags |= ColourSettings::kSmoothColour;
    const Raw expected = test::referenceExtended(s.view, 24, 18, {{0, 17}});
    const Palette before = s.palette;
    ScriptedProgress progress;

    const RenderOutcome outcome = s.render(progress);

    EXPECT_EQ(outcome.renderer, RendererKind::Single);
    EXPECT_TRUE(s.rawResults() == expected);
    const std::vector<std::int32_t> coloured = s.colouredFrom(expected, before);
    EXPECT_EQ(s.usedCounts(), coloured);
    EXPECT_TRUE(std::equal(expected.a.begin(), expected.a.end(), s.iterations.a.begin()));
    EXPECT_TRUE(std::equal(expected.b.begin(), expected.b.end(), s.iterations.b.begin()));
    EXPECT_NE(std::count(coloured.begin(), coloured.end(), 0), 0);
    // Each row on screen is the row of the finished picture.
    ASSERT_EQ(progress.drawnRows.size(), 18u);
    for (std::size_t row = 0; row < 18; ++row) {
        EXPECT_TRUE(std::equal(progress.drawnRows[row].begin(), progress.drawnRows[row].end(),
                               s.picture.pixels.begin() + static_cast<std::ptrdiff_t>(row * 24)))
            << "row " << row;
    }
    EXPECT_EQ(progress.polls, 18); // Esc is read after every row
}

TEST(Renderers, SingleRenderMatchesTheReferenceForEveryKindItIsGiven)
{
    // {Mandelbrot, drawing mode}: kind 2, and kinds 3 to 5, which it computes as kind 1.
    const std::pair<bool, std::int32_t> cases[] = {{true, 2},  {false, 1}, {false, 2},
                                                   {true, 26}, {true, 27}, {false, 28}};
    for (const auto& [mandelbrot, mode] : cases) {
        Scene s(17, 11, 1, RendererKind::Single);
        test::edgeView(s.view);
        if (!mandelbrot) {
            s.view.modeWord = 4 | 2;
            s.view.julia.cr.ext = -0.8L;
            s.view.julia.ci.ext = 0.156L;
            test::setWindow(s.view, -1.5L, 1.5L, -1.0L, 1.0L);
        }
        setDrawingMode(s.view.modeWord, mode);
        const Raw expected = test::referenceExtended(s.view, 17, 11, {{0, 10}});
        ScriptedProgress progress;
        s.render(progress);
        EXPECT_TRUE(s.rawResults() == expected) << mandelbrot << " mode " << mode;
    }
}

TEST(Renderers, DeepRenderGivesTheSharedRowToTheStripStartingThere)
{
    Scene s(12, 9, 2, RendererKind::Deep);
    s.view.iterMax = 120;
    test::setWindow(s.view, -0.80L, -0.70L, 0.05L, 0.125L);
    s.view.deepZoom = 1;
    const Raw expected = test::referenceDeep(s.view, 12, 9, {{0, 3}, {4, 8}});
    ScriptedProgress progress;
    RenderOptions options;
    options.idleDeepWorkers = false;

    const RenderOutcome outcome = s.render(progress, options);

    EXPECT_EQ(outcome.renderer, RendererKind::Deep);
    EXPECT_EQ(outcome.rowsComputed, 9);
    EXPECT_TRUE(s.rawResults() == expected);
}

TEST(Renderers, APictureWithoutPixelsIsNotRendered)
{
    for (const RendererKind kind :
         {RendererKind::Single, RendererKind::Threaded, RendererKind::Deep}) {
        Scene s(0, 5, 2, kind);
        test::edgeView(s.view);
        ScriptedProgress progress;
        EXPECT_EQ(s.render(progress).renderer, RendererKind::None);
        EXPECT_EQ(progress.pumps, 0);
    }
}

// ---- Stops ----

TEST(Renderers, EscDuringSingleRenderStopsAfterTheCurrentRow)
{
    Scene s(20, 12, 1, RendererKind::Single);
    test::edgeView(s.view);
    fillWithOldValues(s);
    const Palette before = s.palette;
    ScriptedProgress progress;
    progress.escAtPump = 3;

    const RenderOutcome outcome = s.render(progress);

    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(progress.drawnRows.size(), 3u);
    EXPECT_EQ(progress.polls, 3);
    EXPECT_EQ(progress.pollsSinceEscDown, 1);
    EXPECT_EQ(progress.pumpsAfterEscRead, 0);
    EXPECT_EQ(checkRowsWhollyNewOrOld(s, before, outcome), 3);
    const Raw expected = test::referenceExtended(s.view, 20, 12, {{0, 11}});
    EXPECT_TRUE(
        std::equal(expected.counts.begin(), expected.counts.begin() + 60, s.raw.counts.begin()));
}

TEST(Renderers, EscDuringThreadedRenderKeepsUncomputedRows)
{
    Scene s(16, 64, 2, RendererKind::Threaded);
    test::cheapThenHeavyJuliaView(s.view, 5'000'000);
    fillWithOldValues(s);
    const Palette before = s.palette;
    ScriptedProgress progress;
    progress.escAtRowsDone = kCheapRows;

    const RenderOutcome outcome = s.render(progress);

    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(progress.pollsSinceEscDown, 1); // seen at the next poll
    EXPECT_EQ(progress.pumpsAfterEscRead, 0);
    const std::int32_t computed = checkRowsWhollyNewOrOld(s, before, outcome);
    EXPECT_GE(computed, kCheapRows);
    EXPECT_LT(computed, 64);
    // The cheap rows are exact.
    const Raw expected = test::referenceExtended(s.view, 16, 64, {{0, 31}, {32, kCheapRows - 1}});
    const auto cheap = static_cast<std::ptrdiff_t>(kCheapRows * 16);
    EXPECT_TRUE(
        std::equal(expected.counts.begin(), expected.counts.begin() + cheap, s.raw.counts.begin()));
    EXPECT_TRUE(std::equal(expected.a.begin(), expected.a.begin() + cheap, s.raw.a.begin()));
}

TEST(Renderers, EscDuringDeepRenderKeepsUncomputedRowsAndReportsTheLeastAdvancedStrip)
{
    Scene s(16, 64, 2, RendererKind::Deep);
    test::cheapThenHeavyJuliaView(s.view, 60'000);
    s.view.deepZoom = 1;
    fillWithOldValues(s);
    const Palette before = s.palette;
    ScriptedProgress progress;
    // Esc only after a strip progress report, so that a slow machine (or a sanitizer) that
    // finishes the cheap rows before the first poll still sees one.
    progress.escAtRowsDone = kCheapRows;
    progress.escAfterStripProgress = true;
    RenderOptions options;
    options.idleDeepWorkers = false;
    options.deepRepaintInterval = std::chrono::milliseconds(0);

    const RenderOutcome outcome = s.render(progress, options);

    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(progress.pollsSinceEscDown, 1);
    const std::int32_t computed = checkRowsWhollyNewOrOld(s, before, outcome);
    EXPECT_GE(computed, kCheapRows);
    EXPECT_LT(computed, 64);
    // Strip 0 (rows 0..31) is cheap and soon done; strip 1 still has its 9 rows in the set to
    // do (one of them may have ended before the stop), so at most 100 - 100 * 8 / 32 percent
    // are reported; the share of all rows would give 86.
    ASSERT_FALSE(progress.stripProgress.empty());
    for (const std::int32_t percent : progress.stripProgress) {
        EXPECT_LE(percent, 75);
    }
}

} // namespace
} // namespace qv
