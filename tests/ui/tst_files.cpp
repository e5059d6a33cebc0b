// The file commands of the menu with scripted dialogs: Save and Load Fractal with and without
// image, Save Picture, the thumbnail after a render, autosave backups and the parameter file
// named on the command line.
#include "persistence/backup_copies.h"
#include "tests/ui/support/program_fixture.h"

#include <filesystem>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using qv::CommandId;
using qv::test::ProgramFixture;
using qv::test::waitForPicture;

namespace {

// A running program with its first picture (352 x 288), zoomed once so that the view is not
// the default one.
std::unique_ptr<ProgramFixture> zoomedProgram()
{
    auto f = qv::test::renderedProgram();
    if (!f) {
        return {};
    }
    QTest::mouseClick(&f->picture(), Qt::LeftButton, {}, QPoint(100, 100));
    if (!waitForPicture(*f)) {
        return {};
    }
    return f;
}

std::string pathIn(const QTemporaryDir& folder, const char* name)
{
    return (folder.path() + QLatin1Char('/') + QLatin1String(name)).toStdString();
}

bool exists(const std::string& path)
{
    return QFileInfo::exists(QString::fromStdString(path));
}

} // namespace

class FilesTest : public QObject
{
    Q_OBJECT

private slots:

    void init() { qv::test::failOnWarnings(); }

    void saveFractalWritesTheFileAndItsThumbnail()
    {
        auto f = zoomedProgram();
        QVERIFY(f);
        QTemporaryDir folder;
        const std::string path = pathIn(folder, "view.fra");
        f->dispatchAnswering(CommandId::SaveFractal, path);
        QCOMPARE(f->prompts.asked().size(), std::size_t{1});
        const auto& request = f->prompts.asked()[0].file;
        QCOMPARE(f->prompts.asked()[0].kind, std::string("save"));
        QCOMPARE(request.title, std::string("SAVE PARAMETERS"));
        QCOMPARE(request.filter, std::string("Fractal Files (*.fra)|*.FRA|"));
        QCOMPARE(request.defaultExtension, std::string("FRA"));
        QVERIFY(exists(path));
        QCOMPARE(QImage(QString::fromStdString(path + ".jpg")).size(), QSize(176, 144));
        QCOMPARE(f->menu().windowTitle(), QString::fromStdString("QUORVALIS - " + path));
        QCOMPARE(f->app.shell.currentFileName, path);

        // A cancelled dialog saves nothing and changes no name.
        f->dispatchAnswering(CommandId::SaveFractal, "");
        QCOMPARE(f->app.shell.currentFileName, path);
    }

    void saveInDeepZoomOffersTheDeepKinds()
    {
        auto f = zoomedProgram();
        QVERIFY(f);
        f->app.view.deepZoom = 1;
        f->dispatchAnswering(CommandId::SaveFractal, "");
        f->dispatchAnswering(CommandId::SaveFractalWithImage, "");
        QCOMPARE(f->prompts.asked()[0].file.filter, std::string("Fractal Files (*.fdz)|*.FDZ|"));
        QCOMPARE(f->prompts.asked()[1].file.title, std::string("SAVE PARAMETERS & IMAGE"));
        QCOMPARE(f->prompts.asked()[1].file.filter, std::string("Fractal Files (*.fpz)|*.FPZ|"));
    }

    void loadFractalRestoresTheViewAndRenders()
    {
        auto f = zoomedProgram();
        QVERIFY(f);
        QTemporaryDir folder;
        const std::string path = pathIn(folder, "view.fra");
        f->dispatchAnswering(CommandId::SaveFractal, path);
        const std::string xmin = f->app.view.mandelbrot.xmin.text;
        const std::string ymax = f->app.view.mandelbrot.ymax.text;
        std::filesystem::remove(path + ".jpg");

        // Back to the default view, then load.
        f->dispatchAnswering(CommandId::OriginalMandelbrot, "ok");
        QVERIFY(waitForPicture(*f));
        QVERIFY(f->app.view.mandelbrot.xmin.text != xmin);
        const int renders = f->program.rendersStarted();
        f->dispatchAnswering(CommandId::LoadFractal, path);
        QCOMPARE(f->prompts.asked().back().file.title, std::string("LOAD PARAMETERS"));
        QCOMPARE(f->prompts.asked().back().file.filter,
                 std::string("Fractal Files (*.fdz;*.fra)|*.FDZ;*.FRA|"));
        // The render followed at once.
        QCOMPARE(f->program.rendersStarted(), renders + 1);
        QCOMPARE(f->app.shell.pictureValid, 1);
        QCOMPARE(f->app.view.mandelbrot.xmin.text, xmin);
        QCOMPARE(f->app.view.mandelbrot.ymax.text, ymax);
        QCOMPARE(f->app.shell.currentFileName, path);
        QCOMPARE(f->menu().windowTitle(), QString::fromStdString("QUORVALIS - " + path));
        // The render wrote the missing thumbnail of the current file.
        QCOMPARE(QImage(QString::fromStdString(path + ".jpg")).size(), QSize(176, 144));

        // A cancelled load clears the current file; the valid picture stays.
        f->dispatchAnswering(CommandId::LoadFractal, "");
        QCOMPARE(f->app.shell.currentFileName, std::string());
        QCOMPARE(f->program.rendersStarted(), renders + 1);
    }

