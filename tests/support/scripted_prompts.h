// ScriptedPrompts: answers the program's questions from a script and records every question and
// message with its kind, title and file dialog request, for the GoogleTest and the window tests.
#pragma once

#include "base/prompts.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::test {

/// Each question takes the next scripted answer; messages need none. A question without an
/// answer left fails the running test, and so does an answer left unused when the object is
/// destroyed (through failRunningTest).
class ScriptedPrompts : public Prompts
{
public:
    ScriptedPrompts() = default;
    ScriptedPrompts(const ScriptedPrompts&) = delete;
    ScriptedPrompts& operator=(const ScriptedPrompts&) = delete;
    ~ScriptedPrompts() override;

    /// Queues the answer to the next question: "ok"/"yes", "cancel"/"no", a text or a path
    /// ("" = cancelled file dialog), or nothing for a cancelled input box.
    void answer(std::optional<std::string> reply) { m_answers.push_back(std::move(reply)); }

    struct Asked
    {
        std::string kind; ///< "message", "okCancel", "yesNo", "input", "open", "save",
                          ///< "folder"
        std::string text; ///< message, question or prompt; the title of a file dialog
        std::string title;
        FileDialogRequest file; ///< file dialogs only (a folder dialog: its initial folder)
        bool cancelPreselected = false;
    };

    /// Every message and question asked so far, in order.
    const std::vector<Asked>& asked() const { return m_asked; }

    /// The texts of asked(), in order.
    std::vector<std::string> texts() const;

    /// The titles of asked(), in order ("QUORVALIS" for the questions).
    std::vector<std::string> titles() const;

    std::size_t answersLeft() const { return m_answers.size(); }

    /// Called with every question or message as it is asked, before it is answered.
    std::function<void(const Asked&)> onAsk;

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
    void record(Asked asked);
    std::optional<std::string> next(Asked asked);

    std::deque<std::optional<std::string>> m_answers;
    std::vector<Asked> m_asked;
};

} // namespace qv::test
