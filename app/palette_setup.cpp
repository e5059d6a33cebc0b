// The rules behind the palette dialog.
#include "app/palette_setup.h"

#include "base/number_text.h"
#include "engine/colouring.h"
#include "palette/palette_file.h"
#include "palette/palette_generator.h"

#include <algorithm>

namespace qv {

namespace {

constexpr std::int32_t kLastOffsetPosition = 262143;

FileDialogRequest paletteFileRequest(std::string filter)
{
    FileDialogRequest request;
    request.filter = std::move(filter);
    request.defaultExtension = "PAL";
    return request;
}

float fieldFloat(const std::string& text)
{
    return static_cast<float>(fieldValue(text));
}

bool& optionFlag(PaletteOptions& options, PaletteOption option)
{
    switch (option) {
    case PaletteOption::Hsl:
        return options.hsl;
    case PaletteOption::Inverse:
        return options.inverse;
    case PaletteOption::Reverse:
        return options.reverse;
    case PaletteOption::Exp2:
        return options.exp2;
    case PaletteOption::Exp3:
        break;
    }
    return options.exp3;
}

} // namespace

std::array<std::string_view, 3> channelNames(bool hsl)
{
    if (hsl) {
        return {"Hue", "Sat.", "Lum."};
    }
    return {"Red", "Green", "Blue"};
}

std::string paletteFieldText(float value)
{
    return decimalText(static_cast<double>(value), 7);
}

PaletteFields paletteFieldsOf(const PaletteState& state)
{
    PaletteFields fields;
    const PaletteParameters& p = state.parameters;
    for (std::size_t i = 0; i < 3; ++i) {
        fields.parameters[i] = paletteFieldText(p.start[i]);
        fields.parameters[3 + i] = paletteFieldText(p.step[i]);
        fields.parameters[6 + i] = paletteFieldText(p.stop[i]);
    }
    fields.maxColourStep = paletteFieldText(state.maxColourStep);
    return fields;
}

OffsetRange offsetSliderRange(std::int32_t iterMax)
{
    // In 64 bits: a negative iterMax from a damaged file must not overflow.
    const std::int64_t last = std::int64_t{kLastOffsetPosition} - iterMax;
    return {1, static_cast<std::int32_t>(std::clamp<std::int64_t>(last, 1, kLastOffsetPosition))};
}

std::string offsetTitle(std::int32_t paletteOffset)
{
    return std::string(kPaletteDialogTitle) +
           "  Palette offset: " + decimalText(std::int64_t{paletteOffset});
}

Recolouring generateFromFields(AppState& app, ShellServices& services, const PaletteFields& fields)
{
    PaletteState& state = app.paletteState;
    PaletteParameters& p = state.parameters;
    for (std::size_t i = 0; i < 3; ++i) {
        p.start[i] = fieldFloat(fields.parameters[i]);
        p.step[i] = fieldFloat(fields.parameters[3 + i]);
        p.stop[i] = fieldFloat(fields.parameters[6 + i]);
    }
    state.maxColourStep = fieldFloat(fields.maxColourStep);
    if (state.maxColourStep == 0.0f) {
        state.maxColourStep = 1.0f;
    }
    PaletteContext context = paletteContext(app, services);
    generatePalette(context, PaletteMode::FromParameters);
    return recolourPicture(app, services);
}

PaletteFields drawRandomPalette(AppState& app, ShellServices& services)
{
    PaletteContext context = paletteContext(app, services);
    generatePalette(context, PaletteMode::Random);
    return paletteFieldsOf(app.paletteState);
}

Recolouring recolourPicture(AppState& app, ShellServices& services)
{
    if ((app.settings.colourFlags & ColourSettings::kSmoothColour) == 0) {
        services.paletteHost.redisplayPicture();
        return Recolouring::Redisplayed;
    }
    // Smoothed pixels hold finished colours: only a new render shows the new table, and a deep
    // render may take long.
    if (app.view.deepZoom != 0 &&
        !services.prompts.askOkCancel(kRedrawQuestion, DefaultButton::Cancel)) {
        return Recolouring::Declined;
    }
    services.paletteHost.clearPictureFromImage();
    services.paletteHost.requestRender();
    return Recolouring::RenderDue;
}

bool paletteOptionOn(const PaletteState& state, PaletteOption option)
{
    PaletteOptions options = state.options;
    return optionFlag(options, option);
}

void setPaletteOption(AppState& app, ShellServices& services, PaletteOption option, bool on)
{
    optionFlag(app.paletteState.options, option) = on;
    if (option == PaletteOption::Inverse) {
        app.settings.colourFlags = on ? app.settings.colourFlags | PaletteOptions::kInverseBit
                                      : app.settings.colourFlags & ~PaletteOptions::kInverseBit;
    }
    services.paletteHost.clearPictureFromImage();
    services.paletteHost.redisplayPicture();
}

void setOffsetFromSlider(AppState& app, ShellServices& services, std::int32_t position)
{
    app.paletteState.paletteOffset = position - 1;
    services.paletteHost.clearPictureFromImage();
    services.paletteHost.redisplayPicture();
}

void savePaletteCommand(AppState& app, ShellServices& services)
{
    const std::string path =
        services.prompts.saveFile(paletteFileRequest("Palette Files (*.pal)|*.PAL|"));
    if (path.empty()) {
        return;
    }
    PaletteContext context = paletteContext(app, services);
    savePaletteFile(context, path);
}

bool loadPaletteCommand(AppState& app, ShellServices& services)
{
    const std::string path =
        services.prompts.openFile(paletteFileRequest("Fractal Files (*.pal)|*.PAL|"));
    // The loader resets the offset even for no file: a cancelled dialog must change nothing.
    if (path.empty()) {
        return false;
    }
    PaletteContext context = paletteContext(app, services);
    if (!loadPaletteFile(context, path)) {
        // A refused file cleared the options and the offset: the picture shows that.
        services.paletteHost.redisplayPicture();
    }
    return true;
}

} // namespace qv
