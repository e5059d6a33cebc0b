// make_gallery: writes the gallery's parameter files, each with its thumbnail, from the views
// listed in a text file, through the program's own renderers and savers.
//
//   make_gallery VIEWS.txt OUTPUT-FOLDER
//
// One view per line (# starts a comment):
//   NAME.EXT WxH MODE ITER FLAGS S1 S2 S3 T1 T2 T3 E1 E2 E3 OFFSET M XMIN XMAX YMIN YMAX
//   NAME.EXT WxH MODE ITER FLAGS S1 S2 S3 T1 T2 T3 E1 E2 E3 OFFSET J CR CI XMIN XMAX YMIN YMAX
// EXT chooses the kind (.fra, .fdz, .fpi, .fpz); the picture is rendered at WxH; FLAGS are the
// colour flags (palette options in bits 4..8); S, T and E are the palette's starts, steps and
// stops. Deep zoom follows from the window, as it does in the program.
#include "app/app_state.h"
#include "app/render_entry.h"
#include "app/render_observer.h"
#include "app/shell_services.h"
#include "app/startup.h"
#include "cli/headless_host.h"
#include "engine/view_state.h"
#include "imaging/picture_files.h"
#include "palette/palette_generator.h"
#include "palette/palette_random.h"
#include "persistence/parameter_files.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

namespace {

using namespace qv;

struct View
{
    std::string name;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t mode = 1;
    std::int32_t iterMax = 0;
    std::uint32_t flags = 0;
    PaletteParameters palette;
    std::int32_t offset = 0;
    bool mandelbrot = true;
    std::string cr, ci, xmin, xmax, ymin, ymax;
};

bool parse(const std::string& line, View& v)
{
    std::istringstream in(line);
    std::string size, type;
    in >> v.name >> size >> v.mode >> v.iterMax >> v.flags;
    for (auto* channel : {&v.palette.start, &v.palette.step, &v.palette.stop}) {
        for (float& value : *channel) {
            in >> value;
        }
    }
    in >> v.offset >> type;
    v.mandelbrot = type == "M";
    if (!v.mandelbrot) {
        in >> v.cr >> v.ci;
    }
    in >> v.xmin >> v.xmax >> v.ymin >> v.ymax;
    const auto x = size.find('x');
    if (!in || x == std::string::npos || (type != "M" && type != "J")) {
        return false;
    }
    v.width = std::stoi(size.substr(0, x));
    v.height = std::stoi(size.substr(x + 1));
    return v.width > 0 && v.height > 0;
}

bool endsWith(const std::string& s, const char* end)
{
    const std::string e(end);
    return s.size() >= e.size() && s.compare(s.size() - e.size(), e.size(), e) == 0;
}

/// Renders one view and saves it with its thumbnail; false when anything failed.
bool makeView(const View& v, const std::string& folder)
{
    auto app = std::make_unique<AppState>();
    cli::SilentPrompts prompts;
    QuietObserver observer;
    cli::HeadlessPaletteHost paletteHost(*app);
    ClockSeededRandom random;
    ShellServices services{prompts, observer, paletteHost, random};
    const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
    startUpWithoutWindows(*app, StartupEnvironment{1280, 1024, processors, ""}, services);
    app->render.firstPicture = 0;

    RenderSettings& settings = app->settings;
    settings.pictureWidth = v.width;
    settings.pictureHeight = v.height;
    settings.threads = static_cast<std::int32_t>(processors);
    settings.multiThreaded = processors > 1 ? 1 : 0;
    settings.colourFlags = v.flags;
    app->paletteState.parameters = v.palette;
    app->paletteState.options = optionsFromColourFlags(v.flags);
    app->paletteState.paletteOffset = v.offset;
    PaletteContext palette = paletteContext(*app, services);
    generatePalette(palette, PaletteMode::FromParameters);

    ViewState& view = app->view;
    view.modeWord = v.mandelbrot ? 1u : 2u;
    setDrawingMode(view.modeWord, v.mode);
    view.iterMax = v.iterMax;
    app->shell.juliaShown = 1;
    const WindowRef w = currentWindow(view);
    w.xmin.text = v.xmin;
    w.xmax.text = v.xmax;
    w.ymin.text = v.ymin;
    w.ymax.text = v.ymax;
    if (!v.mandelbrot) {
        view.julia.cr.text = v.cr;
        view.julia.ci.text = v.ci;
    }
    if (!takeTypedView(view, viewContext(*app), observer, TypedView::Window)) {
        return false;
    }

    const std::atomic<int> never{0};
    cli::HeadlessProgress progress(never, nullptr);
    RenderOptions options;
    options.idleDeepWorkers = false;
    renderView(*app, progress, observer, options);

    const std::string path = folder + "/" + v.name;
    QtPictureWriter pictures(*app);
    const bool deep = view.deepZoom != 0;
    if (endsWith(v.name, ".fra") && !deep) {
        return saveStandardFile(*app, pictures, path);
    }
    if (endsWith(v.name, ".fdz") && deep) {
        return saveDeepFile(*app, pictures, path);
    }
    if (endsWith(v.name, ".fpi") && !deep) {
        return saveStandardFileWithImage(*app, observer, pictures, path);
    }
    if (endsWith(v.name, ".fpz") && deep) {
        return saveDeepFileWithImage(*app, pictures, path);
    }
    std::fprintf(stderr, "make_gallery: %s: the kind does not fit the view's precision\n",
                 v.name.c_str());
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_gallery VIEWS.txt OUTPUT-FOLDER\n");
        return 64;
    }
    std::ifstream views(argv[1]);
    if (!views) {
        std::fprintf(stderr, "make_gallery: cannot read %s\n", argv[1]);
        return 2;
    }
    std::string line;
    int lineNumber = 0;
    while (std::getline(views, line)) {
        ++lineNumber;
        if (line.find_first_not_of(" \t") == std::string::npos ||
            line[line.find_first_not_of(" \t")] == '#') {
            continue;
        }
        View v;
        if (!parse(line, v)) {
            std::fprintf(stderr, "make_gallery: %s:%d: not a view\n", argv[1], lineNumber);
            return 64;
        }
        if (!makeView(v, argv[2])) {
            std::fprintf(stderr, "make_gallery: %s could not be made\n", v.name.c_str());
            return 2;
        }
    }
    return 0;
}
