// The render driver: turns a request to draw the current view into a finished picture with one
// of three renderers (single-threaded, threaded, deep), shows progress, stops on Esc, and
// colours and builds the picture at the end. See render_driver.md beside this file.
#pragma once

#include "engine/render_host.h"
#include "engine/render_state.h"
#include "app/app_state.h"

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

inline constexpr std::string_view kWaitTitle = "QUORVALIS - Please wait. Stop with esc -key";
inline constexpr std::string_view kDeepStartTitle =
    "QUORVALIS - Calculating 0% - STOP WITH ESC-KEY";

/// The kernel results of a render before colouring: count, A and B of every pixel, row-major,
/// row 0 the row at ymin. Rows that a stopped render did not reach hold what the buffer held.
struct RawResults
{
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::int32_t> counts;
    std::vector<float> a;
    std::vector<float> b;
};

/// How a render is run. The defaults are the program's.
struct RenderOptions
{
    /// Esc is polled at most this often while workers run.
    std::chrono::milliseconds pollInterval{100};
    /// A deep render repaints the picture window and updates its progress title at most this
    /// often.
    std::chrono::milliseconds deepRepaintInterval{4000};
    /// Deep workers run at idle priority so that the interface stays responsive; a caller
    /// without an interface may keep them at normal priority.
    bool idleDeepWorkers = true;
    /// When set, receives the kernel results before they are coloured.
    RawResults* raw = nullptr;
};

/// Rows firstRow..lastRow (inclusive) of one strip.
struct StripBounds
{
    std::int32_t firstRow = 0;
    std::int32_t lastRow = 0;

    bool operator==(const StripBounds&) const = default;
};

/// How a picture is split into horizontal strips, one per worker.
struct StripLayout
{
    std::int32_t rowsPerStrip = 0;
    std::vector<StripBounds> strips;
};

/// The strips of a picture `height` rows high for `threads` workers: at most one worker per
/// row; rowsPerStrip = height / workers rounded half to even; strip i starts at
/// i * rowsPerStrip and ends before the next one, the last at row height - 1; strips that
/// would start below the picture are left out. Empty for a height below 1.
StripLayout stripLayout(std::int32_t height, std::int32_t threads);

/// The renderer renderView picks for the app's current view and settings (step 5 of the
/// entry, without its side effects).
RendererKind chooseRenderer(const AppState& app);

/// Percent of the least advanced strip still to do: 100 * max(remaining[i] / rows of strip i),
/// rounded half to even. The deep progress title shows 100 minus this.
std::int32_t deepRemainingPercent(std::span<const std::int32_t> remaining,
                                  std::span<const StripBounds> strips);

/// "QUORVALIS - Calculating " + percentDone in the title form + "% - STOP WITH ESC-KEY".
std::string deepProgressTitle(std::int32_t percentDone);

/// The render entry. Does nothing while the picture is valid, rendering is suppressed or a
/// render runs, and for a picture without pixels. Otherwise: the first Julia picture starts from
/// the default Julia window (resetCoordinates), the waiting title and iterMax are shown, the
/// renderer is chosen and run, and the dialogs, the menu title and a missing thumbnail follow the
/// new picture. The view-change step must have run after the view or the picture size last changed.
void renderView(AppState& app, RenderHost& host, const RenderOptions& options = {});

// The three renderers, which renderView chooses between; each renders nothing for a picture
// without pixels.

/// The single-threaded renderer (extended precision, kernel kinds 1 and 2): row by row from
/// ymin, each pixel coloured at once and its colour value stored in the count array, each row
/// drawn when finished; Esc is read after every row.
void renderSingle(AppState& app, RenderHost& host, const RenderOptions& options = {});

/// The threaded renderer (extended precision, any kernel kind), one worker per strip.
void renderThreaded(AppState& app, RenderHost& host, const RenderOptions& options = {});

/// The deep renderer (arbitrary precision at precisionBits), one worker per strip.
void renderDeep(AppState& app, RenderHost& host, const RenderOptions& options = {});

} // namespace qv
