// PictureBuffer: the finished 32-bit picture that the windows show, save and copy.
#pragma once

#include <cstdint>
#include <vector>

namespace qv {

/// width x height pixels 0x00RRGGBB, row-major, top row first. The top row shows buffer row 0
/// of the IterationBuffer (the row at ymin), so the imaginary part grows downwards on screen.
struct PictureBuffer
{
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels;
};

} // namespace qv
