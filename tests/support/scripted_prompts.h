// ScriptedPrompts: answers the program's questions from a script and records every one asked.
#pragma once

#include "base/prompts.h"

#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::test {

/// Each question takes the next scripted answer; messages need none. A question without an
/// answer left fails the test, and so does an answer left unused (checked on destruction).
class ScriptedPrompts : public Prompts
{
public:
    ScriptedPrompts() = default;
    ScriptedPrompts(const ScriptedPrompts&) = delete;
    ScriptedPrompts& operator=(const ScriptedPrompts&) = delete;
    ~ScriptedPrompts() override;

    /// Queues the answer to the next question: "yes"/"ok", "no"/"cancel", a text, a path
    /// ("" = cancelled file dialog), or nothing for a cancelled input box.
    void answer(std::optional<std::string> reply) { m_answers.push_back(std::move(reply)); }

    /// Every message and question asked so far, in order, as its text.
    const std::vector<std::string>& asked() const { return m_asked; }

    /// The titles of the messages, in order.
    const std::vector<std::string>& titles() const { return m_titles; }

    void message(std::string_view text, std::string_view title) override;
    bool askOkCancel(std::string_view text) override;
    bool askYesNo(std::string_view text) override;
    std::optional<std::string> inputText(std::string_view prompt,
                                         std::string_view proposed) override;
    std::string openFile(const FileDialogRequest& request) override;
    std::string saveFile(const FileDialogRequest& request) override;

private:
    std::optional<std::string> next(std::string_view question);

    std::deque<std::optional<std::string>> m_answers;
    std::vector<std::string> m_asked;
    std::vector<std::string> m_titles;
};

} // namespace qv::test
