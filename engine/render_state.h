// RenderState: what the render driver keeps from one render to the next and shares with its
// worker threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

namespace qv {

/// Which renderer computed a picture.
enum class RendererKind : std::int32_t {
    None = 0, ///< nothing rendered yet
    Single,   ///< single-threaded, extended precision, coloured row by row
    Threaded, ///< worker threads, extended precision
    Deep,     ///< worker threads, arbitrary precision
};

/// Lives in AppState for the whole run. The flags that the windows and dialogs read
/// (rendering, pictureValid, mandelbrotShown, juliaShown) live in ShellState.
struct RenderState
{
    /// 1 asks every worker to stop. Written by the user-interface thread, read by the workers.
    std::atomic<std::int32_t> stopFlag{0};
    /// Set to 1 when Esc ended a render; the movie code reads it as its cancel flag and clears
    /// it. The driver itself never clears it.
    std::int32_t stoppedByUser = 0;
    /// Duration of the last render in seconds (whole milliseconds of the clock / 1000).
    float elapsedSeconds = 0.0f;
    /// Set at the end of a deep render; renderView does nothing while it is 1. The window code
    /// clears it.
    std::int32_t renderSuppressed = 0;
    /// Set by start-up: the next render is the first picture of the run. Every renderer clears
    /// it.
    std::int32_t firstPicture = 0;
    /// The size the drawing surface was last resized to; 0 x 0 before the first resize.
    std::int32_t lastWidth = 0;
    std::int32_t lastHeight = 0;
    /// One entry per deep worker: rows of its strip not yet done. Written by the workers while a
    /// deep render runs; replaced only between renders.
    std::vector<std::atomic<std::int32_t>> progress;
    /// The renderer of the last render, and how many rows it computed (all of them unless the
    /// render was stopped).
    RendererKind lastRenderer = RendererKind::None;
    std::int32_t rowsComputed = 0;
};

} // namespace qv
