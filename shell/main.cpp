// The quorvalis program. Until the windows exist it runs the start-up that needs no window,
// loads a parameter file named on the command line, and prints the view it starts with.
#include "engine/view_state.h"
#include "persistence/parameter_files.h"
#include "shell/app_state.h"
#include "shell/prompts.h"
#include "shell/shell_observer.h"
#include "shell/startup.h"

#include <iostream>
#include <string>
#include <thread>

namespace {

// Questions asked on the terminal.
class ConsolePrompts : public qv::Prompts
{
public:
    void message(std::string_view text, std::string_view title) override
    {
        std::cerr << title << ": " << text << '\n';
    }

    bool askOkCancel(std::string_view text) override { return askYes(text, "[ok/cancel]"); }

    bool askYesNo(std::string_view text) override { return askYes(text, "[yes/no]"); }

    std::optional<std::string> inputText(std::string_view prompt,
                                         std::string_view proposed) override
    {
        std::cerr << prompt << " [" << proposed << "] ";
        std::string line;
        if (!std::getline(std::cin, line)) {
            return std::nullopt;
        }
        return line.empty() ? std::string(proposed) : line;
    }

    std::string openFile(const qv::FileDialogRequest& request) override { return askPath(request); }

    std::string saveFile(const qv::FileDialogRequest& request) override { return askPath(request); }

private:
    static bool askYes(std::string_view text, std::string_view choices)
    {
        std::cerr << text << ' ' << choices << ' ';
        std::string line;
        return std::getline(std::cin, line) && (line == "ok" || line == "yes" || line == "y");
    }

    static std::string askPath(const qv::FileDialogRequest& request)
    {
        std::cerr << request.title << " (path, empty to cancel): ";
        std::string line;
        return std::getline(std::cin, line) ? line : std::string();
    }
};

// Keeps the title; there are no dialogs yet whose controls could follow the view.
class ConsoleObserver : public qv::ShellObserver
{
public:
    void setMainTitle(std::string_view title) override { m_title = title; }

    void showPotValue(std::string_view) override {}

    void showDeepZoom(bool) override {}

    void showIterMax(std::string_view) override {}

    void refreshLocationFields() override {}

    void showBoxedZoom(bool) override {}

    void showAutoPotValue(bool) override {}

    void requestRepaint() override {}

    void showFractalType(bool, bool) override {}

    void showMultiThreaded(bool) override {}

    void setMenuTitle(std::string_view) override {}

    void sizePictureWindow(std::int32_t, std::int32_t) override {}

    const std::string& title() const { return m_title; }

private:
    std::string m_title;
};

// Without windows there is no dialog to reopen and no picture to show: the palette's requests
// only touch the program's flags.
class ConsolePaletteHost : public qv::PaletteHost
{
public:
    explicit ConsolePaletteHost(qv::AppState& app) : m_app(app) {}

    void clearPictureFromImage() override { m_app.shell.pictureFromImage = 0; }

    void reopenPaletteDialog() override {}

    void redisplayPicture() override {}

    void requestRender() override { m_app.shell.pictureValid = 0; }

private:
    qv::AppState& m_app;
};

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
    qv::StartupEnvironment environment;
    // No screen can be read before the windows exist: a 1280 x 1024 screen is assumed.
    environment.screenWidth = 1280;
    environment.screenHeight = 1024;
    environment.reportedProcessors = std::thread::hardware_concurrency();
    environment.argumentText = argumentText(argc, argv);

    qv::AppState app;
    ConsolePrompts prompts;
    ConsoleObserver observer;
    ConsolePaletteHost paletteHost(app);
    qv::ClockSeededRandom random;
    qv::ShellServices services{prompts, observer, paletteHost, random};
    const std::string parameterFile = qv::startUpWithoutWindows(app, environment, services);
    bool loaded = false;
    if (!parameterFile.empty()) {
        loaded = qv::loadParameterFile(app, services, parameterFile);
        if (loaded) {
            app.shell.currentFileName = parameterFile;
        }
    }

    const qv::ViewState& view = app.view;
    const qv::MandelbrotNumbers& m = view.mandelbrot;
    const qv::JuliaNumbers& j = view.julia;
    const bool mandelbrot = qv::isMandelbrot(view);
    const std::int32_t mode = qv::drawingMode(view.modeWord);
    std::cout << observer.title() << '\n'
              << "type:        " << (mandelbrot ? "Mandelbrot" : "Julia") << ", drawing mode "
              << mode << " (" << qv::drawingModeChar(mode) << ")\n"
              << "real:        " << (mandelbrot ? m.xmin.text : j.xmin.text) << " .. "
              << (mandelbrot ? m.xmax.text : j.xmax.text) << '\n'
              << "imaginary:   " << (mandelbrot ? m.ymin.text : j.ymin.text) << " .. "
              << (mandelbrot ? m.ymax.text : j.ymax.text) << '\n';
    if (!mandelbrot) {
        std::cout << "constant:    " << j.cr.text << ", " << j.ci.text << '\n';
    }
    std::cout << "iterMax:     " << view.iterMax << '\n'
              << "bailout:     " << view.bailout << '\n'
              << "pot value:   " << view.potValue << '\n'
              << "colourFlags: " << app.settings.colourFlags << '\n'
              << "deep zoom:   " << (view.deepZoom != 0 ? "on" : "off") << '\n'
              << "precision:   " << view.precisionBits << " bits\n"
              << "deepLimit:   " << view.deepLimit << '\n'
              << "picture:     " << app.settings.pictureWidth << " x " << app.settings.pictureHeight
              << '\n'
              << "threads:     " << app.settings.threads
              << (app.settings.multiThreaded != 0 ? " (multi-threaded)" : "") << '\n';
    if (!parameterFile.empty()) {
        std::cout << "parameter file: " << parameterFile << (loaded ? "" : " (not loaded)") << '\n';
    }
    return parameterFile.empty() || loaded ? 0 : 1;
}
