// MoviePlayer: "Play movie" and the player window "Quorvalis video player" (PLAY, PAUSE,
// EXIT), which plays a video file looping in the picture window, stretched to its client area.
#pragma once

#include "app/app_state.h"
#include "video/frame_feed.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <QDialog>
#include <QTimer>

class QPushButton;

namespace qv {

class QtProgram;

class MoviePlayer : public QDialog
{
    Q_OBJECT

public:
    using Now = std::function<std::chrono::steady_clock::time_point()>;

    /// The player's states: no file open, open and stopped, playing.
    enum State : int { Closed = 0, Stopped = 1, Playing = 2 };

    static constexpr int kPlayId = 901;
    static constexpr int kPauseId = 902;
    static constexpr int kExitId = 903;

    /// "Play movie": asks for an AVI file; for an existing one titles the picture window
    /// "Playing: " + its path and opens the player window, application-modal. Returns the
    /// player, or null when no file was chosen. An open player is only brought to the front.
    static MoviePlayer* playMovie(QtProgram& program, AppState& app);

    MoviePlayer(QtProgram& program, AppState& app, std::string path, QString titleBefore);
    ~MoviePlayer() override;

    State state() const { return m_state; }

    /// The button with this id (kPlayId, kPauseId, kExitId).
    QPushButton* button(int id) const;

    /// The clock playback is timed by (the steady clock unless a test sets its own).
    void setClock(Now now) { m_now = std::move(now); }

    /// The file's number of the frame shown last (-1 before the first).
    std::int64_t shownFrame() const { return m_shownFrame; }

    /// PLAY: opens the file when closed, and plays as soon as its first frame is decoded (a
    /// file that does not play says why); when stopped, plays on from the position held;
    /// nothing while playing or opening.
    void play();

    /// PAUSE: while playing, holds the frame shown; otherwise nothing.
    void pause();

    /// Ends the player by EXIT, its close box or Esc alike: closes the file and shows the
    /// fractal picture again under its own title.
    void done(int result) override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void showDueFrame();
    void closeFile();

    QtProgram& m_program;
    AppState& m_app;
    std::string m_path;
    QString m_titleBefore;
    Now m_now;
    State m_state = Closed;
    std::unique_ptr<FrameFeed> m_feed;
    PlaybackClock m_clock;
    QTimer m_timer;
    std::int64_t m_shownFrame = -1;
};

} // namespace qv
