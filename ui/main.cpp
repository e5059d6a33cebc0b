// The quorvalis program: start-up, the two windows, and the event loop until quit.
#include "app/app_state.h"
#include "palette/palette_random.h"
#include "ui/pixel_scaling.h"
#include "ui/qt_program.h"
#include "ui/qt_prompts.h"
#include "ui/qt_startup.h"

#include <string>
#include <thread>

#include <QApplication>

namespace {

// The argument text as the program was given it: the words joined by blanks.
std::string argumentText(int argc, char** argv)
{
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) {
            text.push_back(' ');
        }
        text += argv[i];
    }
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    qv::useWholeNumberScaling();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorvalis"));
    // Quitting is the program's own decision (Exit, or closing either window).
    QApplication::setQuitOnLastWindowClosed(false);

    qv::AppState app;
    qv::QtPrompts prompts;
    qv::ClockSeededRandom random;
    qv::QtProgram program(app, prompts, random);

    qv::SingleInstanceLock lock(qv::SingleInstanceLock::defaultPath());
    qv::WindowStartup startup;
    startup.screen = qv::primaryScreenFacts();
    startup.reportedProcessors = std::thread::hardware_concurrency();
    startup.argumentText = argumentText(argc, argv);
    std::string parameterFile;
    if (!qv::startUpWithWindows(app, lock, startup, program.services(), parameterFile)) {
        return 0;
    }
    if (!parameterFile.empty()) {
        program.loadStartupFile(parameterFile);
    }
    program.createWindows();
    return QApplication::exec();
}
