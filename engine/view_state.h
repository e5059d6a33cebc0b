// ViewState: what is drawn (type, drawing mode, window, limits, precision), every view number
// held three ways, and the conversions that keep the three forms equal.
#pragma once

#include "base/mp_float.h"
#include "engine/view_observer.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include <gmp.h>

namespace qv {

inline constexpr std::int32_t kMinPrecisionBits = 96;
/// Far beyond any view that can still be rendered; keeps the precision rule and GMP's
/// allocations bounded for absurd views (a typed "1e-1000000000").
inline constexpr std::int32_t kMaxPrecisionBits = 1 << 20;
/// Deep zoom is on when the adjusted deep limit is at or below this exponent.
inline constexpr std::int32_t kDeepZoomLimit = -17;
/// Number text fields of the older parameter files hold at most this many characters.
inline constexpr std::size_t kFileFieldChars = 500;
/// Drawing mode m is written as character m - 1 of this string.
inline constexpr std::string_view kModeChars = "0123456789ABCDEFGHIJKLMNOPQR";

/// One view number in its three forms: 80-bit extended, GMP at precisionBits, decimal text.
struct ViewNumber
{
    long double ext = 0.0L;
    std::optional<MpFloat> deep; ///< absent only between clearDeep and setPrecision
    std::string text = "0.0e0";

    mpf_ptr mp() { return deep.value().get(); }

    mpf_srcptr mp() const { return deep.value().get(); }
};

/// The Mandelbrot view, its fields in the order every conversion walks them.
struct MandelbrotNumbers
{
    static constexpr std::size_t kCount = 9;
    /// The first six (the window and its steps) are what parameter files store.
    static constexpr std::size_t kStored = 6;
    ViewNumber xmin, xmax, dx, ymin, ymax, dy, centreRe, centreIm, magnification;

    std::array<ViewNumber*, kCount> inOrder()
    {
        return {&xmin, &xmax, &dx, &ymin, &ymax, &dy, &centreRe, &centreIm, &magnification};
    }
};

/// The Julia view, its fields in the order every conversion walks them.
struct JuliaNumbers
{
    static constexpr std::size_t kCount = 8;
    static constexpr std::size_t kStored = 8;
    ViewNumber xmin, ymin, xmax, ymax, cr, ci, dy, dx;

    std::array<ViewNumber*, kCount> inOrder()
    {
        return {&xmin, &ymin, &xmax, &ymax, &cr, &ci, &dy, &dx};
    }
};

/// The GMP constants built with the view numbers at precisionBits.
struct DeepConstants
{
    explicit DeepConstants(std::int32_t bits);

    MpFloat half;                ///< 0.5 (navigation)
    MpFloat quarter;             ///< 0.25 (navigation)
    MpFloat defaultWidth;        ///< 4, the default Mandelbrot width
    MpFloat defaultHeight;       ///< 3, the default Mandelbrot height
    MpFloat magnificationHeight; ///< 3, the height that has magnification 1
};

struct ViewState
{
    /// The start values, every GMP number at 96 bits; the windows are still zero.
    ViewState();

