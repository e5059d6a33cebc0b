// The fractal browser with scripted dialogs: the folder dialog and its messages, the window and
// its controls, what selecting each kind of file does, MAKE THUMBNAIL, REDRAW, damaged files,
// and actions that wait for a running render.
#include "persistence/parameter_browsing.h"
#include "persistence/parameter_files.h"
#include "tests/ui/support/program_fixture.h"
#include "ui/fractal_browser.h"

#include <filesystem>

#include <QFile>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using qv::CommandId;
using qv::FractalBrowser;
using qv::test::ProgramFixture;
using qv::test::waitForPicture;

namespace {

std::string pathIn(const QTemporaryDir& folder, const std::string& name)
{
    return folder.path().toStdString() + "/" + name;
}

bool exists(const std::string& path)
{
    return std::filesystem::exists(path);
}

/// Saves the program's view as `name` in the folder, without the thumbnail the saver makes.
void saveView(ProgramFixture& f, const QTemporaryDir& folder, const std::string& name)
{
    const std::string path = pathIn(folder, name);
    const auto kind = qv::browsedKindOf(path);
    auto& pictures = f.program.pictures();
    const bool saved = kind == qv::BrowsedKind::Deep ? qv::saveDeepFile(f.app, pictures, path)
                       : kind == qv::BrowsedKind::StandardWithImage
                           ? qv::saveStandardFileWithImage(f.app, f.program, pictures, path)
                       : kind == qv::BrowsedKind::DeepWithImage
                           ? qv::saveDeepFileWithImage(f.app, pictures, path)
                           : qv::saveStandardFile(f.app, pictures, path);
    QVERIFY(saved);
    std::filesystem::remove(path + ".jpg");
}

void writeFile(const std::string& path, const QByteArray& bytes)
{
    QFile file(QString::fromStdString(path));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

FractalBrowser* openBrowser(ProgramFixture& f, const QTemporaryDir& folder)
{
    f.dispatchAnswering(CommandId::BrowseFractals, folder.path().toStdString());
    const auto open = f.menu().findChildren<FractalBrowser*>();
    for (FractalBrowser* b : open) {
        if (b->isVisible()) {
            return b;
        }
    }
    return nullptr;
}

/// Selects the file of that name and waits until the browser's step and its render are over.
bool select(ProgramFixture& f, FractalBrowser& browser, const std::string& name)
{
    const auto found = browser.list().findItems(QString::fromStdString(name), Qt::MatchExactly);
    if (found.size() != 1) {
        return false;
    }
    browser.list().setCurrentItem(found.front());
    return QTest::qWaitFor(
        [&] { return f.app.shell.rendering == 0 && f.program.pendingActions() == 0; });
}

QString text(const std::string& s)
{
    return QString::fromStdString(s);
}

} // namespace

class BrowserTest : public QObject
{
    Q_OBJECT

private slots:

    void init() { qv::test::failOnWarnings(); }

