// RenderProgress: what a renderer asks of its caller while it runs.
#pragma once

#include <cstdint>
#include <span>

namespace qv {

/// Every call comes from the thread that called the renderer, never from a worker.
class RenderProgress
{
public:
    virtual ~RenderProgress() = default;
    /// Processes the window system's pending events and returns without sleeping. Whatever
    /// runs meanwhile must leave the view, the settings and the buffers alone until the
    /// renderer returns.
    virtual void pumpEvents() = 0;
    /// Whether Esc was pressed since the last call; the call clears it. A true answer stops
    /// the render.
    virtual bool escapePressed() = 0;
    /// Rows finished so far out of `rows`, given at every poll of Esc.
    virtual void showProgress(std::int32_t rowsDone, std::int32_t rows) = 0;
    /// The single-threaded renderer's finished row `row` (0 = top) as colours 0x00RRGGBB, to
    /// be shown at once.
    virtual void drawRow(std::int32_t row, std::span<const std::uint32_t> colours) = 0;

    /// A deep render's progress, every RenderOptions::deepRepaintInterval: the percentage done
    /// of its least advanced strip. Only a caller that shows it needs to override this.
    virtual void showStripProgress(std::int32_t /*percentDone*/) {}
};

/// Shows nothing and never stops a render: for callers without an interface (benchmarks,
/// tests that watch only the results).
class QuietProgress final : public RenderProgress
{
public:
    void pumpEvents() override {}

    bool escapePressed() override { return false; }

    void showProgress(std::int32_t, std::int32_t) override {}

    void drawRow(std::int32_t, std::span<const std::uint32_t>) override {}
};

} // namespace qv
