// QtPrompts: the program's questions as Qt message boxes, input boxes and file dialogs.
#pragma once

#include "base/prompts.h"

#include <QString>
#include <QStringList>

class QWidget;

namespace qv {

/// The Qt file dialog's name filters for a filter text whose entries are separated by "|"
/// ("Fractal Files (*.fdz;*.fra)|*.FDZ;*.FRA|"): one filter per description, with its
/// patterns in both cases, since Linux file names are case-sensitive.
QStringList nameFiltersFor(const std::string& filter);

class QtPrompts : public Prompts
{
public:
    /// `parent` (may be null) owns the boxes and dialogs; it can be set later.
    explicit QtPrompts(QWidget* parent = nullptr) : m_parent(parent) {}

    void setParent(QWidget* parent) { m_parent = parent; }

    void message(std::string_view text, std::string_view title) override;
    bool askOkCancel(std::string_view text, DefaultButton preselected = DefaultButton::Ok,
                     std::string_view title = "QUORVALIS") override;
    bool askYesNo(std::string_view text) override;
    std::optional<std::string> inputText(std::string_view prompt,
                                         std::string_view proposed) override;
    std::string openFile(const FileDialogRequest& request) override;
    std::string saveFile(const FileDialogRequest& request) override;
    std::string chooseFolder(std::string_view title, std::string_view initialFolder) override;

private:
    std::string runFileDialog(const FileDialogRequest& request, bool save);

    QWidget* m_parent;
};

} // namespace qv
