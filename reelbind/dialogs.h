// Dialogs: what the converter asks and shows a person, behind one interface, so that the
// conversion and its tests need no display.
#pragma once

#include "reelbind/converter.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qv::reelbind {

class Dialogs : public ConversionHost
{
public:
    /// The "Save AVI" dialog, filter "AVI Video|*.avi"; "" on cancel.
    virtual std::string askVideoPath() = 0;
    /// The folder dialog "Select images directory", starting in `start`; "" on cancel.
    virtual std::string askFramesFolder(const std::string& start) = 0;
    /// A box with `text`, titled "QUORVALIS", with an OK button.
    virtual void message(std::string_view text) = 0;
};

/// The dialogs in Qt Widgets; needs a display. With `codec` set the codec dialog is not
/// shown; a non-zero `interrupted` stops the conversion as the progress window's button does.
std::unique_ptr<Dialogs> makeQtDialogs(int& argc, char** argv, std::optional<Codec> codec,
                                       const std::atomic<int>& interrupted);

} // namespace qv::reelbind
