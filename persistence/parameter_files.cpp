// Applying checked parameter files to the program's state and saving the state. The bytes are
// the format layer's business; a file reaches the state only once it has been read whole and
// passed every check.
#include "persistence/parameter_files.h"

#include "base/byte_codec.h"
#include "base/file_io.h"
#include "base/number_text.h"
#include "persistence/deep_limbs.h"

#include <optional>
#include <utility>
#include <vector>

namespace qv {
namespace {

/// The view numbers a file stores, in file order: the first 6 of the Mandelbrot view or the 8
/// of the Julia view, by bit 0 of the mode word.
std::vector<ViewNumber*> storedNumbers(ViewState& view)
{
    std::vector<ViewNumber*> numbers;
    if (isMandelbrot(view)) {
        const auto all = view.mandelbrot.inOrder();
        numbers.assign(all.begin(), all.begin() + MandelbrotNumbers::kStored);
    } else {
        const auto all = view.julia.inOrder();
        numbers.assign(all.begin(), all.begin() + JuliaNumbers::kStored);
    }
    return numbers;
}

// --- Applying a checked file ---

void resetBeforeReading(AppState& app)
{
    app.settings.colourFlags = 0;
    app.paletteState.options = PaletteOptions{};
    app.view.potValue = 0.0;
    app.paletteState.paletteOffset = 0;
}

std::string menuTitleFor(const std::string& path)
{
    return "QUORVALIS - " + path;
}

/// The fields every layout holds, and the type boxes of the parameters dialog.
void assignCommonFields(AppState& app, ShellObserver& observer, const FileFields& f)
{
    ViewState& view = app.view;
    view.modeWord = f.modeWord;
    observer.showFractalType((f.modeWord & 1u) != 0, (f.modeWord & 2u) != 0);
    view.iterMax = f.iterMax;
    view.bailout = f.bailout;
    view.potValue = f.potValue;
    app.settings.colourFlags = f.colourFlags;
    app.paletteState.paletteOffset = f.paletteOffset;
    if (f.palette) {
        app.paletteState.parameters = *f.palette;
    }
}

/// Whether the file was read with its picture, or with the picture's size alone.
bool storesPicture(const FileFields& f)
{
    return f.picture.has_value() || f.pictureWidth > 0;
}

void takePicture(AppState& app, ShellObserver& observer, FileFields& f)
{
    app.settings.pictureWidth = f.pictureWidth;
    app.settings.pictureHeight = f.pictureHeight;
    if (f.picture) {
        app.iterations = std::move(*f.picture);
    }
    // The stored picture is shown as it is: the window takes its size.
    observer.sizePictureWindow(app.settings.pictureWidth, app.settings.pictureHeight);
}

void switchAutoPotValueOff(AppState& app, ShellObserver& observer)
{
    app.settings.autoPotValue = 0;
    observer.showAutoPotValue(false);
}

void multiThreadedWhenPossible(AppState& app, ShellObserver& observer)
{
    if (app.shell.processorCount > 1) {
        app.settings.multiThreaded = 1;
    }
    observer.showMultiThreaded(app.settings.multiThreaded != 0);
}

/// Centre, magnification, texts and deep limit of the loaded window.
void settleLoadedView(AppState& app, ShellObserver& observer)
{
    if (isMandelbrot(app.view)) {
        centreFromWindow(app.view, viewContext(app), observer);
    } else {
        refreshFromDeep(app.view, viewContext(app), observer);
    }
}

/// A pot value of 0 would make colouring by potential divide by zero.
void keepPotValueAboveZero(ViewState& view)
{
    if (view.potValue == 0.0) {
        view.potValue = 0.0001;
    }
}

/// The loaded view has no picture yet: it waits for a render.
void awaitRender(AppState& app, ShellObserver& observer)
{
    app.shell.pictureValid = 0;
    app.shell.pictureFromImage = 0;
    observer.requestRepaint();
}

/// Palette options from the colour flags, the pot value and bailout corrections, the palette.
void finishColouring(AppState& app, ShellServices& services)
{
    app.paletteState.options = optionsFromColourFlags(app.settings.colourFlags);
    keepPotValueAboveZero(app.view);
    PaletteContext palette = paletteContext(app, services);
    generatePalette(palette, PaletteMode::FromParameters);
    app.shell.juliaShown = 1;
    if (app.view.bailout < 2.0) {
        app.view.bailout = 2.0;
    }
}

void applyOldLayout(AppState& app, ShellServices& services, const FileFields& f,
                    const std::string& path)
{
    ShellObserver& observer = services.observer;
    ViewState& view = app.view;
    assignCommonFields(app, observer, f);
    const std::vector<ViewNumber*> numbers = storedNumbers(view);
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        numbers[i]->ext = f.extended[i];
    }
    keepPotValueAboveZero(view);
    // The options go in before the palette is generated, so that the table the file describes
    // is the one drawn.
    if (f.oldRow == OldRow::Potential) {
        app.paletteState.options = optionsFromColourFlags(app.settings.colourFlags);
    }
    PaletteContext palette = paletteContext(app, services);
    // Files written before the palette parameters were kept have a zero step (or none at all).
    if (!f.palette || f.palette->step[0] == 0.0f) {
        resetPaletteDefaults(palette);
    } else {
        generatePalette(palette, PaletteMode::FromParameters);
    }
    app.shell.juliaShown = 1;
    app.shell.lastFilePath = path;
    if (view.bailout <= 1.0) {
        view.bailout = 4.0;
    }
    view.deepZoom = 0;
    multiThreadedWhenPossible(app, observer);
    observer.showDeepZoom(false);
    extendedToDeep(view);
    awaitRender(app, observer);
    app.shell.currentFileName = path;
    observer.setMenuTitle(menuTitleFor(path));
}

void applyFormat50(AppState& app, ShellServices& services, FileFields& f, const std::string& path)
{
    ShellObserver& observer = services.observer;
    ViewState& view = app.view;
    const bool withPicture = storesPicture(f);
    assignCommonFields(app, observer, f);
    view.deepZoom = f.deepZoom;
    if (withPicture) {
        takePicture(app, observer, f);
    }
    switchAutoPotValueOff(app, observer);
    app.shell.lastFilePath = path;
    observer.showPotValue(potValueText(view.potValue));
    if (view.deepZoom == 1) {
        clearDeep(view);
        setPrecision(view, f.precisionBits);
    }
    std::vector<std::string_view> fields(f.texts.begin(), f.texts.end());
    textToDeep(view, fields, f.textWidth);
    // Texts and extended numbers from the GMP numbers, deep limit and title, for either type.
    settleLoadedView(app, observer);
    if (withPicture) {
        multiThreadedWhenPossible(app, observer);
    }
    finishColouring(app, services);
    observer.showDeepZoom(view.deepZoom != 0);
    if (!withPicture) {
        awaitRender(app, observer);
    }
    app.shell.currentFileName = path;
    if (withPicture) {
        observer.setMenuTitle(menuTitleFor(path));
    }
}

void applyFormat55(AppState& app, ShellServices& services, FileFields& f, const std::string& path)
{
    ShellObserver& observer = services.observer;
    ViewState& view = app.view;
    app.shell.lastFilePath = path;
    app.shell.currentFileName = path;
    assignCommonFields(app, observer, f);
    view.deepZoom = f.deepZoom;
    if (storesPicture(f)) {
        takePicture(app, observer, f);
    }
    clearDeep(view);
    setPrecision(view, f.precisionBits);
    const std::vector<ViewNumber*> numbers = storedNumbers(view);
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        restoreNumber(f.deep[i], numbers[i]->mp());
    }
    switchAutoPotValueOff(app, observer);
    observer.showPotValue(potValueText(view.potValue));
    refreshFromDeep(view, viewContext(app), observer);
    if (isMandelbrot(view)) {
        centreFromWindow(view, viewContext(app), observer);
    }
    multiThreadedWhenPossible(app, observer);
    finishColouring(app, services);
    observer.showDeepZoom(view.deepZoom != 0);
    observer.setMainTitle(deepLimitTitle(view.deepLimit));
    awaitRender(app, observer);
    observer.setMenuTitle(menuTitleFor(path));
}

