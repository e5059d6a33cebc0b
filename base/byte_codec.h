// Little-endian fields of the program's binary files: integers, IEEE floats and the 10-byte
// x87 extended format, each encoded by explicit code so that no layout of the compiler's own
// types leaks into a file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

namespace qv {

static_assert(std::numeric_limits<long double>::digits == 64,
              "the extended fields need a 64-bit significand");

inline constexpr std::size_t kExt80Bytes = 10;

/// The 10-byte extended form of v: the 64-bit significand with its explicit integer bit,
/// least significant byte first, then the sign and the 15-bit exponent (bias 16383). Zeros,
/// subnormals, infinities and NaNs keep their sign; every NaN is written as the quiet NaN.
std::array<std::byte, kExt80Bytes> encodeExt80(long double v);

/// The value of a 10-byte extended field. Exponent 32767 gives an infinity when the fraction
/// bits are clear and a NaN otherwise; every other exponent gives significand * 2^(e - 16446)
/// (e = 1 for exponent 0), also for significands whose integer bit is clear.
long double decodeExt80(std::span<const std::byte, kExt80Bytes> bytes);

/// Appends fields to a byte vector.
class ByteWriter
{
public:
    void u8(std::uint8_t v) { m_bytes.push_back(static_cast<std::byte>(v)); }

    void u32(std::uint32_t v);
    void i32(std::int32_t v);
    void f32(float v);
    void f64(double v);
    void ext80(long double v);
    /// Bytes as they are.
    void bytes(std::span<const std::byte> v);
    /// `count` zero bytes.
    void zeros(std::size_t count);

    /// Room for `count` more bytes, so that long arrays are appended without regrowing.
    void reserveMore(std::size_t count) { m_bytes.reserve(m_bytes.size() + count); }

    const std::vector<std::byte>& data() const { return m_bytes; }

private:
    std::vector<std::byte> m_bytes;
};

/// Reads fields from the front of a byte span. A field that does not fit in what is left
/// reads as nothing: the reader fails from then on and every later read returns false.
class ByteReader
{
public:
    explicit ByteReader(std::span<const std::byte> bytes) : m_bytes(bytes) {}

    bool u8(std::uint8_t& v);
    bool u32(std::uint32_t& v);
    bool i32(std::int32_t& v);
    bool f32(float& v);
    bool f64(double& v);
    bool ext80(long double& v);
    /// The next `count` bytes, or an empty span (and failure) when fewer are left.
    std::span<const std::byte> bytes(std::size_t count);

    std::size_t position() const { return m_position; }

    std::size_t remaining() const { return m_bytes.size() - m_position; }

    bool ok() const { return m_ok; }

private:
    const std::byte* take(std::size_t count);

    std::span<const std::byte> m_bytes;
    std::size_t m_position = 0;
    bool m_ok = true;
};

/// The 4 bytes at `at` as a little-endian unsigned integer.
inline std::uint32_t loadU32(const std::byte* at)
{
    return static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
           (static_cast<std::uint32_t>(at[2]) << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}

/// Writes v to the 4 bytes at `at`, least significant first.
inline void storeU32(std::byte* at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::byte>((v >> (8 * i)) & 0xFFu);
    }
}

} // namespace qv
