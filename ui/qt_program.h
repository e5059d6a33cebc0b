// QtProgram: the running program's windows and commands. It owns the picture window and the
// menu window, dispatches the menu's commands, keeps the paint protocol (a stale picture
// renders from the event loop, never inside a paint), and shows in the windows what the view
// and palette code report.
#pragma once

#include "app/app_state.h"
#include "app/commands.h"
#include "app/render_entry.h"
#include "app/render_observer.h"
#include "app/shell_services.h"
#include "base/prompts.h"
#include "engine/render_progress.h"
#include "imaging/picture_files.h"
#include "ui/qt_escape_watcher.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include <QObject>
#include <QPointer>

namespace qv {

class AuxiliaryDialogs;
class JuliaFinder;
class FractalBrowsing;
class MenuWindow;
class MovieRunner;
class PaletteDialog;
class ParametersDialog;
class PictureWindow;
class ProgramDialog;

class QtProgram : public QObject, public RenderProgress, public RenderObserver, public PaletteHost
{
    Q_OBJECT

public:
    /// Binds the program's records and the person's dialogs; no window exists yet, so what
    /// start-up shows before createWindows goes nowhere, as it would in a window not yet made.
    QtProgram(AppState& app, Prompts& prompts, PaletteRandom& random);
    ~QtProgram() override;

    QtProgram(const QtProgram&) = delete;
    QtProgram& operator=(const QtProgram&) = delete;

    /// The services start-up and the commands use: these prompts, this observer and host.
    ShellServices& services() { return m_services; }

    /// Creates the picture window at (0, 20) and the menu window beside it, and shows both.
    void createWindows();

    PictureWindow& pictureWindow() { return *m_picture; }

    MenuWindow& menuWindow() { return *m_menu; }

    EscapeWatcher& escapeWatcher() { return *m_escape; }

    /// Carries out a menu command. A command that arrives while a render runs waits until the
    /// render has ended.
    void dispatchCommand(CommandId id);

    /// The picture is stale: pictureValid = 0 and the picture window repaints, which renders.
    void requestRender() override;

    /// Renders the current view now (the picture window's queued render), then runs the
    /// view-change step's refresh and any command that arrived meanwhile.
    void renderNow();

    /// Ends the program: quitRequested, windows closed, event loop left.
    void quit();

    /// Commands held back while a render ran, in order.
    const std::deque<CommandId>& pendingCommands() const { return m_pending; }

    // ShellObserver
    void setMainTitle(std::string_view title) override;
    void showPotValue(std::string_view text) override;
    void showDeepZoom(bool on) override;
    void showIterMax(std::string_view text) override;
    void refreshLocationFields() override;
    void showBoxedZoom(bool on) override;
    void showAutoPotValue(bool on) override;
    void requestRepaint() override;
    void showFractalType(bool mandelbrot, bool julia) override;
    void showMultiThreaded(bool on) override;
    void sizePictureWindow(std::int32_t width, std::int32_t height) override;
    void setMenuTitle(std::string_view title) override;

    // RenderObserver
    void setControlsEnabled(bool enabled) override;
    void bringToFront() override;
    void invalidatePicture() override;
    void refreshOpenDialogs() override;
    void writeThumbnail(const std::string& path) override;
    void makeBackup(BackupForm form) override;
    void setArrowCursor() override;

    // RenderProgress
    void pumpEvents() override;
    bool escapePressed() override;
    void showProgress(std::int32_t rowsDone, std::int32_t rows) override;
    void drawRow(std::int32_t row, std::span<const std::uint32_t> colours) override;

    /// The picture files of the program (Save Picture, thumbnails, backups).
    PictureWriter& pictures() { return *m_pictures; }

    /// Loads the parameter file named on the command line; it becomes the current file.
    /// Before the windows exist, so that the first picture is that view.
    bool loadStartupFile(const std::string& path);

    /// Esc polls made by renders so far (the tests count them).
    int escapePolls() const { return m_escapePolls; }

    /// Renders started, and of them those started while the picture window painted (never).
    int rendersStarted() const { return m_rendersStarted; }

    int rendersStartedInPaint() const { return m_rendersStartedInPaint; }

    /// How the program's renders run (the renderers' defaults unless changed).
    RenderOptions& renderOptions() { return m_renderOptions; }

    // PaletteHost
    void clearPictureFromImage() override;
    void reopenPaletteDialog() override;
    void redisplayPicture() override;

    /// Runs the commands and dialog actions held back while a render ran, unless a render
    /// runs again.
    void runPendingCommands();

    /// Runs a dialog's action now, or when the running render has ended. A pending action
    /// with the same non-null `key` is replaced (a slider or a list keeps only its latest
    /// value).
    void whenIdle(std::function<void()> action, const void* key = nullptr);

    /// Dialog actions held back while a render ran.
    std::size_t pendingActions() const { return m_pendingActions.size(); }

    /// Adds an open dialog that refreshOpenDialogs refills; it leaves the set when destroyed.
    void adoptDialog(ProgramDialog* dialog);

    /// The "Fractal parameters" dialog while it is open, else null.
    ParametersDialog* parametersDialog() const;

    /// Hides the open dialogs (while the Julia finder stands in for the program's windows),
    /// and shows those of them that still exist again.
    void hideOpenDialogs();
    void showHiddenDialogs();

    /// The open Julia finder; null when none is open.
    JuliaFinder* juliaFinder() const;

    /// Closes every open dialog (the movies run without them).
    void closeOpenDialogs();

    /// The zoom movies: movie to disk and the real-time zoom.
    MovieRunner& movies() { return *m_movies; }

    /// The location dialog, statistics window, about box and manual of the menu.
    AuxiliaryDialogs& auxiliaryDialogs() { return *m_auxiliary; }

private:
    void runCommand(CommandId id);
    void confirmQuit();
    void loadFractal(bool withImage);
    void saveFractal(bool withImage);
    void savePicture();
    void openParametersDialog();

    AppState& m_app;
    Prompts& m_prompts;
    ShellServices m_services;
    std::unique_ptr<EscapeWatcher> m_escape;
    std::unique_ptr<QtPictureWriter> m_pictures;
    std::unique_ptr<PictureWindow> m_picture;
    std::unique_ptr<MovieRunner> m_movies;
    MenuWindow* m_menu = nullptr;             ///< owned by the picture window
    PaletteDialog* m_paletteDialog = nullptr; ///< owned by the picture window
    std::deque<CommandId> m_pending;

    struct PendingAction
    {
        std::function<void()> action;
        const void* key = nullptr;
    };

    std::deque<PendingAction> m_pendingActions;
    std::vector<ProgramDialog*> m_dialogs;
    std::vector<ProgramDialog*> m_hiddenDialogs;
    QPointer<JuliaFinder> m_finder;
    std::unique_ptr<FractalBrowsing> m_browsing;
    RenderOptions m_renderOptions;
    bool m_quitting = false;
    int m_escapePolls = 0;
    int m_rendersStarted = 0;
    int m_rendersStartedInPaint = 0;
    /// Made on first use and kept, hidden when closed, so that no handler of it ever runs on
    /// a deleted dialog.
    std::unique_ptr<ParametersDialog> m_parameters;
    /// Its windows belong to the menu window and go with the picture window.
    std::unique_ptr<AuxiliaryDialogs> m_auxiliary;
};

} // namespace qv
