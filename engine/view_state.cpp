// The view's conversions between extended, GMP and text, and the rules that choose deep zoom
// and the precision from the depth of the view.
#include "engine/view_state.h"

#include "base/number_text.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <utility>

namespace qv {

namespace {

std::int32_t clampToInt32(std::int64_t v)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

template <typename F> void forEachCurrent(ViewState& view, F&& f)
{
    if (isMandelbrot(view)) {
        for (ViewNumber* n : view.mandelbrot.inOrder()) {
            f(*n);
        }
    } else {
        for (ViewNumber* n : view.julia.inOrder()) {
            f(*n);
        }
    }
}

template <typename F> void forEachNumber(ViewState& view, F&& f)
{
    for (ViewNumber* n : view.mandelbrot.inOrder()) {
        f(*n);
    }
    for (ViewNumber* n : view.julia.inOrder()) {
        f(*n);
    }
}

unsigned long pictureExtent(std::int32_t pixels)
{
    return static_cast<unsigned long>(std::max<std::int32_t>(pixels, 1));
}

void stepsInExtended(WindowRef w, const ViewContext& context)
{
    w.dx.ext =
        (w.xmax.ext - w.xmin.ext) / static_cast<long double>(pictureExtent(context.pictureWidth));
    w.dy.ext =
        (w.ymax.ext - w.ymin.ext) / static_cast<long double>(pictureExtent(context.pictureHeight));
}

void stepsInDeep(WindowRef w, const ViewContext& context)
{
    mpf_sub(w.dx.mp(), w.xmax.mp(), w.xmin.mp());
    mpf_div_ui(w.dx.mp(), w.dx.mp(), pictureExtent(context.pictureWidth));
    mpf_sub(w.dy.mp(), w.ymax.mp(), w.ymin.mp());
    mpf_div_ui(w.dy.mp(), w.dy.mp(), pictureExtent(context.pictureHeight));
}

// The window of aspect width:height around a centre: half extents width / (2 * magnification)
// and height / (2 * magnification). The magnification must not be zero.
void windowAroundCentre(mpf_srcptr re, mpf_srcptr im, mpf_srcptr magnification, mpf_srcptr width,
                        mpf_srcptr height, mpf_ptr xmin, mpf_ptr xmax, mpf_ptr ymin, mpf_ptr ymax)
{
    const unsigned long bits = mpf_get_prec(xmin);
    MpFloat twice(bits);
    MpFloat half(bits);
    mpf_mul_ui(twice.get(), magnification, 2);
    mpf_div(half.get(), width, twice.get());
    mpf_sub(xmin, re, half.get());
    mpf_add(xmax, re, half.get());
    mpf_div(half.get(), height, twice.get());
    mpf_sub(ymin, im, half.get());
    mpf_add(ymax, im, half.get());
}

// The deep limit of a window: the smaller scientific exponent of its two pixel steps.
std::int64_t deepLimitOf(mpf_srcptr xmin, mpf_srcptr xmax, mpf_srcptr ymin, mpf_srcptr ymax,
                         const ViewContext& context)
{
    const unsigned long bits = mpf_get_prec(xmin);
    MpFloat dx(bits);
    MpFloat dy(bits);
    mpf_sub(dx.get(), xmax, xmin);
    mpf_div_ui(dx.get(), dx.get(), pictureExtent(context.pictureWidth));
    mpf_sub(dy.get(), ymax, ymin);
    mpf_div_ui(dy.get(), dy.get(), pictureExtent(context.pictureHeight));
    std::string scratch;
    return std::min(mpfToText(dx.get(), scratch), mpfToText(dy.get(), scratch));
}

// Typed text may hold more digits than the current precision: reading it at that precision,
// writing it back as text and then raising the precision would lose them (a window 1e-53 wide
// collapses to a point at 96 bits). So the window is first worked out at a precision that
// holds every digit, and the precision its depth needs is set before the text is read for good.
void fitPrecisionToTypedText(ViewState& view, const ViewContext& context, TypedView typed)
{
    std::size_t digits = 0;
    forEachCurrent(view,
                   [&](ViewNumber& n) { digits = std::max(digits, significantDigits(n.text)); });
    const auto bits = static_cast<unsigned long>(
        std::clamp<std::int64_t>(bitsForDigits(digits), view.precisionBits, kMaxPrecisionBits));
    // A text that is not a number keeps the number's value, as textToDeep does.
    auto read = [bits](const ViewNumber& n) {
        MpFloat x(n.mp(), bits);
        textToMpf(n.text, x.get());
        return x;
    };
    MpFloat xmin(bits);
    MpFloat xmax(bits);
    MpFloat ymin(bits);
    MpFloat ymax(bits);
    if (typed == TypedView::Centre) {
        const MandelbrotNumbers& m = view.mandelbrot;
        const MpFloat re = read(m.centreRe);
        const MpFloat im = read(m.centreIm);
        const MpFloat magnification = read(m.magnification);
        if (mpf_sgn(magnification.get()) == 0) {
            return;
        }
        MpFloat width(bits);
        MpFloat height(bits);
        mpf_set_ui(width.get(), 4);
        mpf_set_ui(height.get(), 3);
        windowAroundCentre(re.get(), im.get(), magnification.get(), width.get(), height.get(),
                           xmin.get(), xmax.get(), ymin.get(), ymax.get());
    } else {
        const WindowRef w = currentWindow(view);
        xmin = read(w.xmin);
        xmax = read(w.xmax);
        ymin = read(w.ymin);
        ymax = read(w.ymax);
    }
    const std::int64_t limit = deepLimitOf(xmin.get(), xmax.get(), ymin.get(), ymax.get(), context);
    setPrecision(view, precisionForLimit(adjustedDeepLimit(view, limit)));
}

} // namespace

DeepConstants::DeepConstants(std::int32_t bits)
    : half(static_cast<unsigned long>(bits)), quarter(static_cast<unsigned long>(bits)),
      defaultWidth(static_cast<unsigned long>(bits)),
      defaultHeight(static_cast<unsigned long>(bits)),
      magnificationHeight(static_cast<unsigned long>(bits))
{
    mpf_set_d(half.get(), 0.5);
    mpf_set_d(quarter.get(), 0.25);
    mpf_set_ui(defaultWidth.get(), 4);
    mpf_set_ui(defaultHeight.get(), 3);
    mpf_set_ui(magnificationHeight.get(), 3);
}

ViewState::ViewState()
{
    forEachNumber(*this, [](ViewNumber& n) {
        n.deep.emplace(static_cast<unsigned long>(kMinPrecisionBits));
    });
    constants.emplace(kMinPrecisionBits);
}

bool isMandelbrot(const ViewState& view)
{
    return (view.modeWord & 1u) != 0;
}

void setDrawingMode(std::uint32_t& modeWord, std::int32_t mode)
{
    if (mode < 1 || mode > 28) {
        return;
    }
    modeWord = (modeWord & 3u) | (1u << static_cast<unsigned>(mode + 1));
}

std::int32_t drawingMode(std::uint32_t modeWord)
{
    for (std::int32_t bit = 2; bit <= 29; ++bit) {
        if ((modeWord >> bit) & 1u) {
            return bit - 1;
        }
    }
    return 0;
}

char drawingModeChar(std::int32_t mode)
{
    if (mode < 1 || mode > 28) {
        return '?';
    }
    return kModeChars[static_cast<std::size_t>(mode - 1)];
}

WindowRef currentWindow(ViewState& view)
{
    if (isMandelbrot(view)) {
        MandelbrotNumbers& m = view.mandelbrot;
        return {m.xmin, m.xmax, m.dx, m.ymin, m.ymax, m.dy};
    }
    JuliaNumbers& j = view.julia;
    return {j.xmin, j.xmax, j.dx, j.ymin, j.ymax, j.dy};
}

void resetView(ViewState& view)
{
    const WindowRef w = currentWindow(view);
    if (isMandelbrot(view)) {
        w.xmin.ext = -2.5L;
        w.xmax.ext = 1.5L;
        w.ymin.ext = -1.5L;
        w.ymax.ext = 1.5L;
    } else {
        w.xmin.ext = -1.8L;
        w.xmax.ext = 1.8L;
        w.ymin.ext = -1.8L;
        w.ymax.ext = 1.8L;
    }
    // The texts follow the GMP numbers, so that a precision change reloads the new window.
    for (ViewNumber* n : {&w.xmin, &w.xmax, &w.ymin, &w.ymax}) {
        mpf_set_d(n->mp(), static_cast<double>(n->ext));
        mpfToText(n->mp(), n->text);
    }
}

void extendedToText(ViewState& view)
{
    forEachCurrent(view, [](ViewNumber& n) { n.text = extendedToScientific(n.ext); });
}

void textToDeep(ViewState& view)
{
    forEachCurrent(view, [](ViewNumber& n) { textToMpf(n.text, n.mp()); });
}

bool textToDeep(ViewState& view, std::span<const std::string_view> fileFields,
                std::size_t fieldChars)
{
    const bool mandelbrot = isMandelbrot(view);
    const std::size_t stored = mandelbrot ? MandelbrotNumbers::kStored : JuliaNumbers::kStored;
    if (fileFields.size() != stored) {
        return false;
    }
    std::array<ViewNumber*, MandelbrotNumbers::kCount> numbers{};
    if (mandelbrot) {
        numbers = view.mandelbrot.inOrder();
    } else {
        const auto julia = view.julia.inOrder();
        std::copy(julia.begin(), julia.end(), numbers.begin());
    }
    for (std::size_t i = 0; i < stored; ++i) {
        std::string_view field = fileFields[i].substr(0, fieldChars);
        field = field.substr(0, field.find('\0'));
        if (textToMpf(field, numbers[i]->mp())) {
            numbers[i]->text = field;
        }
    }
    return true;
}

void textToExtended(ViewState& view)
{
    forEachCurrent(view, [](ViewNumber& n) {
        if (const auto v = textToLongDouble(n.text)) {
            n.ext = *v;
        }
    });
}

void extendedToDeep(ViewState& view)
{
    extendedToText(view);
    textToDeep(view);
}

void deepToExtended(ViewState& view, const ViewContext& context, ViewObserver& observer)
{
    refreshFromDeep(view, context, observer);
    textToExtended(view);
}

void refreshFromDeep(ViewState& view, const ViewContext& context, ViewObserver& observer)
{
    const WindowRef w = currentWindow(view);
    std::int64_t dxExponent = 0;
    std::int64_t dyExponent = 0;
    forEachCurrent(view, [&](ViewNumber& n) {
        const std::int64_t exponent = mpfToText(n.mp(), n.text);
        if (&n == &w.dx) {
            dxExponent = exponent;
        } else if (&n == &w.dy) {
            dyExponent = exponent;
        }
    });
    view.deepLimit = clampToInt32(std::min(dxExponent, dyExponent));

    if (!context.animationRunning) {
        observer.setMainTitle(deepLimitTitle(view.deepLimit));
        if (context.autoPotValue) {
            view.potValue = autoPotValueFor(view.deepLimit);
            observer.showPotValue(potValueText(view.potValue));
        }
    }

    const std::int64_t adjusted = adjustedDeepLimit(view, view.deepLimit);
    if (adjusted > kDeepZoomLimit) {
        textToExtended(view);
        view.deepZoom = 0;
    } else {
        view.deepZoom = 1;
    }
    observer.showDeepZoom(view.deepZoom != 0);

    setPrecision(view, precisionForLimit(adjusted));
}

void setPrecision(ViewState& view, std::int32_t bits)
{
    if (bits < kMinPrecisionBits) {
        return;
    }
    bits = std::min(bits, kMaxPrecisionBits);
    if (bits == view.precisionBits && view.constants) {
        return;
    }
    const auto precision = static_cast<unsigned long>(bits);
    // Both views are reloaded: the other view must survive a precision change too. A text that
    // is not a number keeps the number's previous value.
    forEachNumber(view, [precision](ViewNumber& n) {
        MpFloat fresh(precision);
        if (!textToMpf(n.text, fresh.get()) && n.deep) {
            mpf_set(fresh.get(), n.mp());
        }
        n.deep = std::move(fresh);
    });
    view.constants.emplace(bits);
    view.precisionBits = bits;
}

void clearDeep(ViewState& view)
{
    forEachNumber(view, [](ViewNumber& n) { n.deep.reset(); });
    view.constants.reset();
}

void applyViewChange(ViewState& view, const ViewContext& context, ViewObserver& observer)
{
    if (view.deepZoom != 0) {
        applyDeepViewChange(view, context, observer);
        return;
    }
    stepsInExtended(currentWindow(view), context);
    extendedToDeep(view);
    refreshFromDeep(view, context, observer);
}

void applyDeepViewChange(ViewState& view, const ViewContext& context, ViewObserver& observer)
{
    stepsInDeep(currentWindow(view), context);
    refreshFromDeep(view, context, observer);
}

bool takeTypedView(ViewState& view, const ViewContext& context, ViewObserver& observer,
                   TypedView typed)
{
    if (typed == TypedView::Centre && !isMandelbrot(view)) {
        return false;
    }
    fitPrecisionToTypedText(view, context, typed);
    if (typed == TypedView::Centre) {
        return windowFromCentre(view, context, observer);
    }
    textToDeep(view);
    applyDeepViewChange(view, context, observer);
    return true;
}

bool windowFromCentre(ViewState& view, const ViewContext& context, ViewObserver& observer)
{
    if (!isMandelbrot(view)) {
        return false;
    }
    MandelbrotNumbers& m = view.mandelbrot;
    textToMpf(m.centreRe.text, m.centreRe.mp());
    textToMpf(m.centreIm.text, m.centreIm.mp());
    textToMpf(m.magnification.text, m.magnification.mp());
    // A magnification of zero has no window (and GMP would divide by zero).
    if (mpf_sgn(m.magnification.mp()) == 0) {
        return false;
    }
    const DeepConstants& c = view.constants.value();
    windowAroundCentre(m.centreRe.mp(), m.centreIm.mp(), m.magnification.mp(), c.defaultWidth.get(),
                       c.defaultHeight.get(), m.xmin.mp(), m.xmax.mp(), m.ymin.mp(), m.ymax.mp());
    applyDeepViewChange(view, context, observer);
    observer.refreshLocationFields();
    return true;
}

void centreFromWindow(ViewState& view, const ViewContext& context, ViewObserver& observer)
{
    if (!isMandelbrot(view)) {
        return;
    }
    MandelbrotNumbers& m = view.mandelbrot;
    MpFloat half(static_cast<unsigned long>(view.precisionBits));
    mpf_sub(half.get(), m.xmax.mp(), m.xmin.mp());
    mpf_div_ui(half.get(), half.get(), 2);
    mpf_add(m.centreRe.mp(), m.xmin.mp(), half.get());
    mpf_sub(half.get(), m.ymax.mp(), m.ymin.mp());
    // A window of no height keeps its magnification (GMP would divide by zero).
    if (mpf_sgn(half.get()) != 0) {
        mpf_div(m.magnification.mp(), view.constants.value().magnificationHeight.get(), half.get());
    }
    mpf_div_ui(half.get(), half.get(), 2);
    mpf_add(m.centreIm.mp(), m.ymin.mp(), half.get());
    refreshFromDeep(view, context, observer);
}

std::int64_t adjustedDeepLimit(const ViewState& view, std::int64_t deepLimit)
{
    std::int64_t e = deepLimit;
    if (!isMandelbrot(view)) {
        e -= 7;
    }
    if (drawingMode(view.modeWord) >= 26) {
        e -= 3;
    }
    return e;
}

std::int32_t precisionForLimit(std::int64_t adjustedLimit)
{
    const std::int64_t n = std::min<std::int64_t>(std::llabs(adjustedLimit - 3), 1'000'000'000);
    // 16 * floor(3.7 n / 16) in integers: 3.7 n / 16 = 37 n / 160.
    const std::int64_t bits = 16 * (37 * n / 160);
    return static_cast<std::int32_t>(std::min<std::int64_t>(bits, kMaxPrecisionBits));
}

double autoPotValueFor(std::int32_t deepLimit)
{
    // At deepLimit 0 the rule would divide by zero; the nearest depths give 0.0002.
    const std::int64_t depth = std::max<std::int64_t>(std::llabs(deepLimit), 1);
    return 0.0002 / static_cast<double>(depth);
}

std::string deepLimitTitle(std::int32_t deepLimit)
{
    return "QUORVALIS (Deeplimit:" + decimalText(static_cast<std::int64_t>(deepLimit)) + ")";
}

void autoIterIncrease(ViewState& view, std::int32_t deepLimit)
{
    std::int64_t raised = 100 * std::llabs(deepLimit);
    if (!isMandelbrot(view)) {
        raised *= 2;
    }
    raised = std::min<std::int64_t>(raised, std::numeric_limits<std::int32_t>::max());
    view.iterMax = std::max(view.iterMax, static_cast<std::int32_t>(raised));
}

void turnDeepZoomOn(ViewState& view, ViewObserver& observer)
{
    view.deepZoom = 1;
    extendedToDeep(view);
    observer.showDeepZoom(true);
}

bool turnDeepZoomOff(ViewState& view, const ViewContext& context, ViewObserver& observer)
{
    if (view.deepLimit <= kDeepZoomLimit) {
        observer.showDeepZoom(view.deepZoom != 0);
        return false;
    }
    // The view-change step inside deepToExtended decides: a view that needs deep zoom (a
    // Julia view, modes 26..28 count deeper) switches it on again.
    view.deepZoom = 0;
    deepToExtended(view, context, observer);
    return true;
}

} // namespace qv
