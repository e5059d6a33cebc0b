// The palette dialog's rules without a window: texts, the slider's range, GENERATE and RANDOM
// with the recolouring step, the option boxes, the offset, and palette file SAVE and LOAD.
#include "app/palette_setup.h"
#include "engine/colouring.h"
#include "palette/palette_generator.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_shell.h"

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::TempFolder;
using test::TestShell;
using Calls = std::vector<std::string>;

constexpr std::uint32_t kSmooth = ColourSettings::kSmoothColour;

PaletteFields fieldsFrom(std::array<std::string, 9> parameters, std::string maxColourStep)
{
    return PaletteFields{std::move(parameters), std::move(maxColourStep)};
}

TEST(PaletteSetup, ChannelNamesFollowTheHslOption)
{
    EXPECT_EQ(channelNames(false), (std::array<std::string_view, 3>{"Red", "Green", "Blue"}));
    EXPECT_EQ(channelNames(true), (std::array<std::string_view, 3>{"Hue", "Sat.", "Lum."}));
}

TEST(PaletteSetup, FieldsShowSevenSignificantDigitsWithTheirBlank)
{
    const struct
    {
        float value;
        const char* text;
    } cases[] = {
        {218.0f, " 218"}, {1.9f, " 1.9"},   {-3.5f, "-3.5"},          {0.0f, " 0"},
        {-0.0f, " 0"},    {0.1f, " 0.1"},   {1234567.8f, " 1234568"}, {0.8457623f, " 0.8457623"},
        {1e-7f, " 1e-7"}, {255.0f, " 255"},
    };

    for (const auto& c : cases) {
        EXPECT_EQ(paletteFieldText(c.value), c.text) << c.value;
    }
    PaletteState state;
    state.parameters = {{218.0f, 64.0f, 74.0f}, {5.0f, 3.0f, 4.0f}, {255.0f, 169.0f, 194.0f}};
    EXPECT_EQ(paletteFieldsOf(state),
              fieldsFrom({" 218", " 64", " 74", " 5", " 3", " 4", " 255", " 169", " 194"}, " 1.9"));
}

TEST(PaletteSetup, SliderRangeLeavesRoomForTheIterationLimit)
{
    const struct
    {
        std::int32_t iterMax;
        std::int32_t maximum;
    } cases[] = {
        {100, 262043},
        {0, 262143},
        {262142, 1},
        {262143, 1},
        {1000000, 1},
        {-5, 262143},
        {std::numeric_limits<std::int32_t>::min(), 262143},
    };

    for (const auto& c : cases) {
        const OffsetRange range = offsetSliderRange(c.iterMax);
        EXPECT_EQ(range.minimum, 1) << c.iterMax;
        EXPECT_EQ(range.maximum, c.maximum) << c.iterMax;
    }
}

TEST(PaletteSetup, OffsetTitleHasTwoBlanksBeforeTheNameAndOneBeforeTheNumber)
{
    EXPECT_EQ(offsetTitle(0), "PALETTE SETUP  Palette offset:  0");
    EXPECT_EQ(offsetTitle(70000), "PALETTE SETUP  Palette offset:  70000");
    EXPECT_EQ(offsetTitle(-4), "PALETTE SETUP  Palette offset: -4");
}

TEST(PaletteSetup, GenerateReadsTheFieldsAndRebuildsFromTheStoredIndices)
{
    const struct
    {
        const char* text;
        float value;
    } readings[] = {{" 218", 218.0f}, {"12.5", 12.5f}, {"abc", 0.0f}, {"", 0.0f}, {"-7", -7.0f}};

    for (const auto& r : readings) {
        TestShell shell;
        AppState app;
        const PaletteFields fields =
            fieldsFrom({r.text, " 64", " 74", " 5", " 3", " 4", " 255", " 169", " 194"}, " 2");
        EXPECT_EQ(generateFromFields(app, shell.services, fields), Recolouring::Redisplayed);
        EXPECT_EQ(app.paletteState.parameters.start[0], r.value) << r.text;
        EXPECT_EQ(app.paletteState.parameters.stop[2], 194.0f);
        EXPECT_EQ(app.paletteState.maxColourStep, 2.0f);
        EXPECT_EQ(shell.paletteHost.calls, (Calls{"clearPictureFromImage", "redisplayPicture"}));
        EXPECT_TRUE(shell.prompts.asked().empty());

        Palette expected;
        fillPalette(expected, app.paletteState.parameters, app.paletteState.options, 0);
        EXPECT_EQ(app.palette.entries, expected.entries) << r.text;
    }
}

