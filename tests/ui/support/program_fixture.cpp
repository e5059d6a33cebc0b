// ProgramFixture: start-up for the window tests.
#include "tests/ui/support/program_fixture.h"

#include <QRegularExpression>
#include <QTest>

namespace qv::test {

void failOnWarnings()
{
    QTest::failOnWarning(
        QRegularExpression(QStringLiteral("^(?!This plugin does not support ).*")));
}

QString lockFolder()
{
    static QTemporaryDir folder;
    return folder.path();
}

ProgramFixture::ProgramFixture(ScreenFacts screen, unsigned processors, const QString& lockName,
                               std::string argumentText)
    : ProgramFixture(screen, processors, lockName, std::move(argumentText), true)
{
    start();
}

ProgramFixture::ProgramFixture(ScreenFacts screen, unsigned processors, const QString& lockName,
                               std::string argumentText, bool)
    : lock(lockFolder() + QLatin1Char('/') + lockName)
{
    startup.screen = screen;
    startup.reportedProcessors = processors;
    startup.argumentText = std::move(argumentText);
    // Idle-priority deep workers could wait for minutes behind the other tests that CTest runs
    // at the same time; these tests are about the windows, not about priorities.
    program.renderOptions().idleDeepWorkers = false;
}

bool ProgramFixture::start()
{
    started = startUpWithWindows(app, lock, startup, program.services(), parameterFile);
    return started;
}

bool ProgramFixture::showWindows()
{
    program.createWindows();
    return QTest::qWaitForWindowExposed(&program.pictureWindow());
}

} // namespace qv::test
