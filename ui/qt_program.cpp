// QtProgram: windows, commands and the paint protocol of the running program.
#include "ui/qt_program.h"

#include "app/render_entry.h"
#include "engine/colouring.h"
#include "engine/view_state.h"
#include "persistence/backup_copies.h"
#include "persistence/parameter_commands.h"
#include "persistence/parameter_files.h"
#include "ui/auxiliary_dialogs.h"
#include "ui/dialog_support.h"
#include "ui/fractal_browser.h"
#include "ui/julia_finder.h"
#include "ui/menu_window.h"
#include "ui/movie_player.h"
#include "ui/movie_runner.h"
#include "ui/palette_dialog.h"
#include "ui/parameters_dialog.h"
#include "ui/picture_window.h"

#include <algorithm>
#include <utility>

#include <QApplication>

namespace qv {

namespace {

QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

QtProgram::QtProgram(AppState& app, Prompts& prompts, PaletteRandom& random)
    : m_app(app), m_prompts(prompts), m_services{prompts, *this, *this, random},
      m_escape(std::make_unique<EscapeWatcher>()),
      m_pictures(std::make_unique<QtPictureWriter>(app)),
      m_movies(std::make_unique<MovieRunner>(app, *this, prompts)),
      m_auxiliary(std::make_unique<AuxiliaryDialogs>(app, *this, prompts))
{
    qApp->installEventFilter(m_escape.get());
    // "Save Picture" shows the picture it writes, as written (pixel value 0 black).
    m_pictures->setPictureShown([this](const QImage& image) {
        if (m_picture) {
            m_picture->showImage(image);
        }
    });
}

QtProgram::~QtProgram()
{
    // The dialogs the picture window owns leave the dialog list when they are destroyed: the
    // list must still exist then.
    m_picture.reset();
    qApp->removeEventFilter(m_escape.get());
}

void QtProgram::createWindows()
{
    m_picture = std::make_unique<PictureWindow>(m_app, *this);
    m_picture->setWindowTitle(qs(kProgramTitle));
    m_picture->placeAtHome();
    m_menu = new MenuWindow(*this, m_picture.get());
    m_menu->setWindowTitle(qs(kProgramTitle));
    m_menu->placeBeside(m_app.settings.pictureWidth);
    m_picture->show();
    m_menu->show();
}

void QtProgram::dispatchCommand(CommandId id)
{
    if (m_app.shell.rendering != 0) {
        m_pending.push_back(id);
        return;
    }
    runCommand(id);
}

void QtProgram::runPendingCommands()
{
    while (!m_pending.empty() && m_app.shell.rendering == 0 && !m_quitting) {
        const CommandId id = m_pending.front();
        m_pending.pop_front();
        runCommand(id);
    }
    while (!m_pendingActions.empty() && m_app.shell.rendering == 0 && !m_quitting) {
        const std::function<void()> action = std::move(m_pendingActions.front().action);
        m_pendingActions.pop_front();
        action();
    }
}

void QtProgram::whenIdle(std::function<void()> action, const void* key)
{
    if (m_app.shell.rendering == 0 && m_pending.empty() && m_pendingActions.empty()) {
        action();
        return;
    }
    if (key != nullptr) {
        for (PendingAction& pending : m_pendingActions) {
            if (pending.key == key) {
                pending.action = std::move(action);
                return;
            }
        }
    }
    m_pendingActions.push_back({std::move(action), key});
}

void QtProgram::adoptDialog(ProgramDialog* dialog)
{
    m_dialogs.push_back(dialog);
    connect(dialog, &QObject::destroyed, this, [this, dialog] { std::erase(m_dialogs, dialog); });
}

void QtProgram::hideOpenDialogs()
{
    m_hiddenDialogs.clear();
    for (ProgramDialog* dialog : m_dialogs) {
        if (dialog->isVisible()) {
            dialog->hide();
            m_hiddenDialogs.push_back(dialog);
        }
    }
}

void QtProgram::showHiddenDialogs()
{
    for (ProgramDialog* dialog : std::exchange(m_hiddenDialogs, {})) {
        if (std::find(m_dialogs.begin(), m_dialogs.end(), dialog) != m_dialogs.end()) {
            dialog->show();
        }
    }
}

JuliaFinder* QtProgram::juliaFinder() const
{
    return m_finder;
}

void QtProgram::runCommand(CommandId id)
{
    if (!commandAvailable(id)) {
        return;
    }
    switch (id) {
    case CommandId::BrowseFractals:
        if (!m_browsing) {
            m_browsing = std::make_unique<FractalBrowsing>(m_app, *this);
        }
        m_browsing->browse();
        break;
    case CommandId::LoadFractal:
        loadFractal(false);
        break;
    case CommandId::LoadFractalWithImage:
        loadFractal(true);
        break;
    case CommandId::SaveFractal:
        saveFractal(false);
        break;
    case CommandId::SaveFractalWithImage:
        saveFractal(true);
        break;
    case CommandId::SavePicture:
        savePicture();
        break;
    case CommandId::Exit:
        confirmQuit();
        break;
    case CommandId::PaletteControl:
        m_paletteDialog = PaletteDialog::open(m_paletteDialog, m_app, *this, m_picture.get());
        break;
    case CommandId::MakeMovieToDisk:
        m_movies->makeMovieToDisk();
        break;
    case CommandId::RealtimeZoomMovie:
        m_movies->realtimeZoomMovie();
        break;
    case CommandId::FractalParameters:
        openParametersDialog();
        break;
    case CommandId::JuliaFinder:
        m_finder = openJuliaFinder(m_app, *this);
        break;
    case CommandId::PlayMovie:
        MoviePlayer::playMovie(*this, m_app);
        break;
    case CommandId::Location:
        m_auxiliary->openLocation(m_menu);
        break;
    case CommandId::Statistics:
        m_auxiliary->showStatistics(m_menu);
        break;
    case CommandId::Info:
        m_auxiliary->showAbout(m_menu);
        break;
    case CommandId::OpenHelpfile:
        m_auxiliary->openHelp();
        break;
    case CommandId::OriginalMandelbrot:
        originalMandelbrot(m_app, m_services);
        // A Cancel leaves the picture stale too: it is drawn again.
        requestRepaint();
        break;
    default:
        break;
    }
}

bool QtProgram::loadStartupFile(const std::string& path)
{
    if (!loadParameterFile(m_app, m_services, path)) {
        return false;
    }
    m_app.shell.currentFileName = path;
    return true;
}

void QtProgram::loadFractal(bool withImage)
{
    if (withImage) {
        // The picture comes from the file: it is shown as loaded, not rendered.
        loadFractalWithImageCommand(m_app, m_services);
        if (m_picture) {
            m_picture->showKeptPicture();
        }
    } else {
        loadFractalCommand(m_app, m_services);
        // The render follows at once, also after a cancelled dialog (a valid picture stays).
        renderNow();
    }
    refreshOpenDialogs();
}

void QtProgram::saveFractal(bool withImage)
{
    if (withImage) {
        saveFractalWithImageCommand(m_app, m_services, *m_pictures);
    } else {
        saveFractalCommand(m_app, m_services, *m_pictures);
    }
}

void QtProgram::savePicture()
{
    if (m_menu != nullptr) {
        m_menu->setEnabled(false);
    }
    const std::string path = askPictureFileName(m_prompts, m_app.settings);
    if (!path.empty()) {
        savePictureReporting(*m_pictures, m_prompts, path);
    }
    if (m_menu != nullptr) {
        m_menu->setEnabled(true);
    }
}

void QtProgram::openParametersDialog()
{
    if (parametersDialog() != nullptr) {
        m_parameters->raise();
        return;
    }
    // The fields show the view's current numbers.
    refreshFromDeep(m_app.view, viewContext(m_app), *this);
    if (!m_parameters) {
        m_parameters = std::make_unique<ParametersDialog>(m_app, *this, m_menu);
        adoptDialog(m_parameters.get());
        // Beside the picture below the menu window, as far as the screen allows.
        const int right = m_app.shell.screenWidth - m_parameters->width();
        m_parameters->move(std::max(0, std::min(m_app.settings.pictureWidth + 20, right)), 90);
    } else {
        m_parameters->refill();
    }
    m_parameters->show();
}

ParametersDialog* QtProgram::parametersDialog() const
{
    return m_parameters && m_parameters->isVisible() ? m_parameters.get() : nullptr;
}

void QtProgram::confirmQuit()
{
    if (!m_prompts.askOkCancel(kQuitQuestion)) {
        return;
    }
    quit();
}

void QtProgram::quit()
{
    if (m_quitting) {
        return;
    }
    m_quitting = true;
    m_app.shell.quitRequested = 1;
    m_pending.clear();
    m_pendingActions.clear();
    if (m_picture) {
        m_menu->hide();
        m_picture->hide();
    }
    QCoreApplication::quit();
}

void QtProgram::requestRender()
{
    m_app.shell.pictureValid = 0;
    requestRepaint();
}

void QtProgram::closeOpenDialogs()
{
    const std::vector<ProgramDialog*> open = m_dialogs;
    for (ProgramDialog* dialog : open) {
        if (std::find(m_dialogs.begin(), m_dialogs.end(), dialog) != m_dialogs.end()) {
            dialog->close();
        }
    }
}

void QtProgram::refreshOpenDialogs()
{
    // A refill may run code that closes a dialog: walk a copy.
    const std::vector<ProgramDialog*> open = m_dialogs;
    for (ProgramDialog* dialog : open) {
        if (std::find(m_dialogs.begin(), m_dialogs.end(), dialog) != m_dialogs.end() &&
            dialog->isVisible()) {
            dialog->refill();
            dialog->update();
        }
    }
}

void QtProgram::renderNow()
{
    const ShellState& shell = m_app.shell;
    if (shell.pictureValid != 0 || shell.pictureFromImage != 0 || shell.rendering != 0 ||
        shell.quitRequested != 0) {
        return;
    }
    // The picture is stale because the view or a setting changed since the last render, so a
    // deep render's suppression of further renders ends here; and Esc pressed before this
    // render began must not stop it.
    m_app.render.renderSuppressed = 0;
    m_escape->forget();
    ++m_rendersStarted;
    if (m_picture && m_picture->painting()) {
        ++m_rendersStartedInPaint;
    }
    renderView(m_app, *this, *this, m_renderOptions);
    refreshFromDeep(m_app.view, viewContext(m_app), *this);
    runPendingCommands();
}

void QtProgram::pumpEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool QtProgram::escapePressed()
{
    ++m_escapePolls;
    // Closing a window during a render ends the render as Esc does.
    return m_escape->takePress() || m_app.shell.quitRequested != 0;
}

void QtProgram::showProgress(std::int32_t, std::int32_t)
{
    // The windows show progress in the titles the renderer sets.
}

void QtProgram::setMenuTitle(std::string_view title)
{
    if (m_menu != nullptr) {
        m_menu->setWindowTitle(qs(title));
    }
}

void QtProgram::setControlsEnabled(bool enabled)
{
    // The menu window belongs to the picture window and follows it.
    if (m_picture) {
        m_picture->setEnabled(enabled);
    }
}

void QtProgram::bringToFront()
{
    if (m_picture && m_picture->isVisible()) {
        m_picture->raise();
        m_picture->activateWindow();
        // The dialogs belong to the program's windows and stay above them, also where no
        // window manager keeps them there.
        for (ProgramDialog* dialog : m_dialogs) {
            if (dialog->isVisible()) {
                dialog->raise();
            }
        }
    }
}

void QtProgram::invalidatePicture()
{
    if (m_picture) {
        m_picture->showKeptPicture();
    }
}

void QtProgram::drawRow(std::int32_t row, std::span<const std::uint32_t> colours)
{
    if (m_picture) {
        m_picture->drawRow(row, colours);
    }
}

void QtProgram::writeThumbnail(const std::string& path)
{
    m_pictures->saveThumbnail(path);
}

void QtProgram::makeBackup(BackupForm form)
{
    qv::makeBackup(m_app, *m_pictures, form);
}

void QtProgram::sizePictureWindow(std::int32_t width, std::int32_t height)
{
    if (m_picture) {
        m_picture->resize(width, height);
    }
}

void QtProgram::showFractalType(bool mandelbrot, bool julia)
{
    if (ParametersDialog* dialog = parametersDialog()) {
        dialog->showOption(OptionBox::Mandelbrot, mandelbrot);
        dialog->showOption(OptionBox::Julia, julia);
    }
}

void QtProgram::showMultiThreaded(bool on)
{
    if (ParametersDialog* dialog = parametersDialog()) {
        dialog->showOption(OptionBox::MultiThreaded, on);
    }
}

void QtProgram::setArrowCursor()
{
    if (m_picture) {
        m_picture->setCursor(Qt::ArrowCursor);
    }
}

void QtProgram::setMainTitle(std::string_view title)
{
    if (m_picture) {
        m_picture->setWindowTitle(qs(title));
    }
}

// Showing a value in a dialog that is not open does nothing.
void QtProgram::showPotValue(std::string_view text)
{
    if (ParametersDialog* dialog = parametersDialog()) {
        dialog->showPotValue(qs(text));
    }
}

void QtProgram::showDeepZoom(bool on)
{
    if (ParametersDialog* dialog = parametersDialog()) {
        dialog->showOption(OptionBox::DeepZoom, on);
    }
}

void QtProgram::showIterMax(std::string_view text)
{
    if (ParametersDialog* dialog = parametersDialog()) {
        dialog->showIterMax(qs(text));
    }
}

// The location dialog does not exist yet.
void QtProgram::refreshLocationFields()
{
    m_auxiliary->refreshLocationFields();
}

void QtProgram::showBoxedZoom(bool on)
{
    if (ParametersDialog* dialog = parametersDialog()) {
        dialog->showOption(OptionBox::BoxedZoom, on);
    }
}

void QtProgram::showAutoPotValue(bool on)
{
    if (ParametersDialog* dialog = parametersDialog()) {
        dialog->showOption(OptionBox::AutoPotValue, on);
    }
}

void QtProgram::requestRepaint()
{
    if (m_picture) {
        m_picture->update();
    }
}

void QtProgram::clearPictureFromImage()
{
    m_app.shell.pictureFromImage = 0;
}

void QtProgram::reopenPaletteDialog()
{
    if (m_paletteDialog != nullptr && m_paletteDialog->isVisible()) {
        m_paletteDialog->refill();
    }
}

void QtProgram::redisplayPicture()
{
    if (m_app.iterations.width <= 0 || m_app.picture.pixels.empty()) {
        return;
    }
    buildPicture(m_app.picture, m_app.iterations, m_app.palette, drawingMode(m_app.view.modeWord),
                 m_app.paletteState.paletteOffset);
    if (m_picture) {
        m_picture->showKeptPicture();
    }
    // The dialogs' backgrounds show the palette too.
    for (ProgramDialog* dialog : m_dialogs) {
        dialog->update();
    }
}

} // namespace qv
