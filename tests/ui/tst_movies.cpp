// The zoom movies in the windows: movie to disk with its frames, Esc, the video dialog and the
// converter; the real-time zoom with its sizes, Esc and the view it leaves.
#include "app/movie.h"
#include "tests/ui/support/program_fixture.h"
#include "ui/movie_runner.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using qv::CommandId;
using qv::test::ProgramFixture;
using qv::test::waitForPicture;

namespace {

namespace fs = std::filesystem;

/// A running program showing the default view at width x height.
std::unique_ptr<ProgramFixture> programAt(std::int32_t width, std::int32_t height)
{
    auto f = qv::test::renderedProgram();
    if (!f) {
        return {};
    }
    qv::changePictureSize(f->app, {width, height}, f->program);
    f->program.requestRender();
    if (!waitForPicture(*f)) {
        return {};
    }
    return f;
}

/// Frames into `folder`/temp/, and a converter there that notes its arguments.
void useFolder(ProgramFixture& f, const QTemporaryDir& folder)
{
    const std::string base = folder.path().toStdString() + "/";
    f.program.movies().setFrameFolder(base + "temp/");
    const std::string converter = base + "converter.sh";
    std::ofstream(converter) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args\"\n";
    QFile::setPermissions(QString::fromStdString(converter),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    f.program.movies().setConverter(converter);
}

std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string bytesOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// Presses Esc as soon as the event loop runs again.
void pressEscapeSoon(ProgramFixture& f)
{
    QTimer::singleShot(0, &f.picture(),
                       [&f] { QTest::keyClick(f.picture().windowHandle(), Qt::Key_Escape); });
}

} // namespace

class MoviesTest : public QObject
{
    Q_OBJECT

private slots:

    void init() { qv::test::failOnWarnings(); }

    void movieToDiskWritesFramesRunsTheConverterAndComesBack()
    {
        auto f = programAt(32, 24);
        QVERIFY(f);
        QTemporaryDir folder;
        useFolder(*f, folder);
        const std::string frames = f->program.movies().frameFolder();
        fs::create_directories(frames);
        for (const char* name : {"1.jpg", "OLD.JPG", "notes.txt"}) {
            std::ofstream(frames + name) << "x";
        }
        f->app.settings.autosaveParameter = 1;
        const std::string xmin = f->app.view.mandelbrot.xmin.text;
        const std::string video = folder.path().toStdString() + "/zoom.avi";
        f->prompts.answer("yes");
        f->prompts.answer(video);
        f->program.dispatchCommand(CommandId::MakeMovieToDisk);

        QCOMPARE(f->prompts.texts(),
                 (std::vector<std::string>{std::string(qv::kMovieQuestion), "Save video"}));
        QCOMPARE(f->prompts.asked()[1].file.filter, std::string("Video Files (*.avi)|*.AVI|"));
        QCOMPARE(f->prompts.asked()[1].file.defaultExtension, std::string("AVI"));
        std::vector<std::string> names = namesIn(frames);
        QCOMPARE(names.size(), std::size_t{73});
        QCOMPARE(names.front(), std::string("9999928.jpg"));
        QCOMPARE(names[71], std::string("9999999.jpg"));
        QCOMPARE(names.back(), std::string("notes.txt"));
        QCOMPARE(bytesOf(folder.path().toStdString() + "/args"), video + "\n" + frames + "\n");
        // The starting view and autosave come back; the windows are usable again.
        QCOMPARE(f->app.view.mandelbrot.xmin.text, xmin);
        QCOMPARE(f->app.settings.autosaveParameter, 1);
        QCOMPARE(f->app.shell.animationRunning, 0);
        QVERIFY(f->picture().isEnabled());
        QCOMPARE(f->menu().windowTitle(), QStringLiteral("QUORVALIS"));
        QCOMPARE(f->program.rendersStartedInPaint(), 0);
    }

