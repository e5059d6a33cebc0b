// The fractal parameters dialog's rules: the list entries, the texture and size choices, the
// option boxes and the typed numbers of its two buttons.
#include "app/parameter_settings.h"
#include "base/number_text.h"
#include "tests/support/test_shell.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gmp.h>
#include <gtest/gtest.h>

namespace qv {
namespace {

using test::TestShell;

// The program after start-up on a 1280 pixel wide screen with four processors: 640 x 480,
// the default Mandelbrot view, a completed picture.
struct Parameters : ::testing::Test
{
    Parameters()
    {
        startUpWithoutWindows(app, StartupEnvironment{1280, 1024, 4, ""}, shell.services);
        app.shell.pictureValid = 1;
        app.shell.mandelbrotShown = 1;
    }

    void click(OptionBox box) { clickOption(app, box, shell.services); }

    AppState app;
    TestShell shell;
};

TEST(ParameterLists, SizesFormatsAndTexturesReadAsListed)
{
    ASSERT_EQ(pictureSizeTable().size(), 36u);
    EXPECT_EQ(pictureSizeTable().back(), (PictureSize{8192, 6140}));
    const std::vector<std::pair<std::size_t, std::string>> sizes = {
        {0, "0  176 x  144"},   {4, "4  640 x  480"},    {9, "9  1024 x  768"},
        {10, "A  1152 x  864"}, {35, "Z  8192 x  6140"}, {36, ""}};
    for (const auto& [entry, text] : sizes) {
        EXPECT_EQ(pictureSizeText(entry), text) << entry;
    }
    const std::vector<std::pair<std::int32_t, std::string>> textures = {
        {0, "Normal  0"},  {1, "Texture 1"},  {9, "Texture 9"},
        {10, "Texture A"}, {27, "Texture R"}, {28, ""}};
    for (const auto& [entry, text] : textures) {
        EXPECT_EQ(textureText(entry), text) << entry;
    }
    ASSERT_EQ(pictureFormatTexts().size(), 4u);
    EXPECT_EQ(pictureFormatTexts()[3], "D. PNG");
    RenderSettings settings;
    choosePictureFormat(settings, 2);
    EXPECT_EQ(settings.pictureFormatIndex, 2);
    EXPECT_EQ(settings.pictureFormatCode, "TIF");
    choosePictureFormat(settings, 4);
    EXPECT_EQ(settings.pictureFormatCode, "TIF");
}

TEST(ParameterLists, SizeListShowsTheChosenEntryOrTheSizeInForce)
{
    struct Case
    {
        std::int32_t chosen, width, height, shown;
    };

    for (const Case c : {Case{0, 640, 480, 4}, Case{0, 512, 384, 3}, Case{0, 176, 144, 0},
                         Case{0, 1000, 700, 4}, Case{7, 640, 480, 7}, Case{36, 352, 288, 2}}) {
        RenderSettings settings;
        settings.pictureSizeIndex = c.chosen;
        settings.pictureWidth = c.width;
        settings.pictureHeight = c.height;
        EXPECT_EQ(shownPictureSizeEntry(settings), c.shown) << c.chosen << " " << c.width;
    }
}

TEST_F(Parameters, TextureSetsModeBailoutColourFlagsStepAndDefaultPalette)
{
    struct Case
    {
        std::int32_t entry;
        double bailout;
        std::uint32_t colourBits; // bit 1 smooth, bit 2 potential
        float step;
        std::uint32_t parameterStart; // channel 1 start of the default palette
    };

    app.settings.colourFlags |= 1u; // "Inside color" is not the texture's
    // With "Smooth color" the default palette keeps its starts and stops.
    for (const Case c : {Case{5, 4.0, 0u, 5.0f, 218}, Case{0, 128.0, 4u, 1.9f, 12},
                         Case{1, 4.0, 2u, 5.0f, 12}, Case{26, 4.0, 6u, 5.0f, 12}}) {
        chooseTexture(app, c.entry, shell.services);
        EXPECT_EQ(drawingMode(app.view.modeWord), c.entry + 1);
        EXPECT_EQ(shownTextureEntry(app.view), c.entry);
        EXPECT_EQ(app.settings.textureIndex, c.entry);
        EXPECT_EQ(app.view.bailout, c.bailout) << c.entry;
        EXPECT_EQ(app.settings.colourFlags & 7u, c.colourBits | 1u) << c.entry;
        EXPECT_EQ(app.paletteState.maxColourStep, c.step) << c.entry;
        EXPECT_EQ(app.paletteState.parameters.start[0], static_cast<float>(c.parameterStart))
            << c.entry;
        EXPECT_TRUE(isMandelbrot(app.view));
    }
    // A random palette stays; an open palette dialog shows the new step.
    app.paletteState.randomPaletteFlag = true;
    app.paletteState.parameters.start[0] = 99.0f;
    chooseTexture(app, 3, shell.services);
    EXPECT_EQ(app.paletteState.parameters.start[0], 99.0f);
    EXPECT_EQ(shell.paletteHost.calls.back(), "reopenPaletteDialog");
}

TEST_F(Parameters, ButtonsTakeTheTypedNumbersWithTheirBounds)
{
    const auto apply = ParametersButton::ApplyAndExit;
    const auto redraw = ParametersButton::Redraw;

    struct Case
    {
        ParametersButton button;
        TypedFields typed;
        std::int32_t iterMax;
        double bailout, potValue;
        float unzoom;
        std::int32_t threads;
        bool warned;
    };

    // iterMax 200, bailout 128, pot value 0.0001, unzoom 1.02, 4 threads before each case.
    const std::vector<Case> cases = {
        {redraw, {"5", "1", "0", "0.5", "9"}, 10, 2.0, 0.0001, 0.5f, 4, true},
        {apply, {"50", "3.5", "-1e-9", "1.03", "0"}, 200, 3.5, -1e-9, 1.03f, 1, false},
        {redraw, {"50", "1e300", "1e-9", "1", "2.5"}, 50, 1e300, 1e-9, 1.0f, 2, false},
        {apply, {"250.5", "x", "x", "x", "-7"}, 250, 2.0, 0.0001, 0.0f, 1, true},
        {redraw, {" 1e3 ", "2,5", "1,5", "1.5e0", " 3 "}, 1000, 2.0, 0.0001, 1.5f, 3, false},
        // Values outside their type keep the values in force.
        {redraw, {"3e9", "1e999", "-1e999", "1e39", "5e9"}, 200, 128.0, 0.0001, 1.02f, 4, false},
    };
    for (const Case& c : cases) {
        app.view.iterMax = 200;
        app.view.bailout = 128.0;
        app.view.potValue = 0.0001;
        app.settings.unzoomFactor = 1.02f;
        app.settings.threads = 4;
        const std::size_t asked = shell.prompts.asked().size();
        takeTypedFields(app, c.typed, c.button, shell.prompts);
        const std::string what = c.typed.iterMax + " " + c.typed.unzoom;
        EXPECT_EQ(app.view.iterMax, c.iterMax) << what;
        EXPECT_EQ(app.view.bailout, c.bailout) << what;
        EXPECT_EQ(app.view.potValue, c.potValue) << what;
        EXPECT_EQ(app.settings.unzoomFactor, c.unzoom) << what;
        EXPECT_EQ(app.settings.threads, c.threads) << what;
        EXPECT_EQ(shell.prompts.asked().size(), asked + (c.warned ? 1u : 0u)) << what;
    }
    EXPECT_EQ(shell.prompts.texts().back(),
              "Values less than 1 are not allowed!\nTry between 1.01 and 1.03");
}

TEST_F(Parameters, OnlyRedrawMakesThePictureStaleAndAutoPotValueKeepsItsValue)
{
    const TypedFields typed = fieldTexts(app);
    EXPECT_EQ(typed.iterMax, " 100");
    EXPECT_EQ(typed.unzoom, " 1.02");
    EXPECT_EQ(typed.potValue, " 0.0001");
    EXPECT_EQ(typed.threads, " 4");
    app.shell.pictureFromImage = 1;
    takeTypedFields(app, typed, ParametersButton::ApplyAndExit, shell.prompts);
    EXPECT_EQ(app.shell.pictureValid, 1);
    EXPECT_EQ(app.shell.pictureFromImage, 1);
    takeTypedFields(app, typed, ParametersButton::Redraw, shell.prompts);
    EXPECT_EQ(app.shell.pictureValid, 0);
    EXPECT_EQ(app.shell.pictureFromImage, 0);

    app.settings.autoPotValue = 1;
    app.view.potValue = 0.25;
    takeTypedFields(app, TypedFields{"100", "2", "7", "1.02", "1"}, ParametersButton::Redraw,
                    shell.prompts);
    EXPECT_EQ(app.view.potValue, 0.25);

    // Without "Multi-threaded" the renders use one thread whatever is typed.
    app.settings.multiThreaded = 0;
    takeTypedFields(app, TypedFields{"100", "2", "7", "1.02", "3"}, ParametersButton::Redraw,
                    shell.prompts);
    EXPECT_EQ(app.settings.threads, 1);
}

TEST_F(Parameters, PlainBoxesToggleTheirSettingAndShowIt)
{
    struct Case
    {
        OptionBox box;
        std::int32_t* flag;
        std::uint32_t colourBit;
    };

    RenderSettings& s = app.settings;
    const std::vector<Case> cases = {
        {OptionBox::InsideColour, nullptr, 1u},
        {OptionBox::ColourByPotential, nullptr, 4u},
        {OptionBox::SmoothColour, nullptr, 2u},
        {OptionBox::BoxedZoom, &s.boxedZoom, 0u},
        {OptionBox::AutoIterIncrease, &s.autoIterIncrease, 0u},
        {OptionBox::AutosaveParameter, &s.autosaveParameter, 0u},
        {OptionBox::UnzoomVideo, &s.unzoomVideo, 0u},
    };
    const std::size_t repaints = shell.observer.all("repaint").size();
    for (const Case& c : cases) {
        const bool before = optionTicked(app, c.box);
        const std::uint32_t flags = s.colourFlags;
        const std::int32_t flag = c.flag != nullptr ? *c.flag : 0;
        click(c.box);
        EXPECT_NE(optionTicked(app, c.box), before);
        EXPECT_EQ(s.colourFlags, flags ^ c.colourBit);
        if (c.flag != nullptr) {
            EXPECT_EQ(*c.flag, flag != 0 ? 0 : 1);
        }
        click(c.box);
        EXPECT_EQ(optionTicked(app, c.box), before);
    }
    // Only "Smooth color" asks for a repaint (a stale picture renders), and nothing renders.
    EXPECT_EQ(shell.observer.all("repaint").size(), repaints + 2);
    EXPECT_EQ(app.shell.pictureValid, 1);
}

TEST_F(Parameters, JuliaTakesTheCentreAsConstantAndComesBack)
{
    app.settings.autoPotValue = 1;
    click(OptionBox::Julia);
    EXPECT_FALSE(isMandelbrot(app.view));
    EXPECT_TRUE(optionTicked(app, OptionBox::Julia));
    EXPECT_FALSE(optionTicked(app, OptionBox::Mandelbrot));
    const JuliaNumbers& j = app.view.julia;
    EXPECT_EQ(j.cr.ext, -0.5L);
    EXPECT_EQ(j.ci.ext, 0.0L);
    EXPECT_EQ(mpf_get_d(j.cr.mp()), -0.5);
    for (const auto& [n, v] :
         {std::pair{&j.xmin, -1.8L}, {&j.xmax, 1.8L}, {&j.ymin, -1.8L}, {&j.ymax, 1.8L}}) {
        EXPECT_EQ(n->ext, v);
    }
    EXPECT_NEAR(static_cast<double>(j.dx.ext), 3.6 / 640, 1e-18);
    EXPECT_EQ(app.shell.juliaShown, 1);
    EXPECT_EQ(app.settings.autoPotValue, 0);
    EXPECT_EQ(shell.observer.last("fractalType"), "- julia");
    EXPECT_EQ(app.shell.pictureValid, 1);

    click(OptionBox::Julia);
    EXPECT_TRUE(isMandelbrot(app.view));
    EXPECT_EQ(app.view.modeWord & 3u, 1u);
    EXPECT_EQ(app.shell.juliaShown, 0);
    EXPECT_EQ(app.shell.mandelbrotShown, 0);
    EXPECT_EQ(j.cr.ext, -0.5L);
    EXPECT_EQ(shell.observer.last("fractalType"), "mandelbrot -");
}

TEST_F(Parameters, UntickingMandelbrotOnlySwapsTheTypeForTheNextClickToPick)
{
    app.view.julia.cr.ext = 0.25L;
    click(OptionBox::Mandelbrot);
    EXPECT_FALSE(isMandelbrot(app.view));
    EXPECT_TRUE(optionTicked(app, OptionBox::Julia));
    EXPECT_EQ(app.shell.juliaShown, 0);
    EXPECT_EQ(app.shell.mandelbrotShown, 1);
    EXPECT_EQ(app.view.julia.cr.ext, 0.25L);
    click(OptionBox::Mandelbrot);
    EXPECT_TRUE(isMandelbrot(app.view));
    EXPECT_EQ(app.shell.mandelbrotShown, 0);
    EXPECT_EQ(shell.observer.last("fractalType"), "mandelbrot -");
}

TEST_F(Parameters, ADeepMandelbrotViewComesBackDeepFromJulia)
{
    MandelbrotNumbers& m = app.view.mandelbrot;
    m.xmin.text = "-0.75";
    m.xmax.text = "-0.74999999999999999999936";
    m.ymin.text = "0.125";
    m.ymax.text = "0.12500000000000000000048";
    ASSERT_TRUE(takeTypedView(app.view, viewContext(app), shell.observer, TypedView::Window));
    ASSERT_EQ(app.view.deepZoom, 1);
    const std::string xmax = m.xmax.text;
    click(OptionBox::Julia);
    EXPECT_EQ(app.view.deepZoom, 0);
    EXPECT_NEAR(static_cast<double>(app.view.julia.cr.ext), -0.75, 1e-18);
    click(OptionBox::Julia);
    EXPECT_EQ(app.view.deepZoom, 1);
    EXPECT_EQ(app.view.deepLimit, -24);
    EXPECT_EQ(m.xmax.text, xmax);
}

TEST_F(Parameters, DeepZoomUntickedOnlyWhereTheViewAllowsIt)
{
    struct Case
    {
        bool mandelbrot;
        std::int32_t exponent; // of the pixel step 3.2e(exponent)
        bool deepAfter;
        bool autosaveAfter;
    };

    // At deepLimit -20 the box cannot be unticked; at -5 it can and autosave goes off with it;
    // a Julia view at -12 counts as -19, so the view-change step ticks it again.
    for (const Case& c : {Case{true, -20, true, true}, Case{true, -5, false, false},
                          Case{false, -12, true, false}}) {
        if (isMandelbrot(app.view) != c.mandelbrot) {
            app.view.modeWord ^= 3u;
        }
        const WindowRef w = currentWindow(app.view);
        w.xmin.text = "0";
        w.ymin.text = "0";
        w.xmax.text = "2.048e" + std::to_string(c.exponent + 3);
        w.ymax.text = "1.536e" + std::to_string(c.exponent + 3);
        ASSERT_TRUE(takeTypedView(app.view, viewContext(app), shell.observer, TypedView::Window));
        ASSERT_EQ(app.view.deepLimit, c.exponent);
        app.view.deepZoom = 1;
        app.settings.autosaveParameter = 1;
        click(OptionBox::DeepZoom);
        EXPECT_EQ(optionTicked(app, OptionBox::DeepZoom), c.deepAfter) << c.exponent;
        EXPECT_EQ(shell.observer.last("deepZoom"), c.deepAfter ? "on" : "off") << c.exponent;
        EXPECT_EQ(app.settings.autosaveParameter, c.autosaveAfter ? 1 : 0) << c.exponent;
    }
    click(OptionBox::Mandelbrot);
    app.view.deepZoom = 0;
    click(OptionBox::DeepZoom);
    EXPECT_EQ(app.view.deepZoom, 1);
}

TEST_F(Parameters, MultiThreadedAndAutoPotValueSetTheirValues)
{
    click(OptionBox::MultiThreaded);
    EXPECT_EQ(app.settings.multiThreaded, 0);
    EXPECT_EQ(app.settings.threads, 1);
    click(OptionBox::MultiThreaded);
    EXPECT_EQ(app.settings.threads, 4);
    EXPECT_EQ(shell.observer.last("multiThreaded"), "on");

    ASSERT_EQ(app.view.deepLimit, -3);
    app.view.potValue = 0.5;
    click(OptionBox::AutoPotValue);
    EXPECT_DOUBLE_EQ(app.view.potValue, 0.0002 / 3);
    EXPECT_EQ(shell.observer.last("potValue"), " 6.66666666667e-5");
    click(OptionBox::AutoPotValue);
    EXPECT_EQ(app.settings.autoPotValue, 0);
    EXPECT_DOUBLE_EQ(app.view.potValue, 0.0002 / 3);
}

std::optional<PictureBuffers> noMemory(PictureSize)
{
    return std::nullopt;
}

TEST_F(Parameters, SizeChangeAsksOnlyForANewSizeAndKeepsTheOldOnCancelOrNoMemory)
{
    // The size in force asks nothing; 720 x 480, then 720 x 576 while 720 x 480 is in force,
    // ask.
    ASSERT_EQ(choosePictureSize(app, 4, shell.services), SizeChoice::Unchanged);
    EXPECT_TRUE(shell.prompts.asked().empty());
    shell.prompts.answer("ok");
    ASSERT_EQ(choosePictureSize(app, 5, shell.services), SizeChoice::Changed);
    EXPECT_EQ(choosePictureSize(app, 5, shell.services), SizeChoice::Unchanged);
    shell.prompts.answer("cancel");
    EXPECT_EQ(choosePictureSize(app, 6, shell.services), SizeChoice::Cancelled);
    EXPECT_EQ(app.settings.pictureWidth, 720);
    EXPECT_EQ(app.settings.pictureHeight, 480);
    EXPECT_EQ(app.settings.pictureSizeIndex, 6);
    ASSERT_EQ(shell.prompts.asked().size(), 2u);
    EXPECT_EQ(shell.prompts.asked()[1].text, "REDRAW REQUIRED!\nDo You Want to Continue?");
    EXPECT_TRUE(shell.prompts.asked()[1].cancelPreselected);

    shell.prompts.answer("ok");
    EXPECT_EQ(choosePictureSize(app, 35, shell.services, noMemory), SizeChoice::NoMemory);
    EXPECT_EQ(app.settings.pictureWidth, 720);
    EXPECT_EQ(app.iterations.width, 720);
    EXPECT_EQ(shell.prompts.texts().back(), std::string(kNoMemoryForSize));
}

TEST_F(Parameters, NewSizeHasItsBuffersWindowAndPixelSteps)
{
    app.shell.pictureFromImage = 1;
    shell.prompts.answer("ok");
    ASSERT_EQ(choosePictureSize(app, 1, shell.services), SizeChoice::Changed);
    EXPECT_EQ(app.settings.pictureWidth, 320);
    EXPECT_EQ(app.settings.pictureHeight, 240);
    EXPECT_EQ(app.iterations.width, 320);
    EXPECT_EQ(app.iterations.counts.size(), 322u * 242u);
    EXPECT_EQ(app.picture.pixels.size(), 320u * 240u);
    EXPECT_EQ(app.shell.pictureValid, 0);
    EXPECT_EQ(app.shell.pictureFromImage, 0);
    EXPECT_EQ(shell.observer.last("pictureWindow"), "320 x 240");
    EXPECT_EQ(app.view.mandelbrot.dx.ext, 4.0L / 320);
    EXPECT_EQ(app.view.deepLimit, -2);
    EXPECT_FALSE(allocatePictureBuffers({0, 10}).has_value());
}

} // namespace
} // namespace qv
