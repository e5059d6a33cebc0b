// Pixel colouring: the drawing-mode formulas, the shading and inside steps, and the picture.
#include "engine/colouring.h"
#include "engine/iteration_buffer.h"
#include "engine/picture_buffer.h"
#include "palette/palette.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <numbers>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace qv {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr std::int32_t kIterMax = 2000;
constexpr double kBailout = 128.0;
constexpr std::uint32_t kInside = ColourSettings::kInsideColour;
constexpr std::uint32_t kSmooth = ColourSettings::kSmoothColour;
constexpr std::uint32_t kPotential = ColourSettings::kColourByPotential;
const float kNaN = std::numeric_limits<float>::quiet_NaN();

// The per-pass constants as the definitions give them, as 32-bit floats.
const double kInvLn2 = static_cast<float>(1.0 / std::log(2.0));
const double kK1 = static_cast<float>(std::log(std::log(std::log(kBailout))) * kInvLn2);
const double kP = static_cast<float>(0.0001 * 262144.0);

/// Nearest integer, halves to even, in int64; flags values whose rounding the test cannot
/// decide in double (a near-half that is not an exact half).
std::int64_t refRound(double x)
{
    const double frac = std::fabs(x - std::trunc(x));
    if (frac != 0.5 && std::fabs(frac - 0.5) < 1e-6) {
        ADD_FAILURE() << "reference value " << x << " lies too close to a half";
    }
    return static_cast<std::int64_t>(std::nearbyint(x));
}

/// Round, then the lowest 18 bits; NaN and values outside int32 give 0.
std::int32_t refMask(double x)
{
    if (!(x > -2147483648.5 && x < 2147483647.5)) {
        return 0;
    }
    return static_cast<std::int32_t>(refRound(x) & 262143);
}

/// The inside index: fraction of A^2 + B^2 (as a float) times 900, masked.
std::int32_t refInsideIndex(float a, float b)
{
    const float q = static_cast<float>(double{a} * a + double{b} * b);
    return refMask((double{q} - std::trunc(double{q})) * 900.0);
}

/// A finished colour as the buffer stores it.
std::int32_t stored(std::int32_t blue, std::int32_t green, std::int32_t red)
{
    return -(blue + 256 * green + 65536 * red);
}

ColourSettings settingsFor(std::int32_t mode, std::uint32_t flags)
{
    ColourSettings s;
    s.drawingMode = mode;
    s.colourFlags = flags;
    s.iterMax = kIterMax;
    s.bailout = kBailout;
    return s;
}

/// Colours one pixel through the pass over a 1 x 1 buffer.
std::int32_t passValue(const ColourSettings& s, const Palette& palette, std::int32_t n, float a,
                       float b)
{
    IterationBuffer buffer;
    buffer.allocate(1, 1);
    buffer.counts[0] = n;
    buffer.a[0] = a;
    buffer.b[0] = b;
    colourPass(buffer, s, palette);
    return buffer.counts[0];
}

Palette identityPalette()
{
    Palette p;
    for (std::size_t i = 0; i < p.entries.size(); ++i) {
        p.entries[i] = static_cast<std::uint32_t>(i);
    }
    return p;
}

struct FormulaCase
{
    std::int32_t mode;
    std::int32_t n;
    float a;
    float b;
    std::int32_t expected;
    std::uint32_t flags = kPotential;
    double bailout = kBailout;
};

