// Numbers as text. Every reader and writer here is independent of the C locale: the text
// handed to GMP and to strtold never holds a decimal point, and the writers use to_chars.
#include "base/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace qv {

namespace {

// Exponents beyond this are not numbers any view can use; refusing them keeps every
// exponent sum below in range.
constexpr std::int64_t kMaxExponent = 1'000'000'000'000'000;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// "[-]digits" "e" exponent: a form that GMP and strtold read without a decimal point.
std::string pointlessText(const DecimalNumber& n)
{
    std::string s;
    s.reserve(n.digits.size() + 24);
    if (n.negative) {
        s.push_back('-');
    }
    s += n.digits;
    s.push_back('e');
    s += std::to_string(n.exponent);
    return s;
}

// Frees a string that GMP allocated, through GMP's own allocator.
void freeGmpString(char* s)
{
    void (*freeFunction)(void*, std::size_t) = nullptr;
    mp_get_memory_functions(nullptr, nullptr, &freeFunction);
    freeFunction(s, std::strlen(s) + 1);
}

} // namespace

std::optional<DecimalNumber> parseDecimal(std::string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && isBlank(text[end - 1])) {
        --end;
    }
    const std::string_view s = text.substr(begin, end - begin);

    DecimalNumber n;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        n.negative = s[i] == '-';
        ++i;
    }
    std::string mantissa;
    std::int64_t fractionDigits = 0;
    bool point = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (isDigit(c)) {
            mantissa.push_back(c);
            if (point) {
                ++fractionDigits;
            }
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    bool hasExponent = false;
    std::int64_t exponent = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        hasExponent = true;
        ++i;
        bool negativeExponent = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
            negativeExponent = s[i] == '-';
            ++i;
        }
        const std::size_t firstDigit = i;
        for (; i < s.size() && isDigit(s[i]); ++i) {
            exponent = exponent * 10 + (s[i] - '0');
            if (exponent > kMaxExponent) {
                return std::nullopt;
            }
        }
        if (i == firstDigit) {
            return std::nullopt;
        }
        if (negativeExponent) {
            exponent = -exponent;
        }
    }
    if (i != s.size()) {
        return std::nullopt;
    }
    // Without digits only the older zero (".e-1") is a number.
    if (mantissa.empty() && !(point && hasExponent)) {
        return std::nullopt;
    }

    const std::size_t first = mantissa.find_first_not_of('0');
    if (first == std::string::npos) {
        return DecimalNumber{};
    }
    const std::size_t last = mantissa.find_last_not_of('0');
    n.digits = mantissa.substr(first, last - first + 1);
    n.exponent = exponent - fractionDigits + static_cast<std::int64_t>(mantissa.size() - 1 - last);
    if (n.exponent > kMaxExponent || n.exponent < -kMaxExponent) {
        return std::nullopt;
    }
    return n;
}

std::size_t significantDigits(std::string_view text)
{
    const auto n = parseDecimal(text);
    return n ? n->digits.size() : 0;
}

std::int64_t bitsForDigits(std::size_t digits)
{
    // log2(10) < 3.322; 64 more bits absorb the rounding of the conversion.
    const std::int64_t bits = (static_cast<std::int64_t>(digits) * 3322 + 999) / 1000 + 64;
    return (bits + 15) / 16 * 16;
}

bool textToMpf(std::string_view text, mpf_ptr x)
{
    const auto n = parseDecimal(text);
    if (!n) {
        return false;
    }
    if (n->digits.empty()) {
        mpf_set_ui(x, 0);
        return true;
    }
    const std::string s = pointlessText(*n);
    return mpf_set_str(x, s.c_str(), 10) == 0;
}

std::optional<long double> textToLongDouble(std::string_view text)
{
    const auto n = parseDecimal(text);
    if (!n) {
        return std::nullopt;
    }
    if (n->digits.empty()) {
        return 0.0L;
    }
    const std::string s = pointlessText(*n);
    return std::strtold(s.c_str(), nullptr);
}

std::int64_t mpfToText(mpf_srcptr x, std::string& text)
{
    mp_exp_t exponent = 0;
    char* raw = mpf_get_str(nullptr, &exponent, 10, 0, x);
    std::string_view digits(raw);
    text.clear();
    bool negative = false;
    if (!digits.empty() && digits.front() == '-') {
        negative = true;
        digits.remove_prefix(1);
    }
    std::int64_t scientific = 0;
    if (digits.empty()) {
        text = "0.0e0";
    } else {
        scientific = static_cast<std::int64_t>(exponent) - 1;
        text.reserve(digits.size() + 24);
        if (negative) {
            text.push_back('-');
        }
        text.push_back(digits.front());
        text.push_back('.');
        if (digits.size() == 1) {
            text.push_back('0');
        } else {
            text.append(digits.substr(1));
        }
        text.push_back('e');
        text += std::to_string(scientific);
    }
    freeGmpString(raw);
    return scientific;
}

std::string extendedToScientific(long double v)
{
    if (std::isnan(v)) {
        return "nan";
    }
    if (std::isinf(v)) {
        return v < 0.0L ? "-inf" : "inf";
    }
    if (v == 0.0L) {
        return "0.0e0";
    }
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::scientific, 17);
    const std::string_view written(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t e = written.find('e');
    std::string_view mantissa = written.substr(0, e);
    while (mantissa.back() == '0') {
        mantissa.remove_suffix(1);
    }
    std::string text(mantissa);
    if (text.back() == '.') {
        text.push_back('0');
    }
    int exponent = 0;
    std::string_view exponentText = written.substr(e + 1);
    if (!exponentText.empty() && exponentText.front() == '+') {
        exponentText.remove_prefix(1);
    }
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);
    text.push_back('e');
    text += std::to_string(exponent);
    return text;
}

std::string decimalText(double v, int significant)
{
    if (v == 0.0) {
        return " 0"; // also for -0
    }
    significant = std::clamp(significant, 1, 17);
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::general, significant);
    std::string text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    // "2e-05" and "1e+20" become "2e-5" and "1e20", as in the scientific form.
    const std::size_t e = text.find('e');
    if (e != std::string::npos) {
        int exponent = 0;
        std::string_view exponentText(text.data() + e + 1, text.size() - e - 1);
        if (!exponentText.empty() && exponentText.front() == '+') {
            exponentText.remove_prefix(1);
        }
        std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);
        text.resize(e + 1);
        text += std::to_string(exponent);
    }
    if (!std::signbit(v)) {
        text.insert(text.begin(), ' ');
    }
    return text;
}

std::string decimalText(std::int64_t v)
{
    std::string text = v < 0 ? std::string() : std::string(" ");
    text += std::to_string(v);
    return text;
}

std::string potValueText(double potValue)
{
    return decimalText(potValue, 12);
}

std::string elapsedText(float seconds)
{
    return decimalText(static_cast<double>(seconds), 7);
}

double fieldValue(std::string_view text)
{
    const auto n = parseDecimal(text);
    if (!n || n->digits.empty()) {
        return 0.0;
    }
    const std::string s = pointlessText(*n);
    return std::strtod(s.c_str(), nullptr);
}

} // namespace qv
