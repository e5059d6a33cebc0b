// The location dialog's rules: its field sets, the check of typed text and REDRAW.
#include "app/location.h"

#include "base/mp_float.h"
#include "base/number_text.h"
#include "base/round_half_even.h"
#include "engine/view_state.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace qv {

namespace {

constexpr std::int32_t kMinIterMax = 10;

bool isJuliaPair(LocationField f)
{
    return f == LocationField::JuliaRe || f == LocationField::JuliaIm;
}

bool isCentre(LocationField f)
{
    return f == LocationField::CentreRe || f == LocationField::CentreIm ||
           f == LocationField::Magnification;
}

/// The label without its colon and blanks, for messages.
std::string fieldName(LocationField f)
{
    std::string name(locationLabel(f));
    while (!name.empty() && (name.back() == ' ' || name.back() == ':')) {
        name.pop_back();
    }
    return name;
}

/// Equal values, whatever their form ("1.5", "15e-1", "1.50").
bool sameValue(const DecimalNumber& x, const DecimalNumber& y)
{
    if (x.digits.empty() || y.digits.empty()) {
        return x.digits.empty() && y.digits.empty();
    }
    return x.negative == y.negative && x.digits == y.digits && x.exponent == y.exponent;
}

/// The decimal exponent of a non-zero x, give or take one: enough to compare with the
/// precision cap, which lies hundreds of thousands of decades away.
std::int64_t roughDecimalExponent(mpf_srcptr x)
{
    long binaryExponent = 0;
    const double mantissa = std::fabs(mpf_get_d_2exp(&binaryExponent, x));
    return static_cast<std::int64_t>(
        std::floor(std::log10(mantissa) + static_cast<double>(binaryExponent) * std::log10(2.0)));
}

/// The precision rule's bits for an adjusted deep limit, before its cap.
bool beyondPrecisionCap(std::int64_t adjustedLimit)
{
    const std::int64_t n = std::min<std::int64_t>(std::llabs(adjustedLimit - 3), 1'000'000'000);
    return 16 * (37 * n / 160) > kMaxPrecisionBits;
}

/// The smaller decimal exponent of the pixel steps of the window the texts give (they are
/// numbers: checked before); nothing when the steps vanish even at the precision cap.
std::optional<std::int64_t> typedDepth(const AppState& app, const LocationTexts& typed, bool centre)
{
    std::size_t digits = 0;
    for (std::size_t i = 0; i < kLocationFieldCount; ++i) {
        digits = std::max(digits, significantDigits(typed.text[i]));
    }
    const auto bits = static_cast<unsigned long>(
        std::clamp<std::int64_t>(bitsForDigits(digits), app.view.precisionBits, kMaxPrecisionBits));
    auto read = [&](LocationField f) {
        MpFloat x(bits);
        textToMpf(typed[f], x.get());
        return x;
    };
    const auto width = static_cast<unsigned long>(std::max(app.settings.pictureWidth, 1));
    const auto height = static_cast<unsigned long>(std::max(app.settings.pictureHeight, 1));
    MpFloat dx(bits);
    MpFloat dy(bits);
    if (centre) {
        const MpFloat magnification = read(LocationField::Magnification);
        mpf_ui_div(dx.get(), 4, magnification.get());
        mpf_div_ui(dx.get(), dx.get(), width);
        mpf_ui_div(dy.get(), 3, magnification.get());
        mpf_div_ui(dy.get(), dy.get(), height);
    } else {
        mpf_sub(dx.get(), read(LocationField::Xmax).get(), read(LocationField::Xmin).get());
        mpf_div_ui(dx.get(), dx.get(), width);
        mpf_sub(dy.get(), read(LocationField::Ymax).get(), read(LocationField::Ymin).get());
        mpf_div_ui(dy.get(), dy.get(), height);
    }
    if (mpf_sgn(dx.get()) == 0 || mpf_sgn(dy.get()) == 0) {
        return std::nullopt;
    }
    return std::min(roughDecimalExponent(dx.get()), roughDecimalExponent(dy.get()));
}

} // namespace

std::string_view locationLabel(LocationField field)
{
    switch (field) {
    case LocationField::Xmin:
        return "Realmin:";
    case LocationField::Xmax:
        return "Realmax:";
    case LocationField::Ymin:
        return "Imagmin:";
    case LocationField::Ymax:
        return "Imagmax:";
    case LocationField::JuliaRe:
        return "Julia real:";
    case LocationField::JuliaIm:
        return "Julia imag:";
    case LocationField::CentreRe:
        return "Real center";
    case LocationField::CentreIm:
        return "Imag center";
    case LocationField::Magnification:
        return "Magnification";
    case LocationField::IterMax:
        break;
    }
    return "Iter max: ";
}

bool locationFieldShown(LocationField field, bool mandelbrot)
{
    if (field == LocationField::IterMax) {
        return true;
    }
    return isJuliaPair(field) ? !mandelbrot : mandelbrot;
}

bool locationFieldEnabled(LocationField field, bool mandelbrot, bool useCentre)
{
    if (!locationFieldShown(field, mandelbrot)) {
        return false;
    }
    if (field == LocationField::IterMax) {
        return true;
    }
    return isCentre(field) ? useCentre : !useCentre;
}

LocationTexts locationTexts(const ViewState& view)
{
    LocationTexts t;
    const MandelbrotNumbers& m = view.mandelbrot;
    t[LocationField::Xmin] = m.xmin.text;
    t[LocationField::Xmax] = m.xmax.text;
    t[LocationField::Ymin] = m.ymin.text;
    t[LocationField::Ymax] = m.ymax.text;
    t[LocationField::JuliaRe] = view.julia.cr.text;
    t[LocationField::JuliaIm] = view.julia.ci.text;
    t[LocationField::CentreRe] = m.centreRe.text;
    t[LocationField::CentreIm] = m.centreIm.text;
    t[LocationField::Magnification] = m.magnification.text;
    t[LocationField::IterMax] = decimalText(std::int64_t{view.iterMax});
    return t;
}

LocationTexts openLocation(AppState& app, ViewObserver& observer)
{
    refreshFromDeep(app.view, viewContext(app), observer);
    if (isMandelbrot(app.view)) {
        centreFromWindow(app.view, viewContext(app), observer);
    }
    return locationTexts(app.view);
}

std::optional<std::string> checkLocation(const AppState& app, const LocationTexts& typed,
                                         bool useCentre)
{
    const bool mandelbrot = isMandelbrot(app.view);
    std::array<std::optional<DecimalNumber>, kLocationFieldCount> numbers;
    bool anyEnabled = false;
    for (std::size_t i = 0; i < kLocationFieldCount; ++i) {
        const auto f = static_cast<LocationField>(i);
        if (f == LocationField::IterMax || !locationFieldEnabled(f, mandelbrot, useCentre)) {
            continue;
        }
        anyEnabled = true;
        numbers[i] = parseDecimal(typed[f]);
        if (!numbers[i]) {
            return fieldName(f) + " is not a number.";
        }
    }
    // A Julia view takes only its constant, which sets no window depth.
    if (!anyEnabled || !mandelbrot) {
        return std::nullopt;
    }
    auto number = [&](LocationField f) -> const DecimalNumber& {
        return *numbers[static_cast<std::size_t>(f)];
    };
    if (useCentre) {
        if (number(LocationField::Magnification).digits.empty()) {
            return std::string("Magnification must not be 0.");
        }
    } else {
        if (sameValue(number(LocationField::Xmin), number(LocationField::Xmax))) {
            return std::string("Realmin and Realmax are equal: the window has no width.");
        }
        if (sameValue(number(LocationField::Ymin), number(LocationField::Ymax))) {
            return std::string("Imagmin and Imagmax are equal: the window has no height.");
        }
    }
    const std::optional<std::int64_t> depth = typedDepth(app, typed, useCentre);
    if (!depth || beyondPrecisionCap(adjustedDeepLimit(app.view, *depth))) {
        return "This window lies beyond the precision limit: it would need more than " +
               std::to_string(kMaxPrecisionBits) + " bits.";
    }
    return std::nullopt;
}

bool applyLocation(AppState& app, ViewObserver& observer, Prompts& prompts,
                   const LocationTexts& typed, bool useCentre)
{
    if (const std::optional<std::string> refusal = checkLocation(app, typed, useCentre)) {
        prompts.message(*refusal);
        return false;
    }
    const double limit =
        std::clamp(fieldValue(typed[LocationField::IterMax]), static_cast<double>(kMinIterMax),
                   static_cast<double>(std::numeric_limits<std::int32_t>::max()));
    app.view.iterMax = roundHalfEven(limit);

    ViewState& view = app.view;
    const ViewContext context = viewContext(app);
    if (isMandelbrot(view)) {
        MandelbrotNumbers& m = view.mandelbrot;
        if (useCentre) {
            m.centreRe.text = typed[LocationField::CentreRe];
            m.centreIm.text = typed[LocationField::CentreIm];
            m.magnification.text = typed[LocationField::Magnification];
            takeTypedView(view, context, observer, TypedView::Centre);
        } else {
            m.xmin.text = typed[LocationField::Xmin];
            m.xmax.text = typed[LocationField::Xmax];
            m.ymin.text = typed[LocationField::Ymin];
            m.ymax.text = typed[LocationField::Ymax];
            takeTypedView(view, context, observer, TypedView::Window);
        }
    } else if (!useCentre) {
        view.julia.cr.text = typed[LocationField::JuliaRe];
        view.julia.ci.text = typed[LocationField::JuliaIm];
        takeTypedView(view, context, observer, TypedView::Window);
    }
    app.shell.pictureValid = 0;
    app.shell.pictureFromImage = 0;
    return true;
}

void setUseCentre(AppState& app, ViewObserver& observer, bool& useCentre, bool on)
{
    useCentre = on;
    if (on && isMandelbrot(app.view)) {
        centreFromWindow(app.view, viewContext(app), observer);
    }
}

} // namespace qv
