// The statistics rows and the duration text.
#include "app/statistics.h"

#include "base/number_text.h"
#include "engine/view_state.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace qv {

std::string formatDuration(double seconds)
{
    // nearbyint rounds halves to even in the default rounding mode.
    const auto s = static_cast<std::int64_t>(std::nearbyint(std::max(seconds, 0.0)));
    const std::int64_t h = s / 3600;
    const std::int64_t m = (s - 3600 * h) / 60;
    return decimalText(h) + " h " + decimalText(m) + " m " + decimalText(s - 3600 * h - 60 * m) +
           " s";
}

Statistics statisticsOf(const AppState& app, std::string_view systemName)
{
    Statistics stats;
    stats.heading = isMandelbrot(app.view) ? " MANDELBROT" : " JULIA";
    std::int32_t number = 7;
    auto row = [&stats, &number](std::string label, std::string value) {
        stats.rows.push_back({++number, std::move(label), std::move(value)});
    };
    const std::int32_t width = app.settings.pictureWidth;
    const std::int32_t height = app.settings.pictureHeight;
    row(" Itermax:", decimalText(std::int64_t{app.view.iterMax}) + " iterations");
    row(" Bailout:", decimalText(app.view.bailout));
    row(" Size:", decimalText(std::int64_t{width}) + "x" + decimalText(std::int64_t{height}));
    const float elapsed = app.render.elapsedSeconds;
    if (elapsed > 0.0f) {
        row(" Elapsed time:", elapsed < 60.0f ? elapsedText(elapsed) + " seconds"
                                              : formatDuration(static_cast<double>(elapsed)));
        const double pixels = static_cast<double>(width) * static_cast<double>(height);
        row(" Pixels/sec:", decimalText(static_cast<std::int64_t>(
                                std::nearbyint(pixels / static_cast<double>(elapsed)))));
    } else {
        number += 2;
    }
    const std::int32_t threads = app.settings.multiThreaded != 0 ? app.settings.threads : 1;
    row(" Processors/Threads used:", decimalText(std::int64_t{threads}));
    row(" Precision:", app.view.deepZoom != 0
                           ? decimalText(std::int64_t{app.view.precisionBits}) + " bits"
                           : std::string(" 80 bits"));
    if (app.render.coloursUsed > 0) {
        row(" Colors used:", decimalText(std::int64_t{app.render.coloursUsed}));
        row(" Inside pixels: ", decimalText(app.render.insidePixels));
    } else {
        number += 2;
    }
    std::string system(" ");
    system.append(systemName);
    row(" System version:", std::move(system));
    if (app.render.fastDeep.tried) {
        std::string certificate(" ");
        certificate.append(fastDeepSummary(app.render.fastDeep));
        row(" Fast deep zoom:", std::move(certificate));
    }
    return stats;
}

} // namespace qv
