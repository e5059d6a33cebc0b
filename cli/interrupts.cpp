// A thread that waits for the stopping signals, so that reacting to one is ordinary code.
#include "cli/interrupts.h"

#include "cli/render_job.h"

#include <algorithm>
#include <csignal>
#include <unistd.h>

namespace qv::cli {
namespace {

/// SIGUSR1 stops the receiving thread; it is never sent from outside.
sigset_t watchedSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGUSR1}) {
        sigaddset(&set, s);
    }
    return set;
}

} // namespace

void PendingFiles::track(StagedFile& file)
{
    const std::lock_guard lock(m_mutex);
    m_files.push_back(&file);
}

void PendingFiles::untrack(StagedFile& file)
{
    const std::lock_guard lock(m_mutex);
    std::erase(m_files, &file);
}

void PendingFiles::discardAll()
{
    const std::lock_guard lock(m_mutex);
    for (const StagedFile* file : m_files) {
        file->unlinkTemporary();
    }
    m_files.clear();
}

InterruptWatch::InterruptWatch(PendingFiles& pending, std::FILE* err)
    : m_pending(pending), m_err(err)
{
    const sigset_t set = watchedSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    m_started = pthread_create(&m_thread, nullptr, &InterruptWatch::watch, this) == 0;
}

InterruptWatch::~InterruptWatch()
{
    if (m_started) {
        pthread_kill(m_thread, SIGUSR1);
        pthread_join(m_thread, nullptr);
    }
}

void* InterruptWatch::watch(void* self)
{
    auto& watch = *static_cast<InterruptWatch*>(self);
    const sigset_t set = watchedSignals();
    for (;;) {
        int s = 0;
        if (sigwait(&set, &s) != 0 || s == SIGUSR1) {
            return nullptr;
        }
        int none = 0;
        if (watch.m_received.compare_exchange_strong(none, s)) {
            continue;
        }
        // The second signal: the user wants the program gone, not a tidy stop.
        watch.m_pending.discardAll();
        printProblem(watch.m_err, "interrupted again; stopped at once");
        ::_exit(128 + s);
    }
}

} // namespace qv::cli
