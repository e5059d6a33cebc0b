// What the program's dialogs share: the palette-strip background, dialog units from the font,
// and the refill hook that lets code outside a dialog bring it up to date.
#pragma once

#include "palette/palette.h"

#include <QDialog>
#include <QFont>
#include <QRect>

class QPainter;

namespace qv {

/// Fills `area` with `bands` horizontal bands from the top down, band i in palette entry i:
/// band i spans the rows round(i × h / bands) to round((i + 1) × h / bands), the full width
/// plus one pixel.
void paintPaletteStrip(QPainter& painter, const QRect& area, const Palette& palette,
                       int bands = 200);

/// Dialog units of a font: x unit = average character width / 4, y unit = height / 8.
struct DialogUnits
{
    explicit DialogUnits(const QFont& font);

    /// Device pixels of `units` horizontal or vertical dialog units, rounded.
    int x(int units) const;
    int y(int units) const;

    /// A rectangle given in dialog units.
    QRect rect(int left, int top, int width, int height) const;

    double xUnit = 1.0;
    double yUnit = 1.0;
};

/// A top-level dialog of the program whose background is the palette strip of the current
/// palette. The program refills open dialogs in place when settings change elsewhere.
class ProgramDialog : public QDialog
{
public:
    ProgramDialog(const Palette& palette, QWidget* parent);

    /// Shows the settings in force again in every control (same object, same position, no
    /// focus change).
    virtual void refill() = 0;

protected:
    void paintEvent(QPaintEvent* event) override;

    const Palette& m_palette;
};

} // namespace qv
