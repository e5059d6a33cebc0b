// Mouse navigation: the zooms of the picture window on the current view.
#include "app/navigation.h"

#include "base/mp_float.h"
#include "engine/view_state.h"

#include <cstdlib>

#include <gmp.h>

namespace qv {

namespace {

// r = a * k for a signed pixel count k (GMP multiplies by unsigned integers only).
void multiplyByPixels(mpf_ptr r, mpf_srcptr a, std::int32_t k)
{
    const auto magnitude = static_cast<unsigned long>(std::llabs(static_cast<long long>(k)));
    mpf_mul_ui(r, a, magnitude);
    if (k < 0) {
        mpf_neg(r, r);
    }
}

// What every zoom does after the view changed: the picture no longer belongs to a file or to
// a kept image, and the window renders the new view.
void finishZoom(AppState& app, ShellObserver& observer)
{
    app.shell.pictureFromImage = 0;
    app.shell.pictureValid = 0;
    app.shell.currentFileName.clear();
    app.shell.lastFilePath.clear();
    observer.requestRepaint();
}

// The automatic iteration increase after a zoom in. An extended zoom passes the deep limit of
// the view before the zoom, a deep zoom that of the new view.
void raiseIterations(AppState& app, bool deepPath, std::int32_t limitBefore)
{
    if (app.settings.autoIterIncrease != 0) {
        autoIterIncrease(app.view, deepPath ? app.view.deepLimit : limitBefore);
    }
}

} // namespace

bool navigationEnabled(const ShellState& shell)
{
    return shell.mandelbrotShown != 0 || shell.juliaShown != 0;
}

void pickJuliaConstant(AppState& app, std::int32_t x, std::int32_t y, ViewObserver& observer)
{
    ViewState& view = app.view;
    const MandelbrotNumbers& m = view.mandelbrot;
    JuliaNumbers& j = view.julia;
    if (view.deepZoom != 0) {
        MpFloat offset(static_cast<unsigned long>(view.precisionBits));
        multiplyByPixels(offset.get(), m.dx.mp(), x);
        mpf_add(j.cr.mp(), m.xmin.mp(), offset.get());
        multiplyByPixels(offset.get(), m.dy.mp(), y);
        mpf_add(j.ci.mp(), m.ymin.mp(), offset.get());
        applyDeepViewChange(view, viewContext(app), observer);
        return;
    }
    j.cr.ext = m.xmin.ext + static_cast<long double>(x) * m.dx.ext;
    j.ci.ext = m.ymin.ext + static_cast<long double>(y) * m.dy.ext;
    applyViewChange(view, viewContext(app), observer);
}

void zoomAboutPixel(AppState& app, std::int32_t x, std::int32_t y, ViewObserver& observer)
{
    ViewState& view = app.view;
    const WindowRef w = currentWindow(view);
    if (view.deepZoom != 0) {
        const auto bits = static_cast<unsigned long>(view.precisionBits);
        MpFloat cx(bits);
        MpFloat cy(bits);
        MpFloat hx(bits);
        MpFloat hy(bits);
        mpf_srcptr quarter = view.constants.value().quarter.get();
        multiplyByPixels(cx.get(), w.dx.mp(), x);
        mpf_add(cx.get(), w.xmin.mp(), cx.get());
        multiplyByPixels(cy.get(), w.dy.mp(), y);
        mpf_add(cy.get(), w.ymin.mp(), cy.get());
        mpf_sub(hx.get(), w.xmax.mp(), w.xmin.mp());
        mpf_mul(hx.get(), hx.get(), quarter);
        mpf_sub(hy.get(), w.ymax.mp(), w.ymin.mp());
        mpf_mul(hy.get(), hy.get(), quarter);
        mpf_sub(w.xmin.mp(), cx.get(), hx.get());
        mpf_add(w.xmax.mp(), cx.get(), hx.get());
        mpf_sub(w.ymin.mp(), cy.get(), hy.get());
        mpf_add(w.ymax.mp(), cy.get(), hy.get());
        applyDeepViewChange(view, viewContext(app), observer);
        return;
    }
    // The extended zoom rule holds the centre and the half extents as doubles: near the
    // passage into deep zoom the zoom centre snaps to the nearest double.
    const auto cx = static_cast<double>(w.xmin.ext + static_cast<long double>(x) * w.dx.ext);
    const auto cy = static_cast<double>(w.ymin.ext + static_cast<long double>(y) * w.dy.ext);
    const auto hx = static_cast<double>(0.25L * (w.xmax.ext - w.xmin.ext));
    const auto hy = static_cast<double>(0.25L * (w.ymax.ext - w.ymin.ext));
    w.xmin.ext = static_cast<long double>(cx) - static_cast<long double>(hx);
    w.xmax.ext = static_cast<long double>(cx) + static_cast<long double>(hx);
    w.ymin.ext = static_cast<long double>(cy) - static_cast<long double>(hy);
    w.ymax.ext = static_cast<long double>(cy) + static_cast<long double>(hy);
    applyViewChange(view, viewContext(app), observer);
}

void zoomToBox(AppState& app, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
               ViewObserver& observer)
{
    ViewState& view = app.view;
    const WindowRef window = currentWindow(view);
    if (view.deepZoom != 0) {
        MpFloat offset(static_cast<unsigned long>(view.precisionBits));
        multiplyByPixels(offset.get(), window.dx.mp(), x);
        mpf_add(window.xmin.mp(), window.xmin.mp(), offset.get());
        multiplyByPixels(offset.get(), window.dx.mp(), w);
        mpf_add(window.xmax.mp(), window.xmin.mp(), offset.get());
        multiplyByPixels(offset.get(), window.dy.mp(), y);
        mpf_add(window.ymin.mp(), window.ymin.mp(), offset.get());
        multiplyByPixels(offset.get(), window.dy.mp(), h);
        mpf_add(window.ymax.mp(), window.ymin.mp(), offset.get());
        applyDeepViewChange(view, viewContext(app), observer);
        return;
    }
    window.xmin.ext += static_cast<long double>(x) * window.dx.ext;
    window.xmax.ext = window.xmin.ext + static_cast<long double>(w) * window.dx.ext;
    window.ymin.ext += static_cast<long double>(y) * window.dy.ext;
    window.ymax.ext = window.ymin.ext + static_cast<long double>(h) * window.dy.ext;
    applyViewChange(view, viewContext(app), observer);
}

double scaleWindowAboutCentre(ViewState& view, float factor)
{
    const WindowRef w = currentWindow(view);
    if (view.deepZoom == 0) {
        // Half extents as doubles, the centre and the new window in extended.
        const auto hx = static_cast<double>(0.5L * (w.xmax.ext - w.xmin.ext));
        const auto hy = static_cast<double>(0.5L * (w.ymax.ext - w.ymin.ext));
        const long double cx = w.xmin.ext + static_cast<long double>(hx);
        const long double cy = w.ymin.ext + static_cast<long double>(hy);
        const auto f = static_cast<long double>(factor);
        w.xmin.ext = cx - f * static_cast<long double>(hx);
        w.xmax.ext = cx + f * static_cast<long double>(hx);
        w.ymin.ext = cy - f * static_cast<long double>(hy);
        w.ymax.ext = cy + f * static_cast<long double>(hy);
        return hx;
    }
    // Every digit of a deep view is kept: the step never passes through a double.
    const auto bits = static_cast<unsigned long>(view.precisionBits);
    MpFloat f(bits);
    MpFloat hx(bits);
    MpFloat hy(bits);
    MpFloat cx(bits);
    MpFloat cy(bits);
    mpf_srcptr half = view.constants.value().half.get();
    mpf_set_d(f.get(), static_cast<double>(factor));
    mpf_sub(hx.get(), w.xmax.mp(), w.xmin.mp());
    mpf_mul(hx.get(), hx.get(), half);
    mpf_sub(hy.get(), w.ymax.mp(), w.ymin.mp());
    mpf_mul(hy.get(), hy.get(), half);
    const double before = mpf_get_d(hx.get());
    mpf_add(cx.get(), w.xmin.mp(), hx.get());
    mpf_add(cy.get(), w.ymin.mp(), hy.get());
    mpf_mul(hx.get(), hx.get(), f.get());
    mpf_mul(hy.get(), hy.get(), f.get());
    mpf_sub(w.xmin.mp(), cx.get(), hx.get());
    mpf_add(w.xmax.mp(), cx.get(), hx.get());
    mpf_sub(w.ymin.mp(), cy.get(), hy.get());
    mpf_add(w.ymax.mp(), cy.get(), hy.get());
    return before;
}

void unzoomView(AppState& app, float factor, ShellObserver& observer)
{
    ViewState& view = app.view;
    scaleWindowAboutCentre(view, factor);
    if (view.deepZoom != 0) {
        applyDeepViewChange(view, viewContext(app), observer);
    } else {
        applyViewChange(view, viewContext(app), observer);
    }
    app.shell.pictureValid = 0;
    app.shell.pictureFromImage = 0;
    observer.requestRepaint();
}

NavigationResult leftButtonDown(AppState& app, PointerState& pointer, std::int32_t x,
                                std::int32_t y, ShellObserver& observer)
{
    NavigationResult result;
    if (!navigationEnabled(app.shell)) {
        return result;
    }
    pointer.pressX = x;
    pointer.pressY = y;
    // Julia is chosen but the Mandelbrot picture is still on screen: the click names the
    // constant.
    if (app.shell.juliaShown == 0 && !isMandelbrot(app.view)) {
        pickJuliaConstant(app, x, y, observer);
    }
    result.pointer = PointerShape::Cross;
    if (app.settings.boxedZoom != 0) {
        pointer.dragging = true;
        pointer.cornerX = x;
        pointer.cornerY = y;
        pointer.bandShown = true;
        result.bandChanged = true;
    }
    return result;
}

NavigationResult mouseMove(AppState& app, PointerState& pointer, std::int32_t x, std::int32_t y)
{
    NavigationResult result;
    if (!navigationEnabled(app.shell) || app.settings.boxedZoom == 0 || !pointer.dragging) {
        return result;
    }
    result.pointer = PointerShape::Cross;
    pointer.cornerX = x;
    pointer.cornerY = y;
    pointer.bandShown = true;
    result.bandChanged = true;
    return result;
}

NavigationResult leftButtonUp(AppState& app, PointerState& pointer, std::int32_t x, std::int32_t y,
                              ShellObserver& observer)
{
    NavigationResult result;
    if (!navigationEnabled(app.shell)) {
        return result;
    }
    const bool deepPath = app.view.deepZoom != 0;
    const std::int32_t limitBefore = app.view.deepLimit;
    if (app.settings.boxedZoom == 0) {
        result.pointer = PointerShape::Arrow;
        app.shell.pictureValid = 0;
        // A Mandelbrot view zooms about the press point, a Julia view about the release point.
        if (isMandelbrot(app.view)) {
            zoomAboutPixel(app, pointer.pressX, pointer.pressY, observer);
        } else {
            zoomAboutPixel(app, x, y, observer);
        }
        raiseIterations(app, deepPath, limitBefore);
        finishZoom(app, observer);
        result.viewChanged = true;
        return result;
    }
    if (!pointer.dragging) {
        return result;
    }
    pointer.bandShown = false;
    result.bandChanged = true;
    pointer.releaseX = x;
    pointer.releaseY = y;
    const std::int32_t w = x - pointer.pressX;
    const std::int32_t h = y - pointer.pressY;
    if (w == 0 || h == 0) {
        return result;
    }
    result.pointer = PointerShape::Arrow;
    app.shell.pictureValid = 0;
    zoomToBox(app, pointer.pressX, pointer.pressY, w, h, observer);
    raiseIterations(app, deepPath, limitBefore);
    pointer.dragging = false;
    finishZoom(app, observer);
    result.viewChanged = true;
    return result;
}

NavigationResult rightButtonDown(AppState& app, ShellObserver& observer)
{
    NavigationResult result;
    if (!navigationEnabled(app.shell) || app.shell.pictureValid != 1) {
        return result;
    }
    unzoomView(app, 2.0f, observer);
    app.shell.currentFileName.clear();
    app.shell.lastFilePath.clear();
    result.viewChanged = true;
    return result;
}

} // namespace qv
