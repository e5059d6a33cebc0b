// PictureWindow: the window whose client area is exactly the picture. It shows the kept
// picture, queues a render when the picture is stale, and turns the mouse into navigation.
#pragma once

#include "app/navigation.h"

#include <cstdint>
#include <span>

#include <QImage>
#include <QWidget>

namespace qv {

class QtProgram;

class PictureWindow : public QWidget
{
    Q_OBJECT

public:
    PictureWindow(AppState& app, QtProgram& program);

    /// Places the window at (0, 20) with a client area of the picture size.
    void placeAtHome();

    /// Copies one finished row (0x00RRGGBB, picture width) into the picture being computed
    /// and repaints that row.
    void drawRow(std::int32_t row, std::span<const std::uint32_t> pixels);

    /// Shows `image` (a picture as saved) until the kept picture is shown again.
    void showImage(const QImage& image);

    /// Shows the kept picture again (after buildPicture) instead of rows drawn so far or a
    /// movie frame.
    void showKeptPicture();

    /// Shows a movie's frame stretched over the client area until showKeptPicture; no render
    /// is queued meanwhile.
    void showMovieFrame(const QImage& frame);

    /// Renders queued so far: one per stale paint while no render was queued or running.
    int queuedRenders() const { return m_queuedRenders; }

    const PointerState& pointer() const { return m_pointer; }

    /// True while paintEvent runs (a render must never start then).
    bool painting() const { return m_painting; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void runQueuedRender();
    void applyNavigation(const NavigationResult& result);
    QSize pictureSize() const;

    AppState& m_app;
    QtProgram& m_program;
    PointerState m_pointer;
    QImage m_rows; ///< rows drawn during a single-threaded render, over the old picture
    bool m_showRows = false;
    QImage m_movieFrame;
    bool m_renderQueued = false;
    bool m_snapping = false;
    bool m_painting = false;
    int m_queuedRenders = 0;
};

} // namespace qv
