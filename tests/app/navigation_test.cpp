// Mouse navigation: click zoom, box zoom, unzoom and the Julia pick, in extended and in deep
// zoom, with the flags and requests that follow every zoom.
#include "app/navigation.h"
#include "app/startup.h"
#include "tests/support/test_shell.h"

#include <cmath>
#include <cstdint>
#include <string>

#include <gmp.h>
#include <gtest/gtest.h>

namespace qv {
namespace {

using test::TestShell;

// The program after start-up on a 1280 pixel wide screen (640 x 480, default view) with a
// completed Mandelbrot picture.
struct Navigation : ::testing::Test
{
    Navigation()
    {
        startUpWithoutWindows(app, StartupEnvironment{1280, 1024, 2, ""}, shell.services);
        pictureCompleted();
    }

    void pictureCompleted()
    {
        app.shell.pictureValid = 1;
        app.shell.mandelbrotShown = 1;
    }

    void click(std::int32_t x, std::int32_t y)
    {
        leftButtonDown(app, pointer, x, y, shell.observer);
        leftButtonUp(app, pointer, x, y, shell.observer);
    }

    NavigationResult drag(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1)
    {
        leftButtonDown(app, pointer, x0, y0, shell.observer);
        mouseMove(app, pointer, (x0 + x1) / 2, (y0 + y1) / 2);
        mouseMove(app, pointer, x1, y1);
        return leftButtonUp(app, pointer, x1, y1, shell.observer);
    }

    // A deep Mandelbrot view on dyadic numbers, so that every zoom below is exact at 96 bits:
    // xmin = -0.75, ymin = 0.125 and a pixel step of 2^-64 on a 512 x 384 picture.
    void enterDyadicDeepView()
    {
        app.settings.pictureWidth = 512;
        app.settings.pictureHeight = 384;
        MandelbrotNumbers& m = app.view.mandelbrot;
        mpf_set_d(m.xmin.mp(), -0.75);
        mpf_set_d(m.ymin.mp(), 0.125);
        mpf_set_ui(m.xmax.mp(), 512);
        mpf_div_2exp(m.xmax.mp(), m.xmax.mp(), 64);
        mpf_add(m.xmax.mp(), m.xmax.mp(), m.xmin.mp());
        mpf_set_ui(m.ymax.mp(), 384);
        mpf_div_2exp(m.ymax.mp(), m.ymax.mp(), 64);
        mpf_add(m.ymax.mp(), m.ymax.mp(), m.ymin.mp());
        app.view.deepZoom = 1;
        applyDeepViewChange(app.view, viewContext(app), shell.observer);
        ASSERT_EQ(app.view.deepZoom, 1);
        ASSERT_EQ(app.view.deepLimit, -20);
    }

    // origin + pixels * 2^-64, exactly.
    static MpFloat dyadic(double origin, std::int64_t pixels)
    {
        MpFloat value(96);
        mpf_set_si(value.get(), static_cast<long>(pixels));
        mpf_div_2exp(value.get(), value.get(), 64);
        MpFloat o(96);
        mpf_set_d(o.get(), origin);
        mpf_add(value.get(), value.get(), o.get());
        return value;
    }

    static void expectDeep(const ViewNumber& n, const MpFloat& expected, const char* what)
    {
        EXPECT_EQ(mpf_cmp(n.mp(), expected.get()), 0) << what << " is " << n.text;
    }

