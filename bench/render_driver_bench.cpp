// Whole renders through the render entry: the default view at 640 x 480 with iterMax 1000, by
// the single-threaded renderer (1 thread) and by the threaded renderer (2 threads). The second
// should take at most 55 % of the first's time on a machine with two free cores.
#include "engine/render_driver.h"
#include "engine/render_host.h"
#include "engine/view_state.h"
#include "app/app_state.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace {

/// A window system that shows nothing and never presses Esc.
class QuietHost : public qv::RenderHost
{
public:
    void pumpEvents() override {}

    bool escapePressed() override { return false; }

    void showProgress(std::int32_t, std::int32_t) override {}

    void setMainTitle(std::string_view) override {}

    void showPotValue(std::string_view) override {}

    void showDeepZoom(bool) override {}

    void showIterMax(std::string_view) override {}

    void refreshLocationFields() override {}

    void showBoxedZoom(bool) override {}

    void showAutoPotValue(bool) override {}

    void requestRepaint() override {}

    void setControlsEnabled(bool) override {}

    void bringToFront() override {}

    void invalidatePicture() override {}

    void drawRow(std::int32_t, std::span<const std::uint32_t>) override {}

    void refreshOpenDialogs() override {}

    void writeThumbnail(const std::string&) override {}

    void makeBackup(qv::BackupForm) override {}

    void sizePictureWindow(std::int32_t, std::int32_t) override {}

    void showFractalType(bool, bool) override {}

    void showMultiThreaded(bool) override {}

    void setMenuTitle(std::string_view) override {}

    void setArrowCursor() override {}
};

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
    QuietHost host;
    qv::resetView(app.view);
    app.view.iterMax = 1000;
    qv::applyViewChange(app.view, qv::viewContext(app), host);

    for (auto _ : state) {
        app.shell.pictureValid = 0;
        qv::renderView(app, host);
        benchmark::DoNotOptimize(app.picture.pixels.data());
    }
    state.SetLabel(app.render.lastRenderer == qv::RendererKind::Single ? "single" : "threaded");
    state.counters["pixels/s"] =
        benchmark::Counter(640.0 * 480.0, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(renderDefaultView)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
