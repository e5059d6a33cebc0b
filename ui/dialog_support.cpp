// The palette-strip background, dialog units and the program dialogs' common base.
#include "ui/dialog_support.h"

#include <cmath>

#include <QFontMetricsF>
#include <QPainter>

namespace qv {

void paintPaletteStrip(QPainter& painter, const QRect& area, const Palette& palette, int bands)
{
    const int h = area.height();
    for (int i = 0; i < bands; ++i) {
        const int top = static_cast<int>(std::lround(static_cast<double>(i) * h / bands));
        const int bottom = static_cast<int>(std::lround(static_cast<double>(i + 1) * h / bands));
        if (bottom <= top) {
            continue;
        }
        painter.fillRect(QRect(area.left(), area.top() + top, area.width() + 1, bottom - top),
                         QColor::fromRgb(palette.colourAt(i)));
    }
}

DialogUnits::DialogUnits(const QFont& font)
{
    const QFontMetricsF metrics(font);
    xUnit = metrics.averageCharWidth() / 4.0;
    yUnit = metrics.height() / 8.0;
}

int DialogUnits::x(int units) const
{
    return static_cast<int>(std::lround(units * xUnit));
}

int DialogUnits::y(int units) const
{
    return static_cast<int>(std::lround(units * yUnit));
}

QRect DialogUnits::rect(int left, int top, int width, int height) const
{
    return {x(left), y(top), x(width), y(height)};
}

ProgramDialog::ProgramDialog(const Palette& palette, QWidget* parent)
    : QDialog(parent, Qt::Window), m_palette(palette)
{
}

void ProgramDialog::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintPaletteStrip(painter, rect(), m_palette);
}

} // namespace qv
