// The conversion: a frame folder into an AVI video that replaces its name only when complete.
#pragma once

#include "reelbind/video_writer.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qv::reelbind {

/// What the conversion asks and tells while it runs: the codec dialog, the progress window or
/// bar, and the lines about skipped files.
class ConversionHost
{
public:
    virtual ~ConversionHost() = default;
    /// Asked once, when the first picture has decoded; nullopt cancels the conversion.
    virtual std::optional<Codec> chooseCodec() = 0;
    /// `written` frames of at most `candidates` are in the video; false stops the conversion.
    virtual bool progress(std::int64_t written, std::int64_t candidates) = 0;
    /// A line for the user, such as a frame file that was skipped.
    virtual void note(std::string_view line) = 0;
};

enum class Outcome {
    Written,   // the video stands under its name
    NoPicture, // the folder holds no picture that decodes: nothing was created or deleted
    Cancelled, // in the codec dialog or during the writing: an existing video is untouched
    Failed,    // the folder could not be read or the video not written; see `message`
};

struct ConversionResult
{
    Outcome outcome = Outcome::NoPicture;
    std::int64_t frames = 0;
    Codec codec = Codec::Mjpeg; // the codec chosen, once a picture has decoded
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::string message;
};

/// Writes the frame files of `folder`, in playing order, as a video at `videoPath`. The video
/// is written under a temporary name beside it and renamed over `videoPath` only once
/// complete. Cancelling the codec dialog where no file stands at `videoPath` leaves an empty
/// file there.
ConversionResult convertFrames(const std::string& videoPath, const std::filesystem::path& folder,
                               ConversionHost& host);

/// Creates an empty, new file beside `videoPath` whose name ends in neither a video's nor a
/// frame's extension; its path, or nullopt with the reason in `error`.
std::optional<std::string> createTemporaryBeside(const std::string& videoPath, std::string& error);

} // namespace qv::reelbind
