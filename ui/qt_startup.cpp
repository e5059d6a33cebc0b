// Start-up with the window system.
#include "ui/qt_startup.h"

#include "app/commands.h"
#include "app/startup.h"

#include <unistd.h>

#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>

namespace qv {

SingleInstanceLock::SingleInstanceLock(const QString& path)
    : m_lock(std::make_unique<QLockFile>(path))
{
    // A running copy holds its lock for as long as it runs: age alone never makes it stale.
    m_lock->setStaleLockTime(0);
}

QString SingleInstanceLock::defaultPath()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty()) {
        return runtime + QStringLiteral("/Quorvalis.lock");
    }
    return QDir::tempPath() + QStringLiteral("/Quorvalis-%1.lock").arg(getuid());
}

SingleInstanceLock::Outcome SingleInstanceLock::acquire()
{
    if (m_lock->tryLock(0)) {
        return Outcome::Acquired;
    }
    return m_lock->error() == QLockFile::LockFailedError ? Outcome::AlreadyRunning
                                                         : Outcome::Failed;
}

ScreenFacts primaryScreenFacts()
{
    ScreenFacts facts;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        facts.width = screen->geometry().width();
        facts.height = screen->geometry().height();
        facts.depth = screen->depth();
    }
    return facts;
}

bool startUpWithWindows(AppState& app, SingleInstanceLock& lock, const WindowStartup& startup,
                        ShellServices& services, std::string& parameterFile)
{
    switch (lock.acquire()) {
    case SingleInstanceLock::Outcome::Acquired:
        break;
    case SingleInstanceLock::Outcome::AlreadyRunning:
        services.prompts.message(kAlreadyRunning, kProgramTitle);
        return false;
    case SingleInstanceLock::Outcome::Failed:
        return false;
    }
    if (startup.screen.depth < 24) {
        services.prompts.message(kColourDepthWarning, kColourDepthTitle);
    }
    StartupEnvironment environment;
    environment.screenWidth = startup.screen.width;
    environment.screenHeight = startup.screen.height;
    environment.reportedProcessors = startup.reportedProcessors;
    environment.argumentText = startup.argumentText;
    parameterFile = startUpWithoutWindows(app, environment, services);
    return true;
}

} // namespace qv
