// The palette generator.
#include "palette/palette_generator.h"

#include "engine/round_half_even.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace qv {
namespace {

// The HLS scale runs 0..254, the RGB scale 0..255. The conversion works in extended precision,
// like the rest of the program's floating arithmetic, and rounds every intermediate into 16
// bits. Thirds, sixths and twelfths of 254 are inexact, so some exact halves of the formulas
// land a hair off 0.5: the rounding follows the computed value, as it always has.
constexpr long double kHls = 254.0L;
constexpr long double kRgb = 255.0L;

constexpr std::uint32_t kSmoothColourFlag = 1u << 1;
constexpr std::uint32_t kColourByPotentialFlag = 1u << 2;

constexpr std::int64_t kGenerated = Palette::kWrap; // entries one generation writes

std::uint16_t roundTo16(long double x)
{
    // Negative values wrap modulo 65536, as they did in the 16-bit words of the conversion.
    return static_cast<std::uint16_t>(static_cast<std::uint32_t>(roundHalfEven(x)));
}

std::int32_t clampChannel(std::int32_t c)
{
    return std::clamp(c, 0, 255);
}

std::uint32_t packClamped(std::int32_t c1, std::int32_t c2, std::int32_t c3)
{
    return (static_cast<std::uint32_t>(clampChannel(c1)) << 16) |
           (static_cast<std::uint32_t>(clampChannel(c2)) << 8) |
           static_cast<std::uint32_t>(clampChannel(c3));
}

/// One channel of the generator: it moves by its step and bounces between about 0 and its stop.
struct Channel
{
    float value;
    float step;
    float stop;
    int direction = 0; // 0 before the first turn: the first move is downwards

    std::int32_t advance()
    {
        if (direction == 1) {
            value += step;
        } else {
            value -= step;
        }
        if (stop < value) {
            direction = -1;
        }
        if (step > value) {
            direction = 1;
        }
        return roundHalfEven(value);
    }
};

void mirrorLowerHalf(Palette& palette, std::uint32_t mask)
{
    // The loop reads entries it has already rewritten: that is what makes it a mirror.
    auto& e = palette.entries;
    for (std::size_t i = 0; i < static_cast<std::size_t>(kGenerated); ++i) {
        e[i] = e[static_cast<std::size_t>(kGenerated) - 1 - i] ^ mask;
    }
}

void drawRandomParameters(PaletteState& state, PaletteRandom& random)
{
    random.reseed();
    const double limit = state.options.hsl ? 254.0 : 255.0;
    std::array<float, 6> ends{};
    for (float& end : ends) {
        end = static_cast<float>(roundHalfEven(limit * random.nextUnit()));
    }
    // A bound that is not a number would make every step infinite or NaN; treat it as 1, the
    // value the dialog puts in place of an unusable 0.
    const float bound = std::isfinite(state.maxColourStep) ? state.maxColourStep : 1.0f;
    PaletteParameters& p = state.parameters;
    for (std::size_t i = 0; i < 3; ++i) {
        p.start[i] = std::min(ends[i], ends[i + 3]);
        p.stop[i] = std::max(ends[i], ends[i + 3]);
    }
    for (std::size_t i = 0; i < 3; ++i) {
        p.step[i] = static_cast<float>(static_cast<double>(bound) * random.nextUnit());
    }
}

} // namespace

std::uint16_t hueToRgb(std::uint16_t p, std::uint16_t q, std::uint16_t h)
{
    if (h > 254) {
        h = static_cast<std::uint16_t>(h - 254);
    }
    const long double hue = h;
    const long double pd = p;
    const long double qd = q;
    if (hue < kHls / 6.0L) {
        return roundTo16(pd + ((qd - pd) * hue + kHls / 12.0L) / (kHls / 6.0L));
    }
    if (hue < kHls / 2.0L) {
        return q;
    }
    if (hue < 2.0L * kHls / 3.0L) {
        return roundTo16(pd +
                         ((qd - pd) * (2.0L * kHls / 3.0L - hue) + kHls / 12.0L) / (kHls / 6.0L));
    }
    return p;
}

