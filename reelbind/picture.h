// Picture: one decoded frame as 8-bit red-green-blue triples, top row first.
#pragma once

#include <cstdint>
#include <vector>

namespace qv::reelbind {

/// Pictures wider or taller than this are refused: zoom-movie frames are screen-sized, and a
/// header claiming more is far likelier damage than a picture worth gigabytes of memory.
constexpr std::int64_t kMaxSide = 16384;

struct Picture
{
    std::int32_t width = 0;
    std::int32_t height = 0;
    /// width * height * 3 bytes, rows top first, no padding between rows.
    std::vector<std::uint8_t> rgb;
};

} // namespace qv::reelbind
