// The --info lines.
#include "cli/info.h"

#include "base/number_text.h"
#include "engine/view_state.h"

#include <array>
#include <cstdio>

namespace qv::cli {
namespace {

/// 17 significant digits give back every double, 9 every float; "%g" drops trailing zeros.
std::string shortest(double value, int significant)
{
    std::array<char, 64> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%.*g", significant, value);
    return buffer.data();
}

std::string allDigits(const ViewNumber& number)
{
    std::string text;
    mpfToText(number.mp(), text);
    return text;
}

void line(std::string& out, std::string_view key, std::string_view value)
{
    out += key;
    out += ": ";
    out += value;
    out += '\n';
}

} // namespace

std::string infoText(const AppState& app)
{
    const ViewState& view = app.view;
    const bool mandelbrot = isMandelbrot(view);
    std::string out;
    line(out, "type", mandelbrot ? "Mandelbrot" : "Julia");
    line(out, "mode", std::to_string(drawingMode(view.modeWord)));
    line(out, "iterMax", std::to_string(view.iterMax));
    line(out, "bailout", shortest(view.bailout, 17));
    line(out, "potValue", shortest(view.potValue, 17));
    line(out, "colourFlags", std::to_string(app.settings.colourFlags));
    line(out, "deepZoom", std::to_string(view.deepZoom));
    line(out, "precisionBits", std::to_string(view.precisionBits));
    line(out, "deepLimit", std::to_string(view.deepLimit));
    line(out, "size",
         std::to_string(app.settings.pictureWidth) + "x" +
             std::to_string(app.settings.pictureHeight));
    if (mandelbrot) {
        const MandelbrotNumbers& m = view.mandelbrot;
        line(out, "xmin", allDigits(m.xmin));
        line(out, "xmax", allDigits(m.xmax));
        line(out, "ymin", allDigits(m.ymin));
        line(out, "ymax", allDigits(m.ymax));
    } else {
        const JuliaNumbers& j = view.julia;
        line(out, "xmin", allDigits(j.xmin));
        line(out, "xmax", allDigits(j.xmax));
        line(out, "ymin", allDigits(j.ymin));
        line(out, "ymax", allDigits(j.ymax));
        line(out, "cr", allDigits(j.cr));
        line(out, "ci", allDigits(j.ci));
    }
    const PaletteParameters& p = app.paletteState.parameters;
    std::string palette;
    for (const auto* channel : {&p.start, &p.step, &p.stop}) {
        for (const float v : *channel) {
            if (!palette.empty()) {
                palette.push_back(' ');
            }
            palette += shortest(static_cast<double>(v), 9);
        }
    }
    line(out, "palette", palette);
    line(out, "paletteOffset", std::to_string(app.paletteState.paletteOffset));
    return out;
}

} // namespace qv::cli
