// Pixel colouring: the formulas of the 28 drawing modes, the shading and inside steps, the colour
// pass over the iteration buffer and the building of the picture.
//
// Precision: every sum and product is formed in 80-bit extended and rounded only once, by the
// final conversion to an integer; the natural logarithm, arctangent, sine, cosine and square root
// take and return double (their argument is rounded to double first), the shading's base-2
// logarithm stays extended, and the per-pass constants are 32-bit floats. Comparisons of A and B
// use the stored floats. A NaN or an out-of-range value rounds to INT32_MIN, so a masked index
// becomes 0 and a shaded channel 255.
#include "engine/colouring.h"

#include "base/round_half_even.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <emmintrin.h>
#include <limits>
#include <numbers>
#include <vector>

namespace qv {
namespace {

using Ext = long double;

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr std::int32_t kIndexMask = 262143;

Ext ext(float v)
{
    return static_cast<Ext>(v);
}

Ext ext(double v)
{
    return static_cast<Ext>(v);
}

Ext ext(std::int64_t v)
{
    return static_cast<Ext>(v);
}

Ext ln(Ext x)
{
    return ext(std::log(static_cast<double>(x)));
}

Ext atn(Ext x)
{
    return ext(std::atan(static_cast<double>(x)));
}

Ext sine(Ext x)
{
    return ext(std::sin(static_cast<double>(x)));
}

Ext cosine(Ext x)
{
    return ext(std::cos(static_cast<double>(x)));
}

Ext sqr(Ext x)
{
    return ext(std::sqrt(static_cast<double>(x)));
}

/// Round, then keep the lowest 18 bits (two's complement for negative values).
std::int32_t mask(Ext x)
{
    return roundHalfEven(x) & kIndexMask;
}

/// An index that is not masked stays as it is unless it is negative: a negative value would
/// read as a finished colour, so it is wrapped into the table like any index past its end.
std::int32_t unmaskedIndex(std::int64_t v)
{
    return v >= 0 ? static_cast<std::int32_t>(std::min<std::int64_t>(v, INT32_MAX))
                  : static_cast<std::int32_t>(v & kIndexMask);
}

/// A channel value from round(x), 255 when it is 255 or more or negative (NaN included).
std::int32_t channel(Ext x)
{
    const std::int32_t c = roundHalfEven(x);
    return (c >= 255 || c < 0) ? 255 : c;
}

std::int32_t finishedColour(std::int32_t blue, std::int32_t green, std::int32_t red)
{
    return -(blue + 256 * green + 65536 * red);
}

std::int32_t insideStep(const ColourConstants& c, float a, float b, bool insideIndex)
{
    const Ext va = ext(a);
    const Ext vb = ext(b);
    if (c.insideColour) {
        const std::int32_t blue = channel((sine(5 * va) + 1) * 127);
        const std::int32_t green = channel((sine(5 * vb) + 1) * 127);
        const std::int32_t red = channel((sine((vb * vb + va * va) / 2) + 1) * 127);
        return finishedColour(blue, green, red);
    }
    if (insideIndex) {
        const float q = static_cast<float>(va * va + vb * vb);
        return mask(ext(q - std::trunc(q)) * 900);
    }
    return 0;
}

/// The shade of one channel value from the factor f, as the extended product rounds it.
std::int32_t exactShade(std::uint32_t value, Ext f)
{
    return channel(ext(std::int64_t{value}) * f);
}

/// How far from a half, relative to the size of the products, a double product must lie for
/// its rounding to be that of the extended one. The double logarithm and products are within
/// a few units of 2^-52 of the extended ones, so this leaves a margin of over 2^25 of them,
/// and only a few pixels in ten thousand need the extended logarithm.
constexpr double kShadeMargin = 0x1p-24;

/// Added and subtracted, it turns a double below 2^51 in magnitude into an integer near it
/// without a branch; the caller checks that it is the nearest one.
constexpr double kRoundingShift = 0x1.8p52;

/// The three shades (blue, green, red) from log2s, log2(s) in double, when every product lies
/// clearly away from a rounding boundary; false when one does not, or when s is not a
/// positive finite number, and then `shades` means nothing. Branch-free per channel: the
/// fractions are random, so branches on them would be mispredicted half the time.
bool quickShades(const ColourConstants& c, const std::uint32_t (&values)[3], float s, double log2s,
                 std::int32_t (&shades)[3])
{
    if (!(s > 0.0f && s < std::numeric_limits<float>::infinity())) {
        return false;
    }
    const double slopeLog = static_cast<double>(c.shadeSlope) * log2s;
    const double base = static_cast<double>(c.shadeBase);
    const double f = slopeLog + base;
    if (!(std::fabs(f) < 1e6)) { // keeps every product within the shift's and int32's range
        return false;
    }
    const double limit =
        0.5 - kShadeMargin * (1.0 + 255.0 * (std::fabs(slopeLog) + std::fabs(base)));
    bool clear = true;
    for (std::size_t k = 0; k < 3; ++k) {
        const double product = static_cast<double>(values[k]) * f;
        const double nearest = (product + kRoundingShift) - kRoundingShift;
        clear = clear && std::fabs(product - nearest) < limit;
        const auto rounded = static_cast<std::int32_t>(nearest);
        shades[k] = static_cast<std::uint32_t>(rounded) >= 255u ? 255 : rounded;
    }
    return clear;
}

/// The channel values blue, green and red of a colour.
void channelsOf(std::uint32_t colour, std::uint32_t (&values)[3])
{
    values[0] = colour & 0xFFu;
    values[1] = (colour >> 8) & 0xFFu;
    values[2] = colour >> 16;
}

/// The shades from the extended logarithm, for the pixels quickShades cannot decide.
[[gnu::noinline]] std::int32_t exactShades(const ColourConstants& c,
                                           const std::uint32_t (&values)[3], float s)
{
    const Ext f = ext(c.shadeSlope) * std::log2(ext(s)) + ext(c.shadeBase);
    return finishedColour(exactShade(values[0], f), exactShade(values[1], f),
                          exactShade(values[2], f));
}

/// The colour of index v scaled by f = shadeSlope * log2(s) + shadeBase, formed in extended.
/// The extended base-2 logarithm costs more than all the rest of a pixel, so it is taken only
/// where a cheaper double one, log2s, cannot decide a channel's rounding; the results are the
/// same.
std::int32_t shadingStep(const ColourConstants& c, const Palette& palette, std::int32_t v, float s,
                         double log2s)
{
    std::uint32_t values[3] = {};
    channelsOf(palette.colourAt(std::int64_t{c.paletteOffset} + v), values);
    std::int32_t shades[3] = {};
    if (!quickShades(c, values, s, log2s, shades)) {
        return exactShades(c, values, s);
    }
    return finishedColour(shades[0], shades[1], shades[2]);
}

/// How far from a half, relative to 1 + 255 |f|, a product formed in float must lie for its
/// rounding to be that of the extended one: f rounded to float and the float product are each
/// within 2^-24 of their size, so the product within 2^-23 (255 |f|) of the extended one; the
/// double logarithm's few units of 2^-52 add far less than the 2^-22 that the 1 allows.
constexpr float kFloatShadeMargin = 0x1p-22f;

/// Added and subtracted in float, it rounds a value below 2^22 in magnitude to an integer.
constexpr float kFloatRoundingShift = 0x1.8p23f;

/// The quick shades of `count` pixels (a multiple of four) at once, four to a register, with
/// the products in float: where shaded[j] is set (all bits) and the products are clear of a
/// rounding boundary by the float margin, values[j] becomes the finished colour from
/// colours[j] and log2s[j]; where it is set and they are not, pending[j] is set instead and
/// values[j] left. Returns whether any pixel is pending. Written with SSE2, which every x86-64
/// processor has, because the compiler vectorises no such loop while floating-point
/// comparisons may trap. Every comparison is false for NaN, so an s that is not a positive
/// finite number, whose f is infinite or NaN, is pending.
bool quickShadesOfBlock(const ColourConstants& c, const std::uint32_t* colours, const double* log2s,
                        const std::int32_t* shaded, std::int32_t* values, std::int32_t* pending,
                        std::size_t count)
{
    const __m128d slopes = _mm_set1_pd(static_cast<double>(c.shadeSlope));
    const __m128d bases = _mm_set1_pd(static_cast<double>(c.shadeBase));
    const __m128 absMask = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    // limit = 0.5 - margin (1 + 255 |f|) = limit0 - limitSlope |f|
    const __m128 limit0 = _mm_set1_ps(0.5f - kFloatShadeMargin);
    const __m128 limitSlope = _mm_set1_ps(kFloatShadeMargin * 255.0f);
    const __m128 shift = _mm_set1_ps(kFloatRoundingShift);
    const __m128 fBound = _mm_set1_ps(1e4f); // keeps 255 |f| below 2^22
    const __m128i byte = _mm_set1_epi32(0xFF);
    const __m128i signBit = _mm_set1_epi16(static_cast<std::int16_t>(0x8000));
    const __m128i saturation = _mm_set1_epi16(static_cast<std::int16_t>(0x8000 + 255));
    const __m128i zero = _mm_setzero_si128();
    // min(unsigned value, 255) in 16-bit lanes, so that a negative value is 255: the sign
    // flips make the signed minimum an unsigned one.
    const auto saturate = [&](__m128i words) {
        return _mm_xor_si128(_mm_min_epi16(_mm_xor_si128(words, signBit), saturation), signBit);
    };

    __m128i anyPending = zero;
    for (std::size_t j = 0; j < count; j += 4) {
        // f in double, then in float.
        const __m128d fLow = _mm_add_pd(_mm_mul_pd(slopes, _mm_loadu_pd(log2s + j)), bases);
        const __m128d fHigh = _mm_add_pd(_mm_mul_pd(slopes, _mm_loadu_pd(log2s + j + 2)), bases);
        const __m128 f = _mm_movelh_ps(_mm_cvtpd_ps(fLow), _mm_cvtpd_ps(fHigh));
        const __m128 absF = _mm_and_ps(f, absMask);
        const __m128 limit = _mm_sub_ps(limit0, _mm_mul_ps(limitSlope, absF));
        __m128 clear = _mm_cmplt_ps(absF, fBound);
        const __m128i colour = _mm_loadu_si128(reinterpret_cast<const __m128i*>(colours + j));
        __m128i rounded[3];
        for (int k = 0; k < 3; ++k) {
            const __m128i value = _mm_and_si128(_mm_srli_epi32(colour, 8 * k), byte);
            const __m128 product = _mm_mul_ps(_mm_cvtepi32_ps(value), f);
            const __m128 nearest = _mm_sub_ps(_mm_add_ps(product, shift), shift);
            clear = _mm_and_ps(
                clear, _mm_cmplt_ps(_mm_and_ps(_mm_sub_ps(product, nearest), absMask), limit));
            // Out of range (only where f is not clear) the conversion gives INT32_MIN.
            rounded[k] = _mm_cvttps_epi32(nearest);
        }
        // The signed saturation of the packs keeps min(unsigned value, 255).
        const __m128i blueGreen = saturate(_mm_packs_epi32(rounded[0], rounded[1]));
        const __m128i reds = saturate(_mm_packs_epi32(rounded[2], rounded[2]));
        // Bytes b0..b3 g0..g3 r0..r3 to the four pixels' words 0x00RRGGBB.
        const __m128i bytes = _mm_packus_epi16(blueGreen, reds);
        const __m128i lowWords = _mm_unpacklo_epi8(bytes, _mm_srli_si128(bytes, 4));
        const __m128i redWords = _mm_unpacklo_epi8(_mm_srli_si128(bytes, 8), zero);
        const __m128i shades = _mm_unpacklo_epi16(lowWords, redWords);
        const __m128i decided = _mm_castps_si128(clear);
        const __m128i shade = _mm_loadu_si128(reinterpret_cast<const __m128i*>(shaded + j));
        const __m128i take = _mm_and_si128(shade, decided);
        const __m128i wait = _mm_andnot_si128(decided, shade);
        const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + j));
        const __m128i result = _mm_or_si128(_mm_and_si128(take, _mm_sub_epi32(zero, shades)),
                                            _mm_andnot_si128(take, old));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(values + j), result);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pending + j), wait);
        anyPending = _mm_or_si128(anyPending, wait);
    }
    return _mm_movemask_epi8(anyPending) != 0;
}

