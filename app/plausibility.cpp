// The plausibility warnings and the timed sample behind the render-time estimate.
#include "app/plausibility.h"

#include "base/mp_float.h"
#include "base/number_text.h"
#include "base/round_half_even.h"
#include "engine/kernel_kind.h"
#include "engine/kernels_deep.h"
#include "engine/kernels_extended.h"
#include "engine/strip_job.h"
#include "engine/view_state.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace qv {
namespace {

constexpr std::int32_t kSampleColumns = 8;
constexpr std::int32_t kSampleRows = 6;
constexpr std::size_t kSamplePoints = kSampleColumns * kSampleRows;
/// Iteration caps of the sample: some milliseconds of the extended kernel, a fraction of a
/// second of the deep one at common precisions.
constexpr std::int32_t kExtendedSampleLimit = 20000;
constexpr std::int32_t kDeepSampleLimit = 500;
/// The sample is repeated until it has done this many iterations or taken this long, at
/// most this many times.
constexpr double kLeastSampleIterations = 100000.0;
constexpr std::chrono::milliseconds kLeastSampleTime{20};
constexpr std::int32_t kMostSampleRepeats = 1000;
/// No pixel iterates faster than this (seconds per iteration): below it no sample is needed.
constexpr double kFastestIteration = 1e-10;

std::string numberText(double value)
{
    std::array<char, 32> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%g", value);
    return buffer.data();
}

void finiteOrWarn(std::vector<std::string>& lines, const std::string& name, double value)
{
    if (!std::isfinite(value)) {
        lines.push_back(name + " is " + numberText(value) + ", not a finite number");
    }
}

std::string digits(mpf_srcptr value)
{
    std::string text;
    mpfToText(value, text);
    return text;
}

/// "inverted" or "empty" for a side whose low end is not below its high end.
void orderedOrWarn(std::vector<std::string>& lines, char axis, const ViewNumber& low,
                   const ViewNumber& high)
{
    const int order = mpf_cmp(low.mp(), high.mp());
    if (order < 0) {
        return;
    }
    const std::string lowName = std::string(1, axis) + "min";
    const std::string highName = std::string(1, axis) + "max";
    if (order == 0) {
        lines.push_back("the window is empty: " + lowName + " and " + highName + " are both " +
                        digits(low.mp()));
    } else {
        lines.push_back("the window is inverted: " + lowName + " " + digits(low.mp()) +
                        " is above " + highName + " " + digits(high.mp()));
    }
}

struct SampleCounts
{
    std::array<std::int32_t, kSamplePoints> counts{};
    std::array<float, kSamplePoints> a{};
    std::array<float, kSamplePoints> b{};
};

/// The extended kernel over the sample grid.
void sampleExtended(const AppState& app, KernelKind kind, std::int32_t limit, SampleCounts& out)
{
    const ViewState& view = app.view;
    const bool mandelbrot = isMandelbrot(view);
    auto& window = const_cast<ViewState&>(view);
    const WindowRef w = currentWindow(window);
    StripJob job;
    job.iterMax = limit;
    job.counts = out.counts.data();
    job.a = out.a.data();
    job.b = out.b.data();
    job.mandelbrot = mandelbrot ? 1 : 0;
    job.width = kSampleColumns;
    job.rowsPerStrip = kSampleRows;
    job.firstRow = 0;
    job.lastRow = kSampleRows - 1;
    job.bailout = view.bailout;
    job.xmin = w.xmin.ext;
    job.xmax = w.xmax.ext;
    job.dx = (w.xmax.ext - w.xmin.ext) / kSampleColumns;
    job.y0 = w.ymin.ext;
    job.ymax = w.ymax.ext;
    job.dy = (w.ymax.ext - w.ymin.ext) / kSampleRows;
    if (!mandelbrot) {
        job.juliaCr = view.julia.cr.ext;
        job.juliaCi = view.julia.ci.ext;
    }
    runStripJob(job, kind);
}

/// The deep kernel over the sample grid at the view's precision.
void sampleDeep(const AppState& app, KernelKind kind, std::int32_t limit, SampleCounts& out)
{
    const ViewState& view = app.view;
    const bool mandelbrot = isMandelbrot(view);
    const WindowRef w = currentWindow(const_cast<ViewState&>(view));
    DeepStripJob job(view.precisionBits);
    job.iterMax = limit;
    job.counts = out.counts.data();
    job.a = out.a.data();
    job.b = out.b.data();
    job.mandelbrot = mandelbrot ? 1 : 0;
    job.width = kSampleColumns;
    job.rowsPerStrip = kSampleRows;
    job.firstRow = 0;
    job.lastRow = kSampleRows - 1;
    job.bailout = view.bailout;
    job.yieldsProcessor = false;
    mpf_set(job.x0.get(), w.xmin.mp());
    mpf_sub(job.dx.get(), w.xmax.mp(), w.xmin.mp());
    mpf_div_ui(job.dx.get(), job.dx.get(), kSampleColumns);
    mpf_set(job.y0.get(), w.ymin.mp());
    mpf_sub(job.dy.get(), w.ymax.mp(), w.ymin.mp());
    mpf_div_ui(job.dy.get(), job.dy.get(), kSampleRows);
    if (!mandelbrot) {
        mpf_set(job.juliaCr.get(), view.julia.cr.mp());
        mpf_set(job.juliaCi.get(), view.julia.ci.mp());
    }
    runDeepStripJob(job, kind, kSampleRows);
}

double pictureIterations(const AppState& app, double perPixel)
{
    return perPixel * static_cast<double>(std::max(app.settings.pictureWidth, 0)) *
           static_cast<double>(std::max(app.settings.pictureHeight, 0));
}

} // namespace

