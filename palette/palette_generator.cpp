// The palette generator.
#include "palette/palette_generator.h"

#include "base/round_half_even.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <emmintrin.h>

namespace qv {
namespace {

constexpr std::uint32_t kSmoothColourFlag = 1u << 1;
constexpr std::uint32_t kColourByPotentialFlag = 1u << 2;

constexpr std::int64_t kGenerated = Palette::kWrap; // entries one generation writes

// The HLS conversion's formulas divide by 254 and its thirds, sixths and twelfths. Each value
// is a fraction with denominator 3 or 254, so it is computed exactly in integers and rounded
// exactly, halves to even: binary floating point would turn the true halves of the formulas
// (such as 176.5) into values a hair off 0.5 and round about 2% of all colours one level
// off, differently in float, double and extended. Every numerator below is positive.
//
/// numerator / 254 rounded to the nearest integer, halves to even, kept in 16 bits like the
/// conversion's words.
inline std::uint16_t roundBy254(std::uint32_t numerator)
{
    const std::uint32_t quotient = numerator / 254;
    const std::uint32_t remainder = numerator - 254 * quotient;
    const std::uint32_t up = static_cast<std::uint32_t>(remainder > 127) |
                             (static_cast<std::uint32_t>(remainder == 127) & quotient);
    return static_cast<std::uint16_t>((quotient + up) & 0xFFFFu);
}

inline std::uint16_t hueLevel(std::uint16_t p, std::uint16_t q, std::uint16_t h)
{
    if (h > 254) {
        h = static_cast<std::uint16_t>(h - 254);
    }
    // The ramp's factor is chosen and the result picked without branches, which the varying
    // hues would mispredict. The arithmetic is modulo 2^32: where a ramp applies its numerator
    // is positive and below 2^25 (p's factor 254 - 6h, resp. 254 - 2 (508 - 3h), is not
    // negative), so q - p may wrap on the way; elsewhere the result is discarded.
    const std::uint32_t hh = h;
    const bool rises = 6 * hh < 254; // h < M/6: p + ((q - p) h + M/12) / (M/6)
    // otherwise, for M/2 <= h < 2M/3: p + ((q - p) (2M/3 - h) + M/12) / (M/6)
    const std::uint32_t factor = rises ? 6u * hh : 2u * (508u - 3u * hh);
    const std::uint16_t ramp =
        roundBy254(254u * p + 127u + (static_cast<std::uint32_t>(q) - p) * factor);
    return rises ? ramp : 2 * hh < 254 ? q : 3 * hh < 508 ? ramp : p;
}

/// What the conversion does at one hue argument: the level is the ramp between p and q with
/// this factor, q, or p.
struct HuePosition
{
    std::uint32_t factor = 0;
    enum class Level : std::uint8_t { Ramp, High, Low } level = Level::Low;
};

/// The parts of the conversion that depend on one byte only, worked out once: the three hue
/// arguments of every hue byte, and the scaling of every 16-bit level to a channel. What is
/// left per colour is m2 and one ramp per channel.
struct HlsTables
{
    std::array<std::array<HuePosition, 3>, 256> hues{};
    std::array<std::uint8_t, 65536> scaled{};
};

HuePosition huePosition(std::uint16_t h)
{
    if (h > 254) {
        h = static_cast<std::uint16_t>(h - 254);
    }
    const std::uint32_t hh = h;
    HuePosition position;
    if (6 * hh < 254) {
        position.factor = 6u * hh;
        position.level = HuePosition::Level::Ramp;
    } else if (2 * hh < 254) {
        position.level = HuePosition::Level::High;
    } else if (3 * hh < 508) {
        position.factor = 2u * (508u - 3u * hh);
        position.level = HuePosition::Level::Ramp;
    }
    return position;
}

HlsTables makeHlsTables()
{
    HlsTables t;
    for (std::uint32_t hue = 0; hue < 256; ++hue) {
        // H + M/3 and H - M/3 round to H + 85 and H - 85 (see hlsToRgb).
        t.hues[hue] = {huePosition(static_cast<std::uint16_t>(hue + 85)),
                       huePosition(static_cast<std::uint16_t>(hue)),
                       huePosition(static_cast<std::uint16_t>((hue - 85) & 0xFFFFu))};
    }
    for (std::uint32_t level = 0; level < 65536; ++level) {
        t.scaled[level] =
            static_cast<std::uint8_t>(std::min<std::uint16_t>(roundBy254(level * 255 + 127), 255));
    }
    return t;
}

const HlsTables& hlsTables()
{
    static const HlsTables tables = makeHlsTables();
    return tables;
}

/// hlsToRgb with the tables at hand, inlined into the generator's loop.
inline RgbChannels convertHls(const HlsTables& t, std::uint32_t packed)
{
    const std::uint32_t hue = packed & 0xFFu;
    const std::uint32_t saturation = (packed >> 8) & 0xFFu;
    const std::uint32_t luminance = (packed >> 16) & 0xFFu;

    if (saturation == 0) { // Lm R / M
        const auto grey =
            static_cast<std::int32_t>(std::min<std::uint16_t>(roundBy254(luminance * 255), 255));
        return {grey, grey, grey};
    }
    // Lm <= M/2: (Lm (M + S) + M/2) / M; otherwise Lm + S - (Lm S + M/2) / M.
    const std::uint16_t m2 =
        luminance <= 127
            ? roundBy254(luminance * (254 + saturation) + 127)
            : roundBy254(254 * (luminance + saturation) - luminance * saturation - 127);
    const auto m1 = static_cast<std::uint16_t>(2 * luminance - m2);
    // hueLevel(m1, m2, h), then (level R + M/2) / M, limited to 255. The ramp's arithmetic is
    // modulo 2^32 as in hueLevel; a ramp not chosen is discarded.
    const std::uint32_t base = 254u * m1 + 127u;
    const std::uint32_t rise = static_cast<std::uint32_t>(m2) - m1;
    const auto scale = [&](const HuePosition& h) {
        const std::uint16_t ramp = roundBy254(base + rise * h.factor);
        const std::uint16_t level = h.level == HuePosition::Level::Ramp   ? ramp
                                    : h.level == HuePosition::Level::High ? m2
                                                                          : m1;
        return static_cast<std::int32_t>(t.scaled[level]);
    };
    const std::array<HuePosition, 3>& positions = t.hues[hue];
    return {scale(positions[0]), scale(positions[1]), scale(positions[2])};
}

// The conversion of eight packed words at once, in the 16-bit lanes of SSE2 (which every
// x86-64 processor has). Its arithmetic is that of convertHls rearranged so that every
// intermediate value fits 16 bits, which holds unless m1 wraps (m2 > 2 luminance, which needs
// saturation 255); words where it wraps are converted one by one. The exhaustive test over
// all packed words holds the two conversions to the same results.
//
// With Y = luminance * saturation + 127 = 254 a + b (0 <= b < 254):
//   luminance <= 127: m2 = (254 luminance + Y) / 254 rounded: quotient luminance + a, rest b;
//   otherwise: m2 = (254 (luminance + saturation) - Y) / 254 rounded: luminance +
//   saturation - a if b = 0, else quotient luminance + saturation - a - 1, rest 254 - b.
// A ramp's numerator 254 m1 + 127 + (m2 - m1) factor is 254 m1 + 254 x / 127 + 127 for
// x = (m2 - m1) factor / 2 (factors are even), so the level is m1 + floor(x / 127) + 1,
// except that where 127 divides x the true value lies on a half and goes to the even one of
// that and one less. |m2 - m1| <= 256 and factor / 2 <= 127 keep |x| below 2^15.

using Lanes = __m128i;

Lanes select(Lanes mask, Lanes ifSet, Lanes otherwise)
{
    return _mm_or_si128(_mm_and_si128(mask, ifSet), _mm_andnot_si128(mask, otherwise));
}

Lanes constant(std::int16_t v)
{
    return _mm_set1_epi16(v);
}

/// Unsigned 16-bit lanes divided by 127, rounded down (a multiply by 2^23 / 127, rounded up,
/// split so that its factor fits 16 bits).
Lanes divideBy127(Lanes y)
{
    const Lanes t = _mm_mulhi_epu16(y, constant(517));
    return _mm_srli_epi16(_mm_add_epi16(_mm_srli_epi16(_mm_sub_epi16(y, t), 1), t), 6);
}

/// The channel for hue argument `hue` between the levels m1 and m2 (lanes that do not wrap):
/// the level at that argument, scaled to 0..255. A scaled level is 0 for level 0, level + 1
/// up to 254 and 255 above: (level 255 + 127) / 254 rounded, worked out.
Lanes hueChannel(Lanes hue, Lanes m1, Lanes m2)
{
    const Lanes zero = _mm_setzero_si128();
    // Past 254 the argument comes round once; a negative one (hue - 85) selects m1.
    const Lanes h =
        _mm_sub_epi16(hue, _mm_and_si128(_mm_cmpgt_epi16(hue, constant(254)), constant(254)));
    const Lanes valid = _mm_cmpgt_epi16(h, constant(-1));
    const Lanes rises = _mm_and_si128(valid, _mm_cmplt_epi16(h, constant(43)));
    const Lanes high =
        _mm_andnot_si128(rises, _mm_and_si128(valid, _mm_cmplt_epi16(h, constant(127))));
    const Lanes ramp = _mm_or_si128(
        rises, _mm_andnot_si128(high, _mm_and_si128(valid, _mm_cmplt_epi16(h, constant(170)))));
    const Lanes h3 = _mm_add_epi16(h, _mm_add_epi16(h, h));
    const Lanes halfFactor = select(rises, h3, _mm_sub_epi16(constant(508), h3));
    const Lanes x = _mm_mullo_epi16(_mm_sub_epi16(m2, m1), halfFactor);
    const Lanes shifted = _mm_add_epi16(x, constant(127 * 256)); // 0..65024 as unsigned
    const Lanes whole = divideBy127(shifted);
    const Lanes onHalf =
        _mm_cmpeq_epi16(_mm_sub_epi16(shifted, _mm_mullo_epi16(whole, constant(127))), zero);
    const Lanes above = _mm_add_epi16(m1, _mm_sub_epi16(whole, constant(255)));
    const Lanes rampLevel =
        _mm_sub_epi16(above, _mm_and_si128(onHalf, _mm_and_si128(above, constant(1))));
    const Lanes level = select(ramp, rampLevel, select(high, m2, m1));
    return _mm_add_epi16(_mm_min_epi16(_mm_add_epi16(level, constant(1)), constant(255)),
                         _mm_cmpeq_epi16(level, zero));
}

/// Converts words[0..7]; false if a word needs the conversion one by one (and then the words
/// are left as they were).
bool convertEightHls(std::uint32_t* words, bool reverse)
{
    const Lanes low4 = _mm_loadu_si128(reinterpret_cast<const Lanes*>(words));
    const Lanes high4 = _mm_loadu_si128(reinterpret_cast<const Lanes*>(words + 4));
    const Lanes byte = _mm_set1_epi32(0xFF);
    const auto bytesAt = [&](int shift) {
        return _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(low4, shift), byte),
                               _mm_and_si128(_mm_srli_epi32(high4, shift), byte));
    };
    const Lanes luminance = bytesAt(16);
    const Lanes saturation = bytesAt(8);
    const Lanes hue = bytesAt(0);
    const Lanes zero = _mm_setzero_si128();
    const Lanes one = constant(1);

