// The palette generator: running channel values, options, HLS conversion, mirrors, random
// parameters and the default sets.
#include "palette/palette_generator.h"
#include "tests/palette/palette_test_support.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <set>
#include <vector>

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::makeParameters;
using test::PaletteFixture;
using test::referenceEntries;

std::uint32_t red(std::uint32_t c)
{
    return (c >> 16) & 0xFFu;
}

void expectTableEquals(const Palette& palette, const std::vector<std::uint32_t>& expected,
                       std::size_t first)
{
    std::size_t mismatches = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (palette.entries[first + i] != expected[i] && ++mismatches <= 5) {
            ADD_FAILURE() << "entry " << first + i << ": " << std::hex << palette.entries[first + i]
                          << " expected " << expected[i];
        }
    }
    EXPECT_EQ(mismatches, 0u);
}

TEST(PaletteGenerator, DefaultsWithoutSmoothOrPotentialStartAtD53D46AndBounce)
{
    PaletteFixture f;
    f.colourFlags = 0;
    resetPaletteDefaults(f.context);

    EXPECT_EQ(f.palette.entries[0], 0x00D53D46u);
    // Channel 1 falls by 5 per entry from 218 - 5 until it is below its step, then rises.
    for (std::uint32_t k = 0; k <= 42; ++k) {
        EXPECT_EQ(red(f.palette.entries[k]), 213 - 5 * k) << k;
    }
    EXPECT_EQ(red(f.palette.entries[43]), 8u);
    EXPECT_EQ(red(f.palette.entries[44]), 13u);
    expectTableEquals(f.palette, referenceEntries(f.state.parameters, false, false), 0);
    EXPECT_EQ(f.palette.entries[262144], 0u); // only the random mode writes the last entry
}

TEST(PaletteGenerator, DefaultParameterSetsFollowSmoothAndPotentialFlags)
{
    struct Case
    {
        std::uint32_t flags;
        PaletteParameters expected;
    };

    const PaletteParameters sentinel = makeParameters({1, 2, 3}, {4, 5, 6}, {7, 8, 9});
    const std::vector<Case> cases = {
        {0u, makeParameters({218, 64, 74}, {5, 3, 4}, {255, 169, 194})},
        {2u, makeParameters({1, 2, 3}, {5, 3, 4}, {7, 8, 9})},
        {4u, makeParameters({12, 164, 127}, {1, 1, 1}, {245, 172, 200})},
        {6u, makeParameters({1, 2, 3}, {1, 1, 1}, {7, 8, 9})},
        // Other bits, the palette options among them, do not choose the set.
        {0x1F1u, makeParameters({218, 64, 74}, {5, 3, 4}, {255, 169, 194})},
    };
    for (const Case& c : cases) {
        PaletteFixture f;
        f.state.parameters = sentinel;
        f.state.randomPaletteFlag = true;
        f.colourFlags = c.flags;
        resetPaletteDefaults(f.context);
        EXPECT_EQ(f.state.parameters, c.expected) << "flags " << c.flags;
        EXPECT_FALSE(f.state.randomPaletteFlag);
        EXPECT_EQ(f.colourFlags, c.flags);
        EXPECT_EQ(f.host.calls,
                  (std::vector<std::string>{"clearPictureFromImage", "reopenPaletteDialog"}));
    }
}

