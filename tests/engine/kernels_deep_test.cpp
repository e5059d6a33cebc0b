// The deep kernels against a plain GMP reference written from the definitions
// (tests/support/reference_kernels.h): the plain orbit z <- z^2 + c is computed iterate by
// iterate, the fast pass is found by scanning its tested iterates, and the exact pass runs the
// kind's own map from the chosen block start.
#include "base/mp_float.h"
#include "engine/kernels_deep.h"
#include "tests/support/reference_kernels.h"

#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>
#include <sched.h>
#include <set>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gmp.h>
#include <gtest/gtest.h>

namespace qv {
namespace {

constexpr KernelKind kAllKinds[] = {KernelKind::Plain, KernelKind::RealSquare, KernelKind::Lagged,
                                    KernelKind::LaggedPlain, KernelKind::MixedOrbit};

using test::PlainOrbit;
using test::ReferencePixel;

/// A small picture: its first pixel, the pixel step and, for Julia views, the constant.
struct DeepView
{
    std::string name;
    bool mandelbrot = true;
    std::int32_t bits = 96;
    std::int32_t width = 12;
    std::int32_t height = 8;
    std::vector<double> juliaC{0.0, 0.0};
    std::string x0;
    std::string y0;
    std::string step;
};

void setDecimal(mpf_ptr v, const std::string& text)
{
    ASSERT_EQ(mpf_set_str(v, text.c_str(), 10), 0) << text;
}

/// Every digit of v as decimal text that mpf_set_str reads back exactly.
std::string decimalText(mpf_srcptr v)
{
    mp_exp_t exp = 0;
    char* digits = mpf_get_str(nullptr, &exp, 10, 0, v);
    const std::string s(digits);
    void (*freeFunc)(void*, std::size_t) = nullptr;
    mp_get_memory_functions(nullptr, nullptr, &freeFunc);
    freeFunc(digits, s.size() + 1);
    if (s.empty()) {
        return "0";
    }
    const bool negative = s[0] == '-';
    return (negative ? "-0." + s.substr(1) : "0." + s) + "e" + std::to_string(exp);
}

DeepStripJob makeJob(const DeepView& view, std::int32_t iterMax, double bailout)
{
    DeepStripJob job(view.bits);
    job.iterMax = iterMax;
    job.bailout = bailout;
    job.mandelbrot = view.mandelbrot ? 1 : 0;
    job.width = view.width;
    job.rowsPerStrip = view.height;
    job.firstRow = 0;
    job.lastRow = view.height - 1;
    setDecimal(job.x0.get(), view.x0);
    setDecimal(job.y0.get(), view.y0);
    setDecimal(job.dx.get(), view.step);
    setDecimal(job.dy.get(), view.step);
    mpf_set_d(job.juliaCr.get(), view.juliaC[0]);
    mpf_set_d(job.juliaCi.get(), view.juliaC[1]);
    return job;
}

/// The picture by the reference, walking x and y by repeated addition of the step.
std::vector<ReferencePixel> referencePicture(const DeepView& view, KernelKind kind,
                                             std::int32_t iterMax, unsigned long bound)
{
    const DeepStripJob job = makeJob(view, iterMax, 0.0);
    const auto bits = static_cast<unsigned long>(view.bits);
    MpFloat x(bits), y(job.y0.get(), bits);
    std::vector<ReferencePixel> out;
    for (std::int32_t j = 0; j < view.height; ++j) {
        mpf_set(x.get(), job.x0.get());
        for (std::int32_t i = 0; i < view.width; ++i) {
            const mpf_srcptr cr = view.mandelbrot ? x.get() : job.juliaCr.get();
            const mpf_srcptr ci = view.mandelbrot ? y.get() : job.juliaCi.get();
            out.push_back(
                test::referenceDeepPixel(kind, x.get(), y.get(), cr, ci, iterMax, bound, bits));
            mpf_add(x.get(), x.get(), job.dx.get());
        }
        mpf_add(y.get(), y.get(), job.dy.get());
    }
    return out;
}

std::vector<ReferencePixel> kernelPicture(const DeepView& view, KernelKind kind,
                                          std::int32_t iterMax, double bailout)
{
    DeepStripJob job = makeJob(view, iterMax, bailout);
    const auto n = static_cast<std::size_t>(view.width * view.height);
    std::vector<std::int32_t> counts(n, -1);
    std::vector<float> a(n, -1.0f), b(n, -1.0f);
    job.counts = counts.data();
    job.a = a.data();
    job.b = b.data();
    runDeepStripJob(job, kind, view.height);
    std::vector<ReferencePixel> out;
    for (std::size_t k = 0; k < n; ++k) {
        out.push_back({counts[k], a[k], b[k]});
    }
    return out;
}

/// Expects both pictures equal pixel by pixel; returns the number of distinct counts.
std::size_t expectSamePictures(const std::vector<ReferencePixel>& kernel,
                               const std::vector<ReferencePixel>& ref, const std::string& what)
{
    std::set<std::int32_t> counts;
    EXPECT_EQ(kernel.size(), ref.size()) << what;
    for (std::size_t k = 0; k < kernel.size() && k < ref.size(); ++k) {
        counts.insert(ref[k].count);
        if (kernel[k].count != ref[k].count || kernel[k].a != ref[k].a || kernel[k].b != ref[k].b) {
            ADD_FAILURE() << what << " pixel " << k << ": count " << kernel[k].count << " A "
                          << kernel[k].a << " B " << kernel[k].b << ", expected " << ref[k].count
                          << " " << ref[k].a << " " << ref[k].b;
            break;
        }
    }
    return counts.size();
}

std::string kindName(KernelKind kind)
{
    return "kind " + std::to_string(static_cast<int>(kind));
}

/// The point where the segment from `inside` to `outside` first leaves the set of points whose
/// plain orbit keeps |z|^2 <= 4 up to `limit` iterations, found by bisection. For a Mandelbrot
/// search the points are c (z_0 = c); for a Julia search they are z_0 with c = juliaC.
std::pair<std::string, std::string> boundaryPoint(bool mandelbrot, std::vector<double> juliaC,
                                                  std::vector<double> inside,
                                                  std::vector<double> outside, int limit)
{
    constexpr unsigned long kBits = 256;
    MpFloat lr(kBits), li(kBits), hr(kBits), hi(kBits), mr(kBits), mi(kBits);
    MpFloat jr(kBits), ji(kBits);
    mpf_set_d(lr.get(), inside[0]);
    mpf_set_d(li.get(), inside[1]);
    mpf_set_d(hr.get(), outside[0]);
    mpf_set_d(hi.get(), outside[1]);
    mpf_set_d(jr.get(), juliaC[0]);
    mpf_set_d(ji.get(), juliaC[1]);
    const auto escapes = [&](mpf_srcptr x, mpf_srcptr y) {
        PlainOrbit orbit(x, y, mandelbrot ? x : jr.get(), mandelbrot ? y : ji.get(), kBits);
        for (int n = 0; n <= limit; ++n) {
            if (mpf_cmp_ui(orbit.norm(static_cast<std::size_t>(n)), 4) > 0) {
                return true;
            }
        }
        return false;
    };
    for (int step = 0; step < 160; ++step) {
        mpf_add(mr.get(), lr.get(), hr.get());
        mpf_div_ui(mr.get(), mr.get(), 2);
        mpf_add(mi.get(), li.get(), hi.get());
        mpf_div_ui(mi.get(), mi.get(), 2);
        const bool out = escapes(mr.get(), mi.get());
        mpf_set(out ? hr.get() : lr.get(), mr.get());
        mpf_set(out ? hi.get() : li.get(), mi.get());
    }
    return {decimalText(mr.get()), decimalText(mi.get())};
}

/// A picture (12 x 8 pixels unless said) with the given step whose centre is `centre`.
DeepView viewAround(std::string name, bool mandelbrot, std::vector<double> juliaC,
                    const std::pair<std::string, std::string>& centre, std::int32_t bits,
                    const std::string& step, std::int32_t width = 12, std::int32_t height = 8)
{
    DeepView view;
    view.width = width;
    view.height = height;
    view.name = std::move(name);
    view.mandelbrot = mandelbrot;
    view.juliaC = std::move(juliaC);
    view.bits = bits;
    view.step = step;
    const auto ub = static_cast<unsigned long>(bits);
    MpFloat c(ub), s(ub), v(ub);
    setDecimal(s.get(), step);
    const auto corner = [&](const std::string& centreText, std::int32_t pixels) {
        setDecimal(c.get(), centreText);
        mpf_mul_ui(v.get(), s.get(), static_cast<unsigned long>(pixels / 2));
        mpf_sub(v.get(), c.get(), v.get());
        return decimalText(v.get());
    };
    view.x0 = corner(centre.first, view.width);
    view.y0 = corner(centre.second, view.height);
    return view;
}

// Pictures around c = i (Mandelbrot) and around z = i for c = i (Julia): both points are
// preperiodic onto a repelling cycle, so a deep picture beside them holds many counts and some
// pixels that do not escape. The offsets keep the points themselves off the pixel grid.
std::vector<DeepView> boundaryViews()
{
    std::vector<DeepView> views;
    views.push_back(viewAround("Mandelbrot 1e-20", true, {0.0, 0.0},
                               {"0.3711e-20", "1.000000000000000000004123"}, 96, "1e-20"));
    views.push_back(viewAround("Julia 1e-20", false, {0.0, 1.0},
                               {"0.3711e-20", "1.000000000000000000004123"}, 96, "1e-20"));
    views.push_back(viewAround("Mandelbrot 1e-36", true, {0.0, 0.0},
                               {"0.3711e-36", "1.0000000000000000000000000000000000004123"}, 160,
                               "1e-36"));
    views.push_back(viewAround("Julia 1e-36", false, {0.0, 1.0},
                               {"0.3711e-36", "1.0000000000000000000000000000000000004123"}, 160,
                               "1e-36"));
    return views;
}

TEST(DeepEscapeBound, RoundsHalvesToEvenAndKeepsEveryBailoutInRange)
{
    EXPECT_EQ(deepEscapeBound(128.0), 128u);
    EXPECT_EQ(deepEscapeBound(128.4), 128u);
    EXPECT_EQ(deepEscapeBound(128.5), 128u);
    EXPECT_EQ(deepEscapeBound(129.5), 130u);
    EXPECT_EQ(deepEscapeBound(2.0), 2u);
    EXPECT_EQ(deepEscapeBound(0.4), 0u);
    EXPECT_EQ(deepEscapeBound(2147483647.4), 2147483647u);
    EXPECT_EQ(deepEscapeBound(2147483647.5), 1ul << 31);
    EXPECT_EQ(deepEscapeBound(4294967296.0), 1ul << 31);
    EXPECT_EQ(deepEscapeBound(1e300), 1ul << 31);
    EXPECT_EQ(deepEscapeBound(std::numeric_limits<double>::infinity()), 1ul << 31);
    // A negative or undefined bailout must not wrap round to a bound nothing ever passes.
    EXPECT_EQ(deepEscapeBound(-3.0), 0u);
    EXPECT_EQ(deepEscapeBound(-1e300), 0u);
    EXPECT_EQ(deepEscapeBound(std::nan("")), 0u);
}

TEST(DeepKernels, EveryKindMatchesThePlainReferenceNearTheBoundary)
{
    struct Bailout
    {
        double value;
        unsigned long bound;
    };

    const Bailout bailouts[] = {{128.4, 128}, {4.0, 4}, {2.0, 2}};
    for (const DeepView& view : boundaryViews()) {
        const std::int32_t iterMax = view.bits > 96 ? 100 : 64;
        for (const KernelKind kind : kAllKinds) {
            for (const Bailout bailout : bailouts) {
                const std::string what =
                    view.name + " " + kindName(kind) + " bailout " + std::to_string(bailout.value);
                const std::size_t distinct =
                    expectSamePictures(kernelPicture(view, kind, iterMax, bailout.value),
                                       referencePicture(view, kind, iterMax, bailout.bound), what);
                EXPECT_GE(distinct, 4u) << what << ": the view should hold varied counts";
            }
        }
    }
}

TEST(DeepKernels, IterationLimitsAroundTheBlockBoundaries)
{
    // Pictures across the line where |z_7|^2 first passes 4, so that the fast blocks leave or
    // run out at different places as iterMax moves by one.
    const auto mandelbrotEdge = boundaryPoint(true, {0.0, 0.0}, {-0.1, 0.8}, {-0.1, 1.2}, 7);
    const auto juliaEdge = boundaryPoint(false, {0.0, 1.0}, {0.0, 0.0}, {0.0, 2.0}, 7);
    std::vector<DeepView> views = {
        viewAround("Mandelbrot level 1e-20", true, {0.0, 0.0}, mandelbrotEdge, 96, "1e-20", 6, 4),
        viewAround("Julia level 1e-20", false, {0.0, 1.0}, juliaEdge, 96, "1e-20", 6, 4),
        viewAround("Mandelbrot level 1e-36", true, {0.0, 0.0}, mandelbrotEdge, 160, "1e-36", 6, 4),
        viewAround("Julia level 1e-36", false, {0.0, 1.0}, juliaEdge, 160, "1e-36", 6, 4),
    };
    std::set<std::int32_t> counts;
    for (const DeepView& view : views) {
        for (const KernelKind kind : kAllKinds) {
            for (std::int32_t iterMax = 0; iterMax <= 12; ++iterMax) {
                for (const double bailout : {4.0, 2.0}) {
                    const auto bound = static_cast<unsigned long>(bailout);
                    const auto ref = referencePicture(view, kind, iterMax, bound);
                    expectSamePictures(kernelPicture(view, kind, iterMax, bailout), ref,
                                       view.name + " " + kindName(kind) + " iterMax " +
                                           std::to_string(iterMax) + " bailout " +
                                           std::to_string(bailout));
                    for (const ReferencePixel& p : ref) {
                        counts.insert(p.count);
                    }
                }
            }
        }
    }
    EXPECT_GE(counts.size(), 8u) << "escapes at many places of the blocks, and some not at all";
}

TEST(DeepKernels, PixelsOutsideAtTheirStart)
{
    // c = 12: |c|^2 = 144 passes 128 at the start itself. c = 10: 100 does not; z_1 = 110 does.
    // Kind 2 counts from the start, but an escaped pixel never gets 0, which means "inside".
    struct Case
    {
        const char* c;
        KernelKind kind;
        std::int32_t count;
        float a;
        float b;
    };

    const Case cases[] = {
        {"12", KernelKind::Plain, 5, 144.0f, 0.0f},
        {"12", KernelKind::RealSquare, 1, 144.0f, 0.0f},
        {"10", KernelKind::Plain, 6, 12100.0f, 0.0f},
        {"10", KernelKind::RealSquare, 1, 12100.0f, 0.0f},
    };
    for (const Case& test : cases) {
        DeepView view;
        view.name = std::string("c = ") + test.c;
        view.width = 1;
        view.height = 1;
        view.x0 = test.c;
        view.y0 = "0";
        view.step = "1e-20";
        const ReferencePixel p = kernelPicture(view, test.kind, 100, 128.0)[0];
        EXPECT_EQ(p.count, test.count) << view.name << " " << kindName(test.kind);
        EXPECT_EQ(p.a, test.a) << view.name << " " << kindName(test.kind);
        EXPECT_EQ(p.b, test.b) << view.name << " " << kindName(test.kind);
    }
}

TEST(DeepKernels, NegativeAndUndefinedBailoutsLetEveryNonZeroOrbitEscape)
{
    const DeepView view = boundaryViews()[0];
    for (const double bailout : {-3.0, std::nan("")}) {
        for (const KernelKind kind : kAllKinds) {
            expectSamePictures(kernelPicture(view, kind, 64, bailout),
                               referencePicture(view, kind, 64, 0),
                               kindName(kind) + " bailout " + std::to_string(bailout));
        }
    }
}

TEST(DeepKernels, OrbitsThatShrinkOrGrowBeyondAnyBoundStaySound)
{
    // Julia c = 0: z_n = 0.5^(2^n) falls below every GMP exponent within 70 iterations; it is
    // a pixel inside the set with a final z of 0.
    DeepView shrinking;
    shrinking.mandelbrot = false;
    shrinking.juliaC = {0.0, 0.0};
    shrinking.width = 1;
    shrinking.height = 1;
    shrinking.x0 = "0.5";
    shrinking.y0 = "0";
    shrinking.step = "1e-20";
    for (const KernelKind kind : kAllKinds) {
        const ReferencePixel p = kernelPicture(shrinking, kind, 300, 128.0)[0];
        EXPECT_EQ(p.count, 0) << kindName(kind);
        EXPECT_EQ(p.a, 0.0f) << kindName(kind);
        EXPECT_EQ(p.b, 0.0f) << kindName(kind);
    }
    // Kind 5 on the real axis: zi stays 0, so zr zi^2 + zr zi never passes the bailout while zr
    // grows without end. The pixel does not escape and its zr is infinite.
    DeepView growing = shrinking;
    growing.mandelbrot = true;
    growing.x0 = "1";
    const ReferencePixel p = kernelPicture(growing, KernelKind::MixedOrbit, 300, 128.0)[0];
    EXPECT_EQ(p.count, 0);
    EXPECT_EQ(p.a, std::numeric_limits<float>::infinity());
    EXPECT_EQ(p.b, 0.0f);
}

TEST(DeepKernels, LongOrbitsOnAndBesideTheRealAxis)
{
    // On the real axis near c = -1.9 the orbit stays bounded and chaotic for ever (zi is exactly
    // 0, which the mixed orbit of kind 5 keeps); the rows beside it escape after long orbits.
    DeepView view = viewAround("chaotic", true, {0.0, 0.0}, {"-1.9", "0"}, 96, "1e-20");
    view.width = 6;
    view.height = 3;
    view.y0 = "-1e-20";
    for (const KernelKind kind : kAllKinds) {
        for (const std::int32_t iterMax : {400, 1000}) {
            expectSamePictures(kernelPicture(view, kind, iterMax, 128.0),
                               referencePicture(view, kind, iterMax, 128),
                               kindName(kind) + " iterMax " + std::to_string(iterMax));
        }
    }
}

/// A strip of the first boundary view with untouched-marker outputs.
struct MarkedStrip
{
    explicit MarkedStrip(std::int32_t rows) : job(makeJob(boundaryViews()[0], 64, 128.0))
    {
        job.firstRow = 0;
        job.lastRow = rows - 1;
        const auto n = static_cast<std::size_t>(job.width * rows);
        counts.assign(n, kUntouched);
        a.assign(n, -1.0f);
        b.assign(n, -1.0f);
        job.counts = counts.data();
        job.a = a.data();
        job.b = b.data();
        job.stopFlag = &stop;
        job.progress = &progress;
    }