    void loadFractalWithImageShowsTheStoredPictureWithoutRendering()
    {
        auto f = zoomedProgram();
        QVERIFY(f);
        QTemporaryDir folder;
        const std::string path = pathIn(folder, "view.fpi");
        f->dispatchAnswering(CommandId::SaveFractalWithImage, path);
        QCOMPARE(f->prompts.asked()[0].file.filter, std::string("Fractal Files (*.fpi)|*.FPI|"));
        QVERIFY(exists(path));
        QCOMPARE(f->menu().windowTitle(), QString::fromStdString("QUORVALIS - " + path));
        const std::vector<std::uint32_t> saved = f->app.picture.pixels;

        f->dispatchAnswering(CommandId::OriginalMandelbrot, "ok");
        QVERIFY(waitForPicture(*f));
        QVERIFY(f->app.picture.pixels != saved);
        const int renders = f->program.rendersStarted();
        f->dispatchAnswering(CommandId::LoadFractalWithImage, path);
        QCOMPARE(f->prompts.asked().back().file.title, std::string("LOAD PARAMETER & IMAGE"));
        QCOMPARE(f->app.shell.pictureFromImage, 1);
        QCOMPARE(f->app.shell.pictureValid, 1);
        QVERIFY(f->app.picture.pixels == saved);
        QTest::qWait(50);
        QCOMPARE(f->program.rendersStarted(), renders);
        const QImage shown = f->picture().grab().toImage();
        QCOMPARE(shown.pixel(200, 40) & 0xffffffu, saved[40 * 352 + 200] & 0xffffffu);
    }

    void savePictureAsksWithTheMenuWindowDisabled()
    {
        auto f = zoomedProgram();
        QVERIFY(f);
        QTemporaryDir folder;
        const std::string path = pathIn(folder, "picture.png");
        bool menuDisabled = false;
        f->prompts.onAsk = [&](const qv::test::ScriptedPrompts::Asked&) {
            menuDisabled = !f->menu().isEnabled();
        };
        f->app.settings.pictureFormatIndex = 3;
        f->app.settings.pictureFormatCode = "PNG";
        f->dispatchAnswering(CommandId::SavePicture, path);
        QVERIFY(menuDisabled);
        QVERIFY(f->menu().isEnabled());
        const auto& request = f->prompts.asked()[0].file;
        QCOMPARE(request.filter, std::string("Picture Files (*.png)|*.PNG|"));
        QCOMPARE(request.defaultExtension, std::string("PNG"));
        const QImage written(QString::fromStdString(path));
        QCOMPARE(written.size(), QSize(352, 288));

        f->dispatchAnswering(CommandId::SavePicture, "");
        QVERIFY(f->menu().isEnabled());
    }

    void autosaveMakesABackupOfEachNewView()
    {
        auto f = zoomedProgram();
        QVERIFY(f);
        const QDir backups(QString::fromStdString(qv::programFolder() + "backup/"));
        const auto listed = [&] {
            return backups.entryList({QStringLiteral("*.fra")}, QDir::Files);
        };
        const QStringList before = listed();
        f->app.settings.autosaveParameter = 1;
        QTest::mouseClick(&f->picture(), Qt::LeftButton, {}, QPoint(50, 50));
        QVERIFY(waitForPicture(*f));
        QStringList added;
        for (const QString& name : listed()) {
            if (!before.contains(name)) {
                added.append(name);
            }
        }
        QCOMPARE(added.size(), 1);
        QCOMPARE(added[0].size(), 18); // fourteen digits and ".fra"
        for (const QString& name : added) {
            QFile::remove(backups.filePath(name));
            QFile::remove(backups.filePath(name + QStringLiteral(".jpg")));
        }
    }

    void parameterFileOnTheCommandLineIsTheFirstView()
    {
        QTemporaryDir folder;
        const std::string path = pathIn(folder, "start view.fra");
        std::string xmin;
        {
            auto f = zoomedProgram();
            QVERIFY(f);
            f->dispatchAnswering(CommandId::SaveFractal, path);
            xmin = f->app.view.mandelbrot.xmin.text;
        }
        ProgramFixture f({800, 600, 32}, 2, QStringLiteral("quorvalis.lock"), "\"" + path + "\"");
        QVERIFY(f.started);
        QCOMPARE(f.parameterFile, path);
        QVERIFY(f.program.loadStartupFile(f.parameterFile));
        QVERIFY(f.showWindows());
        QVERIFY(waitForPicture(f));
        QCOMPARE(f.app.view.mandelbrot.xmin.text, xmin);
        QCOMPARE(f.app.shell.currentFileName, path);
    }
};

QTEST_MAIN(FilesTest)
#include "tst_files.moc"
