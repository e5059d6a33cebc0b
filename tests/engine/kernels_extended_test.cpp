// The extended-precision kernels against plain reference loops written from the definitions
// (tests/support/reference_kernels.h).
#include "engine/kernel_kind.h"
#include "engine/kernels_extended.h"
#include "engine/strip_job.h"
#include "tests/support/reference_kernels.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::bitsOf;
using test::referenceB;
using test::referenceExtendedPixel;
using test::ReferencePixel;

// ---- Pictures ----

struct View
{
    const char* name;
    bool mandelbrot;
    long double xmin;
    long double dx;
    long double ymin;
    long double dy;
    long double juliaCr = 0.0L;
    long double juliaCi = 0.0L;
};

/// A picture of width x height computed by the strip worker in strips of `rows` rows.
struct Picture
{
    std::int32_t width;
    std::int32_t height;
    std::vector<std::int32_t> counts;
    std::vector<float> a;
    std::vector<float> b;

    Picture(std::int32_t w, std::int32_t h)
        : width(w), height(h), counts(static_cast<std::size_t>(w * h), -7),
          a(static_cast<std::size_t>(w * h), -7.0f), b(static_cast<std::size_t>(w * h), -7.0f)
    {
    }
};

StripJob stripJob(const View& v, Picture& pic, std::int32_t firstRow, std::int32_t lastRow,
                  std::int32_t iterMax, double bailout)
{
    StripJob job;
    job.iterMax = iterMax;
    const auto offset = static_cast<std::size_t>(firstRow * pic.width);
    job.counts = pic.counts.data() + offset;
    job.a = pic.a.data() + offset;
    job.b = pic.b.data() + offset;
    job.mandelbrot = v.mandelbrot ? 1 : 0;
    job.width = pic.width;
    job.rowsPerStrip = lastRow - firstRow + 1;
    job.firstRow = firstRow;
    job.lastRow = lastRow;
    job.bailout = bailout;
    job.xmin = v.xmin;
    job.xmax = v.xmin + v.dx * pic.width;
    job.dx = v.dx;
    job.y0 = v.ymin + v.dy * firstRow;
    job.ymax = v.ymin + v.dy * pic.height;
    job.dy = v.dy;
    job.juliaCr = v.juliaCr;
    job.juliaCi = v.juliaCi;
    return job;
}

Picture renderStrips(const View& v, std::int32_t w, std::int32_t h, std::int32_t rows, int kind,
                     std::int32_t iterMax, double bailout)
{
    Picture pic(w, h);
    for (std::int32_t first = 0; first < h; first += rows) {
        const StripJob job =
            stripJob(v, pic, first, std::min(first + rows, h) - 1, iterMax, bailout);
        EXPECT_EQ(runStripJob(job, static_cast<KernelKind>(kind)), 0);
    }
    return pic;
}

/// The reference for every pixel, walking x and y by repeated addition from each strip start.
Picture referencePicture(const View& v, std::int32_t w, std::int32_t h, std::int32_t rows, int kind,
                         std::int32_t iterMax, double bailout)
{
    Picture pic(w, h);
    for (std::int32_t first = 0; first < h; first += rows) {
        long double y = v.ymin + v.dy * first;
        for (std::int32_t j = first; j < std::min(first + rows, h); ++j) {
            long double x = v.xmin;
            for (std::int32_t i = 0; i < w; ++i) {
                const long double cr = v.mandelbrot ? x : v.juliaCr;
                const long double ci = v.mandelbrot ? y : v.juliaCi;
                const ReferencePixel r = referenceExtendedPixel(static_cast<KernelKind>(kind), x, y,
                                                                cr, ci, iterMax, bailout);
                const auto at = static_cast<std::size_t>(j * w + i);
                pic.counts[at] = r.count;
                pic.a[at] = r.a;
                pic.b[at] = r.b;
                x = x + v.dx;
            }
            y = y + v.dy;
        }
    }
    return pic;
}

