// The zoom movies in the windows: movie to disk with the converter, and the real-time zoom.
#include "ui/movie_runner.h"

#include "base/number_text.h"
#include "engine/view_state.h"
#include "imaging/movie_frames.h"
#include "persistence/backup_copies.h"
#include "persistence/picture_writer.h"
#include "ui/menu_window.h"
#include "ui/movie_job_saver.h"
#include "ui/picture_window.h"
#include "ui/qt_program.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <utility>

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>

namespace qv {

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
        .count();
}

QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string besideProgram(std::string_view name)
{
    return (QCoreApplication::applicationDirPath() + QLatin1Char('/') + qs(name)).toStdString();
}

} // namespace

MovieRunner::MovieRunner(AppState& app, QtProgram& program, Prompts& prompts)
    : m_app(app), m_program(program), m_prompts(prompts), m_frameFolder(programFolder() + "temp/"),
      m_converter(besideProgram(kConverterName))
{
}

void MovieRunner::setWindowsEnabled(bool enabled)
{
    // The menu window and the dialogs belong to the picture window and follow it.
    m_program.pictureWindow().setEnabled(enabled);
}

void MovieRunner::makeMovieToDisk()
{
    if (const auto refusal = unzoomRefusal(m_app)) {
        m_prompts.message(*refusal);
        return;
    }
    const std::optional<PictureSize> size =
        movieSize({m_app.settings.pictureWidth, m_app.settings.pictureHeight});
    if (!size) {
        m_prompts.message(kMovieTooLarge);
        return;
    }
    setWindowsEnabled(false);
    if (size->width != m_app.settings.pictureWidth) {
        changePictureSize(m_app, *size, m_program);
        m_program.requestRender();
    }
    movieToDisk();
    m_app.shell.animationRunning = 0;
    setWindowsEnabled(true);
    m_program.menuWindow().showNormal();
}

void MovieRunner::movieToDisk()
{
    m_app.render.stoppedByUser = 0;
    const std::int32_t autosave = std::exchange(m_app.settings.autosaveParameter, 0);
    if (!m_prompts.askYesNo(kMovieQuestion)) {
        m_app.settings.autosaveParameter = autosave;
        offerMovieJob(m_app, m_program, m_prompts, programFolder());
        return;
    }
    m_program.closeOpenDialogs();
    const FrameFolderProblem problem = checkFrameFolder(m_frameFolder);
    if (problem != FrameFolderProblem::None) {
        m_prompts.message(frameFolderMessage(m_frameFolder, problem));
        m_app.settings.autosaveParameter = autosave;
        return;
    }
    deleteOldFrames(m_frameFolder);
    const PictureSize size{m_app.settings.pictureWidth, m_app.settings.pictureHeight};
    changePictureSize(m_app, size, m_program);
    const ViewSnapshot start(m_app.view);
    std::string timeTitle;
    // The starting view, which may be a deep place the user reached, is drawn again.
    const auto comeBack = [&] {
        start.restore(m_app, m_program);
        m_app.settings.autosaveParameter = autosave;
        m_app.shell.animationRunning = 0;
        m_app.shell.pictureValid = 0;
        m_app.shell.pictureFromImage = 0;
        m_program.renderNow();
        if (!timeTitle.empty()) {
            m_program.setMainTitle(timeTitle);
        }
    };

    m_app.render.stoppedByUser = 0;
    const bool unzoomVideo = m_app.settings.unzoomVideo != 0;
    const Clock::time_point begun = Clock::now();
    const auto elapsed = [&begun] {
        return formatElapsedSeconds(
            std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - begun).count());
    };
    std::optional<Clock::time_point> lastTitle;
    MovieFrameWalk walk(m_app, m_program);
    while (walk.advance()) {
        walk.prepareRender();
        m_program.renderNow();
        if (quitting()) {
            return;
        }
        // An Esc between two renders counts too: the next render would forget it.
        m_program.pumpEvents();
        if (m_program.escapeWatcher().takePress()) {
            m_app.render.stoppedByUser = 1;
        }
        if (m_app.render.stoppedByUser != 0) {
            // Esc: the user may keep the view the movie reached, as one whole picture.
            m_prompts.message(kMovieInterruptedSave);
            m_program.menuWindow().raise();
            m_app.render.stoppedByUser = 0;
            m_app.shell.animationRunning = 0;
            walk.prepareRender();
            m_program.renderNow();
            m_program.dispatchCommand(CommandId::SaveFractalWithImage);
            setWindowsEnabled(true);
            m_program.setMenuTitle(kProgramTitle);
            return;
        }
        const std::string path = m_frameFolder + frameName(walk.counter(), unzoomVideo);
        const auto show = [this](const QImage& image) {
            m_program.pictureWindow().showImage(image);
        };
        if (writeMovieFrame(m_app, path, show) != PictureSaveResult::Written) {
            m_prompts.message(std::string(kMovieInterrupted) + "\nThe frame\n" + path +
                              "\ncould not be written.");
            comeBack();
            return;
        }
        const Clock::time_point now = Clock::now();
        if (!lastTitle || now - *lastTitle > std::chrono::seconds(1)) {
            m_program.setMainTitle(
                frameProgressTitle(walk.counter(), m_app.view.deepLimit, elapsed()));
            lastTitle = now;
        }
    }
    m_program.menuWindow().show();
    m_program.setMenuTitle(kProgramTitle);
    timeTitle = std::string(kProgramTitle) + " Time: " + elapsed();
    m_program.setMainTitle(timeTitle);
    m_program.setArrowCursor();
    m_app.render.stoppedByUser = 0;

    FileDialogRequest request;
    request.title = "Save video";
    request.filter = std::string(kVideoFilter);
    request.defaultExtension = "AVI";
    const std::string video = m_prompts.saveFile(request);
    if (video.empty()) {
        m_program.bringToFront();
        m_prompts.message(kMovieInterrupted);
        m_program.bringToFront();
        comeBack();
        return;
    }
    m_program.setMenuTitle(kProcessingVideoTitle);
    runConverter(video);
    comeBack();
    setWindowsEnabled(true);
    m_program.menuWindow().raise();
    m_program.setMenuTitle(kProgramTitle);
}

