// Stored view numbers the view cannot take.
#include "persistence/parameter_warnings.h"

#include "base/mp_float.h"
#include "base/number_text.h"

#include <array>
#include <cmath>
#include <string_view>

namespace qv {
namespace {

/// The names of the stored numbers in file order, as the view lists them.
constexpr std::array<std::string_view, 6> kMandelbrotNames{"xmin", "xmax", "dx",
                                                           "ymin", "ymax", "dy"};
constexpr std::array<std::string_view, 8> kJuliaNames{"xmin", "ymin", "xmax", "ymax",
                                                      "cr",   "ci",   "dy",   "dx"};

std::string_view storedName(std::uint32_t modeWord, std::size_t index)
{
    if ((modeWord & 1u) != 0) {
        return index < kMandelbrotNames.size() ? kMandelbrotNames[index] : "?";
    }
    return index < kJuliaNames.size() ? kJuliaNames[index] : "?";
}

std::string warning(std::string_view name, std::string_view stored)
{
    return std::string(name) + " in the file is " + std::string(stored) +
           ", not a number the view can take: the value it had before loading stays "
           "(the start-up window's, in a program just started)";
}

/// A stored text as it can stand in a line: quoted, at most 40 characters, anything not
/// printable as '?'.
std::string quotedText(std::string_view text)
{
    constexpr std::size_t kShown = 40;
    std::string quoted = "'";
    for (const char c : text.substr(0, kShown)) {
        quoted.push_back(c >= ' ' && c <= '~' ? c : '?');
    }
    quoted += text.size() > kShown ? "...'" : "'";
    return quoted;
}

} // namespace

std::vector<std::string> unusableStoredNumbers(const FileFields& fields)
{
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < fields.extended.size(); ++i) {
        const long double v = fields.extended[i];
        if (!std::isfinite(v)) {
            lines.push_back(warning(storedName(fields.modeWord, i), extendedToScientific(v)));
        }
    }
    if (fields.layout == FileLayout::Format50) {
        MpFloat number(64);
        for (std::size_t i = 0; i < fields.texts.size(); ++i) {
            const std::string_view text = fields.texts[i];
            if (!textToMpf(text.substr(0, fields.textWidth), number.get())) {
                lines.push_back(warning(storedName(fields.modeWord, i), quotedText(text)));
            }
        }
    }
    return lines;
}

std::vector<std::string> unusableStoredNumbers(const std::string& path)
{
    FileFields fields;
    if (readParameterFields(path, ReadMode::View, fields) != Refusal::None) {
        return {};
    }
    return unusableStoredNumbers(fields);
}

} // namespace qv