std::vector<std::string> implausibleValues(const AppState& app)
{
    const ViewState& view = app.view;
    std::vector<std::string> lines;
    finiteOrWarn(lines, "bailout", view.bailout);
    finiteOrWarn(lines, "potValue", view.potValue);
    const PaletteParameters& p = app.paletteState.parameters;
    const std::array<std::pair<const char*, const std::array<float, 3>*>, 3> channels{
        {{"start", &p.start}, {"step", &p.step}, {"stop", &p.stop}}};
    for (const auto& [name, values] : channels) {
        for (std::size_t i = 0; i < values->size(); ++i) {
            finiteOrWarn(lines, "palette " + std::string(name) + " " + std::to_string(i + 1),
                         static_cast<double>((*values)[i]));
        }
    }
    const WindowRef w = currentWindow(const_cast<ViewState&>(view));
    orderedOrWarn(lines, 'x', w.xmin, w.xmax);
    orderedOrWarn(lines, 'y', w.ymin, w.ymax);
    if (view.iterMax < 3) {
        lines.push_back("iterMax " + std::to_string(view.iterMax) +
                        " is below 3; the render counts to 3");
    }
    return lines;
}

double estimatedRenderSeconds(const AppState& app, std::int32_t threads)
{
    const ViewState& view = app.view;
    const bool deep = view.deepZoom != 0;
    const std::int32_t iterMax = std::max(view.iterMax, 3);
    const std::int32_t limit = std::min(iterMax, deep ? kDeepSampleLimit : kExtendedSampleLimit);
    const KernelKind kind = kernelKindForMode(drawingMode(view.modeWord));
    // A sample whose points escape at once is repeated until the clock can measure it.
    SampleCounts sample;
    double done = 0.0;
    double projected = 0.0;
    const auto start = std::chrono::steady_clock::now();
    for (std::int32_t repeat = 0; repeat < kMostSampleRepeats && done < kLeastSampleIterations &&
                                  std::chrono::steady_clock::now() - start < kLeastSampleTime;
         ++repeat) {
        if (deep) {
            sampleDeep(app, kind, limit, sample);
        } else {
            sampleExtended(app, kind, limit, sample);
        }
        projected = 0.0;
        for (const std::int32_t count : sample.counts) {
            const bool escaped = count > 0 && count < limit;
            done += escaped ? count : limit;
            projected += escaped ? count : iterMax;
        }
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    const double perIteration = elapsed.count() / std::max(done, 1.0);
    const double perPixel = projected / static_cast<double>(kSamplePoints);
    return pictureIterations(app, perPixel) * perIteration / std::max(threads, 1);
}

std::optional<std::string> longRenderWarning(const AppState& app, std::int32_t threads)
{
    const double worst = pictureIterations(app, std::max(app.view.iterMax, 3));
    if (worst * kFastestIteration / std::max(threads, 1) < kLongRenderSeconds) {
        return std::nullopt;
    }
    const double seconds = estimatedRenderSeconds(app, threads);
    if (!(seconds > kLongRenderSeconds)) {
        return std::nullopt;
    }
    return "iterMax " + std::to_string(app.view.iterMax) + " at " +
           std::to_string(app.settings.pictureWidth) + "x" +
           std::to_string(app.settings.pictureHeight) + ": the render may take about " +
           roughDuration(seconds) + " (timed on a sample of the view)";
}

std::string roughDuration(double seconds)
{
    struct Unit
    {
        const char* name;
        double seconds;
    };

    constexpr std::array<Unit, 5> kUnits{{{"year", 365.25 * 86400.0},
                                          {"day", 86400.0},
                                          {"hour", 3600.0},
                                          {"minute", 60.0},
                                          {"second", 1.0}}};
    if (!(seconds < 1e6 * kUnits[0].seconds)) {
        return "more than a million years";
    }
    for (const Unit& unit : kUnits) {
        if (seconds >= unit.seconds || unit.seconds == 1.0) {
            const std::int32_t n = roundHalfEven(seconds / unit.seconds);
            return std::to_string(n) + " " + unit.name + (n == 1 ? "" : "s");
        }
    }
    return {};
}

} // namespace qv
