// The Julia finder's command, pointer steps and accept.
#include "app/julia_finder.h"

#include "app/render_entry.h"
#include "engine/view_state.h"

namespace qv {

namespace {

constexpr std::uint32_t kMandelbrotBit = 1u << 0;
constexpr std::uint32_t kJuliaChosenBit = 1u << 1;

} // namespace

std::optional<FinderState> startJuliaFinder(AppState& app, ShellServices& services)
{
    if (app.view.deepZoom != 0) {
        services.prompts.message(kFinderDeepZoomMessage);
        return std::nullopt;
    }
    FinderState finder;
    finder.multiThreadedBefore = app.settings.multiThreaded;
    app.settings.multiThreaded = 0;
    services.observer.showMultiThreaded(false);
    if (!isMandelbrot(app.view)) {
        services.prompts.message(kFinderJuliaViewMessage);
        return std::nullopt;
    }
    app.shell.finderActive = 1;
    app.shell.pictureValid = 0;
    app.view.iterMax = kPreviewIterMax;
    return finder;
}

JuliaConstant constantUnderPointer(const ViewState& view, std::int32_t x, std::int32_t y)
{
    const MandelbrotNumbers& m = view.mandelbrot;
    return {m.xmin.ext + static_cast<long double>(x) * m.dx.ext,
            m.ymin.ext + static_cast<long double>(y) * m.dy.ext};
}

JuliaConstant finderPointerMoved(AppState& app, FinderState& finder, std::int32_t x, std::int32_t y,
                                 ShellObserver& observer)
{
    finder.leaveTracking = true;
    const JuliaConstant c = constantUnderPointer(app.view, x, y);
    finder.constant = c;
    if (!finder.firstMoveSeen) {
        finder.firstMoveSeen = true;
        // The command switched it off for the finder's own renders only: the person's choice
        // comes back, and the box shows it.
        app.settings.multiThreaded = finder.multiThreadedBefore;
        observer.showMultiThreaded(app.settings.multiThreaded != 0);
    }
    return c;
}

void finderPointerLeft(FinderState& finder)
{
    finder.leaveTracking = false;
}

PreviewJob previewJobFor(const AppState& app, const JuliaConstant& c)
{
    return PreviewJob{c.cr, c.ci, colourSettingsOf(app)};
}

void acceptJuliaConstant(AppState& app, FinderState& finder, std::int32_t x, std::int32_t y,
                         ShellObserver& observer)
{
    if (!finder.constant) {
        finderPointerMoved(app, finder, x, y, observer);
    }
    ViewState& view = app.view;
    app.shell.finderActive = 0;
    view.modeWord = (view.modeWord | kJuliaChosenBit) & ~kMandelbrotBit;
    view.julia.cr.ext = finder.constant->cr;
    view.julia.ci.ext = finder.constant->ci;
    resetView(view);
    // dx and dy of the new window, every GMP copy (the constant too) from the extended
    // fields, then the title and the precision of the Julia view.
    applyViewChange(view, viewContext(app), observer);
    app.shell.juliaShown = 1;
    observer.showFractalType(false, true);
    app.shell.pictureValid = 0;
    app.shell.pictureFromImage = 0;
    // The Julia picture belongs to no parameter file: no title or thumbnail of one.
    app.shell.currentFileName.clear();
    app.shell.lastFilePath.clear();
}

} // namespace qv
