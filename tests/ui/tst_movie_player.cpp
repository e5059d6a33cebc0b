// The movie player: "Play movie" opens the player for the chosen AVI, PLAY shows the file's
// frames in the picture window at their times and loops, PAUSE holds, every way out closes
// the file and shows the fractal again, and a file that does not play says why. Playback is
// timed by a clock the test moves, so no assertion depends on how fast the machine is.
#include "tests/ui/support/program_fixture.h"
#include "tests/video/test_videos.h"
#include "ui/movie_player.h"

#include <filesystem>
#include <fstream>

#include <QDir>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using qv::CommandId;
using qv::MoviePlayer;
using qv::test::ProgramFixture;
using std::chrono::milliseconds;

namespace {

// Whether this process holds `path` open.
bool fileHeldOpen(const std::string& path)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        std::error_code ignored;
        if (std::filesystem::read_symlink(entry.path(), ignored) == path) {
            return true;
        }
    }
    return false;
}

// The program with its first picture, a five-frame movie in a folder with spaces, and the
// player's clock, which moves only when the test moves it.
struct PlayerFixture
{
    PlayerFixture()
    {
        const QString folder = dir.path() + QStringLiteral("/movies with spaces");
        QDir().mkpath(folder);
        path = (folder + QStringLiteral("/zoom one.avi")).toStdString();
        written = qv::test::writeTestVideo(path, qv::test::TestCodec::Ffv1, 5);
    }

    // "Play movie" with `answer` chosen in the open dialog; the player, or null.
    MoviePlayer* open(const std::string& answer)
    {
        f->dispatchAnswering(CommandId::PlayMovie, answer);
        player = f->picture().findChild<MoviePlayer*>();
        if (player != nullptr) {
            player->setClock([this] { return now; });
        }
        return player;
    }

    void click(int id) { QTest::mouseClick(player->button(id), Qt::LeftButton); }

    void advance(int ms) { now += milliseconds(ms); }

    // The colour shown at a point of the picture window, given as a share of its size.
    std::uint32_t shownAt(double x, double y)
    {
        const QImage shown = f->picture().grab().toImage();
        return shown.pixel(static_cast<int>(x * (shown.width() - 1)),
                           static_cast<int>(y * (shown.height() - 1))) &
               0xFFFFFFu;
    }

    // True when the picture window shows frame `n` over its whole client area.
    bool showsFrame(std::int64_t n)
    {
        using qv::test::closeColours;
        return player->shownFrame() == n &&
               closeColours(shownAt(0, 0), qv::test::topColour(n), 2) &&
               closeColours(shownAt(0.5, 0.25), qv::test::topColour(n), 2) &&
               closeColours(shownAt(0.5, 0.75), qv::test::bottomColour(n), 2) &&
               closeColours(shownAt(1, 1), qv::test::bottomColour(n), 2);
    }

    // True when the picture window shows the fractal picture.
    bool showsPicture()
    {
        const qv::PictureBuffer& p = f->app.picture;
        const int x = p.width / 2;
        const int y = p.height / 3;
        const QImage shown = f->picture().grab().toImage();
        return (shown.pixel(x, y) & 0xFFFFFFu) ==
               p.pixels[static_cast<std::size_t>(y * p.width + x)];
    }

    std::unique_ptr<ProgramFixture> f = qv::test::renderedProgram();
    QTemporaryDir dir;
    std::string path;
    bool written = false;
    QPointer<MoviePlayer> player;
    std::chrono::steady_clock::time_point now{};
};

} // namespace

class MoviePlayerTest : public QObject
{
    Q_OBJECT

private slots:

    void init() { qv::test::failOnWarnings(); }

