// Start-up with the window system: the single-instance lock, the colour-depth warning, the
// screen, then the window-free steps; and the program's entry over them.
#pragma once

#include "app/app_state.h"
#include "app/shell_services.h"

#include <memory>
#include <string>

#include <QLockFile>
#include <QString>

namespace qv {

/// The per-user lock that lets one copy of the program run at a time.
class SingleInstanceLock
{
public:
    enum class Outcome {
        Acquired,
        AlreadyRunning, ///< another running copy holds it
        Failed,         ///< the lock file cannot be made
    };

    /// A lock in the file `path` (see defaultPath).
    explicit SingleInstanceLock(const QString& path);

    /// "Quorvalis.lock" in the user's runtime folder, or in the temporary folder with the
    /// user's id when there is none.
    static QString defaultPath();

    /// Takes the lock if no running copy holds it. A lock left by a copy that ended without
    /// releasing it is taken over.
    Outcome acquire();

private:
    std::unique_ptr<QLockFile> m_lock;
};

/// What start-up reads from the window system and the process.
struct ScreenFacts
{
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t depth = 32; ///< bits per pixel
};

/// The primary screen's size and depth.
ScreenFacts primaryScreenFacts();

struct WindowStartup
{
    ScreenFacts screen;
    unsigned reportedProcessors = 0;
    std::string argumentText;
};

/// Start-up up to the windows: the lock ("Already running" and false when another copy runs;
/// false without a word when the lock cannot be made), the warning below 24 bits per pixel,
/// then the window-free steps. On true, `parameterFile` is the existing file named on the
/// command line, or empty.
bool startUpWithWindows(AppState& app, SingleInstanceLock& lock, const WindowStartup& startup,
                        ShellServices& services, std::string& parameterFile);

} // namespace qv
