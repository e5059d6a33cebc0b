// Finding and opening the manual, and opening the home page.
#include "app/help.h"

#include <filesystem>
#include <system_error>

namespace qv {

std::string findHelpFile(const HelpPlaces& places)
{
    for (const std::string& folder : {places.programFolder, places.documentationFolder}) {
        if (folder.empty()) {
            continue;
        }
        const std::filesystem::path path = std::filesystem::path(folder) / kHelpFileName;
        std::error_code error;
        if (std::filesystem::is_regular_file(path, error)) {
            return path.string();
        }
    }
    return {};
}

bool openHelp(const HelpPlaces& places, DesktopOpener& desktop, Prompts& prompts)
{
    const std::string path = findHelpFile(places);
    if (path.empty()) {
        prompts.message("Helpfile: \n" + std::string(kHelpFileName) + " not found!");
        return false;
    }
    if (!desktop.openFile(path)) {
        prompts.message("The help file could not be opened:\n" + path);
        return false;
    }
    return true;
}

bool openHomePage(DesktopOpener& desktop, Prompts& prompts)
{
    const std::string address(kHomePage);
    if (!desktop.openAddress(address)) {
        prompts.message("The home page could not be opened:\n" + address);
        return false;
    }
    return true;
}

} // namespace qv
