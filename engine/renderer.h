// The renderers: one view in, a finished picture and an outcome out. The single-threaded,
// threaded and deep renderers compute the kernel results, colour them and build the picture;
// what the program does around a render (titles, controls, backups) is its caller's. See
// renderers.md beside this file.
#pragma once

#include "engine/colouring.h"
#include "engine/iteration_buffer.h"
#include "engine/picture_buffer.h"
#include "engine/render_progress.h"
#include "engine/view_state.h"
#include "palette/palette.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace qv {

/// Which renderer computes, or computed, a picture.
enum class RendererKind : std::int32_t {
    None = 0, ///< nothing rendered
    Single,   ///< single-threaded, extended precision, coloured row by row
    Threaded, ///< worker threads, extended precision
    Deep,     ///< worker threads, arbitrary precision
};

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
    /// A deep render reports its strip progress at most this often.
    std::chrono::milliseconds deepRepaintInterval{4000};
    /// Deep workers run at idle priority so that the interface stays responsive; a caller
    /// without an interface may keep them at normal priority.
    bool idleDeepWorkers = true;
    /// When set, receives the kernel results before they are coloured.
    RawResults* raw = nullptr;
    /// The fast deep path's rebasing; off only to show what goes wrong without it.
    bool fastDeepRebasing = true;
    /// The fast deep path's bilinear steps (off: every iteration is computed).
    bool fastDeepBilinear = true;
};

/// What to render: the current window of a view at width x height pixels.
struct RenderJob
{
    /// Single is for kernel kinds 1 and 2 (drawing modes below 26); None renders as Threaded.
    RendererKind renderer = RendererKind::Threaded;
    std::int32_t width = 0;
    std::int32_t height = 0;
    /// Workers of the threaded and deep renderers (at most one per row).
    std::int32_t threads = 1;
    /// How the results are coloured; the kernels take the limits from the view.
    ColourSettings colours;
    /// The deep renderer computes pixels as offsets from one reference orbit and certifies the
    /// picture against the exact kernel (kernel kinds 1, 3 and 4; others stay exact).
    bool fastDeep = false;
};

/// Where a render writes. The iteration buffer is reallocated when it does not fit the
/// picture; palette entry 0 follows the drawing mode (applyEntryZeroRule).
struct RenderTarget
{
    IterationBuffer& iterations;
    Palette& palette;
    PictureBuffer& picture;
};

/// What the fast deep path did for one render.
struct FastDeepReport
{
    bool tried = false;         ///< the render was asked for the fast path
    bool exact = false;         ///< the exact kernel computed the picture after all
    std::string reason;         ///< why the exact kernel took over (empty when it did not)
    std::int32_t samples = 0;   ///< pixels computed by both the fast path and the exact kernel
    std::int32_t identical = 0; ///< of those, the pixels with the same count
    std::int64_t referenceLength = 0;
    float referenceSeconds = 0.0f;
};

/// The share of identical counts in tenths of a percent, rounded down (1000 without samples).
std::int32_t identicalPermille(const FastDeepReport& report);

/// "99.9% of 256 pixels certified", or the reason the exact kernel took over; "" when the fast
/// path was not asked for.
std::string fastDeepSummary(const FastDeepReport& report);

struct RenderOutcome
{
    RendererKind renderer = RendererKind::None;
    /// Esc ended the render. Rows not computed keep the values of the picture before.
    bool stopped = false;
    std::int32_t rowsComputed = 0;
    /// Pixels of the rows computed that did not escape (count 0).
    std::int64_t insidePixels = 0;
    /// Whole milliseconds of the steady clock from the start of the computation, / 1000.
    float elapsedSeconds = 0.0f;
    FastDeepReport fastDeep;
};

/// The colour settings of a render of `view`: its drawing mode, iteration limit, bailout and
/// pot value, with the given colour flags and palette offset.
ColourSettings colourSettingsOf(const ViewState& view, std::uint32_t colourFlags,
                                std::int32_t paletteOffset);

/// Renders the current window of `view` into `target` with job.renderer: sets the window's dx
/// and dy to the pixel step of the picture size (GMP numbers for the deep renderer, extended
/// otherwise), computes every row while `progress` keeps the interface alive and polls Esc,
/// colours the rows computed and builds the picture. Renders nothing (renderer None) for a
/// picture without pixels.
RenderOutcome renderPicture(const RenderJob& job, ViewState& view, const RenderTarget& target,
                            RenderProgress& progress, const RenderOptions& options = {});

} // namespace qv
