// Child processes for the end-to-end tests: posix_spawn, pipes, a pseudo-terminal and poll.
#include "tests/cli/program_runner.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace qv::test {
namespace {

using Clock = std::chrono::steady_clock;

void closeFd(int& fd)
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

/// The slave side of a new pseudo-terminal; `master` receives the other side.
int openTerminal(int& master)
{
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        return -1;
    }
    const char* name = ::ptsname(master);
    return name == nullptr ? -1 : ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
}

} // namespace

RunningProgram::RunningProgram(const std::vector<std::string>& arguments, bool stderrIsTerminal)
{
    std::array<int, 2> outPipe{-1, -1};
    std::array<int, 2> errPipe{-1, -1};
    int errSlave = -1;
    if (::pipe2(outPipe.data(), O_CLOEXEC) != 0) {
        return;
    }
    if (stderrIsTerminal) {
        errSlave = openTerminal(errPipe[0]);
        errPipe[1] = errSlave;
    } else if (::pipe2(errPipe.data(), O_CLOEXEC) != 0) {
        errPipe = {-1, -1};
    }
    if (errPipe[0] < 0 || errPipe[1] < 0) {
        closeFd(outPipe[0]);
        closeFd(outPipe[1]);
        closeFd(errPipe[0]);
        closeFd(errPipe[1]);
        return;
    }

    std::vector<std::string> argv{QV_RENDER_PROGRAM};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> pointers;
    for (std::string& a : argv) {
        pointers.push_back(a.data());
    }
    pointers.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    // The child starts with SIGINT handled by default, whatever the test runner does with it.
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    ::posix_spawnattr_setsigdefault(&attributes, &defaults);
    sigset_t none;
    sigemptyset(&none);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t pid = -1;
    if (::posix_spawn(&pid, argv[0].c_str(), &actions, &attributes, pointers.data(), environ) ==
        0) {
        m_pid = pid;
    }
    ::posix_spawnattr_destroy(&attributes);
    ::posix_spawn_file_actions_destroy(&actions);
    closeFd(outPipe[1]);
    closeFd(errPipe[1]);
    m_outFd = outPipe[0];
    m_errFd = errPipe[0];
}

RunningProgram::~RunningProgram()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
    closeFd(m_outFd);
    closeFd(m_errFd);
}

bool RunningProgram::readSome(std::chrono::milliseconds wait)
{
    std::array<pollfd, 2> fds{{{m_outFd, POLLIN, 0}, {m_errFd, POLLIN, 0}}};
    if (m_outFd < 0 && m_errFd < 0) {
        return false;
    }
    const int ready = ::poll(fds.data(), fds.size(), static_cast<int>(wait.count()));
    if (ready <= 0) {
        return true;
    }
    std::array<char, 65536> buffer{};
    const std::array<std::pair<int*, std::string*>, 2> sinks{
        {{&m_outFd, &m_out}, {&m_errFd, &m_err}}};
    for (std::size_t i = 0; i < sinks.size(); ++i) {
        if (fds[i].fd < 0 || fds[i].revents == 0) {
            continue;
        }
        const ssize_t n = ::read(fds[i].fd, buffer.data(), buffer.size());
        if (n > 0) {
            sinks[i].second->append(buffer.data(), static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            // End of the pipe, or EIO once a pseudo-terminal's last slave is closed.
            closeFd(*sinks[i].first);
        }
    }
    return true;
}

bool RunningProgram::waitFor(const std::string& stream, const std::string& text,
                             std::chrono::milliseconds guard)
{
    const Clock::time_point end = Clock::now() + guard;
    while (stream.find(text) == std::string::npos) {
        if (Clock::now() >= end || !readSome(std::chrono::milliseconds(50))) {
            return stream.find(text) != std::string::npos;
        }
    }
    return true;
}

bool RunningProgram::waitForOutput(const std::string& text, std::chrono::milliseconds guard)
{
    return waitFor(m_out, text, guard);
}

bool RunningProgram::waitForError(const std::string& text, std::chrono::milliseconds guard)
{
    return waitFor(m_err, text, guard);
}

void RunningProgram::sendSignal(int signal)
{
    if (m_pid > 0) {
        ::kill(m_pid, signal);
    }
}

ProgramResult RunningProgram::finish(std::chrono::milliseconds guard)
{
    ProgramResult result;
    const Clock::time_point end = Clock::now() + guard;
    while (readSome(std::chrono::milliseconds(50))) {
        if (Clock::now() >= end) {
            sendSignal(SIGKILL);
            break;
        }
    }
    if (m_pid > 0) {
        int status = 0;
        rusage usage{};
        ::wait4(m_pid, &status, 0, &usage);
        result.maxResidentKb = usage.ru_maxrss;
        m_pid = -1;
        if (WIFEXITED(status)) {
            result.exitStatus = WEXITSTATUS(status);
        } else if (WIFSIGNALED(status)) {
            result.signal = WTERMSIG(status);
        }
    }
    result.out = m_out;
    result.err = m_err;
    return result;
}

ProgramResult runRenderer(const std::vector<std::string>& arguments, bool stderrIsTerminal)
{
    RunningProgram program(arguments, stderrIsTerminal);
    if (!program.started()) {
        return {};
    }
    return program.finish();
}

} // namespace qv::test
