// The palette generator: the table from nine parameters (or random ones), the HLS conversion,
// the mirror options and the default parameter sets.
#pragma once

#include "base/prompts.h"
#include "palette/palette.h"
#include "palette/palette_host.h"
#include "palette/palette_random.h"
#include "palette/palette_state.h"

#include <cstdint>
#include <span>

namespace qv {

/// The palette's collaborators, bound once by the caller. `colourFlags` is the colour flags
/// word of the render settings: bit 1 "Smooth color", bit 2 "Color by potential", bits 4..8
/// the palette options.
struct PaletteContext
{
    Palette& palette;
    PaletteState& state;
    std::uint32_t& colourFlags;
    PaletteRandom& random;
    PaletteHost& host;
    Prompts& prompts;
};

enum class PaletteMode {
    FromParameters, ///< generate from the current parameters and options
    Random,         ///< draw new parameters first
};

/// The three channels an HLS conversion gives, each 0..255.
struct RgbChannels
{
    std::int32_t red = 0;
    std::int32_t green = 0;
    std::int32_t blue = 0;

    bool operator==(const RgbChannels&) const = default;
};

/// One channel of the HLS conversion for hue h (0..254 after one wrap); p and q are the two
/// levels the hue moves between. Results are rounded into 16 bits, wrapping like the inputs.
std::uint16_t hueToRgb(std::uint16_t p, std::uint16_t q, std::uint16_t h);

/// Converts the packed word (luminance in bits 16..23, saturation in bits 8..15, hue in bits
/// 0..7, each on the scale 0..254) to red, green and blue on the scale 0..255.
RgbChannels hlsToRgb(std::uint32_t packed);

/// Converts every packed word of `words` in place as hlsToRgb does, to 0x00RRGGBB; with
/// `reverse`, to the colour the Reverse option makes of that (red and blue swapped, all three
/// complemented). Eight words at a time: what the generator converts a table with.
void hlsToRgbWords(std::span<std::uint32_t> words, bool reverse);

/// Writes the 262,144 entries first..first + 262143 from the parameters and the options HSL,
/// Inverse and Reverse, then applies Exp 2 and Exp 3 to entries 0..262143. `first` is 0 or 1.
void fillPalette(Palette& palette, const PaletteParameters& parameters,
                 const PaletteOptions& options, std::int64_t first);

/// Exp 2: entry i = entry 262143 - i for i from 0 upwards, in place: the lower half becomes
/// the mirrored upper half, the upper half stays.
void applyExp2(Palette& palette);

/// Exp 3: as Exp 2 with the mirrored colours complemented; the upper half ends unchanged.
void applyExp3(Palette& palette);

/// Generates the table (drawing the parameters first in random mode) and clears
/// pictureFromImage. Random mode sets randomPaletteFlag, makes entry 0 black and writes
/// entries 1..262144.
void generatePalette(PaletteContext& context, PaletteMode mode);

/// Sets the default parameters for "Smooth color" and "Color by potential" in the colour
/// flags, clears randomPaletteFlag, generates, and reopens an open palette dialog.
void resetPaletteDefaults(PaletteContext& context);

} // namespace qv
