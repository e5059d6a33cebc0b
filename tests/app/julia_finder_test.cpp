// The Julia finder without windows: "Multi-threaded" around the finder, the accept's boxes and
// file name, and a right click without any move.
#include "app/julia_finder.h"
#include "app/startup.h"
#include "tests/support/test_shell.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qv {
namespace {

// The default 640 x 480 view after start-up on two processors, loaded from a file.
struct JuliaFinder : ::testing::Test
{
    JuliaFinder()
    {
        startUpWithoutWindows(app, StartupEnvironment{1280, 1024, 2, ""}, shell.services);
        app.shell.currentFileName = "/home/ann/spiral.fra";
    }

    AppState app;
    test::TestShell shell;
};

TEST_F(JuliaFinder, FirstMoveGivesMultiThreadedBackTheValueItHad)
{
    for (const std::int32_t before : {0, 1}) {
        app.settings.multiThreaded = before;
        shell.observer.shown.clear();
        auto finder = startJuliaFinder(app, shell.services);
        ASSERT_TRUE(finder);
        EXPECT_EQ(app.settings.multiThreaded, 0);
        finderPointerMoved(app, *finder, 10, 10, shell.observer);
        EXPECT_EQ(app.settings.multiThreaded, before);
        app.settings.multiThreaded = 0;
        finderPointerMoved(app, *finder, 20, 20, shell.observer); // the first move only
        EXPECT_EQ(app.settings.multiThreaded, 0);
        EXPECT_EQ(shell.observer.all("multiThreaded"),
                  (std::vector<std::string>{"off", before != 0 ? "on" : "off"}));
    }
}

TEST_F(JuliaFinder, AcceptTicksTheJuliaBoxAndLeavesNoFileBehind)
{
    auto finder = startJuliaFinder(app, shell.services);
    ASSERT_TRUE(finder);
    finderPointerMoved(app, *finder, 320, 240, shell.observer);
    acceptJuliaConstant(app, *finder, 600, 400, shell.observer);
    EXPECT_EQ(shell.observer.all("fractalType"), std::vector<std::string>{"- julia"});
    EXPECT_NEAR(mpf_get_d(app.view.julia.cr.mp()), -0.5, 1e-15); // the GMP copy too
    EXPECT_NEAR(static_cast<double>(app.view.julia.dx.ext), 3.6 / 640.0, 1e-17);
    EXPECT_TRUE(app.shell.pictureValid == 0 && app.shell.currentFileName.empty());
}

TEST_F(JuliaFinder, RightClickWithoutAnyMoveTakesThePointUnderIt)
{
    auto finder = startJuliaFinder(app, shell.services);
    ASSERT_TRUE(finder);
    acceptJuliaConstant(app, *finder, 0, 0, shell.observer);
    EXPECT_TRUE(app.view.julia.cr.ext == -2.5L && app.view.julia.ci.ext == -1.5L);
    EXPECT_EQ(app.settings.multiThreaded, 1);
}

} // namespace
} // namespace qv
