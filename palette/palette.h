// Palette: the table of 262,145 colours (0x00RRGGBB) that colour indices select.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv {

/// The palette table. Every colour lookup goes through colourAt, which never reads outside
/// the table whatever index it is given.
struct Palette
{
    static constexpr std::int64_t kEntries = 262145;
    static constexpr std::int64_t kWrap = 262144;

    std::vector<std::uint32_t> entries = std::vector<std::uint32_t>(kEntries, 0u);

    /// Entry v for v in 0..262144; entry ((v mod 262144) + 262144) mod 262144 for any other v
    /// (indices past the end, negative offsets).
    std::uint32_t colourAt(std::int64_t v) const
    {
        if (v < 0 || v >= kEntries) {
            v = ((v % kWrap) + kWrap) % kWrap;
        }
        return entries[static_cast<std::size_t>(v)];
    }
};

} // namespace qv
