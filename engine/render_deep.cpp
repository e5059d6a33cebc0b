// The deep renderer: arbitrary precision at the view's precisionBits, one worker per strip,
// each stepping its y with GMP additions as the kernel would within the strip.
#include "base/mp_float.h"
#include "engine/kernel_kind.h"
#include "engine/kernels_deep.h"
#include "engine/render_workers.h"
#include "engine/strip_job.h"
#include "engine/strip_layout.h"

#include <cstddef>

#include <gmp.h>

namespace qv::detail {
namespace {

/// What the workers of one deep render share; each worker runs its own strip.
struct DeepRun : WorkerShared
{
    std::vector<DeepStripJob> strips;
    /// One entry per worker: rows of its strip not yet done.
    std::vector<std::atomic<std::int32_t>> progress;
    bool idleWorkers = true;
};

/// Strip i's job at the view's precision: its own copies of the numbers, its first row's y.
void addStrip(DeepRun& run, const RenderPass& pass, const StripLayout& layout, std::size_t i)
{
    const ViewState& view = pass.view;
    const WindowRef w = currentWindow(pass.view);
    const StripBounds& bounds = layout.strips[i];
    DeepStripJob& job = run.strips.emplace_back(view.precisionBits);
    job.threadIndex = static_cast<std::int32_t>(i);
    // Strips that meet share no row: the one starting there computes it, so that the picture
    // never depends on which worker writes last.
    fillStripFields(job, pass, bounds, layout.rowsPerStrip);
    mpf_set(job.x0.get(), w.xmin.mp());
    mpf_set(job.dx.get(), w.dx.mp());
    mpf_mul_ui(job.y0.get(), w.dy.mp(), static_cast<unsigned long>(bounds.firstRow));
    mpf_add(job.y0.get(), job.y0.get(), w.ymin.mp());
    mpf_set(job.dy.get(), w.dy.mp());
    mpf_set(job.juliaCr.get(), view.julia.cr.mp());
    mpf_set(job.juliaCi.get(), view.julia.ci.mp());
    job.stopFlag = &run.stopFlag;
    job.progress = &run.progress[i];
    job.progress->store(bounds.lastRow - bounds.firstRow + 1, std::memory_order_relaxed);
}

/// The row job of a worker: the strip's numbers, one row at a time into the scratch row.
DeepStripJob rowJobOf(const DeepStripJob& strip, bool yields)
{
    DeepStripJob job(strip.precisionBits);
    job.threadIndex = strip.threadIndex;
    job.iterMax = strip.iterMax;
    job.mandelbrot = strip.mandelbrot;
    job.width = strip.width;
    job.rowsPerStrip = strip.rowsPerStrip;
    job.bailout = strip.bailout;
    job.stopFlag = strip.stopFlag;
    job.yieldsProcessor = yields;
    mpf_set(job.x0.get(), strip.x0.get());
    mpf_set(job.dx.get(), strip.dx.get());
    mpf_set(job.dy.get(), strip.dy.get());
    mpf_set(job.juliaCr.get(), strip.juliaCr.get());
    mpf_set(job.juliaCi.get(), strip.juliaCi.get());
    return job;
}

void runDeepWorker(DeepRun& run, std::size_t index, bool ownThread)
{
    const bool idle = ownThread && run.idleWorkers && lowerOwnPriority();
    const DeepStripJob& strip = run.strips[index];
    DeepStripJob job = rowJobOf(strip, idle);
    // The kernel would step y by the same addition at the same precision within the strip.
    MpFloat y(strip.y0.get(), static_cast<unsigned long>(strip.precisionBits));
    RowScratch scratch(run.width);
    job.counts = scratch.counts.data();
    job.a = scratch.a.data();
    job.b = scratch.b.data();
    for (std::int32_t row = strip.firstRow; row <= strip.lastRow; ++row) {
        if (strip.stopFlag->load(std::memory_order_relaxed) != 0) {
            break;
        }
        job.firstRow = row;
        job.lastRow = row;
        mpf_set(job.y0.get(), y.get());
        scratch.reset();
        runDeepStripJob(job, run.kind, run.height);
        if (!scratch.complete()) {
            break; // stopped within the row
        }
        const std::size_t offset = rowOffset(row - strip.firstRow, run.width);
        scratch.copyTo(strip.counts + offset, strip.a + offset, strip.b + offset);
        run.rowDone[static_cast<std::size_t>(row)] = 1;
        strip.progress->store(strip.lastRow - row, std::memory_order_relaxed);
        run.rowsDone.fetch_add(1, std::memory_order_relaxed);
        mpf_add(y.get(), y.get(), strip.dy.get());
    }
    run.running.fetch_sub(1, std::memory_order_release);
}

/// Percent done of the least advanced strip.
std::int32_t percentDone(DeepRun& run, const StripLayout& layout)
{
    std::vector<std::int32_t> remaining(run.progress.size());
    for (std::size_t i = 0; i < remaining.size(); ++i) {
        remaining[i] = run.progress[i].load(std::memory_order_relaxed);
    }
    return 100 - deepRemainingPercent(remaining, layout.strips);
}

} // namespace

RenderOutcome renderDeep(const RenderPass& pass)
{
    DeepRun run;
    prepareShared(run, pass);
    run.idleWorkers = pass.options.idleDeepWorkers;
    WindowRef w = currentWindow(pass.view);
    mpf_sub(w.dy.mp(), w.ymax.mp(), w.ymin.mp());
    mpf_div_ui(w.dy.mp(), w.dy.mp(), static_cast<unsigned long>(run.height));
    mpf_sub(w.dx.mp(), w.xmax.mp(), w.xmin.mp());
    mpf_div_ui(w.dx.mp(), w.dx.mp(), static_cast<unsigned long>(run.width));
    const StripLayout layout = stripLayout(run.height, pass.job.threads);
    const std::size_t workers = layout.strips.size();
    run.progress = std::vector<std::atomic<std::int32_t>>(workers);
    run.strips.reserve(workers);
    for (std::size_t i = 0; i < workers; ++i) {
        addStrip(run, pass, layout, i);
    }

    RenderOutcome outcome{RendererKind::Deep, false, 0, 0, 0.0f, {}};
    const Clock::time_point start = Clock::now();
    {
        const std::vector<std::jthread> threads =
            startWorkers(static_cast<std::int32_t>(workers), run.running,
                         [&run](std::int32_t i, bool ownThread) {
                             runDeepWorker(run, static_cast<std::size_t>(i), ownThread);
                         });
        const WaitTurn turn{std::chrono::milliseconds(10), false, pass.options.deepRepaintInterval};
        outcome.stopped = waitForWorkers(pass.progress, pass.options, run, turn, [&] {
            pass.progress.showStripProgress(percentDone(run, layout));
        });
    } // joined here: the buffer is read only after this
    finishPicture(pass, run.rowDone, outcome);
    outcome.elapsedSeconds = secondsSince(start);
    return outcome;
}

} // namespace qv::detail
