// The render entry: the steps before and after a render of the current view.
#include "app/render_entry.h"

#include "app/progress_title.h"
#include "app/startup.h"
#include "base/number_text.h"
#include "engine/view_state.h"

#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

namespace qv {
namespace {

/// Drawing modes from this one on need kernel kinds 3 to 5, which only the workers run.
constexpr std::int32_t kFirstWorkerOnlyMode = 26;

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

/// Passes a render's progress on, and shows a deep render's strip progress in the picture
/// window: a repaint, and the title once the least advanced strip has begun. A threaded render
/// with a progress title shows its percentage there once it runs long enough to be waited for.
class EntryProgress final : public RenderProgress
{
public:
    EntryProgress(RenderProgress& inner, RenderObserver& observer,
                  std::optional<ProgressTitle> title)
        : m_inner(inner), m_observer(observer), m_title(std::move(title))
    {
    }

    /// The waiting title again after a render that showed its percentage, as a quick one
    /// leaves it.
    ~EntryProgress() override
    {
        if (m_title && m_title->shown()) {
            m_observer.setMainTitle(kWaitTitle);
        }
    }

    EntryProgress(const EntryProgress&) = delete;
    EntryProgress& operator=(const EntryProgress&) = delete;

    void pumpEvents() override { m_inner.pumpEvents(); }

    bool escapePressed() override { return m_inner.escapePressed(); }

    void showProgress(std::int32_t rowsDone, std::int32_t rows) override
    {
        if (m_title) {
            if (const auto title = m_title->titleAt(ProgressTitle::Clock::now(), rowsDone, rows)) {
                m_observer.setMainTitle(*title);
            }
        }
        m_inner.showProgress(rowsDone, rows);
    }

    void drawRow(std::int32_t row, std::span<const std::uint32_t> colours) override
    {
        m_inner.drawRow(row, colours);
    }