TEST(Colouring, EveryDrawingModeGivesTheIndexOfItsFormula)
{
    // Point 1 escapes with B < A, point 2 with B >= A and a count above 1023.
    constexpr std::int32_t n1 = 37;
    constexpr float a1 = 150.25f;
    constexpr float b1 = 20.5f;
    constexpr std::int32_t n2 = 1234;
    constexpr float a2 = 3.5f;
    constexpr float b2 = 140.0f;
    constexpr float ai = 0.3f; // a pixel that did not escape (A = zi, B = zr)
    constexpr float bi = -0.4f;
    const double A1 = a1, B1 = b1, A2 = a2, B2 = b2, Ai = ai, Bi = bi;
    const double N1 = n1, N2 = n2, M = kIterMax;
    const double s1 = static_cast<float>(a1 + b1);
    const double s2 = static_cast<float>(a2 + b2);
    const auto byPotential = [](double n, double s) {
        return refMask(((kK1 + n) - std::log(std::log(s)) * kInvLn2) * kP);
    };

    const std::vector<FormulaCase> cases = {
        // The standard path, with and without colour by potential, in its five modes.
        {1, n1, a1, b1, byPotential(N1, s1)},
        {1, n2, a2, b2, byPotential(N2, s2)},
        {2, n1, a1, b1, byPotential(N1, s1)},
        {26, n2, a2, b2, byPotential(N2, s2)},
        {27, n1, a1, b1, byPotential(N1, s1)},
        {28, n2, a2, b2, byPotential(N2, s2)},
        {1, n2, a2, b2, n2, 0},
        {28, n1, a1, b1, n1, 0},
        // Modes 3..25.
        {3, n1, a1, b1, refMask(N1 + A1)},
        {3, n2, a2, b2, 1238}, // 1237.5: the half goes to the even neighbour
        {4, n1, a1, b1, refMask(((n1 & 1023) + 400) * (std::atan(A1) / kTwoPi + 0.5))},
        {4, n2, a2, b2, refMask(((n2 & 1023) + 400) * (std::atan(A2) / kTwoPi + 0.5))},
        {5, n1, a1, b1, refMask(((n1 & 1023) + 100) * (std::atan(A1) / kTwoPi + 0.5))},
        {5, n2, a2, b2, refMask(((n2 & 1023) + 100) * (std::atan(A2) / kTwoPi + 0.5))},
        {6, n1, a1, b1,
         refMask(((n1 & 1023) + 100) * (std::atan(std::sin(B1) * A1) / kTwoPi + 0.5))},
        {6, n2, a2, b2,
         refMask(((n2 & 1023) + 100) * (std::atan(std::sin(B2) * A2) / kTwoPi + 0.5))},
        {7, n1, a1, b1,
         refMask(((n1 + 100) & 1023) * (std::cos(std::sin(A1) * B1) / kTwoPi + 0.5))},
        {7, n2, a2, b2,
         refMask(((n2 + 100) & 1023) * (std::cos(std::sin(A2) * B2) / kTwoPi + 0.5))},
        {8, n1, a1, b1,
         refMask(((n1 + 100) & 1023) *
                 (std::cos(std::sin(std::cos(B1) + A1) + B1) / kTwoPi + 0.5))},
        {8, n2, a2, b2,
         refMask(((n2 + 100) & 1023) *
                 (std::cos(std::sin(std::cos(B2) + A2) + B2) / kTwoPi + 0.5))},
        {9, n1, a1, b1,
         static_cast<std::int32_t>(
             (refRound(std::fabs(std::cos(A1) * kBailout) + B1 + A1) + kIterMax - n1) & 262143)},
        {9, n2, a2, b2,
         static_cast<std::int32_t>(
             (refRound(std::fabs(std::cos(A2) * kBailout) + B2 + A2) + kIterMax - n2) & 262143)},
        {10, n1, a1, b1, refMask(((n1 + 100) & 1023) * (std::atan(A1 * B1) / kTwoPi + 0.5))},
        {10, n2, a2, b2, refMask(((n2 + 100) & 1023) * (std::atan(A2 * B2) / kTwoPi + 0.5))},
        {11, n1, a1, b1,
         refMask(std::atan(2 * A1) * std::atan(2 * B1) * (((kIterMax - n1) & 63) + 10) + 1)},
        {11, n2, a2, b2,
         refMask(std::atan(2 * A2) * std::atan(2 * B2) * (((kIterMax - n2) & 63) + 10) + 1)},
        {11, 9, kNaN, 1.0f, 1}, // a result of 0 becomes 1
        {12, n1, a1, b1,
         refMask(((kK1 + N1) - std::log(std::log(B1 * A1 + B1 + A1)) * kInvLn2) * kP)},
        {12, n2, a2, b2,
         refMask(((kK1 + N2) - std::log(std::log(B2 * A2 + B2 + A2)) * kInvLn2) * kP)},
        {12, 5, 0.25f, 0.25f, 0}, // LN of a negative number
        {13, n1, a1, b1,
         refMask(((kIterMax - n1) & 1023) *
                 (std::atan((kBailout - A1) * B1 * A1) / kTwoPi + 0.75))},
        {13, n2, a2, b2,
         refMask(((kIterMax - n2) & 1023) *
                 (std::atan((kBailout - A2) * B2 * A2) / kTwoPi + 0.75))},
        {14, n1, a1, b1,
         refMask((std::atan(std::sin(B1 / kTwoPi) * A1 * B1) / kTwoPi + 0.75) * kP * 10)},
        {14, n2, a2, b2,
         refMask((std::atan(std::sin(B2 / kTwoPi) * A2 * B2) / kTwoPi + 0.75) * kP * 10)},
        {15, n1, a1, b1, refMask(5 * std::atan(B1 / A1) * kP)},
        {15, n2, a2, b2, refMask(5 * std::atan(B2 / A2) * kP)},
        {15, 9, 2.0f, 0.0f, 1}, // a result of 0 becomes 1
        {16, n1, a1, b1,
         refMask(((kIterMax - n1 + 1) & 1023) * (std::cos(A1 - B1) / kTwoPi + 0.75))},
        {16, n2, a2, b2,
         refMask(((kIterMax - n2 + 1) & 1023) * (std::cos(A2 - B2) / kTwoPi + 0.75))},
        {17, n1, a1, b1,
         refMask(((kIterMax - n1 + 1) & 127) * (std::atan(B1 - A1) / kTwoPi + 0.75))},
        {17, n2, a2, b2,
         refMask(((kIterMax - n2 + 1) & 127) * (std::atan(B2 - A2) / kTwoPi + 0.75))},
        {18, n1, a1, b1,
         refMask(128 * std::sqrt(std::log(std::log(B1 + A1) + A1) / (A1 + N1)) + N1)},
        {18, n2, a2, b2,
         refMask(128 * std::sqrt(std::log(std::log(B2 + A2) + A2) / (A2 + N2)) + N2)},
        {18, 1, 0.5f, 200.0f, refMask(128 * std::sqrt(std::log(std::log(200.5) + 0.5) / 1.5) + 1)},
        {18, 5, 0.5f, 1.0f, 0}, // SQR of a negative number
        {19, n1, a1, b1, refMask(std::log(std::log(2 * A1)) * 12 + M - N1)},
        {19, n2, a2, b2, refMask(std::log(std::log(2 * A2)) * 12 + M - N2)},
        {19, 5, 0.25f, 0.5f, 0}, // LN of a negative number
        {20, n1, a1, b1, n1},
        {20, n2, a2, b2, kIterMax - n2},
        {20, kIterMax + 5, a2, b2, 262139}, // a count above iterMax wraps, never turns negative
        {20, n1, 100.0f, 100.0f, kIterMax - n1}, // B = A is not B < A
        {21, n1, a1, b1, refMask(((kK1 + N1) - std::log(std::log(B1 * A1)) * kInvLn2) * kP)},
        {21, n2, a2, b2, refMask(((kK1 + N2) - std::log(std::log(B2 * A2)) * kInvLn2) * kP)},
        {21, 5, 0.5f, 0.5f, 0},
        {22, n1, a1, b1, refMask(2 * kBailout + N1 + B1 + A1)},
        {22, n2, a2, b2, kIterMax - n2},
        {23, n1, a1, b1, refMask(2 * (B1 + A1) + N1 - B1)},
        {23, n2, a2, b2, n2},
        {24, n1, a1, b1, refMask(((n1 + 100) & 1023) * (std::atan(B1) / kTwoPi + 0.5))},
        {24, n2, a2, b2, refMask(N2 + A2)},
        {25, n1, a1, b1, refMask(((kK1 + N1) - std::log(std::log(B1 + A1)) * kInvLn2) * kP)},
        {25, n2, a2, b2, refMask((N2 - std::log(std::log(B2 + A2)) * kInvLn2) * kP)},
        {25, 5, 0.25f, 0.5f, 0},
        {25, 5, 0.5f, 0.25f, 0},
        // NaN and infinite escape values, and a bailout whose K1 is NaN.
        {1, 9, std::numeric_limits<float>::infinity(), 1.0f, 0},
        {1, 40, a1, b1, 0, kPotential, 2.0},
        // Pixels that did not escape: the inside index where the mode has one, else 0.
        {1, 0, ai, bi, 0},
        {2, 0, ai, bi, 0, 0},
        {4, 0, ai, bi, 0},
        {25, 0, ai, bi, 0},
        {3, 0, ai, bi, refInsideIndex(ai, bi)},
        {5, 0, 1.7f, 0.2f, refInsideIndex(1.7f, 0.2f)},
        {6, 0, ai, bi, refInsideIndex(ai, bi)},
        {20, 0, -0.61f, 0.35f, refInsideIndex(-0.61f, 0.35f)},
        {22, 0, ai, bi, refInsideIndex(ai, bi)},
        {23, 0, ai, bi, refInsideIndex(ai, bi)},
        {24, 0, ai, bi, refInsideIndex(ai, bi)},
        // Modes 13, 15 and 17 colour the inside by their formula, inside colour on or off.
        {13, 0, ai, bi,
         refMask((kIterMax & 1023) * (std::atan((kBailout - Ai) * Bi * Ai) / kTwoPi + 0.75))},
        {15, 0, ai, bi, refMask(5 * std::atan(Bi / Ai) * kP), kInside},
        {17, 0, ai, bi, refMask(((kIterMax + 1) & 127) * (std::atan(Bi - Ai) / kTwoPi + 0.75)),
         kInside},
    };

    const Palette palette = identityPalette();
    for (const FormulaCase& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "mode " << c.mode << ", n " << c.n << ", A " << c.a << ", B " << c.b);
        ColourSettings s = settingsFor(c.mode, c.flags);
        s.bailout = c.bailout;
        EXPECT_EQ(passValue(s, palette, c.n, c.a, c.b), c.expected);
        EXPECT_EQ(colourPixel(prepareColouring(s), palette, c.n, c.a, c.b), c.expected);
    }
}

