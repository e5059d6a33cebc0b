// The escape-time kernels in 80-bit extended precision: the per-pixel kernel of kinds 1 and 2 and
// the strip worker of all five kinds.
#pragma once

#include "engine/kernel_kind.h"
#include "engine/strip_job.h"

#include <cstdint>
#include <limits>

namespace qv {

static_assert(std::numeric_limits<long double>::digits == 64,
              "the kernels need the 80-bit extended format of x86-64");

/// One pixel's result: the escape count (0 when the orbit did not escape) and the escape values
/// A and B, as stored in the iteration buffer.
struct PixelEscape
{
    std::int32_t count = 0;
    float a = 0.0f;
    float b = 0.0f;
};

/// The constants every pixel of a render shares, derived once from iterMax and the bailout.
struct EscapeLimits
{
    std::int32_t iterMax = 100;
    /// Bit pattern of the float-rounded bailout: the exact test of kinds 1 and 2 compares bits.
    std::uint32_t bailoutBits = 0;
    /// The float-rounded bailout, against which kinds 3 to 5 compare in extended precision.
    long double bailout = 0.0L;
};

/// Limits for a render with the given iteration limit and bailout. A limit below 3 is taken as
/// 3 (the counter of kinds 1 and 2 needs it), one within 1024 of the int32 maximum as that
/// bound, so that no count can overflow.
EscapeLimits makeEscapeLimits(std::int32_t iterMax, double bailout);

/// The kernel of kinds 1 and 2 for one pixel (any other kind computes as kind 1), as the
/// strip worker computes a pixel it takes alone: the orbit starts at z = (zr, zi) with
/// constant c = (cr, ci); for a Mandelbrot pixel both are the pixel's point, for a Julia pixel
/// c is the Julia constant. Gives exactly what the strip worker stores for the same pixel.
PixelEscape iteratePixelExtended(KernelKind kind, const EscapeLimits& lim, long double zr,
                                 long double zi, long double cr, long double ci);

/// Strip worker: computes rows job.firstRow..job.lastRow with the given kernel kind and writes
/// count, A and B through the job's pointers (already at the strip's first row). Kinds 1 and 2
/// read the stop flag after every pixel and end at once when it is set, leaving the pixels not
/// yet written as they were, and yield after every row whose index is a multiple of 8; kinds 3
/// to 5 always finish their strip. Returns 0.
std::int32_t runStripJob(const StripJob& job, KernelKind kind);

} // namespace qv
