// The plausibility warnings of the view and palette, and the render-time estimate behind the
// warning for very long renders.
#include "app/plausibility.h"
#include "app/startup.h"
#include "engine/view_state.h"
#include "tests/support/test_shell.h"

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace qv {
namespace {

struct Started
{
    test::TestShell shell;
    AppState app;

    Started() { startUpWithoutWindows(app, StartupEnvironment{1280, 1024, 2, ""}, shell.services); }

    void window(std::string xmin, std::string xmax, std::string ymin, std::string ymax)
    {
        const WindowRef w = currentWindow(app.view);
        w.xmin.text = std::move(xmin);
        w.xmax.text = std::move(xmax);
        w.ymin.text = std::move(ymin);
        w.ymax.text = std::move(ymax);
        takeTypedView(app.view, viewContext(app), shell.observer, TypedView::Window);
    }
};

TEST(Plausibility, TheStartUpStateIsPlausibleAndEachOddValueIsOneLine)
{
    Started s;
    EXPECT_TRUE(implausibleValues(s.app).empty());
    s.app.view.bailout = std::numeric_limits<double>::infinity();
    s.app.paletteState.parameters.stop[2] = -std::numeric_limits<float>::infinity();
    s.app.view.iterMax = -5;
    EXPECT_EQ(implausibleValues(s.app),
              (std::vector<std::string>{"bailout is inf, not a finite number",
                                        "palette stop 3 is -inf, not a finite number",
                                        "iterMax -5 is below 3; the render counts to 3"}));
}

TEST(Plausibility, RoughDurations)
{
    const std::pair<double, const char*> cases[] = {
        {0.4, "0 seconds"},
        {1.0, "1 second"},
        {89.0, "1 minute"},
        {7200.0, "2 hours"},
        {3.0 * 86400.0, "3 days"},
        {4e8, "13 years"},
        {1e300, "more than a million years"},
        {std::nan(""), "more than a million years"},
    };
    for (const auto& [seconds, text] : cases) {
        EXPECT_EQ(roughDuration(seconds), text) << seconds;
    }
}

TEST(Plausibility, TheEstimateGrowsWithTheLimitInsideTheSetOnly)
{
    Started s;
    s.window("-0.3", "-0.1", "-0.1", "0.1"); // inside the main cardioid: every point to the limit
    s.app.view.iterMax = 1000000;
    const double inside = estimatedRenderSeconds(s.app, 1);
    s.app.view.iterMax = 1000000000;
    const double insideLonger = estimatedRenderSeconds(s.app, 1);
    EXPECT_GT(insideLonger, inside * 100.0);
    EXPECT_TRUE(longRenderWarning(s.app, 1).has_value());

    s.window("2", "3", "2", "3"); // every point escapes at once
    EXPECT_LT(estimatedRenderSeconds(s.app, 1), 60.0);
    EXPECT_FALSE(longRenderWarning(s.app, 1).has_value());
    s.app.view.iterMax = 100;
    EXPECT_FALSE(longRenderWarning(s.app, 1).has_value());
}

} // namespace
} // namespace qv