/// Compares two pictures value by value (A and B by their bits); reports the first difference.
::testing::AssertionResult samePicture(const Picture& got, const Picture& want)
{
    for (std::size_t n = 0; n < got.counts.size(); ++n) {
        if (got.counts[n] != want.counts[n] || bitsOf(got.a[n]) != bitsOf(want.a[n]) ||
            bitsOf(got.b[n]) != bitsOf(want.b[n])) {
            return ::testing::AssertionFailure()
                   << "pixel " << n % static_cast<std::size_t>(got.width) << ","
                   << n / static_cast<std::size_t>(got.width) << ": got (" << got.counts[n] << ", "
                   << got.a[n] << ", " << got.b[n] << "), want (" << want.counts[n] << ", "
                   << want.a[n] << ", " << want.b[n] << ")";
        }
    }
    return ::testing::AssertionSuccess();
}

const View kWholeSet{"whole Mandelbrot set", true, -2.5L, 4.0L / 24, -1.5L, 3.0L / 18};
const View kSeahorse{
    "boundary near -0.745+0.113i", true, -0.7475L, 0.005L / 24, 0.110L, 0.004L / 18};
const View kJulia{
    "Julia c = -0.8+0.156i", false, -1.6L, 3.2L / 24, -1.2L, 2.4L / 18, -0.8L, 0.156L};
const View kJuliaDust{"Julia c = 0.3+0.6i", false, -1.5L, 0.125L, -1.1L, 0.125L, 0.3L, 0.6L};

TEST(ExtendedKernels, StripsMatchThePlainReferenceForEveryKind)
{
    const View views[] = {kWholeSet, kSeahorse, kJulia, kJuliaDust};
    const double bailouts[] = {2.0, 4.0, 128.0, 128.4};
    std::vector<std::int32_t> limits;
    for (std::int32_t n = 3; n <= 12; ++n) {
        limits.push_back(n);
    }
    limits.insert(limits.end(), {13, 14, 100, 257});
    for (const View& v : views) {
        for (int kind = 1; kind <= 5; ++kind) {
            for (const double bailout : bailouts) {
                for (const std::int32_t iterMax : limits) {
                    SCOPED_TRACE(std::string(v.name) + ", kind " + std::to_string(kind) +
                                 ", bailout " + std::to_string(bailout) + ", iterMax " +
                                 std::to_string(iterMax));
                    EXPECT_TRUE(
                        samePicture(renderStrips(v, 24, 18, 5, kind, iterMax, bailout),
                                    referencePicture(v, 24, 18, 5, kind, iterMax, bailout)));
                }
            }
        }
    }
}

TEST(ExtendedKernels, LongChaoticOrbitsMatchTheReference)
{
    // At a high limit near the boundary the last bits of x and y decide many counts, so the
    // walk by repeated addition and the order of operations are both checked here.
    const View deep{"deep boundary",
                    true,
                    -0.743643887037151L - 2e-9L,
                    4e-9L / 20,
                    0.131825904205330L - 1.5e-9L,
                    3e-9L / 15};
    for (int kind = 1; kind <= 5; ++kind) {
        SCOPED_TRACE("kind " + std::to_string(kind));
        EXPECT_TRUE(samePicture(renderStrips(deep, 20, 15, 15, kind, 3000, 128.0),
                                referencePicture(deep, 20, 15, 15, kind, 3000, 128.0)));
    }
}

TEST(ExtendedKernels, PerPixelKernelGivesTheStripWorkersResults)
{
    const View views[] = {kWholeSet, kSeahorse, kJulia};
    for (const View& v : views) {
        for (int kind = 1; kind <= 2; ++kind) {
            for (const std::int32_t iterMax : {3, 4, 5, 6, 7, 8, 100}) {
                SCOPED_TRACE(std::string(v.name) + ", kind " + std::to_string(kind) + ", iterMax " +
                             std::to_string(iterMax));
                const Picture strips = renderStrips(v, 24, 18, 18, kind, iterMax, 128.0);
                Picture single(24, 18);
                const EscapeLimits lim = makeEscapeLimits(iterMax, 128.0);
                long double y = v.ymin;
                for (std::int32_t j = 0; j < 18; ++j) {
                    long double x = v.xmin;
                    for (std::int32_t i = 0; i < 24; ++i) {
                        const PixelEscape e = iteratePixelExtended(
                            static_cast<KernelKind>(kind), lim, x, y, v.mandelbrot ? x : v.juliaCr,
                            v.mandelbrot ? y : v.juliaCi);
                        const auto at = static_cast<std::size_t>(j * 24 + i);
                        single.counts[at] = e.count;
                        single.a[at] = e.a;
                        single.b[at] = e.b;
                        x += v.dx;
                    }
                    y += v.dy;
                }
                EXPECT_TRUE(samePicture(single, strips));
            }
        }
    }
}