    void playMovieAsksForAnAviAndOpensThePlayer()
    {
        PlayerFixture p;
        QVERIFY(p.f && p.written);
        QVERIFY(p.open(p.path) != nullptr);
        const auto& asked = p.f->prompts.asked();
        QCOMPARE(asked.size(), std::size_t{1});
        QCOMPARE(asked[0].kind, std::string("open"));
        QCOMPARE(asked[0].file.filter, std::string("Fractal Files (*.avi)|*.AVI|"));
        QCOMPARE(asked[0].file.defaultExtension, std::string("AVI"));
        QCOMPARE(p.f->picture().windowTitle(), QString::fromStdString("Playing: " + p.path));
        QCOMPARE(p.f->menu().windowTitle(), QStringLiteral("QUORVALIS"));
        QCOMPARE(p.player->windowTitle(), QStringLiteral("Quorvalis video player"));
        QCOMPARE(p.player->windowModality(), Qt::ApplicationModal);
        QVERIFY(p.player->isVisible());
        QCOMPARE(p.player->button(901)->text(), QStringLiteral("PLAY"));
        QCOMPARE(p.player->button(902)->text(), QStringLiteral("PAUSE"));
        QCOMPARE(p.player->button(903)->text(), QStringLiteral("EXIT"));
        QVERIFY(p.player->button(901)->x() < p.player->button(902)->x());
        QVERIFY(p.player->button(902)->geometry().right() < p.player->button(903)->x());
        QCOMPARE(p.player->state(), MoviePlayer::Closed);
        QVERIFY(!fileHeldOpen(p.path));
        QVERIFY(p.showsPicture());
        // A second "Play movie" while the player is open only brings it forward.
        p.f->program.dispatchCommand(CommandId::PlayMovie);
        QCOMPARE(p.f->prompts.asked().size(), std::size_t{1});
        QCOMPARE(p.f->picture().findChildren<MoviePlayer*>().size(), 1);
    }

