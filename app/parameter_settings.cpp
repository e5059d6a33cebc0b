// The fractal parameters dialog's rules over the program's records.
#include "app/parameter_settings.h"

#include "app/navigation.h"
#include "base/number_text.h"
#include "base/round_half_even.h"
#include "engine/view_state.h"
#include "palette/palette_generator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <new>
#include <stdexcept>

namespace qv {

namespace {

constexpr std::array<PictureSize, 36> kPictureSizes = {{
    {176, 144},   {320, 240},   {352, 288},   {512, 384},   {640, 480},   {720, 480},
    {720, 576},   {800, 600},   {1024, 600},  {1024, 768},  {1152, 864},  {1280, 720},
    {1280, 960},  {1280, 1024}, {1360, 768},  {1440, 900},  {1440, 1024}, {1440, 1080},
    {1600, 1200}, {1920, 1080}, {1920, 1200}, {2048, 1152}, {2048, 1536}, {2560, 1600},
    {2560, 2048}, {2880, 2048}, {3200, 2048}, {3200, 2400}, {3840, 2400}, {5120, 4096},
    {6400, 4096}, {6400, 4800}, {7680, 4320}, {7680, 4800}, {7680, 5760}, {8192, 6140},
}};

constexpr std::string_view kSizeKeys = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

/// The entry shown when no entry was chosen and the size in force is not in the list.
constexpr std::int32_t kDefaultSizeEntry = 4;

constexpr std::array<std::string_view, 4> kFormatTexts = {"A. JPG", "B. BMP", "C. TIF", "D. PNG"};
constexpr std::array<std::string_view, 4> kFormatCodes = {"JPG", "BMP", "TIF", "PNG"};

constexpr std::uint32_t kInsideColourBit = 1u << 0;
constexpr std::uint32_t kSmoothColourBit = 1u << 1;
constexpr std::uint32_t kColourByPotentialBit = 1u << 2;

constexpr std::array<OptionBoxCaption, 13> kOptionBoxes = {{
    {OptionBox::InsideColour, "Inside color"},
    {OptionBox::ColourByPotential, "Color by potential"},
    {OptionBox::BoxedZoom, "Boxed zoom"},
    {OptionBox::AutoIterIncrease, "Auto iter increase"},
    {OptionBox::Mandelbrot, "Mandelbrot"},
    {OptionBox::Julia, "Julia"},
    {OptionBox::SmoothColour, "Smooth color"},
    {OptionBox::AutosaveParameter, "Autosave parameter"},
    {OptionBox::MultiThreaded, "Multi-threaded"},
    {OptionBox::DeepZoom, "Deep zoom"},
    {OptionBox::AutoPotValue, "Auto pot value"},
    {OptionBox::UnzoomVideo, "Unzoom video"},
    {OptionBox::FastDeepZoom, "Fast deep zoom"},
}};

/// What choosing a drawing mode sets besides the mode.
struct TextureRule
{
    double bailout;
    bool colourByPotential;
    bool smoothColour;
    float maxColourStep;
};

TextureRule textureRule(std::int32_t mode)
{
    if (mode == 1) {
        return {128.0, true, false, 1.9f};
    }
    if (mode == 2) {
        return {4.0, false, true, 5.0f};
    }
    if (mode >= 26) {
        return {4.0, true, true, 5.0f};
    }
    return {4.0, false, false, 5.0f};
}

void toggle(std::int32_t& flag)
{
    flag = flag != 0 ? 0 : 1;
}

void setBit(std::uint32_t& word, std::uint32_t bit, bool on)
{
    word = on ? (word | bit) : (word & ~bit);
}

/// Mandelbrot and Julia change places (bits 0 and 1 of the mode word).
void swapType(ViewState& view)
{
    view.modeWord ^= 3u;
}

/// The type is now Mandelbrot: nothing of it has been shown since, and its window becomes the
/// current view again in the form it needs. The GMP numbers hold it whichever form the Julia
/// view used, so a deep Mandelbrot view is not drawn from its rounded extended copy.
void becomeMandelbrot(AppState& app, ShellObserver& observer)
{
    app.view.modeWord &= ~2u;
    app.shell.mandelbrotShown = 0;
    app.shell.juliaShown = 0;
    applyDeepViewChange(app.view, viewContext(app), observer);
}

/// "Julia" ticked on a Mandelbrot view: the constant is the centre of the Mandelbrot window and
/// the Julia set is shown at its default window, so the next click zooms into it.
void becomeJulia(AppState& app, ShellObserver& observer)
{
    swapType(app.view);
    // The default window first: the view-change step of the constant's pick then fits the
    // pixel steps to it, and a deep constant keeps its digits.
    resetView(app.view);
    const std::int32_t x = roundHalfEven(app.settings.pictureWidth / 2.0);
    const std::int32_t y = roundHalfEven(app.settings.pictureHeight / 2.0);
    pickJuliaConstant(app, x, y, observer);
    app.shell.juliaShown = 1;
    app.settings.autoPotValue = 0;
    observer.showAutoPotValue(false);
}

void showType(const ViewState& view, ShellObserver& observer)
{
    observer.showFractalType(isMandelbrot(view), (view.modeWord & 2u) != 0);
}

bool fitsInt32(double v)
{
    return v >= -2147483648.5 && v < 2147483647.5;
}

} // namespace

std::span<const PictureSize> pictureSizeTable()
{
    return kPictureSizes;
}

std::string pictureSizeText(std::size_t entry)
{
    if (entry >= kPictureSizes.size()) {
        return {};
    }
    const PictureSize size = kPictureSizes[entry];
    return std::string(1, kSizeKeys[entry]) + " " + decimalText(std::int64_t{size.width}) + " x " +
           decimalText(std::int64_t{size.height});
}

std::int32_t shownPictureSizeEntry(const RenderSettings& settings)
{
    const auto count = static_cast<std::int32_t>(kPictureSizes.size());
    if (settings.pictureSizeIndex > 0 && settings.pictureSizeIndex < count) {
        return settings.pictureSizeIndex;
    }
    // No entry was chosen, or the first one was: show the size in force rather than a size
    // the picture does not have.
    const PictureSize inForce{settings.pictureWidth, settings.pictureHeight};
    const auto found = std::find(kPictureSizes.begin(), kPictureSizes.end(), inForce);
    if (found != kPictureSizes.end()) {
        return static_cast<std::int32_t>(found - kPictureSizes.begin());
    }
    return kDefaultSizeEntry;
}

std::span<const std::string_view> pictureFormatTexts()
{
    return kFormatTexts;
}

void choosePictureFormat(RenderSettings& settings, std::int32_t entry)
{
    if (entry < 0 || entry >= static_cast<std::int32_t>(kFormatCodes.size())) {
        return;
    }
    settings.pictureFormatIndex = entry;
    settings.pictureFormatCode = std::string(kFormatCodes[static_cast<std::size_t>(entry)]);
}

std::string textureText(std::int32_t entry)
{
    if (entry < 0 || entry >= kTextureCount) {
        return {};
    }
    if (entry == 0) {
        return "Normal  0";
    }
    return "Texture " + std::string(1, kModeChars[static_cast<std::size_t>(entry)]);
}

std::int32_t shownTextureEntry(const ViewState& view)
{
    return std::max(drawingMode(view.modeWord) - 1, 0);
}

void chooseTexture(AppState& app, std::int32_t entry, ShellServices& services)
{
    if (entry < 0 || entry >= kTextureCount) {
        return;
    }
    const std::int32_t mode = entry + 1;
    setDrawingMode(app.view.modeWord, mode);
    const TextureRule rule = textureRule(mode);
    app.view.bailout = rule.bailout;
    setBit(app.settings.colourFlags, kColourByPotentialBit, rule.colourByPotential);
    setBit(app.settings.colourFlags, kSmoothColourBit, rule.smoothColour);
    app.paletteState.maxColourStep = rule.maxColourStep;
    if (app.paletteState.randomPaletteFlag) {
        // The palette stays; an open palette dialog still shows the new "Max color step".
        services.paletteHost.reopenPaletteDialog();
    } else {
        PaletteContext palette = paletteContext(app, services);
        resetPaletteDefaults(palette);
    }
    app.settings.textureIndex = entry;
}

std::optional<PictureBuffers> allocatePictureBuffers(PictureSize size)
{
    if (size.width < 1 || size.height < 1) {
        return std::nullopt;
    }
    try {
        PictureBuffers buffers;
        buffers.iterations.allocate(size.width, size.height);
        buffers.picture.width = size.width;
        buffers.picture.height = size.height;
        buffers.picture.pixels.assign(
            static_cast<std::size_t>(size.width) * static_cast<std::size_t>(size.height), 0u);
        return buffers;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    } catch (const std::length_error&) {
        return std::nullopt;
    }
}

SizeChoice choosePictureSize(AppState& app, std::int32_t entry, ShellServices& services,
                             BufferAllocator allocate)
{
    if (entry < 0 || entry >= static_cast<std::int32_t>(kPictureSizes.size())) {
        return SizeChoice::Unchanged;
    }
    const PictureSize size = kPictureSizes[static_cast<std::size_t>(entry)];
    // The list keeps the entry chosen, also when the person then cancels.
    app.settings.pictureSizeIndex = entry;
    RenderSettings& settings = app.settings;
    if (size.width == settings.pictureWidth && size.height == settings.pictureHeight) {
        return SizeChoice::Unchanged;
    }
    if (!services.prompts.askOkCancel(kSizeChangeQuestion, DefaultButton::Cancel)) {
        return SizeChoice::Cancelled;
    }
    std::optional<PictureBuffers> buffers = allocate(size);
    if (!buffers) {
        services.prompts.message(kNoMemoryForSize);
        return SizeChoice::NoMemory;
    }
    settings.pictureWidth = size.width;
    settings.pictureHeight = size.height;
    // The old buffers are released only here, once the new ones exist.
    app.iterations = std::move(buffers->iterations);
    app.picture = std::move(buffers->picture);
    app.shell.pictureValid = 0;
    app.shell.pictureFromImage = 0;
    services.observer.sizePictureWindow(size.width, size.height);
    applyViewChange(app.view, viewContext(app), services.observer);
    return SizeChoice::Changed;
}

std::span<const OptionBoxCaption> optionBoxes()
{
    return kOptionBoxes;
}

bool optionTicked(const AppState& app, OptionBox box)
{
    const RenderSettings& s = app.settings;
    switch (box) {
    case OptionBox::InsideColour:
        return (s.colourFlags & kInsideColourBit) != 0;
    case OptionBox::ColourByPotential:
        return (s.colourFlags & kColourByPotentialBit) != 0;
    case OptionBox::SmoothColour:
        return (s.colourFlags & kSmoothColourBit) != 0;
    case OptionBox::BoxedZoom:
        return s.boxedZoom != 0;
    case OptionBox::AutoIterIncrease:
        return s.autoIterIncrease != 0;
    case OptionBox::Mandelbrot:
        return isMandelbrot(app.view);
    case OptionBox::Julia:
        return (app.view.modeWord & 2u) != 0;
    case OptionBox::AutosaveParameter:
        return s.autosaveParameter != 0;
    case OptionBox::MultiThreaded:
        return s.multiThreaded != 0;
    case OptionBox::DeepZoom:
        return app.view.deepZoom != 0;
    case OptionBox::AutoPotValue:
        return s.autoPotValue != 0;
    case OptionBox::UnzoomVideo:
        return s.unzoomVideo != 0;
    case OptionBox::FastDeepZoom:
        return s.fastDeepZoom != 0;
    }
    return false;
}

void clickOption(AppState& app, OptionBox box, ShellServices& services)
{
    RenderSettings& s = app.settings;
    ShellObserver& observer = services.observer;
    switch (box) {
    case OptionBox::InsideColour:
        s.colourFlags ^= kInsideColourBit;
        break;
    case OptionBox::ColourByPotential:
        s.colourFlags ^= kColourByPotentialBit;
        break;
    case OptionBox::SmoothColour:
        s.colourFlags ^= kSmoothColourBit;
        observer.requestRepaint();
        break;
    case OptionBox::BoxedZoom:
        toggle(s.boxedZoom);
        break;
    case OptionBox::AutoIterIncrease:
        toggle(s.autoIterIncrease);
        break;
    case OptionBox::AutosaveParameter:
        toggle(s.autosaveParameter);
        break;
    case OptionBox::UnzoomVideo:
        toggle(s.unzoomVideo);
        break;
    case OptionBox::FastDeepZoom:
        toggle(s.fastDeepZoom);
        break;
    case OptionBox::Mandelbrot:
        // Unticked, only the type changes: the next click on the Mandelbrot picture still on
        // screen picks the Julia constant.
        swapType(app.view);
        if (isMandelbrot(app.view)) {
            becomeMandelbrot(app, observer);
        }
        showType(app.view, observer);
        break;
    case OptionBox::Julia:
        if (isMandelbrot(app.view)) {
            becomeJulia(app, observer);
        } else {
            swapType(app.view);
            becomeMandelbrot(app, observer);
        }
        showType(app.view, observer);
        break;
    case OptionBox::MultiThreaded:
        toggle(s.multiThreaded);
        s.threads = s.multiThreaded != 0 ? app.shell.processorCount : 1;
        observer.showMultiThreaded(s.multiThreaded != 0);
        break;
    case OptionBox::DeepZoom:
        if (app.view.deepZoom == 0) {
            turnDeepZoomOn(app.view, observer);
        } else if (turnDeepZoomOff(app.view, viewContext(app), observer)) {
            s.autosaveParameter = 0;
        }
        break;
    case OptionBox::AutoPotValue:
        toggle(s.autoPotValue);
        if (s.autoPotValue != 0) {
            app.view.potValue = autoPotValueFor(app.view.deepLimit);
            observer.showPotValue(potValueText(app.view.potValue));
        }
        observer.showAutoPotValue(s.autoPotValue != 0);
        break;
    }
}

TypedFields fieldTexts(const AppState& app)
{
    return TypedFields{decimalText(std::int64_t{app.view.iterMax}), decimalText(app.view.bailout),
                       potValueText(app.view.potValue),
                       decimalText(static_cast<double>(app.settings.unzoomFactor), 7),
                       decimalText(std::int64_t{app.settings.threads})};
}

void takeTypedFields(AppState& app, const TypedFields& typed, ParametersButton button,
                     Prompts& prompts)
{
    RenderSettings& s = app.settings;
    ViewState& view = app.view;

    const double threads = fieldValue(typed.threads);
    if (fitsInt32(threads)) {
        const double most = std::max(app.shell.processorCount, 1);
        s.threads = roundHalfEven(std::clamp(threads, 1.0, most));
    }
    if (s.multiThreaded == 0) {
        s.threads = 1;
    }

    const double iterMax = fieldValue(typed.iterMax);
    if (fitsInt32(iterMax)) {
        std::int32_t limit = roundHalfEven(iterMax);
        if (button == ParametersButton::ApplyAndExit) {
            limit = std::max(limit, view.iterMax);
        }
        view.iterMax = std::max(limit, 10);
    }

    const double bailout = fieldValue(typed.bailout);
    if (std::isfinite(bailout)) {
        view.bailout = std::max(bailout, 2.0);
    }

    if (s.autoPotValue == 0) {
        const double potValue = fieldValue(typed.potValue);
        if (std::isfinite(potValue)) {
            view.potValue = potValue == 0.0 ? 0.0001 : potValue;
        }
    }

    const double unzoom = fieldValue(typed.unzoom);
    if (std::fabs(unzoom) <= static_cast<double>(std::numeric_limits<float>::max())) {
        s.unzoomFactor = static_cast<float>(unzoom);
    }
    if (s.unzoomFactor < 1.0f) {
        prompts.message(kUnzoomWarning);
    }

    if (button == ParametersButton::Redraw) {
        app.shell.pictureValid = 0;
        app.shell.pictureFromImage = 0;
    }
}

} // namespace qv
