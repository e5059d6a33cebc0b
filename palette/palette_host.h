// PaletteHost: what the palette code asks of the shell and its windows.
#pragma once

namespace qv {

/// The shell implements it over its state and windows; tests record the calls.
class PaletteHost
{
public:
    virtual ~PaletteHost() = default;

    /// Clears pictureFromImage, so that the next render request computes the picture again
    /// instead of showing the kept copy.
    virtual void clearPictureFromImage() = 0;

    /// Closes and reopens the palette dialog if it is open, so that it shows current values.
    virtual void reopenPaletteDialog() = 0;

    /// Rebuilds the picture from the iteration buffer with the current table and offset, and
    /// shows it.
    virtual void redisplayPicture() = 0;

    /// Clears pictureValid and asks the picture window to repaint, which renders again.
    virtual void requestRender() = 0;
};

} // namespace qv
