// PictureWindow: shows the picture, keeps its size and place, and navigates with the mouse.
#include "ui/picture_window.h"

#include "ui/qt_program.h"

#include <algorithm>
#include <cstring>

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QResizeEvent>
#include <QScreen>

namespace qv {

namespace {

constexpr QPoint kHome(0, 20);

// The kept picture as an image over its own pixels, without a copy. 0x00RRGGBB shows as
// RGB32, whose top byte is not read.
QImage imageOf(const PictureBuffer& picture)
{
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() <
            static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height)) {
        return {};
    }
    return QImage(reinterpret_cast<const uchar*>(picture.pixels.data()), picture.width,
                  picture.height, static_cast<qsizetype>(picture.width) * 4, QImage::Format_RGB32);
}

} // namespace

PictureWindow::PictureWindow(AppState& app, QtProgram& program)
    : QWidget(nullptr), m_app(app), m_program(program)
{
    // The band must follow the pointer after an empty box even with the button up.
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize PictureWindow::pictureSize() const
{
    return {m_app.settings.pictureWidth, m_app.settings.pictureHeight};
}

void PictureWindow::placeAtHome()
{
    resize(pictureSize());
    move(kHome);
}

void PictureWindow::drawRow(std::int32_t row, std::span<const std::uint32_t> pixels)
{
    const QSize size = pictureSize();
    if (row < 0 || row >= size.height()) {
        return;
    }
    if (!m_showRows || m_rows.size() != size) {
        // Rows are drawn over the picture shown so far, as they would be on the screen.
        const QImage kept = imageOf(m_app.picture);
        m_rows = kept.size() == size ? kept.copy() : QImage(size, QImage::Format_RGB32);
        if (kept.size() != size) {
            m_rows.fill(Qt::black);
        }
        m_showRows = true;
    }
    const std::size_t count = std::min(pixels.size(), static_cast<std::size_t>(size.width()));
    std::memcpy(m_rows.scanLine(row), pixels.data(), count * sizeof(std::uint32_t));
    update(0, row, size.width(), 1);
}

void PictureWindow::showImage(const QImage& image)
{
    m_rows = image.convertToFormat(QImage::Format_RGB32);
    m_showRows = !m_rows.isNull();
    update();
}

void PictureWindow::showKeptPicture()
{
    m_showRows = false;
    m_rows = QImage();
    m_movieFrame = QImage();
    update();
}

void PictureWindow::showMovieFrame(const QImage& frame)
{
    m_movieFrame = frame;
    update();
}

void PictureWindow::paintEvent(QPaintEvent*)
{
    const ShellState& shell = m_app.shell;
    if (!m_movieFrame.isNull()) {
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(rect(), m_movieFrame);
        return;
    }
    m_painting = true;
    QPainter painter(this);
    const QImage kept = m_showRows ? m_rows : imageOf(m_app.picture);
    if (kept.isNull()) {
        painter.fillRect(rect(), Qt::black);
    } else {
        painter.drawImage(QPoint(0, 0), kept);
        if (kept.width() < width() || kept.height() < height()) {
            painter.fillRect(QRect(kept.width(), 0, width() - kept.width(), height()), Qt::black);
            painter.fillRect(QRect(0, kept.height(), width(), height() - kept.height()), Qt::black);
        }
    }
    if (m_pointer.bandShown) {
        // A dotted blue outline in the inverse of pen XOR screen, as the band always looked.
        painter.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
        painter.setPen(QPen(QColor(0, 0, 255), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(QPoint(m_pointer.pressX, m_pointer.pressY),
                               QPoint(m_pointer.cornerX, m_pointer.cornerY))
                             .normalized());
    }
    // A stale picture renders from the event loop, never inside a paint; one render is queued
    // however many paints arrive before it runs.
    // A movie renders its frames itself.
    if (shell.pictureFromImage == 0 && shell.pictureValid == 0 && shell.rendering == 0 &&
        shell.animationRunning == 0 && !m_renderQueued) {
        m_renderQueued = true;
        ++m_queuedRenders;
        QMetaObject::invokeMethod(this, &PictureWindow::runQueuedRender, Qt::QueuedConnection);
    }
    m_painting = false;
}

void PictureWindow::runQueuedRender()
{
    m_renderQueued = false;
    const ShellState& shell = m_app.shell;
    if (shell.pictureValid != 0 || shell.pictureFromImage != 0 || shell.rendering != 0 ||
        shell.quitRequested != 0) {
        return;
    }
    // A picture larger than the screen starts at the screen's corner.
    if (shell.screenWidth < m_app.settings.pictureWidth ||
        shell.screenHeight < m_app.settings.pictureHeight) {
        move(0, 0);
    }
    m_program.renderNow();
}

void PictureWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_snapping || event->size() == pictureSize()) {
        return;
    }
    // The window is not resizable: any other size goes back to the picture's, at home.
    m_snapping = true;
    resize(pictureSize());
    move(kHome);
    m_snapping = false;
}

void PictureWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    m_program.quit();
}

void PictureWindow::mousePressEvent(QMouseEvent* event)
{
    if (m_app.shell.animationRunning != 0) {
        return; // a movie owns the view
    }
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        applyNavigation(leftButtonDown(m_app, m_pointer, p.x(), p.y(), m_program));
    } else if (event->button() == Qt::RightButton) {
        applyNavigation(rightButtonDown(m_app, m_program));
    }
}

void PictureWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (m_app.shell.animationRunning != 0) {
        return; // a movie owns the view
    }
    const QPoint p = event->position().toPoint();
    applyNavigation(mouseMove(m_app, m_pointer, p.x(), p.y()));
}

void PictureWindow::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_app.shell.animationRunning != 0) {
        return; // a movie owns the view
    }
    if (event->button() == Qt::LeftButton) {
        const QPoint p = event->position().toPoint();
        applyNavigation(leftButtonUp(m_app, m_pointer, p.x(), p.y(), m_program));
    }
}

void PictureWindow::applyNavigation(const NavigationResult& result)
{
    if (result.pointer == PointerShape::Cross) {
        setCursor(Qt::CrossCursor);
    } else if (result.pointer == PointerShape::Arrow) {
        setCursor(Qt::ArrowCursor);
    }
    // The band is drawn over the kept picture: a repaint redraws, it never renders.
    if (result.bandChanged) {
        update();
    }
}

} // namespace qv
