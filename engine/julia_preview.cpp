// The Julia finder's preview renderer: the extended kernels in plain code, with the fast pass
// testing against the bailout, and the per-pixel colouring of the single-threaded renderer.
#include "engine/julia_preview.h"

#include "engine/kernel_kind.h"
#include "engine/kernels_extended.h"

#include <bit>
#include <cstddef>

namespace qv {

namespace {

/// How far the exact pass of kinds 1 and 2 counts on below zero, as the picture's kernels do.
constexpr std::int32_t kCountOnSteps = 256;

std::uint32_t floatBits(long double v)
{
    return std::bit_cast<std::uint32_t>(static_cast<float>(v));
}

/// z <- z^2 + c in the kernels' order of operations.
void step(long double& zr, long double& zi, long double cr, long double ci)
{
    const long double sr = zr * zr;
    const long double si = zi * zi;
    const long double p = zr * zi;
    zr = (sr - si) + cr;
    zi = 2.0L * p + ci;
}

/// Kinds 1 and 2: blocks of four whose third iterate is tested against the bailout, then the
/// exact pass from the start of the block where the fast pass stopped.
PixelEscape previewPixelA(KernelKind kind, const EscapeLimits& lim, long double zr, long double zi,
                          long double cr, long double ci)
{
    const bool plain = kind == KernelKind::Plain;
    long double zsr = zr;
    long double zsi = zi;
    std::int32_t r = lim.iterMax - 3;
    bool left = false;
    do {
        zsr = zr;
        zsi = zi;
        step(zr, zi, cr, ci);
        step(zr, zi, cr, ci);
        step(zr, zi, cr, ci);
        // An infinity or NaN lies above every limit in bits, so it counts as reached.
        const bool reached = floatBits(zr * zr + zi * zi) >= lim.bailoutBits;
        if (plain) {
            r -= 4;
        }
        if (reached) {
            left = true;
            break;
        }
        if (!plain) {
            r -= 4;
        }
        step(zr, zi, cr, ci);
    } while (r >= 0);
    if (!left) {
        r = 0;
    }
    r += 3;
    zr = zsr;
    zi = zsi;
    do {
        const long double sr = zr * zr;
        const long double si = zi * zi;
        const bool out =
            plain ? floatBits(sr + si) > lim.bailoutBits : floatBits(2.0L * sr) >= lim.bailoutBits;
        if (out) {
            return {lim.iterMax - r + 1, static_cast<float>(sr), static_cast<float>(si)};
        }
        step(zr, zi, cr, ci);
        --r;
    } while (r != 0 && r > -kCountOnSteps);
    if (plain) {
        return {0, static_cast<float>(zi), static_cast<float>(zr)};
    }
    return {0, static_cast<float>(zr), static_cast<float>(zi)};
}

/// Kinds 3 to 5: the fast pass tests the previous block's |z|^2 (a double) against the
/// bailout; the exact pass runs from the kept block start up to iterMax.
PixelEscape previewPixelB(KernelKind kind, const EscapeLimits& lim, long double zr, long double zi,
                          long double cr, long double ci)
{
    const auto fastLimit = static_cast<double>(lim.bailout);
    double t = 2.0;
    long double zsr = zr;
    long double zsi = zi;
    std::int32_t zsIndex = 0;
    for (std::int32_t k = 3; k <= lim.iterMax - 3; k += 4) {
        zsr = zr;
        zsi = zi;
        zsIndex = k - 3;
        step(zr, zi, cr, ci);
        step(zr, zi, cr, ci);
        step(zr, zi, cr, ci);
        if (t > fastLimit) {
            break;
        }
        t = static_cast<double>(zr * zr + zi * zi);
        step(zr, zi, cr, ci);
    }
    zr = zsr;
    zi = zsi;
    long double lastProduct = zr * zi;
    for (std::int32_t i = zsIndex; i <= lim.iterMax; ++i) {
        const long double sr = zr * zr;
        const long double si = zi * zi;
        const long double p = zr * zi;
        if (kind == KernelKind::MixedOrbit) {
            // From the block start on the orbit follows zr <- zr^2 - zr zi^2 + cr.
            const long double m = zr * si;
            lastProduct = p;
            if (m + p > lim.bailout) {
                return {i + 5, static_cast<float>(p), static_cast<float>(m)};
            }
            zr = (sr - m) + cr;
            zi = 2.0L * p + ci;
            continue;
        }
        const long double tested = kind == KernelKind::Lagged ? sr + p : sr + si;
        if (tested > lim.bailout) {
            return {i + 5, static_cast<float>(sr), static_cast<float>(si)};
        }
        zr = (sr - si) + cr;
        zi = 2.0L * p + ci;
    }
    if (kind == KernelKind::MixedOrbit) {
        return {0, static_cast<float>(lastProduct), static_cast<float>(zi)};
    }
    return {0, static_cast<float>(zr), static_cast<float>(zi)};
}

} // namespace

PreviewPicture renderPreview(const PreviewJob& job, const Palette& palette)
{
    ColourSettings colours = job.colours;
    colours.iterMax = kPreviewIterMax;
    const ColourConstants constants = prepareColouring(colours);
    const EscapeLimits lim = makeEscapeLimits(kPreviewIterMax, colours.bailout);
    const KernelKind kind = kernelKindForMode(colours.drawingMode);
    const bool layoutA = kind == KernelKind::Plain || kind == KernelKind::RealSquare;
    Palette shown = palette;
    applyEntryZeroRule(shown, colours.drawingMode);

    const long double dx = (kPreviewHigh - kPreviewLow) / static_cast<long double>(kPreviewWidth);
    const long double dy = (kPreviewHigh - kPreviewLow) / static_cast<long double>(kPreviewHeight);
    constexpr auto kPixels = static_cast<std::size_t>(kPreviewWidth) * kPreviewHeight;
    PreviewPicture out;
    out.counts.resize(kPixels);
    out.colours.resize(kPixels);
    std::size_t at = 0;
    long double y = kPreviewLow;
    for (std::int32_t row = 0; row < kPreviewHeight; ++row) {
        long double x = kPreviewLow;
        for (std::int32_t col = 0; col < kPreviewWidth; ++col, ++at) {
            const PixelEscape e = layoutA ? previewPixelA(kind, lim, x, y, job.cr, job.ci)
                                          : previewPixelB(kind, lim, x, y, job.cr, job.ci);
            out.counts[at] = e.count;
            const std::int32_t v = colourPixel(constants, palette, e.count, e.a, e.b);
            out.colours[at] = colourOfValue(v, shown, colours.paletteOffset);
            x += dx;
        }
        y += dy;
    }
    return out;
}

} // namespace qv
