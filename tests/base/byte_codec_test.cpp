// The binary fields: the 10-byte extended format against its definition and against the
// machine's own extended numbers, little-endian integers and floats, and reads past the end.
#include "base/byte_codec.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace qv {
namespace {

using Ext = std::array<std::byte, kExt80Bytes>;

// The field from its definition: significand least significant byte first, then sign and
// exponent.
Ext ext(std::uint64_t significand, std::uint16_t signAndExponent)
{
    Ext out{};
    for (int i = 0; i < 8; ++i) {
        out[static_cast<std::size_t>(i)] = static_cast<std::byte>(significand >> (8 * i));
    }
    out[8] = static_cast<std::byte>(signAndExponent & 0xFF);
    out[9] = static_cast<std::byte>(signAndExponent >> 8);
    return out;
}

// On x86-64 the first ten bytes of a long double in memory are this same format.
Ext machineBytes(long double v)
{
    Ext out{};
    std::memcpy(out.data(), &v, kExt80Bytes);
    return out;
}

long double machineValue(const Ext& bytes)
{
    long double v = 0.0L;
    std::memcpy(&v, bytes.data(), kExt80Bytes);
    return v;
}

TEST(Ext80, KnownValuesEncodeAsTheFormatDefinesThem)
{
    using L = std::numeric_limits<long double>;

    const struct
    {
        long double value;
        Ext bytes;
    } cases[] = {
        {1.0L, ext(0x8000000000000000ull, 0x3FFF)},
        {-2.5L, ext(0xA000000000000000ull, 0xC000)},
        {0.0L, ext(0, 0)},
        {-0.0L, ext(0, 0x8000)},
        {L::denorm_min(), ext(1, 0)},
        {L::min(), ext(0x8000000000000000ull, 0x0001)},
        {L::max(), ext(0xFFFFFFFFFFFFFFFFull, 0x7FFE)},
        {-L::infinity(), ext(0x8000000000000000ull, 0xFFFF)},
        {L::quiet_NaN(), ext(0xC000000000000000ull, 0x7FFF)},
        {std::ldexp(3.0L, -16400), ext(0x3ull << 45, 0)}, // subnormal: 3 * 2^-16400
    };

    for (const auto& c : cases) {
        EXPECT_EQ(encodeExt80(c.value), c.bytes) << static_cast<double>(c.value);
        const long double back = decodeExt80(c.bytes);
        if (std::isnan(c.value)) {
            EXPECT_TRUE(std::isnan(back));
        } else {
            EXPECT_EQ(back, c.value);
            EXPECT_EQ(std::signbit(back), std::signbit(c.value));
        }
    }
}

TEST(Ext80, RandomBitPatternsAgreeWithTheMachinesExtendedNumbers)
{
    std::mt19937_64 random(20260612);
    for (int i = 0; i < 20000; ++i) {
        std::uint64_t significand = random();
        auto top = static_cast<std::uint16_t>(random());
        const std::uint16_t exponent = top & 0x7FFF;
        // Canonical patterns only: the integer bit is set exactly when the exponent is not 0.
        if (exponent == 0) {
            significand &= ~(1ull << 63);
        } else {
            significand |= 1ull << 63;
        }
        const Ext bytes = ext(significand, top);
        const long double reference = machineValue(bytes);
        const long double decoded = decodeExt80(bytes);
        if (std::isnan(reference)) {
            EXPECT_TRUE(std::isnan(decoded));
            continue;
        }
        ASSERT_EQ(decoded, reference);
        ASSERT_EQ(encodeExt80(reference), machineBytes(reference));
        ASSERT_EQ(encodeExt80(decoded), bytes);
    }
}

TEST(Ext80, NonCanonicalPatternsReadAsTheirSignificandTimesTheScale)
{
    // Integer bit clear with a non-zero exponent: significand * 2^(e - 16446).
    EXPECT_EQ(decodeExt80(ext(0x4000000000000000ull, 0x3FFF)), 0.5L);
    // Integer bit set with exponent 0 (a pseudo-subnormal): the scale of exponent 1.
    EXPECT_EQ(decodeExt80(ext(0x8000000000000000ull, 0)), std::numeric_limits<long double>::min());
    // Exponent 32767: infinity only with a clear fraction, whatever the integer bit.
    EXPECT_TRUE(std::isinf(decodeExt80(ext(0, 0x7FFF))));
    EXPECT_TRUE(std::isnan(decodeExt80(ext(1, 0x7FFF))));
    EXPECT_TRUE(std::isnan(decodeExt80(ext(0x8000000000000001ull, 0xFFFF))));
}

TEST(ByteFields, IntegersAndFloatsAreLittleEndian)
{
    ByteWriter out;
    out.u8(0xAB);
    out.u32(0x11223344u);
    out.i32(-2);
    out.f32(1.0f);
    out.f64(-2.0);
    out.zeros(2);
    const std::vector<std::uint8_t> expected{0xAB, 0x44, 0x33, 0x22, 0x11, 0xFE, 0xFF, 0xFF,
                                             0xFF, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00,
                                             0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00};
    ASSERT_EQ(out.data().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(static_cast<std::uint8_t>(out.data()[i]), expected[i]) << "byte " << i;
    }

    ByteReader in(out.data());
    std::uint8_t b = 0;
    std::uint32_t u = 0;
    std::int32_t i = 0;
    float f = 0.0f;
    double d = 0.0;
    EXPECT_TRUE(in.u8(b) && in.u32(u) && in.i32(i) && in.f32(f) && in.f64(d));
    EXPECT_EQ(b, 0xAB);
    EXPECT_EQ(u, 0x11223344u);
    EXPECT_EQ(i, -2);
    EXPECT_EQ(f, 1.0f);
    EXPECT_EQ(d, -2.0);
    EXPECT_EQ(in.remaining(), 2u);
}

TEST(ByteFields, AFieldPastTheEndFailsAndEveryLaterReadFailsToo)
{
    const std::vector<std::byte> bytes(6, std::byte{7});
    ByteReader in(bytes);
    std::uint32_t u = 0;
    double d = 1.5;
    std::uint8_t b = 0;
    EXPECT_TRUE(in.u32(u));
    EXPECT_FALSE(in.f64(d));
    EXPECT_EQ(d, 1.5);
    EXPECT_FALSE(in.u8(b)); // a byte is left, but the reader has failed
    EXPECT_FALSE(in.ok());
    EXPECT_TRUE(in.bytes(1).empty());
}

} // namespace
} // namespace qv
