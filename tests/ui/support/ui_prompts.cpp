// UiPrompts: scripted answers for the window tests.
#include "tests/ui/support/ui_prompts.h"

#include <QTest>

namespace qv::test {

UiPrompts::~UiPrompts()
{
    if (!m_answers.empty()) {
        QTest::qFail("scripted answers were never asked for", __FILE__, __LINE__);
    }
}

std::vector<std::string> UiPrompts::texts() const
{
    std::vector<std::string> result;
    for (const Asked& a : m_asked) {
        result.push_back(a.text);
    }
    return result;
}

std::optional<std::string> UiPrompts::next(Asked asked)
{
    const std::string text = asked.text;
    if (onAsk) {
        onAsk(asked);
    }
    m_asked.push_back(std::move(asked));
    if (m_answers.empty()) {
        QTest::qFail(("unexpected question: " + text).c_str(), __FILE__, __LINE__);
        return std::nullopt;
    }
    std::optional<std::string> reply = std::move(m_answers.front());
    m_answers.pop_front();
    return reply;
}

void UiPrompts::message(std::string_view text, std::string_view title)
{
    Asked asked{"message", std::string(text), std::string(title), {}};
    if (onAsk) {
        onAsk(asked);
    }
    m_asked.push_back(std::move(asked));
}

bool UiPrompts::askOkCancel(std::string_view text)
{
    const auto reply = next({"okCancel", std::string(text), "QUORVALIS", {}});
    return reply && (*reply == "ok" || *reply == "yes");
}

bool UiPrompts::askYesNo(std::string_view text)
{
    const auto reply = next({"yesNo", std::string(text), "QUORVALIS", {}});
    return reply && (*reply == "yes" || *reply == "ok");
}

std::optional<std::string> UiPrompts::inputText(std::string_view prompt, std::string_view)
{
    return next({"input", std::string(prompt), "QUORVALIS", {}});
}

std::string UiPrompts::openFile(const FileDialogRequest& request)
{
    return next({"open", request.title, request.title, request}).value_or("");
}

std::string UiPrompts::saveFile(const FileDialogRequest& request)
{
    return next({"save", request.title, request.title, request}).value_or("");
}

} // namespace qv::test