TEST(Colouring, InsideColourOverridesEveryOtherTreatmentOfTheInside)
{
    const float a = 0.3f;
    const float b = -0.2f;
    const auto channel = [](double x) { return static_cast<std::int32_t>(refRound(x)); };
    const std::int32_t texture = stored(
        channel((std::sin(5 * double{a}) + 1) * 127), channel((std::sin(5 * double{b}) + 1) * 127),
        channel((std::sin((double{b} * b + double{a} * a) / 2) + 1) * 127));
    const Palette palette = identityPalette();
    for (std::int32_t mode : {1, 2, 3, 4, 20, 24, 26, 28}) {
        SCOPED_TRACE(mode);
        for (std::uint32_t flags : {kInside, kInside | kPotential | kSmooth}) {
            EXPECT_EQ(passValue(settingsFor(mode, flags), palette, 0, a, b), texture);
        }
    }
    // An infinite escape value makes its channels 255.
    EXPECT_EQ(
        passValue(settingsFor(1, kInside), palette, 0, std::numeric_limits<float>::infinity(), b),
        stored(255, channel((std::sin(5 * double{b}) + 1) * 127), 255));
}

TEST(Colouring, ShadingBrightensWithTheEscapeValueAndSaturates)
{
    Palette palette;
    palette.entries[50] = 0x00204060; // red 0x20, green 0x40, blue 0x60
    palette.entries[60] = 0x00204060;
    const std::uint32_t flags = kSmooth; // index = count, then shaded
    // Below mode 26 the factor is 1 + 0.1 log2(s); s = A + B is a power of two here.
    EXPECT_EQ(passValue(settingsFor(1, flags), palette, 50, 200.0f, 56.0f),
              stored(173, 115, 58)); // f = 1.8
    EXPECT_EQ(passValue(settingsFor(1, flags), palette, 50, 1024.0f, 1024.0f),
              stored(202, 134, 67)); // f = 2.1
    EXPECT_EQ(passValue(settingsFor(1, flags), palette, 50, 1048576.0f, 0.0f),
              stored(255, 192, 96)); // f = 3: blue would be 288
    // From mode 26 on the factor is 0.06 log2(s).
    EXPECT_EQ(passValue(settingsFor(26, flags), palette, 50, 1000.0f, 24.0f),
              stored(58, 38, 19)); // f = 0.6
    // The palette offset chooses the colour that is shaded.
    ColourSettings offset = settingsFor(3, flags);
    offset.paletteOffset = 10;
    EXPECT_EQ(passValue(offset, palette, 49, 1.0f, 255.0f), stored(173, 115, 58)); // 49 + 1
    // An overflowed orbit (s infinite) gives white.
    EXPECT_EQ(
        passValue(settingsFor(1, flags), palette, 50, std::numeric_limits<float>::infinity(), 1.0f),
        stored(255, 255, 255));
}

