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
    // The x87 store rounds by its control word, which is round-to-nearest-even in every thread
    // of this program (the Linux default; the kernels set it explicitly), and stores the
    // "integer indefinite" INT32_MIN for NaN, infinities and values out of range: exactly this
    // function's contract, in one instruction instead of a detour through double.
    std::int32_t result;
    asm("fistpl %0" : "=m"(result) : "t"(v) : "st");
    return result;
}

/// The same results as the extended overload, without the x87 unit: moving a double into it
/// and back costs more than this. Truncation ignores the rounding mode and v - floor(v) is exact
/// in double.
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
