// VideoWriter: an AVI file of one video stream at 25 frames per second, through FFmpeg.
#pragma once

#include "reelbind/picture.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qv::reelbind {

constexpr std::int32_t kFramesPerSecond = 25;

enum class Codec {
    Mjpeg,
    Mpeg4,
    Ffv1,
    Raw,
};

struct CodecInfo
{
    Codec codec;
    std::string_view name;  // on the command line
    std::string_view title; // in the codec dialog
    std::string_view note;  // one line on what it suits
};

/// The codecs offered, Motion JPEG (the default) first.
std::span<const CodecInfo> codecs();

/// The codec of a command-line name ("mjpeg", "mpeg4", "ffv1", "raw"); nullopt when unknown.
std::optional<Codec> codecByName(std::string_view name);

/// The entry of `codecs()` for a codec.
const CodecInfo& codecInfo(Codec codec);

class VideoWriter
{
public:
    VideoWriter();
    ~VideoWriter();
    VideoWriter(const VideoWriter&) = delete;
    VideoWriter& operator=(const VideoWriter&) = delete;

    /// Starts a width x height video at `path` (created or truncated), every frame a key frame.
    /// False with the reason in `error` when the file or the encoder cannot be opened.
    bool open(const std::string& path, Codec codec, std::int32_t width, std::int32_t height,
              std::string& error);

    /// Encodes the picture as the next frame, scaled (bicubic) to the video's size when its
    /// own differs. False with the reason in `error` when a packet cannot be written.
    bool append(const Picture& picture, std::string& error);

    /// Drains the encoder, writes the index and closes the file. False with the reason in
    /// `error` when any of it fails; the file is then incomplete.
    bool finish(std::string& error);

    /// Frames encoded so far.
    std::int64_t frames() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace qv::reelbind
