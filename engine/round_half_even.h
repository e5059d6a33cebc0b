// The one conversion from floating point to int32 used everywhere: round to nearest, halves to
// even, and INT32_MIN for NaN, infinities and values out of range (what the x87 stores then).
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace qv {

static_assert(std::numeric_limits<long double>::digits == 64,
              "the engine needs the 80-bit extended format of x86-64");

/// Rounds v to the nearest int32, halves to even; NaN, infinities and values outside the
/// int32 range give INT32_MIN.
inline std::int32_t roundHalfEven(long double v)
{
    constexpr long double kLow = -2147483648.5L; // rounds to INT32_MIN (even)
    constexpr long double kHigh = 2147483647.5L; // rounds to 2^31 (even): out of range
    if (!(v >= kLow && v < kHigh)) {
        return std::numeric_limits<std::int32_t>::min();
    }
    // Halves to even whatever the current rounding mode, without floor or integer casts of
    // long double: on x87 each of those switches the control word twice, which stalls the
    // pipeline, and the colour pass rounds up to four times per pixel. A nearby double, truncated
    // by SSE, gives an integer within 1 of v, so v - whole is exact and |v - whole| < 1. The steps
    // are taken without branches since the fraction is as good as random.
    const std::int64_t whole = static_cast<std::int64_t>(static_cast<double>(v));
    const long double frac = v - static_cast<long double>(whole);
    const bool odd = (whole & 1) != 0;
    const bool up = (frac > 0.5L) | ((frac == 0.5L) & odd);
    const bool down = (frac < -0.5L) | ((frac == -0.5L) & odd);
    return static_cast<std::int32_t>(whole + std::int64_t{up} - std::int64_t{down});
}

/// The same results as the extended overload, without the x87 unit: its conversions switch
/// the control word and stall, which made loops of roundings (palette, colouring) several
/// times slower. Truncation ignores the rounding mode and v - floor(v) is exact in double.
inline std::int32_t roundHalfEven(double v)
{
    if (!(v >= -2147483648.5 && v < 2147483647.5)) {
        return std::numeric_limits<std::int32_t>::min();
    }
    auto whole = static_cast<std::int64_t>(v); // toward zero
    if (static_cast<double>(whole) > v) {
        --whole; // now floor(v)
    }
    const double frac = v - static_cast<double>(whole);
    if (frac > 0.5 || (frac == 0.5 && (whole & 1) != 0)) {
        ++whole;
    }
    return static_cast<std::int32_t>(whole);
}

inline std::int32_t roundHalfEven(float v)
{
    return roundHalfEven(static_cast<double>(v));
}

} // namespace qv
