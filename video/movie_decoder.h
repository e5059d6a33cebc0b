// MovieDecoder: the frames of a video file as 0x00RRGGBB pictures with their presentation
// times, looping endlessly from the last frame back to the first.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qv {

/// One decoded frame.
struct VideoFrame
{
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels; ///< 0x00RRGGBB, row by row from the top
    /// When the frame is shown, from the first frame's 0; it goes on growing across loops.
    std::chrono::microseconds time{0};
    std::int64_t number = 0; ///< its place in the file, 0 for the first frame
};

class MovieDecoder
{
public:
    MovieDecoder();
    ~MovieDecoder();

    MovieDecoder(const MovieDecoder&) = delete;
    MovieDecoder& operator=(const MovieDecoder&) = delete;

    /// Opens the video and decodes its first frame; false with the reason in `error` when the
    /// file cannot be read, holds no video stream or no frame that decodes.
    bool open(const std::string& path, std::string& error);

    /// The next frame; after the last one the first again, its time continuing from the last
    /// frame's time plus one frame duration. False with the reason in `error` when the file
    /// cannot go on (it vanished, or a whole pass decoded nothing).
    bool next(VideoFrame& frame, std::string& error);

    /// How long one frame is shown, from the stream's frame rate (1/25 s when it has none).
    std::chrono::microseconds frameDuration() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace qv