    std::size_t touched() const
    {
        std::size_t n = 0;
        for (std::size_t k = 0; k < counts.size(); ++k) {
            n += counts[k] != kUntouched || a[k] != -1.0f || b[k] != -1.0f ? 1 : 0;
        }
        return n;
    }

    static constexpr std::int32_t kUntouched = -77;
    static constexpr std::int32_t kNoReport = 1234;
    DeepStripJob job;
    std::vector<std::int32_t> counts;
    std::vector<float> a;
    std::vector<float> b;
    std::atomic<std::int32_t> stop{0};
    std::atomic<std::int32_t> progress{kNoReport};
};

TEST(DeepKernels, StopFlagEndsTheStripAfterTheCurrentPixel)
{
    MarkedStrip strip(8);
    strip.stop = 1;
    runDeepStripJob(strip.job, KernelKind::Plain, 8, std::chrono::milliseconds(0));
    EXPECT_NE(strip.counts[0], MarkedStrip::kUntouched);
    EXPECT_EQ(strip.touched(), 1u) << "only the first pixel is computed";
    EXPECT_EQ(strip.progress, MarkedStrip::kNoReport) << "no row was finished";
}

TEST(DeepKernels, ProgressEntryCountsRowsNotYetDone)
{
    // Rows 0..5 of a picture 4 rows high: rows 4 and 5 do not exist and are not written. The
    // strip's last row is shared with the next strip and left out of the count, so after four
    // rows (5 - 0) - 4 = 1 row remains.
    MarkedStrip strip(6);
    runDeepStripJob(strip.job, KernelKind::Lagged, 4, std::chrono::milliseconds(0));
    EXPECT_EQ(strip.touched(), static_cast<std::size_t>(4 * strip.job.width));
    EXPECT_EQ(strip.progress, 1);

    MarkedStrip whole(3);
    runDeepStripJob(whole.job, KernelKind::Lagged, 8, std::chrono::milliseconds(0));
    EXPECT_EQ(whole.touched(), whole.counts.size());
    EXPECT_EQ(whole.progress, 0) << "never below zero";

    MarkedStrip quiet(3);
    runDeepStripJob(quiet.job, KernelKind::Lagged, 8, std::chrono::hours(1));
    EXPECT_EQ(quiet.progress, MarkedStrip::kNoReport) << "nothing before the interval passed";
}

TEST(DeepKernels, LowerOwnPriorityActsOnTheCallingThreadOnly)
{
    const int policyBefore = sched_getscheduler(0);
    const int niceBefore = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    bool lowered = false;
    bool idle = false;
    std::thread worker([&] {
        lowered = lowerOwnPriority();
        idle = sched_getscheduler(0) == SCHED_IDLE ||
               getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())) == 19;
    });
    worker.join();
    EXPECT_TRUE(lowered);
    EXPECT_TRUE(idle);
    EXPECT_EQ(sched_getscheduler(0), policyBefore);
    EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())), niceBefore);
}

} // namespace
} // namespace qv
