// The palette's settings: the nine generator parameters, the five options, the offset, the
// random-step bound and the random-palette flag.
#pragma once

#include <array>
#include <cstdint>

namespace qv {

/// Nine 32-bit floats: a start, a step and a stop per channel. With HSL off the channels are
/// red, green and blue; with HSL on, channel 1 is the luminance, 2 the saturation and 3 the hue.
struct PaletteParameters
{
    std::array<float, 3> start{};
    std::array<float, 3> step{};
    std::array<float, 3> stop{};

    bool operator==(const PaletteParameters&) const = default;
};

/// The five palette options. Each has its bit in the colour flags word, which the word carries
/// only when it is stored or loaded (see syncColourFlags and optionsFromColourFlags).
struct PaletteOptions
{
    static constexpr std::uint32_t kHslBit = 1u << 4;
    static constexpr std::uint32_t kInverseBit = 1u << 5;
    static constexpr std::uint32_t kReverseBit = 1u << 6;
    static constexpr std::uint32_t kExp2Bit = 1u << 7;
    static constexpr std::uint32_t kExp3Bit = 1u << 8;
    static constexpr std::uint32_t kAllBits =
        kHslBit | kInverseBit | kReverseBit | kExp2Bit | kExp3Bit;

    bool hsl = false;
    bool inverse = false;
    bool reverse = false;
    bool exp2 = false;
    bool exp3 = false;

    bool operator==(const PaletteOptions&) const = default;
};

/// Everything the palette dialog edits, besides the table itself. Lives for the whole run.
struct PaletteState
{
    /// The start-up values (those of "Color by potential" on, "Smooth color" off); start-up
    /// sets them again through resetPaletteDefaults.
    PaletteParameters parameters{
        {12.0f, 164.0f, 127.0f}, {1.0f, 1.0f, 1.0f}, {245.0f, 172.0f, 200.0f}};
    PaletteOptions options;
    /// Added to every colour index when the picture is built; any value is safe, the table
    /// lookup wraps indices it cannot hold.
    std::int32_t paletteOffset = 0;
    /// "Max color step": the upper bound of the random steps.
    float maxColourStep = 1.9f;
    /// The table came from the random mode; drawing-mode changes then keep it.
    bool randomPaletteFlag = false;
};

/// Sets bits 4..8 of `colourFlags` from the options (set when on, cleared when off), leaving
/// every other bit as it is.
inline void syncColourFlags(const PaletteOptions& options, std::uint32_t& colourFlags)
{
    colourFlags &= ~PaletteOptions::kAllBits;
    colourFlags |= (options.hsl ? PaletteOptions::kHslBit : 0u) |
                   (options.inverse ? PaletteOptions::kInverseBit : 0u) |
                   (options.reverse ? PaletteOptions::kReverseBit : 0u) |
                   (options.exp2 ? PaletteOptions::kExp2Bit : 0u) |
                   (options.exp3 ? PaletteOptions::kExp3Bit : 0u);
}

/// The five options as bits 4..8 of `colourFlags` give them.
inline PaletteOptions optionsFromColourFlags(std::uint32_t colourFlags)
{
    PaletteOptions options;
    options.hsl = (colourFlags & PaletteOptions::kHslBit) != 0;
    options.inverse = (colourFlags & PaletteOptions::kInverseBit) != 0;
    options.reverse = (colourFlags & PaletteOptions::kReverseBit) != 0;
    options.exp2 = (colourFlags & PaletteOptions::kExp2Bit) != 0;
    options.exp3 = (colourFlags & PaletteOptions::kExp3Bit) != 0;
    return options;
}

} // namespace qv