/// The index of modes 3..25. Integer parts are formed in 64 bits so that no count can overflow
/// them; their low bits equal those of 32-bit arithmetic.
std::int32_t modeIndex(const ColourConstants& c, std::int32_t count, float a, float b)
{
    const std::int64_t n = count;
    const std::int64_t iterMax = c.iterMax;
    const Ext vn = ext(n);
    const Ext va = ext(a);
    const Ext vb = ext(b);
    const Ext twoPi = ext(kTwoPi);
    const Ext k1 = ext(c.k1);
    const Ext invLn2 = ext(c.invLn2);
    const Ext p = ext(c.potScale);
    const Ext bailout = ext(c.bailout);
    const bool bBelowA = b < a;

    switch (c.drawingMode) {
    case 3:
        return mask(vn + va);
    case 4:
        return mask(ext((n & 1023) + 400) * (atn(va) / twoPi + 0.5L));
    case 5:
        return mask(ext((n & 1023) + 100) * (atn(va) / twoPi + 0.5L));
    case 6:
        return mask(ext((n & 1023) + 100) * (atn(sine(vb) * va) / twoPi + 0.5L));
    case 7:
        return mask(ext((n + 100) & 1023) * (cosine(sine(va) * vb) / twoPi + 0.5L));
    case 8:
        return mask(ext((n + 100) & 1023) * (cosine(sine(cosine(vb) + va) + vb) / twoPi + 0.5L));
    case 9: {
        const std::int64_t r = roundHalfEven(std::fabs(cosine(va) * bailout) + vb + va);
        return static_cast<std::int32_t>((r + iterMax - n) & kIndexMask);
    }
    case 10:
        return mask(ext((n + 100) & 1023) * (atn(va * vb) / twoPi + 0.5L));
    case 11: {
        const std::int32_t v = mask(atn(2 * va) * atn(2 * vb) * ext(((iterMax - n) & 63) + 10) + 1);
        return v == 0 ? 1 : v;
    }
    case 12:
        return mask(((k1 + vn) - ln(ln(vb * va + vb + va)) * invLn2) * p);
    case 13:
        return mask(ext((iterMax - n) & 1023) * (atn((bailout - va) * vb * va) / twoPi + 0.75L));
    case 14:
        return mask((atn(sine(vb / twoPi) * va * vb) / twoPi + 0.75L) * p * 10);
    case 15: {
        const std::int32_t v = mask(5 * atn(vb / va) * p);
        return v == 0 ? 1 : v;
    }
    case 16:
        return mask(ext((iterMax - n + 1) & 1023) * (cosine(va - vb) / twoPi + 0.75L));
    case 17:
        return mask(ext((iterMax - n + 1) & 127) * (atn(vb - va) / twoPi + 0.75L));
    case 18:
        return mask(128 * sqr(ln(ln(vb + va) + va) / (va + vn)) + vn);
    case 19:
        return mask(ln(ln(2 * va)) * 12 + ext(iterMax) - vn);
    case 20:
        return bBelowA ? unmaskedIndex(n) : unmaskedIndex(iterMax - n);
    case 21:
        return mask(((k1 + vn) - ln(ln(vb * va)) * invLn2) * p);
    case 22:
        return bBelowA ? mask(2 * bailout + vn + vb + va) : unmaskedIndex(iterMax - n);
    case 23:
        return bBelowA ? mask(2 * (vb + va) + vn - vb) : unmaskedIndex(n);
    case 24:
        return bBelowA ? mask(ext((n + 100) & 1023) * (atn(vb) / twoPi + 0.5L)) : mask(vn + va);
    case 25:
        return bBelowA ? mask(((k1 + vn) - ln(ln(vb + va)) * invLn2) * p)
                       : mask((vn - ln(ln(vb + va)) * invLn2) * p);
    default:
        return unmaskedIndex(n);
    }
}

