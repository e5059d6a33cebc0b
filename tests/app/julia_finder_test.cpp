// The Julia finder without windows: the command's refusals and "Multi-threaded", the constant
// under the pointer, the leave notification and the accept that switches to the Julia set.
#include "app/julia_finder.h"
#include "app/startup.h"
#include "tests/support/test_shell.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::TestShell;

// The program after start-up on a 1280 pixel wide screen (640 x 480, default view).
struct JuliaFinder : ::testing::Test
{
    JuliaFinder()
    {
        startUpWithoutWindows(app, StartupEnvironment{1280, 1024, 2, ""}, shell.services);
        app.shell.pictureValid = 1;
        app.shell.mandelbrotShown = 1;
        app.shell.currentFileName = "/home/ann/spiral.fra";
    }

    AppState app;
    TestShell shell;
};

TEST_F(JuliaFinder, CommandRefusesDeepZoomAndJuliaViews)
{
    struct Case
    {
        std::uint32_t modeWord;
        std::int32_t deepZoom;
        bool opens;
        std::vector<std::string> messages;
        std::int32_t multiThreadedAfter;
    };

    const std::vector<Case> cases = {
        {5, 0, true, {}, 0},
        {5, 1, false, {"Not available with\ndeep zoom"}, 1},
        {6, 1, false, {"Not available with\ndeep zoom"}, 1},
        // The Julia view is refused after "Multi-threaded" went off, and it stays off.
        {6, 0, false, {"Please switch to Mandelbrot\nto use this function"}, 0},
    };
    for (const Case& c : cases) {
        AppState a;
        TestShell s;
        startUpWithoutWindows(a, StartupEnvironment{1280, 1024, 2, ""}, s.services);
        a.view.modeWord = c.modeWord;
        a.view.deepZoom = c.deepZoom;
        const auto finder = startJuliaFinder(a, s.services);
        EXPECT_EQ(finder.has_value(), c.opens) << c.modeWord << " " << c.deepZoom;
        EXPECT_EQ(s.prompts.texts(), c.messages);
        EXPECT_EQ(s.prompts.titles(), std::vector<std::string>(c.messages.size(), "QUORVALIS"));
        EXPECT_EQ(a.settings.multiThreaded, c.multiThreadedAfter);
        EXPECT_EQ(a.shell.finderActive, c.opens ? 1 : 0);
        EXPECT_EQ(a.view.iterMax, c.opens ? 200 : 100);
    }
}

TEST_F(JuliaFinder, FirstMoveGivesMultiThreadedItsValueBack)
{
    for (const std::int32_t before : {0, 1}) {
        app.settings.multiThreaded = before;
        auto finder = startJuliaFinder(app, shell.services);
        ASSERT_TRUE(finder);
        EXPECT_EQ(app.settings.multiThreaded, 0);
        finderPointerMoved(app, *finder, 10, 10, shell.observer);
        EXPECT_EQ(app.settings.multiThreaded, before);
        EXPECT_EQ(shell.observer.all("multiThreaded"),
                  (std::vector<std::string>{"off", before != 0 ? "on" : "off"}));
        app.settings.multiThreaded = 0;
        finderPointerMoved(app, *finder, 20, 20, shell.observer); // only the first move
        EXPECT_EQ(app.settings.multiThreaded, 0);
        shell.observer.shown.clear();
    }
}

TEST_F(JuliaFinder, PointerMapsAsNavigationInExtendedPrecision)
{
    struct Case
    {
        std::int32_t x, y;
        long double cr, ci;
    };

    // The default window: xmin -2.5, ymin -1.5, steps 4 / 640 and 3 / 480.
    const long double dx = 4.0L / 640.0L;
    const long double dy = 3.0L / 480.0L;
    const std::vector<Case> cases = {
        {320, 240, -2.5L + 320.0L * dx, -1.5L + 240.0L * dy},
        {0, 0, -2.5L, -1.5L},
        {1, 479, -2.5L + dx, -1.5L + 479.0L * dy},
        {639, 3, -2.5L + 639.0L * dx, -1.5L + 3.0L * dy},
    };
    for (const Case& c : cases) {
        const JuliaConstant got = constantUnderPointer(app.view, c.x, c.y);
        EXPECT_TRUE(got.cr == c.cr && got.ci == c.ci) << c.x << ", " << c.y;
    }
    const JuliaConstant centre = constantUnderPointer(app.view, 320, 240);
    EXPECT_TRUE(centre.cr == -0.5L && centre.ci == 0.0L);
}

