// The fractal browser window, its thumbnail box and the "Browse fractals" command.
#include "ui/fractal_browser.h"

#include "engine/colouring.h"
#include "engine/view_state.h"
#include "persistence/backup_copies.h"
#include "persistence/picture_writer.h"
#include "ui/menu_window.h"
#include "ui/picture_window.h"
#include "ui/qt_program.h"

#include <algorithm>
#include <filesystem>

#include <QFileInfo>
#include <QFontMetrics>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>

namespace qv {

namespace {

// Right of the browser, which stays above the picture window it belongs to: a thumbnail being
// rendered is never hidden behind it.
constexpr QPoint kThumbnailPlace(660, 100);
constexpr QSize kClientSize(540, 480);
constexpr QPoint kBrowserPlace(100, 100);

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool fileExists(const std::string& path)
{
    std::error_code error;
    return std::filesystem::exists(path, error);
}

bool withImage(BrowsedKind kind)
{
    return kind == BrowsedKind::StandardWithImage || kind == BrowsedKind::DeepWithImage;
}

/// The precision a loaded view shows: 80 bits without deep zoom.
std::int32_t precisionShown(const ViewState& view)
{
    return view.deepZoom != 0 ? view.precisionBits : 80;
}

/// A button at its place, at least its size, wider when its text needs it.
QPushButton* button(const char* text, QRect place, QWidget* parent)
{
    auto* b = new QPushButton(QString::fromLatin1(text), parent);
    b->setFont(QFont(QStringLiteral("Arial"), 10));
    const QSize hint = b->sizeHint();
    place.setWidth(std::max(place.width(), hint.width()));
    place.setHeight(std::max(place.height(), hint.height()));
    b->setGeometry(place);
    return b;
}

} // namespace

// --- ThumbnailBox ---

ThumbnailBox::ThumbnailBox(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ThumbnailBox::showFile(const std::string& path)
{
    QImageReader reader(qs(path));
    QImage image = reader.read();
    if (!image.isNull() && (image.width() > kThumbnailWidth || image.height() > kThumbnailHeight)) {
        image = image.scaled(kThumbnailWidth, kThumbnailHeight, Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation);
    }
    m_image = image;
    update();
}

void ThumbnailBox::clear()
{
    m_image = QImage();
    update();
}

void ThumbnailBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (!m_image.isNull()) {
        painter.drawImage(QPoint(0, 0), m_image);
    }
}

// --- FractalBrowsing ---

FractalBrowsing::FractalBrowsing(AppState& app, QtProgram& program) : m_app(app), m_program(program)
{
}

void FractalBrowsing::browse()
{
    if (m_window) {
        // The command may arrive while the old window's own step waits for a render.
        m_window->close();
        m_window->deleteLater();
        m_window = nullptr;
    }
    Prompts& prompts = m_program.services().prompts;
    const std::string start = galleryFolder(programFolder(), installedGalleries());
    const std::string folder = prompts.chooseFolder(kParameterFolderTitle, start);
    if (folder.empty()) {
        return;
    }
    std::vector<std::string> files = listParameterFiles(folder);
    if (files.empty()) {
        prompts.message(kNoParameterFiles);
        return;
    }
    m_window =
        new FractalBrowser(m_app, m_program, *this, std::move(files), &m_program.menuWindow());
    m_program.adoptDialog(m_window);
    m_window->show();
}

void FractalBrowsing::placePictureAtThumbnail()
{
    m_program.pictureWindow().move(kThumbnailPlace);
    m_atThumbnailPlace = true;
}

void FractalBrowsing::placePictureAtHome()
{
    m_program.pictureWindow().placeAtHome();
    m_atThumbnailPlace = false;
}

// --- FractalBrowser ---

FractalBrowser::FractalBrowser(AppState& app, QtProgram& program, FractalBrowsing& browsing,
                               std::vector<std::string> files, QWidget* owner)
    : ProgramDialog(app.palette, owner), m_app(app), m_program(program), m_browsing(browsing),
      m_files(std::move(files))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(qs(kBrowserTitle));
    m_thumbnail = new ThumbnailBox(this);
    m_list = new QListWidget(this);
    m_list->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    for (const std::string& path : m_files) {
        // The window title shows the whole path of the selected file.
        m_list->addItem(QFileInfo(qs(path)).fileName());
    }
    m_redraw = button("REDRAW", QRect(50, 450, 80, 25), this);
    m_make = button("MAKE THUMBNAIL", QRect(300, 450, 140, 25), this);
    m_info = new QLabel(qs(kInitialInformation), this);
    // The label keeps the default background: its text stays readable over any palette.
    m_info->setAutoFillBackground(true);
    m_info->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layOut();
    move(kBrowserPlace);