/// The shaded colour as the definition forms it: f = slope log2(s) + base and each channel
/// value times f in extended, rounded halves to even, 255 when outside 0..254.
std::int32_t refShaded(std::uint32_t colour, float s, float slope, float base)
{
    const long double f = static_cast<long double>(slope) * std::log2(static_cast<long double>(s)) +
                          static_cast<long double>(base);
    std::int32_t shade[3] = {};
    for (std::size_t k = 0; k < 3; ++k) {
        const long c = std::lrintl(static_cast<long double>((colour >> (8 * k)) & 0xFFu) * f);
        shade[k] = (c >= 255 || c < 0) ? 255 : static_cast<std::int32_t>(c);
    }
    return stored(shade[0], shade[1], shade[2]);
}

TEST(Colouring, ShadingRoundsAsTheExtendedDefinitionRightNextToHalves)
{
    const std::uint32_t colours[] = {0x00FF6001u, 0x0080C0FFu, 0x00030207u};
    const std::tuple<std::int32_t, float, float> modes[] = {{1, 0.1f, 1.0f}, {26, 0.06f, 0.0f}};
    for (const auto& [mode, slope, base] : modes) {
        for (const std::uint32_t colour : colours) {
            // s where a channel's product comes next to a half, and s over every magnitude.
            std::vector<float> values;
            for (std::uint32_t k = 0; k < 3; ++k) {
                const double value = (colour >> (8 * k)) & 0xFFu;
                for (double half = 0.5; half < 3000.0; half += 7.0) {
                    const double log2s = (half / value - base) / slope;
                    if (log2s > -140.0 && log2s < 127.0) {
                        const auto s = static_cast<float>(std::exp2(log2s));
                        values.insert(values.end(),
                                      {std::nextafter(s, 0.0f), s, std::nextafter(s, 1e30f)});
                    }
                }
            }
            for (int e = -149; e < 128; e += 3) {
                values.push_back(std::ldexp(1.2345678f, e));
            }
            Palette palette;
            std::fill(palette.entries.begin(), palette.entries.end(), colour);
            std::int32_t nearHalves = 0;
            for (const std::uint32_t flags : {kSmooth, kSmooth | kPotential}) {
                const ColourConstants c = prepareColouring(settingsFor(mode, flags));
                for (const float s : values) {
                    ASSERT_EQ(colourPixel(c, palette, 40, s, 0.0f),
                              refShaded(colour, s, slope, base))
                        << "mode " << mode << " colour " << colour << " s " << s;
                    const long double f =
                        static_cast<long double>(slope) * std::log2(static_cast<long double>(s)) +
                        base;
                    for (std::uint32_t k = 0; k < 3; ++k) {
                        const long double product =
                            static_cast<long double>((colour >> (8 * k)) & 0xFFu) * f;
                        nearHalves += std::fabs(product - std::floor(product) - 0.5L) < 1e-5L;
                    }
                }
            }
            EXPECT_GT(nearHalves, 50) << "mode " << mode << " colour " << colour;
        }
    }
}

