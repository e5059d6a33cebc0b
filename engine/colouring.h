// Pixel colouring: turns the kernels' counts and escape values into colour indices or finished
// colours, and builds the picture from them through the palette.
#pragma once

#include "engine/iteration_buffer.h"
#include "engine/picture_buffer.h"
#include "palette/palette.h"

#include <cstdint>

namespace qv {

/// The settings one colour pass reads, gathered once before the pass so that the colouring
/// needs nothing from the application's state records.
struct ColourSettings
{
    static constexpr std::uint32_t kInsideColour = 1u << 0;      ///< "Inside color"
    static constexpr std::uint32_t kSmoothColour = 1u << 1;      ///< "Smooth color"
    static constexpr std::uint32_t kColourByPotential = 1u << 2; ///< "Color by potential"

    std::int32_t drawingMode = 1;                   ///< 1..28; others colour as mode 1
    std::uint32_t colourFlags = kColourByPotential; ///< bits 0..2 are read, the rest ignored
    std::int32_t iterMax = 100;
    double bailout = 128.0;
    double potValue = 0.0001;
    std::int32_t paletteOffset = 0; ///< added to every index when it is looked up
};

/// What a pass derives once from its settings. Built by prepareColouring; the per-pixel
/// function reads nothing else but the palette.
struct ColourConstants
{
    std::int32_t drawingMode = 1;
    bool insideColour = false;
    bool smoothColour = false;
    bool colourByPotential = true;
    bool insideIndex = false;   ///< pixels that did not escape get an index from A and B
    bool formulaForAll = false; ///< the mode's formula colours the inside too (13, 15, 17)
    std::int32_t iterMax = 100;
    std::int32_t paletteOffset = 0;
    double bailout = 128.0;
    float invLn2 = 0.0f;     ///< 1 / ln 2
    float k1 = 0.0f;         ///< ln(ln(ln(bailout))) / ln 2
    float potScale = 0.0f;   ///< potValue * 262144
    float shadeSlope = 0.0f; ///< 0.1 below mode 26, 0.06 from mode 26 on
    float shadeBase = 0.0f;  ///< 1 below mode 26, 0 from mode 26 on
};

/// The constants of a pass over pictures coloured with `settings`.
ColourConstants prepareColouring(const ColourSettings& settings);

/// True for the seven drawing modes (3, 5, 6, 20, 22, 23, 24) that give pixels which did not
/// escape an index of their own; every other mode draws index 0 in black.
bool hasInsideIndex(std::int32_t drawingMode);

/// The coloured value of one pixel with count n (0 = did not escape) and escape values a, b:
/// a colour index (>= 0) or a finished colour 0x00RRGGBB stored negated. The renderers that
/// colour pixel by pixel call it; the colour pass gives the same values a block at a time,
/// through the same formulas.
std::int32_t colourPixel(const ColourConstants& constants, const Palette& palette, std::int32_t n,
                         float a, float b);

/// Rewrites every pixel of the buffer from its kernel results into its coloured value. The
/// picture is not built here: the caller runs buildPicture afterwards. Returns how many of the
/// pixels did not escape (count 0).
std::int64_t colourPass(IterationBuffer& iterations, const ColourSettings& settings,
                        const Palette& palette);

/// The same for rows firstRow..lastRow (inclusive, clamped to the picture) only: after a stopped
/// render the rows that were not computed already hold coloured values, which must not be
/// coloured a second time.
std::int64_t colourPass(IterationBuffer& iterations, const ColourSettings& settings,
                        const Palette& palette, std::int32_t firstRow, std::int32_t lastRow);

/// The number of distinct colours in the picture.
std::int32_t countColours(const PictureBuffer& picture);

/// The colour shown for a coloured value v: palette entry paletteOffset + v for an index,
/// the stored colour for a finished one.
std::uint32_t colourOfValue(std::int32_t v, const Palette& palette, std::int32_t paletteOffset);

/// Makes palette entry 0 black unless the drawing mode has an inside index, so that pixels which
/// did not escape (index 0) show black. The change stays in the table.
void applyEntryZeroRule(Palette& palette, std::int32_t drawingMode);

/// Replaces `picture` by the colours of the coloured buffer, after applying the entry-0 rule
/// for the drawing mode. Top row = buffer row 0.
void buildPicture(PictureBuffer& picture, const IterationBuffer& iterations, Palette& palette,
                  std::int32_t drawingMode, std::int32_t paletteOffset);

} // namespace qv
