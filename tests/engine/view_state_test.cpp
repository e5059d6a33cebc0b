// The view: mode word, default windows, the three number forms, deep zoom and precision as the
// view deepens, centre and magnification, the automatic iteration increase.
#include "base/mp_float.h"
#include "engine/view_state.h"
#include "tests/support/recording_observer.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include <gmp.h>
#include <gtest/gtest.h>

namespace qv {
namespace {

using test::RecordingObserver;

constexpr unsigned long kReferenceBits = 4096;

ViewContext pictureOf(std::int32_t width, std::int32_t height)
{
    return ViewContext{width, height, false, false};
}

void makeJulia(ViewState& view)
{
    view.modeWord = (view.modeWord & ~1u) | 2u;
}

// |x - decimal| <= tolerance * |decimal|, with the decimal read by GMP at 4096 bits.
::testing::AssertionResult near(mpf_srcptr x, const std::string& decimal, double tolerance)
{
    MpFloat reference(kReferenceBits);
    MpFloat difference(kReferenceBits);
    MpFloat bound(kReferenceBits);
    mpf_set_str(reference.get(), decimal.c_str(), 10);
    mpf_sub(difference.get(), x, reference.get());
    mpf_abs(difference.get(), difference.get());
    mpf_abs(bound.get(), reference.get());
    MpFloat t(kReferenceBits);
    mpf_set_d(t.get(), tolerance);
    mpf_mul(bound.get(), bound.get(), t.get());
    if (mpf_cmp(difference.get(), bound.get()) <= 0) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "differs from " << decimal << " by " << mpf_get_d(difference.get());
}

// x as decimal text "[-]0.digitsEexponent", written by GMP at the reference precision.
std::string referenceText(mpf_srcptr x)
{
    mp_exp_t e = 0;
    char* raw = mpf_get_str(nullptr, &e, 10, 0, x);
    std::string digits(raw);
    void (*freeFunction)(void*, std::size_t) = nullptr;
    mp_get_memory_functions(nullptr, nullptr, &freeFunction);
    freeFunction(raw, digits.size() + 1);
    const bool negative = !digits.empty() && digits.front() == '-';
    if (negative) {
        digits.erase(0, 1);
    }
    return (negative ? "-0." : "0.") + digits + "e" + std::to_string(e);
}

// xmin + extent, exactly, as text.
std::string shifted(const char* xmin, const std::string& extent)
{
    MpFloat x(kReferenceBits);
    MpFloat t(kReferenceBits);
    mpf_set_str(x.get(), xmin, 10);
    mpf_set_str(t.get(), extent.c_str(), 10);
    mpf_add(x.get(), x.get(), t.get());
    return referenceText(x.get());
}

// A Mandelbrot or Julia view whose typed window has the pixel step 3.2e(step) at 640 x 480.
ViewState viewWithStep(bool mandelbrot, std::int32_t mode, std::int32_t step,
                       RecordingObserver& observer)
{
    ViewState view;
    if (!mandelbrot) {
        makeJulia(view);
    }
    setDrawingMode(view.modeWord, mode);
    const WindowRef w = currentWindow(view);
    w.xmin.text = "0.25";
    w.ymin.text = "0.5";
    w.xmax.text = shifted("0.25", "2.048e" + std::to_string(step + 3));
    w.ymax.text = shifted("0.5", "1.536e" + std::to_string(step + 3));
    EXPECT_TRUE(takeTypedView(view, pictureOf(640, 480), observer, TypedView::Window));
    return view;
}

std::int32_t ruleBits(std::int64_t adjusted)
{
    const long double n = std::fabs(static_cast<long double>(adjusted - 3));
    return static_cast<std::int32_t>(16.0L * std::floor(3.7L * n / 16.0L));
}

TEST(ModeWord, SettingAModeKeepsTheTypeBitsAndSelectsOneMode)
{
    std::uint32_t word = 0xFFFFFFFFu;
    setDrawingMode(word, 3);
    EXPECT_EQ(word, 0x3u | (1u << 4));
    EXPECT_EQ(drawingMode(word), 3);

    word = 5;
    EXPECT_EQ(drawingMode(word), 1);
    setDrawingMode(word, 28);
    EXPECT_EQ(word, 1u | (1u << 29));
    EXPECT_EQ(drawingMode(word), 28);

    setDrawingMode(word, 0);
    setDrawingMode(word, 29);
    EXPECT_EQ(word, 1u | (1u << 29));
    EXPECT_EQ(drawingMode(3u), 0);
    EXPECT_EQ(drawingMode(1u << 30), 0);
    EXPECT_EQ(drawingMode((1u << 7) | (1u << 9)), 6);

    for (std::int32_t mode = 1; mode <= 28; ++mode) {
        std::uint32_t w = 2;
        setDrawingMode(w, mode);
        EXPECT_EQ(drawingMode(w), mode);
        EXPECT_EQ(w & 3u, 2u);
    }
    EXPECT_EQ(drawingModeChar(1), '0');
    EXPECT_EQ(drawingModeChar(10), '9');
    EXPECT_EQ(drawingModeChar(11), 'A');
    EXPECT_EQ(drawingModeChar(26), 'P');
    EXPECT_EQ(drawingModeChar(28), 'R');
    EXPECT_EQ(drawingModeChar(0), '?');
    EXPECT_EQ(drawingModeChar(29), '?');
}

TEST(ViewState, StartsAt96BitsWithItsConstants)
{
    ViewState view;
    EXPECT_EQ(view.modeWord, 5u);
    EXPECT_EQ(view.precisionBits, 96);
    EXPECT_EQ(view.deepZoom, 0);
    ASSERT_TRUE(view.constants.has_value());
    EXPECT_EQ(mpf_cmp_d(view.constants->half.get(), 0.5), 0);
    EXPECT_EQ(mpf_cmp_d(view.constants->quarter.get(), 0.25), 0);
    EXPECT_EQ(mpf_cmp_ui(view.constants->defaultWidth.get(), 4), 0);
    EXPECT_EQ(mpf_cmp_ui(view.constants->defaultHeight.get(), 3), 0);
    EXPECT_EQ(mpf_cmp_ui(view.constants->magnificationHeight.get(), 3), 0);
    for (ViewNumber* n : view.julia.inOrder()) {
        EXPECT_GE(mpf_get_prec(n->mp()), 96u);
    }
}

TEST(ViewState, ResetGivesTheDefaultWindowOfTheCurrentTypeOnly)
{
    ViewState view;
    RecordingObserver observer;
    resetView(view);
    applyViewChange(view, pictureOf(640, 480), observer);
    const MandelbrotNumbers& m = view.mandelbrot;
    EXPECT_EQ(m.xmin.ext, -2.5L);
    EXPECT_EQ(m.xmax.ext, 1.5L);
    EXPECT_EQ(m.ymin.ext, -1.5L);
    EXPECT_EQ(m.ymax.ext, 1.5L);
    EXPECT_EQ(m.dx.ext, 4.0L / 640.0L);
    EXPECT_EQ(mpf_cmp_d(m.xmin.mp(), -2.5), 0);
    EXPECT_EQ(mpf_cmp_d(m.ymax.mp(), 1.5), 0);
    EXPECT_EQ(m.xmin.text, "-2.5e0");
    EXPECT_EQ(m.xmax.text, "1.5e0");
    EXPECT_EQ(m.dx.text, "6.25e-3");
    EXPECT_EQ(view.deepLimit, -3);
    EXPECT_EQ(observer.last("title"), "QUORVALIS (Deeplimit:-3)");
    EXPECT_EQ(view.julia.xmin.text, "0.0e0");

    makeJulia(view);
    resetView(view);
    applyViewChange(view, pictureOf(640, 480), observer);
    EXPECT_EQ(view.julia.xmin.ext, -1.8L);
    EXPECT_EQ(view.julia.ymax.ext, 1.8L);
    EXPECT_TRUE(near(view.julia.xmin.mp(), "-1.8", 1e-18));
    EXPECT_EQ(view.julia.xmin.text, "-1.8e0");
    EXPECT_EQ(view.julia.dy.text, "7.5e-3");
    EXPECT_EQ(m.xmin.text, "-2.5e0");
}

TEST(DeepZoomSwitch, TurnsOnAtTheStepOfTheTypeAndDrawingMode)
{
    struct Case
    {
        bool mandelbrot;
        std::int32_t mode;
        std::int32_t lastExtendedStep; // one decade deeper switches deep zoom on
    };

    const std::vector<Case> cases = {
        {true, 1, -16},  {true, 2, -16}, {true, 25, -16}, {true, 26, -13}, {true, 27, -13},
        {true, 28, -13}, {false, 1, -9}, {false, 2, -9},  {false, 26, -6}, {false, 28, -6},
    };
    for (const Case& c : cases) {
        for (std::int32_t step = c.lastExtendedStep + 2; step >= c.lastExtendedStep - 2; --step) {
            RecordingObserver observer;
            const ViewState view = viewWithStep(c.mandelbrot, c.mode, step, observer);
            const bool deep = step < c.lastExtendedStep;
            EXPECT_EQ(view.deepLimit, step) << c.mode;
            EXPECT_EQ(view.deepZoom, deep ? 1 : 0) << (c.mandelbrot ? "Mandelbrot" : "Julia")
                                                   << " mode " << c.mode << " step 3.2e" << step;
            EXPECT_EQ(observer.last("deepZoom"), deep ? "on" : "off");
        }
    }
}

TEST(DeepZoomSwitch, PrecisionFollowsTheRuleWithItsWorkedValues)
{
    EXPECT_EQ(precisionForLimit(-17), 64);
    EXPECT_EQ(precisionForLimit(-30), 112);
    EXPECT_EQ(precisionForLimit(-100), 368);
    for (std::int64_t e = 5; e >= -3000; --e) {
        ASSERT_EQ(precisionForLimit(e), ruleBits(e)) << e;
    }
    EXPECT_EQ(precisionForLimit(std::numeric_limits<std::int32_t>::min()), kMaxPrecisionBits);

    struct Case
    {
        std::int32_t step;
        std::int32_t bits;
    };

    for (const Case c : {Case{-17, 96}, Case{-30, 112}, Case{-100, 368}, Case{-27, 96}}) {
        RecordingObserver observer;
        const ViewState view = viewWithStep(true, 1, c.step, observer);
        EXPECT_EQ(view.deepLimit, c.step);
        EXPECT_EQ(view.precisionBits, c.bits) << c.step;
        EXPECT_GE(mpf_get_prec(view.mandelbrot.xmin.mp()), static_cast<unsigned long>(c.bits));
    }
}

// Zooms by two about a point: in extended while deep zoom is off, in GMP when it is on, and
// then the view-change step, as the navigation does.
void zoom(ViewState& view, bool in, const ViewContext& context, RecordingObserver& observer)
{
    const WindowRef w = currentWindow(view);
    if (view.deepZoom == 0) {
        const long double hx = (w.xmax.ext - w.xmin.ext) / 4.0L;
        const long double hy = (w.ymax.ext - w.ymin.ext) / 4.0L;
        const long double cx = in ? -0.743643887037158704752L : w.xmin.ext + 2.0L * hx;
        const long double cy = in ? 0.131825904205311970493L : w.ymin.ext + 2.0L * hy;
        const long double f = in ? 1.0L : 4.0L;
        w.xmin.ext = cx - f * hx;
        w.xmax.ext = cx + f * hx;
        w.ymin.ext = cy - f * hy;
        w.ymax.ext = cy + f * hy;
    } else {
        const unsigned long bits = static_cast<unsigned long>(view.precisionBits);
        MpFloat hx(bits), hy(bits), cx(bits), cy(bits);
        mpf_sub(hx.get(), w.xmax.mp(), w.xmin.mp());
        mpf_div_ui(hx.get(), hx.get(), 4);
        mpf_sub(hy.get(), w.ymax.mp(), w.ymin.mp());
        mpf_div_ui(hy.get(), hy.get(), 4);
        if (in) {
            mpf_set_str(cx.get(), "-0.743643887037158704752", 10);
            mpf_set_str(cy.get(), "0.131825904205311970493", 10);
        } else {
            mpf_mul_ui(cx.get(), hx.get(), 2);
            mpf_add(cx.get(), cx.get(), w.xmin.mp());
            mpf_mul_ui(cy.get(), hy.get(), 2);
            mpf_add(cy.get(), cy.get(), w.ymin.mp());
            mpf_mul_ui(hx.get(), hx.get(), 4);
            mpf_mul_ui(hy.get(), hy.get(), 4);
        }
        mpf_sub(w.xmin.mp(), cx.get(), hx.get());
        mpf_add(w.xmax.mp(), cx.get(), hx.get());
        mpf_sub(w.ymin.mp(), cy.get(), hy.get());
        mpf_add(w.ymax.mp(), cy.get(), hy.get());
    }
    applyViewChange(view, context, observer);
}

TEST(DeepZoomSwitch, ZoomingInAndOutSwitchesAt1e17AndMovesPrecisionIn16BitSteps)
{
    ViewState view;
    RecordingObserver observer;
    const ViewContext context = pictureOf(640, 480);
    resetView(view);
    applyViewChange(view, context, observer);

    auto check = [&](int n) {
        // Pixel step 4 / 640 / 2^n; its decade from the logarithm.
        const long double step = 0.00625L / std::pow(2.0L, static_cast<long double>(n));
        const auto decade = static_cast<std::int32_t>(std::floor(std::log10(step)));
        ASSERT_EQ(view.deepLimit, decade) << n;
        EXPECT_EQ(view.deepZoom, decade <= -17 ? 1 : 0) << n;
        EXPECT_EQ(view.precisionBits, std::max(96, ruleBits(decade))) << n;
        EXPECT_EQ(view.precisionBits % 16, 0);
        // The window keeps its width: it neither collapses nor drifts.
        const WindowRef w = currentWindow(view);
        MpFloat width(static_cast<unsigned long>(view.precisionBits));
        mpf_sub(width.get(), w.xmax.mp(), w.xmin.mp());
        mpf_div_ui(width.get(), width.get(), 640);
        EXPECT_NEAR(mpf_get_d(width.get()) / static_cast<double>(step), 1.0, 1e-3) << n;
    };
    for (int n = 1; n <= 200; ++n) {
        zoom(view, true, context, observer);
        check(n);
    }
    for (int n = 199; n >= 0; --n) {
        zoom(view, false, context, observer);
        check(n);
    }
}

TEST(Precision, OnlyMultiplesOf16From96AreAppliedAndTheTextIsKept)
{
    ViewState view;
    setPrecision(view, 80);
    EXPECT_EQ(view.precisionBits, 96);
    setPrecision(view, -16);
    EXPECT_EQ(view.precisionBits, 96);

    // 100 digits: more than GMP keeps at 96 bits.
    const std::string digits(98, '3');
    const std::string xmin = "-7." + digits + "1e-1";
    const std::string ymax = "1." + digits + "7e-1";
    view.mandelbrot.xmin.text = xmin;
    view.mandelbrot.ymax.text = ymax;
    view.julia.cr.text = "-8." + digits + "9e-1";
    textToDeep(view);
    EXPECT_FALSE(near(view.mandelbrot.xmin.mp(), xmin, 1e-95));

    setPrecision(view, 512);
    EXPECT_EQ(view.precisionBits, 512);
    EXPECT_EQ(view.mandelbrot.xmin.text, xmin);
    EXPECT_EQ(view.mandelbrot.ymax.text, ymax);
    EXPECT_TRUE(near(view.mandelbrot.xmin.mp(), xmin, 1e-95));
    EXPECT_TRUE(near(view.mandelbrot.ymax.mp(), ymax, 1e-95));
    // The other view is rebuilt from its text as well.
    EXPECT_TRUE(near(view.julia.cr.mp(), view.julia.cr.text, 1e-95));
    EXPECT_GE(mpf_get_prec(view.julia.dx.mp()), 512u);
    EXPECT_GE(mpf_get_prec(view.constants->quarter.get()), 512u);
    EXPECT_EQ(mpf_cmp_d(view.constants->quarter.get(), 0.25), 0);

    // Text that is not a number keeps the number's value through a precision change.
    view.mandelbrot.dx.text = "no number";
    mpf_set_d(view.mandelbrot.dx.mp(), 0.125);
    setPrecision(view, 112);
    EXPECT_EQ(mpf_cmp_d(view.mandelbrot.dx.mp(), 0.125), 0);
}

TEST(Precision, ClearDeepReleasesEverythingAndTheSamePrecisionRebuildsIt)
{
    ViewState view;
    view.mandelbrot.xmax.text = "1.5e0";
    clearDeep(view);
    EXPECT_FALSE(view.constants.has_value());
    EXPECT_FALSE(view.mandelbrot.xmax.deep.has_value());
    EXPECT_FALSE(view.julia.dx.deep.has_value());
    clearDeep(view);
    setPrecision(view, 96);
    ASSERT_TRUE(view.mandelbrot.xmax.deep.has_value());
    EXPECT_EQ(mpf_cmp_d(view.mandelbrot.xmax.mp(), 1.5), 0);
    EXPECT_EQ(mpf_cmp_d(view.constants->half.get(), 0.5), 0);
}

TEST(TypedView, AWindow1e53WideKeepsItsDigits)
{
    ViewState view;
    RecordingObserver observer;
    const ViewContext context = pictureOf(640, 480);
    resetView(view);
    applyViewChange(view, context, observer);

    const std::string xmin = "-0.5";
    const std::string xmax = "-0.49999999999999999999999999999999999999999999999999999";
    const std::string ymin = "0.1";
    const std::string ymax = "0.1000000000000000000000000000000000000000000000000000075";
    MandelbrotNumbers& m = view.mandelbrot;
    m.xmin.text = xmin;
    m.xmax.text = xmax;
    m.ymin.text = ymin;
    m.ymax.text = ymax;
    ASSERT_TRUE(takeTypedView(view, context, observer, TypedView::Window));

    // dx = 1e-53 / 640 = 1.5625e-56.
    EXPECT_EQ(view.deepLimit, -56);
    EXPECT_EQ(view.deepZoom, 1);
    EXPECT_EQ(view.precisionBits, ruleBits(-56));
    EXPECT_TRUE(near(m.dx.mp(), "1.5625e-56", 1e-6));
    EXPECT_TRUE(near(m.dy.mp(), "1.5625e-56", 1e-6));
    EXPECT_TRUE(near(m.xmax.mp(), xmax, 1e-60));
    EXPECT_TRUE(near(m.ymax.mp(), ymax, 1e-60));
    // The text copies, rewritten from GMP, still hold the typed values.
    MpFloat written(kReferenceBits);
    mpf_set_str(written.get(), m.xmax.text.c_str(), 10);
    EXPECT_TRUE(near(written.get(), xmax, 1e-60));
    EXPECT_EQ(observer.last("title"), "QUORVALIS (Deeplimit:-56)");
}

TEST(TypedView, AJuliaConstantKeepsTheDigitsItsPrecisionHolds)
{
    ViewState view;
    RecordingObserver observer;
    const ViewContext context = pictureOf(640, 480);
    makeJulia(view);
    JuliaNumbers& j = view.julia;
    j.xmin.text = "-1e-40";
    j.xmax.text = "1e-40";
    j.ymin.text = "-0.75e-40";
    j.ymax.text = "0.75e-40";
    std::string cr = "-0.";
    for (int i = 0; i < 300; ++i) {
        cr.push_back(static_cast<char>('1' + i % 9));
    }
    j.cr.text = cr;
    j.ci.text = "0.25";
    ASSERT_TRUE(takeTypedView(view, context, observer, TypedView::Window));
    // dx = 2e-40 / 640 = 3.125e-43; Julia: e = -50.
    EXPECT_EQ(view.deepLimit, -43);
    EXPECT_EQ(view.deepZoom, 1);
    EXPECT_EQ(view.precisionBits, ruleBits(-50));
    EXPECT_TRUE(near(j.cr.mp(), cr, std::ldexp(1.0, -view.precisionBits + 2)));
    EXPECT_EQ(mpf_cmp_d(j.ci.mp(), 0.25), 0);
}

TEST(TypedView, ShallowTypedTextReturnsToExtended)
{
    ViewState view;
    RecordingObserver observer;
    const ViewContext context = pictureOf(640, 480);
    MandelbrotNumbers& m = view.mandelbrot;
    m.xmin.text = "-1";
    m.xmax.text = "1";
    m.ymin.text = "-0.75";
    m.ymax.text = "0.75";
    view.deepZoom = 1;
    ASSERT_TRUE(takeTypedView(view, context, observer, TypedView::Window));
    EXPECT_EQ(view.deepZoom, 0);
    EXPECT_EQ(m.xmin.ext, -1.0L);
    EXPECT_EQ(m.dx.ext, 2.0L / 640.0L);
    EXPECT_EQ(m.ymax.text, "7.5e-1");
}

TEST(CentreAndMagnification, WindowIs4To3WhateverThePictureAndRoundTrips)
{
    ViewState view;
    RecordingObserver observer;
    const ViewContext wide = pictureOf(1280, 480);
    MandelbrotNumbers& m = view.mandelbrot;
    m.centreRe.text = "-0.75";
    m.centreIm.text = "0.1";
    m.magnification.text = "100";
    ASSERT_TRUE(windowFromCentre(view, wide, observer));
    EXPECT_TRUE(near(m.xmin.mp(), "-0.77", 1e-25));
    EXPECT_TRUE(near(m.xmax.mp(), "-0.73", 1e-25));
    EXPECT_TRUE(near(m.ymin.mp(), "0.085", 1e-25));
    EXPECT_TRUE(near(m.ymax.mp(), "0.115", 1e-25));
    EXPECT_TRUE(near(m.dx.mp(), "0.00003125", 1e-25)); // 0.04 / 1280
    EXPECT_EQ(observer.shown.back(), "locationFields: ");
    EXPECT_NEAR(static_cast<double>(m.xmin.ext), -0.77, 1e-17);

    m.centreRe.text = "0";
    m.centreIm.text = "0";
    m.magnification.text = "0";
    centreFromWindow(view, wide, observer);
    EXPECT_TRUE(near(m.centreRe.mp(), "-0.75", 1e-25));
    EXPECT_TRUE(near(m.centreIm.mp(), "0.1", 1e-25));
    EXPECT_TRUE(near(m.magnification.mp(), "100", 1e-25));
}

TEST(CentreAndMagnification, DeepCentreRoundTripsAtItsPrecision)
{
    ViewState view;
    RecordingObserver observer;
    const ViewContext context = pictureOf(640, 480);
    MandelbrotNumbers& m = view.mandelbrot;
    const std::string re = "-0.7436438870371587047521915061147740000000000000000000000000000000001";
    const std::string im = "0.1318259042053119704931320563851390000000000000000000000000000000003";
    m.centreRe.text = re;
    m.centreIm.text = im;
    m.magnification.text = "1e60";
    ASSERT_TRUE(takeTypedView(view, context, observer, TypedView::Centre));
    // height 3e-60 over 480 rows: dy = 6.25e-63.
    EXPECT_EQ(view.deepLimit, -63);
    EXPECT_EQ(view.precisionBits, ruleBits(-63));
    EXPECT_TRUE(near(m.dy.mp(), "6.25e-63", 1e-8));

    centreFromWindow(view, context, observer);
    EXPECT_TRUE(near(m.centreRe.mp(), re, 1e-68));
    EXPECT_TRUE(near(m.centreIm.mp(), im, 1e-68));
    EXPECT_TRUE(near(m.magnification.mp(), "1e60", 1e-8));
}

TEST(CentreAndMagnification, DefaultViewHasMagnificationOne)
{
    ViewState view;
    RecordingObserver observer;
    const ViewContext context = pictureOf(640, 480);
    resetView(view);
    applyViewChange(view, context, observer);
    centreFromWindow(view, context, observer);
    EXPECT_EQ(view.mandelbrot.centreRe.text, "-5.0e-1");
    EXPECT_EQ(view.mandelbrot.centreIm.text, "0.0e0");
    EXPECT_EQ(view.mandelbrot.magnification.text, "1.0e0");
}

TEST(CentreAndMagnification, ZeroMagnificationAndFlatWindowsChangeNothingUnsafe)
{
    ViewState view;
    RecordingObserver observer;
    const ViewContext context = pictureOf(640, 480);
    resetView(view);
    applyViewChange(view, context, observer);
    MandelbrotNumbers& m = view.mandelbrot;
    m.magnification.text = "0";
    EXPECT_FALSE(windowFromCentre(view, context, observer));
    EXPECT_FALSE(takeTypedView(view, context, observer, TypedView::Centre));
    m.magnification.text = "not a number";
    mpf_set_ui(m.magnification.mp(), 0);
    EXPECT_FALSE(windowFromCentre(view, context, observer));
    EXPECT_EQ(mpf_cmp_d(m.xmin.mp(), -2.5), 0);
    EXPECT_EQ(mpf_cmp_d(m.ymax.mp(), 1.5), 0);

    mpf_set_ui(m.magnification.mp(), 7);
    mpf_set_d(m.ymax.mp(), -1.5);
    centreFromWindow(view, context, observer);
    EXPECT_EQ(mpf_cmp_ui(m.magnification.mp(), 7), 0);

    makeJulia(view);
    EXPECT_FALSE(windowFromCentre(view, context, observer));
}

TEST(RefreshFromDeep, SetsTitleAndAutomaticPotValueUnlessAnAnimationRuns)
{
    RecordingObserver observer;
    ViewState view = viewWithStep(true, 1, -17, observer);
    ViewContext context = pictureOf(640, 480);
    context.autoPotValue = true;
    observer.shown.clear();
    refreshFromDeep(view, context, observer);
    EXPECT_EQ(view.potValue, 0.0002 / 17.0);
    const std::vector<std::string> expected = {
        "title: QUORVALIS (Deeplimit:-17)",
        "potValue:  1.17647058824e-5",
        "deepZoom: on",
    };
    EXPECT_EQ(observer.shown, expected);

    context.animationRunning = true;
    view.potValue = 0.5;
    observer.shown.clear();
    refreshFromDeep(view, context, observer);
    EXPECT_EQ(view.potValue, 0.5);
    EXPECT_EQ(observer.shown, std::vector<std::string>{"deepZoom: on"});

    EXPECT_EQ(deepLimitTitle(3), "QUORVALIS (Deeplimit: 3)");
    EXPECT_EQ(deepLimitTitle(0), "QUORVALIS (Deeplimit: 0)");
    EXPECT_EQ(autoPotValueFor(-3), 0.0002 / 3.0);
    EXPECT_EQ(autoPotValueFor(2), 0.0001);
    EXPECT_EQ(autoPotValueFor(0), 0.0002);
}

TEST(RefreshFromDeep, PictureSizeChangeRecomputesTheSteps)
{
    ViewState view;
    RecordingObserver observer;
    resetView(view);
    applyViewChange(view, pictureOf(640, 480), observer);
    applyViewChange(view, pictureOf(352, 288), observer);
    // The extended steps are what their 18-digit texts read as.
    EXPECT_EQ(view.mandelbrot.dx.ext, 0.0113636363636363636L);
    EXPECT_EQ(view.mandelbrot.dy.ext, 0.0104166666666666667L);
    EXPECT_TRUE(near(view.mandelbrot.dx.mp(), "0.0113636363636363636", 1e-18));
    EXPECT_EQ(view.deepLimit, -2);
}

TEST(AutoIterIncrease, RaisesToTheDepthAndNeverLowers)
{
    ViewState view;
    autoIterIncrease(view, -3);
    EXPECT_EQ(view.iterMax, 300);

    ViewState julia;
    makeJulia(julia);
    autoIterIncrease(julia, -3);
    EXPECT_EQ(julia.iterMax, 600);

    std::int32_t reference = 100;
    ViewState walk;
    for (const std::int32_t limit : {-3, -10, -25, -5, -1, 0, 4, -26, -2}) {
        autoIterIncrease(walk, limit);
        reference = std::max(reference, 100 * std::abs(limit));
        EXPECT_EQ(walk.iterMax, reference) << limit;
    }

    walk.iterMax = 5000;
    autoIterIncrease(walk, -3);
    EXPECT_EQ(walk.iterMax, 5000);
    autoIterIncrease(julia, std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(julia.iterMax, std::numeric_limits<std::int32_t>::max());
}

TEST(DeepZoomByHand, OffIsRefusedDeeperThan1e17AndOnCopiesTheExtendedView)
{
    RecordingObserver observer;
    const ViewContext context = pictureOf(640, 480);
    ViewState deep = viewWithStep(true, 1, -20, observer);
    ASSERT_EQ(deep.deepZoom, 1);
    EXPECT_FALSE(turnDeepZoomOff(deep, context, observer));
    EXPECT_EQ(deep.deepZoom, 1);
    EXPECT_EQ(observer.last("deepZoom"), "on");

    // A Julia view at 1e-12 counts as 1e-19: unticking is allowed, and the view-change step
    // switches deep zoom on again. At 1e-5 it stays off.
    ViewState julia = viewWithStep(false, 1, -12, observer);
    ASSERT_EQ(julia.deepZoom, 1);
    mpf_set_d(julia.julia.cr.mp(), -0.125);
    EXPECT_TRUE(turnDeepZoomOff(julia, context, observer));
    EXPECT_EQ(julia.deepZoom, 1);
    EXPECT_EQ(julia.julia.cr.ext, -0.125L);
    EXPECT_EQ(observer.last("deepZoom"), "on");
    ViewState shallowJulia = viewWithStep(false, 1, -5, observer);
    shallowJulia.deepZoom = 1;
    EXPECT_TRUE(turnDeepZoomOff(shallowJulia, context, observer));
    EXPECT_EQ(shallowJulia.deepZoom, 0);
    EXPECT_EQ(observer.last("deepZoom"), "off");

    ViewState shallow;
    resetView(shallow);
    applyViewChange(shallow, context, observer);
    shallow.mandelbrot.xmin.ext = -1.0L / 3.0L;
    turnDeepZoomOn(shallow, observer);
    EXPECT_EQ(shallow.deepZoom, 1);
    EXPECT_EQ(shallow.mandelbrot.xmin.text, "-3.33333333333333333e-1");
    EXPECT_TRUE(near(shallow.mandelbrot.xmin.mp(), "-0.333333333333333333", 1e-27));
    EXPECT_EQ(observer.last("deepZoom"), "on");
}

TEST(FileFields, StoredNumbersAreReadUpToTheirEndOrFieldWidth)
{
    ViewState view;
    std::string longField = "1." + std::string(600, '5') + "e0";
    const std::string withGarbage = std::string("-2.5e0\0garbage", 14);
    const std::vector<std::string_view> six = {withGarbage, "1.5e0",   "6.25e-3",
                                               "-1.5e0",    longField, "not a number"};
    mpf_set_d(view.mandelbrot.dy.mp(), 0.125);
    ASSERT_TRUE(textToDeep(view, six));
    EXPECT_EQ(view.mandelbrot.xmin.text, "-2.5e0");
    EXPECT_EQ(mpf_cmp_d(view.mandelbrot.xmin.mp(), -2.5), 0);
    EXPECT_TRUE(near(view.mandelbrot.dx.mp(), "6.25e-3", 1e-25));
    EXPECT_EQ(view.mandelbrot.ymax.text.size(), kFileFieldChars);
    EXPECT_EQ(mpf_cmp_d(view.mandelbrot.dy.mp(), 0.125), 0);

    const std::vector<std::string_view> eight(8, "1.0e0");
    EXPECT_FALSE(textToDeep(view, eight));
    makeJulia(view);
    EXPECT_FALSE(textToDeep(view, six));
    ASSERT_TRUE(textToDeep(view, eight));
    EXPECT_EQ(mpf_cmp_ui(view.julia.dx.mp(), 1), 0);
}

} // namespace
} // namespace qv
