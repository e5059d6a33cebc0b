// The job records handed to the render workers: one horizontal strip of rows each.
#pragma once

#include "base/mp_float.h"

#include <atomic>
#include <cstdint>

namespace qv {

/// One strip of an extended-precision render. The three output pointers are already advanced
/// to the strip's first row; rows firstRow..lastRow (inclusive) are computed.
struct StripJob
{
    std::int32_t iterMax = 100;
    std::int32_t* counts = nullptr;
    float* a = nullptr;
    float* b = nullptr;
    std::int32_t mandelbrot = 1; ///< 1 = Mandelbrot view (c = pixel), 0 = Julia (c = juliaC)
    std::int32_t width = 0;
    std::int32_t rowsPerStrip = 0;
    std::int32_t firstRow = 0;
    std::int32_t lastRow = 0;
    double bailout = 128.0;
    long double xmin = 0.0L;
    long double xmax = 0.0L;
    long double dx = 0.0L;
    long double y0 = 0.0L; ///< y of the first row: ymin + dy * firstRow
    long double ymax = 0.0L;
    long double dy = 0.0L;
    long double juliaCr = 0.0L;
    long double juliaCi = 0.0L;
    /// Set to 1 by the renderer to ask the workers to stop; null means never.
    const std::atomic<std::int32_t>* stopFlag = nullptr;
};

/// One strip of an arbitrary-precision render. The numbers are the job's own copies at
/// precisionBits; the view's numbers are never touched by a worker.
struct DeepStripJob
{
    explicit DeepStripJob(std::int32_t bits)
        : precisionBits(bits), x0(static_cast<unsigned long>(bits)),
          dx(static_cast<unsigned long>(bits)), y0(static_cast<unsigned long>(bits)),
          dy(static_cast<unsigned long>(bits)), juliaCr(static_cast<unsigned long>(bits)),
          juliaCi(static_cast<unsigned long>(bits))
    {
    }

    std::int32_t threadIndex = 0;
    std::int32_t iterMax = 100;
    std::int32_t* counts = nullptr;
    float* a = nullptr;
    float* b = nullptr;
    std::int32_t precisionBits;
    std::int32_t mandelbrot = 1;
    std::int32_t width = 0;
    std::int32_t rowsPerStrip = 0;
    std::int32_t firstRow = 0;
    std::int32_t lastRow = 0;
    double bailout = 128.0;
    MpFloat x0; ///< x of the first column (xmin)
    MpFloat dx;
    MpFloat y0; ///< y of the first row: ymin + dy * firstRow
    MpFloat dy;
    MpFloat juliaCr;
    MpFloat juliaCi;
    const std::atomic<std::int32_t>* stopFlag = nullptr;
    /// This worker's progress entry: rows of its strip not yet done.
    std::atomic<std::int32_t>* progress = nullptr;
    /// Whether the worker gives up the processor after every eighth pixel. An idle-priority
    /// worker does, to keep the interface alive; at normal priority the yield only hands the
    /// rest of its time slice to whatever else runs, which slows a deep render on a busy
    /// machine tenfold and helps nothing.
    bool yieldsProcessor = true;
};

} // namespace qv
