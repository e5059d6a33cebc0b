// RecordingObserver: records what the view, shell and render code show in the windows, for
// tests.
#pragma once

#include "app/render_observer.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv::test {

/// Each call becomes one line "what: value" in `shown`, in order.
class RecordingObserver : public RenderObserver
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

    void setControlsEnabled(bool enabled) override { record("controls", enabled ? "on" : "off"); }

    void bringToFront() override { record("front", ""); }

    void invalidatePicture() override { record("invalidate", ""); }

    void refreshOpenDialogs() override { record("dialogs", ""); }

    void writeThumbnail(const std::string& path) override { record("thumbnail", path); }

    void makeBackup(BackupForm form) override
    {
        record("backup", form == BackupForm::Deep ? "deep" : "standard");
    }

    void setArrowCursor() override { record("cursor", "arrow"); }

    /// The value of the last call of kind `what`, or "(none)".
    std::string last(std::string_view what) const
    {
        const std::vector<std::string> values = all(what);
        return values.empty() ? "(none)" : values.back();
    }

    /// The values of the calls of kind `what`, in order.
    std::vector<std::string> all(std::string_view what) const
    {
        const std::string prefix = std::string(what) + ": ";
        std::vector<std::string> values;
        for (const std::string& s : shown) {
            if (s.compare(0, prefix.size(), prefix) == 0) {
                values.push_back(s.substr(prefix.size()));
            }
        }
        return values;
    }

    bool has(std::string_view line) const
    {
        return std::find(shown.begin(), shown.end(), line) != shown.end();
    }

    std::vector<std::string> shown;

private:
    void record(std::string_view what, std::string_view value)
    {
        shown.push_back(std::string(what) + ": " + std::string(value));
    }
};

} // namespace qv::test