RgbChannels hlsToRgb(std::uint32_t packed)
{
    const auto hue = static_cast<long double>(packed & 0xFFu);
    const auto saturation = static_cast<long double>((packed >> 8) & 0xFFu);
    const auto luminance = static_cast<long double>((packed >> 16) & 0xFFu);
    const auto limit = [](std::uint16_t c) {
        return static_cast<std::int32_t>(std::min<std::uint16_t>(c, 255));
    };

    if (saturation == 0.0L) {
        const std::int32_t grey = limit(roundTo16(luminance * kRgb / kHls));
        return {grey, grey, grey};
    }
    const std::uint16_t m2 =
        luminance <= kHls / 2.0L
            ? roundTo16((luminance * (kHls + saturation) + kHls / 2.0L) / kHls)
            : roundTo16(luminance + saturation - (luminance * saturation + kHls / 2.0L) / kHls);
    const auto m1 = static_cast<std::uint16_t>(2u * ((packed >> 16) & 0xFFu) - m2);
    const auto scale = [](std::uint16_t c) {
        return roundTo16((static_cast<long double>(c) * kRgb + kHls / 2.0L) / kHls);
    };
    return {limit(scale(hueToRgb(m1, m2, roundTo16(hue + kHls / 3.0L)))),
            limit(scale(hueToRgb(m1, m2, roundTo16(hue)))),
            limit(scale(hueToRgb(m1, m2, roundTo16(hue - kHls / 3.0L))))};
}

void fillPalette(Palette& palette, const PaletteParameters& parameters,
                 const PaletteOptions& options, std::int64_t first)
{
    std::array<Channel, 3> channels{};
    for (std::size_t i = 0; i < 3; ++i) {
        channels[i] = Channel{parameters.start[i], parameters.step[i], parameters.stop[i]};
    }
    std::uint32_t* out = palette.entries.data() + first;
    for (std::int64_t n = 0; n < kGenerated; ++n) {
        std::int32_t c1 = channels[0].advance();
        std::int32_t c2 = channels[1].advance();
        std::int32_t c3 = channels[2].advance();
        if (options.inverse) {
            c1 = 255 & ~c1;
            c2 = 255 & ~c2;
            c3 = 255 & ~c3;
        }
        if (options.hsl) {
            const RgbChannels rgb = hlsToRgb(packClamped(c1, c2, c3));
            c1 = rgb.red;
            c2 = rgb.green;
            c3 = rgb.blue;
        }
        if (options.reverse) {
            const std::uint32_t q = packClamped(c1, c2, c3) ^ 0xFFFFFFu;
            c1 = static_cast<std::int32_t>(q & 0xFFu);
            c2 = static_cast<std::int32_t>((q >> 8) & 0xFFu);
            c3 = static_cast<std::int32_t>((q >> 16) & 0xFFu);
        }
        out[n] = packClamped(c1, c2, c3);
    }
    if (options.exp2) {
        applyExp2(palette);
    }
    if (options.exp3) {
        applyExp3(palette);
    }
}

void applyExp2(Palette& palette)
{
    mirrorLowerHalf(palette, 0u);
}

void applyExp3(Palette& palette)
{
    mirrorLowerHalf(palette, 0xFFFFFFu);
}

void generatePalette(PaletteContext& context, PaletteMode mode)
{
    std::int64_t first = 0;
    if (mode == PaletteMode::random) {
        context.state.randomPaletteFlag = true;
        context.palette.entries[0] = 0u;
        first = 1;
        drawRandomParameters(context.state, context.random);
    }
    fillPalette(context.palette, context.state.parameters, context.state.options, first);
    context.host.clearPictureFromImage();
}

void resetPaletteDefaults(PaletteContext& context)
{
    PaletteParameters& p = context.state.parameters;
    const bool smooth = (context.colourFlags & kSmoothColourFlag) != 0;
    if ((context.colourFlags & kColourByPotentialFlag) == 0) {
        p.step = {5.0f, 3.0f, 4.0f};
        if (!smooth) {
            p.start = {218.0f, 64.0f, 74.0f};
            p.stop = {255.0f, 169.0f, 194.0f};
        }
    } else {
        p.step = {1.0f, 1.0f, 1.0f};
        if (!smooth) {
            p.start = {12.0f, 164.0f, 127.0f};
            p.stop = {245.0f, 172.0f, 200.0f};
        }
    }
    context.state.randomPaletteFlag = false;
    generatePalette(context, PaletteMode::fromParameters);
    context.host.reopenPaletteDialog();
}

} // namespace qv
