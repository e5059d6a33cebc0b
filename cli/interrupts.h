// The signals that stop a run (SIGINT, SIGTERM, SIGHUP) and the temporary files a run holds
// while they may arrive.
#pragma once

#include "base/file_io.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <pthread.h>
#include <vector>

namespace qv::cli {

/// The temporary files of the outputs being written, so that a signal that ends the program
/// at once removes them first.
class PendingFiles
{
public:
    /// Adds a file whose temporary must not outlive the program.
    void track(StagedFile& file);
    /// Takes a committed or discarded file off the list.
    void untrack(StagedFile& file);

    /// Held while the outputs take their names: a signal that ends the program waits for it,
    /// so that the outputs are all old or all new.
    std::unique_lock<std::mutex> holdNaming() { return std::unique_lock(m_mutex); }

    /// Removes every tracked temporary file (waiting for a naming in progress to end), for a
    /// program about to end.
    void discardAll();

private:
    std::mutex m_mutex;
    std::vector<StagedFile*> m_files;
};

/// Receives SIGINT, SIGTERM and SIGHUP on a thread of its own. The first one is recorded for
/// the run to stop at; a second one removes the pending temporary files, says so on `err` and
/// ends the program at once with status 128 + the signal's number.
class InterruptWatch
{
public:
    /// Blocks the three signals in the calling thread, and so in every thread it starts later,
    /// then starts the receiving thread. Construct it before any other thread is started.
    InterruptWatch(PendingFiles& pending, std::FILE* err);
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;
    /// Stops the receiving thread.
    ~InterruptWatch();

    /// The number of the first signal received; 0 before any.
    const std::atomic<int>& received() const { return m_received; }

private:
    static void* watch(void* self);

    PendingFiles& m_pending;
    std::FILE* m_err;
    std::atomic<int> m_received{0};
    pthread_t m_thread{};
    bool m_started = false;
};

} // namespace qv::cli