TEST(PaletteSetup, AMaxColourStepOfZeroBecomesOne)
{
    const struct
    {
        const char* text;
        float value;
    } cases[] = {{"0", 1.0f}, {"nothing", 1.0f}, {" 0.0", 1.0f}, {"-2", -2.0f}, {" 3.5", 3.5f}};

    for (const auto& c : cases) {
        TestShell shell;
        AppState app;
        PaletteFields fields = paletteFieldsOf(app.paletteState);
        fields.maxColourStep = c.text;
        generateFromFields(app, shell.services, fields);
        EXPECT_EQ(app.paletteState.maxColourStep, c.value) << c.text;
    }
}

TEST(PaletteSetup, RecolouringDependsOnSmoothColourAndDeepZoom)
{
    const struct
    {
        std::uint32_t colourFlags;
        std::int32_t deepZoom;
        const char* answer; // nullptr: no question
        Recolouring result;
        Calls calls;
    } cases[] = {
        {4, 0, nullptr, Recolouring::Redisplayed, {"redisplayPicture"}},
        {4, 1, nullptr, Recolouring::Redisplayed, {"redisplayPicture"}},
        {4 | kSmooth,
         0,
         nullptr,
         Recolouring::RenderDue,
         {"clearPictureFromImage", "requestRender"}},
        {4 | kSmooth, 1, "ok", Recolouring::RenderDue, {"clearPictureFromImage", "requestRender"}},
        {kSmooth, 1, "cancel", Recolouring::Declined, {}},
    };

    for (const auto& c : cases) {
        TestShell shell;
        AppState app;
        app.settings.colourFlags = c.colourFlags;
        app.view.deepZoom = c.deepZoom;
        if (c.answer != nullptr) {
            shell.prompts.answer(c.answer);
        }
        EXPECT_EQ(recolourPicture(app, shell.services), c.result);
        EXPECT_EQ(shell.paletteHost.calls, c.calls);
        if (c.answer == nullptr) {
            EXPECT_TRUE(shell.prompts.asked().empty());
            continue;
        }
        ASSERT_EQ(shell.prompts.asked().size(), 1u);
        const auto& asked = shell.prompts.asked()[0];
        EXPECT_EQ(asked.kind, "okCancel");
        EXPECT_EQ(asked.text, "REDRAW REQUIRED!\nDo You Want to Continue?");
        EXPECT_TRUE(asked.cancelPreselected);
    }
}

TEST(PaletteSetup, GenerateDeclinedInDeepZoomKeepsTheNewTableAndThePicture)
{
    TestShell shell;
    AppState app;
    app.settings.colourFlags = 4 | kSmooth;
    app.view.deepZoom = 1;
    shell.prompts.answer("cancel");
    PaletteFields fields = paletteFieldsOf(app.paletteState);
    fields.parameters[0] = " 100";
    EXPECT_EQ(generateFromFields(app, shell.services, fields), Recolouring::Declined);
    EXPECT_EQ(app.paletteState.parameters.start[0], 100.0f);
    EXPECT_NE(app.palette.entries[0], 0u);
    EXPECT_EQ(shell.paletteHost.count("redisplayPicture"), 0);
    EXPECT_EQ(shell.paletteHost.count("requestRender"), 0);
}

TEST(PaletteSetup, RandomShowsTheDrawnParametersAsFields)
{
    TestShell shell;
    AppState app;
    app.paletteState.maxColourStep = 2.0f;
    // a1..a3, b1..b3, then the three steps.
    shell.random.values = {0.5, 0.2, 0.8, 0.6, 0.4, 0.0, 0.25, 0.5, 0.125};
    const PaletteFields fields = drawRandomPalette(app, shell.services);
    EXPECT_EQ(
        fields,
        fieldsFrom({" 128", " 51", " 0", " 0.5", " 1", " 0.25", " 153", " 102", " 204"}, " 2"));
    EXPECT_TRUE(app.paletteState.randomPaletteFlag);
    EXPECT_EQ(app.palette.entries[0], 0u);
    EXPECT_EQ(shell.random.reseeds, 1);
}

TEST(PaletteSetup, OptionBoxesSetTheirOptionAndRedisplay)
{
    const PaletteOption all[] = {PaletteOption::Hsl, PaletteOption::Inverse, PaletteOption::Reverse,
                                 PaletteOption::Exp2, PaletteOption::Exp3};
    for (const PaletteOption option : all) {
        for (const bool on : {true, false}) {
            TestShell shell;
            AppState app;
            app.settings.colourFlags = on ? 4u : 4u | PaletteOptions::kAllBits;
            app.paletteState.options = optionsFromColourFlags(on ? 0u : PaletteOptions::kAllBits);
            const Palette before = app.palette;
            setPaletteOption(app, shell.services, option, on);
            for (const PaletteOption other : all) {
                EXPECT_EQ(paletteOptionOn(app.paletteState, other), other == option ? on : !on);
            }
            // Only Inverse carries its bit at once; the others follow at the next save.
            const std::uint32_t expectedFlags =
                option == PaletteOption::Inverse
                    ? (on ? 4u | PaletteOptions::kInverseBit
                          : 4u | (PaletteOptions::kAllBits & ~PaletteOptions::kInverseBit))
                    : (on ? 4u : 4u | PaletteOptions::kAllBits);
            EXPECT_EQ(app.settings.colourFlags, expectedFlags);
            EXPECT_EQ(shell.paletteHost.calls,
                      (Calls{"clearPictureFromImage", "redisplayPicture"}));
            EXPECT_EQ(app.palette.entries, before.entries) << "the table waits for GENERATE";
        }
    }
}