    void noFileChosenOpensNothing_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("cancelled") << QString();
        QTest::newRow("missing file") << QStringLiteral("/nonexistent/zoom.avi");
        QTest::newRow("a folder") << QStringLiteral("/tmp");
    }

    void noFileChosenOpensNothing()
    {
        QFETCH(QString, answer);
        PlayerFixture p;
        QVERIFY(p.f);
        const QString title = p.f->picture().windowTitle();
        QVERIFY(p.open(answer.toStdString()) == nullptr);
        QCOMPARE(p.f->picture().windowTitle(), title);
        QVERIFY(p.showsPicture());
    }

    void playShowsEveryFrameStretchedAtItsTimeAndLoops()
    {
        PlayerFixture p;
        QVERIFY(p.f && p.written && p.open(p.path));
        p.click(MoviePlayer::kPlayId);
        QCOMPARE(p.player->state(), MoviePlayer::Playing);
        QTRY_VERIFY(p.showsFrame(0));
        QVERIFY(fileHeldOpen(p.path));
        // Two passes and a little: frame k of the loop shows at k × 40 ms.
        for (std::int64_t k = 1; k <= 11; ++k) {
            p.advance(40);
            QTRY_VERIFY2(p.showsFrame(k % 5), qPrintable(QString::number(k)));
        }
        // Not before its time.
        p.advance(39);
        QCoreApplication::processEvents();
        QVERIFY(p.showsFrame(1));
    }

    void lateFramesAreSkippedToKeepTheFilesRate()
    {
        PlayerFixture p;
        QVERIFY(p.f && p.written && p.open(p.path));
        p.click(MoviePlayer::kPlayId);
        QTRY_VERIFY(p.showsFrame(0));
        // 130 ms later is the time of frame 3: frames 1 and 2 are too late to be shown.
        p.advance(130);
        QTRY_VERIFY(p.showsFrame(3));
    }

    void playTwicePlaysOnce()
    {
        PlayerFixture p;
        QVERIFY(p.f && p.written && p.open(p.path));
        p.click(MoviePlayer::kPlayId);
        p.advance(80);
        QTRY_VERIFY(p.showsFrame(2));
        // The second press finds the movie playing: it neither opens it again nor restarts it.
        p.click(MoviePlayer::kPlayId);
        QCOMPARE(p.player->state(), MoviePlayer::Playing);
        p.advance(40);
        QTRY_VERIFY(p.showsFrame(3));
        QVERIFY(p.f->prompts.texts().size() == 1);
    }

    void pauseBeforePlayDoesNothing()
    {
        PlayerFixture p;
        QVERIFY(p.f && p.written && p.open(p.path));
        p.click(MoviePlayer::kPauseId);
        QCOMPARE(p.player->state(), MoviePlayer::Closed);
        QCOMPARE(p.player->shownFrame(), std::int64_t{-1});
        QVERIFY(!fileHeldOpen(p.path));
        QVERIFY(p.showsPicture());
        p.click(MoviePlayer::kPlayId);
        QTRY_VERIFY(p.showsFrame(0));
    }

    void pauseHoldsTheFrameAndPlayResumesFromIt()
    {
        PlayerFixture p;
        QVERIFY(p.f && p.written && p.open(p.path));
        p.click(MoviePlayer::kPlayId);
        p.advance(40);
        QTRY_VERIFY(p.showsFrame(1));
        p.click(MoviePlayer::kPauseId);
        QCOMPARE(p.player->state(), MoviePlayer::Stopped);
        // Time passes while paused; a clock left running would be at frame 8 (number 3).
        p.advance(300);
        QCoreApplication::processEvents();
        QVERIFY(p.showsFrame(1));
        QVERIFY(fileHeldOpen(p.path));
        // A second PAUSE changes nothing.
        p.click(MoviePlayer::kPauseId);
        QCOMPARE(p.player->state(), MoviePlayer::Stopped);
        p.click(MoviePlayer::kPlayId);
        QCOMPARE(p.player->state(), MoviePlayer::Playing);
        QVERIFY(p.showsFrame(1));
        p.advance(40);
        QTRY_VERIFY(p.showsFrame(2));
    }

    void everyWayOutClosesTheFileAndShowsTheFractal_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("playing");
        QTest::newRow("EXIT while playing") << QStringLiteral("exit") << true;
        QTest::newRow("EXIT before PLAY") << QStringLiteral("exit") << false;
        QTest::newRow("close box") << QStringLiteral("close") << true;
        QTest::newRow("Esc") << QStringLiteral("esc") << true;
    }

    void everyWayOutClosesTheFileAndShowsTheFractal()
    {
        QFETCH(QString, way);
        QFETCH(bool, playing);
        PlayerFixture p;
        QVERIFY(p.f && p.written);
        const QString title = p.f->picture().windowTitle();
        QVERIFY(p.open(p.path));
        if (playing) {
            p.click(MoviePlayer::kPlayId);
            QTRY_VERIFY(p.showsFrame(0));
        }
        p.f->app.render.renderSuppressed = 1;
        if (way == QStringLiteral("exit")) {
            p.click(MoviePlayer::kExitId);
        } else if (way == QStringLiteral("close")) {
            p.player->close();
        } else {
            QTest::keyClick(p.player, Qt::Key_Escape);
        }
        QTRY_VERIFY(p.player.isNull());
        QVERIFY(!fileHeldOpen(p.path));
        QVERIFY(p.showsPicture());
        QCOMPARE(p.f->picture().windowTitle(), title);
        QCOMPARE(p.f->menu().windowTitle(), QStringLiteral("QUORVALIS"));
        QCOMPARE(p.f->app.render.renderSuppressed, 0);
        // The movie plays again from its start.
        QVERIFY(p.open(p.path));
        p.click(MoviePlayer::kPlayId);
        QTRY_VERIFY(p.showsFrame(0));
    }

    void aFileThatDoesNotPlayIsRefusedWithItsReason_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("not a video\n");
        QTest::newRow("cut off") << QByteArray("RIFF\x10\0\0\0AVI LIST", 16);
    }

    void aFileThatDoesNotPlayIsRefusedWithItsReason()
    {
        QFETCH(QByteArray, content);
        PlayerFixture p;
        QVERIFY(p.f);
        const std::string broken = p.dir.path().toStdString() + "/broken movie.avi";
        std::ofstream(broken, std::ios::binary).write(content.constData(), content.size());
        QVERIFY(p.open(broken));
        for (int press = 1; press <= 2; ++press) {
            p.click(MoviePlayer::kPlayId);
            QCOMPARE(p.player->state(), MoviePlayer::Closed);
            const auto& asked = p.f->prompts.asked();
            QCOMPARE(asked.size(), std::size_t(1 + press));
            QCOMPARE(asked.back().kind, std::string("message"));
            const std::string head = "The movie cannot be played:\n" + broken + "\n";
            QVERIFY2(asked.back().text.starts_with(head) && asked.back().text.size() > head.size(),
                     asked.back().text.c_str());
        }
        QVERIFY(!fileHeldOpen(broken));
        QVERIFY(p.showsPicture());
        QVERIFY(p.player->isVisible());
    }

    void theBackgroundIsThePalettesFirst500Colours()
    {
        PlayerFixture p;
        QVERIFY(p.f && p.open(p.path));
        const QImage shown = p.player->grab().toImage();
        const qv::Palette& palette = p.f->app.palette;
        const int h = shown.height();
        const int spread = 500 / h + 2;
        // Row y shows the band of entry about y × 500 / h.
        for (int y : {0, h / 2, h - 1}) {
            const int expected = y * 500 / h;
            const QRgb colour = shown.pixel(1, y) & 0xFFFFFFu;
            bool found = false;
            for (int i = std::max(0, expected - spread); i <= std::min(499, expected + spread);
                 ++i) {
                found = found || palette.colourAt(i) == colour;
            }
            QVERIFY2(found, qPrintable(QStringLiteral("row %1: %2").arg(y).arg(colour, 0, 16)));
        }
    }
};

QTEST_MAIN(MoviePlayerTest)
#include "tst_movie_player.moc"
