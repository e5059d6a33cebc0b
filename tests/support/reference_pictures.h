// Whole pictures computed pixel by pixel outside the renderers, with the strip layout a render
// uses, and the views the render tests draw.
#pragma once

#include "engine/kernel_kind.h"
#include "engine/kernels_deep.h"
#include "engine/kernels_extended.h"
#include "base/mp_float.h"
#include "engine/strip_job.h"
#include "engine/strip_layout.h"
#include "engine/view_state.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#include <gmp.h>

namespace qv::test {

/// Count, A and B of every pixel, row-major, row 0 the row at ymin.
struct Raw
{
    std::vector<std::int32_t> counts;
    std::vector<float> a;
    std::vector<float> b;

    bool operator==(const Raw&) const = default;
};

inline Raw emptyRaw(std::int32_t width, std::int32_t height)
{
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    return Raw{std::vector<std::int32_t>(n), std::vector<float>(n), std::vector<float>(n)};
}

/// Every pixel of the current window computed row by row from the definitions: x and y of a
/// strip start at xmin and ymin + dy * firstRow and step by repeated addition.
inline Raw referenceExtended(ViewState& view, std::int32_t width, std::int32_t height,
                             const std::vector<StripBounds>& strips)
{
    const WindowRef w = currentWindow(view);
    const bool mandelbrot = (view.modeWord & 1u) != 0;
    const long double dx = (w.xmax.ext - w.xmin.ext) / static_cast<long double>(width);
    const long double dy = (w.ymax.ext - w.ymin.ext) / static_cast<long double>(height);
    const KernelKind kind =
        drawingMode(view.modeWord) == 2 ? KernelKind::RealSquare : KernelKind::Plain;
    const EscapeLimits lim = makeEscapeLimits(view.iterMax, view.bailout);
    Raw raw = emptyRaw(width, height);
    for (const StripBounds& strip : strips) {
        long double y = w.ymin.ext + dy * static_cast<long double>(strip.firstRow);
        for (std::int32_t row = strip.firstRow; row <= strip.lastRow; ++row) {
            long double x = w.xmin.ext;
            for (std::int32_t col = 0; col < width; ++col) {
                const long double cr = mandelbrot ? x : view.julia.cr.ext;
                const long double ci = mandelbrot ? y : view.julia.ci.ext;
                const PixelEscape e = iteratePixelExtended(kind, lim, x, y, cr, ci);
                const auto at = static_cast<std::size_t>(row * width + col);
                raw.counts[at] = e.count;
                raw.a[at] = e.a;
                raw.b[at] = e.b;
                x += dx;
            }
            y += dy;
        }
    }
    return raw;
}

/// The same through the deep kernel, one call per strip from the strip's own start.
inline Raw referenceDeep(ViewState& view, std::int32_t width, std::int32_t height,
                         const std::vector<StripBounds>& strips)
{
    const std::int32_t bits = view.precisionBits;
    const auto ubits = static_cast<unsigned long>(bits);
    const WindowRef w = currentWindow(view);
    MpFloat dx(ubits);
    MpFloat dy(ubits);
    mpf_sub(dx.get(), w.xmax.mp(), w.xmin.mp());
    mpf_div_ui(dx.get(), dx.get(), static_cast<unsigned long>(width));
    mpf_sub(dy.get(), w.ymax.mp(), w.ymin.mp());
    mpf_div_ui(dy.get(), dy.get(), static_cast<unsigned long>(height));
    Raw raw = emptyRaw(width, height);
    for (const StripBounds& strip : strips) {
        DeepStripJob job(bits);
        job.iterMax = view.iterMax;
        const auto at = static_cast<std::size_t>(strip.firstRow * width);
        job.counts = raw.counts.data() + at;
        job.a = raw.a.data() + at;
        job.b = raw.b.data() + at;
        job.mandelbrot = static_cast<std::int32_t>(view.modeWord & 1u);
        job.width = width;
        job.firstRow = strip.firstRow;
        job.lastRow = strip.lastRow;
        job.bailout = view.bailout;
        mpf_set(job.x0.get(), w.xmin.mp());
        mpf_set(job.dx.get(), dx.get());
        mpf_mul_ui(job.y0.get(), dy.get(), static_cast<unsigned long>(strip.firstRow));
        mpf_add(job.y0.get(), job.y0.get(), w.ymin.mp());
        mpf_set(job.dy.get(), dy.get());
        mpf_set(job.juliaCr.get(), view.julia.cr.mp());
        mpf_set(job.juliaCi.get(), view.julia.ci.mp());
        runDeepStripJob(job, kernelKindForMode(drawingMode(view.modeWord)), height);
    }
    return raw;
}

/// Sets the current window in extended precision and copies it into the other forms.
inline void setWindow(ViewState& view, long double xmin, long double xmax, long double ymin,
                      long double ymax)
{
    WindowRef w = currentWindow(view);
    w.xmin.ext = xmin;
    w.xmax.ext = xmax;
    w.ymin.ext = ymin;
    w.ymax.ext = ymax;
    extendedToDeep(view);
}

/// On the edge of the Mandelbrot set, where a last-bit change of y changes escape results.
inline void edgeView(ViewState& view)
{
    view.iterMax = 600;
    setWindow(view, -0.7480L, -0.7460L, 0.0980L, 0.0995L);
}

/// A Julia set that is nearly the unit disc: rows far from 0 escape at once, rows near it never
/// escape and cost iterMax iterations per pixel.
inline void cheapThenHeavyJuliaView(ViewState& view, std::int32_t iterMax)
{
    view.modeWord = 4; // Julia, drawing mode 1
    view.julia.cr.ext = -0.1L;
    view.julia.ci.ext = 0.1L;
    view.iterMax = iterMax;
    setWindow(view, -0.4L, 0.4L, -6.4L, 0.0L);
}

/// Rows 0..54 of the 16 x 64 picture of cheapThenHeavyJuliaView escape within 20 iterations;
/// rows 55..63 hold pixels of the set.
inline constexpr std::int32_t kCheapRows = 55;

} // namespace qv::test
