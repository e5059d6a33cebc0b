// The single-threaded renderer: extended precision, kernel kinds 1 and 2, each row computed by
// the strip workers' kernel, coloured and shown as soon as it is finished.
#include "engine/kernel_kind.h"
#include "engine/kernels_extended.h"
#include "engine/render_workers.h"
#include "engine/strip_job.h"

#include <cstddef>

namespace qv::detail {
namespace {

/// What every row of the render shares: a one-row strip job whose row, y and outputs are set
/// for each row, the kernel kind and the colouring constants.
struct SingleRows
{
    StripJob job;
    KernelKind kind;
    ColourConstants constants;
};

/// The kind the rows are computed with. Kinds 3 to 5 never come here (their modes always go to
/// the threaded renderer); this renderer computes any kind but 2 as kind 1.
KernelKind singleKind(KernelKind kind)
{
    return kind == KernelKind::RealSquare ? KernelKind::RealSquare : KernelKind::Plain;
}

/// Computes row `row` at height y with the strip workers' kernel (three pixels of the row side
/// by side), then colours it, writing the buffer (and the raw results) and the colours shown
/// for it. Returns the pixels that did not escape.
std::int64_t computeRow(const RenderPass& pass, SingleRows& rows, RowScratch& scratch,
                        const Palette& shown, std::int32_t row, long double y,
                        std::vector<std::uint32_t>& rowColours)
{
    rows.job.firstRow = row;
    rows.job.lastRow = row;
    rows.job.y0 = y;
    // No stop flag: the row is always finished, and Esc is polled between rows.
    runStripJob(rows.job, rows.kind);

    IterationBuffer& it = pass.target.iterations;
    RawResults* raw = pass.options.raw;
    const std::size_t base = rowOffset(row, it.width);
    std::int64_t inside = 0;
    for (std::size_t col = 0; col < rowColours.size(); ++col) {
        const std::int32_t count = scratch.counts[col];
        const float a = scratch.a[col];
        const float b = scratch.b[col];
        const std::size_t at = base + col;
        if (raw != nullptr) {
            raw->counts[at] = count;
            raw->a[at] = a;
            raw->b[at] = b;
        }
        inside += count == 0 ? 1 : 0;
        const std::int32_t v = colourPixel(rows.constants, pass.target.palette, count, a, b);
        it.counts[at] = v;
        it.a[at] = a;
        it.b[at] = b;
        rowColours[col] = colourOfValue(v, shown, pass.job.colours.paletteOffset);
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
    RowScratch scratch(width);
    SingleRows rows{StripJob{}, singleKind(kernelKindForMode(drawingMode(view.modeWord))),
                    prepareColouring(pass.job.colours)};
    StripJob& job = rows.job;
    job.iterMax = view.iterMax;
    job.bailout = view.bailout;
    job.mandelbrot = isMandelbrot(view) ? 1 : 0;
    job.width = width;
    job.rowsPerStrip = 1;
    job.xmin = w.xmin.ext;
    job.xmax = w.xmax.ext;
    job.dx = w.dx.ext;
    job.ymax = w.ymax.ext;
    job.dy = w.dy.ext;
    job.juliaCr = view.julia.cr.ext;
    job.juliaCi = view.julia.ci.ext;
    job.counts = scratch.counts.data();
    job.a = scratch.a.data();
    job.b = scratch.b.data();
    // Pixels are coloured with the table as the colour pass sees it; the rows on screen show
    // entry 0 as buildPicture will.
    Palette shown = pass.target.palette;
    applyEntryZeroRule(shown, pass.job.colours.drawingMode);
    // Rows not reached keep what the buffer held, in the raw results too.
    keepRaw(pass.options.raw, it);
    const Clock::time_point start = Clock::now();

    RenderOutcome outcome{RendererKind::Single, false, 0, 0, 0.0f, {}};
    std::vector<std::uint32_t> rowColours(static_cast<std::size_t>(width));
    long double y = w.ymin.ext;
    for (std::int32_t row = 0; row < height && !outcome.stopped; ++row) {
        outcome.insidePixels += computeRow(pass, rows, scratch, shown, row, y, rowColours);
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