    const Lanes y = _mm_add_epi16(_mm_mullo_epi16(luminance, saturation), constant(127));
    const Lanes a = divideBy127(_mm_srli_epi16(y, 1));
    const Lanes b = _mm_sub_epi16(y, _mm_mullo_epi16(a, constant(254)));
    const Lanes upper = _mm_cmpgt_epi16(luminance, constant(127));
    const Lanes bZero = _mm_cmpeq_epi16(b, zero);
    const Lanes quotient = select(
        upper,
        _mm_sub_epi16(_mm_sub_epi16(_mm_sub_epi16(_mm_add_epi16(luminance, saturation), a), one),
                      bZero),
        _mm_add_epi16(luminance, a));
    const Lanes rest = select(upper, _mm_andnot_si128(bZero, _mm_sub_epi16(constant(254), b)), b);
    const Lanes up =
        _mm_or_si128(_mm_cmpgt_epi16(rest, constant(127)),
                     _mm_and_si128(_mm_cmpeq_epi16(rest, constant(127)),
                                   _mm_cmpeq_epi16(_mm_and_si128(quotient, one), one)));
    const Lanes m2 = _mm_sub_epi16(quotient, up);
    const Lanes twiceL = _mm_add_epi16(luminance, luminance);
    if (_mm_movemask_epi8(_mm_cmpgt_epi16(m2, twiceL)) != 0) {
        return false;
    }
    const Lanes m1 = _mm_sub_epi16(twiceL, m2);

