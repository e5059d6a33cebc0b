// The fast deep path: every pixel as a long double offset from one GMP reference orbit, a
// deterministic sample of pixels computed again by the exact kernel, and the exact renderer
// when the two disagree. See fast_deep.md beside this file.
#include "base/mp_float.h"
#include "engine/kernel_kind.h"
#include "engine/kernels_deep.h"
#include "engine/perturbation.h"
#include "engine/render_workers.h"
#include "engine/strip_job.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <set>
#include <string>
#include <utility>

#include <gmp.h>

namespace qv {
namespace detail {
namespace {

/// The first sample: 16 x 16 pixels spread over the picture.
constexpr std::int32_t kFirstSampleSide = 16;
/// Where the first sample shows any difference, 32 x 32 more decide.
constexpr std::int32_t kSecondSampleSide = 32;
constexpr std::int32_t kRequiredPermille = 999;
/// Pixel steps below 2^-16000 (about 1e-4816) leave too little of the long double exponent
/// range for the offsets and their squares: their pixels iterate in units of a power of two.
constexpr long kSmallestStepExponent = -16000;

/// What every worker of the fast path reads; fixed before they start.
struct Frame
{
    explicit Frame(std::int32_t precisionBits)
        : bits(static_cast<unsigned long>(precisionBits)), xmin(bits), ymin(bits), dx(bits),
          dy(bits), juliaCr(bits), juliaCi(bits), refX(bits), refY(bits)
    {
    }

