// Rounding of floating point to int32 and the ownership of GMP numbers.
#include "base/mp_float.h"
#include "base/round_half_even.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace qv {
namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour)
{
    EXPECT_EQ(roundHalfEven(0.5L), 0);
    EXPECT_EQ(roundHalfEven(1.5L), 2);
    EXPECT_EQ(roundHalfEven(2.5L), 2);
    EXPECT_EQ(roundHalfEven(-0.5L), 0);
    EXPECT_EQ(roundHalfEven(-1.5L), -2);
    EXPECT_EQ(roundHalfEven(-2.5L), -2);
    EXPECT_EQ(roundHalfEven(332.5), 332);
    EXPECT_EQ(roundHalfEven(37.5f), 38);
}

TEST(RoundHalfEven, OtherValuesGoToTheNearest)
{
    EXPECT_EQ(roundHalfEven(2.4999999L), 2);
    EXPECT_EQ(roundHalfEven(2.5000001L), 3);
    EXPECT_EQ(roundHalfEven(-7.6), -8);
    EXPECT_EQ(roundHalfEven(1e-300), 0);
}

TEST(RoundHalfEven, ExtendedBitsBeyondDoubleDecide)
{
    // Values whose nearest double lies on the other side of an integer or of a half.
    EXPECT_EQ(roundHalfEven(3.0L - 0x1p-62L), 3);
    EXPECT_EQ(roundHalfEven(-3.0L + 0x1p-62L), -3);
    EXPECT_EQ(roundHalfEven(0x1p30L + 0.5L + 0x1p-32L), 1073741825);
    EXPECT_EQ(roundHalfEven(0x1p30L + 0.5L - 0x1p-32L), 1073741824);
    EXPECT_EQ(roundHalfEven(-(0x1p30L + 1.5L - 0x1p-32L)), -1073741825);
    EXPECT_EQ(roundHalfEven(0.5L + 0x1p-64L), 1);
    EXPECT_EQ(roundHalfEven(-0.5L - 0x1p-64L), -1);
    EXPECT_EQ(roundHalfEven(0.5L - 0x1p-65L), 0);
}

TEST(RoundHalfEven, UnrepresentableValuesGiveInt32Min)
{
    EXPECT_EQ(roundHalfEven(std::nan("")), kMin);
    EXPECT_EQ(roundHalfEven(std::numeric_limits<long double>::infinity()), kMin);
    EXPECT_EQ(roundHalfEven(-std::numeric_limits<double>::infinity()), kMin);
    EXPECT_EQ(roundHalfEven(2147483647.5L), kMin); // rounds to 2^31
    EXPECT_EQ(roundHalfEven(1e10), kMin);
    EXPECT_EQ(roundHalfEven(2147483647.4L), 2147483647);
    EXPECT_EQ(roundHalfEven(-2147483648.5L), kMin); // -2^31 is even: in range
    EXPECT_EQ(roundHalfEven(-2147483649.0L), kMin);
}

TEST(MpFloat, MovesHandOverOwnershipAndKeepTheValue)
{
    std::vector<MpFloat> numbers;
    for (int i = 0; i < 20; ++i) { // growth moves the elements
        numbers.emplace_back(128);
        mpf_set_si(numbers.back().get(), i);
    }
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(mpf_cmp_si(numbers[static_cast<std::size_t>(i)].get(), i), 0);
        EXPECT_GE(numbers[static_cast<std::size_t>(i)].precision(), 128u);
    }
    MpFloat moved = std::move(numbers[3]);
    numbers[3] = std::move(numbers[4]);
    EXPECT_EQ(mpf_cmp_si(moved.get(), 3), 0);
    EXPECT_EQ(mpf_cmp_si(numbers[3].get(), 4), 0);
}

} // namespace
} // namespace qv