    void theCommandAsksForAFolderAndOpensTheBrowser()
    {
        auto f = qv::test::renderedProgram();
        QVERIFY(f);
        QVERIFY(f->menu().action(CommandId::BrowseFractals)->isEnabled());

        // Cancelled: nothing opens.
        f->dispatchAnswering(CommandId::BrowseFractals, "");
        QCOMPARE(f->prompts.asked().size(), std::size_t{1});
        QCOMPARE(f->prompts.asked()[0].kind, std::string("folder"));
        QCOMPARE(f->prompts.asked()[0].text, std::string("SELECT PARAMETER FOLDER"));
        QVERIFY(f->prompts.asked()[0].file.initialFolder.ends_with("/gallery"));
        QVERIFY(f->menu().findChildren<FractalBrowser*>().isEmpty());

        // A folder without parameter files says so.
        QTemporaryDir empty;
        writeFile(pathIn(empty, "notes.txt"), "x");
        f->dispatchAnswering(CommandId::BrowseFractals, empty.path().toStdString());
        QCOMPARE(f->prompts.texts().back(), std::string("No parameterfiles found in this folder!"));
        QVERIFY(f->menu().findChildren<FractalBrowser*>().isEmpty());

        QTemporaryDir folder;
        saveView(*f, folder, "b.fdz");
        saveView(*f, folder, "A.fra");
        writeFile(pathIn(folder, "x.fxx"), "x");
        FractalBrowser* browser = openBrowser(*f, folder);
        QVERIFY(browser);
        QCOMPARE(browser->windowTitle(), QString("BROWSE FRACTAL PARAMETER FILES"));
        QCOMPARE(browser->files(),
                 (std::vector<std::string>{pathIn(folder, "A.fra"), pathIn(folder, "b.fdz"),
                                           pathIn(folder, "x.fxx")}));
        QCOMPARE(browser->list().count(), 3);
        QCOMPARE(browser->list().item(0)->text(), QString("A.fra"));
        QCOMPARE(browser->information().text(), QString("FRACTAL: \n\nPrecision:"));
        QVERIFY(browser->width() >= 540 && browser->height() >= 480);
        QCOMPARE(browser->thumbnail().geometry(), QRect(10, 40, 176, 144));
        QCOMPARE(browser->list().geometry(), QRect(10, 210, 380, 200));
        // Controls grow rather than clip their text.
        for (QPushButton* b : {&browser->redrawButton(), &browser->makeThumbnailButton()}) {
            QVERIFY(b->width() >= b->sizeHint().width());
            QVERIFY(browser->rect().contains(b->geometry()));
        }
        QVERIFY(browser->information().width() >= 200);

        // A second command replaces the open browser.
        FractalBrowser* second = openBrowser(*f, folder);
        QVERIFY(second && second != browser);
        QTRY_COMPARE(f->menu().findChildren<FractalBrowser*>().size(), 1);
    }

    void filesWithoutThumbnailsAreRenderedOrWaitForMakeThumbnail()
    {
        auto f = qv::test::renderedProgram();
        QVERIFY(f);
        QTemporaryDir folder;
        saveView(*f, folder, "a.fra");
        saveView(*f, folder, "b.fdz");
        FractalBrowser* browser = openBrowser(*f, folder);
        QVERIFY(browser);
        const int renders = f->program.rendersStarted();

        // a.fra: rendered at thumbnail size at the thumbnail place, its thumbnail written.
        QVERIFY(select(*f, *browser, "a.fra"));
        QCOMPARE(f->program.rendersStarted(), renders + 1);
        QCOMPARE(f->app.settings.pictureWidth, 176);
        QCOMPARE(f->app.settings.pictureHeight, 144);
        QTRY_COMPARE(f->picture().pos(), QPoint(660, 100));
        QCOMPARE(QImage(text(pathIn(folder, "a.fra.jpg"))).size(), QSize(176, 144));
        QCOMPARE(browser->thumbnail().image().size(), QSize(176, 144));
        QVERIFY(!browser->makeThumbnailButton().isEnabled());
        QCOMPARE(browser->information().text(),
                 QString("FRACTAL TYPE: Mandelbrot\n\nPrecision: 80 bits"));
        QCOMPARE(browser->windowTitle(), text(pathIn(folder, "a.fra")));
        QCOMPARE(f->app.shell.currentFileName, pathIn(folder, "a.fra"));
        QCOMPARE(f->menu().windowTitle(), text("QUORVALIS - " + pathIn(folder, "a.fra")));

        // b.fdz: only its header is read; MAKE THUMBNAIL renders it.
        QVERIFY(select(*f, *browser, "b.fdz"));
        QCOMPARE(f->program.rendersStarted(), renders + 1);
        QVERIFY(browser->makeThumbnailButton().isEnabled());
        QVERIFY(browser->thumbnail().image().isNull());
        QVERIFY(!exists(pathIn(folder, "b.fdz.jpg")));
        QCOMPARE(f->app.shell.currentFileName, pathIn(folder, "a.fra"));
        QTest::mouseClick(&browser->makeThumbnailButton(), Qt::LeftButton);
        QTRY_VERIFY(exists(pathIn(folder, "b.fdz.jpg")));
        QCOMPARE(f->program.rendersStarted(), renders + 2);
        QCOMPARE(QImage(text(pathIn(folder, "b.fdz.jpg"))).size(), QSize(176, 144));
        QCOMPARE(f->app.shell.currentFileName, pathIn(folder, "b.fdz"));
        QVERIFY(f->prompts.asked().size() == 1); // the folder dialog only
    }