void MovieRunner::runConverter(const std::string& video)
{
    const QFileInfo converter(qs(m_converter));
    if (!converter.isFile() || !converter.isExecutable()) {
        m_prompts.message("The video converter\n" + m_converter +
                          "\nwas not found. The frames stay in\n" + m_frameFolder);
        return;
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(converter.absoluteFilePath(), {qs(video), qs(m_frameFolder)});
    if (!process.waitForStarted()) {
        m_prompts.message("The video converter\n" + m_converter +
                          "\ncould not be started. The frames stay in\n" + m_frameFolder);
        return;
    }
    // The windows stay painted, disabled, while the converter works.
    while (process.state() != QProcess::NotRunning) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        process.waitForFinished(20);
    }
}

void MovieRunner::realtimeZoomMovie()
{
    if (m_app.view.deepZoom != 0) {
        m_prompts.message(kNotAvailableDeep);
        return;
    }
    if (const auto refusal = unzoomRefusal(m_app)) {
        m_prompts.message(*refusal);
        return;
    }
    if (!m_prompts.askOkCancel(kUnzoomQuestion, DefaultButton::Ok, kUnzoomQuestionTitle)) {
        return;
    }
    const PictureSize saved{m_app.settings.pictureWidth, m_app.settings.pictureHeight};
    const ViewSnapshot start(m_app.view);
    const PictureSize size = animationSize(saved);
    if (!(size == saved)) {
        changePictureSize(m_app, size, m_program);
    }
    m_app.render.stoppedByUser = 0;
    m_app.shell.pictureValid = 0;
    // A picture loaded with its file is not rendered again; the animation's frames must be.
    m_app.shell.pictureFromImage = 0;
    m_app.shell.animationRunning = 1;
    m_program.setMenuTitle(kAutoUnzoomTitle);
    m_program.closeOpenDialogs();
    m_program.menuWindow().setEnabled(false);

    const std::vector<ListedView> list =
        buildViewList(m_app, m_app.settings.unzoomFactor, m_program);
    if (list.size() < 3) {
        m_prompts.message(kNothingToAnimate);
    } else {
        playViewList(list);
    }
    if (quitting()) {
        return;
    }
    m_program.menuWindow().setEnabled(true);
    m_program.setMenuTitle(kProgramTitle);
    restoreAfterAnimation(list, start, saved);
    m_app.render.stoppedByUser = 0;
}