/// Reads the file in `mode` and applies it by the layout it was read as; a refused file
/// changes nothing and shows its message.
bool loadFields(AppState& app, ShellServices& services, const std::string& path, ReadMode mode)
{
    FileFields f;
    if (const Refusal r = readParameterFields(path, mode, f); r != Refusal::None) {
        services.prompts.message(messageFor(r));
        return false;
    }
    switch (f.layout) {
    case FileLayout::Old:
        applyOldLayout(app, services, f, path);
        break;
    case FileLayout::Format50:
        applyFormat50(app, services, f, path);
        break;
    case FileLayout::Format55:
        applyFormat55(app, services, f, path);
        break;
    }
    return true;
}

// --- Saving ---

enum class SavedKind {
    Standard,
    Deep,
    StandardWithImage,
    DeepWithImage,
};

/// The fields of the current state for one kind of file; nothing when a GMP number's exponent
/// does not fit the deep layout.
std::optional<FileFields> fieldsToSave(AppState& app, SavedKind kind)
{
    ViewState& view = app.view;
    FileFields f;
    f.modeWord = view.modeWord;
    f.deepZoom = view.deepZoom;
    f.colourFlags = app.settings.colourFlags;
    f.potValue = view.potValue;
    f.iterMax = view.iterMax;
    f.bailout = view.bailout;
    f.palette = app.paletteState.parameters;
    f.paletteOffset = app.paletteState.paletteOffset;
    f.precisionBits = view.precisionBits;
    for (const ViewNumber* n : storedNumbers(view)) {
        if (kind == SavedKind::Standard) {
            f.extended.push_back(n->ext);
        } else if (kind == SavedKind::StandardWithImage) {
            f.texts.push_back(n->text);
        } else if (std::optional<DeepNumberImage> image = imageOfNumber(n->mp(), f.precisionBits)) {
            f.deep.push_back(std::move(*image));
        } else {
            return std::nullopt;
        }
    }
    return f;
}