    // The selection, not the current row: focus alone makes the first row current, and that
    // must not select (and render) a file nobody chose.
    connect(m_list, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem*> selected = m_list->selectedItems();
        if (selected.isEmpty()) {
            return;
        }
        const int row = m_list->row(selected.front());
        QPointer<FractalBrowser> self(this);
        m_program.whenIdle(
            [self, row] {
                if (self) {
                    self->selectFile(row);
                }
            },
            m_list);
    });
    connect(m_make, &QPushButton::clicked, this, [this] {
        QPointer<FractalBrowser> self(this);
        m_program.whenIdle([self] {
            if (self) {
                self->makeThumbnail();
            }
        });
    });
    connect(m_redraw, &QPushButton::clicked, this, [this] {
        QPointer<FractalBrowser> self(this);
        m_program.whenIdle([self] {
            if (self) {
                self->redrawAtFullSize();
            }
        });
    });
}

void FractalBrowser::layOut()
{
    m_thumbnail->setGeometry(10, 40, kThumbnailWidth, kThumbnailHeight);
    m_list->setGeometry(10, 210, 380, 200);
    // The longest information text decides the label's size; it never shrinks below its own.
    const QFontMetrics metrics(m_info->font());
    const QRect needed = metrics.boundingRect(QRect(0, 0, 1000, 1000), Qt::AlignLeft | Qt::AlignTop,
                                              qs(informationText(true, 1048576)));
    m_info->setGeometry(200, 40, std::max(200, needed.width() + 4),
                        std::max(50, needed.height() + 4));
    QRect used = QRect(QPoint(0, 0), kClientSize);
    for (const QWidget* child : {static_cast<QWidget*>(m_thumbnail), static_cast<QWidget*>(m_list),
                                 static_cast<QWidget*>(m_redraw), static_cast<QWidget*>(m_make),
                                 static_cast<QWidget*>(m_info)}) {
        used = used.united(child->geometry().adjusted(0, 0, 10, 5));
    }
    setFixedSize(used.size());
}

void FractalBrowser::refill()
{
    update();
}

void FractalBrowser::selectFile(int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_files.size()) {
        return;
    }
    ++m_step;
    const std::string path = m_files[static_cast<std::size_t>(index)];
    const BrowsedKind kind = browsedKindOf(path);
    const std::string thumbnail = thumbnailPathOf(path);
    m_current = path;
    setWindowTitle(qs(path));
    if (fileExists(thumbnail)) {
        m_make->setEnabled(false);
        m_thumbnail->showFile(thumbnail);
        if (kind == BrowsedKind::Standard || kind == BrowsedKind::Deep) {
            showHeader(path);
        } else if (withImage(kind)) {
            showWithImage(path);
        }
        return;
    }
    m_thumbnail->clear();
    switch (kind) {
    case BrowsedKind::Standard:
        m_make->setEnabled(false);
        renderThumbnail(path);
        break;
    case BrowsedKind::Deep:
        // Deep views can take long: they are rendered only on request.
        showHeader(path);
        m_make->setEnabled(true);
        break;
    case BrowsedKind::StandardWithImage:
    case BrowsedKind::DeepWithImage:
        m_make->setEnabled(true);
        showWithImage(path);
        break;
    case BrowsedKind::Other:
        break;
    }
}