    Lanes red = hueChannel(_mm_add_epi16(hue, constant(85)), m1, m2);
    Lanes green = hueChannel(hue, m1, m2);
    Lanes blue = hueChannel(_mm_sub_epi16(hue, constant(85)), m1, m2);
    // Saturation 0: grey = (luminance 255) / 254 rounded, limited to 255: luminance up to
    // 126, one more from 127 on.
    const Lanes grey = _mm_min_epi16(
        _mm_sub_epi16(luminance, _mm_cmpgt_epi16(luminance, constant(126))), constant(255));
    const Lanes greyLanes = _mm_cmpeq_epi16(saturation, zero);
    red = select(greyLanes, grey, red);
    green = select(greyLanes, grey, green);
    blue = select(greyLanes, grey, blue);
    if (reverse) { // red and blue swapped, all three complemented
        const Lanes mask = constant(0xFF);
        const Lanes t = red;
        red = _mm_xor_si128(blue, mask);
        green = _mm_xor_si128(green, mask);
        blue = _mm_xor_si128(t, mask);
    }
    const Lanes greenBlue = _mm_or_si128(_mm_slli_epi16(green, 8), blue);
    _mm_storeu_si128(reinterpret_cast<Lanes*>(words), _mm_unpacklo_epi16(greenBlue, red));
    _mm_storeu_si128(reinterpret_cast<Lanes*>(words + 4), _mm_unpackhi_epi16(greenBlue, red));
    return true;
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

/// One word as convertEightHls converts eight.
std::uint32_t convertOneHls(const HlsTables& t, std::uint32_t word, bool reverse)
{
    const RgbChannels rgb = convertHls(t, word);
    return reverse ? packClamped(255 - rgb.blue, 255 - rgb.green, 255 - rgb.red)
                   : packClamped(rgb.red, rgb.green, rgb.blue);
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
    // Entry i becomes entry 262143 - i for every i from 0 upwards. Past the middle that entry
    // has already been rewritten from entry i itself (mask applied twice), so the upper half
    // ends as it was and only the lower half needs writing.
    auto& e = palette.entries;
    constexpr auto kLast = static_cast<std::size_t>(kGenerated) - 1;
    for (std::size_t i = 0; i < static_cast<std::size_t>(kGenerated) / 2; ++i) {
        e[i] = e[kLast - i] ^ mask;
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
    return hueLevel(p, q, h);
}

RgbChannels hlsToRgb(std::uint32_t packed)
{
    return convertHls(hlsTables(), packed);
}

void hlsToRgbWords(std::span<std::uint32_t> words, bool reverse)
{
    const HlsTables& tables = hlsTables();
    std::size_t i = 0;
    for (; i + 8 <= words.size(); i += 8) {
        if (!convertEightHls(words.data() + i, reverse)) {
            for (std::size_t k = i; k < i + 8; ++k) {
                words[k] = convertOneHls(tables, words[k], reverse);
            }
        }
    }
    for (; i < words.size(); ++i) {
        words[i] = convertOneHls(tables, words[i], reverse);
    }
}

void fillPalette(Palette& palette, const PaletteParameters& parameters,
                 const PaletteOptions& options, std::int64_t first)
{
    assert(first == 0 || first == 1);
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
        if (options.reverse && !options.hsl) {
            const std::uint32_t q = packClamped(c1, c2, c3) ^ 0xFFFFFFu;
            c1 = static_cast<std::int32_t>(q & 0xFFu);
            c2 = static_cast<std::int32_t>((q >> 8) & 0xFFu);
            c3 = static_cast<std::int32_t>((q >> 16) & 0xFFu);
        }
        out[n] = packClamped(c1, c2, c3);
    }
    if (options.hsl) {
        // The packed HLS words are converted all at once, Reverse with them.
        hlsToRgbWords({out, static_cast<std::size_t>(kGenerated)}, options.reverse);
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
    if (mode == PaletteMode::Random) {
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
    generatePalette(context, PaletteMode::FromParameters);
    context.host.reopenPaletteDialog();
}

} // namespace qv
