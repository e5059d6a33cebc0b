// The converter's command line and its help text.
#pragma once

#include "reelbind/video_writer.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qv::reelbind {

constexpr int kExitOk = 0;
constexpr int kExitNoVideo = 1;   // nothing to write, or cancelled
constexpr int kExitFailed = 2;    // the folder could not be read or the video not written
constexpr int kExitUsage = 64;    // a wrong command line
constexpr int kExitStopped = 130; // interrupted by a signal

struct Options
{
    std::optional<std::string> video;
    std::optional<std::string> frames;
    std::optional<Codec> codec;
    bool quiet = false;
    bool help = false;
};

/// Reads the arguments after the program name; nullopt with a one-line reason in `error`.
std::optional<Options> parseOptions(std::span<const std::string> arguments, std::string& error);

/// Whether dialogs can be shown, from the environment's DISPLAY, WAYLAND_DISPLAY and
/// QT_QPA_PLATFORM (each may be null): a display is named, and Qt is not told to draw
/// nowhere ("offscreen", "minimal").
bool dialogsPossible(const char* display, const char* waylandDisplay, const char* qtPlatform);

/// The text of --help.
std::string_view helpText();

} // namespace qv::reelbind
