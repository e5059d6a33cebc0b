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

void ProgramFixture::dispatchAnswering(CommandId id, std::optional<std::string> reply)
{
    prompts.answer(std::move(reply));
    program.dispatchCommand(id);
}

bool waitForPicture(ProgramFixture& f, int timeoutMs)
{
    return QTest::qWaitFor(
        [&] { return f.app.shell.pictureValid == 1 && f.app.shell.rendering == 0; }, timeoutMs);
}

std::unique_ptr<ProgramFixture> renderedProgram(unsigned processors)
{
    auto f = std::make_unique<ProgramFixture>(ScreenFacts{800, 600, 32}, processors);
    if (!f->showWindows() || !waitForPicture(*f)) {
        return {};
    }
    return f;
}

bool typeMandelbrotWindow(ProgramFixture& f, std::string xmin, std::string xmax, std::string ymin,
                          std::string ymax)
{
    auto& m = f.app.view.mandelbrot;
    m.xmin.text = std::move(xmin);
    m.xmax.text = std::move(xmax);
    m.ymin.text = std::move(ymin);
    m.ymax.text = std::move(ymax);
    return takeTypedView(f.app.view, viewContext(f.app), f.program, TypedView::Window);
}

} // namespace qv::test
