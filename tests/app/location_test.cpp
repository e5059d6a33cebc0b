// The location dialog's rules: the field sets, the iteration limit, and the refusal of typed
// text that cannot be taken (the dialog's own tests take views through it).
#include "app/location.h"
#include "app/startup.h"
#include "tests/support/test_shell.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::TestShell;

struct Location : ::testing::Test
{
    Location()
    {
        startUpWithoutWindows(app, StartupEnvironment{1280, 1024, 2, ""}, shell.services);
        app.shell.pictureValid = 1;
        typed = openLocation(app, shell.observer);
    }

    bool redraw(bool useCentre)
    {
        return applyLocation(app, shell.observer, shell.prompts, typed, useCentre);
    }

    AppState app;
    TestShell shell;
    LocationTexts typed;
};

TEST_F(Location, IterationLimitIsRoundedAndAtLeastTen)
{
    const std::vector<std::pair<std::string, std::int32_t>> cases = {
        {"9", 10},    {"-5", 10},           {"not a number", 10}, {"10.5", 10},
        {"11.5", 12}, {"1e12", 2147483647}, {" 5000 ", 5000},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        typed[LocationField::IterMax] = text;
        ASSERT_TRUE(redraw(false));
        EXPECT_EQ(app.view.iterMax, expected);
    }
}

// Whatever is refused leaves every number, text and the iteration limit as they were, and
// says why in one message.
TEST_F(Location, RefusesWhatCannotBeTakenAndChangesNothing)
{
    using F = LocationField;

    struct Case
    {
        F field;
        std::string text;
        bool useCentre;
        std::string message;
    };

    const std::vector<Case> cases = {
        {F::Xmin, "abc", false, "Realmin is not a number."},
        {F::Xmax, "", false, "Realmax is not a number."},
        {F::Ymin, "1e", false, "Imagmin is not a number."},
        {F::Ymax, "0x10", false, "Imagmax is not a number."},
        {F::Ymax, "nan", false, "Imagmax is not a number."},
        {F::Xmin, "--1", false, "Realmin is not a number."},
        {F::Xmin, "1.5e0", false, "Realmin and Realmax are equal: the window has no width."},
        {F::Ymin, "15e-1", false, "Imagmin and Imagmax are equal: the window has no height."},
        {F::CentreRe, "1,5", true, "Real center is not a number."},
        {F::Magnification, "0.000e7", true, "Magnification must not be 0."},
        {F::Magnification, "1e400000", true,
         "This window lies beyond the precision limit: it would need more than 1048576 bits."},
        {F::Xmax, "-2.4" + std::string(400000, '9'), false,
         "This window lies beyond the precision limit: it would need more than 1048576 bits."},
    };
    const std::string xmin = app.view.mandelbrot.xmin.text;
    const std::string centre = app.view.mandelbrot.centreRe.text;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 20));
        LocationTexts t = typed;
        t[c.field] = c.text;
        t[F::IterMax] = "777";
        TestShell local;
        EXPECT_FALSE(applyLocation(app, local.observer, local.prompts, t, c.useCentre));
        EXPECT_EQ(local.prompts.texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(local.prompts.titles(), std::vector<std::string>{"QUORVALIS"});
        EXPECT_EQ(app.view.iterMax, 100);
        EXPECT_EQ(app.view.mandelbrot.xmin.text, xmin);
        EXPECT_EQ(app.view.mandelbrot.centreRe.text, centre);
        EXPECT_EQ(app.shell.pictureValid, 1);
    }
}

TEST_F(Location, DisabledFieldsAreNotChecked)
{
    // Garbage in the centre fields while the corners are in use, and the reverse.
    for (const bool useCentre : {false, true}) {
        LocationTexts t = typed;
        const LocationField unused = useCentre ? LocationField::Xmin : LocationField::CentreRe;
        t[unused] = std::string("garbage");
        EXPECT_TRUE(applyLocation(app, shell.observer, shell.prompts, t, useCentre));
    }
    EXPECT_TRUE(shell.prompts.asked().empty());
}

} // namespace
} // namespace qv
