// Numbers of the deep files: 32-bit limb images restored exactly into the installed GMP,
// written back unchanged, and cut to what a 32-bit-limb number of the same precision holds.
#include "base/mp_float.h"
#include "persistence/deep_limbs.h"

#include <climits>
#include <cstdint>
#include <random>
#include <vector>

#include <gmp.h>
#include <gtest/gtest.h>

namespace qv {
namespace {

// The value an image stands for, from the layout's definition:
// sign(size) * sum(limbs[k] * 2^(32 (k - |size| + exponent))), exactly.
MpFloat referenceValue(const DeepNumberImage& image)
{
    const std::size_t count = image.limbs.size();
    MpFloat value(32 * (count + 4));
    if (count == 0) {
        return value;
    }
    mpz_t z;
    mpz_init(z);
    mpz_import(z, count, -1, sizeof(std::uint32_t), 0, 0, image.limbs.data());
    mpf_set_z(value.get(), z);
    mpz_clear(z);
    const long shift = 32L * (static_cast<long>(image.exponent) - static_cast<long>(count));
    if (shift >= 0) {
        mpf_mul_2exp(value.get(), value.get(), static_cast<mp_bitcnt_t>(shift));
    } else {
        mpf_div_2exp(value.get(), value.get(), static_cast<mp_bitcnt_t>(-shift));
    }
    if (image.size < 0) {
        mpf_neg(value.get(), value.get());
    }
    return value;
}

DeepNumberImage image(std::int32_t bits, std::int32_t exponent, std::vector<std::uint32_t> limbs,
                      bool negative = false)
{
    DeepNumberImage out;
    out.precisionLimbs = limbs32ForPrecision(bits);
    out.size = static_cast<std::int32_t>(limbs.size()) * (negative ? -1 : 1);
    out.exponent = exponent;
    out.limbs = std::move(limbs);
    return out;
}

TEST(DeepLimbs, PrecisionInLimbsFollowsGmpsRuleForThirtyTwoBitLimbs)
{
    EXPECT_EQ(limbs32ForPrecision(96), 4);   // (96 + 63) / 32
    EXPECT_EQ(limbs32ForPrecision(112), 5);  // (112 + 63) / 32
    EXPECT_EQ(limbs32ForPrecision(368), 13); // (368 + 63) / 32
    EXPECT_EQ(limbs32ForPrecision(0), 3);    // at least 53 bits: (53 + 63) / 32
    EXPECT_EQ(maxLimbs32(96), 5);
}

TEST(DeepLimbs, ImagesOfEveryAlignmentAreRestoredExactly)
{
    const std::int32_t bits = 112;
    const std::vector<DeepNumberImage> cases{
        image(bits, 0, {0x80000000u}),                           // 0.5
        image(bits, 1, {0x00000001u}),                           // 1
        image(bits, 1, {0x00000002u}, true),                     // -2
        image(bits, -3, {0x9ABCDEF0u, 0x12345678u}),             // odd negative exponent
        image(bits, -4, {0x9ABCDEF0u, 0x12345678u}),             // even negative exponent
        image(bits, 7, {1u, 2u, 3u, 4u, 5u, 0xFFFFFFFFu}, true), // maximum count (5 + 1)
        image(bits, 2, {0xDEADBEEFu, 0u, 0u, 0x1u}),             // zero limbs inside
    };
    for (const DeepNumberImage& c : cases) {
        MpFloat x(static_cast<unsigned long>(bits));
        mpf_set_ui(x.get(), 12345);
        restoreNumber(c, x.get());
        const MpFloat reference = referenceValue(c);
        EXPECT_EQ(mpf_cmp(x.get(), reference.get()), 0) << "exponent " << c.exponent;
        const auto back = imageOfNumber(x.get(), bits);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(*back, c) << "exponent " << c.exponent;
    }
}

TEST(DeepLimbs, ZeroLimbsAtEitherEndAreDroppedAndZeroHasNoExponent)
{
    MpFloat x(96);
    // Leading zero limb: the value is 0x1234 * 2^(32 (0 - 1)) with the exponent one lower.
    restoreNumber(image(96, 1, {0x1234u, 0u}), x.get());
    EXPECT_EQ(mpf_cmp(x.get(), referenceValue(image(96, 0, {0x1234u})).get()), 0);
    EXPECT_EQ(*imageOfNumber(x.get(), 96), image(96, 0, {0x1234u}));
    // Trailing zero limb.
    restoreNumber(image(96, 1, {0u, 7u}, true), x.get());
    EXPECT_EQ(*imageOfNumber(x.get(), 96), image(96, 1, {7u}, true));
    // All limbs zero, any exponent: zero, written with size 0 and exponent 0.
    restoreNumber(image(96, 99, {0u, 0u}), x.get());
    EXPECT_EQ(mpf_sgn(x.get()), 0);
    EXPECT_EQ(*imageOfNumber(x.get(), 96), image(96, 0, {}));
}

TEST(DeepLimbs, RandomImagesSurviveRestoreAndWrite)
{
    std::mt19937 random(55);
    for (const std::int32_t bits : {96, 112, 368, 1024}) {
        for (int i = 0; i < 200; ++i) {
            const auto count =
                1 + static_cast<std::size_t>(random() % static_cast<unsigned>(maxLimbs32(bits)));
            std::vector<std::uint32_t> limbs(count);
            for (std::uint32_t& limb : limbs) {
                limb = random();
            }
            limbs.front() |= 1u; // canonical: no zero limb at either end
            limbs.back() |= 0x100u;
            const auto exponent = static_cast<std::int32_t>(random() % 2001) - 1000;
            const DeepNumberImage c = image(bits, exponent, limbs, random() % 2 == 0);
            MpFloat x(static_cast<unsigned long>(bits));
            restoreNumber(c, x.get());
            ASSERT_EQ(mpf_cmp(x.get(), referenceValue(c).get()), 0) << bits << " bits";
            ASSERT_EQ(*imageOfNumber(x.get(), bits), c) << bits << " bits";
        }
    }
}

TEST(DeepLimbs, WritingKeepsAtMostPrecisionPlusOneLimbsTheLowerOnesDropped)
{
    // One third at 96 bits holds more 0x55555555 limbs on a 64-bit-limb GMP than a 32-bit
    // build would: the file keeps the top five.
    MpFloat third(96);
    mpf_set_ui(third.get(), 1);
    mpf_div_ui(third.get(), third.get(), 3);
    const auto written = imageOfNumber(third.get(), 96);
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(*written, image(96, 0, std::vector<std::uint32_t>(5, 0x55555555u)));
    // What the file holds is 1/3 cut after 160 bits.
    MpFloat cut(96);
    restoreNumber(*written, cut.get());
    MpFloat expected(400);
    mpf_set_ui(expected.get(), 1);
    mpf_div_2exp(expected.get(), expected.get(), 160);
    mpf_ui_sub(expected.get(), 1, expected.get()); // 1 - 2^-160
    mpf_div_ui(expected.get(), expected.get(), 3); // (1 - 2^-160) / 3 = 0.5555...5 (160 bits)
    EXPECT_EQ(mpf_cmp(cut.get(), expected.get()), 0);
}

TEST(DeepLimbs, AnExponentBeyondThe32BitFieldCannotBeWritten)
{
    MpFloat x(96);
    mpf_set_ui(x.get(), 3);
    x.get()->_mp_exp = LONG_MAX / 4;
    EXPECT_FALSE(imageOfNumber(x.get(), 96).has_value());
    x.get()->_mp_exp = 1;
}

TEST(DeepLimbs, LimbCountsBeyondEitherPrecisionDoNotFit)
{
    EXPECT_TRUE(fitsPrecision(0, -7, 96)); // zero fits whatever its header says
    EXPECT_TRUE(fitsPrecision(5, 4, 96));
    EXPECT_TRUE(fitsPrecision(-5, 4, 96));
    EXPECT_FALSE(fitsPrecision(6, 4, 96));   // more than the number's precision + 1
    EXPECT_FALSE(fitsPrecision(6, 100, 96)); // more than the file's precisionBits allow
    EXPECT_FALSE(fitsPrecision(5, 3, 96));   // more than the header's own precision + 1
    EXPECT_FALSE(fitsPrecision(INT32_MIN, INT32_MAX, 1 << 20));
}

} // namespace
} // namespace qv
