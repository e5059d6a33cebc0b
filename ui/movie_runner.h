// MovieRunner: the windows' side of the zoom movies: "Make movie to disk" (frames, the video
// file dialog, the converter) and "Realtime zoom movie" (auto unzoom and the looping
// animation), with their titles, Esc and the windows they disable.
#pragma once

#include "app/app_state.h"
#include "app/movie.h"
#include "base/prompts.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qv {

class QtProgram;

inline constexpr std::string_view kConverterName = "reelbind";

class MovieRunner
{
public:
    MovieRunner(AppState& app, QtProgram& program, Prompts& prompts);

    /// "Make movie to disk": the size rules, the question, the frames into the frame folder,
    /// the video file dialog and the converter. Afterwards (video made or its dialog
    /// cancelled) the starting view and "Autosave parameter" come back; after Esc the view of
    /// the interrupted frame stays, to be saved.
    void makeMovieToDisk();

    /// "Realtime zoom movie": the auto unzoom, then the animation zooming in and out until
    /// Esc; then two steps wider than the starting view at the size and iteration limit of
    /// before, with "Auto iter increase" on.
    void realtimeZoomMovie();

    /// The folder the frames go to: temp/ in the program folder unless set.
    void setFrameFolder(std::string folder) { m_frameFolder = std::move(folder); }

    const std::string& frameFolder() const { return m_frameFolder; }

    /// The converter started with the video path and the frame folder: reelbind beside the
    /// program unless set.
    void setConverter(std::string path) { m_converter = std::move(path); }

    const std::string& converter() const { return m_converter; }

    /// Frames the animation rendered since it started.
    std::int64_t animationFrames() const { return m_animationFrames; }

    /// Called after every rendered animation frame with the count so far.
    std::function<void(std::int64_t)> onAnimationFrame;

private:
    void movieToDisk();
    void playViewList(const std::vector<ListedView>& list);
    bool escapeDuringAnimation();
    void showFrameRate();
    void restoreAfterAnimation(const std::vector<ListedView>& list, const ViewSnapshot& start,
                               PictureSize size);
    void runConverter(const std::string& video);
    void setWindowsEnabled(bool enabled);

    bool quitting() const { return m_app.shell.quitRequested != 0; }

    AppState& m_app;
    QtProgram& m_program;
    Prompts& m_prompts;
    std::string m_frameFolder;
    std::string m_converter;
    std::int64_t m_animationFrames = 0;
    std::int64_t m_framesAtLastRate = 0;
    std::int64_t m_lastRateTick = 0;
};

} // namespace qv