    void movieFramesEqualThoseOfTheHeadlessRenderer()
    {
        auto f = programAt(32, 24);
        QVERIFY(f);
        QTemporaryDir folder;
        useFolder(*f, folder);
        const std::string file = folder.path().toStdString() + "/start.fra";
        f->dispatchAnswering(CommandId::SaveFractal, file);
        f->prompts.answer("yes");
        f->prompts.answer("");
        f->program.dispatchCommand(CommandId::MakeMovieToDisk);
        const std::string frames = f->program.movies().frameFolder();
        const std::string headless = folder.path().toStdString() + "/headless/";
        QProcess render;
        render.start(QStringLiteral(QV_RENDER_PROGRAM),
                     {QString::fromStdString(file), "--size", "32x24", "--threads",
                      QString::number(f->app.settings.threads), "-q", "--movie-frames", "0..71",
                      "--out", QString::fromStdString(headless)});
        QVERIFY(render.waitForFinished(60000));
        QCOMPARE(render.exitCode(), 0);
        const std::vector<std::string> names = namesIn(headless);
        QCOMPARE(names, namesIn(frames));
        QCOMPARE(names.size(), std::size_t{72});
        for (const std::string& name : names) {
            QVERIFY2(bytesOf(headless + name) == bytesOf(frames + name), name.c_str());
        }
    }

    void escapeStopsTheMovieAndOffersToSaveTheView()
    {
        auto f = programAt(32, 24);
        QVERIFY(f);
        QTemporaryDir folder;
        useFolder(*f, folder);
        f->prompts.onAsk = [&](const qv::test::ScriptedPrompts::Asked& asked) {
            if (asked.kind == "yesNo") {
                pressEscapeSoon(*f);
            }
        };
        const std::string saved = folder.path().toStdString() + "/kept.fpi";
        f->prompts.answer("yes");
        f->prompts.answer(saved);
        f->program.dispatchCommand(CommandId::MakeMovieToDisk);
        QCOMPARE(f->prompts.texts()[1], std::string(qv::kMovieInterruptedSave));
        QCOMPARE(f->prompts.asked()[2].kind, std::string("save"));
        QVERIFY(fs::exists(saved));
        QVERIFY(namesIn(f->program.movies().frameFolder()).size() < 72);
        QVERIFY(!fs::exists(folder.path().toStdString() + "/args"));
        QCOMPARE(f->app.shell.animationRunning, 0);
        QCOMPARE(f->app.render.stoppedByUser, 0);
        QVERIFY(f->picture().isEnabled());
        QCOMPARE(f->menu().windowTitle(), QStringLiteral("QUORVALIS"));
    }

    void endingsWithoutAVideo_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("converterPresent");
        QTest::addColumn<QString>("message");
        QTest::newRow("dialog cancelled") << "" << true << "Movie creation interrupted!";
        QTest::newRow("no converter") << "zoom.avi" << false << "The video converter";
    }

    void endingsWithoutAVideo()
    {
        QFETCH(QString, answer);
        QFETCH(bool, converterPresent);
        QFETCH(QString, message);
        auto f = programAt(32, 24);
        QVERIFY(f);
        QTemporaryDir folder;
        useFolder(*f, folder);
        if (!converterPresent) {
            f->program.movies().setConverter(folder.path().toStdString() + "/none");
        }
        f->app.settings.unzoomFactor = 1.5f;
        const std::string xmin = f->app.view.mandelbrot.xmin.text;
        f->prompts.answer("yes");
        f->prompts.answer(answer.isEmpty()
                              ? std::string()
                              : folder.path().toStdString() + "/" + answer.toStdString());
        f->program.dispatchCommand(CommandId::MakeMovieToDisk);
        QVERIFY(QString::fromStdString(f->prompts.texts().back()).startsWith(message));
        QCOMPARE(namesIn(f->program.movies().frameFolder()).size(), std::size_t{5});
        QCOMPARE(f->app.view.mandelbrot.xmin.text, xmin);
        QVERIFY(waitForPicture(*f));
    }