TEST(ExtendedKernels, WorkedExamplesOutsideTheBailoutAtTheStart)
{
    const EscapeLimits lim = makeEscapeLimits(100, 128.0);
    // |12|^2 = 144 > 128: found at the block start, kind 1 counts it 5 and kind 2 counts it 1.
    EXPECT_EQ(iteratePixelExtended(KernelKind::Plain, lim, 12.0L, 0.0L, 12.0L, 0.0L).count, 5);
    EXPECT_EQ(iteratePixelExtended(KernelKind::RealSquare, lim, 12.0L, 0.0L, 12.0L, 0.0L).count, 1);
    // |10|^2 = 100 is inside 128; the next iterate 110 is outside: 6 with kind 1, while kind 2
    // (2 * 100 >= 128) still escapes at the start.
    EXPECT_EQ(iteratePixelExtended(KernelKind::Plain, lim, 10.0L, 0.0L, 10.0L, 0.0L).count, 6);
    EXPECT_EQ(iteratePixelExtended(KernelKind::RealSquare, lim, 10.0L, 0.0L, 10.0L, 0.0L).count, 1);

    // The same through the strip worker: one row of two pixels, c = 10 and c = 12.
    const View row{"c = 10 and 12", true, 10.0L, 2.0L, 0.0L, 1.0L};
    const Picture one = renderStrips(row, 2, 1, 1, 1, 100, 128.0);
    const Picture two = renderStrips(row, 2, 1, 1, 2, 100, 128.0);
    EXPECT_EQ(one.counts, (std::vector<std::int32_t>{6, 5}));
    EXPECT_EQ(two.counts, (std::vector<std::int32_t>{1, 1}));
    EXPECT_EQ(one.a[1], 144.0f);
    EXPECT_EQ(one.b[1], 0.0f);
    // Kinds 3 to 5 test one block late: the first block's |z|^2 ends the fast pass only in the
    // second block, whose start (index 4) is outside: count 4 + 5.
    EXPECT_EQ(renderStrips(row, 2, 1, 1, 4, 100, 128.0).counts, (std::vector<std::int32_t>{9, 9}));
}

TEST(ExtendedKernels, PixelsThatDoNotEscapeStoreTheirFinalZInTheKindsOrder)
{
    // z = 0.25 + 0.125i is a fixed point of z^2 + c for c = 0.203125 + 0.0625i, and every
    // operation on it is exact, so the final z of a Julia pixel started there is z itself.
    const View fixed{"fixed point", false, 0.25L, 1.0L, 0.125L, 1.0L, 0.203125L, 0.0625L};
    for (int kind = 1; kind <= 4; ++kind) {
        SCOPED_TRACE("kind " + std::to_string(kind));
        const Picture pic = renderStrips(fixed, 1, 1, 1, kind, 50, 128.0);
        EXPECT_EQ(pic.counts[0], 0);
        EXPECT_EQ(pic.a[0], kind == 1 ? 0.125f : 0.25f);
        EXPECT_EQ(pic.b[0], kind == 1 ? 0.25f : 0.125f);
    }
    // Kind 5 leaves the fixed point in its exact pass; A holds the last zr zi product.
    const Picture mixed = renderStrips(fixed, 1, 1, 1, 5, 50, 128.0);
    const ReferencePixel want =
        referenceB(KernelKind::MixedOrbit, 0.25L, 0.125L, 0.203125L, 0.0625L, 50, 128.0);
    EXPECT_EQ(mixed.counts[0], 0);
    EXPECT_EQ(mixed.a[0], want.a);
    EXPECT_EQ(mixed.b[0], want.b);
}

