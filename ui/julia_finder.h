// The Julia finder's windows: the finder, which shows the Mandelbrot picture kept when it
// opened and turns the pointer into a Julia constant, and the preview, which follows the
// pointer with a small Julia picture computed beside the interface.
#pragma once

#include "app/julia_finder.h"
#include "engine/julia_preview.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <thread>

#include <QImage>
#include <QObject>
#include <QWidget>

namespace qv {

class QtProgram;

/// The preview window "JULIA": a drawing area of exactly 200 x 160 showing the last preview.
class JuliaPreviewWindow : public QWidget
{
    Q_OBJECT

public:
    explicit JuliaPreviewWindow(QWidget* owner);

    /// Shows `image` (200 x 160) from now on.
    void showPreview(QImage image);

    const QImage& shownImage() const { return m_image; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QImage m_image;
};

/// The finder window: a drawing area of exactly the picture size with the kept Mandelbrot
/// picture unscaled at (0, 0). It reports the pointer; it never closes by itself.
class JuliaFinderWindow : public QWidget
{
    Q_OBJECT

public:
    JuliaFinderWindow(QImage snapshot, QSize pictureSize);

    const QImage& snapshot() const { return m_snapshot; }

signals:
    void pointerMoved(QPoint at);
    void pointerLeft();
    void rightClicked(QPoint at);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QImage m_snapshot;
};

/// One open finder: its two windows, its state and the preview renders. Previews run one at a
/// time on a thread of their own; pointer moves that arrive meanwhile leave only the latest
/// constant pending, which is rendered when the running preview has been shown.
class JuliaFinder : public QObject
{
    Q_OBJECT

public:
    /// Takes over from the program's windows (hidden with its open dialogs) and shows the
    /// finder and the preview. The picture window must show a finished picture.
    JuliaFinder(AppState& app, QtProgram& program, FinderState state);
    ~JuliaFinder() override;

    JuliaFinder(const JuliaFinder&) = delete;
    JuliaFinder& operator=(const JuliaFinder&) = delete;

    JuliaFinderWindow& finderWindow() { return *m_finder; }

    JuliaPreviewWindow& previewWindow() { return *m_preview; }

    const FinderState& state() const { return m_state; }

    /// Previews started and shown so far, and whether one is being computed.
    int previewsStarted() const { return m_started; }

    int previewsShown() const { return m_shown; }

    bool previewRunning() const { return m_running; }

    /// The counts of the preview shown last, and its constant.
    const PreviewPicture& shownPreview() const { return m_shownPicture; }

    const JuliaConstant& shownConstant() const { return m_shownConstant; }

private:
    void pointerMoved(QPoint at);
    void pointerLeft();
    void accept(QPoint at);
    void startPreview(const JuliaConstant& c);
    void previewDone(std::shared_ptr<PreviewPicture> picture, JuliaConstant c);

    AppState& m_app;
    QtProgram& m_program;
    FinderState m_state;
    /// The palette as it was at opening: the preview thread reads it while nothing can change
    /// the program's own.
    std::shared_ptr<const Palette> m_palette;
    std::unique_ptr<JuliaFinderWindow> m_finder;
    JuliaPreviewWindow* m_preview = nullptr; ///< owned by the finder window
    std::thread m_worker;
    bool m_running = false;
    bool m_accepted = false;
    std::optional<JuliaConstant> m_pending;
    PreviewPicture m_shownPicture;
    JuliaConstant m_shownConstant;
    int m_started = 0;
    int m_shown = 0;
};

/// The "Julia finder" command: its refusals, or a new finder owned by `program`.
JuliaFinder* openJuliaFinder(AppState& app, QtProgram& program);

} // namespace qv