TEST(PaletteGenerator, MatchesThePlainDefinitionForSeveralParameterSets)
{
    struct Case
    {
        const char* what;
        PaletteParameters parameters;
        bool inverse;
        bool reverse;
    };

    const std::vector<Case> cases = {
        {"stop below start", makeParameters({200, 100, 30}, {7, 2.5f, 1}, {40, 20, 10}), false,
         false},
        {"halves round to even",
         makeParameters({100, 10.5f, 3}, {0.5f, 0.25f, 1.5f}, {120, 30, 90}), false, false},
        {"values past 255 and below 0 are clamped",
         makeParameters({-20, 250, 0}, {3, 9, 11}, {300, 400, 260}), false, false},
        {"inverse complements within 8 bits",
         makeParameters({-20, 250, 0}, {3, 9, 11}, {300, 400, 260}), true, false},
        {"reverse", makeParameters({218, 64, 74}, {5, 3, 4}, {255, 169, 194}), false, true},
        {"inverse then reverse",
         makeParameters({12, 164, 127}, {1.9f, 0.3f, 1.1f}, {245, 172, 200}), true, true},
        {"stop below the step: the upward turn wins",
         makeParameters({50, 9, 7}, {20, 6, 3}, {5, 4, 1}), false, false},
        {"negative step", makeParameters({30, 40, 50}, {-1, 2, 3}, {60, 70, 80}), false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PaletteFixture f;
        f.state.parameters = c.parameters;
        f.state.options.inverse = c.inverse;
        f.state.options.reverse = c.reverse;
        generatePalette(f.context, PaletteMode::FromParameters);
        // Every channel turns many times within the first 20,000 entries.
        expectTableEquals(f.palette, referenceEntries(c.parameters, c.inverse, c.reverse, 20000),
                          0);
        EXPECT_EQ(f.host.calls, std::vector<std::string>{"clearPictureFromImage"});
        EXPECT_FALSE(f.state.randomPaletteFlag);
    }
}

TEST(PaletteGenerator, ChannelsBounceBetweenBelowOneStepAndTheStop)
{
    Palette palette;
    fillPalette(palette, makeParameters({100, 0, 0}, {10, 0, 0}, {50, 0, 0}), {}, 0);
    const std::vector<std::uint32_t> expected = {90, 80, 70, 60, 50, 40, 30, 20, 10, 0, 10, 20,
                                                 30, 40, 50, 60, 50, 40, 30, 20, 10, 0, 10};
    for (std::size_t k = 0; k < expected.size(); ++k) {
        EXPECT_EQ(red(palette.entries[k]), expected[k]) << k;
    }
}

TEST(PaletteGenerator, StepZeroStaysAtTheStart)
{
    Palette palette;
    fillPalette(palette, makeParameters({37, 0, 255}, {0, 0, 0}, {200, 0, 10}), {}, 0);
    for (std::size_t i = 0; i < 262144; ++i) {
        if (palette.entries[i] != 0x002500FFu) {
            FAIL() << "entry " << i << " is " << std::hex << palette.entries[i];
        }
    }
}

TEST(PaletteGenerator, UnrepresentableRunningValuesGiveChannelZero)
{
    // NaN or infinite parameters (a palette file may hold them) must not break the table.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    Palette palette;
    fillPalette(palette, makeParameters({nan, inf, 9}, {1, 1, 0}, {10, 10, 10}), {}, 0);
    EXPECT_EQ(palette.entries[0], 0x00000009u);
    EXPECT_EQ(palette.entries[262143], 0x00000009u);
}

TEST(HlsToRgb, ConvertsHandComputedColours)
{
    struct Case
    {
        std::uint32_t luminance, saturation, hue;
        RgbChannels rgb;
    };

    const std::vector<Case> cases = {
        {127, 254, 0, {255, 0, 0}}, // m2 = round(254.5) = 254 (halves to even)
        {127, 254, 85, {0, 255, 0}},      {127, 254, 170, {7, 0, 255}},
        {60, 100, 30, {85, 72, 37}},      {200, 200, 200, {221, 159, 243}},
        {255, 255, 255, {254, 255, 255}}, // inputs above the 254 scale; results limited to 255
        {100, 50, 140, {81, 109, 121}},   {127, 0, 0, {128, 128, 128}}, // 127.5 rounds to 128
        {255, 0, 99, {255, 255, 255}},    {128, 255, 20, {255, 123, 3}},
        {10, 254, 250, {21, 0, 4}}, // hue + 84.7 wraps past 254
        {90, 180, 120, {27, 155, 133}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(hlsToRgb((c.luminance << 16) | (c.saturation << 8) | c.hue), c.rgb)
            << c.luminance << " " << c.saturation << " " << c.hue;
    }
}

TEST(HlsToRgb, EveryColourIsTheFormulaOfItsThreeHueLevels)
{
    // The definition: m2 and m1 from luminance and saturation, each channel the level at its
    // hue argument scaled by 255 / 254, halves to even, limited to 255.
    const auto byDefinition = [](std::uint32_t l, std::uint32_t s, std::uint32_t h) {
        const auto scale = [](double level) {
            return static_cast<std::int32_t>(std::min(std::nearbyint(level), 255.0));
        };
        if (s == 0) {
            const std::int32_t grey = scale(l * 255.0 / 254.0);
            return RgbChannels{grey, grey, grey};
        }
        const double m2Exact =
            l <= 127 ? (l * (254.0 + s) + 127.0) / 254.0 : l + s - (l * s + 127.0) / 254.0;
        const auto m2 = static_cast<std::uint16_t>(std::nearbyint(m2Exact));
        const auto m1 = static_cast<std::uint16_t>(2 * l - m2);
        const auto channel = [&](std::uint32_t hue) {
            return scale((hueToRgb(m1, m2, static_cast<std::uint16_t>(hue)) * 255.0 + 127.0) /
                         254.0);
        };
        return RgbChannels{channel(h + 85), channel(h), channel(h - 85)};
    };
    // A stride coprime to 256 meets every byte of every channel many times over.
    for (std::uint32_t packed = 0; packed < (1u << 24); packed += 7) {
        const std::uint32_t l = packed >> 16;
        const std::uint32_t s = (packed >> 8) & 0xFFu;
        const std::uint32_t h = packed & 0xFFu;
        ASSERT_EQ(hlsToRgb(packed), byDefinition(l, s, h)) << l << " " << s << " " << h;
    }
}

/// A colour as the Reverse option leaves it: red and blue swapped, all three complemented.
std::uint32_t reversed(const RgbChannels& c)
{
    return static_cast<std::uint32_t>((255 - c.blue) * 65536 + (255 - c.green) * 256 +
                                      (255 - c.red));
}

std::uint32_t packed(const RgbChannels& c)
{
    return static_cast<std::uint32_t>(c.red * 65536 + c.green * 256 + c.blue);
}

TEST(HlsToRgb, WordsAtOnceGiveEveryPackedColourAsOneByOne)
{
    std::vector<std::uint32_t> words(65536 + 5); // a last group shorter than eight
    for (std::uint32_t l = 0; l < 256; ++l) {
        for (const bool reverse : {false, true}) {
            if (reverse && l % 17 != 0) { // Reverse only rearranges the result: a sample
                continue;
            }
            for (std::uint32_t i = 0; i < words.size(); ++i) {
                words[i] = (l << 16) | (i & 0xFFFFu) | (i > 0xFFFFu ? 0xAB000000u : 0u);
            }
            hlsToRgbWords(words, reverse);
            for (std::uint32_t i = 0; i < words.size(); ++i) {
                const RgbChannels rgb = hlsToRgb((l << 16) | (i & 0xFFFFu));
                ASSERT_EQ(words[i], reverse ? reversed(rgb) : packed(rgb))
                    << "luminance " << l << " saturation " << ((i >> 8) & 0xFFu) << " hue "
                    << (i & 0xFFu) << " reverse " << reverse;
            }
        }
    }
}

TEST(HlsToRgb, HueArgumentsWrapIn16Bits)
{
    // A hue below a third of the scale makes the blue argument negative: it wraps to a large
    // value and selects p.
    EXPECT_EQ(hueToRgb(3, 200, static_cast<std::uint16_t>(-80)), 3);
    EXPECT_EQ(hueToRgb(3, 200, 255), hueToRgb(3, 200, 1));
    EXPECT_EQ(hueToRgb(0, 254, 0), 0); // 0.5 rounds to 0
    EXPECT_EQ(hueToRgb(0, 254, 100), 254);
    EXPECT_EQ(hueToRgb(10, 254, 20), 126);   // 10 + (244 * 20 + 21.17) / 42.33 = 125.78
    EXPECT_EQ(hueToRgb(10, 254, 150), 122);  // 10 + (244 * 19.33 + 21.17) / 42.33 = 121.93
    EXPECT_EQ(hueToRgb(65535, 0, 41), 2065); // a wrapped level: 65535 - 63470.4
    // Exact halves of the formulas go to the even neighbour.
    EXPECT_EQ(hueToRgb(0, 254, 140), 176); // (254 * 88/3 + 127/6) / (127/3) = 176.5
    EXPECT_EQ(hueToRgb(0, 127, 1), 4);     // (127 + 127/6) / (127/3) = 3.5
    EXPECT_EQ(hueToRgb(1, 128, 1), 4);     // 1 + 3.5 = 4.5
}

TEST(PaletteGenerator, HslWithSaturationZeroGivesGreysOfChannelOne)
{
    const PaletteParameters p = makeParameters({254, 0, 77}, {1.5f, 0, 3}, {300, 0, 254});
    Palette palette;
    PaletteOptions options;
    options.hsl = true;
    fillPalette(palette, p, options, 0);
    // Channel 1 alone, clamped, read from the plain reference's red.
    const std::vector<std::uint32_t> plain = referenceEntries(p, false, false);
    for (std::size_t i = 0; i < plain.size(); ++i) {
        const double level = std::nearbyint(static_cast<double>(red(plain[i])) * 255.0 / 254.0);
        const auto g = static_cast<std::uint32_t>(std::min(level, 255.0));
        if (palette.entries[i] != g * 0x010101u) {
            FAIL() << "entry " << i << ": " << std::hex << palette.entries[i];
        }
    }
}

TEST(PaletteGenerator, HslReadsLuminanceSaturationHueFromChannelsOneTwoThree)
{
    PaletteOptions options;
    options.hsl = true;
    Palette palette;
    fillPalette(palette, makeParameters({127, 254, 85}, {0, 0, 0}, {255, 255, 255}), options, 0);
    EXPECT_EQ(palette.entries[0], 0x0000FF00u);
    EXPECT_EQ(palette.entries[262143], 0x0000FF00u);

    // Inverse comes before the conversion: 128 -> 127, 1 -> 254, 255 -> 0 gives red.
    options.inverse = true;
    fillPalette(palette, makeParameters({128, 1, 255}, {0, 0, 0}, {255, 255, 255}), options, 0);
    EXPECT_EQ(palette.entries[5], 0x00FF0000u);

    // Reverse comes after it: red becomes 255 - blue, blue 255 - red.
    options.reverse = true;
    fillPalette(palette, makeParameters({128, 1, 255}, {0, 0, 0}, {255, 255, 255}), options, 0);
    EXPECT_EQ(palette.entries[5], 0x00FFFF00u);
}

TEST(PaletteGenerator, HslTablesFollowTheDefinitionWithEveryOption)
{
    // Channels that clamp at 0 and 255 (saturation 255 makes m1 wrap), fractional steps, and
    // the default sets.
    const std::vector<PaletteParameters> sets = {
        makeParameters({218, 64, 74}, {5, 3, 4}, {255, 169, 194}),
        makeParameters({12, 164, 127}, {1.9f, 0.3f, 1.1f}, {245, 172, 200}),
        makeParameters({-20, 250, 0}, {3, 9, 11}, {300, 400, 260}),
        makeParameters({127, 255, 3}, {0.7f, 0.01f, 2.5f}, {140, 256, 254}),
    };
    for (const PaletteParameters& p : sets) {
        // Inverse and Reverse in every combination, then with both mirrors.
        for (const std::uint32_t bits : {0u, 1u, 2u, 3u, 15u}) {
            PaletteOptions options;
            options.hsl = true;
            options.inverse = (bits & 1u) != 0;
            options.reverse = (bits & 2u) != 0;
            options.exp2 = (bits & 4u) != 0;
            options.exp3 = (bits & 8u) != 0;
            std::vector<std::uint32_t> expected = referenceEntries(p, options.inverse, false);
            for (std::uint32_t& e : expected) {
                e = options.reverse ? reversed(hlsToRgb(e)) : packed(hlsToRgb(e));
            }
            for (std::size_t i = 0; i < 131072 && (options.exp2 || options.exp3); ++i) {
                expected[i] = expected[262143 - i] ^ (options.exp3 ? 0xFFFFFFu : 0u);
            }
            Palette palette;
            fillPalette(palette, p, options, 0);
            SCOPED_TRACE(testing::Message() << "options " << bits << " start " << p.start[0]);
            expectTableEquals(palette, expected, 0);
        }
    }
}

Palette identityTable()
{
    Palette palette;
    for (std::size_t i = 0; i < palette.entries.size(); ++i) {
        palette.entries[i] = static_cast<std::uint32_t>(i);
    }
    return palette;
}

TEST(PaletteMirrors, Exp2MirrorsTheUpperHalfIntoTheLower)
{
    Palette palette = identityTable();
    applyExp2(palette);
    EXPECT_EQ(palette.entries[0], 262143u);
    EXPECT_EQ(palette.entries[131071], 131072u);
    EXPECT_EQ(palette.entries[131072], 131072u);
    for (std::uint32_t i = 0; i < 262144; ++i) {
        const std::uint32_t expected = i < 131072 ? 262143 - i : i;
        if (palette.entries[i] != expected) {
            FAIL() << "entry " << i << " is " << palette.entries[i];
        }
    }
    EXPECT_EQ(palette.entries[262144], 262144u);
}

TEST(PaletteMirrors, Exp3ComplementsTheMirroredHalfAndKeepsTheUpperHalf)
{
    Palette palette = identityTable();
    applyExp3(palette);
    for (std::uint32_t i = 0; i < 262144; ++i) {
        const std::uint32_t expected = i < 131072 ? (262143 - i) ^ 0xFFFFFFu : i;
        if (palette.entries[i] != expected) {
            FAIL() << "entry " << i << " is " << palette.entries[i];
        }
    }
    EXPECT_EQ(palette.entries[262144], 262144u);
}

TEST(PaletteMirrors, GenerationAppliesExp2AndExp3AfterTheTable)
{
    const PaletteParameters p = makeParameters({218, 64, 74}, {5, 3, 4}, {255, 169, 194});
    const std::vector<std::uint32_t> plain = referenceEntries(p, false, false);
    std::vector<std::uint32_t> mirrored = plain;
    for (std::size_t i = 0; i < 131072; ++i) {
        mirrored[i] = plain[262143 - i];
    }
    std::vector<std::uint32_t> complemented = mirrored;
    for (std::size_t i = 0; i < 131072; ++i) {
        complemented[i] ^= 0xFFFFFFu;
    }

    PaletteOptions options;
    options.exp2 = true;
    Palette palette;
    palette.entries[262144] = 0x123456u;
    fillPalette(palette, p, options, 0);
    expectTableEquals(palette, mirrored, 0);

    options.exp3 = true; // both on: the same as Exp 3 alone
    fillPalette(palette, p, options, 0);
    expectTableEquals(palette, complemented, 0);
    options.exp2 = false;
    fillPalette(palette, p, options, 0);
    expectTableEquals(palette, complemented, 0);
    EXPECT_EQ(palette.entries[262144], 0x123456u);
}

TEST(RandomPalette, DrawsOrderedEndsAndBoundedStepsThenGeneratesFromEntryOne)
{
    PaletteFixture f;
    f.state.maxColourStep = 2.0f;
    f.palette.entries[0] = 0x00ABCDEFu;
    // a1..a3, b1..b3, then the three steps.
    f.random.values = {0.9, 0.1, 0.5, 0.2, 0.3, 0.999999, 0.25, 0.0, 0.75};
    generatePalette(f.context, PaletteMode::Random);

    // 255 * u rounded: 229.5 -> 230 (even), 25.5 -> 26, 127.5 -> 128, 51, 76.5 -> 76, 255.
    EXPECT_EQ(f.state.parameters, makeParameters({51, 26, 128}, {0.5f, 0, 1.5f}, {230, 76, 255}));
    EXPECT_TRUE(f.state.randomPaletteFlag);
    EXPECT_EQ(f.random.reseeds, 1);
    EXPECT_EQ(f.random.next, 9u);
    EXPECT_EQ(f.palette.entries[0], 0u);
    expectTableEquals(f.palette, referenceEntries(f.state.parameters, false, false), 1);
    EXPECT_EQ(f.host.calls, std::vector<std::string>{"clearPictureFromImage"});
}

TEST(RandomPalette, EndsAreIntegersWithinTheChannelRange)
{
    for (const bool hsl : {false, true}) {
        PaletteFixture f;
        f.state.options.hsl = hsl;
        f.random.values = {0.0, 0.9999999, 0.5, 0.9999999, 0.0, 0.4999, 0.1, 0.2, 0.3};
        generatePalette(f.context, PaletteMode::Random);
        const float top = hsl ? 254.0f : 255.0f;
        EXPECT_EQ(f.state.parameters.start, (std::array<float, 3>{0, 0, hsl ? 127.0f : 127.0f}));
        EXPECT_EQ(f.state.parameters.stop, (std::array<float, 3>{top, top, hsl ? 127.0f : 128.0f}));
    }
}

TEST(RandomPalette, ClockSeededDrawsStayInRangeAndDifferBetweenPalettes)
{
    ClockSeededRandom random;
    PaletteFixture f;
    PaletteContext context{f.palette, f.state, f.colourFlags, random, f.host, f.prompts};
    std::set<std::vector<float>> seen;
    for (int round = 0; round < 8; ++round) {
        generatePalette(context, PaletteMode::Random);
        const PaletteParameters& p = f.state.parameters;
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_LE(p.start[i], p.stop[i]);
            EXPECT_GE(p.start[i], 0.0f);
            EXPECT_LE(p.stop[i], 255.0f);
            EXPECT_EQ(p.start[i], std::floor(p.start[i]));
            EXPECT_EQ(p.stop[i], std::floor(p.stop[i]));
            EXPECT_GE(p.step[i], 0.0f);
            EXPECT_LT(p.step[i], f.state.maxColourStep);
        }
        EXPECT_EQ(f.palette.entries[0], 0u);
        seen.insert({p.start[0], p.start[1], p.start[2], p.step[0], p.step[1], p.step[2], p.stop[0],
                     p.stop[1], p.stop[2]});
    }
    EXPECT_EQ(seen.size(), 8u); // reseeding twice in one clock tick still gives new values
    for (int i = 0; i < 20000; ++i) {
        const double u = random.nextUnit();
        ASSERT_GE(u, 0.0);
        ASSERT_LT(u, 1.0);
    }
}

TEST(RandomPalette, StepsStayFiniteWhateverTheBound)
{
    for (const float bound :
         {-3.0f, std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()}) {
        PaletteFixture f;
        f.state.maxColourStep = bound;
        f.random.values = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.5, 0.0, 0.25};
        generatePalette(f.context, PaletteMode::Random);
        for (const float s : f.state.parameters.step) {
            EXPECT_TRUE(std::isfinite(s)) << bound;
        }
        if (bound < 0.0f) {
            EXPECT_EQ(f.state.parameters.step[0], -1.5f); // a negative bound is kept
        }
    }
}

} // namespace
} // namespace qv
