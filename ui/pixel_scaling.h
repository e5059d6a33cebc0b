// How the windows follow a scaled screen: by whole numbers only, so that the picture stays sharp.
#pragma once

namespace qv {

/// Rounds the screen's scale to a whole number (a 150% screen shows at 2 x): each picture pixel
/// is then one device pixel or a square block of them, never blurred across a fractional
/// scale, and a mouse position in window coordinates is a picture pixel. The user's own choice
/// (QT_SCALE_FACTOR, QT_SCALE_FACTOR_ROUNDING_POLICY) still applies. Call before the
/// QApplication is made.
void useWholeNumberScaling();

} // namespace qv
