// MoviePlayer: the open dialog, the player window's three states, and frames handed from the
// decoding thread to the picture window at their time.
#include "ui/movie_player.h"

#include "app/commands.h"
#include "ui/dialog_support.h"
#include "ui/picture_window.h"
#include "ui/qt_program.h"

#include <algorithm>
#include <filesystem>
#include <utility>
#include <vector>

#include <QGuiApplication>
#include <QMetaObject>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

namespace qv {

namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

constexpr std::string_view kPlayerTitle = "Quorvalis video player";
constexpr std::string_view kMovieFilter = "Fractal Files (*.avi)|*.AVI|";
constexpr std::string_view kCannotPlay = "The movie cannot be played:\n";

// The longest the player sleeps between looks at its clock: a clock that does not run with
// the system's (a test's) is still followed.
constexpr milliseconds kLongestWait{100};

QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The frame as an image over its own pixels, which the image then owns: no copy.
QImage imageOf(VideoFrame&& frame)
{
    auto* pixels = new std::vector<std::uint32_t>(std::move(frame.pixels));
    return QImage(
        reinterpret_cast<const uchar*>(pixels->data()), frame.width, frame.height,
        static_cast<qsizetype>(frame.width) * 4, QImage::Format_RGB32,
        [](void* owned) { delete static_cast<std::vector<std::uint32_t>*>(owned); }, pixels);
}

} // namespace

MoviePlayer* MoviePlayer::playMovie(QtProgram& program, AppState& app)
{
    PictureWindow& picture = program.pictureWindow();
    if (auto* open = picture.findChild<MoviePlayer*>(); open != nullptr && open->isVisible()) {
        open->raise();
        open->activateWindow();
        return open;
    }
    FileDialogRequest request;
    request.filter = kMovieFilter;
    request.defaultExtension = "AVI";
    const std::string path = program.services().prompts.openFile(request);
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(path, error)) {
        return nullptr;
    }
    const QString titleBefore = picture.windowTitle();
    program.setMenuTitle(kProgramTitle);
    program.setMainTitle("Playing: " + path);
    auto* player = new MoviePlayer(program, app, path, titleBefore);
    player->setAttribute(Qt::WA_DeleteOnClose);
    player->show();
    return player;
}

MoviePlayer::MoviePlayer(QtProgram& program, AppState& app, std::string path, QString titleBefore)
    // Kept above the picture window, which PLAY brings to the front, so that the buttons
    // stay in reach; destroyed with it.
    : QDialog(&program.pictureWindow(), Qt::Window), m_program(program), m_app(app),
      m_path(std::move(path)), m_titleBefore(std::move(titleBefore)),
      m_now([] { return std::chrono::steady_clock::now(); })
{
    setWindowTitle(qs(kPlayerTitle));
    setWindowModality(Qt::ApplicationModal);
    setFont(QFont(QStringLiteral("Arial"), 10));
    const DialogUnits units(font());

    struct ButtonPlace
    {
        const char* caption;
        int id;
        int left;
    };

    for (const ButtonPlace& b :
         {ButtonPlace{"PLAY", kPlayId, 10}, ButtonPlace{"PAUSE", kPauseId, 65},
          ButtonPlace{"EXIT", kExitId, 120}}) {
        auto* button = new QPushButton(QString::fromLatin1(b.caption), this);
        button->setObjectName(QString::number(b.id));
        button->setAutoDefault(false);
        QRect place = units.rect(b.left, 10, 50, 15);
        place.setSize(place.size().expandedTo(button->sizeHint()));
        button->setGeometry(place);
    }
    connect(button(kPlayId), &QPushButton::clicked, this, &MoviePlayer::play);
    connect(button(kPauseId), &QPushButton::clicked, this, &MoviePlayer::pause);
    connect(button(kExitId), &QPushButton::clicked, this, [this] { done(QDialog::Accepted); });
    const QRect client = units.rect(0, 0, 200, 30);
    setFixedSize(
        client.size().expandedTo(QSize(button(kExitId)->geometry().right() + units.x(10),
                                       button(kExitId)->geometry().bottom() + units.y(5))));
    // (400, 500) dialog units, kept on the screen: a request the window manager may overrule.
    QPoint place(units.x(400), units.y(500));
    if (const QScreen* screen = QGuiApplication::primaryScreen(); screen != nullptr) {
        const QRect free = screen->availableGeometry();
        place.setX(
            std::clamp(place.x(), free.left(), std::max(free.left(), free.right() - width())));
        place.setY(
            std::clamp(place.y(), free.top(), std::max(free.top(), free.bottom() - height())));
    }
    move(place);
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &MoviePlayer::showDueFrame);
}

