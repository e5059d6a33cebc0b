// Start-up without the window system: start values, picture size, processor count, buffers,
// the default view, and the command-line argument.
#pragma once

#include "app/app_state.h"
#include "app/shell_observer.h"
#include "app/shell_services.h"
#include "base/prompts.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

inline constexpr std::string_view kProcessorPrompt =
    "Number of processors not detected!\n\nPlease input suitable number:";

struct PictureSize
{
    std::int32_t width = 0;
    std::int32_t height = 0;

    bool operator==(const PictureSize&) const = default;
};

/// The picture size at start: 640 x 480 on screens wider than 1024 pixels, 512 x 384 on
/// exactly 1024, 352 x 288 on any other.
PictureSize pictureSizeForScreen(std::int32_t screenWidth);

/// The processor count: the one reported, or when none is reported the answer to the input
/// box, rounded; an answer below 1 (cancelled, empty, not a number, negative) gives 1.
std::int32_t processorCountFrom(unsigned reported, Prompts& prompts);

/// The view's start values (the windows come from resetCoordinates).
struct ViewStartValues
{
    std::uint32_t modeWord = 5;
    std::int32_t iterMax = 100;
    double bailout = 128.0;
    double potValue = 0.0001;
    std::int32_t deepZoom = 0;
    std::int32_t precisionBits = 96;
};

struct StartValues
{
    RenderSettings settings;
    ShellState shell;
    ViewStartValues view;
};

/// Every start value of the settings, the shell and the view, from the screen and the
/// processor count.
StartValues startValues(std::int32_t screenWidth, std::int32_t screenHeight,
                        std::int32_t processorCount);

/// "RESET COORDINATES": the default window of the current type, the start iteration limit, pot
/// value and unzoom factor, deep zoom and boxed zoom off, 96 bits, no current file; the
/// controls follow and the picture window is asked to repaint. The Julia constant, bailout,
/// colour flags and drawing mode stay.
void resetCoordinates(AppState& app, ShellObserver& observer);

/// The program's argument text with every double quote removed.
std::string commandLineArgument(std::string_view argumentText);

/// What start-up learns from the system.
struct StartupEnvironment
{
    std::int32_t screenWidth = 0;
    std::int32_t screenHeight = 0;
    unsigned reportedProcessors = 0;
    std::string argumentText;
};

/// The start-up steps that need no window, in order: picture size, processor count, buffers
/// and palette table, start values with the default palette for the colour flags, the
/// renderer's first-picture flag, GMP numbers at 96 bits, resetCoordinates. Returns the
/// parameter file named on the command line when that file exists (empty otherwise); loading
/// it, which also makes it currentFileName, is the parameter-file loader's work.
std::string startUpWithoutWindows(AppState& app, const StartupEnvironment& environment,
                                  ShellServices& services);

} // namespace qv
