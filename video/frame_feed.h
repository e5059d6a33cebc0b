// FrameFeed: a thread that opens a movie and decodes it a few frames ahead of playback, and
// PlaybackClock, which tells which of those frames is due from a steady clock.
#pragma once

#include "video/movie_decoder.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace qv {

/// The position in a movie as time passes, frozen while paused. Positions come from the
/// clock, not from counted waits, so that playback keeps the file's rate however late each
/// frame is drawn.
class PlaybackClock
{
public:
    using Clock = std::chrono::steady_clock;

    /// Plays on from `position` as of `now`.
    void start(Clock::time_point now, std::chrono::microseconds position);

    /// Holds the position reached at `now`.
    void pause(Clock::time_point now);

    bool running() const { return m_running; }

    /// The position at `now`: the held one while paused.
    std::chrono::microseconds position(Clock::time_point now) const;

    /// The moment `position` is reached while running.
    Clock::time_point when(std::chrono::microseconds position) const;

private:
    Clock::time_point m_origin{};
    std::chrono::microseconds m_held{0};
    bool m_running = false;
};

class FrameFeed
{
public:
    /// Opens the video at `path` and decodes it ahead on a thread of its own, up to `ahead`
    /// frames, so that neither opening nor decoding holds up the caller. `wake` runs on that
    /// thread whenever a frame arrives in an empty queue (the first one: the file opened) or
    /// opening or decoding fails; it must only post a message to the thread that takes the
    /// frames.
    FrameFeed(std::string path, std::function<void()> wake, std::size_t ahead = 4);

    /// Stops the thread and waits for it.
    ~FrameFeed();

    FrameFeed(const FrameFeed&) = delete;
    FrameFeed& operator=(const FrameFeed&) = delete;

    /// The latest decoded frame whose time is not after `position`, dropping the earlier ones
    /// (they are late); nothing when the next frame is not due or not decoded yet.
    std::optional<VideoFrame> takeDue(std::chrono::microseconds position);

    /// The time of the next decoded frame, or nothing while none waits.
    std::optional<std::chrono::microseconds> nextTime() const;

    /// How many decoded frames wait.
    std::size_t queued() const;

    /// Why the file could not be opened or decoding ended, or "" while all goes well.
    std::string error() const;

private:
    void run(std::stop_token stop, const std::string& path);

    std::function<void()> m_wake;
    std::size_t m_ahead;
    mutable std::mutex m_mutex;
    std::condition_variable_any m_room;
    std::deque<VideoFrame> m_frames;
    std::string m_error;
    std::jthread m_thread; // last: it starts once everything it uses exists
};

} // namespace qv
