// The Julia finder's steps that need no window: the menu command's refusals, the constant
// under the pointer, the preview's inputs and the accept that switches to the Julia set.
#pragma once

#include "app/app_state.h"
#include "app/shell_services.h"
#include "engine/julia_preview.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace qv {

inline constexpr std::string_view kFinderDeepZoomMessage = "Not available with\ndeep zoom";
inline constexpr std::string_view kFinderJuliaViewMessage =
    "Please switch to Mandelbrot\nto use this function";
inline constexpr std::string_view kFinderTitle =
    "JULIAFINDER - Click right mouse button when ready";
inline constexpr std::string_view kPreviewTitle = "JULIA";
/// Where the preview window asks to stand.
inline constexpr std::int32_t kPreviewLeft = 660;
inline constexpr std::int32_t kPreviewTop = 60;

struct JuliaConstant
{
    long double cr = 0.0L;
    long double ci = 0.0L;
};

/// What the finder keeps while it is open.
struct FinderState
{
    bool firstMoveSeen = false;
    /// A notification of the pointer leaving the finder is awaited; the next move after it
    /// arrived asks for one again.
    bool leaveTracking = false;
    /// "Multi-threaded" as it was before the command switched it off.
    std::int32_t multiThreadedBefore = 0;
    /// The constant of the last pointer move.
    std::optional<JuliaConstant> constant;
};

/// The "Julia finder" command. In deep zoom: the message kFinderDeepZoomMessage. Otherwise
/// "Multi-threaded" goes off (with its check box); on a Julia view the message
/// kFinderJuliaViewMessage follows and it stays off. On a Mandelbrot view the finder opens:
/// finderActive, iterMax 200 and the picture stale. Returns the finder's state when it opens.
std::optional<FinderState> startJuliaFinder(AppState& app, ShellServices& services);

/// The point under pixel (x, y) of the Mandelbrot window in extended precision, as the
/// navigation maps pixels: (xmin + x dx, ymin + y dy).
JuliaConstant constantUnderPointer(const ViewState& view, std::int32_t x, std::int32_t y);

/// The pointer moved to (x, y) over the finder: asks for the leave notification when none is
/// awaited, takes the constant under the pointer and, at the first move, gives "Multi-threaded"
/// its value back. Returns the constant.
JuliaConstant finderPointerMoved(AppState& app, FinderState& finder, std::int32_t x, std::int32_t y,
                                 ShellObserver& observer);

/// The pointer left the finder: the next move asks for the notification again.
void finderPointerLeft(FinderState& finder);

/// The preview of constant c with the program's drawing mode, bailout and colour settings.
PreviewJob previewJobFor(const AppState& app, const JuliaConstant& c);

/// The right click at (x, y) accepts the constant of the last move (the one under (x, y) when
/// the pointer never moved): the finder closes (finderActive 0), the type becomes Julia
/// (Julia bit on, Mandelbrot bit off, both boxes shown) with that constant at the default
/// Julia window -1.8..1.8, juliaShown is set, iterMax stays 200, and the picture, stale and no
/// longer from a file or an image, waits for its render.
void acceptJuliaConstant(AppState& app, FinderState& finder, std::int32_t x, std::int32_t y,
                         ShellObserver& observer);

} // namespace qv
