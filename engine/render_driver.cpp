// The render driver: the entry, the three renderers, their workers and the wait loop.
#include "engine/render_driver.h"

#include "engine/colouring.h"
#include "engine/kernel_kind.h"
#include "engine/kernels_deep.h"
#include "engine/kernels_extended.h"
#include "engine/mp_float.h"
#include "base/number_text.h"
#include "base/round_half_even.h"
#include "engine/strip_job.h"
#include "engine/view_state.h"
#include "app/startup.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <limits>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include <gmp.h>

namespace qv {
namespace {

using Clock = std::chrono::steady_clock;

/// Drawing modes from this one on need kernel kinds 3 to 5, which only the workers run.
constexpr std::int32_t kFirstWorkerOnlyMode = 26;

/// Fills a worker's scratch counts before a row: the kernels never write a negative count, so a
/// pixel still holding it was not computed.
constexpr std::int32_t kUnwritten = std::numeric_limits<std::int32_t>::min();

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

std::size_t rowOffset(std::int32_t rowsIn, std::int32_t width)
{
    return static_cast<std::size_t>(rowsIn) * static_cast<std::size_t>(width);
}

bool animationRuns(const AppState& app)
{
    return app.shell.animationRunning != 0;
}

/// The first picture after start on a one-processor machine is computed by the single-threaded
/// renderer, as long as that renderer can compute the view at all (extended precision, kernel
/// kinds 1 and 2).
bool startupSingle(const AppState& app)
{
    return app.render.firstPicture != 0 && app.shell.processorCount == 1 &&
           app.view.deepZoom == 0 && drawingMode(app.view.modeWord) < kFirstWorkerOnlyMode;
}

bool pictureHasPixels(const AppState& app)
{
    return app.settings.pictureWidth >= 1 && app.settings.pictureHeight >= 1;
}

/// Reallocates the buffer when it does not fit the picture size, so that no worker writes past
/// it.
void fitBuffer(AppState& app)
{
    const std::int32_t w = app.settings.pictureWidth;
    const std::int32_t h = app.settings.pictureHeight;
    IterationBuffer& it = app.iterations;
    const std::size_t needed = IterationBuffer::storedSize(w, h);
    if (it.width != w || it.height != h || it.counts.size() < needed || it.a.size() < needed ||
        it.b.size() < needed) {
        it.allocate(w, h);
    }
}

ColourSettings colourSettingsOf(const AppState& app)
{
    ColourSettings s;
    s.drawingMode = drawingMode(app.view.modeWord);
    s.colourFlags = app.settings.colourFlags;
    s.iterMax = app.view.iterMax;
    s.bailout = app.view.bailout;
    s.potValue = app.view.potValue;
    s.paletteOffset = app.paletteState.paletteOffset;
    return s;
}

float secondsSince(Clock::time_point start)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    return static_cast<float>(ms.count()) / 1000.0f;
}

void markShown(AppState& app)
{
    if (isMandelbrot(app.view)) {
        app.shell.mandelbrotShown = 1;
    } else {
        app.shell.juliaShown = 1;
    }
}

/// Copies the first width x height entries of the buffer, before they are coloured.
void keepRaw(RawResults* raw, const IterationBuffer& it)
{
    if (raw == nullptr) {
        return;
    }
    const auto n = static_cast<std::ptrdiff_t>(rowOffset(it.height, it.width));
    raw->width = it.width;
    raw->height = it.height;
    raw->counts.assign(it.counts.begin(), it.counts.begin() + n);
    raw->a.assign(it.a.begin(), it.a.begin() + n);
    raw->b.assign(it.b.begin(), it.b.begin() + n);
}

/// Colours the rows this render computed, each run of consecutive rows in one pass. The other
/// rows already hold colour values from before; colouring them again would garble them.
std::int32_t colourComputedRows(AppState& app, const std::vector<std::uint8_t>& rowDone)
{
    const ColourSettings settings = colourSettingsOf(app);
    const auto rows = static_cast<std::int32_t>(rowDone.size());
    std::int32_t computed = 0;
    std::int32_t row = 0;
    while (row < rows) {
        if (rowDone[static_cast<std::size_t>(row)] == 0) {
            ++row;
            continue;
        }
        const std::int32_t first = row;
        while (row < rows && rowDone[static_cast<std::size_t>(row)] != 0) {
            ++row;
        }
        colourPass(app.iterations, settings, app.palette, first, row - 1);
        computed += row - first;
    }
    return computed;
}

void buildAndShow(AppState& app, RenderHost& host)
{
    buildPicture(app.picture, app.iterations, app.palette, drawingMode(app.view.modeWord),
                 app.paletteState.paletteOffset);
    host.invalidatePicture();
}

/// Starts one worker per index 0..count-1, each running work(index, true) and counting itself
/// out of `running` at its end. A worker the system refuses to start is run on the calling
/// thread afterwards as work(index, false), so that no strip is left out.
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

/// What the wait loop watches while the workers run.
struct WorkerWatch
{
    const std::atomic<std::int32_t>& running;
    const std::atomic<std::int32_t>& rowsDone;
    std::int32_t rows;
};

/// How the wait loop of one renderer turns.
struct WaitTurn
{
    std::chrono::milliseconds sleep;
    bool yieldFirst;
    std::optional<std::chrono::milliseconds> period; ///< how often `periodic` runs, if at all
};

/// Whole milliseconds from `since` to `now`: compared in milliseconds, no interval a caller
/// gives can overflow the clock's finer unit.
std::chrono::milliseconds msBetween(Clock::time_point since, Clock::time_point now)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(now - since);
}

