// Whole-number scaling of the windows on scaled screens.
#include "ui/pixel_scaling.h"

#include <QGuiApplication>

namespace qv {

void useWholeNumberScaling()
{
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::Round);
}

} // namespace qv
