// The deep-zoom kernels: escape-time iteration of one strip of rows with GMP floats.
#pragma once

#include "engine/kernel_kind.h"
#include "engine/strip_job.h"

#include <chrono>
#include <cstdint>

namespace qv {

/// How often a deep worker writes its progress entry.
inline constexpr std::chrono::milliseconds kDeepProgressInterval{1000};

/// The whole-number escape bound B0 of the deep exact test: the bailout rounded half to even;
/// 2^31 for bailouts of 2^31 or more; 0 for a negative bailout or NaN.
unsigned long deepEscapeBound(double bailout);

/// Computes rows job.firstRow..job.lastRow (rows at or beyond pictureHeight are skipped) with
/// the deep kernel of `kind` at job.precisionBits, writing count, A and B through the job's
/// pointers (already advanced to the strip's first row). Polls *job.stopFlag after every pixel
/// and returns after the current one when it is set. Every progressInterval (measured after
/// each row) writes the rows of the strip not yet done into *job.progress. Neither pointer
/// needs to be set. Yields the processor after every eighth pixel of a row when
/// job.yieldsProcessor is set. Does not change the calling thread's priority (see
/// lowerOwnPriority).
void runDeepStripJob(const DeepStripJob& job, KernelKind kind, std::int32_t pictureHeight,
                     std::chrono::milliseconds progressInterval = kDeepProgressInterval);

/// Puts the calling thread at idle priority (SCHED_IDLE, or nice 19 where that is refused), as
/// deep workers run so that the interface stays responsive. Returns false if neither worked.
bool lowerOwnPriority();

} // namespace qv
