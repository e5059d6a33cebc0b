// The strip layout of the threaded and deep renderers, and the progress of the slowest strip.
#include "engine/strip_layout.h"

#include "base/round_half_even.h"

#include <algorithm>

namespace qv {

StripLayout stripLayout(std::int32_t height, std::int32_t threads)
{
    StripLayout layout;
    if (height < 1) {
        return layout;
    }
    const std::int32_t workers = std::clamp(threads, 1, height);
    // height / workers >= 1, so rowsPerStrip is never 0.
    layout.rowsPerStrip = roundHalfEven(static_cast<double>(height) / static_cast<double>(workers));
    for (std::int32_t i = 0; i < workers; ++i) {
        const std::int64_t first = std::int64_t{i} * layout.rowsPerStrip;
        if (first > height - 1) {
            break; // rowsPerStrip rounded up: the strips before this one reach the last row
        }
        const std::int64_t last =
            i == workers - 1 ? height - 1
                             : std::min<std::int64_t>(first + layout.rowsPerStrip - 1, height - 1);
        layout.strips.push_back(
            {static_cast<std::int32_t>(first), static_cast<std::int32_t>(last)});
    }
    return layout;
}

std::int32_t deepRemainingPercent(std::span<const std::int32_t> remaining,
                                  std::span<const StripBounds> strips)
{
    double largest = 0.0;
    const std::size_t n = std::min(remaining.size(), strips.size());
    for (std::size_t i = 0; i < n; ++i) {
        const std::int32_t rows = strips[i].lastRow - strips[i].firstRow + 1;
        if (rows > 0) {
            largest = std::max(largest, static_cast<double>(remaining[i]) / rows);
        }
    }
    return roundHalfEven(100.0 * largest);
}

} // namespace qv