MoviePlayer::~MoviePlayer()
{
    // The decoding thread stops before the object it wakes goes.
    m_feed.reset();
}

QPushButton* MoviePlayer::button(int id) const
{
    return findChild<QPushButton*>(QString::number(id));
}

void MoviePlayer::play()
{
    if (m_state == Closed) {
        // The file opens on the feed's thread; its first frame, or the reason it failed,
        // comes back through showDueFrame. A PLAY meanwhile finds the feed and does nothing.
        if (!m_feed) {
            m_program.bringToFront();
            m_feed = std::make_unique<FrameFeed>(m_path, [this] {
                QMetaObject::invokeMethod(this, &MoviePlayer::showDueFrame, Qt::QueuedConnection);
            });
        }
        return;
    }
    if (m_state == Stopped) {
        const auto now = m_now();
        m_clock.start(now, m_clock.position(now));
        m_state = Playing;
        showDueFrame();
    }
}

void MoviePlayer::pause()
{
    if (m_state != Playing) {
        return;
    }
    m_clock.pause(m_now());
    m_timer.stop();
    m_state = Stopped;
}

void MoviePlayer::showDueFrame()
{
    if (!m_feed) {
        return;
    }
    if (m_state == Closed && m_feed->queued() > 0) {
        // The file opened and its first frame is decoded: it plays at once.
        m_state = Stopped;
        m_clock = PlaybackClock{};
        m_shownFrame = -1;
        play();
        return;
    }
    if (m_state == Playing) {
        const auto now = m_now();
        if (std::optional<VideoFrame> frame = m_feed->takeDue(m_clock.position(now))) {
            m_shownFrame = frame->number;
            m_program.pictureWindow().showMovieFrame(imageOf(std::move(*frame)));
        }
        if (const std::optional<microseconds> next = m_feed->nextTime()) {
            const auto wait = std::chrono::ceil<milliseconds>(m_clock.when(*next) - now);
            m_timer.start(std::clamp(wait, milliseconds(0), kLongestWait));
            return;
        }
    }
    // A file that does not open, or breaks off once its decoded frames are shown, is closed
    // as EXIT would close it, and the player stays for another PLAY. Without an error the
    // feed wakes the player when the next frame is ready.
    const std::string error = m_feed->error();
    if (!error.empty() && m_feed->queued() == 0) {
        closeFile();
        m_program.services().prompts.message(std::string(kCannotPlay) + m_path + "\n" + error);
    }
}

void MoviePlayer::closeFile()
{
    m_timer.stop();
    m_feed.reset();
    m_state = Closed;
    m_program.pictureWindow().showKeptPicture();
}

void MoviePlayer::done(int result)
{
    closeFile();
    m_program.setMenuTitle(kProgramTitle);
    m_program.pictureWindow().setWindowTitle(m_titleBefore);
    // The picture the movie covered is shown again as it was; a render stopped before the
    // movie may run again when the view asks for it.
    m_app.render.renderSuppressed = 0;
    QDialog::done(result);
}

void MoviePlayer::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintPaletteStrip(painter, rect(), m_app.palette, 500);
}

} // namespace qv
