// The field codecs of the binary files.
#include "base/byte_codec.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace qv {
namespace {

constexpr int kExtBias = 16383;
constexpr std::uint16_t kExtMaxExponent = 0x7FFF;
constexpr std::uint64_t kIntegerBit = 1ull << 63;
constexpr std::uint64_t kQuietNan = 3ull << 62;
/// A significand s with exponent field e holds s * 2^(e - kExtBias - 63).
constexpr int kSignificandShift = kExtBias + 63;

void put(std::array<std::byte, kExt80Bytes>& out, std::uint64_t significand, std::uint16_t top)
{
    for (std::size_t i = 0; i < 8; ++i) {
        out[i] = static_cast<std::byte>((significand >> (8 * i)) & 0xFFu);
    }
    out[8] = static_cast<std::byte>(top & 0xFFu);
    out[9] = static_cast<std::byte>(top >> 8);
}

} // namespace

std::array<std::byte, kExt80Bytes> encodeExt80(long double v)
{
    std::array<std::byte, kExt80Bytes> out{};
    const std::uint16_t sign = std::signbit(v) ? 0x8000u : 0u;
    if (std::isnan(v)) {
        put(out, kQuietNan, static_cast<std::uint16_t>(sign | kExtMaxExponent));
        return out;
    }
    if (std::isinf(v)) {
        put(out, kIntegerBit, static_cast<std::uint16_t>(sign | kExtMaxExponent));
        return out;
    }
    if (v == 0.0L) {
        put(out, 0, sign);
        return out;
    }
    const long double magnitude = std::fabs(v);
    int exponent = 0;
    const long double fraction = std::frexp(magnitude, &exponent); // in [0.5, 1)
    const int biased = exponent - 1 + kExtBias;
    if (biased >= 1) {
        // fraction * 2^64 is an integer below 2^64 with its top bit set: the significand.
        const auto significand = static_cast<std::uint64_t>(std::ldexp(fraction, 64));
        put(out, significand, static_cast<std::uint16_t>(sign | static_cast<unsigned>(biased)));
    } else {
        // Subnormal: exponent field 0 stands for 2^(1 - kExtBias), integer bit clear.
        const auto significand =
            static_cast<std::uint64_t>(std::ldexp(magnitude, kSignificandShift - 1));
        put(out, significand, sign);
    }
    return out;
}

long double decodeExt80(std::span<const std::byte, kExt80Bytes> bytes)
{
    std::uint64_t significand = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        significand |= static_cast<std::uint64_t>(bytes[i]) << (8 * i);
    }
    const auto top = static_cast<std::uint16_t>(static_cast<unsigned>(bytes[8]) |
                                                (static_cast<unsigned>(bytes[9]) << 8));
    const bool negative = (top & 0x8000u) != 0;
    const int exponent = top & kExtMaxExponent;
    long double magnitude = 0.0L;
    if (exponent == kExtMaxExponent) {
        magnitude = (significand & ~kIntegerBit) == 0
                        ? std::numeric_limits<long double>::infinity()
                        : std::numeric_limits<long double>::quiet_NaN();
    } else {
        // The significand converts exactly (64 bits), and so does the scaling.
        magnitude = std::ldexp(static_cast<long double>(significand),
                               std::max(exponent, 1) - kSignificandShift);
    }
    return negative ? -magnitude : magnitude;
}

void ByteWriter::u32(std::uint32_t v)
{
    std::array<std::byte, 4> b{};
    storeU32(b.data(), v);
    bytes(b);
}

void ByteWriter::i32(std::int32_t v)
{
    u32(std::bit_cast<std::uint32_t>(v));
}

void ByteWriter::f32(float v)
{
    u32(std::bit_cast<std::uint32_t>(v));
}

void ByteWriter::f64(double v)
{
    const auto bits = std::bit_cast<std::uint64_t>(v);
    u32(static_cast<std::uint32_t>(bits & 0xFFFFFFFFu));
    u32(static_cast<std::uint32_t>(bits >> 32));
}

void ByteWriter::ext80(long double v)
{
    bytes(encodeExt80(v));
}

void ByteWriter::bytes(std::span<const std::byte> v)
{
    m_bytes.insert(m_bytes.end(), v.begin(), v.end());
}

void ByteWriter::zeros(std::size_t count)
{
    m_bytes.insert(m_bytes.end(), count, std::byte{0});
}

const std::byte* ByteReader::take(std::size_t count)
{
    if (!m_ok || count > remaining()) {
        m_ok = false;
        return nullptr;
    }
    const std::byte* at = m_bytes.data() + m_position;
    m_position += count;
    return at;
}

bool ByteReader::u8(std::uint8_t& v)
{
    const std::byte* at = take(1);
    if (at == nullptr) {
        return false;
    }
    v = static_cast<std::uint8_t>(*at);
    return true;
}

bool ByteReader::u32(std::uint32_t& v)
{
    const std::byte* at = take(4);
    if (at == nullptr) {
        return false;
    }
    v = loadU32(at);
    return true;
}

bool ByteReader::i32(std::int32_t& v)
{
    std::uint32_t bits = 0;
    if (!u32(bits)) {
        return false;
    }
    v = std::bit_cast<std::int32_t>(bits);
    return true;
}

bool ByteReader::f32(float& v)
{
    std::uint32_t bits = 0;
    if (!u32(bits)) {
        return false;
    }
    v = std::bit_cast<float>(bits);
    return true;
}

bool ByteReader::f64(double& v)
{
    const std::byte* at = take(8);
    if (at == nullptr) {
        return false;
    }
    const std::uint64_t bits = static_cast<std::uint64_t>(loadU32(at)) |
                               (static_cast<std::uint64_t>(loadU32(at + 4)) << 32);
    v = std::bit_cast<double>(bits);
    return true;
}

bool ByteReader::ext80(long double& v)
{
    const std::byte* at = take(kExt80Bytes);
    if (at == nullptr) {
        return false;
    }
    v = decodeExt80(std::span<const std::byte, kExt80Bytes>(at, kExt80Bytes));
    return true;
}

std::span<const std::byte> ByteReader::bytes(std::size_t count)
{
    const std::byte* at = take(count);
    if (at == nullptr) {
        return {};
    }
    return {at, count};
}

} // namespace qv