bool usesModeFormula(std::int32_t drawingMode)
{
    return drawingMode >= 3 && drawingMode <= 25;
}

/// A pixel's value before the shading: a colour index or a finished colour, whether the
/// shading applies to it, and then log2(s) in double.
struct Unshaded
{
    std::int32_t value = 0;
    bool shaded = false;
    double log2s = 0.0;
};

inline Unshaded unshadedPixel(const ColourConstants& c, std::int32_t n, float a, float b)
{
    const float s = a + b;
    std::int32_t v = 0;
    if (usesModeFormula(c.drawingMode)) {
        if (n == 0 && !c.formulaForAll) {
            return {insideStep(c, a, b, c.insideIndex)};
        }
        v = modeIndex(c, n, a, b);
    } else {
        if (n == 0) {
            return {insideStep(c, a, b, false)};
        }
        if (c.colourByPotential) {
            // The logarithms first: an extended value live across their calls would be
            // spilled and reloaded in 80 bits for every pixel. ln(s) serves the shading too.
            const double lnS = std::log(static_cast<double>(s));
            const Ext lnLnS = ext(std::log(lnS));
            v = mask(((ext(c.k1) + ext(std::int64_t{n})) - lnLnS * ext(c.invLn2)) *
                     ext(c.potScale));
            return {v, c.smoothColour, lnS * std::numbers::log2e};
        }
        v = unmaskedIndex(n);
    }
    return {v, c.smoothColour, c.smoothColour ? std::log2(static_cast<double>(s)) : 0.0};
}