TEST(ExtendedKernels, OverflowingOrbitsAndExtremeConstantsMatchTheReference)
{
    // Huge points overflow to infinity and NaN within a few iterations; points beyond the
    // range of double and points so small that no pair of doubles holds them are computed
    // one at a time. The first row's y (1e-4000) is such a point for the whole row.
    const View views[] = {
        {"huge Mandelbrot points", true, -1e2000L, 1e1999L, -1e2000L, 3e1999L},
        {"tiny y in the first row", true, -2.0L, 0.25L, 1e-4000L, 0.25L},
        {"tiny x in the first column", true, 1e-4000L, 0.125L, -1.0L, 0.25L},
        {"Julia constant beyond double", false, -1.5L, 0.25L, -1.0L, 0.25L, 1e400L, 0.1L},
        {"Julia constant below double", false, -1.5L, 0.25L, -1.0L, 0.25L, 0.25L, 1e-4000L},
        {"points that overflow at once", true, -1e2466L, 2e2465L, -1e2466L, 2e2465L},
    };
    for (const View& v : views) {
        for (int kind = 1; kind <= 5; ++kind) {
            for (const std::int32_t iterMax : {3, 7, 12, 60}) {
                SCOPED_TRACE(std::string(v.name) + ", kind " + std::to_string(kind) + ", iterMax " +
                             std::to_string(iterMax));
                EXPECT_TRUE(samePicture(renderStrips(v, 11, 9, 4, kind, iterMax, 128.0),
                                        referencePicture(v, 11, 9, 4, kind, iterMax, 128.0)));
            }
        }
    }
    // An orbit that overflows escapes through the float-bit test of kind 1 (infinity and NaN
    // lie above the bailout) ...
    const EscapeLimits lim = makeEscapeLimits(100, 128.0);
    EXPECT_EQ(iteratePixelExtended(KernelKind::Plain, lim, 1e3000L, 0.0L, 1e3000L, 0.0L).count, 5);
    // ... while a NaN never passes the extended comparison of kinds 3 to 5.
    const View overflow{"overflow", true, -1e2466L, 1.0L, 1e2466L, 1.0L};
    EXPECT_EQ(renderStrips(overflow, 1, 1, 1, 4, 100, 128.0).counts[0],
              referenceB(KernelKind::LaggedPlain, -1e2466L, 1e2466L, -1e2466L, 1e2466L, 100, 128.0)
                  .count);
}

TEST(ExtendedKernels, NegativeZeroInTheJuliaConstantKeepsItsSign)
{
    // With zi = 0 and zr < 0, 2 zr zi = -0 and only ci = -0 keeps zi' = -0: kind 1 stores zi
    // in A for pixels that do not escape.
    const View v{"c = 0.1 - 0i", false, -0.5L, 0.125L, 0.0L, 1.0L, 0.1L, -0.0L};
    const Picture pic = renderStrips(v, 5, 1, 1, 1, 40, 128.0);
    EXPECT_TRUE(samePicture(pic, referencePicture(v, 5, 1, 1, 1, 40, 128.0)));
    EXPECT_EQ(bitsOf(pic.a[0]), bitsOf(-0.0f));
}

TEST(ExtendedKernels, LastBlockExitCountsOnAboveIterMax)
{
    // iterMax 4: kind 1 leaves the only fast block with r = -3 and enters the exact pass with
    // r = 0, which counts on: c = 12 gets 5, one above the limit.
    EXPECT_EQ(iteratePixelExtended(KernelKind::Plain, makeEscapeLimits(4, 128.0), 12.0L, 0.0L,
                                   12.0L, 0.0L)
                  .count,
              5);
    // iterMax 3 (r = -1 at the exact pass): c = 10, found one step after the block start, gets
    // 6 as with any larger limit.
    EXPECT_EQ(iteratePixelExtended(KernelKind::Plain, makeEscapeLimits(3, 128.0), 10.0L, 0.0L,
                                   10.0L, 0.0L)
                  .count,
              6);
    // c = -2 stays at z = 2 for ever: counting on ends and the pixel counts as inside, with
    // A = zi = 0 and B = zr = 2.
    for (const std::int32_t iterMax : {3, 4, 100}) {
        const PixelEscape e = iteratePixelExtended(
            KernelKind::Plain, makeEscapeLimits(iterMax, 128.0), -2.0L, 0.0L, -2.0L, 0.0L);
        EXPECT_EQ(e.count, 0) << iterMax;
        EXPECT_EQ(e.a, 0.0f);
        EXPECT_EQ(e.b, 2.0f);
    }
}

