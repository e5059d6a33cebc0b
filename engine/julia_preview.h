// The Julia finder's preview: a small Julia picture of a fixed window, computed apart from the
// program's buffers so that it can follow the pointer.
#pragma once

#include "engine/colouring.h"
#include "palette/palette.h"

#include <cstdint>
#include <vector>

namespace qv {

inline constexpr std::int32_t kPreviewWidth = 200;
inline constexpr std::int32_t kPreviewHeight = 160;
inline constexpr std::int32_t kPreviewIterMax = 200;
/// The preview always shows this square of the plane, on both axes.
inline constexpr long double kPreviewLow = -1.8L;
inline constexpr long double kPreviewHigh = 1.8L;

/// What one preview shows: the Julia set of c = (cr, ci), computed with the kernel kind of
/// colours.drawingMode against colours.bailout and coloured with `colours` (whose iterMax the
/// preview replaces by kPreviewIterMax).
struct PreviewJob
{
    long double cr = 0.0L;
    long double ci = 0.0L;
    ColourSettings colours;
};

/// A finished preview: kPreviewWidth x kPreviewHeight pixels, row-major, row 0 the row at the
/// window's lower imaginary bound, shown at the top.
struct PreviewPicture
{
    /// The escape count of every pixel (0 = did not escape).
    std::vector<std::int32_t> counts;
    /// The colour shown for every pixel, 0x00RRGGBB.
    std::vector<std::uint32_t> colours;
};

/// Computes the preview of `job`. The kernels are those of the drawing mode, except that their
/// fast pass tests |z|^2 against the float-rounded bailout instead of 4, which lets an orbit
/// run on to the bailout in blocks of four. Palette entry 0 shows as buildPicture shows it.
/// Pure: reads only its arguments, so it may run on any thread.
PreviewPicture renderPreview(const PreviewJob& job, const Palette& palette);

} // namespace qv
