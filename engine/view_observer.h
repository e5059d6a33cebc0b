// ViewObserver: the window controls that follow the view. The shell implements it with the
// real windows; tests record the calls.
#pragma once

#include <string_view>

namespace qv {

/// What the view code shows in the windows. Showing something in a dialog that is not open
/// does nothing.
class ViewObserver
{
public:
    virtual ~ViewObserver() = default;
    /// The picture window's title, e.g. "QUORVALIS (Deeplimit:-17)".
    virtual void setMainTitle(std::string_view title) = 0;
    /// The parameters dialog's "Pot value:" field (text from potValueText).
    virtual void showPotValue(std::string_view text) = 0;
    /// The parameters dialog's "Deep zoom" check box.
    virtual void showDeepZoom(bool on) = 0;
    /// The parameters dialog's "Iter max:" field (text from decimalText).
    virtual void showIterMax(std::string_view text) = 0;
    /// The location dialog's fields take the text copies of the view again.
    virtual void refreshLocationFields() = 0;
};

} // namespace qv
