// Encoding the raw results file.
#include "cli/raw_file.h"

#include "base/byte_codec.h"

#include <bit>

namespace qv::cli {

std::vector<std::byte> encodeRawResults(const RawResults& raw)
{
    if (raw.width < 0 || raw.height < 0) {
        return {};
    }
    const std::size_t n =
        static_cast<std::size_t>(raw.width) * static_cast<std::size_t>(raw.height);
    if (raw.counts.size() != n || raw.a.size() != n || raw.b.size() != n) {
        return {};
    }
    // Filled in place: a large picture's results are gigabytes, too many to hold twice.
    std::vector<std::byte> bytes(kRawHeaderBytes + 12 * n);
    std::byte* at = bytes.data();
    for (const char c : kRawMagic) {
        *at++ = static_cast<std::byte>(c);
    }
    const auto put = [&at](std::uint32_t v) {
        storeU32(at, v);
        at += 4;
    };
    put(kRawVersion);
    put(static_cast<std::uint32_t>(raw.width));
    put(static_cast<std::uint32_t>(raw.height));
    for (const std::int32_t count : raw.counts) {
        put(static_cast<std::uint32_t>(count));
    }
    for (const float a : raw.a) {
        put(std::bit_cast<std::uint32_t>(a));
    }
    for (const float b : raw.b) {
        put(std::bit_cast<std::uint32_t>(b));
    }
    return bytes;
}

} // namespace qv::cli