/// Keeps the interface alive until every worker has ended: each turn pumps events, polls Esc
/// when pollInterval has passed since the last poll (the first turn polls at once), runs
/// `periodic` when its period has passed and sleeps. Esc sets the stop flag and waits for the
/// workers without pumping. Returns true when Esc ended the wait.
template <typename Periodic>
bool waitForWorkers(AppState& app, RenderHost& host, const RenderOptions& options,
                    const WorkerWatch& watch, const WaitTurn& turn, const Periodic& periodic)
{
    bool polled = false;
    Clock::time_point lastPoll;
    Clock::time_point lastPeriodic = Clock::now();
    for (;;) {
        host.pumpEvents();
        if (turn.yieldFirst) {
            std::this_thread::yield();
        }
        const Clock::time_point now = Clock::now();
        if (!polled || msBetween(lastPoll, now) >= options.pollInterval) {
            polled = true;
            lastPoll = now;
            host.showProgress(watch.rowsDone.load(std::memory_order_relaxed), watch.rows);
            if (host.escapePressed()) {
                app.render.stopFlag.store(1, std::memory_order_relaxed);
                while (watch.running.load(std::memory_order_acquire) > 0) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                }
                app.render.stoppedByUser = 1;
                return true;
            }
        }
        if (turn.period && msBetween(lastPeriodic, now) >= *turn.period) {
            lastPeriodic = now;
            periodic();
        }
        if (watch.running.load(std::memory_order_acquire) == 0) {
            return false;
        }
        std::this_thread::sleep_for(turn.sleep);
    }
}

// ---- Threaded renderer ----

/// What the workers of one threaded render share; it outlives them (they are joined before it
/// goes). Rows are handed out on demand, each with the y its strip gives it.
struct ThreadedRun
{
    KernelKind kind = KernelKind::Plain;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<StripJob> strips;
    std::vector<std::int32_t> stripOfRow;
    std::vector<long double> rowY;
    /// Byte j is written only by the worker that computed row j; read after the join.
    std::vector<std::uint8_t> rowDone;
    std::atomic<std::int32_t> nextRow{0};
    std::atomic<std::int32_t> rowsDone{0};
    std::atomic<std::int32_t> running{0};
    const std::atomic<std::int32_t>* stopFlag = nullptr;
};

