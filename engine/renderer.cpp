// The renderers' entry and the steps they share: fitting the buffer, keeping the raw results,
// colouring the rows computed and building the picture.
#include "engine/renderer.h"

#include "engine/render_workers.h"

#include <cstddef>

namespace qv {
namespace detail {

float secondsSince(Clock::time_point start)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    return static_cast<float>(ms.count()) / 1000.0f;
}

void fitBuffer(IterationBuffer& iterations, std::int32_t width, std::int32_t height)
{
    const std::size_t needed = IterationBuffer::storedSize(width, height);
    if (iterations.width != width || iterations.height != height ||
        iterations.counts.size() < needed || iterations.a.size() < needed ||
        iterations.b.size() < needed) {
        iterations.allocate(width, height);
    }
}

void keepRaw(RawResults* raw, const IterationBuffer& iterations)
{
    if (raw == nullptr) {
        return;
    }
    const auto n = static_cast<std::ptrdiff_t>(rowOffset(iterations.height, iterations.width));
    raw->width = iterations.width;
    raw->height = iterations.height;
    raw->counts.assign(iterations.counts.begin(), iterations.counts.begin() + n);
    raw->a.assign(iterations.a.begin(), iterations.a.begin() + n);
    raw->b.assign(iterations.b.begin(), iterations.b.begin() + n);
}

void prepareShared(WorkerShared& shared, const RenderPass& pass)
{
    shared.kind = kernelKindForMode(drawingMode(pass.view.modeWord));
    shared.width = pass.job.width;
    shared.height = pass.job.height;
    shared.rowDone.assign(static_cast<std::size_t>(pass.job.height), 0);
}

void finishPicture(const RenderPass& pass, const std::vector<std::uint8_t>& rowDone,
                   RenderOutcome& outcome)
{
    IterationBuffer& iterations = pass.target.iterations;
    keepRaw(pass.options.raw, iterations);
    const auto rows = static_cast<std::int32_t>(rowDone.size());
    std::int32_t computed = 0;
    std::int64_t inside = 0;
    std::int32_t row = 0;
    while (row < rows) {
        if (rowDone[static_cast<std::size_t>(row)] == 0) {
            ++row;
            continue;
        }
        const std::int32_t first = row;
        while (row < rows && rowDone[static_cast<std::size_t>(row)] != 0) {
            ++row;
        }
        inside += colourPass(iterations, pass.job.colours, pass.target.palette, first, row - 1);
        computed += row - first;
    }
    buildPicture(pass.target.picture, iterations, pass.target.palette, pass.job.colours.drawingMode,
                 pass.job.colours.paletteOffset);
    outcome.rowsComputed = computed;
    outcome.insidePixels = inside;
}

} // namespace detail

ColourSettings colourSettingsOf(const ViewState& view, std::uint32_t colourFlags,
                                std::int32_t paletteOffset)
{
    ColourSettings s;
    s.drawingMode = drawingMode(view.modeWord);
    s.colourFlags = colourFlags;
    s.iterMax = view.iterMax;
    s.bailout = view.bailout;
    s.potValue = view.potValue;
    s.paletteOffset = paletteOffset;
    return s;
}

RenderOutcome renderPicture(const RenderJob& job, ViewState& view, const RenderTarget& target,
                            RenderProgress& progress, const RenderOptions& options)
{
    if (job.width < 1 || job.height < 1) {
        return {};
    }
    detail::fitBuffer(target.iterations, job.width, job.height);
    const detail::RenderPass pass{job, view, target, progress, options};
    switch (job.renderer) {
    case RendererKind::Single:
        return detail::renderSingle(pass);
    case RendererKind::Deep:
        return job.fastDeep ? detail::renderFastDeep(pass) : detail::renderDeep(pass);
    case RendererKind::Threaded:
    case RendererKind::None:
        break;
    }
    return detail::renderThreaded(pass);
}

} // namespace qv
