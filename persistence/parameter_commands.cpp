// The parameter-file commands of the menu.
#include "persistence/parameter_commands.h"

#include "engine/colouring.h"
#include "persistence/parameter_files.h"

#include <string>

namespace qv {
namespace {

bool saveCommand(AppState& app, ShellServices& services, PictureWriter& pictures, bool withImage)
{
    const bool deep = app.view.deepZoom == 1;
    const std::string path = services.prompts.saveFile(saveParametersRequest(deep, withImage));
    if (path.empty()) {
        return false;
    }
    bool saved = false;
    if (withImage) {
        saved = deep ? saveDeepFileWithImage(app, pictures, path)
                     : saveStandardFileWithImage(app, services.observer, pictures, path);
    } else {
        saved = deep ? saveDeepFile(app, pictures, path) : saveStandardFile(app, pictures, path);
    }
    if (!saved) {
        services.prompts.message(std::string(kParameterFileNotWritten) + path);
        return false;
    }
    app.shell.lastFilePath = path;
    app.shell.currentFileName = path;
    services.observer.setMenuTitle("QUORVALIS - " + path);
    return true;
}

} // namespace

FileDialogRequest saveParametersRequest(bool deepZoom, bool withImage)
{
    FileDialogRequest request;
    request.title = withImage ? "SAVE PARAMETERS & IMAGE" : "SAVE PARAMETERS";
    const std::string lower = withImage ? (deepZoom ? "fpz" : "fpi") : (deepZoom ? "fdz" : "fra");
    const std::string upper = withImage ? (deepZoom ? "FPZ" : "FPI") : (deepZoom ? "FDZ" : "FRA");
    request.filter = "Fractal Files (*." + lower + ")|*." + upper + "|";
    request.defaultExtension = upper;
    return request;
}

FileDialogRequest loadParametersRequest(bool withImage)
{
    FileDialogRequest request;
    if (withImage) {
        request.title = "LOAD PARAMETER & IMAGE";
        request.filter = "Fractal Image-Parameter Files (*.fpz;*.fpi)|*.FPZ;*.FPI|";
        request.defaultExtension = "FPZ";
    } else {
        request.title = "LOAD PARAMETERS";
        request.filter = "Fractal Files (*.fdz;*.fra)|*.FDZ;*.FRA|";
        request.defaultExtension = "FDZ";
    }
    return request;
}

bool loadFractalCommand(AppState& app, ShellServices& services)
{
    const std::string path = services.prompts.openFile(loadParametersRequest(false));
    if (path.empty()) {
        app.shell.currentFileName.clear();
        return false;
    }
    if (!loadParameterFile(app, services, path)) {
        return false;
    }
    app.shell.currentFileName = path;
    return true;
}

bool loadFractalWithImageCommand(AppState& app, ShellServices& services)
{
    const std::string path = services.prompts.openFile(loadParametersRequest(true));
    if (path.empty()) {
        app.shell.currentFileName.clear();
        return false;
    }
    if (!loadParameterFileWithImage(app, services, path)) {
        return false;
    }
    app.shell.currentFileName = path;
    buildPicture(app.picture, app.iterations, app.palette, drawingMode(app.view.modeWord),
                 app.paletteState.paletteOffset);
    app.shell.pictureFromImage = 1;
    app.shell.pictureValid = 1;
    return true;
}

bool saveFractalCommand(AppState& app, ShellServices& services, PictureWriter& pictures)
{
    return saveCommand(app, services, pictures, false);
}

bool saveFractalWithImageCommand(AppState& app, ShellServices& services, PictureWriter& pictures)
{
    return saveCommand(app, services, pictures, true);
}

} // namespace qv