TEST_F(JuliaFinder, LeavingAndComingBackArmsTheLeaveNotificationAgain)
{
    auto finder = startJuliaFinder(app, shell.services);
    ASSERT_TRUE(finder);
    EXPECT_FALSE(finder->leaveTracking);
    finderPointerMoved(app, *finder, 5, 5, shell.observer);
    EXPECT_TRUE(finder->leaveTracking);
    finderPointerLeft(*finder);
    EXPECT_FALSE(finder->leaveTracking);
    finderPointerMoved(app, *finder, 6, 6, shell.observer);
    EXPECT_TRUE(finder->leaveTracking);
}

TEST_F(JuliaFinder, AcceptTakesTheLastMoveAndSwitchesToTheDefaultJuliaWindow)
{
    auto finder = startJuliaFinder(app, shell.services);
    ASSERT_TRUE(finder);
    finderPointerMoved(app, *finder, 100, 50, shell.observer);
    finderPointerMoved(app, *finder, 320, 240, shell.observer);
    shell.observer.shown.clear();
    acceptJuliaConstant(app, *finder, 600, 400, shell.observer); // the click's place is not used
    const ViewState& v = app.view;
    EXPECT_EQ(v.modeWord & 3u, 2u);
    EXPECT_TRUE(v.julia.cr.ext == -0.5L && v.julia.ci.ext == 0.0L);
    EXPECT_EQ(mpf_get_d(v.julia.cr.mp()), -0.5);
    for (const ViewNumber* n : {&v.julia.xmin, &v.julia.ymin}) {
        EXPECT_EQ(n->ext, -1.8L);
        EXPECT_NEAR(mpf_get_d(n->mp()), -1.8, 1e-15);
    }
    for (const ViewNumber* n : {&v.julia.xmax, &v.julia.ymax}) {
        EXPECT_EQ(n->ext, 1.8L);
    }
    EXPECT_NEAR(static_cast<double>(v.julia.dx.ext), 3.6 / 640.0, 1e-17);
    EXPECT_EQ(v.iterMax, 200);
    EXPECT_EQ(app.shell.finderActive, 0);
    EXPECT_EQ(app.shell.juliaShown, 1);
    EXPECT_EQ(app.shell.pictureValid, 0);
    EXPECT_TRUE(app.shell.currentFileName.empty());
    EXPECT_EQ(shell.observer.all("fractalType"), std::vector<std::string>{"- julia"});
}

TEST_F(JuliaFinder, AcceptWithoutAnyMoveTakesThePointUnderTheClick)
{
    app.settings.multiThreaded = 1;
    auto finder = startJuliaFinder(app, shell.services);
    ASSERT_TRUE(finder);
    acceptJuliaConstant(app, *finder, 0, 0, shell.observer);
    EXPECT_TRUE(app.view.julia.cr.ext == -2.5L && app.view.julia.ci.ext == -1.5L);
    EXPECT_EQ(app.settings.multiThreaded, 1);
}

TEST_F(JuliaFinder, PreviewTakesTheProgramsModeBailoutAndColours)
{
    app.view.modeWord = 1u | (1u << 27); // Mandelbrot, drawing mode 26
    app.view.bailout = 1000.0;
    app.settings.colourFlags = 3;
    app.paletteState.paletteOffset = 7;
    const PreviewJob job = previewJobFor(app, {0.25L, -0.5L});
    EXPECT_TRUE(job.cr == 0.25L && job.ci == -0.5L);
    EXPECT_EQ(job.colours.drawingMode, 26);
    EXPECT_EQ(job.colours.bailout, 1000.0);
    EXPECT_EQ(job.colours.colourFlags, 3u);
    EXPECT_EQ(job.colours.paletteOffset, 7);
}

} // namespace
} // namespace qv