    void refusals_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<float>("factor");
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("message");
        const auto movie = static_cast<int>(CommandId::MakeMovieToDisk);
        const auto realtime = static_cast<int>(CommandId::RealtimeZoomMovie);
        const QString tooLarge = QString::fromUtf8(qv::kMovieTooLarge.data());
        const QString factor = QString::fromUtf8(qv::kFactorWarning.data());
        QTest::newRow("1600 x 1200") << 1600 << 1200 << 1.02f << movie << tooLarge;
        QTest::newRow("movie at factor 1") << 32 << 24 << 1.0f << movie << factor;
        QTest::newRow("animation at factor 1") << 32 << 24 << 1.0f << realtime << factor;
    }

    void refusals()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(float, factor);
        QFETCH(int, command);
        QFETCH(QString, message);
        auto f = qv::test::renderedProgram();
        QVERIFY(f);
        f->app.settings.pictureWidth = width;
        f->app.settings.pictureHeight = height;
        f->app.settings.unzoomFactor = factor;
        f->program.dispatchCommand(static_cast<CommandId>(command));
        QCOMPARE(f->prompts.texts(), std::vector<std::string>{message.toStdString()});
        QCOMPARE(f->app.settings.pictureWidth, width);
        QCOMPARE(f->app.shell.animationRunning, 0);
    }

    void realtimeZoomAnimatesAndComesBackAfterEscape_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("animatedWidth");
        QTest::addColumn<int>("animatedHeight");
        QTest::newRow("1024 x 768") << 1024 << 768 << 640 << 480;
        QTest::newRow("600 x 800") << 600 << 800 << 600 << 800;
    }

    void realtimeZoomAnimatesAndComesBackAfterEscape()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, animatedWidth);
        QFETCH(int, animatedHeight);
        auto f = programAt(width, height);
        QVERIFY(f);
        f->app.view.iterMax = 123;
        f->app.settings.autoIterIncrease = 0;
        // As after "Load Fractal with image": the animation renders its frames all the same.
        f->app.shell.pictureFromImage = 1;
        const long double start = f->app.view.mandelbrot.xmin.ext;
        const int queued = f->picture().queuedRenders();
        std::vector<std::int32_t> iterations;
        QSize animated;
        f->program.movies().onAnimationFrame = [&](std::int64_t frames) {
            iterations.push_back(f->app.view.iterMax);
            animated = QSize(f->app.settings.pictureWidth, f->app.settings.pictureHeight);
            f->picture().update();
            if (frames == 3) {
                QTest::keyClick(f->picture().windowHandle(), Qt::Key_Escape);
            }
        };
        f->dispatchAnswering(CommandId::RealtimeZoomMovie, "ok");
        QCOMPARE(f->prompts.texts(), std::vector<std::string>{std::string(qv::kUnzoomQuestion)});
        QCOMPARE(animated, QSize(animatedWidth, animatedHeight));
        QCOMPARE(iterations, (std::vector<std::int32_t>{100, 100, 100}));
        QCOMPARE(f->program.movies().animationFrames(), 3);
        // Painting during the animation drew the kept picture and queued no render.
        QCOMPARE(f->picture().queuedRenders(), queued);
        // Entry 2: two steps wider than the start, at the size and limit of before.
        QCOMPARE(f->app.settings.pictureWidth, width);
        QCOMPARE(f->app.settings.pictureHeight, height);
        QCOMPARE(f->app.view.iterMax, 123);
        const double expected = -0.5 - 2.0 * 1.02 * 1.02;
        QVERIFY(std::abs(static_cast<double>(f->app.view.mandelbrot.xmin.ext) - expected) < 1e-5);
        QVERIFY(f->app.view.mandelbrot.xmin.ext < start);
        QCOMPARE(f->app.settings.autoIterIncrease, 1);
        QCOMPARE(f->app.shell.animationRunning, 0);
        QCOMPARE(f->app.shell.pictureValid, 1);
        QCOMPARE(f->menu().windowTitle(), QStringLiteral("QUORVALIS"));
        QVERIFY(f->menu().isEnabled());
    }

    void realtimeZoomNearTheWholeSetRestoresTheStart()
    {
        auto f = programAt(32, 24);
        QVERIFY(f);
        qv::MandelbrotNumbers& m = f->app.view.mandelbrot;
        m.xmin.ext = -0.5L - 7.9L;
        m.xmax.ext = -0.5L + 7.9L;
        qv::applyViewChange(f->app.view, qv::viewContext(f->app), f->program);
        const long double start = m.xmin.ext;
        f->dispatchAnswering(CommandId::RealtimeZoomMovie, "ok");
        QCOMPARE(f->prompts.texts().back(), std::string(qv::kNothingToAnimate));
        QCOMPARE(f->program.movies().animationFrames(), 0);
        QVERIFY(m.xmin.ext == start);
        QCOMPARE(f->app.shell.animationRunning, 0);
    }

    void realtimeZoomIsNotAvailableInDeepZoom()
    {
        auto f = programAt(32, 24);
        QVERIFY(f);
        QVERIFY(qv::test::typeMandelbrotWindow(*f, "-0.75", "-0.7499999999999999999", "0.1",
                                               "0.10000000000000000001"));
        QCOMPARE(f->app.view.deepZoom, 1);
        f->program.dispatchCommand(CommandId::RealtimeZoomMovie);
        QCOMPARE(f->prompts.texts(), std::vector<std::string>{"Not available with\ndeep zoom"});
    }
};

QTEST_MAIN(MoviesTest)
#include "tst_movies.moc"
