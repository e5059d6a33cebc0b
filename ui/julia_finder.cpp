// The Julia finder's windows and its preview renders.
#include "ui/julia_finder.h"

#include "ui/menu_window.h"
#include "ui/picture_window.h"
#include "ui/qt_program.h"

#include <system_error>
#include <utility>

#include <QCloseEvent>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>

namespace qv {

namespace {

QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

/// The finished picture as it is kept (not as the screen shows it), copied: the finder owns
/// its snapshot, and the user's clipboard is left alone.
QImage snapshotOf(const PictureBuffer& picture)
{
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() <
            static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height)) {
        return {};
    }
    return QImage(reinterpret_cast<const uchar*>(picture.pixels.data()), picture.width,
                  picture.height, static_cast<qsizetype>(picture.width) * 4, QImage::Format_RGB32)
        .copy();
}

/// Draws `image` unscaled at the top-left corner and black where it does not reach.
void paintUnscaled(QWidget& widget, const QImage& image)
{
    QPainter painter(&widget);
    painter.fillRect(widget.rect(), Qt::black);
    if (!image.isNull()) {
        painter.drawImage(QPoint(0, 0), image);
    }
}

} // namespace

JuliaPreviewWindow::JuliaPreviewWindow(QWidget* owner) : QWidget(owner, Qt::Window)
{
    setWindowTitle(qs(kPreviewTitle));
    setFixedSize(kPreviewWidth, kPreviewHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void JuliaPreviewWindow::showPreview(QImage image)
{
    m_image = std::move(image);
    update();
}

void JuliaPreviewWindow::paintEvent(QPaintEvent*)
{
    paintUnscaled(*this, m_image);
}

void JuliaPreviewWindow::closeEvent(QCloseEvent* event)
{
    // Only the finder's accept closes it: the program's own windows are hidden meanwhile.
    event->ignore();
}

JuliaFinderWindow::JuliaFinderWindow(QImage snapshot, QSize pictureSize)
    : QWidget(nullptr), m_snapshot(std::move(snapshot))
{
    setWindowTitle(qs(kFinderTitle));
    setFixedSize(pictureSize);
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void JuliaFinderWindow::paintEvent(QPaintEvent*)
{
    paintUnscaled(*this, m_snapshot);
}

void JuliaFinderWindow::mouseMoveEvent(QMouseEvent* event)
{
    emit pointerMoved(event->position().toPoint());
}

void JuliaFinderWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        emit rightClicked(event->position().toPoint());
    }
}

void JuliaFinderWindow::leaveEvent(QEvent*)
{
    emit pointerLeft();
}

void JuliaFinderWindow::closeEvent(QCloseEvent* event)
{
    // There is no cancel: closing would leave the program's windows hidden.
    event->ignore();
}

JuliaFinder::JuliaFinder(AppState& app, QtProgram& program, FinderState state)
    : QObject(&program), m_app(app), m_program(program), m_state(state),
      m_palette(std::make_shared<const Palette>(app.palette))
{
    m_finder = std::make_unique<JuliaFinderWindow>(
        snapshotOf(app.picture), QSize(app.settings.pictureWidth, app.settings.pictureHeight));
    m_preview = new JuliaPreviewWindow(m_finder.get());
    connect(m_finder.get(), &JuliaFinderWindow::pointerMoved, this, &JuliaFinder::pointerMoved);
    connect(m_finder.get(), &JuliaFinderWindow::pointerLeft, this, &JuliaFinder::pointerLeft);
    connect(m_finder.get(), &JuliaFinderWindow::rightClicked, this, &JuliaFinder::accept);

    program.hideOpenDialogs();
    program.menuWindow().hide();
    program.pictureWindow().hide();
    m_finder->move(0, 0);
    m_preview->move(kPreviewLeft, kPreviewTop);
    m_finder->show();
    m_preview->show();
}

JuliaFinder::~JuliaFinder()
{
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

void JuliaFinder::pointerMoved(QPoint at)
{
    if (m_accepted) {
        return;
    }
    const JuliaConstant c = finderPointerMoved(m_app, m_state, at.x(), at.y(), m_program);
    if (m_running) {
        m_pending = c; // only the latest position waits, never a queue of old ones
        return;
    }
    startPreview(c);
}

void JuliaFinder::pointerLeft()
{
    finderPointerLeft(m_state);
}

void JuliaFinder::startPreview(const JuliaConstant& c)
{
    if (m_worker.joinable()) {
        m_worker.join(); // it has posted its result already
    }
    m_running = true;
    ++m_started;
    const PreviewJob job = previewJobFor(m_app, c);
    auto work = [this, job, palette = m_palette, c] {
        auto picture = std::make_shared<PreviewPicture>(renderPreview(job, *palette));
        QMetaObject::invokeMethod(
            this, [this, picture, c] { previewDone(picture, c); }, Qt::QueuedConnection);
    };
    try {
        m_worker = std::thread(work);
    } catch (const std::system_error&) {
        work(); // no thread to be had: the preview is computed here, and shown from the loop
    }
}

void JuliaFinder::previewDone(std::shared_ptr<PreviewPicture> picture, JuliaConstant c)
{
    m_running = false;
    if (m_accepted) {
        return;
    }
    m_shownPicture = std::move(*picture);
    m_shownConstant = c;
    ++m_shown;
    const QImage image(reinterpret_cast<const uchar*>(m_shownPicture.colours.data()), kPreviewWidth,
                       kPreviewHeight, qsizetype{kPreviewWidth} * 4, QImage::Format_RGB32);
    m_preview->showPreview(image.copy());
    if (m_pending) {
        const JuliaConstant next = *m_pending;
        m_pending.reset();
        startPreview(next);
    }
}

void JuliaFinder::accept(QPoint at)
{
    if (m_accepted) {
        return;
    }
    m_accepted = true;
    m_pending.reset();
    if (m_worker.joinable()) {
        m_worker.join();
    }
    m_preview->hide();
    m_finder->hide();
    m_program.pictureWindow().show();
    m_program.menuWindow().show();
    // The dialogs first, so that the type boxes the accept ticks are on show.
    m_program.showHiddenDialogs();
    acceptJuliaConstant(m_app, m_state, at.x(), at.y(), m_program);
    // The Julia picture renders from the event loop, once this handler has returned.
    QtProgram* program = &m_program;
    QMetaObject::invokeMethod(
        program, [program] { program->renderNow(); }, Qt::QueuedConnection);
    deleteLater();
}

JuliaFinder* openJuliaFinder(AppState& app, QtProgram& program)
{
    std::optional<FinderState> state = startJuliaFinder(app, program.services());
    if (!state) {
        return nullptr;
    }
    return new JuliaFinder(app, program, *state);
}

} // namespace qv
