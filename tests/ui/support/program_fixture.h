// ProgramFixture: the program as start-up leaves it, on a screen the test chooses, with
// scripted dialogs and a lock file of its own.
#pragma once

#include "app/app_state.h"
#include "palette/palette_random.h"
#include "tests/support/scripted_prompts.h"
#include "ui/menu_window.h"
#include "ui/picture_window.h"
#include "ui/qt_program.h"
#include "ui/qt_startup.h"

#include <memory>
#include <optional>
#include <string>

#include <QTemporaryDir>

namespace qv::test {

/// Makes every warning fail the running test, except the offscreen platform's notes on
/// window operations it does not carry out (raise, size hints).
void failOnWarnings();

/// A folder for lock files that outlives every fixture of a test program.
QString lockFolder();

struct ProgramFixture
{
    /// Runs start-up with these facts; `lockName` names the lock file in lockFolder().
    explicit ProgramFixture(ScreenFacts screen = {1280, 1024, 32}, unsigned processors = 2,
                            const QString& lockName = QStringLiteral("quorvalis.lock"),
                            std::string argumentText = {});

    /// Queues answers before start-up asks (the processor box); call start() afterwards.
    ProgramFixture(ScreenFacts screen, unsigned processors, const QString& lockName,
                   std::string argumentText, bool deferStart);

    /// Runs start-up; true when the program would go on to its windows.
    bool start();

    /// Creates and shows the windows, and waits until the picture window is exposed.
    bool showWindows();

    /// Runs the command with `reply` queued for the dialog it opens.
    void dispatchAnswering(CommandId id, std::optional<std::string> reply);

    PictureWindow& picture() { return program.pictureWindow(); }

    MenuWindow& menu() { return program.menuWindow(); }

    ScriptedPrompts prompts;
    AppState app;
    ClockSeededRandom random;
    QtProgram program{app, prompts, random};
    SingleInstanceLock lock;
    WindowStartup startup;
    std::string parameterFile;
    bool started = false;
};

/// Waits until the picture window's queued render has finished the current view; false when
/// `timeoutMs` passed first.
bool waitForPicture(ProgramFixture& f, int timeoutMs = 20000);

/// The program on an 800 x 600 screen (a 352 x 288 picture) with its windows shown and its
/// first picture rendered; null when either failed.
std::unique_ptr<ProgramFixture> renderedProgram(unsigned processors = 2);

/// Takes this Mandelbrot window, typed as text, as the view (deep zoom where its steps need
/// it); false when the view refused it.
bool typeMandelbrotWindow(ProgramFixture& f, std::string xmin, std::string xmax, std::string ymin,
                          std::string ymax);

} // namespace qv::test
