// ShellObserver: the window controls that the shell's settings operations update, beyond
// those of the view.
#pragma once

#include "engine/view_observer.h"

namespace qv {

class ShellObserver : public ViewObserver
{
public:
    /// The parameters dialog's "Boxed zoom" check box.
    virtual void showBoxedZoom(bool on) = 0;
    /// The parameters dialog's "Auto pot value" check box.
    virtual void showAutoPotValue(bool on) = 0;
    /// Asks the picture window to repaint; it renders when the picture is no longer valid.
    virtual void requestRepaint() = 0;
};

} // namespace qv
