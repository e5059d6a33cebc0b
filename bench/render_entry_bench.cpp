// Whole renders through the render entry: the default view at 640 x 480 with iterMax 1000, by
// the single-threaded renderer (1 thread) and by the threaded renderer (2 threads). The second
// should take at most 55 % of the first's time on a machine with two free cores.
#include "app/app_state.h"
#include "app/render_entry.h"
#include "app/render_observer.h"
#include "engine/render_progress.h"
#include "engine/view_state.h"

#include <benchmark/benchmark.h>
#include <cstdint>

namespace {

void renderDefaultView(benchmark::State& state)
{
    const auto threads = static_cast<std::int32_t>(state.range(0));
    qv::AppState app;
    app.settings.pictureWidth = 640;
    app.settings.pictureHeight = 480;
    app.settings.threads = threads;
    app.settings.multiThreaded = threads > 1 ? 1 : 0;
    app.shell.processorCount = threads;
    app.iterations.allocate(640, 480);
    qv::QuietProgress progress;
    qv::QuietObserver observer;
    qv::resetView(app.view);
    app.view.iterMax = 1000;
    qv::applyViewChange(app.view, qv::viewContext(app), observer);

    for (auto _ : state) {
        app.shell.pictureValid = 0;
        qv::renderView(app, progress, observer);
        benchmark::DoNotOptimize(app.picture.pixels.data());
    }
    state.SetLabel(app.render.lastRenderer == qv::RendererKind::Single ? "single" : "threaded");
    state.counters["pixels/s"] =
        benchmark::Counter(640.0 * 480.0, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(renderDefaultView)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