/// Counts and escape values of a w x h Mandelbrot window from a plain escape-time loop, as the
/// kernels leave them (A = zr^2, B = zi^2 after escape; A = zi, B = zr inside).
IterationBuffer escapeResults(std::int32_t w, std::int32_t h, double x0, double y0, double size,
                              std::int32_t iterMax, double bailout)
{
    IterationBuffer buffer;
    buffer.allocate(w, h);
    for (std::int32_t j = 0; j < h; ++j) {
        for (std::int32_t i = 0; i < w; ++i) {
            const double cr = x0 + size * i / w;
            const double ci = y0 + size * j / w;
            double zr = cr;
            double zi = ci;
            std::int32_t k = 1;
            for (; k <= iterMax && zr * zr + zi * zi <= bailout; ++k) {
                const double t = zr * zr - zi * zi + cr;
                zi = 2.0 * zr * zi + ci;
                zr = t;
            }
            const std::int32_t n = k <= iterMax ? k : 0;
            const std::size_t at = buffer.at(i, j);
            buffer.counts[at] = n;
            buffer.a[at] = static_cast<float>(n != 0 ? zr * zr : zi);
            buffer.b[at] = static_cast<float>(n != 0 ? zi * zi : zr);
        }
    }
    return buffer;
}

/// Escape values that no orbit gives but the buffer may hold: s = A + B zero, negative,
/// subnormal, huge, infinite or NaN, and s next to where a product of every channel value
/// comes to a half, so that both the quick and the extended shading are met.
IterationBuffer oddResults()
{
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<float> sums = {0.0f, -0.0f, -1.0f, 1e-45f, 1e-38f, 1.0f,
                               2.0f, 3e38f, inf,   -inf,   kNaN};
    for (const auto& [slope, base] : {std::pair{0.1f, 1.0f}, std::pair{0.06f, 0.0f}}) {
        for (std::uint32_t value = 1; value < 256; value += 3) {
            for (double half = 0.5; half < 600.0; half += 5.0) {
                const double log2s = (half / value - base) / slope;
                if (log2s > -140.0 && log2s < 127.0) {
                    const auto s = static_cast<float>(std::exp2(log2s));
                    sums.insert(sums.end(), {std::nextafter(s, 0.0f), s, std::nextafter(s, inf)});
                }
            }
        }
    }
    const auto width = static_cast<std::int32_t>(sums.size() / 3);
    IterationBuffer buffer;
    buffer.allocate(width, 3);
    for (std::size_t i = 0; i < static_cast<std::size_t>(width) * 3; ++i) {
        buffer.counts[i] = static_cast<std::int32_t>(i % 7 == 0 ? 0 : i * 37 % 3000);
        buffer.a[i] = i % 2 == 0 ? sums[i] : 0.0f;
        buffer.b[i] = i % 2 == 0 ? 0.0f : sums[i];
    }
    return buffer;
}