/// Pixels per block of the shaded pass: its arrays stay in the first-level cache.
constexpr std::size_t kShadeBlock = 256;

/// The colour pass with smooth colour over entries begin..end - 1, a block at a time: first
/// every pixel's unshaded value, then the palette colours, then the quick shades of the whole
/// block four pixels at a time without branches, so that the long latencies of one pixel's
/// index, lookup and products do not stall the next; the extended logarithm only for the
/// pixels left pending. Returns how many of the pixels did not escape.
std::int64_t shadedPass(const ColourConstants& c, const Palette& palette, std::int32_t* counts,
                        const float* a, const float* b, std::size_t begin, std::size_t end)
{
    const std::int64_t offset = c.paletteOffset;
    // Up to three entries more than a block, for the last group of four.
    constexpr std::size_t kRoom = kShadeBlock + 3;
    std::int32_t values[kRoom];
    std::int32_t shaded[kRoom];
    std::uint32_t colours[kRoom];
    double log2s[kRoom];
    std::int32_t pending[kRoom];
    std::int64_t inside = 0;
    for (std::size_t first = begin; first < end; first += kShadeBlock) {
        const std::size_t count = std::min(kShadeBlock, end - first);
        std::int32_t* out = counts + first;
        for (std::size_t j = 0; j < count; ++j) {
            inside += out[j] == 0 ? 1 : 0;
            const Unshaded u = unshadedPixel(c, out[j], a[first + j], b[first + j]);
            values[j] = u.value;
            shaded[j] = u.shaded ? -1 : 0;
            log2s[j] = u.log2s;
        }
        // The lookups apart, where they do not wait for the index of their own pixel. Values
        // left unshaded may be finished colours; colourAt reads inside the table for them too.
        for (std::size_t j = 0; j < count; ++j) {
            colours[j] = palette.colourAt(offset + values[j]);
        }
        const std::size_t groups = (count + 3) / 4 * 4;
        for (std::size_t j = count; j < groups; ++j) { // not shaded, never read
            values[j] = 0;
            shaded[j] = 0;
            colours[j] = 0u;
            log2s[j] = 0.0;
        }
        if (quickShadesOfBlock(c, colours, log2s, shaded, values, pending, groups)) {
            for (std::size_t j = 0; j < count; ++j) {
                if (pending[j] != 0) {
                    std::uint32_t channels[3] = {};
                    channelsOf(colours[j], channels);
                    values[j] = exactShades(c, channels, a[first + j] + b[first + j]);
                }
            }
        }
        std::copy(values, values + count, out);
    }
    return inside;
}

} // namespace