TEST(ExtendedKernels, LimitsBelowThreeActAsThree)
{
    const View views[] = {kWholeSet, kJulia};
    for (const View& v : views) {
        for (int kind = 1; kind <= 5; ++kind) {
            for (const std::int32_t iterMax : {-5, 0, 1, 2}) {
                EXPECT_TRUE(samePicture(renderStrips(v, 24, 18, 18, kind, iterMax, 128.0),
                                        renderStrips(v, 24, 18, 18, kind, 3, 128.0)))
                    << v.name << ", kind " << kind << ", iterMax " << iterMax;
            }
        }
    }
    EXPECT_EQ(makeEscapeLimits(std::numeric_limits<std::int32_t>::max(), 128.0).iterMax,
              std::numeric_limits<std::int32_t>::max() - 1024);
}

TEST(ExtendedKernels, BailoutIsRoundedToFloat)
{
    const EscapeLimits lim = makeEscapeLimits(100, 128.4);
    EXPECT_EQ(lim.bailoutBits, bitsOf(128.4f));
    EXPECT_EQ(lim.bailout, static_cast<long double>(128.4f));
}

TEST(ExtendedKernels, StripWritesOnlyItsOwnRows)
{
    Picture pic(24, 18);
    for (int kind = 1; kind <= 5; ++kind) {
        const StripJob job = stripJob(kWholeSet, pic, 6, 11, 100, 128.0);
        runStripJob(job, static_cast<KernelKind>(kind));
        const Picture want = referencePicture(kWholeSet, 24, 18, 6, kind, 100, 128.0);
        for (std::size_t n = 0; n < pic.counts.size(); ++n) {
            const bool inStrip = n >= 6 * 24 && n < 12 * 24;
            EXPECT_EQ(pic.counts[n], inStrip ? want.counts[n] : -7) << "kind " << kind << ", " << n;
        }
    }
}

TEST(ExtendedKernels, StopFlagEndsKinds1And2AfterThePixelInHand)
{
    const std::atomic<std::int32_t> stop{1};
    for (int kind = 1; kind <= 2; ++kind) {
        Picture pic(24, 18);
        StripJob job = stripJob(kWholeSet, pic, 0, 17, 100, 128.0);
        job.stopFlag = &stop;
        runStripJob(job, static_cast<KernelKind>(kind));
        // The flag is read after each pixel: exactly one pixel is written, the others keep
        // what they held.
        const Picture want = referencePicture(kWholeSet, 24, 18, 18, kind, 100, 128.0);
        std::int32_t written = 0;
        for (std::size_t n = 0; n < pic.counts.size(); ++n) {
            if (pic.counts[n] != -7 || pic.a[n] != -7.0f || pic.b[n] != -7.0f) {
                ++written;
                EXPECT_EQ(pic.counts[n], want.counts[n]);
            }
        }
        EXPECT_EQ(written, 1) << "kind " << kind;
    }
}

TEST(ExtendedKernels, StopFlagDoesNotInterruptKinds3To5)
{
    const std::atomic<std::int32_t> stop{1};
    for (int kind = 3; kind <= 5; ++kind) {
        Picture pic(24, 18);
        StripJob job = stripJob(kJulia, pic, 0, 17, 100, 128.0);
        job.stopFlag = &stop;
        runStripJob(job, static_cast<KernelKind>(kind));
        EXPECT_TRUE(samePicture(pic, referencePicture(kJulia, 24, 18, 18, kind, 100, 128.0)))
            << "kind " << kind;
    }
}

} // namespace
} // namespace qv