TEST(Colouring, ShadedPassGivesTheExtendedDefinitionForEveryPixel)
{
    // Widths that leave a short last block and an odd count; windows from the whole set to
    // a boundary close-up.
    std::vector<IterationBuffer> views = {
        escapeResults(331, 97, -2.5, -1.5, 4.0, 300, kBailout),
        escapeResults(257, 61, -0.7454, 0.1130, 0.0015, 2000, kBailout),
        escapeResults(99, 99, -1.8, -0.1, 0.3, 1000, 4.0),
        oddResults(),
    };
    Palette palette;
    std::uint32_t x = 12345u;
    for (std::uint32_t& entry : palette.entries) {
        x = x * 1664525u + 1013904223u;
        entry = x >> 8;
    }
    palette.entries[3] = 0x00FFFFFFu;
    const std::int32_t offsets[] = {0, 77, -262144 * 2 - 5};
    // The standard path, formulas with and without an inside index or colouring the inside,
    // and the late modes' factor.
    for (const std::int32_t mode : {1, 2, 3, 13, 20, 25, 26, 28}) {
        const bool formulaForAll = mode == 13 || mode == 15 || mode == 17;
        const float slope = mode >= 26 ? 0.06f : 0.1f;
        const float base = mode >= 26 ? 0.0f : 1.0f;
        for (const std::uint32_t flags : {kPotential, 0u, kPotential | kInside}) {
            const std::int32_t offset = offsets[static_cast<std::size_t>(mode + flags) % 3];
            ColourSettings plain = settingsFor(mode, flags);
            plain.paletteOffset = offset;
            ColourSettings shaded = plain;
            shaded.colourFlags |= kSmooth;
            const ColourConstants constants = prepareColouring(shaded);
            for (const IterationBuffer& view : views) {
                IterationBuffer expected = view;
                IterationBuffer actual = view;
                const std::int64_t inside = colourPass(expected, plain, palette);
                ASSERT_EQ(colourPass(actual, shaded, palette), inside);
                const auto pixels = static_cast<std::size_t>(view.width * view.height);
                for (std::size_t i = 0; i < pixels; ++i) {
                    const std::int32_t n = view.counts[i];
                    const float s = view.a[i] + view.b[i];
                    if (n != 0 || formulaForAll) {
                        expected.counts[i] =
                            refShaded(palette.colourAt(std::int64_t{offset} + expected.counts[i]),
                                      s, slope, base);
                    }
                    ASSERT_EQ(actual.counts[i], expected.counts[i])
                        << "mode " << mode << " flags " << flags << " n " << n << " s " << s;
                    ASSERT_EQ(colourPixel(constants, palette, n, view.a[i], view.b[i]),
                              expected.counts[i]);
                }
            }
        }
    }
}

