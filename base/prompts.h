// Prompts: the questions the program asks a person (message boxes, input boxes, file dialogs).
// The windows implement it with real dialogs; tests answer from a script.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qv {

/// What a file dialog is asked to show.
struct FileDialogRequest
{
    std::string title;
    std::string proposedName;
    std::string initialFolder;    ///< the current folder when empty
    std::string filter;           ///< entries separated by "|": "Fractal (*.fra)|*.fra|..."
    std::string defaultExtension; ///< without the point
};

/// The button a question preselects: Cancel where OK would throw work away.
enum class DefaultButton { Ok, Cancel };

class Prompts
{
public:
    virtual ~Prompts() = default;
    /// An OK box with the title "QUORVALIS" (or `title` when given).
    virtual void message(std::string_view text, std::string_view title = "QUORVALIS") = 0;
    /// An OK/Cancel question with the title "QUORVALIS" (or `title` when given).
    virtual bool askOkCancel(std::string_view text, DefaultButton preselected = DefaultButton::Ok,
                             std::string_view title = "QUORVALIS") = 0;
    virtual bool askYesNo(std::string_view text) = 0;
    /// The text typed, or nothing when the box was cancelled.
    virtual std::optional<std::string> inputText(std::string_view prompt,
                                                 std::string_view proposed) = 0;
    /// The chosen path, or "" on cancel.
    virtual std::string openFile(const FileDialogRequest& request) = 0;
    virtual std::string saveFile(const FileDialogRequest& request) = 0;
    /// An existing folder chosen in a folder dialog titled `title` (no new-folder button),
    /// or "" on cancel.
    virtual std::string chooseFolder(std::string_view title, std::string_view initialFolder) = 0;
};

} // namespace qv
