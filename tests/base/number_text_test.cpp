// Numbers as text: the scientific form of GMP numbers, the reader, and the decimal form of
// titles and fields.
#include "base/mp_float.h"
#include "base/number_text.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gmp.h>
#include <gtest/gtest.h>

namespace qv {
namespace {

// Rounds a string of decimal digits to `count` digits (half up), padding with zeros.
std::string roundDigits(std::string digits, std::size_t count)
{
    if (digits.size() <= count) {
        return digits + std::string(count - digits.size(), '0');
    }
    const bool up = digits[count] >= '5';
    digits.resize(count);
    for (std::size_t i = count; up && i-- > 0;) {
        if (digits[i] == '9') {
            digits[i] = '0';
        } else {
            ++digits[i];
            break;
        }
    }
    return digits;
}

// Splits "d.ddde-x" into its digits and exponent without the code under test.
void splitScientific(const std::string& text, std::string& digits, long& exponent)
{
    const std::size_t e = text.find('e');
    digits.clear();
    for (std::size_t i = 0; i < e; ++i) {
        if (text[i] >= '0' && text[i] <= '9') {
            digits.push_back(text[i]);
        }
    }
    exponent = std::stol(text.substr(e + 1));
}

TEST(ScientificText, WritesFirstDigitPointRestAndExponent)
{
    struct Case
    {
        double value;
        const char* text;
        std::int64_t exponent;
    };

    const std::vector<Case> cases = {
        {0.25, "2.5e-1", -1},
        {-2.5, "-2.5e0", 0},
        {1.5, "1.5e0", 0},
        {1024.0, "1.024e3", 3},
        {-0.0078125, "-7.8125e-3", -3},
        {12345678.0, "1.2345678e7", 7},
        {2.0, "2.0e0", 0},
        {-3e20, "-3.0e20", 20},
        {0.0, "0.0e0", 0},
    };
    MpFloat x(96);
    std::string text = "left over";
    for (const Case& c : cases) {
        mpf_set_d(x.get(), c.value);
        EXPECT_EQ(mpfToText(x.get(), text), c.exponent) << c.value;
        EXPECT_EQ(text, c.text) << c.value;
    }
}

TEST(ScientificText, ReaderAcceptsEveryFormTheProgramWritesOrWrote)
{
    struct Case
    {
        const char* text;
        bool negative;
        const char* digits;
        std::int64_t exponent;
    };

    const std::vector<Case> cases = {
        {"2.5e-1", false, "25", -2}, {"0.0e0", false, "", 0},  {".e-1", false, "", 0},
        {"-.e0", false, "", 0},      {"2.e0", false, "2", 0},  {"2.0e0", false, "2", 0},
        {" -0.5 ", true, "5", -1},   {"+1E3", false, "1", 3},  {"007.500", false, "75", -1},
        {"1.5e+2", false, "15", 1},  {"100", false, "1", 2},   {".5", false, "5", -1},
        {"5.", false, "5", 0},       {"-0.000", false, "", 0}, {"\t12e-3\n", false, "12", -3},
    };
    for (const Case& c : cases) {
        const auto n = parseDecimal(c.text);
        ASSERT_TRUE(n.has_value()) << c.text;
        EXPECT_EQ(n->negative, c.negative) << c.text;
        EXPECT_EQ(n->digits, c.digits) << c.text;
        EXPECT_EQ(n->exponent, c.exponent) << c.text;
    }
}

TEST(ScientificText, ReaderRefusesWhatIsNotANumber)
{
    for (const char* text : {"", " ", "abc", "1e", "1.2.3", "--1", "1e5x", ".", "e5", "1 2", "inf",
                             "nan", "0x10", "1,5", "-", "1e--2", "1e9999999999999999999"}) {
        EXPECT_FALSE(parseDecimal(text).has_value()) << text;
    }
}

TEST(ScientificText, TextThatIsNotANumberLeavesTheGmpNumberAlone)
{
    MpFloat x(96);
    mpf_set_d(x.get(), 0.75);
    EXPECT_FALSE(textToMpf("12x", x.get()));
    EXPECT_FALSE(textToMpf("", x.get()));
    EXPECT_EQ(mpf_cmp_d(x.get(), 0.75), 0);

    EXPECT_TRUE(textToMpf("-1.5e0", x.get()));
    EXPECT_EQ(mpf_cmp_d(x.get(), -1.5), 0);
    EXPECT_TRUE(textToMpf(".e-1", x.get()));
    EXPECT_EQ(mpf_sgn(x.get()), 0);
    EXPECT_TRUE(textToMpf("2.e0", x.get()));
    EXPECT_EQ(mpf_cmp_d(x.get(), 2.0), 0);
}

TEST(ScientificText, ManyDigitsSurviveTextToGmpToText)
{
    for (const std::size_t count : {std::size_t{300}, std::size_t{5000}}) {
        for (const long exponent : {-150L, 0L, 4000L}) {
            std::string digits;
            for (std::size_t i = 0; i < count; ++i) {
                digits.push_back(static_cast<char>('1' + (i * 7 + i / 3) % 9));
            }
            std::string typed = "-";
            typed += digits.front();
            typed += '.';
            typed += digits.substr(1);
            typed += 'e';
            typed += std::to_string(exponent);

            MpFloat x(static_cast<unsigned long>(bitsForDigits(count)));
            ASSERT_TRUE(textToMpf(typed, x.get()));
            std::string text;
            EXPECT_EQ(mpfToText(x.get(), text), exponent);

            ASSERT_EQ(text.front(), '-');
            std::string written;
            long writtenExponent = 0;
            splitScientific(text, written, writtenExponent);
            EXPECT_EQ(writtenExponent, exponent);
            EXPECT_GE(written.size(), count);
            EXPECT_EQ(roundDigits(written, count), digits) << count << " digits, e" << exponent;
        }
    }
}

TEST(ScientificText, ExtendedValuesAreWrittenWith18SignificantDigits)
{
    EXPECT_EQ(extendedToScientific(-1.8L), "-1.8e0");
    EXPECT_EQ(extendedToScientific(0.25L), "2.5e-1");
    EXPECT_EQ(extendedToScientific(2.0L), "2.0e0");
    EXPECT_EQ(extendedToScientific(1.0L / 3.0L), "3.33333333333333333e-1");
    EXPECT_EQ(extendedToScientific(-2.0L / 3.0L), "-6.66666666666666667e-1");
    EXPECT_EQ(extendedToScientific(0.00625L / 1048576.0L), "5.9604644775390625e-9");
    EXPECT_EQ(extendedToScientific(1e-4000L), "1.0e-4000");
    EXPECT_EQ(extendedToScientific(0.0L), "0.0e0");
    EXPECT_EQ(extendedToScientific(-0.0L), "0.0e0");
    EXPECT_EQ(extendedToScientific(1.0L / 0.0L), "inf");
    EXPECT_FALSE(textToLongDouble("inf").has_value());
}

TEST(ScientificText, TextIsReadIntoExtendedRoundedToNearest)
{
    EXPECT_EQ(textToLongDouble("2.5e-1"), 0.25L);
    EXPECT_EQ(textToLongDouble("-1.8"), -1.8L);
    EXPECT_EQ(textToLongDouble("3.33333333333333333e-1"), 0.333333333333333333L);
    EXPECT_EQ(textToLongDouble("0.1000000000000000000000000000000000000001"), 0.1L);
    EXPECT_EQ(textToLongDouble(".e-1"), 0.0L);
    EXPECT_EQ(textToLongDouble("1e-5000"), 0.0L);
    EXPECT_FALSE(textToLongDouble("x").has_value());
}

TEST(DecimalText, HasNoTrailingZerosAndALeadingSpaceWhenNotNegative)
{
    EXPECT_EQ(decimalText(std::int64_t{37}), " 37");
    EXPECT_EQ(decimalText(std::int64_t{-17}), "-17");
    EXPECT_EQ(decimalText(std::int64_t{0}), " 0");
    EXPECT_EQ(decimalText(0.0001), " 0.0001");
    EXPECT_EQ(decimalText(1.5), " 1.5");
    EXPECT_EQ(decimalText(-128.0), "-128");
    EXPECT_EQ(decimalText(0.0), " 0");
    EXPECT_EQ(decimalText(-0.0), " 0");
    EXPECT_EQ(decimalText(2e-5), " 2e-5");
    EXPECT_EQ(decimalText(1e20), " 1e20");
    EXPECT_EQ(decimalText(1.0 / 3.0), " 0.333333333333333");
    EXPECT_EQ(decimalText(123456789012345678.0), " 1.23456789012346e17");
    EXPECT_EQ(potValueText(0.0002 / 17.0), " 1.17647058824e-5");
    EXPECT_EQ(potValueText(0.0001), " 0.0001");
    EXPECT_EQ(elapsedText(0.1f), " 0.1");
    EXPECT_EQ(elapsedText(12.345678f), " 12.34568");
    EXPECT_EQ("Calculating " + decimalText(std::int64_t{37}), "Calculating  37");
}

TEST(DecimalText, FieldsThatAreNotNumbersReadAsZero)
{
    EXPECT_EQ(fieldValue(" 4 "), 4.0);
    EXPECT_EQ(fieldValue("2.5"), 2.5);
    EXPECT_EQ(fieldValue("-1e-3"), -0.001);
    EXPECT_EQ(fieldValue("abc"), 0.0);
    EXPECT_EQ(fieldValue(""), 0.0);
    EXPECT_EQ(fieldValue("1,5"), 0.0);
}

} // namespace
} // namespace qv
