// How a picture is split into horizontal strips of rows, one per worker.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace qv {

/// Rows firstRow..lastRow (inclusive) of one strip.
struct StripBounds
{
    std::int32_t firstRow = 0;
    std::int32_t lastRow = 0;

    bool operator==(const StripBounds&) const = default;
};

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

/// Percent of the least advanced strip still to do: 100 * max(remaining[i] / rows of strip i),
/// rounded half to even.
std::int32_t deepRemainingPercent(std::span<const std::int32_t> remaining,
                                  std::span<const StripBounds> strips);

} // namespace qv
