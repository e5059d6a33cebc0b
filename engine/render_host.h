// RenderHost: everything the render driver asks of the window system. The program implements
// it with its windows, the headless renderer with a progress bar, tests with a script.
#pragma once

#include "app/backup_form.h"
#include "app/shell_observer.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qv {

/// The view's controls and the window titles come from ShellObserver: setMainTitle is the
/// picture window's title, setMenuTitle the menu window's, showIterMax the parameters dialog's
/// "Iter max:" field, sizePictureWindow fits the drawing surface to a new picture size.
/// Every call comes from the user-interface thread.
class RenderHost : public ShellObserver
{
public:
    /// Processes the window system's pending events and returns without sleeping. Commands
    /// that arrive meanwhile must not change the view, the settings or the buffers (they wait
    /// until ShellState::rendering is 0 again); a paint may call renderView, which then returns
    /// at once.
    virtual void pumpEvents() = 0;
    /// Whether Esc was pressed since the last call; the call clears it.
    virtual bool escapePressed() = 0;
    /// Rows finished so far out of `rows`, given at every poll of Esc.
    virtual void showProgress(std::int32_t rowsDone, std::int32_t rows) = 0;
    /// Disables or enables the controls of the picture and menu windows.
    virtual void setControlsEnabled(bool enabled) = 0;
    /// Brings the picture window to the front.
    virtual void bringToFront() = 0;
    /// The picture window repaints from the PictureBuffer at its next paint. Also called every
    /// few seconds during a deep render, followed by pumpEvents.
    virtual void invalidatePicture() = 0;
    /// The single-threaded renderer's finished row `row` (0 = top) as colours 0x00RRGGBB, shown
    /// at once.
    virtual void drawRow(std::int32_t row, std::span<const std::uint32_t> colours) = 0;
    /// Each open dialog shows the current values again (closed and opened again).
    virtual void refreshOpenDialogs() = 0;
    /// Writes the thumbnail of the PictureBuffer to `path`; the driver asks only when no file
    /// of that name exists.
    virtual void writeThumbnail(const std::string& path) = 0;
    /// Makes a backup copy of the parameters and the picture in the given form.
    virtual void makeBackup(BackupForm form) = 0;
    /// The arrow cursor over the picture window.
    virtual void setArrowCursor() = 0;
};

} // namespace qv