void FractalBrowser::showHeader(const std::string& path)
{
    const std::optional<ParameterHeader> header = browsedHeader(path);
    m_info->setText(header ? qs(informationText(header->mandelbrot, header->precisionShown))
                           : qs(kInitialInformation));
}

void FractalBrowser::renderThumbnail(const std::string& path)
{
    if (!loadAtThumbnailSize(m_app, m_program.services(), path, m_browsing.savedSize)) {
        return;
    }
    m_browsing.placePictureAtThumbnail();
    // The render entry would write the thumbnail of the current file even for a picture
    // stopped by Esc: the browser writes it itself, only for a finished picture.
    m_app.shell.currentFileName.clear();
    m_app.render.stoppedByUser = 0;
    const std::uint32_t step = ++m_step;
    m_program.renderNow();
    if (step != m_step) {
        return; // a later step ran at the end of this render and took its place
    }
    m_app.shell.currentFileName = path;
    m_program.setMenuTitle("QUORVALIS - " + path);
    m_info->setText(qs(informationText(isMandelbrot(m_app.view), precisionShown(m_app.view))));
    if (m_app.shell.pictureValid != 0 && m_app.render.stoppedByUser == 0) {
        saveThumbnailShown(path);
    }
}

bool FractalBrowser::showWithImage(const std::string& path)
{
    if (!loadBrowsedFile(m_app, m_program.services(), path, true)) {
        return false;
    }
    // The picture has the file's own size: the thumbnail size has ended.
    m_browsing.savedSize = {};
    if (m_browsing.pictureAtThumbnailPlace() && m_app.settings.pictureWidth > kThumbnailWidth) {
        m_browsing.placePictureAtHome();
    }
    buildPicture(m_app.picture, m_app.iterations, m_app.palette, drawingMode(m_app.view.modeWord),
                 m_app.paletteState.paletteOffset);
    m_app.shell.pictureFromImage = 1;
    m_app.shell.pictureValid = 1;
    m_app.shell.currentFileName = path;
    m_program.pictureWindow().showKeptPicture();
    m_program.refreshOpenDialogs();
    m_program.setMenuTitle("QUORVALIS - " + path);
    const std::int32_t precision =
        browsedKindOf(path) == BrowsedKind::DeepWithImage ? m_app.view.precisionBits : 80;
    m_info->setText(qs(informationText(isMandelbrot(m_app.view), precision)));
    return true;
}

void FractalBrowser::saveThumbnailShown(const std::string& path)
{
    const std::string thumbnail = thumbnailPathOf(path);
    if (m_program.pictures().saveThumbnail(thumbnail) == PictureSaveResult::Written) {
        m_thumbnail->showFile(thumbnail);
        m_make->setEnabled(false);
    }
}

void FractalBrowser::makeThumbnail()
{
    if (m_current.empty()) {
        return;
    }
    ++m_step;
    const std::string path = m_current;
    if (withImage(browsedKindOf(path))) {
        // The file's own picture is the thumbnail's: no size change, no render.
        const bool shown = m_app.shell.currentFileName == path && m_app.shell.pictureFromImage;
        if (shown || showWithImage(path)) {
            saveThumbnailShown(path);
        }
        return;
    }
    renderThumbnail(path);
}

void FractalBrowser::redrawAtFullSize()
{
    ++m_step;
    const std::optional<SavedPictureSize> restored =
        restoreSavedSize(m_app.settings, m_browsing.savedSize);
    if (restored) {
        m_program.sizePictureWindow(restored->width, restored->height);
        if (restored->width > kThumbnailWidth && m_browsing.pictureAtThumbnailPlace()) {
            m_browsing.placePictureAtHome();
        }
    }
    if (!m_current.empty() && !withImage(browsedKindOf(m_current)) &&
        loadBrowsedFile(m_app, m_program.services(), m_current, false)) {
        m_app.shell.currentFileName = m_current;
        m_program.renderNow();
        return;
    }
    if (restored) {
        // Nothing was loaded, yet the view must fit the restored size before it is drawn.
        refreshFromDeep(m_app.view, viewContext(m_app), m_program);
        m_program.requestRender();
    }
}

} // namespace qv
