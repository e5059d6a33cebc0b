// The location dialog's rules: the field sets, the refusal of typed text that cannot be taken,
// and REDRAW's taking of corners, centre and Julia constant at full precision.
#include "app/location.h"
#include "app/startup.h"
#include "base/number_text.h"
#include "tests/support/test_shell.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gmp.h>
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

    double value(const ViewNumber& n) const { return mpf_get_d(n.mp()); }

    AppState app;
    TestShell shell;
    LocationTexts typed;
};

TEST_F(Location, OpensOnTheDefaultViewWithItsTextCopies)
{
    EXPECT_EQ(typed[LocationField::Xmin], "-2.5e0");
    EXPECT_EQ(typed[LocationField::Xmax], "1.5e0");
    EXPECT_EQ(typed[LocationField::Ymin], "-1.5e0");
    EXPECT_EQ(typed[LocationField::Ymax], "1.5e0");
    EXPECT_EQ(typed[LocationField::CentreRe], "-5.0e-1");
    EXPECT_EQ(typed[LocationField::CentreIm], "0.0e0");
    EXPECT_EQ(typed[LocationField::Magnification], "1.0e0");
    EXPECT_EQ(typed[LocationField::IterMax], " 100");
}

TEST(LocationFields, ShownAndEnabledByTypeAndCentreChoice)
{
    using F = LocationField;

    struct Case
    {
        F field;
        bool mandelbrot, useCentre, shown, enabled;
    };

    const std::vector<Case> cases = {
        {F::Xmin, true, false, true, true},       {F::Ymax, true, true, true, false},
        {F::CentreRe, true, false, true, false},  {F::Magnification, true, true, true, true},
        {F::JuliaRe, true, false, false, false},  {F::JuliaIm, false, false, true, true},
        {F::JuliaRe, false, true, true, false},   {F::Xmax, false, false, false, false},
        {F::CentreIm, false, true, false, false}, {F::IterMax, false, true, true, true},
        {F::IterMax, true, false, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(locationLabel(c.field)));
        EXPECT_EQ(locationFieldShown(c.field, c.mandelbrot), c.shown);
        EXPECT_EQ(locationFieldEnabled(c.field, c.mandelbrot, c.useCentre), c.enabled);
    }
}

TEST_F(Location, CentreAndMagnificationGiveAFourByThreeWindow)
{
    typed[LocationField::CentreRe] = "-0.75";
    typed[LocationField::CentreIm] = "0.1";
    typed[LocationField::Magnification] = "100";
    typed[LocationField::IterMax] = "250.5";
    ASSERT_TRUE(redraw(true));
    const MandelbrotNumbers& m = app.view.mandelbrot;
    EXPECT_NEAR(value(m.xmin), -0.77, 1e-15);
    EXPECT_NEAR(value(m.xmax), -0.73, 1e-15);
    EXPECT_NEAR(value(m.ymin), 0.085, 1e-15);
    EXPECT_NEAR(value(m.ymax), 0.115, 1e-15);
    EXPECT_EQ(app.view.iterMax, 250); // halves to even
    EXPECT_EQ(app.shell.pictureValid, 0);
}

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
    typed[LocationField::CentreRe] = "garbage";
    typed[LocationField::Magnification] = "0";
    EXPECT_TRUE(redraw(false));
    typed[LocationField::Xmin] = "garbage";
    typed[LocationField::CentreRe] = "-1";
    typed[LocationField::Magnification] = "2";
    EXPECT_TRUE(redraw(true));
    EXPECT_TRUE(shell.prompts.asked().empty());
}

/// |a - b| as text-read numbers at 2048 bits, below 10^exponent.
bool closeTo(const std::string& a, mpf_srcptr b, long exponent)
{
    mpf_t x, bound;
    mpf_init2(x, 2048);
    mpf_init2(bound, 2048);
    textToMpf(a, x);
    mpf_sub(x, x, b);
    mpf_abs(x, x);
    textToMpf("1e" + std::to_string(exponent), bound);
    const bool close = mpf_cmp(x, bound) < 0;
    mpf_clear(x);
    mpf_clear(bound);
    return close;
}

TEST_F(Location, ThreeHundredDigitCornersKeepTheirDigitsInDeepZoom)
{
    // A window 4e-290 wide and 3e-290 high, each corner with 300 significant digits.
    const std::string x(287, '0');
    const std::string y(288, '0');
    typed[LocationField::Xmin] = "-0.75" + x + "51234567891";
    typed[LocationField::Xmax] = "-0.75" + x + "11234567891";
    typed[LocationField::Ymin] = "0.1" + y + "19876543211";
    typed[LocationField::Ymax] = "0.1" + y + "49876543211";
    ASSERT_TRUE(redraw(false));
    EXPECT_EQ(app.view.deepZoom, 1);
    EXPECT_GE(app.view.precisionBits, 1000);
    const MandelbrotNumbers& m = app.view.mandelbrot;
    EXPECT_TRUE(closeTo(typed[LocationField::Xmin], m.xmin.mp(), -305));
    EXPECT_TRUE(closeTo(typed[LocationField::Xmax], m.xmax.mp(), -305));
    EXPECT_TRUE(closeTo(typed[LocationField::Ymin], m.ymin.mp(), -305));
    EXPECT_TRUE(closeTo(typed[LocationField::Ymax], m.ymax.mp(), -305));
    EXPECT_TRUE(closeTo("6.25e-293", m.dx.mp(), -310)); // 4e-290 / 640
    EXPECT_GE(significantDigits(m.xmin.text), std::size_t{300});
}

TEST_F(Location, JuliaViewTakesOnlyItsConstantAndTheLimit)
{
    app.view.modeWord = 4; // Julia, mode 1
    app.shell.juliaShown = 1;
    typed = openLocation(app, shell.observer);
    const std::string xmin = app.view.julia.xmin.text;
    typed[LocationField::JuliaRe] = "-0.8";
    typed[LocationField::JuliaIm] = "0.156";
    typed[LocationField::Xmin] = "garbage"; // not shown for a Julia view
    typed[LocationField::IterMax] = "300";
    ASSERT_TRUE(redraw(false));
    EXPECT_DOUBLE_EQ(value(app.view.julia.cr), -0.8);
    EXPECT_DOUBLE_EQ(value(app.view.julia.ci), 0.156);
    EXPECT_EQ(app.view.julia.xmin.text, xmin);
    EXPECT_EQ(app.view.iterMax, 300);

    // With "Use Center/Magnification" on, the Julia pair is disabled: only the limit changes.
    typed[LocationField::JuliaRe] = "not even a number";
    typed[LocationField::IterMax] = "400";
    ASSERT_TRUE(redraw(true));
    EXPECT_DOUBLE_EQ(value(app.view.julia.cr), -0.8);
    EXPECT_EQ(app.view.iterMax, 400);
}

TEST_F(Location, TurningTheCentreChoiceOnFollowsTheWindow)
{
    bool useCentre = false;
    app.view.mandelbrot.centreRe.text = "5.0e0";
    setUseCentre(app, shell.observer, useCentre, true);
    EXPECT_TRUE(useCentre);
    EXPECT_EQ(app.view.mandelbrot.centreRe.text, "-5.0e-1");
    setUseCentre(app, shell.observer, useCentre, false);
    EXPECT_FALSE(useCentre);
}

} // namespace
} // namespace qv
