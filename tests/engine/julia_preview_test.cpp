// The Julia finder's preview against a plain loop whose fast test uses the float bailout
// (tests/support/reference_kernels.h), over the preview's fixed window and size.
#include "engine/colouring.h"
#include "engine/julia_preview.h"
#include "engine/kernel_kind.h"
#include "tests/support/reference_kernels.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(JuliaPreview, CountsAndColoursFollowTheLoopWithTheBailoutAsFastTest)
{
    struct Case
    {
        const char* name;
        long double cr, ci;
        std::int32_t drawingMode;
        double bailout;
        std::uint32_t colourFlags;
    };

    const std::vector<Case> cases = {
        {"the default view's centre", -0.5L, 0.0L, 1, 128.0, 4},
        {"mode 2", -0.8L, 0.156L, 2, 100.0, 0},
        {"a bailout below 4", 0.285L, 0.01L, 1, 2.5, 2},
        {"mode 5, inside index", -0.4L, 0.6L, 5, 128.0, 1},
        {"mode 26", -0.5L, 0.0L, 26, 128.0, 4},
        {"mode 27", -0.8L, 0.156L, 27, 1000.0, 0},
        {"mode 28", 0.285L, 0.01L, 28, 100.0, 4},
    };
    Palette palette;
    for (std::size_t i = 0; i < palette.entries.size(); ++i) {
        palette.entries[i] = static_cast<std::uint32_t>(i * 7919u) & 0x00FFFFFFu;
    }
    palette.entries[0] = 0x00123456u; // shows black in modes without an inside index
    bool someCountNeedsTheBailoutTest = false;
    for (const Case& c : cases) {
        // iterMax 37: the preview always colours for its own limit.
        const PreviewJob job{c.cr, c.ci, {c.drawingMode, c.colourFlags, 37, c.bailout, 0.0001, 3}};
        const PreviewPicture preview = renderPreview(job, palette);
        ASSERT_EQ(preview.counts.size(), 200u * 160u) << c.name;
        ASSERT_EQ(preview.colours.size(), 200u * 160u) << c.name;
        ColourSettings colours = job.colours;
        colours.iterMax = 200;
        const ColourConstants constants = prepareColouring(colours);
        Palette shown = palette;
        applyEntryZeroRule(shown, c.drawingMode);
        const KernelKind kind = kernelKindForMode(c.drawingMode);
        const auto limit = static_cast<float>(c.bailout);
        int wrongCounts = 0;
        int wrongColours = 0;
        // The pixels walk from -1.8 by repeated addition of 3.6 / 200 and 3.6 / 160.
        long double y = -1.8L;
        for (std::size_t row = 0, i = 0; row < 160; ++row, y += 3.6L / 160.0L) {
            long double x = -1.8L;
            for (int col = 0; col < 200; ++col, ++i, x += 3.6L / 200.0L) {
                const auto e =
                    test::referenceExtendedPixel(kind, x, y, c.cr, c.ci, 200, c.bailout, limit);
                wrongCounts += preview.counts[i] != e.count ? 1 : 0;
                const std::int32_t v = colourPixel(constants, palette, e.count, e.a, e.b);
                wrongColours += preview.colours[i] != colourOfValue(v, shown, 3) ? 1 : 0;
                someCountNeedsTheBailoutTest =
                    someCountNeedsTheBailoutTest ||
                    test::referenceExtendedPixel(kind, x, y, c.cr, c.ci, 200, c.bailout).count !=
                        e.count;
            }
        }
        EXPECT_EQ(wrongCounts, 0) << c.name;
        EXPECT_EQ(wrongColours, 0) << c.name;
    }
    // The cases tell a fast test against 4 apart from one against the bailout.
    EXPECT_TRUE(someCountNeedsTheBailoutTest);
}

} // namespace
} // namespace qv
