// A scripted stand-in for the dialogs, for tests.
#include "tests/support/scripted_prompts.h"

#include <gtest/gtest.h>

namespace qv::test {

ScriptedPrompts::~ScriptedPrompts()
{
    EXPECT_TRUE(m_answers.empty()) << m_answers.size() << " scripted answer(s) never asked for";
}

std::optional<std::string> ScriptedPrompts::next(std::string_view question)
{
    m_asked.emplace_back(question);
    if (m_answers.empty()) {
        ADD_FAILURE() << "unexpected question: " << question;
        return std::nullopt;
    }
    std::optional<std::string> reply = std::move(m_answers.front());
    m_answers.pop_front();
    return reply;
}

void ScriptedPrompts::message(std::string_view text, std::string_view title)
{
    m_asked.emplace_back(text);
    m_titles.emplace_back(title);
}

bool ScriptedPrompts::askOkCancel(std::string_view text)
{
    const auto reply = next(text);
    return reply && (*reply == "ok" || *reply == "yes");
}

bool ScriptedPrompts::askYesNo(std::string_view text)
{
    const auto reply = next(text);
    return reply && (*reply == "yes" || *reply == "ok");
}

std::optional<std::string> ScriptedPrompts::inputText(std::string_view prompt, std::string_view)
{
    return next(prompt);
}

std::string ScriptedPrompts::openFile(const FileDialogRequest& request)
{
    return next(request.title).value_or("");
}

std::string ScriptedPrompts::saveFile(const FileDialogRequest& request)
{
    return next(request.title).value_or("");
}

} // namespace qv::test
