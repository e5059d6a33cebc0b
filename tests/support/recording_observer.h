// RecordingObserver: records what the view and shell code show in the windows, for tests.
#pragma once

#include "app/shell_observer.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv::test {

/// Each call becomes one line "what: value" in `shown`, in order.
class RecordingObserver : public ShellObserver
{
public:
    void setMainTitle(std::string_view title) override { record("title", title); }

    void showPotValue(std::string_view text) override { record("potValue", text); }

    void showDeepZoom(bool on) override { record("deepZoom", on ? "on" : "off"); }

    void showIterMax(std::string_view text) override { record("iterMax", text); }

    void refreshLocationFields() override { record("locationFields", ""); }

    void showBoxedZoom(bool on) override { record("boxedZoom", on ? "on" : "off"); }

    void showAutoPotValue(bool on) override { record("autoPotValue", on ? "on" : "off"); }

    void requestRepaint() override { record("repaint", ""); }

    void showFractalType(bool mandelbrot, bool julia) override
    {
        record("fractalType",
               std::string(mandelbrot ? "mandelbrot" : "-") + " " + (julia ? "julia" : "-"));
    }

    void showMultiThreaded(bool on) override { record("multiThreaded", on ? "on" : "off"); }

    void setMenuTitle(std::string_view title) override { record("menuTitle", title); }

    void sizePictureWindow(std::int32_t width, std::int32_t height) override
    {
        record("pictureWindow", std::to_string(width) + " x " + std::to_string(height));
    }

    /// The value of the last call of kind `what`, or "(none)".
    std::string last(std::string_view what) const
    {
        const std::string prefix = std::string(what) + ": ";
        const auto it = std::find_if(shown.rbegin(), shown.rend(), [&](const std::string& s) {
            return s.compare(0, prefix.size(), prefix) == 0;
        });
        return it == shown.rend() ? "(none)" : it->substr(prefix.size());
    }

    std::vector<std::string> shown;

private:
    void record(std::string_view what, std::string_view value)
    {
        shown.push_back(std::string(what) + ": " + std::string(value));
    }
};

} // namespace qv::test