TEST(Colouring, RecolouringAfterAPaletteChangeKeepsFinishedColours)
{
    IterationBuffer buffer;
    buffer.allocate(4, 1);
    buffer.counts = {7, 0, 12, 0};
    buffer.a = {130.0f, 0.3f, 200.0f, -0.1f};
    buffer.b = {1.0f, 0.2f, 3.0f, 0.5f};
    colourPass(buffer, settingsFor(1, kInside), identityPalette());
    const std::int32_t inside1 = buffer.counts[1];
    const std::int32_t inside3 = buffer.counts[3];
    ASSERT_LT(inside1, 0);
    ASSERT_LT(inside3, 0);

    Palette first = identityPalette();
    Palette second;
    for (std::size_t i = 0; i < second.entries.size(); ++i) {
        second.entries[i] = 0x00FFFFFFu - static_cast<std::uint32_t>(i);
    }
    PictureBuffer picture;
    buildPicture(picture, buffer, first, 1, 0);
    EXPECT_EQ(picture.pixels,
              (std::vector<std::uint32_t>{7u, static_cast<std::uint32_t>(-inside1), 12u,
                                          static_cast<std::uint32_t>(-inside3)}));
    buildPicture(picture, buffer, second, 1, 0);
    EXPECT_EQ(picture.pixels,
              (std::vector<std::uint32_t>{0x00FFFFF8u, static_cast<std::uint32_t>(-inside1),
                                          0x00FFFFF3u, static_cast<std::uint32_t>(-inside3)}));

    // With smooth colour every escaped pixel is finished too: a new palette changes nothing.
    buffer.counts = {7, 0, 12, 0};
    colourPass(buffer, settingsFor(1, kInside | kSmooth | kPotential), first);
    buildPicture(picture, buffer, first, 1, 0);
    const std::vector<std::uint32_t> shaded = picture.pixels;
    buildPicture(picture, buffer, second, 1, 0);
    EXPECT_EQ(picture.pixels, shaded);
}

