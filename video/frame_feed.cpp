// FrameFeed and PlaybackClock: decoding ahead on a worker thread, frames handed over by time.
#include "video/frame_feed.h"

#include <utility>

namespace qv {

using std::chrono::duration_cast;
using std::chrono::microseconds;

void PlaybackClock::start(Clock::time_point now, microseconds position)
{
    m_origin = now - position;
    m_held = position;
    m_running = true;
}

void PlaybackClock::pause(Clock::time_point now)
{
    m_held = position(now);
    m_running = false;
}

microseconds PlaybackClock::position(Clock::time_point now) const
{
    return m_running ? duration_cast<microseconds>(now - m_origin) : m_held;
}

PlaybackClock::Clock::time_point PlaybackClock::when(microseconds position) const
{
    return m_origin + position;
}

FrameFeed::FrameFeed(std::string path, std::function<void()> wake, std::size_t ahead)
    : m_wake(std::move(wake)), m_ahead(ahead < 1 ? 1 : ahead),
      m_thread([this, path = std::move(path)](std::stop_token stop) { run(std::move(stop), path); })
{
}

FrameFeed::~FrameFeed()
{
    m_thread.request_stop();
    m_room.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void FrameFeed::run(std::stop_token stop, const std::string& path)
{
    MovieDecoder decoder;
    std::string error;
    if (!decoder.open(path, error)) {
        {
            std::lock_guard lock(m_mutex);
            m_error = error;
        }
        m_wake();
        return;
    }
    while (!stop.stop_requested()) {
        {
            std::unique_lock lock(m_mutex);
            if (!m_room.wait(lock, stop, [this] { return m_frames.size() < m_ahead; })) {
                return;
            }
        }
        // Decoding runs outside the lock: the player takes frames meanwhile.
        VideoFrame frame;
        const bool decoded = decoder.next(frame, error);
        bool wasEmpty = false;
        {
            std::lock_guard lock(m_mutex);
            if (decoded) {
                wasEmpty = m_frames.empty();
                m_frames.push_back(std::move(frame));
            } else {
                m_error = error.empty() ? std::string("the video cannot be decoded") : error;
            }
        }
        if (!decoded || wasEmpty) {
            m_wake();
        }
        if (!decoded) {
            return;
        }
    }
}

std::optional<VideoFrame> FrameFeed::takeDue(microseconds position)
{
    std::optional<VideoFrame> due;
    {
        std::lock_guard lock(m_mutex);
        while (!m_frames.empty() && m_frames.front().time <= position) {
            due = std::move(m_frames.front());
            m_frames.pop_front();
        }
    }
    if (due) {
        m_room.notify_one();
    }
    return due;
}

std::optional<microseconds> FrameFeed::nextTime() const
{
    std::lock_guard lock(m_mutex);
    if (m_frames.empty()) {
        return std::nullopt;
    }
    return m_frames.front().time;
}

std::size_t FrameFeed::queued() const
{
    std::lock_guard lock(m_mutex);
    return m_frames.size();
}

std::string FrameFeed::error() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

} // namespace qv
