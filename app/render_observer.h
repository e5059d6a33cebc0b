// RenderObserver: what the program shows around a render (controls, picture, dialogs,
// thumbnail, backup), beyond the controls and titles the view and settings code update.
#pragma once

#include "app/backup_form.h"
#include "app/shell_observer.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

/// The picture window's and menu window's side of a render. Every call comes from the
/// user-interface thread.
class RenderObserver : public ShellObserver
{
public:
    /// Disables or enables the controls of the picture and menu windows.
    virtual void setControlsEnabled(bool enabled) = 0;
    /// Brings the picture window to the front.
    virtual void bringToFront() = 0;
    /// The picture window repaints from the PictureBuffer at its next paint. Also called
    /// every few seconds during a deep render.
    virtual void invalidatePicture() = 0;
    /// Each open dialog shows the current values again.
    virtual void refreshOpenDialogs() = 0;
    /// Writes the thumbnail of the PictureBuffer to `path`; asked only when no file of that
    /// name exists.
    virtual void writeThumbnail(const std::string& path) = 0;
    /// Makes a backup copy of the parameters and the picture in the given form.
    virtual void makeBackup(BackupForm form) = 0;
    /// The arrow cursor over the picture window.
    virtual void setArrowCursor() = 0;
};

/// Shows nothing: for a program without windows, benchmarks and tests that watch only the
/// records.
class QuietObserver : public RenderObserver
{
public:
    void setMainTitle(std::string_view) override {}

    void showPotValue(std::string_view) override {}

    void showDeepZoom(bool) override {}

    void showIterMax(std::string_view) override {}

    void refreshLocationFields() override {}

    void showBoxedZoom(bool) override {}

    void showAutoPotValue(bool) override {}

    void requestRepaint() override {}

    void showFractalType(bool, bool) override {}

    void showMultiThreaded(bool) override {}

    void setMenuTitle(std::string_view) override {}

    void sizePictureWindow(std::int32_t, std::int32_t) override {}

    void setControlsEnabled(bool) override {}

    void bringToFront() override {}

    void invalidatePicture() override {}

    void refreshOpenDialogs() override {}

    void writeThumbnail(const std::string&) override {}

    void makeBackup(BackupForm) override {}

    void setArrowCursor() override {}
};

} // namespace qv
