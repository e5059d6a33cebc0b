// The palette dialog's rules without a window: field texts, the slider's range and title, the
// option boxes and the palette file dialogs.
#include "app/palette_setup.h"
#include "tests/support/test_shell.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::TestShell;
using Calls = std::vector<std::string>;

TEST(PaletteSetup, FieldsShowSevenSignificantDigitsWithTheirBlank)
{
    const std::pair<float, const char*> cases[] = {
        {218.0f, " 218"}, {1.9f, " 1.9"},           {-3.5f, "-3.5"},
        {-0.0f, " 0"},    {1234567.8f, " 1234568"}, {0.8457623f, " 0.8457623"},
        {1e-7f, " 1e-7"}};
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(paletteFieldText(value), text) << value;
    }
}

TEST(PaletteSetup, SliderRangeLeavesRoomForTheIterationLimitAndTitleShowsTheOffset)
{
    const std::pair<std::int32_t, std::int32_t> cases[] = {
        {100, 262043}, {0, 262143},  {262142, 1},
        {1000000, 1},  {-5, 262143}, {std::numeric_limits<std::int32_t>::min(), 262143}};
    for (const auto& [iterMax, maximum] : cases) {
        EXPECT_EQ(offsetSliderRange(iterMax).minimum, 1);
        EXPECT_EQ(offsetSliderRange(iterMax).maximum, maximum) << iterMax;
    }
    EXPECT_EQ(offsetTitle(70000), "PALETTE SETUP  Palette offset:  70000");
    EXPECT_EQ(offsetTitle(-4), "PALETTE SETUP  Palette offset: -4");
}

TEST(PaletteSetup, OnlyTheInverseBoxCarriesItsFlagBitAtOnce)
{
    for (const PaletteOption option :
         {PaletteOption::Hsl, PaletteOption::Inverse, PaletteOption::Reverse, PaletteOption::Exp2,
          PaletteOption::Exp3}) {
        TestShell shell;
        AppState app;
        setPaletteOption(app, shell.services, option, true);
        EXPECT_TRUE(paletteOptionOn(app.paletteState, option));
        const bool inverse = option == PaletteOption::Inverse;
        EXPECT_EQ(app.settings.colourFlags, inverse ? 4u | PaletteOptions::kInverseBit : 4u);
        EXPECT_EQ(shell.paletteHost.calls, (Calls{"clearPictureFromImage", "redisplayPicture"}));
        setPaletteOption(app, shell.services, option, false);
        EXPECT_EQ(app.paletteState.options, PaletteOptions{});
        EXPECT_EQ(app.settings.colourFlags, 4u);
    }
}

TEST(PaletteSetup, FileDialogsCarryTheirFiltersAndCancelChangesNothing)
{
    TestShell shell;
    AppState app;
    app.paletteState.paletteOffset = 42;
    shell.prompts.answer("");
    savePaletteCommand(app, shell.services);
    shell.prompts.answer("");
    EXPECT_FALSE(loadPaletteCommand(app, shell.services));
    ASSERT_EQ(shell.prompts.asked().size(), 2u);
    const auto& save = shell.prompts.asked()[0];
    const auto& load = shell.prompts.asked()[1];
    EXPECT_EQ(save.kind + save.file.title + save.file.filter + save.file.defaultExtension,
              "savePalette Files (*.pal)|*.PAL|PAL");
    EXPECT_EQ(load.kind + load.file.title + load.file.filter + load.file.defaultExtension,
              "openFractal Files (*.pal)|*.PAL|PAL");
    EXPECT_EQ(app.paletteState.paletteOffset, 42);
    EXPECT_TRUE(shell.paletteHost.calls.empty());
}

} // namespace
} // namespace qv
