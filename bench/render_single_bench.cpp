// The single-threaded renderer against the threaded renderer with one worker, on the seahorse
// view (640 x 480, 1e-10 wide, iterMax 5000) and the default view (640 x 480, iterMax 1000):
// both run the same row kernel, so their times should stay within a few per cent.
#include "engine/colouring.h"
#include "engine/iteration_buffer.h"
#include "engine/picture_buffer.h"
#include "engine/render_progress.h"
#include "engine/renderer.h"
#include "engine/view_state.h"
#include "palette/palette.h"

#include <benchmark/benchmark.h>
#include <cstdint>

namespace {

constexpr std::int32_t kWidth = 640;
constexpr std::int32_t kHeight = 480;

/// A Mandelbrot view at the default window, or at the seahorse window when `seahorse` is set.
qv::ViewState benchView(bool seahorse)
{
    qv::ViewState view;
    qv::resetView(view);
    view.iterMax = 1000;
    if (seahorse) {
        const long double cx = -0.743643887037151L;
        const long double cy = 0.131825904205330L;
        const long double w = 1e-10L;
        const long double h = w * 3.0L / 4.0L;
        qv::WindowRef window = qv::currentWindow(view);
        window.xmin.ext = cx - w / 2.0L;
        window.xmax.ext = cx + w / 2.0L;
        window.ymin.ext = cy - h / 2.0L;
        window.ymax.ext = cy + h / 2.0L;
        qv::extendedToDeep(view);
        view.iterMax = 5000;
    }
    return view;
}

void renderWith(benchmark::State& state, qv::RendererKind renderer, bool seahorse)
{
    qv::ViewState view = benchView(seahorse);
    qv::IterationBuffer iterations;
    iterations.allocate(kWidth, kHeight);
    qv::Palette palette;
    qv::PictureBuffer picture;
    qv::QuietProgress progress;
    qv::RenderJob job;
    job.renderer = renderer;
    job.width = kWidth;
    job.height = kHeight;
    job.threads = 1;
    job.colours = qv::colourSettingsOf(view, qv::ColourSettings::kColourByPotential, 0);
    for (auto _ : state) {
        qv::renderPicture(job, view, qv::RenderTarget{iterations, palette, picture}, progress);
        benchmark::DoNotOptimize(picture.pixels.data());
    }
}

void BM_SeahorseSingle(benchmark::State& state)
{
    renderWith(state, qv::RendererKind::Single, true);
}

void BM_SeahorseThreadedOneWorker(benchmark::State& state)
{
    renderWith(state, qv::RendererKind::Threaded, true);
}

void BM_DefaultViewSingle(benchmark::State& state)
{
    renderWith(state, qv::RendererKind::Single, false);
}

void BM_DefaultViewThreadedOneWorker(benchmark::State& state)
{
    renderWith(state, qv::RendererKind::Threaded, false);
}

} // namespace

BENCHMARK(BM_SeahorseSingle)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_SeahorseThreadedOneWorker)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);
BENCHMARK(BM_DefaultViewSingle)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DefaultViewThreadedOneWorker)->Unit(benchmark::kMillisecond)->UseRealTime();
