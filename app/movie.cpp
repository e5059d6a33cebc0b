// The zoom movies' frame sequence and rules, without a window.
#include "app/movie.h"

#include "app/navigation.h"
#include "base/mp_float.h"
#include "base/number_text.h"
#include "engine/view_state.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <unistd.h>
#include <utility>

#include <gmp.h>

namespace qv {

namespace fs = std::filesystem;

namespace {

bool jpgExtension(const fs::path& path)
{
    const std::string extension = path.extension().string();
    if (extension.size() != 4) {
        return false;
    }
    std::string lower;
    for (const char c : extension) {
        lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    return lower == ".jpg";
}

} // namespace

double zoomOutStep(AppState& app, float factor, ViewObserver& observer)
{
    ViewState& view = app.view;
    const std::int32_t limitBefore = view.deepLimit;
    const double halfWidth = scaleWindowAboutCentre(view, factor);
    if (view.deepZoom != 0) {
        applyDeepViewChange(view, viewContext(app), observer);
    } else {
        applyViewChange(view, viewContext(app), observer);
    }
    if (app.settings.autoIterIncrease != 0) {
        autoIterIncrease(view, limitBefore);
    }
    return halfWidth;
}

bool movieContinues(std::int32_t nextCounter, double halfWidthBefore)
{
    // A NaN half-width ends the movie too: the comparison is false.
    return nextCounter <= kLastFrameCounter && std::fabs(halfWidthBefore) <= kWholeSetHalfWidth;
}

std::string frameName(std::int32_t counter, bool unzoomVideo)
{
    const std::int32_t number = unzoomVideo ? counter : kLastFrameCounter - counter;
    char text[16];
    std::snprintf(text, sizeof text, "%07d.jpg", number);
    return text;
}

std::optional<std::string_view> unzoomRefusal(const AppState& app)
{
    const float factor = app.settings.unzoomFactor;
    if (!std::isfinite(factor) || !(factor > 1.0f)) {
        return kFactorWarning;
    }
    const ViewState& view = app.view;
    const ViewNumber& xmin = isMandelbrot(view) ? view.mandelbrot.xmin : view.julia.xmin;
    const ViewNumber& xmax = isMandelbrot(view) ? view.mandelbrot.xmax : view.julia.xmax;
    const bool noWidth =
        view.deepZoom != 0 ? mpf_cmp(xmax.mp(), xmin.mp()) == 0 : xmax.ext == xmin.ext;
    if (noWidth) {
        return kNoWidthWarning;
    }
    return std::nullopt;
}

std::optional<PictureSize> movieSize(PictureSize picture)
{
    if (picture.width > kMovieMaxWidth) {
        picture = {kMovieMaxWidth, kMovieMaxHeight};
    }
    if (picture.height > kMovieMaxHeight) {
        return std::nullopt;
    }
    return picture;
}

PictureSize animationSize(PictureSize picture)
{
    if (picture.width > kAnimationWidth) {
        return {kAnimationWidth, kAnimationHeight};
    }
    return picture;
}

void changePictureSize(AppState& app, PictureSize size, ShellObserver& observer)
{
    app.settings.pictureWidth = size.width;
    app.settings.pictureHeight = size.height;
    app.iterations.allocate(size.width, size.height);
    observer.sizePictureWindow(size.width, size.height);
    applyViewChange(app.view, viewContext(app), observer);
}

namespace {

template <typename Visit> void forEachViewNumber(ViewState& view, Visit visit)
{
    for (ViewNumber* n : view.mandelbrot.inOrder()) {
        visit(*n);
    }
    for (ViewNumber* n : view.julia.inOrder()) {
        visit(*n);
    }
}

} // namespace

ViewSnapshot::ViewSnapshot(ViewState& view)
    : m_deepZoom(view.deepZoom), m_precisionBits(view.precisionBits), m_iterMax(view.iterMax)
{
    const auto bits = static_cast<unsigned long>(view.precisionBits);
    forEachViewNumber(view, [this, bits](ViewNumber& n) {
        Number kept{n.ext, n.text, std::nullopt};
        if (n.deep) {
            kept.deep.emplace(n.mp(), bits);
        }
        m_numbers.push_back(std::move(kept));
    });
}

void ViewSnapshot::restore(AppState& app, ViewObserver& observer) const
{
    ViewState& view = app.view;
    setPrecision(view, m_precisionBits);
    std::size_t i = 0;
    // The GMP numbers are copied, not read from their texts, which may hold fewer digits.
    forEachViewNumber(view, [this, &i](ViewNumber& n) {
        const Number& kept = m_numbers[i++];
        n.ext = kept.ext;
        n.text = kept.text;
        if (kept.deep && n.deep) {
            mpf_set(n.mp(), kept.deep->get());
        }
    });
    view.iterMax = m_iterMax;
    view.deepZoom = m_deepZoom;
    applyViewChange(view, viewContext(app), observer);
}

MovieFrameWalk::MovieFrameWalk(AppState& app, ViewObserver& observer)
    : m_app(app), m_observer(observer)
{
    m_app.shell.animationRunning = 1;
}

bool MovieFrameWalk::advance()
{
    if (m_counter >= 0 && !movieContinues(m_counter + 1, m_halfWidthBefore)) {
        return false;
    }
    m_halfWidthBefore = zoomOutStep(m_app, m_app.settings.unzoomFactor, m_observer);
    ++m_counter;
    return true;
}

void MovieFrameWalk::prepareRender()
{
    m_app.shell.pictureValid = 0;
    m_app.shell.pictureFromImage = 0;
    m_app.render.renderSuppressed = 0;
}

std::vector<ListedView> buildViewList(AppState& app, float factor, ViewObserver& observer)
{
    std::vector<ListedView> list;
    list.reserve(kViewListCap);
    while (list.size() < kViewListCap) {
        const double halfWidth = zoomOutStep(app, factor, observer);
        list.push_back(currentListedView(app.view));
        if (!(std::fabs(halfWidth) <= kWholeSetHalfWidth)) {
            break;
        }
    }
    return list;
}

ListedView currentListedView(ViewState& view)
{
    const WindowRef w = currentWindow(view);
    return {w.xmin.ext, w.xmax.ext, w.dx.ext, w.ymin.ext, w.ymax.ext, w.dy.ext};
}

void showListedView(AppState& app, const ListedView& listed, ViewObserver& observer)
{
    const WindowRef w = currentWindow(app.view);
    w.xmin.ext = listed.xmin;
    w.xmax.ext = listed.xmax;
    w.dx.ext = listed.dx;
    w.ymin.ext = listed.ymin;
    w.ymax.ext = listed.ymax;
    w.dy.ext = listed.dy;
    applyViewChange(app.view, viewContext(app), observer);
}

std::string formatElapsedSeconds(std::int64_t seconds)
{
    const std::int64_t h = seconds / 3600;
    const std::int64_t m = (seconds - 3600 * h) / 60;
    const std::int64_t s = seconds - 3600 * h - 60 * m;
    return decimalText(h) + " h " + decimalText(m) + " m " + decimalText(s) + " s";
}

std::string formatElapsed(std::int64_t start, std::int64_t now)
{
    return formatElapsedSeconds(start > now ? 86400 - start + now : now - start);
}

std::string frameProgressTitle(std::int32_t counter, std::int32_t deepLimit,
                               std::string_view elapsed)
{
    return "Frame: " + decimalText(std::int64_t{counter}) +
           "  Deep Limit: " + decimalText(std::int64_t{deepLimit}) +
           " Time: " + std::string(elapsed);
}

FrameFolderProblem checkFrameFolder(const std::string& folder)
{
    std::error_code error;
    const fs::path path(folder);
    fs::file_status status = fs::symlink_status(path, error);
    if (status.type() == fs::file_type::not_found) {
        fs::create_directories(path, error);
        if (error) {
            return FrameFolderProblem::CannotCreate;
        }
        status = fs::symlink_status(path, error);
    }
    if (fs::is_symlink(status)) {
        return FrameFolderProblem::SymbolicLink;
    }
    if (!fs::is_directory(status)) {
        return FrameFolderProblem::NotAFolder;
    }
    if (::access(path.c_str(), W_OK | X_OK) != 0) {
        return FrameFolderProblem::NotWritable;
    }
    return FrameFolderProblem::None;
}

std::size_t deleteOldFrames(const std::string& folder)
{
    std::size_t deleted = 0;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        std::error_code entryError;
        if (entry.is_regular_file(entryError) && !entry.is_symlink(entryError) &&
            jpgExtension(entry.path()) && fs::remove(entry.path(), entryError)) {
            ++deleted;
        }
    }
    return deleted;
}

std::string frameFolderMessage(const std::string& folder, FrameFolderProblem problem)
{
    std::string reason;
    switch (problem) {
    case FrameFolderProblem::CannotCreate:
        reason = "it cannot be created.";
        break;
    case FrameFolderProblem::NotAFolder:
        reason = "it is not a folder.";
        break;
    case FrameFolderProblem::SymbolicLink:
        reason = "it is a symbolic link.";
        break;
    case FrameFolderProblem::NotWritable:
        reason = "it cannot be written.";
        break;
    case FrameFolderProblem::None:
        break;
    }
    return "The frame folder\n" + folder + "\ncannot be used: " + reason;
}

} // namespace qv
