// IterationBuffer: the per-pixel results of the kernels (count, escape values A and B).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv {

/// Three arrays of (width + 2) x (height + 2) elements. The engine uses the first
/// width x height entries of each as one flat row-major array whose row 0 is the row at ymin:
/// pixel (i, j) is entry j * width + i. After the colour pass `counts` holds a colour index
/// (>= 0) or a finished colour stored negated (-0x00RRGGBB).
struct IterationBuffer
{
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::int32_t> counts;
    std::vector<float> a;
    std::vector<float> b;

    /// Allocates zeroed arrays for a picture of width x height pixels.
    void allocate(std::int32_t w, std::int32_t h)
    {
        width = w;
        height = h;
        const std::size_t n = storedSize(w, h);
        counts.assign(n, 0);
        a.assign(n, 0.0f);
        b.assign(n, 0.0f);
    }

    /// Entries of each array for a picture of w x h: (w + 2) x (h + 2).
    static std::size_t storedSize(std::int32_t w, std::int32_t h)
    {
        return static_cast<std::size_t>(w + 2) * static_cast<std::size_t>(h + 2);
    }

    /// Index of pixel (i, j) in the flat arrays.
    std::size_t at(std::int32_t i, std::int32_t j) const
    {
        return static_cast<std::size_t>(j) * static_cast<std::size_t>(width) +
               static_cast<std::size_t>(i);
    }
};

} // namespace qv
