// UiPrompts: the scripted dialogs for the window tests. Answers are queued in order; every
// question and message is recorded with its title and, for file dialogs, the whole request.
#pragma once

#include "base/prompts.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qv::test {

/// A question without a queued answer fails the running test, and so does an answer left
/// unused when the object is destroyed.
class UiPrompts : public Prompts
{
public:
    UiPrompts() = default;
    UiPrompts(const UiPrompts&) = delete;
    UiPrompts& operator=(const UiPrompts&) = delete;
    ~UiPrompts() override;

    /// The next answer: "ok"/"yes", "cancel"/"no", a text or a path ("" = cancelled file
    /// dialog), or nothing for a cancelled input box.
    void answer(std::optional<std::string> reply) { m_answers.push_back(std::move(reply)); }

    struct Asked
    {
        std::string kind; ///< "message", "okCancel", "yesNo", "input", "open", "save"
        std::string text; ///< message, question or prompt; the title of a file dialog
        std::string title;
        FileDialogRequest file; ///< file dialogs only
    };

    const std::vector<Asked>& asked() const { return m_asked; }

    /// Called with every question or message as it is asked, before it is answered.
    std::function<void(const Asked&)> onAsk;

    /// The texts asked so far, in order.
    std::vector<std::string> texts() const;

    std::size_t answersLeft() const { return m_answers.size(); }

    void message(std::string_view text, std::string_view title) override;
    bool askOkCancel(std::string_view text) override;
    bool askYesNo(std::string_view text) override;
    std::optional<std::string> inputText(std::string_view prompt,
                                         std::string_view proposed) override;
    std::string openFile(const FileDialogRequest& request) override;
    std::string saveFile(const FileDialogRequest& request) override;

private:
    std::optional<std::string> next(Asked asked);

    std::deque<std::optional<std::string>> m_answers;
    std::vector<Asked> m_asked;
};

} // namespace qv::test
