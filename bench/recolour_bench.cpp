// Recolouring against rendering at 1920 x 1080: the threaded render of the default view, and
// the rebuild of the same picture from its stored indices that a palette or offset change
// runs. A slider drag stays smooth while the rebuild takes well under a quarter of the render.
#include "app/app_state.h"
#include "app/render_entry.h"
#include "app/render_observer.h"
#include "engine/colouring.h"
#include "engine/render_progress.h"
#include "engine/view_state.h"
#include "palette/palette_generator.h"

#include <benchmark/benchmark.h>
#include <cstdint>

namespace {

constexpr std::int32_t kWidth = 1920;
constexpr std::int32_t kHeight = 1080;
constexpr std::int32_t kThreads = 2;

// The program's state on the default view at 1920 x 1080 with the default palette, set to
// render with the threaded renderer.
struct DefaultView
{
    qv::AppState app;
    qv::QuietProgress progress;
    qv::QuietObserver observer;

    DefaultView()
    {
        app.settings.pictureWidth = kWidth;
        app.settings.pictureHeight = kHeight;
        app.settings.threads = kThreads;
        app.settings.multiThreaded = 1;
        app.shell.processorCount = kThreads;
        app.iterations.allocate(kWidth, kHeight);
        qv::fillPalette(app.palette, app.paletteState.parameters, app.paletteState.options, 0);
        qv::resetView(app.view);
        qv::applyViewChange(app.view, qv::viewContext(app), observer);
    }

    void render()
    {
        app.shell.pictureValid = 0;
        qv::renderView(app, progress, observer);
    }
};

void BM_RenderDefaultView1920x1080(benchmark::State& state)
{
    DefaultView view;
    for (auto _ : state) {
        view.render();
        benchmark::DoNotOptimize(view.app.picture.pixels.data());
    }
    state.SetLabel(view.app.render.lastRenderer == qv::RendererKind::Threaded ? "threaded"
                                                                              : "NOT threaded");
}

// The offset moves on every rebuild, as it does while the slider is dragged.
void BM_RebuildPicture1920x1080(benchmark::State& state)
{
    DefaultView view;
    view.render();
    std::int32_t offset = 0;
    for (auto _ : state) {
        offset = (offset + 1) % 1000;
        qv::buildPicture(view.app.picture, view.app.iterations, view.app.palette,
                         qv::drawingMode(view.app.view.modeWord), offset);
        benchmark::DoNotOptimize(view.app.picture.pixels.data());
        benchmark::ClobberMemory();
    }
}

} // namespace

BENCHMARK(BM_RenderDefaultView1920x1080)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RebuildPicture1920x1080)->Unit(benchmark::kMillisecond)->UseRealTime();