TEST(Colouring, PartialPassColoursOnlyTheGivenRows)
{
    IterationBuffer buffer;
    buffer.allocate(2, 3);
    const std::vector<std::int32_t> raw = {5, 6, 7, 8, 9, 10};
    std::copy(raw.begin(), raw.end(), buffer.counts.begin());
    for (std::size_t i = 0; i < buffer.counts.size(); ++i) {
        buffer.a[i] = 1000.0f;
        buffer.b[i] = 24.0f;
    }
    buffer.counts[raw.size()] = 7; // stored beyond the picture
    Palette palette;
    palette.entries[7] = 0x00010101;
    palette.entries[8] = 0x00010101;
    palette.entries[9] = 0x00020202;
    palette.entries[10] = 0x00020202;
    colourPass(buffer, settingsFor(1, kSmooth), palette, 1, 1);
    EXPECT_EQ(buffer.counts[0], 5);
    EXPECT_EQ(buffer.counts[1], 6);
    EXPECT_LT(buffer.counts[2], 0);
    EXPECT_LT(buffer.counts[3], 0);
    EXPECT_EQ(buffer.counts[4], 9);
    EXPECT_EQ(buffer.counts[5], 10);

    // Rows past the picture are ignored; an empty range changes nothing.
    colourPass(buffer, settingsFor(1, kSmooth), palette, 2, 99);
    EXPECT_LT(buffer.counts[4], 0);
    EXPECT_EQ(buffer.counts[4], buffer.counts[2] * 2); // 0x020202 is twice 0x010101 here
    EXPECT_EQ(buffer.counts[raw.size()], 7);
    const std::vector<std::int32_t> before = buffer.counts;
    colourPass(buffer, settingsFor(1, kSmooth), palette, 2, 1);
    colourPass(buffer, settingsFor(1, kSmooth), palette, -5, -1);
    EXPECT_EQ(buffer.counts, before);
}

TEST(Colouring, PictureKeepsRowOrderAndBlacksEntryZeroUnlessTheModeHasAnInsideIndex)
{
    IterationBuffer buffer;
    buffer.allocate(3, 2);
    const std::vector<std::int32_t> values = {0, 1, 2, 3, -0x00ABCDEF, 5};
    std::copy(values.begin(), values.end(), buffer.counts.begin());
    for (std::size_t i = values.size(); i < buffer.counts.size(); ++i) {
        buffer.counts[i] = 77; // stored beyond the picture: never shown
    }
    Palette palette = identityPalette();
    palette.entries[0] = 0x00123456;

    PictureBuffer picture;
    for (std::int32_t mode : {3, 5, 6, 20, 22, 23, 24}) {
        buildPicture(picture, buffer, palette, mode, 0);
        EXPECT_EQ(palette.entries[0], 0x00123456u) << mode;
        EXPECT_EQ(picture.pixels[0], 0x00123456u) << mode;
    }
    buildPicture(picture, buffer, palette, 1, 0);
    EXPECT_EQ(picture.width, 3);
    EXPECT_EQ(picture.height, 2);
    EXPECT_EQ(picture.pixels, (std::vector<std::uint32_t>{0u, 1u, 2u, 3u, 0x00ABCDEFu, 5u}));
    EXPECT_EQ(palette.entries[0], 0u); // the change stays in the table

    palette.entries[0] = 0x00123456;
    for (std::int32_t mode : {2, 4, 13, 15, 17, 25, 26, 28}) {
        buildPicture(picture, buffer, palette, mode, 0);
        EXPECT_EQ(picture.pixels[0], 0u) << mode;
        palette.entries[0] = 0x00123456;
    }
}

TEST(Colouring, IndicesPastTheTableAndNegativeOffsetsWrapSafely)
{
    const Palette palette = identityPalette();
    EXPECT_EQ(colourOfValue(262134, palette, 10), 262144u); // the last entry is read directly
    EXPECT_EQ(colourOfValue(262140, palette, 10), 6u);
    EXPECT_EQ(colourOfValue(262143, palette, 2147483647), (262143u + 2147483647u) % 262144u);
    EXPECT_EQ(colourOfValue(3, palette, -5), 262142u);
    EXPECT_EQ(colourOfValue(0, palette, -2147483647 - 1), 0u);
    EXPECT_EQ(colourOfValue(-0x00FFFFFF, palette, 0), 0x00FFFFFFu);
    // A damaged stored value cannot be negated in int32; its colour keeps the top byte clear.
    EXPECT_EQ(colourOfValue(std::numeric_limits<std::int32_t>::min(), palette, 0), 0u);

    // The shading looks its colour up the same way.
    ColourSettings s = settingsFor(1, kSmooth);
    s.paletteOffset = -262144 * 3 + 5; // index 1 reads entry 6
    Palette shades;
    shades.entries[6] = 0x00000064;
    EXPECT_EQ(passValue(s, shades, 1, 512.0f, 512.0f), stored(200, 0, 0)); // f = 2
}

} // namespace
} // namespace qv
