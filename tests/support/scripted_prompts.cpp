// ScriptedPrompts: a scripted stand-in for the dialogs, for tests.
#include "tests/support/scripted_prompts.h"

#include "tests/support/test_failure.h"

namespace qv::test {

namespace {

constexpr std::string_view kQuestionTitle = "QUORVALIS";

} // namespace

ScriptedPrompts::~ScriptedPrompts()
{
    if (!m_answers.empty()) {
        failRunningTest(std::to_string(m_answers.size()) + " scripted answer(s) never asked for");
    }
}

std::vector<std::string> ScriptedPrompts::texts() const
{
    std::vector<std::string> result;
    for (const Asked& a : m_asked) {
        result.push_back(a.text);
    }
    return result;
}

std::vector<std::string> ScriptedPrompts::titles() const
{
    std::vector<std::string> result;
    for (const Asked& a : m_asked) {
        result.push_back(a.title);
    }
    return result;
}

void ScriptedPrompts::record(Asked asked)
{
    if (onAsk) {
        onAsk(asked);
    }
    m_asked.push_back(std::move(asked));
}

std::optional<std::string> ScriptedPrompts::next(Asked asked)
{
    const std::string text = asked.text;
    record(std::move(asked));
    if (m_answers.empty()) {
        failRunningTest("unexpected question: " + text);
        return std::nullopt;
    }
    std::optional<std::string> reply = std::move(m_answers.front());
    m_answers.pop_front();
    return reply;
}

void ScriptedPrompts::message(std::string_view text, std::string_view title)
{
    record({"message", std::string(text), std::string(title), {}});
}

bool ScriptedPrompts::askOkCancel(std::string_view text, DefaultButton preselected,
                                  std::string_view title)
{
    const auto reply = next({"okCancel",
                             std::string(text),
                             std::string(title),
                             {},
                             preselected == DefaultButton::Cancel});
    return reply && (*reply == "ok" || *reply == "yes");
}

bool ScriptedPrompts::askYesNo(std::string_view text)
{
    const auto reply = next({"yesNo", std::string(text), std::string(kQuestionTitle), {}});
    return reply && (*reply == "yes" || *reply == "ok");
}

std::optional<std::string> ScriptedPrompts::inputText(std::string_view prompt, std::string_view)
{
    return next({"input", std::string(prompt), std::string(kQuestionTitle), {}});
}

std::string ScriptedPrompts::openFile(const FileDialogRequest& request)
{
    return next({"open", request.title, request.title, request}).value_or("");
}

std::string ScriptedPrompts::saveFile(const FileDialogRequest& request)
{
    return next({"save", request.title, request.title, request}).value_or("");
}

std::string ScriptedPrompts::chooseFolder(std::string_view title, std::string_view initialFolder)
{
    FileDialogRequest request;
    request.title = std::string(title);
    request.initialFolder = std::string(initialFolder);
    return next({"folder", request.title, request.title, request}).value_or("");
}

} // namespace qv::test
