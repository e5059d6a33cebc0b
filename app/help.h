// Opening the manual and the home page with the desktop: where the manual is looked for, and
// the messages when it is missing or cannot be opened.
#pragma once

#include "base/prompts.h"

#include <string>
#include <string_view>

namespace qv {

inline constexpr std::string_view kHelpFileName = "quorvalis.html";
inline constexpr std::string_view kHomePage = "https://quorvalis.example.org/";

/// Opens files and addresses with the desktop's viewer for them. The windows open them with
/// the desktop; tests record what was asked.
class DesktopOpener
{
public:
    virtual ~DesktopOpener() = default;
    /// Opens an existing local file; false when the desktop could not.
    virtual bool openFile(const std::string& path) = 0;
    /// Opens a web address; false when the desktop could not.
    virtual bool openAddress(const std::string& address) = 0;
};

/// Where the manual may be: beside the program, then in the installed documentation folder.
struct HelpPlaces
{
    std::string programFolder;
    std::string documentationFolder;
};

/// The manual's path in the first place that holds it, or "" when neither does.
std::string findHelpFile(const HelpPlaces& places);

/// "Open helpfile": opens the manual; a missing manual or a desktop that cannot open it says
/// so. True when it was opened.
bool openHelp(const HelpPlaces& places, DesktopOpener& desktop, Prompts& prompts);

/// The about box's home-page link: opens the address; a failure says so.
bool openHomePage(DesktopOpener& desktop, Prompts& prompts);

} // namespace qv