    void aPresentThumbnailIsShownWithoutRendering()
    {
        auto f = qv::test::renderedProgram();
        QVERIFY(f);
        QTemporaryDir folder;
        saveView(*f, folder, "a.fra");
        QVERIFY(qv::test::typeMandelbrotWindow(*f, "-2e-20", "2e-20", "0.99999999999999999998",
                                               "1.00000000000000000002"));
        QVERIFY(f->app.view.deepZoom == 1);
        saveView(*f, folder, "deep.fdz");
        const std::int32_t bits = f->app.view.precisionBits;
        for (const char* name : {"a.fra.jpg", "deep.fdz.jpg"}) {
            QImage big(640, 480, QImage::Format_RGB32);
            big.fill(Qt::blue);
            QVERIFY(big.save(text(pathIn(folder, name))));
        }
        FractalBrowser* browser = openBrowser(*f, folder);
        QVERIFY(browser);
        const int renders = f->program.rendersStarted();

        const struct
        {
            const char* name;
            QString information;
        } files[] = {
            {"deep.fdz", QString("FRACTAL TYPE: Mandelbrot\n\nPrecision: %1 bits").arg(bits)},
            {"a.fra", QString("FRACTAL TYPE: Mandelbrot\n\nPrecision: 80 bits")},
        };

        for (const auto& file : files) {
            browser->makeThumbnailButton().setEnabled(true);
            QVERIFY(select(*f, *browser, file.name));
            QVERIFY(!browser->makeThumbnailButton().isEnabled());
            QCOMPARE(browser->information().text(), file.information);
            // Larger thumbnails are scaled to the box.
            QCOMPARE(browser->thumbnail().image().size(), QSize(176, 144));
            QCOMPARE(browser->windowTitle(), text(pathIn(folder, file.name)));
        }
        QCOMPARE(f->program.rendersStarted(), renders);
        QCOMPARE(f->app.settings.pictureWidth, 352);
    }

    void aSmallThumbnailIsDrawnUnscaledOnWhite()
    {
        auto f = qv::test::renderedProgram();
        QVERIFY(f);
        QTemporaryDir folder;
        saveView(*f, folder, "a.fra");
        QImage small(50, 40, QImage::Format_RGB32);
        small.fill(Qt::red);
        QVERIFY(small.save(text(pathIn(folder, "a.fra.jpg"))));
        FractalBrowser* browser = openBrowser(*f, folder);
        QVERIFY(browser);
        QVERIFY(select(*f, *browser, "a.fra"));
        QCOMPARE(browser->thumbnail().image().size(), QSize(50, 40));
        const QImage shown = browser->thumbnail().grab().toImage();
        QCOMPARE(shown.size(), QSize(176, 144));
        QVERIFY(qRed(shown.pixel(25, 20)) > 200 && qGreen(shown.pixel(25, 20)) < 60);
        QCOMPARE(shown.pixel(60, 20), QColor(Qt::white).rgb());
        QCOMPARE(shown.pixel(25, 50), QColor(Qt::white).rgb());
    }

    void redrawRestoresTheSizeInForceBeforeTheThumbnailRenders_data()
    {
        QTest::addColumn<int>("screenWidth");
        QTest::addColumn<QSize>("size");
        QTest::newRow("640 x 480") << 1280 << QSize(640, 480);
        QTest::newRow("352 x 288") << 800 << QSize(352, 288);
    }

    void redrawRestoresTheSizeInForceBeforeTheThumbnailRenders()
    {
        QFETCH(int, screenWidth);
        QFETCH(QSize, size);
        ProgramFixture f({screenWidth, 1024, 32}, 2);
        QVERIFY(f.showWindows());
        QVERIFY(waitForPicture(f));
        QCOMPARE(QSize(f.app.settings.pictureWidth, f.app.settings.pictureHeight), size);
        const QPoint home = f.picture().pos();
        QTemporaryDir folder;
        saveView(f, folder, "a.fra");
        saveView(f, folder, "b.fra");
        FractalBrowser* browser = openBrowser(f, folder);
        QVERIFY(browser);
        QVERIFY(select(f, *browser, "a.fra"));
        QVERIFY(select(f, *browser, "b.fra"));
        QCOMPARE(f.app.settings.pictureWidth, 176);
        const int renders = f.program.rendersStarted();

        QTest::mouseClick(&browser->redrawButton(), Qt::LeftButton);
        QVERIFY(waitForPicture(f));
        QCOMPARE(QSize(f.app.settings.pictureWidth, f.app.settings.pictureHeight), size);
        QCOMPARE(QSize(f.app.picture.width, f.app.picture.height), size);
        QCOMPARE(f.program.rendersStarted(), renders + 1);
        QTRY_COMPARE(f.picture().pos(), home);
        QCOMPARE(f.app.shell.currentFileName, pathIn(folder, "b.fra"));
        // The saved size is forgotten: a second REDRAW keeps the size.
        QTest::mouseClick(&browser->redrawButton(), Qt::LeftButton);
        QVERIFY(waitForPicture(f));
        QCOMPARE(QSize(f.app.settings.pictureWidth, f.app.settings.pictureHeight), size);
    }