    void showStripProgress(std::int32_t percentDone) override
    {
        m_observer.invalidatePicture();
        if (percentDone < 100) {
            m_observer.setMainTitle(deepProgressTitle(percentDone));
        }
        m_inner.showStripProgress(percentDone);
    }

private:
    RenderProgress& m_inner;
    RenderObserver& m_observer;
    std::optional<ProgressTitle> m_title;
};

/// Rendering on, the controls off and the picture window in front (unless an animation runs).
/// Returns whether this is the start-up picture, clearing that flag.
bool beginRender(AppState& app, RenderObserver& observer, RendererKind kind)
{
    const bool firstPicture = std::exchange(app.render.firstPicture, 0) != 0;
    app.shell.rendering = 1;
    if (!animationRuns(app)) {
        observer.setControlsEnabled(false);
        if (kind != RendererKind::Deep) {
            observer.bringToFront();
        }
    }
    if (kind == RendererKind::Deep) {
        observer.setMainTitle(kDeepStartTitle);
    }
    return firstPicture;
}

/// An extended picture is backed up when it was finished, is not the start-up picture and no
/// animation runs; a deep one, stopped or not, whenever autosave is on.
bool backupDue(const AppState& app, const RenderOutcome& outcome, bool firstPicture)
{
    if (app.settings.autosaveParameter == 0) {
        return false;
    }
    if (outcome.renderer == RendererKind::Deep) {
        return true;
    }
    return !outcome.stopped && !firstPicture && !animationRuns(app);
}

/// The closing step of every renderer: the picture's flags and time, the controls, the view's
/// other number forms (a deep picture may also leave deep zoom), the backup.
void finishRender(AppState& app, RenderObserver& observer, const RenderOutcome& outcome,
                  bool firstPicture)
{
    const bool deep = outcome.renderer == RendererKind::Deep;
    app.shell.pictureValid = 1;
    app.render.elapsedSeconds = outcome.elapsedSeconds;
    if (outcome.stopped) {
        app.render.stoppedByUser = 1;
    }
    if (isMandelbrot(app.view)) {
        app.shell.mandelbrotShown = 1;
    } else {
        app.shell.juliaShown = 1;
    }
    observer.invalidatePicture();
    if (!animationRuns(app)) {
        observer.setControlsEnabled(true);
        if (outcome.renderer == RendererKind::Single) {
            observer.bringToFront();
            observer.setArrowCursor();
        }
    }
    if (deep) {
        app.render.renderSuppressed = 1;
        refreshFromDeep(app.view, viewContext(app), observer);
    }
    if (backupDue(app, outcome, firstPicture)) {
        observer.makeBackup(deep ? BackupForm::Deep : BackupForm::Standard);
    }
    if (!deep) {
        extendedToText(app.view);
        textToDeep(app.view);
    }
    app.render.lastRenderer = outcome.renderer;
    app.render.rowsComputed = outcome.rowsComputed;
    app.render.insidePixels = outcome.insidePixels;
    app.render.coloursUsed = countColours(app.picture);
    app.render.fastDeep = outcome.fastDeep;
    app.shell.rendering = 0;
}

/// The dialogs, and for a finished picture the menu title and a missing thumbnail; a picture
/// stopped by Esc is only partly computed, so it never becomes a file's thumbnail.
void showPictureAround(AppState& app, RenderObserver& observer, bool stopped)
{
    if (!animationRuns(app)) {
        observer.refreshOpenDialogs();
    }
    if (app.shell.pictureValid == 0 || animationRuns(app)) {
        return;
    }
    const std::string& file = app.shell.currentFileName;
    if (file.empty()) {
        observer.setMenuTitle("QUORVALIS - (Time:" + elapsedText(app.render.elapsedSeconds) +
                              ") - " + (isMandelbrot(app.view) ? "Mandelbrot" : "Julia") +
                              certificationTitle(app.render.fastDeep));
        return;
    }
    observer.setMenuTitle("QUORVALIS - " + file + certificationTitle(app.render.fastDeep));
    const std::string thumbnail = file + ".jpg";
    std::error_code error;
    if (!stopped && !std::filesystem::exists(std::filesystem::path(thumbnail), error)) {
        observer.writeThumbnail(thumbnail);
    }
}

} // namespace

std::string deepProgressTitle(std::int32_t percentDone)
{
    return "QUORVALIS - Calculating " + decimalText(std::int64_t{percentDone}) +
           "% - STOP WITH ESC-KEY";
}

ColourSettings colourSettingsOf(const AppState& app)
{
    return colourSettingsOf(app.view, app.settings.colourFlags, app.paletteState.paletteOffset);
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

void renderView(AppState& app, RenderProgress& progress, RenderObserver& observer,
                const RenderOptions& options,
                std::chrono::steady_clock::duration progressTitleDelay)
{
    const ShellState& shell = app.shell;
    // A render that runs pumps events; a paint arriving meanwhile must not start a second one.
    if (shell.pictureValid != 0 || app.render.renderSuppressed != 0 || shell.rendering != 0) {
        return;
    }
    // While the Julia finder is open the picture waits for its accept; the finder draws its
    // own preview.
    if (shell.finderActive != 0) {
        return;
    }
    const std::int32_t width = app.settings.pictureWidth;
    const std::int32_t height = app.settings.pictureHeight;
    if (width < 1 || height < 1) {
        return;
    }
    if (!isMandelbrot(app.view) && shell.juliaShown == 0) {
        resetCoordinates(app, observer);
    }
    if (!animationRuns(app)) {
        observer.setMainTitle(kWaitTitle);
        observer.showIterMax(decimalText(std::int64_t{app.view.iterMax}));
    }
    const RendererKind kind = chooseRenderer(app);
    if (!startupSingle(app) && (width != app.render.lastWidth || height != app.render.lastHeight)) {
        observer.sizePictureWindow(width, height);
        app.render.lastWidth = width;
        app.render.lastHeight = height;
    }
    const bool firstPicture = beginRender(app, observer, kind);
    const RenderJob job{kind,
                        width,
                        height,
                        app.settings.threads,
                        colourSettingsOf(app),
                        kind == RendererKind::Deep && app.settings.fastDeepZoom != 0};
    // An animation's frames keep the movie's own title.
    std::optional<ProgressTitle> title;
    if (kind == RendererKind::Threaded && !animationRuns(app)) {
        title.emplace(ProgressTitle::Clock::now(), progressTitleDelay);
    }
    RenderOutcome outcome;
    {
        EntryProgress entryProgress(progress, observer, std::move(title));
        outcome =
            renderPicture(job, app.view, RenderTarget{app.iterations, app.palette, app.picture},
                          entryProgress, options);
    }
    finishRender(app, observer, outcome, firstPicture);
    showPictureAround(app, observer, outcome.stopped);
}

} // namespace qv