void runThreadedWorker(ThreadedRun& run)
{
    RowScratch scratch(run.width);
    while (run.stopFlag->load(std::memory_order_relaxed) == 0) {
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

// ---- Deep renderer ----

/// What the workers of one deep render share; each worker runs its own strip.
struct DeepRun
{
    KernelKind kind = KernelKind::Plain;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<DeepStripJob> strips;
    std::vector<std::uint8_t> rowDone;
    std::atomic<std::int32_t> rowsDone{0};
    std::atomic<std::int32_t> running{0};
    bool idleWorkers = true;
};

void runDeepWorker(DeepRun& run, std::size_t index, bool ownThread)
{
    const bool idle = ownThread && run.idleWorkers && lowerOwnPriority();
    const DeepStripJob& strip = run.strips[index];
    const auto bits = static_cast<unsigned long>(strip.precisionBits);
    // The row job: the strip's numbers, one row at a time into the scratch row. The kernel
    // would step y by the same addition at the same precision within the strip.
    DeepStripJob job(strip.precisionBits);
    job.threadIndex = strip.threadIndex;
    job.iterMax = strip.iterMax;
    job.mandelbrot = strip.mandelbrot;
    job.width = strip.width;
    job.rowsPerStrip = strip.rowsPerStrip;
    job.bailout = strip.bailout;
    job.stopFlag = strip.stopFlag;
    job.yieldsProcessor = idle;
    mpf_set(job.x0.get(), strip.x0.get());
    mpf_set(job.dx.get(), strip.dx.get());
    mpf_set(job.dy.get(), strip.dy.get());
    mpf_set(job.juliaCr.get(), strip.juliaCr.get());
    mpf_set(job.juliaCi.get(), strip.juliaCi.get());
    MpFloat y(strip.y0.get(), bits);
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

} // namespace

StripLayout stripLayout(std::int32_t height, std::int32_t threads)
{
    StripLayout layout;
    if (height < 1) {
        return layout;
    }
    const std::int32_t workers = std::clamp(threads, 1, height);
    // height / workers >= 1, so rowsPerStrip is never 0.
    layout.rowsPerStrip = roundHalfEven(static_cast<double>(height) / static_cast<double>(workers));
    for (std::int32_t i = 0; i < workers; ++i) {
        const std::int64_t first = std::int64_t{i} * layout.rowsPerStrip;
        if (first > height - 1) {
            break; // rowsPerStrip rounded up: the strips before this one reach the last row
        }
        const std::int64_t last =
            i == workers - 1 ? height - 1
                             : std::min<std::int64_t>(first + layout.rowsPerStrip - 1, height - 1);
        layout.strips.push_back(
            {static_cast<std::int32_t>(first), static_cast<std::int32_t>(last)});
    }
    return layout;
}

RendererKind chooseRenderer(const AppState& app)
{
    if (startupSingle(app)) {
        return RendererKind::Single;
    }
    if (app.view.deepZoom != 0) {
        return RendererKind::Deep;
    }
    const bool oneWorker = app.settings.threads <= 1 || app.settings.multiThreaded == 0;
    if (oneWorker && drawingMode(app.view.modeWord) < kFirstWorkerOnlyMode) {
        return RendererKind::Single;
    }
    return RendererKind::Threaded;
}

std::int32_t deepRemainingPercent(std::span<const std::int32_t> remaining,
                                  std::span<const StripBounds> strips)
{
    double largest = 0.0;
    const std::size_t n = std::min(remaining.size(), strips.size());
    for (std::size_t i = 0; i < n; ++i) {
        const std::int32_t rows = strips[i].lastRow - strips[i].firstRow + 1;
        if (rows > 0) {
            largest = std::max(largest, static_cast<double>(remaining[i]) / rows);
        }
    }
    return roundHalfEven(100.0 * largest);
}

std::string deepProgressTitle(std::int32_t percentDone)
{
    return "QUORVALIS - Calculating " + decimalText(std::int64_t{percentDone}) +
           "% - STOP WITH ESC-KEY";
}

void renderView(AppState& app, RenderHost& host, const RenderOptions& options)
{
    ShellState& shell = app.shell;
    // A render that runs pumps events; a paint arriving meanwhile must not start a second one.
    if (shell.pictureValid != 0 || app.render.renderSuppressed != 0 || shell.rendering != 0) {
        return;
    }
    if (!pictureHasPixels(app)) {
        return;
    }
    const std::int32_t width = app.settings.pictureWidth;
    const std::int32_t height = app.settings.pictureHeight;
    if (!isMandelbrot(app.view) && shell.juliaShown == 0) {
        resetCoordinates(app, host);
    }
    const std::string fractalName = isMandelbrot(app.view) ? "Mandelbrot" : "Julia";
    // While the Julia finder is open it draws its own preview; that hand-over belongs here once
    // the finder exists.
    if (!animationRuns(app)) {
        host.setMainTitle(kWaitTitle);
        host.showIterMax(decimalText(std::int64_t{app.view.iterMax}));
    }

    const RendererKind kind = chooseRenderer(app);
    if (!startupSingle(app) && (width != app.render.lastWidth || height != app.render.lastHeight)) {
        host.sizePictureWindow(width, height);
        app.render.lastWidth = width;
        app.render.lastHeight = height;
    }
    switch (kind) {
    case RendererKind::Single:
        renderSingle(app, host, options);
        break;
    case RendererKind::Deep:
        renderDeep(app, host, options);
        break;
    case RendererKind::Threaded:
    case RendererKind::None:
        renderThreaded(app, host, options);
        break;
    }

    if (!animationRuns(app)) {
        host.refreshOpenDialogs();
    }
    if (shell.pictureValid == 0 || animationRuns(app)) {
        return;
    }
    if (!shell.currentFileName.empty()) {
        host.setMenuTitle("QUORVALIS - " + shell.currentFileName);
        const std::string thumbnail = shell.currentFileName + ".jpg";
        std::error_code error;
        if (!std::filesystem::exists(std::filesystem::path(thumbnail), error)) {
            host.writeThumbnail(thumbnail);
        }
    } else {
        host.setMenuTitle("QUORVALIS - (Time:" + elapsedText(app.render.elapsedSeconds) + ") - " +
                          fractalName);
    }
}

namespace {

/// The first steps of both extended renderers: rendering on, the controls off and the window in
/// front (unless an animation runs), the buffer fitted. Returns whether this is the start-up
/// picture, clearing that flag.
bool beginExtendedRender(AppState& app, RenderHost& host)
{
    const bool firstPicture = std::exchange(app.render.firstPicture, 0) != 0;
    app.shell.rendering = 1;
    if (!animationRuns(app)) {
        host.setControlsEnabled(false);
        host.bringToFront();
    }
    fitBuffer(app);
    return firstPicture;
}

} // namespace

void renderSingle(AppState& app, RenderHost& host, const RenderOptions& options)
{
    if (!pictureHasPixels(app)) {
        return;
    }
    const bool firstPicture = beginExtendedRender(app, host);
    IterationBuffer& it = app.iterations;
    const std::int32_t width = it.width;
    const std::int32_t height = it.height;

    WindowRef w = currentWindow(app.view);
    w.dx.ext = (w.xmax.ext - w.xmin.ext) / static_cast<long double>(width);
    w.dy.ext = (w.ymax.ext - w.ymin.ext) / static_cast<long double>(height);
    const long double dx = w.dx.ext;
    const long double dy = w.dy.ext;
    const bool mandelbrot = isMandelbrot(app.view);
    const long double juliaCr = app.view.julia.cr.ext;
    const long double juliaCi = app.view.julia.ci.ext;
    const std::int32_t mode = drawingMode(app.view.modeWord);
    const KernelKind kind = kernelKindForMode(mode);
    const EscapeLimits limits = makeEscapeLimits(app.view.iterMax, app.view.bailout);
    const ColourConstants constants = prepareColouring(colourSettingsOf(app));
    const std::int32_t offset = app.paletteState.paletteOffset;
    // Pixels are coloured with the table as the colour pass sees it; the rows on screen show
    // entry 0 as buildPicture will.
    Palette shown = app.palette;
    applyEntryZeroRule(shown, mode);
    if (options.raw != nullptr) {
        keepRaw(options.raw, it);
    }
    const Clock::time_point start = Clock::now();

    std::vector<std::uint32_t> rowColours(static_cast<std::size_t>(width));
    bool stopped = false;
    std::int32_t rowsComputed = 0;
    long double y = w.ymin.ext;
    for (std::int32_t row = 0; row < height && !stopped; ++row) {
        long double x = w.xmin.ext;
        const std::size_t base = rowOffset(row, width);
        for (std::int32_t col = 0; col < width; ++col) {
            const PixelEscape e = iteratePixelExtended(kind, limits, x, y, mandelbrot ? x : juliaCr,
                                                       mandelbrot ? y : juliaCi);
            const std::size_t at = base + static_cast<std::size_t>(col);
            if (options.raw != nullptr) {
                options.raw->counts[at] = e.count;
                options.raw->a[at] = e.a;
                options.raw->b[at] = e.b;
            }
            const std::int32_t v = colourPixel(constants, app.palette, e.count, e.a, e.b);
            it.counts[at] = v;
            it.a[at] = e.a;
            it.b[at] = e.b;
            rowColours[static_cast<std::size_t>(col)] = colourOfValue(v, shown, offset);
            x += dx;
        }
        host.drawRow(row, rowColours);
        ++rowsComputed;
        host.pumpEvents();
        host.showProgress(rowsComputed, height);
        if (host.escapePressed()) {
            app.render.stoppedByUser = 1;
            stopped = true;
        }
        y += dy;
    }
    app.render.elapsedSeconds = secondsSince(start);

    app.shell.pictureValid = 1;
    markShown(app);
    if (!animationRuns(app)) {
        host.setControlsEnabled(true);
        host.bringToFront();
        host.setArrowCursor();
    }
    buildAndShow(app, host);
    if (!stopped && !firstPicture && app.settings.autosaveParameter != 0 && !animationRuns(app)) {
        host.makeBackup(BackupForm::Standard);
    }
    extendedToText(app.view);
    textToDeep(app.view);
    app.render.lastRenderer = RendererKind::Single;
    app.render.rowsComputed = rowsComputed;
    app.shell.rendering = 0;
}

void renderThreaded(AppState& app, RenderHost& host, const RenderOptions& options)
{
    if (!pictureHasPixels(app)) {
        return;
    }
    const bool firstPicture = beginExtendedRender(app, host);
    IterationBuffer& it = app.iterations;

    ThreadedRun run;
    run.kind = kernelKindForMode(drawingMode(app.view.modeWord));
    run.width = it.width;
    run.height = it.height;
    run.stopFlag = &app.render.stopFlag;
    const StripLayout layout = stripLayout(run.height, app.settings.threads);

    WindowRef w = currentWindow(app.view);
    w.dx.ext = (w.xmax.ext - w.xmin.ext) / static_cast<long double>(run.width);
    w.dy.ext = (w.ymax.ext - w.ymin.ext) / static_cast<long double>(run.height);
    const auto rows = static_cast<std::size_t>(run.height);
    run.stripOfRow.resize(rows);
    run.rowY.resize(rows);
    run.rowDone.assign(rows, 0);
    for (const StripBounds& bounds : layout.strips) {
        StripJob job;
        job.iterMax = app.view.iterMax;
        const std::size_t offset = rowOffset(bounds.firstRow, run.width);
        job.counts = it.counts.data() + offset;
        job.a = it.a.data() + offset;
        job.b = it.b.data() + offset;
        job.mandelbrot = isMandelbrot(app.view) ? 1 : 0;
        job.width = run.width;
        job.rowsPerStrip = layout.rowsPerStrip;
        job.firstRow = bounds.firstRow;
        job.lastRow = bounds.lastRow;
        job.bailout = app.view.bailout;
        job.xmin = w.xmin.ext;
        job.xmax = w.xmax.ext;
        job.dx = w.dx.ext;
        job.y0 = w.ymin.ext + w.dy.ext * static_cast<long double>(bounds.firstRow);
        job.ymax = w.ymax.ext;
        job.dy = w.dy.ext;
        job.juliaCr = app.view.julia.cr.ext;
        job.juliaCi = app.view.julia.ci.ext;
        job.stopFlag = &app.render.stopFlag;
        // Each row's y as the strip reaches it: its start, then repeated addition.
        long double y = job.y0;
        for (std::int32_t row = bounds.firstRow; row <= bounds.lastRow; ++row) {
            run.stripOfRow[static_cast<std::size_t>(row)] =
                static_cast<std::int32_t>(run.strips.size());
            run.rowY[static_cast<std::size_t>(row)] = y;
            y += job.dy;
        }
        run.strips.push_back(job);
    }

    app.render.stopFlag.store(0, std::memory_order_relaxed);
    const Clock::time_point start = Clock::now();
    bool stopped = false;
    {
        std::vector<std::jthread> workers =
            startWorkers(static_cast<std::int32_t>(run.strips.size()), run.running,
                         [&run](std::int32_t, bool) { runThreadedWorker(run); });
        const WorkerWatch watch{run.running, run.rowsDone, run.height};
        const WaitTurn turn{std::chrono::milliseconds(1), true, std::nullopt};
        stopped = waitForWorkers(app, host, options, watch, turn, [] {});
    } // joined here: the buffer is read only after this

    keepRaw(options.raw, it);
    const std::int32_t rowsComputed = colourComputedRows(app, run.rowDone);
    buildAndShow(app, host);

    app.shell.pictureValid = 1;
    app.render.elapsedSeconds = secondsSince(start);
    markShown(app);
    if (!animationRuns(app)) {
        host.setControlsEnabled(true);
    }
    if (!stopped && !firstPicture && app.settings.autosaveParameter != 0 && !animationRuns(app)) {
        host.makeBackup(BackupForm::Standard);
    }
    extendedToText(app.view);
    textToDeep(app.view);
    app.render.lastRenderer = RendererKind::Threaded;
    app.render.rowsComputed = rowsComputed;
    app.shell.rendering = 0;
    app.render.stopFlag.store(0, std::memory_order_relaxed);
}

void renderDeep(AppState& app, RenderHost& host, const RenderOptions& options)
{
    if (!pictureHasPixels(app)) {
        return;
    }
    app.render.firstPicture = 0;
    app.shell.rendering = 1;
    fitBuffer(app);
    IterationBuffer& it = app.iterations;

    DeepRun run;
    run.width = it.width;
    run.height = it.height;
    run.idleWorkers = options.idleDeepWorkers;
    WindowRef w = currentWindow(app.view);
    mpf_sub(w.dy.mp(), w.ymax.mp(), w.ymin.mp());
    mpf_div_ui(w.dy.mp(), w.dy.mp(), static_cast<unsigned long>(run.height));
    mpf_sub(w.dx.mp(), w.xmax.mp(), w.xmin.mp());
    mpf_div_ui(w.dx.mp(), w.dx.mp(), static_cast<unsigned long>(run.width));
    const bool mandelbrot = isMandelbrot(app.view);

    app.render.stopFlag.store(0, std::memory_order_relaxed);
    if (!animationRuns(app)) {
        host.setControlsEnabled(false);
    }
    run.kind = kernelKindForMode(drawingMode(app.view.modeWord));

    const StripLayout layout = stripLayout(run.height, app.settings.threads);
    const std::size_t workers = layout.strips.size();
    app.render.progress = std::vector<std::atomic<std::int32_t>>(workers);
    run.rowDone.assign(static_cast<std::size_t>(run.height), 0);
    run.strips.reserve(workers);
    for (std::size_t i = 0; i < workers; ++i) {
        const StripBounds& bounds = layout.strips[i];
        DeepStripJob& job = run.strips.emplace_back(app.view.precisionBits);
        job.threadIndex = static_cast<std::int32_t>(i);
        job.iterMax = app.view.iterMax;
        const std::size_t offset = rowOffset(bounds.firstRow, run.width);
        job.counts = it.counts.data() + offset;
        job.a = it.a.data() + offset;
        job.b = it.b.data() + offset;
        job.mandelbrot = mandelbrot ? 1 : 0;
        job.width = run.width;
        job.rowsPerStrip = layout.rowsPerStrip;
        // Strips that meet share no row: the one starting there computes it, so that the
        // picture never depends on which worker writes last.
        job.firstRow = bounds.firstRow;
        job.lastRow = bounds.lastRow;
        job.bailout = app.view.bailout;
        mpf_set(job.x0.get(), w.xmin.mp());
        mpf_set(job.dx.get(), w.dx.mp());
        mpf_mul_ui(job.y0.get(), w.dy.mp(), static_cast<unsigned long>(bounds.firstRow));
        mpf_add(job.y0.get(), job.y0.get(), w.ymin.mp());
        mpf_set(job.dy.get(), w.dy.mp());
        mpf_set(job.juliaCr.get(), app.view.julia.cr.mp());
        mpf_set(job.juliaCi.get(), app.view.julia.ci.mp());
        job.stopFlag = &app.render.stopFlag;
        job.progress = &app.render.progress[i];
        job.progress->store(bounds.lastRow - bounds.firstRow + 1, std::memory_order_relaxed);
    }

    const Clock::time_point start = Clock::now();
    {
        std::vector<std::jthread> threads =
            startWorkers(static_cast<std::int32_t>(workers), run.running,
                         [&run](std::int32_t i, bool ownThread) {
                             runDeepWorker(run, static_cast<std::size_t>(i), ownThread);
                         });
        host.setMainTitle(kDeepStartTitle);
        const WorkerWatch watch{run.running, run.rowsDone, run.height};
        const WaitTurn turn{std::chrono::milliseconds(10), false, options.deepRepaintInterval};
        std::vector<std::int32_t> remaining(workers);
        // A stopped deep render ends like a finished one, backup included.
        waitForWorkers(app, host, options, watch, turn, [&] {
            host.invalidatePicture();
            for (std::size_t i = 0; i < workers; ++i) {
                remaining[i] = app.render.progress[i].load(std::memory_order_relaxed);
            }
            const std::int32_t p = deepRemainingPercent(remaining, layout.strips);
            if (p > 0) {
                host.setMainTitle(deepProgressTitle(100 - p));
            }
        });
    } // joined here: the buffer is read only after this

    app.render.stopFlag.store(1, std::memory_order_relaxed);
    app.shell.pictureValid = 1;
    keepRaw(options.raw, it);
    const std::int32_t rowsComputed = colourComputedRows(app, run.rowDone);
    buildAndShow(app, host);
    app.render.elapsedSeconds = secondsSince(start);
    app.shell.rendering = 0;
    app.render.renderSuppressed = 1;
    if (!animationRuns(app)) {
        host.setControlsEnabled(true);
    }
    markShown(app);
    refreshFromDeep(app.view, viewContext(app), host);
    if (app.settings.autosaveParameter != 0) {
        host.makeBackup(BackupForm::Deep);
    }
    app.render.lastRenderer = RendererKind::Deep;
    app.render.rowsComputed = rowsComputed;
}

} // namespace qv