    void anyOtherNameIsOnlySelected()
    {
        auto f = qv::test::renderedProgram();
        QVERIFY(f);
        QTemporaryDir folder;
        saveView(*f, folder, "x.fxx");
        QImage thumbnail(176, 144, QImage::Format_RGB32);
        thumbnail.fill(Qt::green);
        QVERIFY(thumbnail.save(text(pathIn(folder, "x.fxx.jpg")), "JPG"));
        FractalBrowser* browser = openBrowser(*f, folder);
        QVERIFY(browser);
        const int renders = f->program.rendersStarted();
        const std::string fileBefore = f->app.shell.currentFileName;
        QVERIFY(select(*f, *browser, "x.fxx"));
        QCOMPARE(browser->currentFile(), pathIn(folder, "x.fxx"));
        QCOMPARE(browser->windowTitle(), text(pathIn(folder, "x.fxx")));
        QCOMPARE(browser->thumbnail().image().size(), QSize(176, 144));
        QCOMPARE(browser->information().text(), QString("FRACTAL: \n\nPrecision:"));
        QCOMPARE(f->program.rendersStarted(), renders);
        QCOMPARE(f->app.shell.currentFileName, fileBefore);
        QCOMPARE(f->app.settings.pictureWidth, 352);
        QCOMPARE(f->prompts.asked().size(), std::size_t{1});
    }

    void damagedFilesChangeNothingAndTheBrowserGoesOn()
    {
        auto f = qv::test::renderedProgram();
        QVERIFY(f);
        const QPoint home = f->picture().pos();
        QTemporaryDir folder;
        writeFile(pathIn(folder, "bad.fra"), QByteArray(140, '\7'));
        writeFile(pathIn(folder, "bad.fdz"), QByteArray(3, '\67'));
        writeFile(pathIn(folder, "bad.fpi"), QByteArray(300, '\62'));
        saveView(*f, folder, "good.fdz");
        FractalBrowser* browser = openBrowser(*f, folder);
        QVERIFY(browser);
        const int renders = f->program.rendersStarted();
        f->app.settings.colourFlags = 3;
        f->app.paletteState.paletteOffset = 9;

        // Only a header is read: the initial text again, no message.
        QVERIFY(select(*f, *browser, "good.fdz"));
        QVERIFY(browser->information().text().startsWith("FRACTAL TYPE:"));
        QVERIFY(select(*f, *browser, "bad.fdz"));
        QCOMPARE(browser->information().text(), QString("FRACTAL: \n\nPrecision:"));
        QCOMPARE(f->prompts.asked().size(), std::size_t{1});

        // A loader runs: its message, and nothing else.
        for (const char* name : {"bad.fra", "bad.fpi"}) {
            const std::size_t asked = f->prompts.asked().size();
            QVERIFY(select(*f, *browser, name));
            QCOMPARE(f->prompts.asked().size(), asked + 1);
            QCOMPARE(f->prompts.asked().back().kind, std::string("message"));
            QVERIFY(!exists(pathIn(folder, std::string(name) + ".jpg")));
        }
        QCOMPARE(f->program.rendersStarted(), renders);
        QCOMPARE(f->app.settings.pictureWidth, 352);
        QCOMPARE(f->app.settings.colourFlags, 3u);
        QCOMPARE(f->app.paletteState.paletteOffset, 9);
        QCOMPARE(f->app.shell.pictureFromImage, 0);
        QCOMPARE(f->picture().pos(), home);

        // MAKE THUMBNAIL on a refused file writes nothing either.
        QVERIFY(browser->makeThumbnailButton().isEnabled());
        QTest::mouseClick(&browser->makeThumbnailButton(), Qt::LeftButton);
        QVERIFY(!exists(pathIn(folder, "bad.fpi.jpg")));
        QCOMPARE(f->app.settings.pictureWidth, 352);
    }