ColourConstants prepareColouring(const ColourSettings& settings)
{
    ColourConstants c;
    c.drawingMode = settings.drawingMode;
    c.insideColour = (settings.colourFlags & ColourSettings::kInsideColour) != 0;
    c.smoothColour = (settings.colourFlags & ColourSettings::kSmoothColour) != 0;
    c.colourByPotential = (settings.colourFlags & ColourSettings::kColourByPotential) != 0;
    c.insideIndex = hasInsideIndex(settings.drawingMode);
    c.formulaForAll =
        settings.drawingMode == 13 || settings.drawingMode == 15 || settings.drawingMode == 17;
    c.iterMax = settings.iterMax;
    c.paletteOffset = settings.paletteOffset;
    c.bailout = settings.bailout;
    c.invLn2 = std::numbers::log2e_v<float>;
    c.k1 = static_cast<float>(ln(ln(ln(ext(settings.bailout)))) * ext(c.invLn2));
    c.potScale = static_cast<float>(ext(settings.potValue) * 262144);
    const bool lateModes = settings.drawingMode >= 26;
    c.shadeSlope = lateModes ? 0.06f : 0.1f;
    c.shadeBase = lateModes ? 0.0f : 1.0f;
    return c;
}

bool hasInsideIndex(std::int32_t drawingMode)
{
    switch (drawingMode) {
    case 3:
    case 5:
    case 6:
    case 20:
    case 22:
    case 23:
    case 24:
        return true;
    default:
        return false;
    }
}

