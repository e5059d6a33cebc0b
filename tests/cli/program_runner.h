// Runs the built quorvalis-render as a child process with its output captured, the way a
// script or a person at a terminal would run it.
#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace qv::test {

/// How a finished run ended and what it printed.
struct ProgramResult
{
    int exitStatus = -1;    ///< -1 when the program ended by a signal
    int signal = 0;         ///< the signal that ended it, 0 for a normal exit
    long maxResidentKb = 0; ///< the most memory it held at once
    std::string out;
    std::string err;
};

/// One running program. stdout is a pipe; stderr is a pipe or, when asked, the slave side of
/// a pseudo-terminal, so that the program sees a terminal there.
class RunningProgram
{
public:
    explicit RunningProgram(const std::vector<std::string>& arguments,
                            bool stderrIsTerminal = false);
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;
    /// Kills a program still running: no test leaves a child behind.
    ~RunningProgram();

    bool started() const { return m_pid > 0; }

    /// Reads until stdout holds `text` or the program closes it; false if neither happened
    /// within `guard`.
    bool waitForOutput(const std::string& text, std::chrono::milliseconds guard);

    /// The same for stderr.
    bool waitForError(const std::string& text, std::chrono::milliseconds guard);

    void sendSignal(int signal);

    /// Reads everything until the program ends and returns how it ended. A program still
    /// running after `guard` is killed (signal SIGKILL in the result).
    ProgramResult finish(std::chrono::milliseconds guard = std::chrono::seconds(120));

private:
    /// Reads what is available, waiting at most `wait`; false once both outputs are closed.
    bool readSome(std::chrono::milliseconds wait);
    bool waitFor(const std::string& stream, const std::string& text,
                 std::chrono::milliseconds guard);

    pid_t m_pid = -1;
    int m_outFd = -1;
    int m_errFd = -1;
    std::string m_out;
    std::string m_err;
};

/// Runs the program to its end.
ProgramResult runRenderer(const std::vector<std::string>& arguments, bool stderrIsTerminal = false);

} // namespace qv::test
