// What the three renderers share: the pass they run, the scratch row, the worker threads and
// the wait loop that keeps the interface alive while they run. Private to the renderers.
#pragma once

#include "engine/kernel_kind.h"
#include "engine/renderer.h"
#include "engine/strip_layout.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace qv::detail {

using Clock = std::chrono::steady_clock;

/// One render as the renderers see it.
struct RenderPass
{
    const RenderJob& job;
    ViewState& view;
    const RenderTarget& target;
    RenderProgress& progress;
    const RenderOptions& options;
};

RenderOutcome renderSingle(const RenderPass& pass);
RenderOutcome renderThreaded(const RenderPass& pass);
RenderOutcome renderDeep(const RenderPass& pass);
/// The fast deep path; hands the pass to renderDeep where it cannot certify the picture.
RenderOutcome renderFastDeep(const RenderPass& pass);

/// Fills a worker's scratch counts before a row: the kernels never write a negative count, so a
/// pixel still holding it was not computed.
inline constexpr std::int32_t kUnwritten = std::numeric_limits<std::int32_t>::min();

/// One row computed apart from the buffer. A worker copies it into the buffer only when every
/// pixel got its result, so a stop leaves each buffer row wholly new or wholly as it was.
struct RowScratch
{
    explicit RowScratch(std::int32_t width)
        : counts(static_cast<std::size_t>(width)), a(static_cast<std::size_t>(width)),
          b(static_cast<std::size_t>(width))
    {
    }

    void reset() { std::fill(counts.begin(), counts.end(), kUnwritten); }

    bool complete() const
    {
        return std::find(counts.begin(), counts.end(), kUnwritten) == counts.end();
    }

    void copyTo(std::int32_t* toCounts, float* toA, float* toB) const
    {
        std::copy(counts.begin(), counts.end(), toCounts);
        std::copy(a.begin(), a.end(), toA);
        std::copy(b.begin(), b.end(), toB);
    }

    std::vector<std::int32_t> counts;
    std::vector<float> a;
    std::vector<float> b;
};

/// Entries of the flat buffer before row `rows` of a picture `width` wide.
inline std::size_t rowOffset(std::int32_t rows, std::int32_t width)
{
    return static_cast<std::size_t>(rows) * static_cast<std::size_t>(width);
}

/// The fields both kinds of strip job take alike: the view's limits and type, the output arrays
/// advanced to the strip's first row, the strip and the picture width.
template <typename Job>
void fillStripFields(Job& job, const RenderPass& pass, const StripBounds& bounds,
                     std::int32_t rowsPerStrip)
{
    IterationBuffer& it = pass.target.iterations;
    const std::size_t offset = rowOffset(bounds.firstRow, pass.job.width);
    job.iterMax = pass.view.iterMax;
    job.counts = it.counts.data() + offset;
    job.a = it.a.data() + offset;
    job.b = it.b.data() + offset;
    job.mandelbrot = isMandelbrot(pass.view) ? 1 : 0;
    job.width = pass.job.width;
    job.rowsPerStrip = rowsPerStrip;
    job.firstRow = bounds.firstRow;
    job.lastRow = bounds.lastRow;
    job.bailout = pass.view.bailout;
}

/// Whole milliseconds since `start`, in seconds.
float secondsSince(Clock::time_point start);

/// Reallocates the buffer when it does not fit the picture, so that no worker writes past it.
void fitBuffer(IterationBuffer& iterations, std::int32_t width, std::int32_t height);

/// Copies the first width x height entries of the buffer into `raw` (when set).
void keepRaw(RawResults* raw, const IterationBuffer& iterations);

/// The end of the threaded and deep renderers: the raw results kept, the rows this render
/// computed coloured (the others already hold colour values from before; colouring them again
/// would garble them) and the picture built. Sets the outcome's rows computed and inside pixels.
void finishPicture(const RenderPass& pass, const std::vector<std::uint8_t>& rowDone,
                   RenderOutcome& outcome);

/// Starts one worker per index 0..count-1, each running work(index, true) and counting itself
/// out of `running` at its end. A worker the system refuses to start is run on the calling
/// thread afterwards as work(index, false), so that no strip is left out. The workers are
/// joined when the returned threads go.
template <typename Work>
std::vector<std::jthread> startWorkers(std::int32_t count, std::atomic<std::int32_t>& running,
                                       const Work& work)
{
    running.store(count, std::memory_order_relaxed);
    std::vector<std::jthread> threads;
    threads.reserve(static_cast<std::size_t>(count));
    std::vector<std::int32_t> refused;
    for (std::int32_t i = 0; i < count; ++i) {
        try {
            threads.emplace_back(work, i, true);
        } catch (const std::system_error&) {
            refused.push_back(i);
        }
    }
    for (const std::int32_t i : refused) {
        work(i, false);
    }
    return threads;
}

/// What the workers of one render share besides their jobs. It outlives them: they are joined
/// before it goes.
struct WorkerShared
{
    KernelKind kind = KernelKind::Plain;
    std::int32_t width = 0;
    std::int32_t height = 0;
    /// Byte j is written only by the worker that computed row j; read after the join.
    std::vector<std::uint8_t> rowDone;
    std::atomic<std::int32_t> rowsDone{0};
    std::atomic<std::int32_t> running{0};
    /// 1 asks every worker of this render to stop.
    std::atomic<std::int32_t> stopFlag{0};
};

/// Sets the kernel kind and the size of the pass, with no row done yet.
void prepareShared(WorkerShared& shared, const RenderPass& pass);

/// How the wait loop of one renderer turns.
struct WaitTurn
{
    std::chrono::milliseconds sleep;
    bool yieldFirst;
    std::optional<std::chrono::milliseconds> period; ///< how often `periodic` runs, if at all
};

/// Whole milliseconds from `since` to `now`: compared in milliseconds, no interval a caller
/// gives can overflow the clock's finer unit.
inline std::chrono::milliseconds msBetween(Clock::time_point since, Clock::time_point now)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(now - since);
}

/// Keeps the interface alive until every worker has ended: each turn pumps events, polls Esc
/// when pollInterval has passed since the last poll (the first turn polls at once), runs
/// `periodic` when its period has passed and sleeps. Esc sets the stop flag and returns true
/// at once: nothing is pumped any more, and the caller's join waits for the workers.
template <typename Periodic>
bool waitForWorkers(RenderProgress& progress, const RenderOptions& options, WorkerShared& shared,
                    const WaitTurn& turn, const Periodic& periodic)
{
    bool polled = false;
    Clock::time_point lastPoll;
    Clock::time_point lastPeriodic = Clock::now();
    for (;;) {
        progress.pumpEvents();
        if (turn.yieldFirst) {
            std::this_thread::yield();
        }
        const Clock::time_point now = Clock::now();
        if (!polled || msBetween(lastPoll, now) >= options.pollInterval) {
            polled = true;
            lastPoll = now;
            progress.showProgress(shared.rowsDone.load(std::memory_order_relaxed), shared.height);
            if (progress.escapePressed()) {
                shared.stopFlag.store(1, std::memory_order_relaxed);
                return true;
            }
        }
        if (turn.period && msBetween(lastPeriodic, now) >= *turn.period) {
            lastPeriodic = now;
            periodic();
        }
        if (shared.running.load(std::memory_order_acquire) == 0) {
            return false;
        }
        std::this_thread::sleep_for(turn.sleep);
    }
}

} // namespace qv::detail
