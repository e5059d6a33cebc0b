// The threaded renderer: extended precision, any kernel kind, rows handed out on demand to the
// workers, each row computed with the y its strip gives it.
#include "engine/kernel_kind.h"
#include "engine/kernels_extended.h"
#include "engine/render_workers.h"
#include "engine/strip_job.h"
#include "engine/strip_layout.h"

#include <cstddef>

namespace qv::detail {
namespace {

/// What the workers of one threaded render share: the strips, and the strip and y of each row,
/// which the workers take on demand.
struct ThreadedRun : WorkerShared
{
    std::vector<StripJob> strips;
    std::vector<std::int32_t> stripOfRow;
    std::vector<long double> rowY;
    std::atomic<std::int32_t> nextRow{0};
};

/// One strip's job over the buffer, and the y of each of its rows as the strip reaches it: its
/// start, then repeated addition.
void addStrip(ThreadedRun& run, const RenderPass& pass, const StripBounds& bounds,
              std::int32_t rowsPerStrip)
{
    const ViewState& view = pass.view;
    const WindowRef w = currentWindow(pass.view);
    StripJob job;
    fillStripFields(job, pass, bounds, rowsPerStrip);
    job.xmin = w.xmin.ext;
    job.xmax = w.xmax.ext;
    job.dx = w.dx.ext;
    job.y0 = w.ymin.ext + w.dy.ext * static_cast<long double>(bounds.firstRow);
    job.ymax = w.ymax.ext;
    job.dy = w.dy.ext;
    job.juliaCr = view.julia.cr.ext;
    job.juliaCi = view.julia.ci.ext;
    job.stopFlag = &run.stopFlag;
    long double y = job.y0;
    for (std::int32_t row = bounds.firstRow; row <= bounds.lastRow; ++row) {
        run.stripOfRow[static_cast<std::size_t>(row)] =
            static_cast<std::int32_t>(run.strips.size());
        run.rowY[static_cast<std::size_t>(row)] = y;
        y += job.dy;
    }
    run.strips.push_back(job);
}

void runThreadedWorker(ThreadedRun& run)
{
    RowScratch scratch(run.width);
    while (run.stopFlag.load(std::memory_order_relaxed) == 0) {
        const std::int32_t row = run.nextRow.fetch_add(1, std::memory_order_relaxed);
        if (row >= run.height) {
            break;
        }
        const auto at = static_cast<std::size_t>(row);
        const StripJob& strip = run.strips[static_cast<std::size_t>(run.stripOfRow[at])];
        StripJob job = strip;
        job.firstRow = row;
        job.lastRow = row;
        job.y0 = run.rowY[at];
        job.counts = scratch.counts.data();
        job.a = scratch.a.data();
        job.b = scratch.b.data();
        scratch.reset();
        runStripJob(job, run.kind);
        if (!scratch.complete()) {
            break; // stopped within the row
        }
        const std::size_t offset = rowOffset(row - strip.firstRow, run.width);
        scratch.copyTo(strip.counts + offset, strip.a + offset, strip.b + offset);
        run.rowDone[at] = 1;
        run.rowsDone.fetch_add(1, std::memory_order_relaxed);
    }
    run.running.fetch_sub(1, std::memory_order_release);
}

} // namespace

RenderOutcome renderThreaded(const RenderPass& pass)
{
    ThreadedRun run;
    prepareShared(run, pass);
    WindowRef w = currentWindow(pass.view);
    w.dx.ext = (w.xmax.ext - w.xmin.ext) / static_cast<long double>(run.width);
    w.dy.ext = (w.ymax.ext - w.ymin.ext) / static_cast<long double>(run.height);
    const auto rows = static_cast<std::size_t>(run.height);
    run.stripOfRow.resize(rows);
    run.rowY.resize(rows);
    const StripLayout layout = stripLayout(run.height, pass.job.threads);
    for (const StripBounds& bounds : layout.strips) {
        addStrip(run, pass, bounds, layout.rowsPerStrip);
    }

    RenderOutcome outcome{RendererKind::Threaded, false, 0, 0, 0.0f, {}};
    const Clock::time_point start = Clock::now();
    {
        const std::vector<std::jthread> workers =
            startWorkers(static_cast<std::int32_t>(run.strips.size()), run.running,
                         [&run](std::int32_t, bool) { runThreadedWorker(run); });
        const WaitTurn turn{std::chrono::milliseconds(1), true, std::nullopt};
        outcome.stopped = waitForWorkers(pass.progress, pass.options, run, turn, [] {});
    } // joined here: the buffer is read only after this
    finishPicture(pass, run.rowDone, outcome);
    outcome.elapsedSeconds = secondsSince(start);
    return outcome;
}

} // namespace qv::detail
