// The zoom movies in the windows: movie to disk with its frames, Esc, the video dialog and the
// converter; the real-time zoom with its sizes, Esc and the view it leaves.
#include "app/movie.h"
#include "tests/support/folder_files.h"
#include "tests/ui/support/program_fixture.h"
#include "ui/movie_job_saver.h"
#include "ui/movie_runner.h"

#include <filesystem>
#include <fstream>
#include <functional>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using qv::CommandId;
using qv::test::bytesOf;
using qv::test::namesIn;
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

    void movieToDiskWritesTheHeadlessFramesRunsTheConverterAndComesBack()
    {
        auto f = programAt(32, 24);
        QVERIFY(f);
        QTemporaryDir folder;
        useFolder(*f, folder);
        const std::string base = folder.path().toStdString() + "/";
        const std::string frames = f->program.movies().frameFolder();
        fs::create_directories(frames);
        for (const char* name : {"1.jpg", "OLD.JPG", "notes.txt"}) {
            std::ofstream(frames + name) << "x";
        }
        f->dispatchAnswering(CommandId::SaveFractal, base + "start.fra");
        f->app.settings.autosaveParameter = 1;
        const std::string xmin = f->app.view.mandelbrot.xmin.text;
        f->prompts.answer("yes");
        f->prompts.answer(base + "zoom.avi");
        f->program.dispatchCommand(CommandId::MakeMovieToDisk);

        QCOMPARE(f->prompts.texts()[1], std::string(qv::kMovieQuestion));
        QCOMPARE(f->prompts.asked()[2].file.filter, std::string("Video Files (*.avi)|*.AVI|"));
        QCOMPARE(f->prompts.asked()[2].file.defaultExtension, std::string("AVI"));
        QCOMPARE(bytesOf(base + "args"), base + "zoom.avi\n" + frames + "\n");
        // The starting view and autosave come back; the windows are usable again.
        QCOMPARE(f->app.view.mandelbrot.xmin.text, xmin);
        QCOMPARE(f->app.settings.autosaveParameter, 1);
        QCOMPARE(f->app.shell.animationRunning, 0);
        QVERIFY(f->picture().isEnabled());
        QCOMPARE(f->menu().windowTitle(), QStringLiteral("QUORVALIS"));
        QCOMPARE(f->program.rendersStartedInPaint(), 0);

        // Old frames went, other files stayed; the headless renderer writes the same files.
        QProcess render;
        render.start(QStringLiteral(QV_RENDER_PROGRAM),
                     {QString::fromStdString(base + "start.fra"), "--size", "32x24", "--threads",
                      QString::number(f->app.settings.threads), "-q", "--movie-frames", "0..71",
                      "--out", QString::fromStdString(base + "headless")});
        QVERIFY(render.waitForFinished(60000));
        QCOMPARE(render.exitCode(), 0);
        std::vector<std::string> names = namesIn(base + "headless");
        QCOMPARE(names.size(), std::size_t{72});
        for (const std::string& name : names) {
            QVERIFY2(bytesOf(base + "headless/" + name) == bytesOf(frames + name), name.c_str());
        }
        names.push_back("notes.txt");
        QCOMPARE(namesIn(frames), names);
    }

    void aJobSavedInsteadRendersToTheFramesOfTheMovie()
    {
        auto f = programAt(32, 24);
        QVERIFY(f);
        QTemporaryDir folder;
        useFolder(*f, folder);
        const std::string base = folder.path().toStdString() + "/";
        const std::string crowded = base + "crowded";
        fs::create_directories(crowded + "/movie-job");
        for (const std::string& other : {crowded + "/notes.txt", crowded + "/movie-job/a.txt"}) {
            std::ofstream(other) << "x";
        }
        const std::string xmin = f->app.view.mandelbrot.xmin.text;
        // A folder with other files takes the job in its movie-job folder, unless that holds
        // other files too.
        for (const std::string& chosen : {crowded, base}) {
            f->prompts.answer("no");
            f->prompts.answer("yes");
            f->prompts.answer(chosen);
            f->program.dispatchCommand(CommandId::MakeMovieToDisk);
        }
        const std::string job = base + "movie-job";
        const std::vector<std::string> texts = f->prompts.texts();
        QCOMPARE(texts[1], std::string(qv::kMovieJobQuestion));
        QCOMPARE(texts[3], "The folder\n" + crowded +
                               "/movie-job\nholds other files. Choose an empty folder, or one "
                               "with a movie job.");
        QVERIFY2(texts.back().find("quorvalis-render --movie-frames 0..71 --job " + job) !=
                     std::string::npos,
                 texts.back().c_str());
        QCOMPARE(f->app.view.mandelbrot.xmin.text, xmin);
        QCOMPARE(f->app.shell.animationRunning, 0);
        QVERIFY(f->picture().isEnabled());

        // The movie itself, its video dialog cancelled; then the job in two slices.
        f->prompts.answer("yes");
        f->prompts.answer(std::string());
        f->program.dispatchCommand(CommandId::MakeMovieToDisk);
        for (const char* range : {"40..80", "0..39"}) {
            QProcess render;
            render.start(QStringLiteral(QV_RENDER_PROGRAM),
                         {"-q", "--movie-frames", range, "--job", QString::fromStdString(job)});
            QVERIFY(render.waitForFinished(60000));
            QCOMPARE(render.exitCode(), 0);
        }
        const std::string frames = f->program.movies().frameFolder();
        const std::vector<std::string> names = namesIn(frames);
        QCOMPARE(names.size(), std::size_t{72});
        for (const std::string& name : names) {
            QVERIFY2(bytesOf(job + "/frames/" + name) == bytesOf(frames + name), name.c_str());
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

    void endingsWithoutAVideo()
    {
        // The video dialog cancelled, and a converter that is not there.
        for (const bool cancelled : {true, false}) {
            auto f = programAt(32, 24);
            QVERIFY(f);
            QTemporaryDir folder;
            useFolder(*f, folder);
            const std::string base = folder.path().toStdString() + "/";
            if (!cancelled) {
                f->program.movies().setConverter(base + "none");
            }
            f->app.settings.unzoomFactor = 1.5f;
            const std::string xmin = f->app.view.mandelbrot.xmin.text;
            f->prompts.answer("yes");
            f->prompts.answer(cancelled ? std::string() : base + "zoom.avi");
            f->program.dispatchCommand(CommandId::MakeMovieToDisk);
            const std::string told = f->prompts.texts().back();
            QVERIFY2(told.starts_with(cancelled ? "Movie creation interrupted!"
                                                : "The video converter\n" + base + "none"),
                     told.c_str());
            QCOMPARE(namesIn(f->program.movies().frameFolder()).size(), std::size_t{5});
            QCOMPARE(f->app.view.mandelbrot.xmin.text, xmin);
            QVERIFY(waitForPicture(*f));
        }
    }

    void refusalsChangeNothing()
    {
        struct Case
        {
            CommandId id;
            std::function<void(ProgramFixture&)> setUp;
            std::string_view message;
        };

        const Case cases[] = {
            {CommandId::MakeMovieToDisk,
             [](ProgramFixture& f) { f.app.settings.pictureHeight = 1200; }, qv::kMovieTooLarge},
            {CommandId::RealtimeZoomMovie,
             [](ProgramFixture& f) {
                 qv::test::typeMandelbrotWindow(f, "-0.75", "-0.7499999999999999999", "0.1",
                                                "0.10000000000000000001");
             },
             "Not available with\ndeep zoom"},
        };
        for (const Case& c : cases) {
            auto f = qv::test::renderedProgram();
            QVERIFY(f);
            c.setUp(*f);
            const std::int32_t height = f->app.settings.pictureHeight;
            f->program.dispatchCommand(c.id);
            QCOMPARE(f->prompts.texts(), std::vector<std::string>{std::string(c.message)});
            QCOMPARE(f->app.settings.pictureHeight, height);
            QCOMPARE(f->app.shell.animationRunning, 0);
        }
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
        QCOMPARE(f->prompts.titles(), std::vector<std::string>{"Quorvalis"});
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
        QCOMPARE(f->picture().windowTitle(), QStringLiteral("QUORVALIS (Deeplimit:-3)"));
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
};

QTEST_MAIN(MoviesTest)
#include "tst_movies.moc"
