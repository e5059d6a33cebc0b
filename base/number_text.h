// Numbers as text: the scientific form of the view numbers ("2.5e-1"), the decimal form of
// titles and dialog fields (" 37", "-17"), and the one reader of decimal text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <gmp.h>

namespace qv {

/// A decimal number read from text: value = (negative ? -1 : 1) * digits * 10^exponent.
/// `digits` has neither leading nor trailing zeros; it is empty for zero.
struct DecimalNumber
{
    bool negative = false;
    std::string digits;
    std::int64_t exponent = 0;
};

/// Reads decimal text: optional blanks, an optional sign, digits with an optional point, an
/// optional exponent ("e" or "E", optional sign, digits), optional blanks. Also accepts the
/// older zero without digits (".e-1", "-.e0"). Nothing for anything else, including
/// exponents beyond 10^15 in size.
std::optional<DecimalNumber> parseDecimal(std::string_view text);

/// The significant digits of a decimal text (0 for zero and for text that is not a number).
std::size_t significantDigits(std::string_view text);

/// Bits of binary precision that hold `digits` decimal digits exactly enough to give them
/// back, with a margin, in steps of 16.
std::int64_t bitsForDigits(std::size_t digits);

/// Sets x from decimal text at x's precision. Text that is not a number leaves x unchanged
/// and gives false.
bool textToMpf(std::string_view text, mpf_ptr x);

/// Reads decimal text into the 80-bit format, rounded to nearest; values beyond its range
/// give infinities or zero. Nothing for text that is not a number.
std::optional<long double> textToLongDouble(std::string_view text);

/// Writes x with all its significant digits in the scientific form: first digit, point,
/// remaining digits, "e", decimal exponent, with "-" for negative values ("2.5e-1"). A single
/// digit gets one zero after the point ("2.0e0"); zero is "0.0e0". Returns the exponent.
std::int64_t mpfToText(mpf_srcptr x, std::string& text);

/// v with 18 significant digits in the scientific form of mpfToText, trailing zeros dropped
/// ("-1.8e0"). Infinities and NaN are written as "inf", "-inf" and "nan", which read as no
/// number.
std::string extendedToScientific(long double v);

/// The decimal form of titles and dialog fields: at most `significant` digits, no trailing
/// zeros, one leading space when not negative (" 37", "-17", " 0.0001", " 1.5e-20").
std::string decimalText(double v, int significant = 15);

/// The decimal form of an integer (" 100", "-17").
std::string decimalText(std::int64_t v);

/// The "Pot value:" field: 12 significant digits.
std::string potValueText(double potValue);

/// The elapsed time of a render in titles: 7 significant digits.
std::string elapsedText(float seconds);

/// The value of a number field of a dialog: text that is not a number reads as 0.
double fieldValue(std::string_view text);

} // namespace qv