std::int32_t colourPixel(const ColourConstants& c, const Palette& palette, std::int32_t n, float a,
                         float b)
{
    const Unshaded u = unshadedPixel(c, n, a, b);
    return u.shaded ? shadingStep(c, palette, u.value, a + b, u.log2s) : u.value;
}

std::int64_t colourPass(IterationBuffer& iterations, const ColourSettings& settings,
                        const Palette& palette)
{
    return colourPass(iterations, settings, palette, 0, iterations.height - 1);
}

std::int64_t colourPass(IterationBuffer& iterations, const ColourSettings& settings,
                        const Palette& palette, std::int32_t firstRow, std::int32_t lastRow)
{
    firstRow = std::max(firstRow, 0);
    lastRow = std::min(lastRow, iterations.height - 1);
    if (iterations.width <= 0 || firstRow > lastRow) {
        return 0;
    }
    const std::size_t begin = iterations.at(0, firstRow);
    const std::size_t end = std::min({iterations.at(0, lastRow + 1), iterations.counts.size(),
                                      iterations.a.size(), iterations.b.size()});
    const ColourConstants constants = prepareColouring(settings);
    std::int32_t* counts = iterations.counts.data();
    const float* a = iterations.a.data();
    const float* b = iterations.b.data();
    if (constants.smoothColour) {
        return shadedPass(constants, palette, counts, a, b, begin, end);
    }
    std::int64_t inside = 0;
    for (std::size_t i = begin; i < end; ++i) {
        inside += counts[i] == 0 ? 1 : 0;
        counts[i] = unshadedPixel(constants, counts[i], a[i], b[i]).value; // nothing is shaded
    }
    return inside;
}

std::int32_t countColours(const PictureBuffer& picture)
{
    // One bit per 24-bit colour: 2 MB, cleared and scanned faster than sorting a large
    // picture's pixels.
    std::vector<std::uint64_t> seen(std::size_t{1} << 18, 0);
    std::int32_t distinct = 0;
    for (const std::uint32_t pixel : picture.pixels) {
        const std::uint32_t colour = pixel & 0x00FFFFFFu;
        std::uint64_t& word = seen[colour >> 6];
        const std::uint64_t bit = std::uint64_t{1} << (colour & 63u);
        distinct += (word & bit) == 0 ? 1 : 0;
        word |= bit;
    }
    return distinct;
}

std::uint32_t colourOfValue(std::int32_t v, const Palette& palette, std::int32_t paletteOffset)
{
    if (v >= 0) {
        return palette.colourAt(std::int64_t{paletteOffset} + v);
    }
    // Negated in unsigned arithmetic: a value from a damaged file may be INT32_MIN.
    return (0u - static_cast<std::uint32_t>(v)) & 0x00FFFFFFu;
}

void applyEntryZeroRule(Palette& palette, std::int32_t drawingMode)
{
    if (!hasInsideIndex(drawingMode)) {
        palette.entries[0] = 0u;
    }
}

void buildPicture(PictureBuffer& picture, const IterationBuffer& iterations, Palette& palette,
                  std::int32_t drawingMode, std::int32_t paletteOffset)
{
    applyEntryZeroRule(palette, drawingMode);
    picture.width = std::max(iterations.width, 0);
    picture.height = std::max(iterations.height, 0);
    const std::size_t size =
        static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height);
    picture.pixels.resize(size);
    const std::size_t filled = std::min(size, iterations.counts.size());
    for (std::size_t i = 0; i < filled; ++i) {
        picture.pixels[i] = colourOfValue(iterations.counts[i], palette, paletteOffset);
    }
    std::fill(picture.pixels.begin() + static_cast<std::ptrdiff_t>(filled), picture.pixels.end(),
              0u);
}

} // namespace qv
