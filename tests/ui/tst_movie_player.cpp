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

    // True when the picture window shows frame `n`: its top colour in the top left corner,
    // its bottom colour in the bottom right one (the frame stretched over the whole window).
    bool showsFrame(std::int64_t n)
    {
        const QImage shown = f->picture().grab().toImage();
        const QPoint corner(shown.width() - 1, shown.height() - 1);
        return player->shownFrame() == n &&
               qv::test::closeColours(shown.pixel(0, 0) & 0xFFFFFFu, qv::test::topColour(n), 2) &&
               qv::test::closeColours(shown.pixel(corner) & 0xFFFFFFu, qv::test::bottomColour(n),
                                      2);
    }

    // True when the picture window shows the fractal picture.
    bool showsPicture()
    {
        const qv::PictureBuffer& p = f->app.picture;
        const QImage shown = f->picture().grab().toImage();
        return (shown.pixel(p.width / 2, p.height / 3) & 0xFFFFFFu) ==
               p.pixels[static_cast<std::size_t>(p.height / 3 * p.width + p.width / 2)];
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

    void playMovieOpensThePlayerForTheChosenFileOnly()
    {
        PlayerFixture p;
        QVERIFY(p.f && p.written);
        // Cancelled, a missing file or a folder opens nothing.
        const QString title = p.f->picture().windowTitle();
        for (const char* answer : {"", "/nonexistent/zoom.avi", "/tmp"}) {
            QVERIFY2(p.open(answer) == nullptr, answer);
            QCOMPARE(p.f->picture().windowTitle(), title);
        }
        QVERIFY(p.open(p.path));
        const auto& asked = p.f->prompts.asked();
        QCOMPARE(asked.size(), std::size_t{4});
        QCOMPARE(asked[3].kind, std::string("open"));
        QCOMPARE(asked[3].file.filter, std::string("Fractal Files (*.avi)|*.AVI|"));
        QCOMPARE(asked[3].file.defaultExtension, std::string("AVI"));
        QCOMPARE(p.f->picture().windowTitle(), QString::fromStdString("Playing: " + p.path));
        QCOMPARE(p.f->menu().windowTitle(), QStringLiteral("QUORVALIS"));
        QCOMPARE(p.player->windowTitle(), QStringLiteral("Quorvalis video player"));
        QCOMPARE(p.player->windowModality(), Qt::ApplicationModal);
        int left = -1;
        for (const auto& [id, caption] : {std::pair{901, "PLAY"}, {902, "PAUSE"}, {903, "EXIT"}}) {
            QCOMPARE(p.player->button(id)->text(), QString::fromLatin1(caption));
            QVERIFY(p.player->button(id)->x() > left);
            left = p.player->button(id)->geometry().right();
        }
        // The background is the palette's first 500 colours: row y shows the band of entry
        // y × 500 / h, give or take the rounding of the bands.
        const QImage shown = p.player->grab().toImage();
        for (int y : {0, shown.height() / 2, shown.height() - 1}) {
            const int band = y * 500 / shown.height();
            bool found = false;
            for (int i = std::max(0, band - 10); i <= std::min(499, band + 10); ++i) {
                found = found || p.f->app.palette.colourAt(i) == (shown.pixel(1, y) & 0xFFFFFFu);
            }
            QVERIFY2(found, qPrintable(QString::number(y)));
        }
        // PAUSE before PLAY does nothing; nothing is open yet.
        p.click(MoviePlayer::kPauseId);
        QCOMPARE(p.player->state(), MoviePlayer::Closed);
        QVERIFY(!fileHeldOpen(p.path));
        QVERIFY(p.showsPicture());
        // A second "Play movie" while the player is open only brings it forward.
        p.f->program.dispatchCommand(CommandId::PlayMovie);
        QCOMPARE(p.f->prompts.asked().size(), std::size_t{4});
        QCOMPARE(p.f->picture().findChildren<MoviePlayer*>().size(), 1);
    }

    void playShowsTheFramesAtTheirTimesAndPauseHolds()
    {
        PlayerFixture p;
        QVERIFY(p.f && p.written && p.open(p.path));
        // Pressed twice while the file opens: it opens once.
        p.click(MoviePlayer::kPlayId);
        p.click(MoviePlayer::kPlayId);
        QTRY_VERIFY(p.showsFrame(0));
        QCOMPARE(p.player->state(), MoviePlayer::Playing);
        QVERIFY(fileHeldOpen(p.path));
        // Frame k of the loop shows at k × 40 ms, stretched over the picture window.
        for (std::int64_t k = 1; k <= 6; ++k) {
            p.advance(40);
            QTRY_VERIFY2(p.showsFrame(k % 5), qPrintable(QString::number(k)));
        }
        // A second PLAY finds the movie playing: it neither opens it again nor restarts it.
        p.click(MoviePlayer::kPlayId);
        p.advance(40);
        QTRY_VERIFY(p.showsFrame(2));
        // 90 ms later the loop's frame 9 (number 4) is due.
        p.advance(90);
        QTRY_VERIFY(p.showsFrame(4));
        p.click(MoviePlayer::kPauseId);
        QCOMPARE(p.player->state(), MoviePlayer::Stopped);
        // Time passes while paused; a clock left running would show frame 16 (number 1).
        p.advance(300);
        QCoreApplication::processEvents();
        p.click(MoviePlayer::kPauseId);
        QVERIFY(p.showsFrame(4));
        QVERIFY(fileHeldOpen(p.path));
        // PLAY resumes from the position held, 370 ms: frame 10 follows 30 ms later.
        p.click(MoviePlayer::kPlayId);
        QCOMPARE(p.player->state(), MoviePlayer::Playing);
        p.advance(29);
        QCoreApplication::processEvents();
        QVERIFY(p.showsFrame(4));
        p.advance(1);
        QTRY_VERIFY(p.showsFrame(0));
    }

    void everyWayOutClosesTheFileAndShowsTheFractal_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<int>("played"); // 0 no PLAY, 1 PLAY just pressed, 2 the movie playing
        QTest::newRow("EXIT while playing") << QStringLiteral("exit") << 2;
        QTest::newRow("EXIT before PLAY") << QStringLiteral("exit") << 0;
        QTest::newRow("EXIT while the file opens") << QStringLiteral("exit") << 1;
        QTest::newRow("close box") << QStringLiteral("close") << 2;
        QTest::newRow("Esc") << QStringLiteral("esc") << 2;
    }

    void everyWayOutClosesTheFileAndShowsTheFractal()
    {
        QFETCH(QString, way);
        QFETCH(int, played);
        PlayerFixture p;
        QVERIFY(p.f && p.written);
        const QString title = p.f->picture().windowTitle();
        QVERIFY(p.open(p.path));
        if (played > 0) {
            p.click(MoviePlayer::kPlayId);
        }
        if (played > 1) {
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
            const auto& asked = p.f->prompts.asked();
            QTRY_COMPARE(asked.size(), std::size_t(1 + press));
            QCOMPARE(p.player->state(), MoviePlayer::Closed);
            QCOMPARE(asked.back().kind, std::string("message"));
            const std::string head = "The movie cannot be played:\n" + broken + "\n";
            QVERIFY2(asked.back().text.starts_with(head) && asked.back().text.size() > head.size(),
                     asked.back().text.c_str());
        }
        QVERIFY(!fileHeldOpen(broken));
        QVERIFY(p.showsPicture());
        QVERIFY(p.player->isVisible());
    }
};

QTEST_MAIN(MoviePlayerTest)
#include "tst_movie_player.moc"
