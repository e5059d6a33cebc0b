// The single-threaded renderer: extended precision, kernel kinds 1 and 2, each pixel coloured
// as it is computed and each row shown as soon as it is finished.
#include "engine/kernel_kind.h"
#include "engine/kernels_extended.h"
#include "engine/render_workers.h"

#include <cstddef>

namespace qv::detail {
namespace {

/// What every pixel of the render shares.
struct SinglePixels
{
    KernelKind kind;
    EscapeLimits limits;
    ColourConstants constants;
    bool mandelbrot;
    long double juliaCr;
    long double juliaCi;
};

/// Computes and colours row `row` at height y, writing the buffer (and the raw results) and
/// the colours shown for it. Returns the pixels that did not escape.
std::int64_t computeRow(const RenderPass& pass, const SinglePixels& px, const Palette& shown,
                        std::int32_t row, long double xmin, long double dx, long double y,
                        std::vector<std::uint32_t>& rowColours)
{
    IterationBuffer& it = pass.target.iterations;
    RawResults* raw = pass.options.raw;
    const std::size_t base = rowOffset(row, it.width);
    long double x = xmin;
    std::int64_t inside = 0;
    for (std::int32_t col = 0; col < it.width; ++col) {
        const PixelEscape e =
            iteratePixelExtended(px.kind, px.limits, x, y, px.mandelbrot ? x : px.juliaCr,
                                 px.mandelbrot ? y : px.juliaCi);
        const std::size_t at = base + static_cast<std::size_t>(col);
        if (raw != nullptr) {
            raw->counts[at] = e.count;
            raw->a[at] = e.a;
            raw->b[at] = e.b;
        }
        inside += e.count == 0 ? 1 : 0;
        const std::int32_t v = colourPixel(px.constants, pass.target.palette, e.count, e.a, e.b);
        it.counts[at] = v;
        it.a[at] = e.a;
        it.b[at] = e.b;
        rowColours[static_cast<std::size_t>(col)] =
            colourOfValue(v, shown, pass.job.colours.paletteOffset);
        x += dx;
    }
    return inside;
}

} // namespace

RenderOutcome renderSingle(const RenderPass& pass)
{
    IterationBuffer& it = pass.target.iterations;
    const std::int32_t width = it.width;
    const std::int32_t height = it.height;
    WindowRef w = currentWindow(pass.view);
    w.dx.ext = (w.xmax.ext - w.xmin.ext) / static_cast<long double>(width);
    w.dy.ext = (w.ymax.ext - w.ymin.ext) / static_cast<long double>(height);
    const ViewState& view = pass.view;
    const SinglePixels px{kernelKindForMode(drawingMode(view.modeWord)),
                          makeEscapeLimits(view.iterMax, view.bailout),
                          prepareColouring(pass.job.colours),
                          isMandelbrot(view),
                          view.julia.cr.ext,
                          view.julia.ci.ext};
    // Pixels are coloured with the table as the colour pass sees it; the rows on screen show
    // entry 0 as buildPicture will.
    Palette shown = pass.target.palette;
    applyEntryZeroRule(shown, pass.job.colours.drawingMode);
    // Rows not reached keep what the buffer held, in the raw results too.
    keepRaw(pass.options.raw, it);
    const Clock::time_point start = Clock::now();

    RenderOutcome outcome{RendererKind::Single, false, 0, 0, 0.0f};
    std::vector<std::uint32_t> rowColours(static_cast<std::size_t>(width));
    long double y = w.ymin.ext;
    for (std::int32_t row = 0; row < height && !outcome.stopped; ++row) {
        outcome.insidePixels +=
            computeRow(pass, px, shown, row, w.xmin.ext, w.dx.ext, y, rowColours);
        pass.progress.drawRow(row, rowColours);
        ++outcome.rowsComputed;
        pass.progress.pumpEvents();
        pass.progress.showProgress(outcome.rowsComputed, height);
        outcome.stopped = pass.progress.escapePressed();
        y += w.dy.ext;
    }
    outcome.elapsedSeconds = secondsSince(start);
    buildPicture(pass.target.picture, it, pass.target.palette, pass.job.colours.drawingMode,
                 pass.job.colours.paletteOffset);
    return outcome;
}

} // namespace qv::detail
