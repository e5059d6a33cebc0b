// ShellObserver: the window controls that the shell's settings operations update, beyond
// those of the view.
#pragma once

#include "engine/view_observer.h"

#include <cstdint>
#include <string_view>

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
    /// The parameters dialog's "Mandelbrot" and "Julia" check boxes (bits 0 and 1 of the mode
    /// word).
    virtual void showFractalType(bool mandelbrot, bool julia) = 0;
    /// The parameters dialog's "Multi-threaded" check box.
    virtual void showMultiThreaded(bool on) = 0;
    /// The menu window's title, e.g. "QUORVALIS - /home/ann/x.fra".
    virtual void setMenuTitle(std::string_view title) = 0;
    /// Sizes the picture window's client area to a picture of width x height pixels.
    virtual void sizePictureWindow(std::int32_t width, std::int32_t height) = 0;
};

} // namespace qv