    /// bit 0: 1 = Mandelbrot, 0 = Julia; bit 1: Julia chosen; bits 2..29: the drawing mode.
    std::uint32_t modeWord = 5;
    std::int32_t iterMax = 100;
    double bailout = 128.0;
    double potValue = 0.0001;
    MandelbrotNumbers mandelbrot;
    JuliaNumbers julia;
    std::optional<DeepConstants> constants; ///< absent only between clearDeep and setPrecision
    std::int32_t deepZoom = 0;
    /// The precision of every GMP number; changed only through setPrecision.
    std::int32_t precisionBits = kMinPrecisionBits;
    /// The decimal exponent of the pixel step, set by refreshFromDeep.
    std::int32_t deepLimit = 0;
};

/// The window numbers of one view, whichever type it is.
struct WindowRef
{
    ViewNumber& xmin;
    ViewNumber& xmax;
    ViewNumber& dx;
    ViewNumber& ymin;
    ViewNumber& ymax;
    ViewNumber& dy;
};

/// What the view conversions need from outside the view.
struct ViewContext
{
    std::int32_t pictureWidth = 640;
    std::int32_t pictureHeight = 480;
    bool autoPotValue = false;     ///< "Auto pot value"
    bool animationRunning = false; ///< a movie or animation leaves title and pot value alone
};

/// Which typed text takeTypedView reads.
enum class TypedView {
    Window, ///< Mandelbrot corners, or the Julia constant in a Julia view
    Centre, ///< Mandelbrot centre and magnification
};

// --- Mode word ---

bool isMandelbrot(const ViewState& view);

/// Clears bits 2..31 (keeping the type bits 0 and 1) and selects mode 1..28; other modes leave
/// the word unchanged.
void setDrawingMode(std::uint32_t& modeWord, std::int32_t mode);

/// The drawing mode 1..28 of the lowest set bit among bits 2..29; 0 when none is set.
std::int32_t drawingMode(std::uint32_t modeWord);

/// "0".."9", "A".."R" for modes 1..28; '?' for anything else.
char drawingModeChar(std::int32_t mode);

/// The current view's window numbers (Mandelbrot or Julia by bit 0).
WindowRef currentWindow(ViewState& view);

// --- Conversions between the three forms, on the current view ---

/// The default window of the current type in extended precision, copied into GMP exactly.
void resetView(ViewState& view);

/// Every extended field to text with 18 significant digits.
void extendedToText(ViewState& view);

/// Every text copy into its GMP number. Text that is not a number leaves its number unchanged.
void textToDeep(ViewState& view);

/// The stored numbers of a loaded parameter file (6 for Mandelbrot, 8 for Julia, in walking
/// order) into the text copies and GMP numbers. Each field ends at its first zero byte and
/// after `fieldChars` characters (the field's width). A field that is not a number changes
/// nothing; a wrong field count changes nothing and gives false.
bool textToDeep(ViewState& view, std::span<const std::string_view> fileFields,
                std::size_t fieldChars = kFileFieldChars);

/// Every text copy into its extended field. Text that is not a number leaves it unchanged.
void textToExtended(ViewState& view);

/// extendedToText, then textToDeep.
void extendedToDeep(ViewState& view);

/// refreshFromDeep, then textToExtended.
void deepToExtended(ViewState& view, const ViewContext& context, ViewObserver& observer);

/// The step after every change of view: texts from GMP, deepLimit from the exponents of dx and
/// dy, the title, the automatic pot value, deep zoom on or off, and the precision the depth
/// needs. dx and dy must be those of the current window (applyViewChange sees to it).
void refreshFromDeep(ViewState& view, const ViewContext& context, ViewObserver& observer);

/// Rebuilds every GMP number and constant at `bits` and reloads both views from their text
/// copies, so that every digit of the text is kept. Ignored below 96 bits and when the numbers
/// already have `bits`; more than kMaxPrecisionBits gives kMaxPrecisionBits.
void setPrecision(ViewState& view, std::int32_t bits);

/// Releases every GMP number; the next setPrecision builds them again whatever its bits.
void clearDeep(ViewState& view);

// --- The view-change step ---

/// Run after the window or the picture size changed, in the form in force: dx and dy for the
/// picture size (GMP in deep zoom, extended otherwise, then extendedToDeep), then
/// refreshFromDeep.
void applyViewChange(ViewState& view, const ViewContext& context, ViewObserver& observer);

/// The same when the GMP numbers hold the new view whatever deepZoom says (text read into
/// them, a loaded file).
void applyDeepViewChange(ViewState& view, const ViewContext& context, ViewObserver& observer);

/// Takes text typed into the text copies (location dialog, command line) without losing
/// digits: reads it at a precision that holds every digit, sets the precision the window
/// needs, then reads it again at that precision and applies the view change. For Centre the
/// window follows from windowFromCentre. False when nothing could be taken (Centre in a Julia
/// view, a magnification of zero).
bool takeTypedView(ViewState& view, const ViewContext& context, ViewObserver& observer,
                   TypedView typed);

/// Mandelbrot only: the window of aspect 4:3 from the text copies of centreRe, centreIm and
/// magnification, then the view change and the location fields. False (nothing changes) in a
/// Julia view and for a magnification of zero.
bool windowFromCentre(ViewState& view, const ViewContext& context, ViewObserver& observer);

/// Mandelbrot only: centre and magnification (3 / height) from the window, then
/// refreshFromDeep. A window of no height keeps its magnification.
void centreFromWindow(ViewState& view, const ViewContext& context, ViewObserver& observer);

// --- Rules ---

/// deepLimit made stricter for Julia views (-7) and drawing modes 26..28 (-3 more).
std::int64_t adjustedDeepLimit(const ViewState& view, std::int64_t deepLimit);

/// The precision for an adjusted deep limit e: 16 * floor(3.7 * |e - 3| / 16), at most
/// kMaxPrecisionBits (below 96 it is ignored by setPrecision).
std::int32_t precisionForLimit(std::int64_t adjustedLimit);

/// The automatic pot value for a deep limit: 0.0002 / |deepLimit| (0.0002 at deepLimit 0).
double autoPotValueFor(std::int32_t deepLimit);

/// "QUORVALIS (Deeplimit:-17)", "QUORVALIS (Deeplimit: 3)".
std::string deepLimitTitle(std::int32_t deepLimit);

/// "Auto iter increase": iterMax rises to 100 * |deepLimit| (twice that for Julia) and never
/// falls. An extended zoom passes the deepLimit from before the zoom.
void autoIterIncrease(ViewState& view, std::int32_t deepLimit);

/// The "Deep zoom" box ticked by hand: deepZoom = 1 and extendedToDeep.
void turnDeepZoomOn(ViewState& view, ViewObserver& observer);

/// The "Deep zoom" box unticked by hand: refused (false, deep zoom stays on) while deepLimit
/// <= -17; otherwise deepZoom = 0, then deepToExtended, whose view-change step switches deep
/// zoom on again for a view that needs it (a Julia view counts 7 decades deeper).
bool turnDeepZoomOff(ViewState& view, const ViewContext& context, ViewObserver& observer);

} // namespace qv