/// Saves one kind: the palette options into the colour flags first (a file without them
/// would lose them), for the with-image standard file the texts brought up to date through
/// `textObserver`, then the file and its thumbnail.
bool saveAs(AppState& app, ShellObserver* textObserver, PictureWriter& pictures,
            const std::string& path, SavedKind kind)
{
    if (path.empty()) {
        return false;
    }
    syncColourFlags(app.paletteState.options, app.settings.colourFlags);
    if (textObserver != nullptr) {
        refreshFromDeep(app.view, viewContext(app), *textObserver);
    }
    const std::optional<FileFields> f = fieldsToSave(app, kind);
    if (!f) {
        return false;
    }
    ByteWriter out;
    bool written = true;
    switch (kind) {
    case SavedKind::Standard:
        writeStandardFile(out, *f);
        break;
    case SavedKind::Deep:
        writeDeepFile(out, *f);
        break;
    case SavedKind::StandardWithImage:
        written = writeStandardFileWithImage(out, *f, app.iterations);
        break;
    case SavedKind::DeepWithImage:
        written = writeDeepFileWithImage(out, *f, app.iterations);
        break;
    }
    if (!written || !replaceFile(path, out.data())) {
        return false;
    }
    pictures.saveThumbnail(path + ".jpg");
    return true;
}

} // namespace

bool saveStandardFile(AppState& app, PictureWriter& pictures, const std::string& path)
{
    return saveAs(app, nullptr, pictures, path, SavedKind::Standard);
}

bool saveDeepFile(AppState& app, PictureWriter& pictures, const std::string& path)
{
    return saveAs(app, nullptr, pictures, path, SavedKind::Deep);
}

bool saveStandardFileWithImage(AppState& app, ShellObserver& observer, PictureWriter& pictures,
                               const std::string& path)
{
    return saveAs(app, &observer, pictures, path, SavedKind::StandardWithImage);
}

bool saveDeepFileWithImage(AppState& app, PictureWriter& pictures, const std::string& path)
{
    return saveAs(app, nullptr, pictures, path, SavedKind::DeepWithImage);
}

bool loadParameterFile(AppState& app, ShellServices& services, const std::string& path)
{
    if (path.empty()) {
        return false;
    }
    resetBeforeReading(app);
    return loadFields(app, services, path, ReadMode::View);
}

bool loadDeepFile(AppState& app, ShellServices& services, const std::string& path)
{
    if (path.empty()) {
        return false;
    }
    return loadFields(app, services, path, ReadMode::Deep);
}

bool loadParameterFileWithImage(AppState& app, ShellServices& services, const std::string& path)
{
    // The picture is not computed: no render time or render counts belong to it.
    app.render.elapsedSeconds = 0.0f;
    app.render.insidePixels = 0;
    app.render.coloursUsed = 0;
    if (path.empty()) {
        return false;
    }
    resetBeforeReading(app);
    return loadFields(app, services, path, ReadMode::WithPicture);
}

bool loadParameterFileWithPictureSize(AppState& app, ShellServices& services,
                                      const std::string& path)
{
    app.render.elapsedSeconds = 0.0f;
    app.render.insidePixels = 0;
    app.render.coloursUsed = 0;
    if (path.empty()) {
        return false;
    }
    resetBeforeReading(app);
    if (!loadFields(app, services, path, ReadMode::WithPictureSize)) {
        return false;
    }
    // The iteration buffer holds nothing of this view: it waits for a render.
    app.shell.pictureValid = 0;
    app.shell.pictureFromImage = 0;
    return true;
}

bool readParameterHeader(const std::string& path, ShellState& shell, ParameterHeader& header)
{
    if (path.empty()) {
        return false;
    }
    shell.lastFilePath = path;
    FileFields f;
    if (readParameterFields(path, ReadMode::Header, f) != Refusal::None) {
        return false;
    }
    header = headerOf(f);
    return true;
}

} // namespace qv
