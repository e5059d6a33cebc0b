// Whole pictures computed pixel by pixel by the plain reference loops, outside the engine, with
// the strip layout a render uses, and the views the render tests draw.
#pragma once

#include "base/mp_float.h"
#include "engine/kernel_kind.h"
#include "engine/kernels_deep.h"
#include "engine/strip_layout.h"
#include "engine/view_state.h"
#include "tests/support/reference_kernels.h"

#include <algorithm>
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

/// Stores one pixel's count, A and B at `at`.
inline void store(Raw& raw, std::size_t at, const ReferencePixel& p)
{
    raw.counts[at] = p.count;
    raw.a[at] = p.a;
    raw.b[at] = p.b;
}

/// The kind the per-pixel extended kernel computes for the view's drawing mode: kind 2 for mode
/// 2, kind 1 for every other.
inline KernelKind perPixelKind(const ViewState& view)
{
    return drawingMode(view.modeWord) == 2 ? KernelKind::RealSquare : KernelKind::Plain;
}

/// Every pixel of the current window computed row by row from the definitions with `kind`:
/// x and y of a strip start at xmin and ymin + dy * firstRow and step by repeated addition.
inline Raw referenceExtended(ViewState& view, std::int32_t width, std::int32_t height,
                             const std::vector<StripBounds>& strips, KernelKind kind)
{
    const WindowRef w = currentWindow(view);
    const bool mandelbrot = (view.modeWord & 1u) != 0;
    const long double dx = (w.xmax.ext - w.xmin.ext) / static_cast<long double>(width);
    const long double dy = (w.ymax.ext - w.ymin.ext) / static_cast<long double>(height);
    Raw raw = emptyRaw(width, height);
    for (const StripBounds& strip : strips) {
        long double y = w.ymin.ext + dy * static_cast<long double>(strip.firstRow);
        for (std::int32_t row = strip.firstRow; row <= strip.lastRow; ++row) {
            long double x = w.xmin.ext;
            for (std::int32_t col = 0; col < width; ++col) {
                const long double cr = mandelbrot ? x : view.julia.cr.ext;
                const long double ci = mandelbrot ? y : view.julia.ci.ext;
                store(raw, static_cast<std::size_t>(row * width + col),
                      referenceExtendedPixel(kind, x, y, cr, ci, view.iterMax, view.bailout));
                x += dx;
            }
            y += dy;
        }
    }
    return raw;
}

/// The same with the kind of the view's drawing mode as the per-pixel kernel computes it.
inline Raw referenceExtended(ViewState& view, std::int32_t width, std::int32_t height,
                             const std::vector<StripBounds>& strips)
{
    return referenceExtended(view, width, height, strips, perPixelKind(view));
}

/// Every pixel of the current deep window at the view's precision, each strip from its own
/// start: x from xmin, y from ymin + dy * firstRow, both stepping by repeated addition (rows at
/// or beyond `height` are left out).
inline Raw referenceDeep(ViewState& view, std::int32_t width, std::int32_t height,
                         const std::vector<StripBounds>& strips)
{
    const auto bits = static_cast<unsigned long>(view.precisionBits);
    const WindowRef w = currentWindow(view);
    const bool mandelbrot = (view.modeWord & 1u) != 0;
    const KernelKind kind = kernelKindForMode(drawingMode(view.modeWord));
    const unsigned long bound = deepEscapeBound(view.bailout);
    MpFloat dx(bits);
    MpFloat dy(bits);
    mpf_sub(dx.get(), w.xmax.mp(), w.xmin.mp());
    mpf_div_ui(dx.get(), dx.get(), static_cast<unsigned long>(width));
    mpf_sub(dy.get(), w.ymax.mp(), w.ymin.mp());
    mpf_div_ui(dy.get(), dy.get(), static_cast<unsigned long>(height));
    const MpFloat juliaCr(view.julia.cr.mp(), bits);
    const MpFloat juliaCi(view.julia.ci.mp(), bits);
    Raw raw = emptyRaw(width, height);
    MpFloat x(bits);
    MpFloat y(bits);
    for (const StripBounds& strip : strips) {
        mpf_mul_ui(y.get(), dy.get(), static_cast<unsigned long>(strip.firstRow));
        mpf_add(y.get(), y.get(), w.ymin.mp());
        for (std::int32_t row = strip.firstRow; row <= std::min(strip.lastRow, height - 1); ++row) {
            mpf_set(x.get(), w.xmin.mp());
            for (std::int32_t col = 0; col < width; ++col) {
                const mpf_srcptr cr = mandelbrot ? x.get() : juliaCr.get();
                const mpf_srcptr ci = mandelbrot ? y.get() : juliaCi.get();
                store(
                    raw, static_cast<std::size_t>(row * width + col),
                    referenceDeepPixel(kind, x.get(), y.get(), cr, ci, view.iterMax, bound, bits));
                mpf_add(x.get(), x.get(), dx.get());
            }
            mpf_add(y.get(), y.get(), dy.get());
        }
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
