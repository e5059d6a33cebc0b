// The fast deep path against the exact kernel, pixel for pixel, at depths from 1e-20 to 1e-20000,
// and the exact renderer taking over where the certification fails.
#include "engine/kernel_kind.h"
#include "engine/perturbation.h"
#include "engine/renderer.h"
#include "engine/strip_layout.h"
#include "engine/view_state.h"
#include "tests/support/reference_pictures.h"
#include "tests/support/scripted_progress.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include <gmp.h>
#include <gtest/gtest.h>

namespace qv {
namespace {

/// A view of width x height pixels of `step` around (cx, cy), at the precision its depth needs.
struct DeepView
{
    const char* name;
    bool mandelbrot;
    std::int32_t mode;
    const char* cx;
    const char* cy;
    std::int32_t stepExponent; ///< the pixel step is 1.5 * 10^stepExponent
    std::int32_t iterMax;
};

// Pixels within one step of the boundary of a period-68 minibrot some 1e-48 across.
constexpr const char* kMinibrotX =
    "4.731728887524960092426587843716366767748615833104781242548147565362181950693699e-25";
constexpr const char* kMinibrotY =
    "0.9999999999999999999999994107335196915849296986906699565437436450382400496717123";

void setView(ViewState& view, const DeepView& v, std::int32_t width, std::int32_t height)
{
    view.modeWord = v.mandelbrot ? 1u : 0u;
    setDrawingMode(view.modeWord, v.mode);
    view.iterMax = v.iterMax;
    view.deepZoom = 1;
    setPrecision(view, precisionForLimit(v.stepExponent) + 64);
    const auto bits = static_cast<unsigned long>(view.precisionBits);
    MpFloat step(bits);
    mpf_set_str(step.get(), ("1.5e" + std::to_string(v.stepExponent)).c_str(), 10);
    MpFloat half(bits);
    WindowRef w = currentWindow(view);
    if (!v.mandelbrot) {
        mpf_set_ui(view.julia.cr.mp(), 0);
        mpf_set_ui(view.julia.ci.mp(), 1); // the dendrite
    }
    MpFloat centre(bits);
    mpf_set_str(centre.get(), v.cx, 10);
    mpf_mul_ui(half.get(), step.get(), static_cast<unsigned long>(width / 2));
    mpf_sub(w.xmin.mp(), centre.get(), half.get());
    mpf_add(w.xmax.mp(), centre.get(), half.get());
    mpf_set_str(centre.get(), v.cy, 10);
    mpf_mul_ui(half.get(), step.get(), static_cast<unsigned long>(height / 2));
    mpf_sub(w.ymin.mp(), centre.get(), half.get());
    mpf_add(w.ymax.mp(), centre.get(), half.get());
}

/// Moves the window `pixels` pixels of a `width` wide picture to the right.
void shiftWindow(ViewState& view, std::int32_t width, std::int32_t pixels)
{
    WindowRef w = currentWindow(view);
    MpFloat shift(static_cast<unsigned long>(view.precisionBits));
    mpf_sub(shift.get(), w.xmax.mp(), w.xmin.mp());
    mpf_mul_ui(shift.get(), shift.get(), static_cast<unsigned long>(pixels));
    mpf_div_ui(shift.get(), shift.get(), static_cast<unsigned long>(width));
    mpf_add(w.xmin.mp(), w.xmin.mp(), shift.get());
    mpf_add(w.xmax.mp(), w.xmax.mp(), shift.get());
}

struct Rendered
{
    RenderOutcome outcome;
    RawResults raw;
};

Rendered render(ViewState& view, std::int32_t width, std::int32_t height, bool fast,
                RenderOptions options = {})
{
    RenderJob job;
    job.renderer = RendererKind::Deep;
    job.width = width;
    job.height = height;
    job.threads = 2;
    job.fastDeep = fast;
    job.colours = colourSettingsOf(view, 0, 0);
    IterationBuffer iterations;
    Palette palette;
    PictureBuffer picture;
    Rendered r;
    options.raw = &r.raw;
    options.idleDeepWorkers = false;
    test::ScriptedProgress progress;
    r.outcome =
        renderPicture(job, view, RenderTarget{iterations, palette, picture}, progress, options);
    return r;
}

/// Pixels whose counts differ, and those of equal count whose A or B differ by more than
/// 1e-4 of their size (escaped: zr^2 and zi^2 at the escape; inside: z after iterMax).
std::pair<std::int32_t, std::int32_t> differences(const RawResults& x, const test::Raw& y)
{
    std::int32_t counts = 0;
    std::int32_t values = 0;
    const auto far = [](float p, float q) {
        return std::fabs(p - q) > 1e-4f * std::max({std::fabs(p), std::fabs(q), 1e-3f});
    };
    for (std::size_t i = 0; i < y.counts.size(); ++i) {
        if (x.counts[i] != y.counts[i]) {
            ++counts;
        } else if (far(x.a[i], y.a[i]) || far(x.b[i], y.b[i])) {
            ++values;
        }
    }
    return {counts, values};
}

TEST(FastDeep, CountsMatchTheExactKernelPixelForPixel)
{
    const DeepView views[] = {
        {"Misiurewicz point i, 1e-20", true, 1, "0", "1", -20, 1500},
        {"minibrot edge, 1e-50", true, 1, kMinibrotX, kMinibrotY, -50, 2000},
        {"minibrot edge, kind 3", true, 26, kMinibrotX, kMinibrotY, -50, 2000},
        {"minibrot edge, kind 4", true, 27, kMinibrotX, kMinibrotY, -50, 2000},
        {"Misiurewicz point i, 1e-100", true, 1, "0", "1", -100, 3000},
        {"Misiurewicz point i, 1e-300", true, 1, "0", "1", -300, 6000},
        {"dendrite Julia set at i, 1e-40", false, 1, "0", "1", -40, 3000},
    };
    constexpr std::int32_t kWidth = 48;
    constexpr std::int32_t kHeight = 36;
    for (const DeepView& v : views) {
        ViewState view;
        setView(view, v, kWidth, kHeight);
        const Rendered fast = render(view, kWidth, kHeight, true);
        const test::Raw exact =
            test::referenceDeep(view, kWidth, kHeight, stripLayout(kHeight, 1).strips);

        EXPECT_FALSE(fast.outcome.fastDeep.exact) << v.name << ": " << fast.outcome.fastDeep.reason;
        EXPECT_GE(fast.outcome.fastDeep.samples, 256) << v.name;
        // One pixel in a thousand may differ, as where the exact kernel's own last bits decide.
        const auto [counts, values] = differences(fast.raw, exact);
        EXPECT_LE(counts + values, kWidth * kHeight / 1000) << v.name;
    }
}

TEST(FastDeep, BeyondTheRangeOfLongDoubleTheCountsStillMatchTheExactKernel)
{
    const DeepView views[] = {
        {"Misiurewicz point i, 1e-5000", true, 1, "0", "1", -5000, 200},
        {"Misiurewicz point -2, kind 3, 1e-20000", true, 26, "-2", "0", -20000, 60},
    };
    constexpr std::int32_t kWidth = 24;
    constexpr std::int32_t kHeight = 18;
    for (const DeepView& v : views) {
        ViewState view;
        setView(view, v, kWidth, kHeight);
        const Rendered fast = render(view, kWidth, kHeight, true);
        const test::Raw exact =
            test::referenceDeep(view, kWidth, kHeight, stripLayout(kHeight, 1).strips);

        const FastDeepReport& report = fast.outcome.fastDeep;
        EXPECT_FALSE(report.exact) << v.name << ": " << report.reason;
        EXPECT_TRUE(report.reason.empty()) << v.name;
        EXPECT_GE(report.samples, 256) << v.name;
        EXPECT_EQ(report.identical, report.samples) << v.name;
        EXPECT_EQ(differences(fast.raw, exact), std::make_pair(0, 0)) << v.name;
    }
}

/// The nucleus of a period-77 minibrot some 1e-58 across.
constexpr const char* kNucleusX =
    "3.39381588438746126037473940539534892427372092878058411598607654008"
    "364792098231100249325274038784502666e-29";
constexpr const char* kNucleusY =
    "1.00000000000000000000000000001134326821382185094542495485020961888"
    "259223050814471930646349075598574970";

TEST(FastDeep, OffsetsInUnitsOfAPowerOfTwoIterateAsTheLongDoubleOnes)
{
    // Both follow the orbit of the nucleus through rebases, table steps and escapes; the
    // scaled ones run inside pixels to iterMax instead of ending them by their cycle.
    constexpr unsigned long kBits = 400;
    MpFloat zero(kBits);
    MpFloat cr(kBits);
    MpFloat ci(kBits);
    mpf_set_str(cr.get(), kNucleusX, 10);
    mpf_set_str(ci.get(), kNucleusY, 10);
    ReferenceOrbit orbit;
    ASSERT_TRUE(orbit.compute(zero.get(), zero.get(), cr.get(), ci.get(), kBits, 1200, nullptr));
    orbit.buildSteps(1e-57L, 3.99L);
    std::int32_t escaped = 0;
    for (const KernelKind kind : {KernelKind::Plain, KernelKind::Lagged, KernelKind::LaggedPlain}) {
        for (std::int32_t k = 0; k < 64; ++k) {
            const ComplexLd delta{(k % 8 - 3.5L) * 1e-57L, (k / 8 - 3.5L) * 1e-57L};
            PerturbationSetup setup{&orbit, &orbit, 1, true, 1000, 128, true, true};
            const PerturbedPixel plain = perturbedPixel(kind, setup, delta);
            for (const std::int64_t scale : {-194, -400}) {
                setup.scale = scale;
                const auto units = [scale](long double x) {
                    return std::ldexp(x, static_cast<int>(-scale));
                };
                const PerturbedPixel p =
                    perturbedPixel(kind, setup, {units(delta.re), units(delta.im)});
                EXPECT_FALSE(p.suspect) << k;
                EXPECT_EQ(p.count, plain.count) << k << " at 2^" << scale;
                EXPECT_NEAR(p.a, plain.a, 1e-5f * std::max(1.0f, std::fabs(plain.a))) << k;
                EXPECT_NEAR(p.b, plain.b, 1e-5f * std::max(1.0f, std::fabs(plain.b))) << k;
            }
            escaped += plain.count != 0 ? 1 : 0;
        }
    }
    EXPECT_GT(escaped, 20) << "the grid straddles the minibrot's edge";
    EXPECT_LT(escaped, 172);
}

TEST(FastDeep, KindsTheOffsetsCannotFollowAreLeftToTheExactKernel)
{
    constexpr std::int32_t kWidth = 16;
    constexpr std::int32_t kHeight = 12;
    for (const std::int32_t mode : {2, 28}) {
        ViewState view;
        setView(view, {"", true, mode, "0", "1", -20, 400}, kWidth, kHeight);
        const Rendered fast = render(view, kWidth, kHeight, true);
        const Rendered exact = render(view, kWidth, kHeight, false);

        EXPECT_TRUE(fast.outcome.fastDeep.exact) << mode;
        EXPECT_EQ(fast.raw.counts, exact.raw.counts) << mode;
        EXPECT_EQ(fastDeepSummary(fast.outcome.fastDeep),
                  "exact kernel: drawing mode needs the exact kernel");
    }
}

TEST(FastDeep, WithoutRebasingTheCertificationFailsAndTheExactKernelTakesOver)
{
    constexpr std::int32_t kWidth = 40;
    constexpr std::int32_t kHeight = 30;
    // The reference at the centre escapes long before the pixels to its left, which outlive it.
    ViewState view;
    setView(view, {"", true, 1, "0", "1", -30, 1500}, kWidth, kHeight);
    shiftWindow(view, kWidth, 15);
    RenderOptions options;
    options.fastDeepRebasing = false;
    const Rendered fast = render(view, kWidth, kHeight, true, options);
    const Rendered exact = render(view, kWidth, kHeight, false);

    const FastDeepReport& report = fast.outcome.fastDeep;
    EXPECT_TRUE(report.exact);
    EXPECT_LT(identicalPermille(report), 999);
    EXPECT_EQ(fast.raw.counts, exact.raw.counts);
    EXPECT_NE(fastDeepSummary(report).find("exact kernel after"), std::string::npos);
}

TEST(FastDeep, EscBeforeTheEndLeavesTheRowsNotReachedAndNoCertificate)
{
    constexpr std::int32_t kWidth = 32;
    constexpr std::int32_t kHeight = 24;
    ViewState view;
    setView(view, {"", true, 1, kMinibrotX, kMinibrotY, -50, 2000}, kWidth, kHeight);
    RenderJob job;
    job.renderer = RendererKind::Deep;
    job.width = kWidth;
    job.height = kHeight;
    job.fastDeep = true;
    IterationBuffer iterations;
    Palette palette;
    PictureBuffer picture;
    test::ScriptedProgress progress;
    progress.escAtPump = 1;
    RenderOptions options;
    options.idleDeepWorkers = false;

    const RenderOutcome outcome =
        renderPicture(job, view, RenderTarget{iterations, palette, picture}, progress, options);

    EXPECT_TRUE(outcome.stopped);
    EXPECT_FALSE(outcome.fastDeep.exact);
    EXPECT_EQ(outcome.fastDeep.samples, 0);
}

TEST(FastDeep, LongDoubleKeepsExponentsFarBelowTheRangeOfDouble)
{
    MpFloat v(256);
    for (const char* text : {"1.25e-1000", "-3.5e-4000", "7e300", "0.1"}) {
        mpf_set_str(v.get(), text, 10);
        const long double expected = std::stold(text);
        EXPECT_NEAR(static_cast<double>(toLongDouble(v.get()) / expected), 1.0, 1e-15) << text;
    }
}

TEST(FastDeep, OneTableStepCarriesASmallOffsetToTheFirstValueThatCouldEscape)
{
    constexpr unsigned long kBits = 320;
    constexpr long double kSafeNorm = 3.99L;
    MpFloat zero(kBits);
    MpFloat cr(kBits);
    MpFloat ci(kBits);
    mpf_set_str(cr.get(), kMinibrotX, 10);
    mpf_set_str(ci.get(), kMinibrotY, 10);
    ReferenceOrbit orbit; // just outside the minibrot: it escapes after some 70 iterations
    ASSERT_TRUE(orbit.compute(zero.get(), zero.get(), cr.get(), ci.get(), kBits, 400, nullptr));
    orbit.buildSteps(1e-60L, kSafeNorm);
    const auto norm = [](ComplexLd z) { return z.re * z.re + z.im * z.im; };
    const ComplexLd dc{1e-62L, -2e-62L};
    const ComplexLd dz0{3e-60L, 1e-60L};
    // Starts on no power-of-two boundary, whose steps the aligned table could not take.
    for (const std::size_t start : {std::size_t{5}, std::size_t{13}, std::size_t{37}}) {
        std::size_t end = start + 1;
        while (end + 1 < orbit.size() && !orbit.nearZero(end) && norm(orbit[end]) < kSafeNorm) {
            ++end;
        }
        std::int64_t length = 0;
        const BilinearStep* s = orbit.stepAt(start, norm(dz0), 1000, length);
        ASSERT_NE(s, nullptr) << start;
        EXPECT_EQ(start + static_cast<std::size_t>(length), end) << start;
        ComplexLd dz = dz0;
        for (std::size_t m = start; m < end; ++m) {
            const ComplexLd t{2 * orbit[m].re + dz.re, 2 * orbit[m].im + dz.im};
            dz = {t.re * dz.re - t.im * dz.im + dc.re, t.re * dz.im + t.im * dz.re + dc.im};
        }
        const ComplexLd x{s->a.re * dz0.re - s->a.im * dz0.im + s->b.re * dc.re - s->b.im * dc.im,
                          s->a.re * dz0.im + s->a.im * dz0.re + s->b.re * dc.im + s->b.im * dc.re};
        EXPECT_NEAR(static_cast<double>(x.re / dz.re), 1.0, 1e-12) << start;
        EXPECT_NEAR(static_cast<double>(x.im / dz.im), 1.0, 1e-12) << start;
    }
}

TEST(FastDeep, PixelsHeldByAMinibrotsCycleEndWithoutRunningToALimitOfABillion)
{
    constexpr unsigned long kBits = 400;
    MpFloat zero(kBits);
    MpFloat cr(kBits);
    MpFloat ci(kBits);
    mpf_set_str(cr.get(), kNucleusX, 10);
    mpf_set_str(ci.get(), kNucleusY, 10);
    ReferenceOrbit orbit;
    ASSERT_TRUE(orbit.compute(zero.get(), zero.get(), cr.get(), ci.get(), kBits, 3000, nullptr));
    orbit.buildSteps(1e-57L, 3.99L);

    const struct
    {
        ComplexLd delta;
        bool inside;
    } pixels[] = {{{3e-60L, -2e-60L}, true}, {{-1e-59L, 4e-60L}, true}, {{1e-50L, 0.0L}, false}};

    constexpr std::int64_t kBillion = 1000000000;
    for (const auto& p : pixels) {
        PerturbedPixel ends[2];
        for (const std::int64_t extra : {0, 1}) {
            PerturbationSetup setup{&orbit, &orbit, 1,   true, kBillion + 77 * extra,
                                    128,    true,   true};
            ends[extra] = perturbedPixel(KernelKind::Plain, setup, p.delta);
        }
        EXPECT_FALSE(ends[0].suspect);
        EXPECT_EQ(ends[0].count == 0, p.inside) << ends[0].count;
        if (p.inside) { // a whole cycle later, at the same point of the cycle
            EXPECT_EQ(ends[1].count, 0);
            EXPECT_FLOAT_EQ(ends[0].a, ends[1].a);
            EXPECT_FLOAT_EQ(ends[0].b, ends[1].b);
        }
    }
}

} // namespace
} // namespace qv