TEST(PaletteSetup, SliderPositionIsTheOffsetPlusOne)
{
    for (const std::int32_t position : {1, 2, 65536, 70000, 262043}) {
        TestShell shell;
        AppState app;
        setOffsetFromSlider(app, shell.services, position);
        EXPECT_EQ(app.paletteState.paletteOffset, position - 1);
        EXPECT_EQ(shell.paletteHost.calls, (Calls{"clearPictureFromImage", "redisplayPicture"}));
    }
}

TEST(PaletteSetup, FileDialogsCarryTheirFiltersAndCancelChangesNothing)
{
    TestShell shell;
    AppState app;
    app.paletteState.paletteOffset = 42;
    app.settings.colourFlags = 4 | kSmooth;
    shell.prompts.answer("");
    savePaletteCommand(app, shell.services);
    shell.prompts.answer("");
    EXPECT_FALSE(loadPaletteCommand(app, shell.services));

    ASSERT_EQ(shell.prompts.asked().size(), 2u);
    const auto& save = shell.prompts.asked()[0];
    EXPECT_EQ(save.kind, "save");
    EXPECT_EQ(save.file.title, "");
    EXPECT_EQ(save.file.filter, "Palette Files (*.pal)|*.PAL|");
    EXPECT_EQ(save.file.defaultExtension, "PAL");
    const auto& load = shell.prompts.asked()[1];
    EXPECT_EQ(load.kind, "open");
    EXPECT_EQ(load.file.filter, "Fractal Files (*.pal)|*.PAL|");
    EXPECT_EQ(load.file.defaultExtension, "PAL");
    EXPECT_EQ(app.paletteState.paletteOffset, 42);
    EXPECT_EQ(app.settings.colourFlags, 4 | kSmooth);
    EXPECT_TRUE(shell.paletteHost.calls.empty());
}

TEST(PaletteSetup, SaveThenLoadRestoresParametersOptionsAndOffset)
{
    TempFolder folder;
    const std::string path = folder.path() + "warm.pal";
    TestShell shell;
    AppState app;
    app.paletteState.parameters = {{10.0f, 20.0f, 30.0f}, {1.5f, 2.5f, 3.5f}, {200, 210, 220}};
    app.paletteState.options = {true, false, true, false, true};
    app.paletteState.paletteOffset = 777;
    app.settings.colourFlags = 4;
    const PaletteState saved = app.paletteState;
    shell.prompts.answer(path);
    savePaletteCommand(app, shell.services);
    EXPECT_EQ(std::filesystem::file_size(path), 44u);

    app.paletteState = PaletteState{};
    app.settings.colourFlags = 1;
    shell.prompts.answer(path);
    EXPECT_TRUE(loadPaletteCommand(app, shell.services));
    EXPECT_EQ(app.paletteState.parameters, saved.parameters);
    EXPECT_EQ(app.paletteState.options, saved.options);
    EXPECT_EQ(app.paletteState.paletteOffset, 777);
    EXPECT_EQ(app.settings.colourFlags, 4u | PaletteOptions::kHslBit | PaletteOptions::kReverseBit |
                                            PaletteOptions::kExp3Bit);
    EXPECT_EQ(shell.paletteHost.count("redisplayPicture"), 1);
}

TEST(PaletteSetup, ARefusedFileSaysSoAndShowsTheClearedOffset)
{
    TempFolder folder;
    const std::string path = folder.path() + "short.pal";
    test::writeBytes(path, std::vector<std::uint8_t>(43, 1));
    TestShell shell;
    AppState app;
    app.paletteState.paletteOffset = 9;
    app.paletteState.options.exp2 = true;
    shell.prompts.answer(path);
    EXPECT_TRUE(loadPaletteCommand(app, shell.services));
    EXPECT_EQ(shell.prompts.texts(), (std::vector<std::string>{"", "Not a Quorvalis-file!"}));
    EXPECT_EQ(app.paletteState.paletteOffset, 0);
    EXPECT_FALSE(app.paletteState.options.exp2);
    EXPECT_EQ(shell.paletteHost.calls, (Calls{"redisplayPicture"}));
}

} // namespace
} // namespace qv
