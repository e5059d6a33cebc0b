// The fractal parameters dialog's rules: the list entries, the texture and size choices, the
// option boxes and the typed numbers of its two buttons.
#include "app/parameter_settings.h"
#include "base/number_text.h"
#include "tests/support/test_shell.h"

#include <array>
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

TEST(ParameterLists, SizesAndTexturesReadAsListed)
{
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
}

TEST(ParameterLists, SizeListShowsTheChosenEntryOrTheSizeInForce)
{
    // The entry chosen, the size in force, and the entry shown.
    const std::array<std::int32_t, 4> cases[] = {{0, 640, 480, 4}, {0, 512, 384, 3},
                                                 {0, 176, 144, 0}, {0, 1000, 700, 4},
                                                 {7, 640, 480, 7}, {36, 352, 288, 2}};
    for (const auto& [chosen, width, height, shown] : cases) {
        RenderSettings settings;
        settings.pictureSizeIndex = chosen;
        settings.pictureWidth = width;
        settings.pictureHeight = height;
        EXPECT_EQ(shownPictureSizeEntry(settings), shown) << chosen << " " << width;
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
        {OptionBox::FastDeepZoom, &s.fastDeepZoom, 0u},
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

TEST_F(Parameters, MultiThreadedAndAutoPotValueRuleTheirValues)
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

    app.settings.autoPotValue = 1;
    app.view.potValue = 0.25;
    app.settings.multiThreaded = 0;
    takeTypedFields(app, TypedFields{"100", "2", "7", "1.02", "3"}, ParametersButton::Redraw,
                    shell.prompts);
    EXPECT_EQ(app.view.potValue, 0.25);
    EXPECT_EQ(app.settings.threads, 1);
}

std::optional<PictureBuffers> noMemory(PictureSize)
{
    return std::nullopt;
}

TEST_F(Parameters, SizeWithoutMemoryForItsBuffersKeepsTheOldSize)
{
    shell.prompts.answer("ok");
    EXPECT_EQ(choosePictureSize(app, 35, shell.services, noMemory), SizeChoice::NoMemory);
    EXPECT_EQ(app.settings.pictureWidth, 640);
    EXPECT_EQ(app.iterations.width, 640);
    EXPECT_EQ(shell.prompts.texts().back(), std::string(kNoMemoryForSize));
    EXPECT_FALSE(allocatePictureBuffers({0, 10}).has_value());
}

} // namespace
} // namespace qv
