// The menu table and the commands that need no window.
#include "app/commands.h"

#include "app/startup.h"
#include "palette/palette_generator.h"

namespace qv {

namespace {

constexpr std::array<MenuItem, 9> kFileMenu = {{
    {"Browse fractals", CommandId::BrowseFractals},
    {"Load Fractal", CommandId::LoadFractal},
    {"Load Fractal with image", CommandId::LoadFractalWithImage},
    {"Save Fractal", CommandId::SaveFractal},
    {"Save Fractal with image", CommandId::SaveFractalWithImage},
    {"Save Picture", CommandId::SavePicture},
    {"Statistics", CommandId::Statistics},
    {"-", CommandId::Separator},
    {"Exit", CommandId::Exit},
}};

constexpr std::array<MenuItem, 5> kFractalMenu = {{
    {"Fractal Parameters", CommandId::FractalParameters},
    {"Location", CommandId::Location},
    {"Palette control", CommandId::PaletteControl},
    {"Julia finder", CommandId::JuliaFinder},
    {"Original Mandelbrot", CommandId::OriginalMandelbrot},
}};

constexpr std::array<MenuItem, 3> kMovieMenu = {{
    {"Make movie to disk", CommandId::MakeMovieToDisk},
    {"Realtime zoom movie", CommandId::RealtimeZoomMovie},
    {"Play movie", CommandId::PlayMovie},
}};

constexpr std::array<MenuItem, 2> kHelpMenu = {{
    {"Info", CommandId::Info},
    {"Open helpfile", CommandId::OpenHelpfile},
}};

constexpr std::array<MenuColumn, 4> kMenu = {{
    {"File", kFileMenu},
    {"Fractal", kFractalMenu},
    {"Zoom movie", kMovieMenu},
    {"Help", kHelpMenu},
}};

} // namespace

std::span<const MenuColumn> menuTable()
{
    return kMenu;
}

bool commandAvailable(CommandId id)
{
    switch (id) {
    case CommandId::BrowseFractals:
    case CommandId::LoadFractal:
    case CommandId::LoadFractalWithImage:
    case CommandId::SaveFractal:
    case CommandId::SaveFractalWithImage:
    case CommandId::SavePicture:
    case CommandId::Exit:
    case CommandId::FractalParameters:
    case CommandId::OriginalMandelbrot:
    case CommandId::PaletteControl:
    case CommandId::JuliaFinder:
    case CommandId::MakeMovieToDisk:
    case CommandId::RealtimeZoomMovie:
    case CommandId::PlayMovie:
    case CommandId::Location:
    case CommandId::Statistics:
    case CommandId::Info:
    case CommandId::OpenHelpfile:
        return true;
    default:
        return false;
    }
}

bool originalMandelbrot(AppState& app, ShellServices& services)
{
    app.paletteState.options = PaletteOptions{};
    app.shell.pictureValid = 0;
    app.shell.pictureFromImage = 0;
    const bool wasDeep = app.view.deepZoom != 0;
    app.view.deepZoom = 0;
    services.observer.showDeepZoom(false);
    if (services.prompts.askOkCancel(kMainMandelbrotQuestion)) {
        mainMandelbrot(app, services);
        return true;
    }
    if (wasDeep) {
        // The GMP numbers hold the view: the view-change step switches deep zoom on again when
        // the depth needs it.
        applyDeepViewChange(app.view, viewContext(app), services.observer);
    }
    return false;
}

void mainMandelbrot(AppState& app, ShellServices& services)
{
    app.view.modeWord = 5;
    resetCoordinates(app, services.observer);
    app.shell.lastFilePath.clear();
    app.view.iterMax = 100;
    app.settings.colourFlags = 4;
    app.view.bailout = 100.0;
    app.shell.pictureFromImage = 0;
    app.shell.juliaShown = 0;
    app.shell.mandelbrotShown = 0;
    app.settings.autoIterIncrease = 1;
    app.view.modeWord = 5;
    app.view.deepZoom = 0;
    services.observer.showDeepZoom(false);
    app.shell.pictureValid = 0;
    app.paletteState.paletteOffset = 0;
    PaletteContext palette = paletteContext(app, services);
    resetPaletteDefaults(palette);
    services.observer.requestRepaint();
}

} // namespace qv
