// Fast deep zoom against the exact deep renderer: 320 x 240 views near a minibrot's boundary at
// pixel steps 1e-60, 1e-200 and 1e-1000, iterMax 10000, one thread. The exact renderer takes
// minutes there; at 1e-200 and 1e-1000 it renders a smaller picture of the same window and the
// full time is scaled from it.
#include "base/mp_float.h"
#include "bench/deep_locations.h"
#include "engine/render_progress.h"
#include "engine/renderer.h"
#include "engine/view_state.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <ctime>
#include <string>

#include <gmp.h>

namespace {

constexpr std::int32_t kWidth = 320;
constexpr std::int32_t kHeight = 240;
constexpr std::int32_t kIterMax = 10000;

struct DeepView
{
    const char* x;
    const char* y;
    std::int32_t stepExponent; ///< pixel step 10^stepExponent at 320 x 240
    std::int32_t shiftPixels;  ///< the window's centre this many steps right of (x, y)
};

const DeepView kView60{qv::bench::kMinibrot60X, qv::bench::kMinibrot60Y, -60, -600};
const DeepView kView200{qv::bench::kMinibrot200X, qv::bench::kMinibrot200Y, -200, 0};
const DeepView kView1000{qv::bench::kMinibrot1000X, qv::bench::kMinibrot1000Y, -1000, 0};

/// The view's window at the precision the program gives its depth.
void setView(qv::ViewState& view, const DeepView& v)
{
    view.modeWord = 5; // Mandelbrot, drawing mode 1
    view.iterMax = kIterMax;
    view.deepZoom = 1;
    qv::setPrecision(view, qv::precisionForLimit(v.stepExponent));
    const auto bits = static_cast<unsigned long>(view.precisionBits);
    qv::MpFloat step(bits);
    mpf_set_str(step.get(), ("1e" + std::to_string(v.stepExponent)).c_str(), 10);
    qv::MpFloat centre(bits);
    qv::MpFloat t(bits);
    qv::WindowRef w = qv::currentWindow(view);
    const auto corner = [&](mpf_ptr low, mpf_ptr high, const char* text, long shift, long half) {
        mpf_set_str(centre.get(), text, 10);
        mpf_mul_ui(t.get(), step.get(), static_cast<unsigned long>(shift < 0 ? -shift : shift));
        shift < 0 ? mpf_sub(centre.get(), centre.get(), t.get())
                  : mpf_add(centre.get(), centre.get(), t.get());
        mpf_mul_ui(t.get(), step.get(), static_cast<unsigned long>(half));
        mpf_sub(low, centre.get(), t.get());
        mpf_add(high, centre.get(), t.get());
    };
    corner(w.xmin.mp(), w.xmax.mp(), v.x, v.shiftPixels, kWidth / 2);
    corner(w.ymin.mp(), w.ymax.mp(), v.y, 0, kHeight / 2);
}

/// Processor time of every thread of the process: the machine may be shared, so that the
/// elapsed time says little.
double cpuSecondsSince(std::clock_t start)
{
    return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

qv::RenderOutcome render(const DeepView& v, std::int32_t width, std::int32_t height, bool fast)
{
    qv::ViewState view;
    setView(view, v);
    qv::RenderJob job;
    job.renderer = qv::RendererKind::Deep;
    job.width = width;
    job.height = height;
    job.threads = 1;
    job.fastDeep = fast;
    job.colours = qv::colourSettingsOf(view, 4, 0);
    qv::IterationBuffer iterations;
    qv::Palette palette;
    qv::PictureBuffer picture;
    qv::QuietProgress progress;
    qv::RenderOptions options;
    options.idleDeepWorkers = false;
    return qv::renderPicture(job, view, qv::RenderTarget{iterations, palette, picture}, progress,
                             options);
}

/// The fast path on the whole picture: its time, the reference's and the certificate.
void fastDeep(benchmark::State& state, const DeepView& v)
{
    qv::RenderOutcome outcome;
    const std::clock_t start = std::clock();
    for (auto _ : state) {
        outcome = render(v, kWidth, kHeight, true);
    }
    state.counters["cpu_s"] = cpuSecondsSince(start);
    state.counters["identical_permille"] =
        static_cast<double>(qv::identicalPermille(outcome.fastDeep));
    state.counters["samples"] = outcome.fastDeep.samples;
    state.counters["exact_fallback"] = outcome.fastDeep.exact ? 1 : 0;
    state.counters["reference_s"] = static_cast<double>(outcome.fastDeep.referenceSeconds);
}

/// The exact renderer on width x height pixels of the same window; full_cpu_s scales its
/// processor time to 320 x 240 pixels.
void exactDeep(benchmark::State& state, const DeepView& v, std::int32_t width, std::int32_t height)
{
    const std::clock_t start = std::clock();
    for (auto _ : state) {
        benchmark::DoNotOptimize(render(v, width, height, false));
    }
    const double scale = static_cast<double>(kWidth * kHeight) / (width * height);
    state.counters["cpu_s"] = cpuSecondsSince(start);
    state.counters["full_cpu_s"] = cpuSecondsSince(start) * scale;
}

} // namespace

BENCHMARK_CAPTURE(fastDeep, step1e60, kView60)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(exactDeep, step1e60, kView60, kWidth, kHeight)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(fastDeep, step1e200, kView200)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(exactDeep, step1e200_80x60, kView200, 80, 60)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(fastDeep, step1e1000, kView1000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(exactDeep, step1e1000_16x12, kView1000, 16, 12)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