    void filesWithTheirPictureAreShownFromIt()
    {
        auto f = qv::test::renderedProgram();
        QVERIFY(f);
        const QPoint home = f->picture().pos();
        QTemporaryDir folder;
        saveView(*f, folder, "a.fra");
        saveView(*f, folder, "p.fpi");
        FractalBrowser* browser = openBrowser(*f, folder);
        QVERIFY(browser);
        QVERIFY(select(*f, *browser, "a.fra"));
        QCOMPARE(f->app.settings.pictureWidth, 176);
        const int renders = f->program.rendersStarted();

        QVERIFY(select(*f, *browser, "p.fpi"));
        QCOMPARE(f->program.rendersStarted(), renders);
        QCOMPARE(f->app.shell.pictureFromImage, 1);
        QCOMPARE(f->app.settings.pictureWidth, 352);
        QTRY_COMPARE(f->picture().pos(), home);
        QVERIFY(browser->makeThumbnailButton().isEnabled());
        QCOMPARE(browser->information().text(),
                 QString("FRACTAL TYPE: Mandelbrot\n\nPrecision: 80 bits"));
        QCOMPARE(f->menu().windowTitle(), text("QUORVALIS - " + pathIn(folder, "p.fpi")));

        // The file's own picture becomes the thumbnail: no size change, no render.
        QTest::mouseClick(&browser->makeThumbnailButton(), Qt::LeftButton);
        QTRY_VERIFY(exists(pathIn(folder, "p.fpi.jpg")));
        QCOMPARE(f->program.rendersStarted(), renders);
        QCOMPARE(f->app.settings.pictureWidth, 352);
        QVERIFY(!browser->makeThumbnailButton().isEnabled());

        // Loading it ended the thumbnail size: REDRAW keeps the file's size.
        QTest::mouseClick(&browser->redrawButton(), Qt::LeftButton);
        QCOMPARE(f->app.settings.pictureWidth, 352);
        QCOMPARE(f->program.rendersStarted(), renders);
    }

    void actionsDuringARenderWaitAndOnlyTheLatestSelectionRuns()
    {
        auto f = qv::test::renderedProgram();
        QVERIFY(f);
        QTemporaryDir folder;
        saveView(*f, folder, "a.fra");
        saveView(*f, folder, "b.fdz");
        saveView(*f, folder, "c.fdz");
        FractalBrowser* browser = openBrowser(*f, folder);
        QVERIFY(browser);
        f->app.shell.rendering = 1;
        browser->list().setCurrentRow(0);
        browser->list().setCurrentRow(1);
        browser->list().setCurrentRow(2);
        QCOMPARE(f->program.pendingActions(), std::size_t{1});
        QVERIFY(browser->currentFile().empty());
        f->app.shell.rendering = 0;
        f->program.runPendingCommands();
        QCOMPARE(browser->currentFile(), pathIn(folder, "c.fdz"));
        QVERIFY(!exists(pathIn(folder, "a.fra.jpg")));
    }

    void aThumbnailRenderStoppedByEscWritesNoThumbnail()
    {
        auto f = qv::test::renderedProgram();
        QVERIFY(f);
        // A view that takes long: the whole set at a high iteration limit.
        f->app.view.iterMax = 2000000;
        QTemporaryDir folder;
        saveView(*f, folder, "slow.fra");
        FractalBrowser* browser = openBrowser(*f, folder);
        QVERIFY(browser);
        QTimer::singleShot(0, this,
                           [&] { QTest::keyClick(f->picture().windowHandle(), Qt::Key_Escape); });
        QVERIFY(select(*f, *browser, "slow.fra"));
        QCOMPARE(f->app.render.stoppedByUser, 1);
        QVERIFY(!exists(pathIn(folder, "slow.fra.jpg")));
        QVERIFY(browser->thumbnail().image().isNull());
    }
};

QTEST_MAIN(BrowserTest)
#include "tst_browser.moc"
