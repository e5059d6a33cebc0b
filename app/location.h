// The location dialog without a window: which fields it shows and enables, their texts, the
// check of typed text before anything changes, and REDRAW's taking of the typed view.
#pragma once

#include "app/app_state.h"
#include "base/prompts.h"
#include "engine/view_observer.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

/// The text fields of the location dialog.
enum class LocationField : std::size_t {
    Xmin,
    Xmax,
    Ymin,
    Ymax,
    JuliaRe,
    JuliaIm,
    CentreRe,
    CentreIm,
    Magnification,
    IterMax,
};

inline constexpr std::size_t kLocationFieldCount = 10;

/// The text of every field, indexed by LocationField.
struct LocationTexts
{
    std::array<std::string, kLocationFieldCount> text;

    std::string& operator[](LocationField f) { return text[static_cast<std::size_t>(f)]; }

    const std::string& operator[](LocationField f) const
    {
        return text[static_cast<std::size_t>(f)];
    }
};

/// The field's label as the dialog shows it ("Realmin:", "Julia real:", "Iter max: ").
std::string_view locationLabel(LocationField field);

/// Whether a field is shown for a view of this type.
bool locationFieldShown(LocationField field, bool mandelbrot);

/// Whether a shown field takes input: the corners (or the Julia pair) while "Use
/// Center/Magnification" is off, the centre fields while it is on; "Iter max: " always.
bool locationFieldEnabled(LocationField field, bool mandelbrot, bool useCentre);

/// Opening or refilling the dialog: refreshFromDeep, and for a Mandelbrot view centreFromWindow,
/// so that the text copies are current; then the texts the fields show.
LocationTexts openLocation(AppState& app, ViewObserver& observer);

/// The texts of the view's text copies and its iteration limit, as the fields show them.
LocationTexts locationTexts(const ViewState& view);

/// Checks the enabled coordinate fields only: the message that refuses them (a field that is
/// not a number, magnification 0, xmin = xmax, ymin = ymax, a window deeper than the precision
/// can reach), or nothing when they can be taken.
std::optional<std::string> checkLocation(const AppState& app, const LocationTexts& typed,
                                         bool useCentre);

/// "REDRAW" up to the render: refused texts show checkLocation's message (title "QUORVALIS")
/// and change nothing. Otherwise iterMax takes "Iter max: " (rounded, at least 10; text that is
/// not a number reads as 0), the enabled coordinates are taken at full precision through the
/// view-change step, and the picture is marked stale. True when the caller should close the
/// dialog and render.
bool applyLocation(AppState& app, ViewObserver& observer, Prompts& prompts,
                   const LocationTexts& typed, bool useCentre);

/// "Use Center/Magnification" turned on or off. Turned on, the centre and magnification
/// follow the window (centreFromWindow).
void setUseCentre(AppState& app, ViewObserver& observer, bool& useCentre, bool on);

} // namespace qv