    AppState app;
    TestShell shell;
    PointerState pointer;
};

TEST_F(Navigation, ClickAtTheCentreOfTheDefaultViewHalvesTheWindow)
{
    app.shell.currentFileName = "a.fra";
    app.shell.lastFilePath = "a.fra";
    app.shell.pictureFromImage = 1;
    shell.observer.shown.clear();
    click(320, 240);

    const MandelbrotNumbers& m = app.view.mandelbrot;
    EXPECT_EQ(m.xmin.ext, -1.5L);
    EXPECT_EQ(m.xmax.ext, 0.5L);
    EXPECT_EQ(m.ymin.ext, -0.75L);
    EXPECT_EQ(m.ymax.ext, 0.75L);
    // The view-change step ran: steps, text and GMP copies follow the new window.
    EXPECT_EQ(m.dx.ext, 2.0L / 640);
    EXPECT_EQ(m.xmin.text, "-1.5e0");
    EXPECT_EQ(mpf_cmp_d(m.ymax.mp(), 0.75), 0);
    EXPECT_EQ(app.shell.pictureValid, 0);
    EXPECT_EQ(app.shell.pictureFromImage, 0);
    EXPECT_EQ(app.shell.currentFileName, "");
    EXPECT_EQ(app.shell.lastFilePath, "");
    EXPECT_EQ(shell.observer.last("repaint"), "");
    EXPECT_EQ(shell.observer.last("title"), "QUORVALIS (Deeplimit:-3)");
}

TEST_F(Navigation, ClickZoomsAboutThePressPointInMandelbrotAndTheReleasePointInJulia)
{
    leftButtonDown(app, pointer, 0, 0, shell.observer);
    leftButtonUp(app, pointer, 640, 480, shell.observer);
    EXPECT_EQ(app.view.mandelbrot.xmin.ext, -3.5L);
    EXPECT_EQ(app.view.mandelbrot.ymin.ext, -2.25L);

    // A Julia view at its default window, shown.
    app.view.modeWord = 4 | 0; // Julia, drawing mode 1
    resetCoordinates(app, shell.observer);
    app.shell.juliaShown = 1;
    pictureCompleted();
    leftButtonDown(app, pointer, 0, 0, shell.observer);
    leftButtonUp(app, pointer, 320, 240, shell.observer);
    const JuliaNumbers& j = app.view.julia;
    // Centre (0, 0) from the release point; half extents a quarter of 3.6.
    EXPECT_NEAR(static_cast<double>(j.xmin.ext), -0.9, 1e-15);
    EXPECT_NEAR(static_cast<double>(j.xmax.ext), 0.9, 1e-15);
    EXPECT_NEAR(static_cast<double>(j.ymin.ext), -0.9, 1e-15);
}

TEST_F(Navigation, NothingMovesBeforeAPictureWasCompleted)
{
    app.shell.mandelbrotShown = 0;
    app.shell.juliaShown = 0;
    click(100, 100);
    EXPECT_EQ(rightButtonDown(app, shell.observer).viewChanged, false);
    EXPECT_EQ(app.view.mandelbrot.xmin.ext, -2.5L);
    EXPECT_EQ(app.shell.pictureValid, 1);
}

TEST_F(Navigation, OneClickThenTwoRightClicksDoublesTheWindowAboutTheClick)
{
    click(160, 120); // the plane point (-1.5, -0.75)
    pictureCompleted();
    EXPECT_TRUE(rightButtonDown(app, shell.observer).viewChanged);
    // A right click while the picture is stale does nothing.
    EXPECT_FALSE(rightButtonDown(app, shell.observer).viewChanged);
    pictureCompleted();
    EXPECT_TRUE(rightButtonDown(app, shell.observer).viewChanged);

    const MandelbrotNumbers& m = app.view.mandelbrot;
    EXPECT_EQ(m.xmin.ext, -1.5L - 4.0L);
    EXPECT_EQ(m.xmax.ext, -1.5L + 4.0L);
    EXPECT_EQ(m.ymin.ext, -0.75L - 3.0L);
    EXPECT_EQ(m.ymax.ext, -0.75L + 3.0L);
    EXPECT_EQ(app.shell.pictureValid, 0);
}

TEST_F(Navigation, BoxBecomesTheWindowAsDrawn)
{
    app.settings.boxedZoom = 1;
    const NavigationResult result = drag(100, 100, 420, 340);
    EXPECT_TRUE(result.viewChanged);
    EXPECT_EQ(result.pointer, PointerShape::Arrow);
    EXPECT_FALSE(pointer.dragging);
    EXPECT_FALSE(pointer.bandShown);

    const MandelbrotNumbers& m = app.view.mandelbrot;
    EXPECT_EQ(m.xmin.ext, -1.875L);
    EXPECT_EQ(m.xmax.ext, 0.125L);
    EXPECT_EQ(m.ymin.ext, -0.875L);
    EXPECT_EQ(m.ymax.ext, 0.625L);
}

TEST_F(Navigation, DraggingMovesOnlyTheBand)
{
    app.settings.boxedZoom = 1;
    const NavigationResult down = leftButtonDown(app, pointer, 50, 60, shell.observer);
    EXPECT_EQ(down.pointer, PointerShape::Cross);
    EXPECT_TRUE(down.bandChanged);
    const NavigationResult moved = mouseMove(app, pointer, 200, 150);
    EXPECT_TRUE(moved.bandChanged);
    EXPECT_FALSE(moved.viewChanged);
    EXPECT_EQ(pointer.cornerX, 200);
    EXPECT_EQ(pointer.cornerY, 150);
    EXPECT_EQ(app.view.mandelbrot.xmin.ext, -2.5L);
    EXPECT_EQ(app.shell.pictureValid, 1);
}

TEST_F(Navigation, EmptyBoxesChangeNothingAndKeepDragging)
{
    app.settings.boxedZoom = 1;

    struct Box
    {
        std::int32_t x0, y0, x1, y1;
    };

    for (const Box b : {Box{200, 200, 200, 200}, Box{200, 200, 200, 300}, Box{10, 50, 300, 50}}) {
        const NavigationResult up = drag(b.x0, b.y0, b.x1, b.y1);
        EXPECT_FALSE(up.viewChanged);
        EXPECT_TRUE(pointer.dragging);
        EXPECT_FALSE(pointer.bandShown);
        EXPECT_EQ(app.view.mandelbrot.xmin.ext, -2.5L);
        EXPECT_EQ(app.view.mandelbrot.ymax.ext, 1.5L);
        EXPECT_EQ(app.shell.pictureValid, 1);
    }
    // With the button up the band follows the pointer again from the old press point.
    EXPECT_TRUE(mouseMove(app, pointer, 400, 400).bandChanged);
    EXPECT_TRUE(pointer.bandShown);
    EXPECT_EQ(pointer.pressX, 10);
}

TEST_F(Navigation, BoxDraggedBackwardsGivesAMirroredWindowInExtended)
{
    app.settings.boxedZoom = 1;
    drag(420, 340, 100, 100);
    const MandelbrotNumbers& m = app.view.mandelbrot;
    EXPECT_EQ(m.xmin.ext, 0.125L);
    EXPECT_EQ(m.xmax.ext, -1.875L);
    EXPECT_EQ(m.ymin.ext, 0.625L);
    EXPECT_EQ(m.ymax.ext, -0.875L);
    EXPECT_LT(m.dx.ext, 0.0L);
    EXPECT_EQ(app.view.deepZoom, 0);
}

TEST_F(Navigation, BoxesInDeepZoomWorkOnTheGmpNumbers)
{
    enterDyadicDeepView();
    app.settings.boxedZoom = 1;
    // Mirrored: from (420, 340) back to (100, 100), 320 x 240 pixels of 2^-64.
    drag(420, 340, 100, 100);
    const MandelbrotNumbers& m = app.view.mandelbrot;
    expectDeep(m.xmin, dyadic(-0.75, 420), "xmin");
    expectDeep(m.xmax, dyadic(-0.75, 420 - 320), "xmax");
    expectDeep(m.ymin, dyadic(0.125, 340), "ymin");
    expectDeep(m.ymax, dyadic(0.125, 340 - 240), "ymax");
    EXPECT_LT(mpf_sgn(m.dx.mp()), 0);
    EXPECT_EQ(app.view.deepZoom, 1);

    // An empty box in deep zoom changes nothing.
    pictureCompleted();
    drag(30, 30, 30, 90);
    expectDeep(m.xmin, dyadic(-0.75, 420), "xmin after an empty box");
}

TEST_F(Navigation, DeepClickAndUnzoomAreExact)
{
    enterDyadicDeepView();
    const MandelbrotNumbers& m = app.view.mandelbrot;
    click(100, 40);
    // Centre at pixel (100, 40); half extents a quarter of 512 and 384 pixels.
    expectDeep(m.xmin, dyadic(-0.75, 100 - 128), "xmin");
    expectDeep(m.xmax, dyadic(-0.75, 100 + 128), "xmax");
    expectDeep(m.ymin, dyadic(0.125, 40 - 96), "ymin");
    expectDeep(m.ymax, dyadic(0.125, 40 + 96), "ymax");
    pictureCompleted();
    rightButtonDown(app, shell.observer);
    expectDeep(m.xmin, dyadic(-0.75, 100 - 256), "xmin after unzoom");
    expectDeep(m.ymax, dyadic(0.125, 40 + 192), "ymax after unzoom");
}

TEST_F(Navigation, JuliaConstantIsPickedOnTheStillVisibleMandelbrotPicture)
{
    app.view.modeWord = 4; // Julia chosen, the Mandelbrot picture still shown
    const NavigationResult down = leftButtonDown(app, pointer, 480, 120, shell.observer);
    EXPECT_EQ(down.pointer, PointerShape::Cross);
    const JuliaNumbers& j = app.view.julia;
    EXPECT_EQ(j.cr.ext, -2.5L + 480 * 0.00625L);
    EXPECT_EQ(j.ci.ext, -1.5L + 120 * 0.00625L);
    EXPECT_EQ(mpf_cmp_d(j.cr.mp(), 0.5), 0);
    EXPECT_EQ(j.ci.text, "-7.5e-1");

    // Once a Julia picture is shown, a click no longer picks.
    app.shell.juliaShown = 1;
    leftButtonDown(app, pointer, 0, 0, shell.observer);
    EXPECT_EQ(j.cr.ext, -2.5L + 480 * 0.00625L);
}

TEST_F(Navigation, JuliaConstantIsPickedInDeepZoomOnTheGmpNumbers)
{
    enterDyadicDeepView();
    app.view.modeWord = 4;
    leftButtonDown(app, pointer, 300, 7, shell.observer);
    expectDeep(app.view.julia.cr, dyadic(-0.75, 300), "cr");
    expectDeep(app.view.julia.ci, dyadic(0.125, 7), "ci");
}

TEST_F(Navigation, AutoIterationIncreaseRaisesButNeverLowers)
{
    click(320, 240); // deep limit -3
    EXPECT_EQ(app.view.iterMax, 300);
    app.view.iterMax = 5000;
    pictureCompleted();
    click(320, 240);
    EXPECT_EQ(app.view.iterMax, 5000);
    pictureCompleted();
    rightButtonDown(app, shell.observer);
    EXPECT_EQ(app.view.iterMax, 5000);

    app.settings.autoIterIncrease = 0;
    app.view.iterMax = 100;
    pictureCompleted();
    click(320, 240);
    EXPECT_EQ(app.view.iterMax, 100);
}

// Clicking again and again at one point passes into deep zoom by itself as soon as the pixel
// step's decimal exponent reaches -17, and the precision rises with the depth from -28 on.
TEST_F(Navigation, RepeatedClicksPassIntoDeepZoom)
{
    bool wasDeep = false;
    for (int k = 1; k <= 110; ++k) {
        const bool deepBefore = app.view.deepZoom != 0;
        const std::int32_t limitBefore = app.view.deepLimit;
        click(200, 300);
        pictureCompleted();
        // The reference: a pixel step of 0.00625 / 2^k.
        const auto step = std::ldexp(0.00625L, -k);
        const auto exponent = static_cast<std::int32_t>(std::floor(std::log10(step)));
        ASSERT_EQ(app.view.deepLimit, exponent) << "click " << k;
        ASSERT_EQ(app.view.deepZoom, exponent <= -17 ? 1 : 0) << "click " << k;
        const std::int32_t n = std::abs(exponent - 3);
        ASSERT_EQ(app.view.precisionBits, std::max(96, 16 * ((37 * n) / 160))) << "click " << k;
        const std::int32_t iterLimit = deepBefore ? app.view.deepLimit : limitBefore;
        ASSERT_GE(app.view.iterMax, 100 * std::abs(iterLimit)) << "click " << k;
        wasDeep = wasDeep || app.view.deepZoom != 0;
    }
    EXPECT_TRUE(wasDeep);
    EXPECT_GT(app.view.precisionBits, 96);
    // The window stays a window: no collapse to a point at the depth reached.
    EXPECT_GT(mpf_cmp(app.view.mandelbrot.xmax.mp(), app.view.mandelbrot.xmin.mp()), 0);
    // Unzooming all the way back leaves deep zoom again (the width keeps the rounding of the
    // deepest windows, a few parts in ten thousand).
    for (int k = 0; k < 110; ++k) {
        rightButtonDown(app, shell.observer);
        pictureCompleted();
    }
    EXPECT_EQ(app.view.deepZoom, 0);
    EXPECT_NEAR(static_cast<double>(app.view.mandelbrot.xmax.ext - app.view.mandelbrot.xmin.ext),
                4.0, 4e-3);
}

} // namespace
} // namespace qv
