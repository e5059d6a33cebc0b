// The converter's command line and its help text.
#include "reelbind/options.h"

namespace qv::reelbind {

std::optional<Options> parseOptions(std::span<const std::string> arguments, std::string& error)
{
    Options options;
    bool onlyPaths = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (!onlyPaths && a == "--") {
            onlyPaths = true;
        } else if (!onlyPaths && (a == "-h" || a == "--help")) {
            options.help = true;
        } else if (!onlyPaths && (a == "-q" || a == "--quiet")) {
            options.quiet = true;
        } else if (!onlyPaths && (a == "--codec" || a.starts_with("--codec="))) {
            std::string name;
            if (a == "--codec") {
                if (i + 1 == arguments.size()) {
                    error = "--codec needs a name: mjpeg, mpeg4, ffv1 or raw";
                    return std::nullopt;
                }
                name = arguments[++i];
            } else {
                name = a.substr(8);
            }
            options.codec = codecByName(name);
            if (!options.codec) {
                error = "unknown codec \"" + name + "\": mjpeg, mpeg4, ffv1 or raw";
                return std::nullopt;
            }
        } else if (!onlyPaths && a.size() > 1 && a[0] == '-') {
            error = "unknown option " + a;
            return std::nullopt;
        } else if (!options.video) {
            options.video = a;
        } else if (!options.frames) {
            options.frames = a;
        } else {
            error = "too many arguments: a video and a frame folder at most";
            return std::nullopt;
        }
    }
    return options;
}

bool dialogsPossible(const char* display, const char* waylandDisplay, const char* qtPlatform)
{
    const auto named = [](const char* value) { return value != nullptr && *value != '\0'; };
    const std::string_view platform = named(qtPlatform) ? qtPlatform : "";
    if (platform == "offscreen" || platform == "minimal") {
        return false;
    }
    return named(display) || named(waylandDisplay);
}

std::string_view helpText()
{
    return R"(Usage: reelbind [options] [VIDEO [FRAMES]]

Makes an AVI video of the pictures in a folder, one frame per picture, 25 frames per second.
QUORVALIS starts it after writing the frames of a zoom movie; it also works on its own.

VIDEO    the video to write; ".avi" is added unless the name ends in exactly ".avi".
         Without it, the "Save AVI" dialog asks.
FRAMES   the frame folder: a folder, or a path whose folder part (up to its last "/") is
         meant. Without it, the "Select images directory" dialog asks.

The frames are the folder's files ending in .bmp, .jpg or .jpeg (any case), in name order
without regard to case. The first picture that decodes sets the video's size; later pictures
of another size are scaled to it (bicubic). A file that does not decode is skipped with a line
on stderr.

Options:
      --codec NAME   mjpeg   Motion JPEG, fixed quantiser 2 (default without a dialog)
                     mpeg4   MPEG-4 Part 2, fixed quantiser 2
                     ffv1    FFV1, lossless
                     raw     uncompressed 24-bit RGB
                     Without it the codec dialog asks.
  -q, --quiet        no dialog at all: no codec dialog (Motion JPEG unless --codec), no
                     progress window, no closing "DONE!" box; a progress bar on stderr
                     instead. Without a display this is what happens anyway.
  -h, --help         show this help

The video is written under a temporary name beside VIDEO and replaces an existing VIDEO only
once it is complete. Cancelling the codec dialog leaves an existing VIDEO as it is (where none
stood, an empty file is left). A closing line on stderr tells the frames, the size, the codec
and the speed.

Exit status: 0 a video written, 1 no video (no picture in the folder, or cancelled), 2 the
folder could not be read or the video not written, 64 a wrong command line, 130 interrupted
(no video written).

Example:
  reelbind --quiet --codec ffv1 zoom.avi frames/
)";
}

} // namespace qv::reelbind