    unsigned long bits;
    MpFloat xmin, ymin, dx, dy, juliaCr, juliaCi, refX, refY;
    long double offX = 0.0L; ///< xmin minus the reference's x
    long double offY = 0.0L;
    long double stepX = 0.0L;
    long double stepY = 0.0L;
    std::int64_t scale = 0; ///< offX to stepY are in units of 2^scale
    std::int32_t iterMax = 0;
    double bailout = 0.0;
    bool mandelbrot = true;
    ReferenceOrbit start;
    ReferenceOrbit critical; ///< Julia views rebase onto the orbit of 0
    PerturbationSetup setup;
};

struct FastRun : WorkerShared
{
    std::atomic<std::int32_t> next{0};
    bool idleWorkers = true;
};

/// Runs `work` on `workers` threads while the wait loop keeps the interface alive and shows
/// the rows done; true when Esc stopped it.
template <typename Work>
bool runWorkers(FastRun& run, const RenderPass& pass, std::int32_t workers, const Work& work)
{
    run.next.store(0, std::memory_order_relaxed);
    const std::vector<std::jthread> threads =
        startWorkers(workers, run.running, [&run, &work](std::int32_t, bool ownThread) {
            if (ownThread && run.idleWorkers) {
                lowerOwnPriority();
            }
            work();
            run.running.fetch_sub(1, std::memory_order_release);
        });
    const WaitTurn turn{std::chrono::milliseconds(10), false, pass.options.deepRepaintInterval};
    return waitForWorkers(pass.progress, pass.options, run, turn, [&run, &pass] {
        const std::int32_t rows = run.rowsDone.load(std::memory_order_relaxed);
        pass.progress.showStripProgress(rows * 100 / std::max(run.height, 1));
    });
}

/// Count, A and B of one pixel from the exact deep kernel, its c worked out directly.
struct ExactPixel
{
    std::int32_t count = 0;
    float a = 0.0f;
    float b = 0.0f;
};

ExactPixel exactPixel(const Frame& f, KernelKind kind, std::int32_t row, std::int32_t col,
                      const std::atomic<std::int32_t>* stopFlag)
{
    DeepStripJob job(static_cast<std::int32_t>(f.bits));
    ExactPixel p;
    job.iterMax = f.iterMax;
    job.mandelbrot = f.mandelbrot ? 1 : 0;
    job.width = 1;
    job.rowsPerStrip = 1;
    job.bailout = f.bailout;
    job.counts = &p.count;
    job.a = &p.a;
    job.b = &p.b;
    job.stopFlag = stopFlag;
    job.yieldsProcessor = false;
    mpf_mul_ui(job.x0.get(), f.dx.get(), static_cast<unsigned long>(col));
    mpf_add(job.x0.get(), job.x0.get(), f.xmin.get());
    mpf_mul_ui(job.y0.get(), f.dy.get(), static_cast<unsigned long>(row));
    mpf_add(job.y0.get(), job.y0.get(), f.ymin.get());
    mpf_set(job.juliaCr.get(), f.juliaCr.get());
    mpf_set(job.juliaCi.get(), f.juliaCi.get());
    runDeepStripJob(job, kind, 1);
    return p;
}

/// Why the fast path cannot compute this view, or "" when it can.
std::string unsupportedReason(KernelKind kind, const Frame& f)
{
    if (!perturbationHandles(kind)) {
        return "drawing mode needs the exact kernel";
    }
    for (mpf_srcptr step : {f.dx.get(), f.dy.get()}) {
        if (mpf_sgn(step) == 0) {
            return "picture without extent";
        }
    }
    return {};
}

/// The pixels of an n x n grid spread evenly over the picture that `taken` does not hold yet.
std::vector<std::int32_t> sampleGrid(std::int32_t width, std::int32_t height, std::int32_t n,
                                     std::set<std::int32_t>& taken)
{
    std::vector<std::int32_t> pixels;
    for (std::int32_t b = 0; b < n; ++b) {
        const std::int32_t row =
            static_cast<std::int32_t>((std::int64_t{2 * b + 1} * height) / (std::int64_t{2} * n));
        for (std::int32_t a = 0; a < n; ++a) {
            const std::int32_t col = static_cast<std::int32_t>((std::int64_t{2 * a + 1} * width) /
                                                               (std::int64_t{2} * n));
            const std::int32_t at = row * width + col;
            if (taken.insert(at).second) {
                pixels.push_back(at);
            }
        }
    }
    return pixels;
}

/// Sets the frame's window, steps, reference point and pixel offsets from the pass.
void frameFromPass(Frame& f, const RenderPass& pass)
{
    ViewState& view = pass.view;
    WindowRef w = currentWindow(view);
    const auto width = static_cast<unsigned long>(pass.job.width);
    const auto height = static_cast<unsigned long>(pass.job.height);
    // The same steps as the exact renderer, written back into the view as it does.
    mpf_sub(w.dy.mp(), w.ymax.mp(), w.ymin.mp());
    mpf_div_ui(w.dy.mp(), w.dy.mp(), height);
    mpf_sub(w.dx.mp(), w.xmax.mp(), w.xmin.mp());
    mpf_div_ui(w.dx.mp(), w.dx.mp(), width);
    mpf_set(f.xmin.get(), w.xmin.mp());
    mpf_set(f.ymin.get(), w.ymin.mp());
    mpf_set(f.dx.get(), w.dx.mp());
    mpf_set(f.dy.get(), w.dy.mp());
    mpf_set(f.juliaCr.get(), view.julia.cr.mp());
    mpf_set(f.juliaCi.get(), view.julia.ci.mp());
    f.iterMax = view.iterMax;
    f.bailout = view.bailout;
    f.mandelbrot = isMandelbrot(view);
    // The reference is the pixel at the centre of the picture.
    mpf_mul_ui(f.refX.get(), f.dx.get(), width / 2);
    mpf_add(f.refX.get(), f.refX.get(), f.xmin.get());
    mpf_mul_ui(f.refY.get(), f.dy.get(), height / 2);
    mpf_add(f.refY.get(), f.refY.get(), f.ymin.get());
    long ex = 0;
    long ey = 0;
    mpf_get_d_2exp(&ex, f.dx.get());
    mpf_get_d_2exp(&ey, f.dy.get());
    const long smaller = std::min(ex, ey);
    f.scale =
        mpf_sgn(f.dx.get()) != 0 && mpf_sgn(f.dy.get()) != 0 && smaller < kSmallestStepExponent
            ? smaller
            : 0;
    MpFloat unit(f.bits);
    const auto toUnits = [&](mpf_srcptr v) {
        if (f.scale == 0) {
            return toLongDouble(v);
        }
        mpf_mul_2exp(unit.get(), v, static_cast<mp_bitcnt_t>(-f.scale));
        return toLongDouble(unit.get());
    };
    f.stepX = toUnits(f.dx.get());
    f.stepY = toUnits(f.dy.get());
    f.offX = -static_cast<long double>(width / 2) * f.stepX;
    f.offY = -static_cast<long double>(height / 2) * f.stepY;
}

/// Computes the reference orbits and their steps; false when Esc stopped them.
bool computeReference(Frame& f, FastRun& run, const RenderPass& pass)
{
    const auto length = static_cast<std::size_t>(std::max(f.iterMax, 0)) + 3;
    MpFloat zero(f.bits);
    bool complete = true;
    const bool stopped = runWorkers(run, pass, 1, [&] {
        if (f.mandelbrot) {
            complete = f.start.compute(zero.get(), zero.get(), f.refX.get(), f.refY.get(), f.bits,
                                       length, &run.stopFlag);
        } else {
            complete = f.start.compute(f.refX.get(), f.refY.get(), f.juliaCr.get(), f.juliaCi.get(),
                                       f.bits, length, &run.stopFlag) &&
                       f.critical.compute(zero.get(), zero.get(), f.juliaCr.get(), f.juliaCi.get(),
                                          f.bits, length, &run.stopFlag);
        }
    });
    if (stopped || !complete) {
        return false;
    }
    const unsigned long bound = deepEscapeBound(f.bailout);
    const long double safeNorm = 0.999L * std::min(4.0L, static_cast<long double>(bound) / 1.25L);
    // In units of 2^scale, dcMax is scaled back at most to 2^-15000: an upper bound that keeps
    // the radii of the table steps meaningful.
    const long double dcMax =
        f.mandelbrot
            ? std::ldexp(std::hypot(static_cast<long double>(run.width) * std::fabs(f.stepX),
                                    static_cast<long double>(run.height) * std::fabs(f.stepY)),
                         static_cast<int>(std::max<std::int64_t>(f.scale, -15000)))
            : 0.0L;
    f.start.buildSteps(dcMax, safeNorm);
    f.critical.buildSteps(0.0L, safeNorm);
    f.setup.start = &f.start;
    f.setup.rebase = f.mandelbrot ? &f.start : &f.critical;
    f.setup.startIndex = f.mandelbrot ? 1 : 0;
    f.setup.mandelbrot = f.mandelbrot;
    f.setup.iterMax = f.iterMax;
    f.setup.bound = bound;
    f.setup.rebasing = pass.options.fastDeepRebasing;
    f.setup.bilinear = pass.options.fastDeepBilinear;
    f.setup.scale = f.scale;
    return true;
}

/// One worker of the fast pass: rows from the shared counter, each into its scratch row, then
/// into the buffer. Pixels whose offsets broke down get the exact kernel.
void fastRows(const Frame& f, FastRun& run, const RenderPass& pass)
{
    IterationBuffer& it = pass.target.iterations;
    RowScratch scratch(run.width);
    for (;;) {
        const std::int32_t row = run.next.fetch_add(1, std::memory_order_relaxed);
        if (row >= run.height || run.stopFlag.load(std::memory_order_relaxed) != 0) {
            return;
        }
        const long double dy = f.offY + static_cast<long double>(row) * f.stepY;
        for (std::int32_t col = 0; col < run.width; ++col) {
            const ComplexLd delta{f.offX + static_cast<long double>(col) * f.stepX, dy};
            const PerturbedPixel p = perturbedPixel(run.kind, f.setup, delta);
            const auto at = static_cast<std::size_t>(col);
            if (p.suspect) {
                const ExactPixel e = exactPixel(f, run.kind, row, col, &run.stopFlag);
                scratch.counts[at] = e.count;
                scratch.a[at] = e.a;
                scratch.b[at] = e.b;
            } else {
                scratch.counts[at] = p.count;
                scratch.a[at] = p.a;
                scratch.b[at] = p.b;
            }
            if (run.stopFlag.load(std::memory_order_relaxed) != 0) {
                return;
            }
        }
        const std::size_t offset = rowOffset(row, run.width);
        scratch.copyTo(it.counts.data() + offset, it.a.data() + offset, it.b.data() + offset);
        run.rowDone[static_cast<std::size_t>(row)] = 1;
        run.rowsDone.fetch_add(1, std::memory_order_relaxed);
    }
}

/// Computes the sample pixels with the exact kernel, counts those whose fast count agrees and
/// puts the exact results into the buffer. False when Esc stopped it.
bool certify(const Frame& f, FastRun& run, const RenderPass& pass,
             const std::vector<std::int32_t>& pixels, FastDeepReport& report)
{
    std::vector<ExactPixel> exact(pixels.size());
    const bool stopped = runWorkers(run, pass, std::max(pass.job.threads, 1), [&] {
        for (;;) {
            const auto k = static_cast<std::size_t>(run.next.fetch_add(1));
            if (k >= pixels.size() || run.stopFlag.load(std::memory_order_relaxed) != 0) {
                return;
            }
            exact[k] = exactPixel(f, run.kind, pixels[k] / run.width, pixels[k] % run.width,
                                  &run.stopFlag);
        }
    });
    if (stopped) {
        return false;
    }
    IterationBuffer& it = pass.target.iterations;
    for (std::size_t k = 0; k < pixels.size(); ++k) {
        const auto at = static_cast<std::size_t>(pixels[k]);
        report.samples += 1;
        report.identical += it.counts[at] == exact[k].count ? 1 : 0;
        it.counts[at] = exact[k].count;
        it.a[at] = exact[k].a;
        it.b[at] = exact[k].b;
    }
    return true;
}

RenderOutcome exactInstead(const RenderPass& pass, FastDeepReport report, std::string reason,
                           float secondsBefore)
{
    report.exact = true;
    report.reason = std::move(reason);
    RenderOutcome outcome = renderDeep(pass);
    outcome.elapsedSeconds += secondsBefore;
    outcome.fastDeep = std::move(report);
    return outcome;
}

} // namespace

RenderOutcome renderFastDeep(const RenderPass& pass)
{
    const Clock::time_point start = Clock::now();
    FastRun run;
    prepareShared(run, pass);
    run.idleWorkers = pass.options.idleDeepWorkers;
    Frame f(pass.view.precisionBits);
    frameFromPass(f, pass);
    FastDeepReport report;
    report.tried = true;
    if (const std::string reason = unsupportedReason(run.kind, f); !reason.empty()) {
        return exactInstead(pass, report, reason, 0.0f);
    }

    RenderOutcome outcome{RendererKind::Deep, false, 0, 0, 0.0f, {}};
    if (!computeReference(f, run, pass)) {
        outcome.stopped = true;
    }
    report.referenceSeconds = secondsSince(start);
    report.referenceLength = static_cast<std::int64_t>(f.start.size());
    if (!outcome.stopped) {
        outcome.stopped =
            runWorkers(run, pass, std::max(pass.job.threads, 1), [&] { fastRows(f, run, pass); });
    }
    std::set<std::int32_t> taken;
    if (!outcome.stopped) {
        outcome.stopped = !certify(
            f, run, pass, sampleGrid(run.width, run.height, kFirstSampleSide, taken), report);
    }
    if (!outcome.stopped && identicalPermille(report) < kRequiredPermille) {
        outcome.stopped = !certify(
            f, run, pass, sampleGrid(run.width, run.height, kSecondSampleSide, taken), report);
    }
    if (!outcome.stopped && identicalPermille(report) < kRequiredPermille) {
        return exactInstead(pass, report, "only " + fastDeepSummary(report) + ", below 99.9%",
                            secondsSince(start));
    }
    finishPicture(pass, run.rowDone, outcome);
    outcome.elapsedSeconds = secondsSince(start);
    outcome.fastDeep = std::move(report);
    return outcome;
}

} // namespace detail

std::int32_t identicalPermille(const FastDeepReport& report)
{
    if (report.samples <= 0) {
        return 1000;
    }
    return static_cast<std::int32_t>(std::int64_t{report.identical} * 1000 / report.samples);
}

std::string fastDeepSummary(const FastDeepReport& report)
{
    if (!report.tried) {
        return {};
    }
    const std::int32_t permille = identicalPermille(report);
    std::string share = std::to_string(permille / 10) + "." + std::to_string(permille % 10) +
                        "% of " + std::to_string(report.samples) + " pixels identical";
    if (report.exact && !report.reason.empty() && report.samples == 0) {
        return "exact kernel: " + report.reason;
    }
    if (report.exact) {
        return "exact kernel after " + share;
    }
    return share;
}

} // namespace qv