void MovieRunner::restoreAfterAnimation(const std::vector<ListedView>& list,
                                        const ViewSnapshot& start, PictureSize size)
{
    // Entry 2, two steps wider than the start; a list too short for it gives the start back.
    start.restore(m_app, m_program);
    if (list.size() >= 3) {
        showListedView(m_app, list[1], m_program);
    }
    changePictureSize(m_app, size, m_program);
    m_app.render.stoppedByUser = 0;
    m_app.shell.pictureValid = 0;
    m_app.render.renderSuppressed = 0;
    m_program.renderNow();
    m_app.shell.currentFileName.clear();
    m_app.shell.lastFilePath.clear();
    m_app.settings.autoIterIncrease = 1;
    m_app.shell.animationRunning = 0;
    // The frame rate of an animation that has ended would mislead.
    m_program.setMainTitle(deepLimitTitle(m_app.view.deepLimit));
    m_program.invalidatePicture();
}

void MovieRunner::playViewList(const std::vector<ListedView>& list)
{
    const auto n = static_cast<std::int32_t>(list.size()) - 1;
    m_app.render.stoppedByUser = 0;
    m_app.shell.pictureValid = 0;
    m_program.setMenuTitle(kAnimationTitle);
    m_animationFrames = 0;
    m_framesAtLastRate = 0;
    m_lastRateTick = nowMs();
    // Entry i of the command's list is element i - 1.
    while (true) {
        m_app.view.iterMax = 100;
        for (std::int32_t i = n; i >= 2; --i) {
            showListedView(m_app, list[static_cast<std::size_t>(i - 1)], m_program);
            if (escapeDuringAnimation()) {
                return;
            }
            showFrameRate();
            m_app.shell.pictureValid = 0;
            m_program.renderNow();
            ++m_animationFrames;
            m_program.invalidatePicture();
            m_program.pumpEvents();
            if (onAnimationFrame) {
                onAnimationFrame(m_animationFrames);
            }
            if (m_app.settings.autoIterIncrease != 0) {
                ++m_app.view.iterMax;
            }
            if (m_app.render.stoppedByUser != 0 || quitting()) {
                return;
            }
        }
        for (std::int32_t i = 2; i <= n; ++i) {
            showListedView(m_app, list[static_cast<std::size_t>(i - 1)], m_program);
            m_app.shell.pictureValid = 0;
            // Esc is read before each render, which forgets earlier presses.
            if (escapeDuringAnimation()) {
                return;
            }
            showFrameRate();
            if (m_app.shell.pictureValid == 0) {
                m_program.renderNow();
                ++m_animationFrames;
            }
            m_program.pumpEvents();
            m_program.invalidatePicture();
            if (onAnimationFrame) {
                onAnimationFrame(m_animationFrames);
            }
            if (escapeDuringAnimation() || m_app.render.stoppedByUser != 0) {
                return;
            }
        }
    }
}

bool MovieRunner::escapeDuringAnimation()
{
    m_program.pumpEvents();
    if (m_program.escapeWatcher().takePress() || quitting()) {
        // The renders run one after the other on this thread: none is running here.
        m_app.render.stoppedByUser = 1;
        return true;
    }
    return false;
}

void MovieRunner::showFrameRate()
{
    const std::int64_t now = nowMs();
    if (now - m_lastRateTick > 1000) {
        m_program.setMainTitle("Fps: " + decimalText(m_animationFrames - m_framesAtLastRate));
        m_framesAtLastRate = m_animationFrames;
        m_lastRateTick = now;
    }
}

} // namespace qv
