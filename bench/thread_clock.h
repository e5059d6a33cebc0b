// The processor time of the calling thread, for benchmarks that compare two runs in turns.
#pragma once

#include <ctime>

namespace qv::bench {

/// The processor seconds this thread has used: unlike the wall clock, they leave out the time
/// that other programs on a busy machine take from it.
inline double threadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

} // namespace qv::bench
