// Start-up without the window system.
#include "app/startup.h"

#include "base/number_text.h"
#include "base/round_half_even.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <system_error>

namespace qv {

PictureSize pictureSizeForScreen(std::int32_t screenWidth)
{
    if (screenWidth > 1024) {
        return {640, 480};
    }
    if (screenWidth == 1024) {
        return {512, 384};
    }
    return {352, 288};
}

std::int32_t processorCountFrom(unsigned reported, Prompts& prompts)
{
    if (reported > 0) {
        return static_cast<std::int32_t>(
            std::min<unsigned>(reported, std::numeric_limits<std::int32_t>::max()));
    }
    const auto answer = prompts.inputText(kProcessorPrompt, "1");
    // Out-of-range answers round to INT32_MIN and so end as 1 as well.
    const std::int32_t count = roundHalfEven(fieldValue(answer.value_or("")));
    return std::max(count, 1);
}

StartValues startValues(std::int32_t screenWidth, std::int32_t screenHeight,
                        std::int32_t processorCount)
{
    StartValues start;
    const PictureSize size = pictureSizeForScreen(screenWidth);
    start.settings.pictureWidth = size.width;
    start.settings.pictureHeight = size.height;
    start.settings.multiThreaded = processorCount > 1 ? 1 : 0;
    start.settings.threads = processorCount;
    start.shell.screenWidth = screenWidth;
    start.shell.screenHeight = screenHeight;
    start.shell.processorCount = processorCount;
    return start;
}

void resetCoordinates(AppState& app, ShellObserver& observer)
{
    ViewState& view = app.view;
    resetView(view);
    view.potValue = 0.0001;
    app.settings.unzoomFactor = 1.02f;
    app.shell.pictureFromImage = 0;
    app.shell.pictureValid = 0;
    view.iterMax = 100;
    observer.showIterMax(decimalText(static_cast<std::int64_t>(view.iterMax)));
    app.settings.autoPotValue = 0;
    app.shell.currentFileName.clear();
    app.settings.boxedZoom = 0;
    observer.showBoxedZoom(false);
    view.deepZoom = 0;
    observer.showDeepZoom(false);
    setPrecision(view, kMinPrecisionBits);
    observer.showAutoPotValue(false);
    observer.showPotValue(potValueText(view.potValue));
    // The new window needs its pixel steps, its GMP copies and its deep limit before it is
    // rendered.
    applyViewChange(view, viewContext(app), observer);
    observer.requestRepaint();
}

std::string commandLineArgument(std::string_view argumentText)
{
    std::string path(argumentText);
    std::erase(path, '"');
    return path;
}

std::string startUpWithoutWindows(AppState& app, const StartupEnvironment& environment,
                                  ShellServices& services)
{
    const std::int32_t processors =
        processorCountFrom(environment.reportedProcessors, services.prompts);
    const StartValues start =
        startValues(environment.screenWidth, environment.screenHeight, processors);

    app.iterations.allocate(start.settings.pictureWidth, start.settings.pictureHeight);
    app.palette.entries.assign(static_cast<std::size_t>(Palette::kEntries), 0u);

    app.shell = start.shell;
    app.settings = start.settings;
    app.render.firstPicture = 1;
    app.view.modeWord = start.view.modeWord;
    app.view.iterMax = start.view.iterMax;
    app.view.bailout = start.view.bailout;
    app.view.potValue = start.view.potValue;
    app.view.deepZoom = start.view.deepZoom;
    app.paletteState = PaletteState{};
    PaletteContext palette = paletteContext(app, services);
    resetPaletteDefaults(palette);

    clearDeep(app.view);
    setPrecision(app.view, start.view.precisionBits);

    resetCoordinates(app, services.observer);

    const std::string path = commandLineArgument(environment.argumentText);
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(path, error)) {
        return {};
    }
    return path;
}

} // namespace qv
