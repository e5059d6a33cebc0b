// The fractal browser with scripted dialogs: the folder dialog and its messages, the window, what
// selecting each kind of file does, MAKE THUMBNAIL, REDRAW, damaged files, Esc, and actions that
// wait for a running render.
#include "persistence/parameter_browsing.h"
#include "persistence/parameter_files.h"
#include "tests/ui/support/program_fixture.h"
#include "ui/fractal_browser.h"

#include <filesystem>
#include <tuple>

#include <QFile>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using qv::BrowsedKind;
using qv::CommandId;
using qv::FractalBrowser;
using qv::test::ProgramFixture;

namespace {

const QString kMandelbrot80("FRACTAL TYPE: Mandelbrot\n\nPrecision: 80 bits");

/// A running program, a folder of parameter files and the browser opened on it.
struct Browsing
{
    explicit Browsing(std::unique_ptr<ProgramFixture> fixture = qv::test::renderedProgram())
        : f(std::move(fixture))
    {
    }

    std::string path(const std::string& name) const
    {
        return folder.path().toStdString() + "/" + name;
    }

    bool exists(const std::string& name) const { return std::filesystem::exists(path(name)); }

    /// The program's view saved as `name`, without the thumbnail the saver writes.
    bool save(const std::string& name)
    {
        const std::string p = path(name);
        auto& pictures = f->program.pictures();
        const BrowsedKind kind = qv::browsedKindOf(p);
        const bool saved = kind == BrowsedKind::Deep ? qv::saveDeepFile(f->app, pictures, p)
                           : kind == BrowsedKind::StandardWithImage
                               ? qv::saveStandardFileWithImage(f->app, f->program, pictures, p)
                               : qv::saveStandardFile(f->app, pictures, p);
        return saved && std::filesystem::remove(p + ".jpg");
    }

    bool write(const std::string& name, const QByteArray& bytes)
    {
        QFile file(QString::fromStdString(path(name)));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }

    bool writeImage(const std::string& name, QSize size, Qt::GlobalColor colour)
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        return image.save(QString::fromStdString(path(name)), "JPG");
    }

    bool open()
    {
        f->dispatchAnswering(CommandId::BrowseFractals, folder.path().toStdString());
        browser = nullptr;
        for (FractalBrowser* b : f->menu().findChildren<FractalBrowser*>()) {
            browser = b->isVisible() ? b : browser;
        }
        return browser != nullptr;
    }

    /// Selects the file and waits until the step and its render are over.
    bool select(const std::string& name)
    {
        const auto found =
            browser->list().findItems(QString::fromStdString(name), Qt::MatchExactly);
        if (found.size() != 1) {
            return false;
        }
        browser->list().setCurrentItem(found.front());
        return idle();
    }

    bool press(QPushButton& button)
    {
        QTest::mouseClick(&button, Qt::LeftButton);
        return idle();
    }

    bool idle()
    {
        return QTest::qWaitFor(
            [&] { return f->app.shell.rendering == 0 && f->program.pendingActions() == 0; });
    }

    QSize size() const { return {f->app.settings.pictureWidth, f->app.settings.pictureHeight}; }

    std::unique_ptr<ProgramFixture> f;
    QTemporaryDir folder;
    FractalBrowser* browser = nullptr;
};

} // namespace

class BrowserTest : public QObject
{
    Q_OBJECT

private slots:

    void init() { qv::test::failOnWarnings(); }

    void theCommandAsksForAFolderAndOpensTheBrowser()
    {
        Browsing b;
        QVERIFY(b.f && b.f->menu().action(CommandId::BrowseFractals)->isEnabled());
        b.f->dispatchAnswering(CommandId::BrowseFractals, "");
        const auto& asked = b.f->prompts.asked();
        QCOMPARE(asked.size(), std::size_t{1});
        QCOMPARE(asked[0].kind + asked[0].text, std::string("folderSELECT PARAMETER FOLDER"));
        QVERIFY(asked[0].file.initialFolder.ends_with("/gallery"));
        QVERIFY(b.write("notes.txt", "x"));
        QVERIFY(!b.open());
        QCOMPARE(b.f->prompts.texts().back(),
                 std::string("No parameterfiles found in this folder!"));

        QVERIFY(b.save("b.fdz") && b.save("A.fra") && b.write("x.fxx", "x"));
        QVERIFY(b.open());
        FractalBrowser& w = *b.browser;
        QCOMPARE(w.windowTitle(), QString("BROWSE FRACTAL PARAMETER FILES"));
        QCOMPARE(w.files(),
                 (std::vector<std::string>{b.path("A.fra"), b.path("b.fdz"), b.path("x.fxx")}));
        QCOMPARE(w.list().item(0)->text(), QString("A.fra"));
        QCOMPARE(w.information().text(), QString("FRACTAL: \n\nPrecision:"));
        QVERIFY(w.width() >= 540 && w.height() >= 480);
        QCOMPARE(w.thumbnail().geometry(), QRect(10, 40, 176, 144));
        QCOMPARE(w.list().geometry(), QRect(10, 210, 380, 200));
        for (QPushButton* button : {&w.redrawButton(), &w.makeThumbnailButton()}) {
            QVERIFY(button->width() >= button->sizeHint().width()); // grown, not clipped
            QVERIFY(w.rect().contains(button->geometry()));
        }
        // A second command replaces the open browser; opening selects nothing.
        const int renders = b.f->program.rendersStarted();
        QVERIFY(b.open() && b.browser != &w);
        QTRY_COMPARE(b.f->menu().findChildren<FractalBrowser*>().size(), 1);

        // Any other name is only selected: its thumbnail and the title, nothing read.
        QVERIFY(b.writeImage("x.fxx.jpg", {176, 144}, Qt::green));
        const std::string fileBefore = b.f->app.shell.currentFileName;
        QVERIFY(b.select("x.fxx"));
        QCOMPARE(b.browser->currentFile(), b.path("x.fxx"));
        QCOMPARE(b.browser->windowTitle(), QString::fromStdString(b.path("x.fxx")));
        QCOMPARE(b.browser->thumbnail().image().size(), QSize(176, 144));
        QCOMPARE(b.browser->information().text(), QString("FRACTAL: \n\nPrecision:"));
        QCOMPARE(b.f->program.rendersStarted(), renders);
        QCOMPARE(b.f->app.shell.currentFileName, fileBefore);
        QCOMPARE(b.f->prompts.asked().size(), std::size_t{5});
    }

    void filesWithoutThumbnailsAreRenderedOrWaitAndPicturesAreShownFromTheFile()
    {
        Browsing b;
        QVERIFY(b.f && b.save("a.fra") && b.save("b.fdz") && b.save("p.fpi") && b.open());
        const QPoint home = b.f->picture().pos();
        const int renders = b.f->program.rendersStarted();
        QVERIFY(b.select("a.fra"));
        QCOMPARE(b.f->program.rendersStarted(), renders + 1);
        QCOMPARE(b.size(), QSize(176, 144));
        QTRY_COMPARE(b.f->picture().pos(), QPoint(660, 100));
        QCOMPARE(QImage(QString::fromStdString(b.path("a.fra.jpg"))).size(), QSize(176, 144));
        QCOMPARE(b.browser->thumbnail().image().size(), QSize(176, 144));
        QVERIFY(!b.browser->makeThumbnailButton().isEnabled());
        QCOMPARE(b.browser->information().text(), kMandelbrot80);
        QCOMPARE(b.browser->windowTitle(), QString::fromStdString(b.path("a.fra")));
        QCOMPARE(b.f->menu().windowTitle(),
                 QString::fromStdString("QUORVALIS - " + b.path("a.fra")));

        QVERIFY(b.select("b.fdz"));
        QCOMPARE(b.f->program.rendersStarted(), renders + 1);
        QVERIFY(b.browser->makeThumbnailButton().isEnabled());
        QVERIFY(b.browser->thumbnail().image().isNull() && !b.exists("b.fdz.jpg"));
        QCOMPARE(b.f->app.shell.currentFileName, b.path("a.fra"));
        QVERIFY(b.press(b.browser->makeThumbnailButton()));
        QCOMPARE(b.f->program.rendersStarted(), renders + 2);
        QVERIFY(b.exists("b.fdz.jpg"));
        QCOMPARE(b.f->app.shell.currentFileName, b.path("b.fdz"));
        QCOMPARE(b.f->prompts.asked().size(), std::size_t{1});

        // A file with its picture is shown from it, at its own size and place.
        QVERIFY(b.select("p.fpi"));
        QCOMPARE(b.f->app.shell.pictureFromImage, 1);
        QCOMPARE(b.size(), QSize(352, 288));
        QTRY_COMPARE(b.f->picture().pos(), home);
        QVERIFY(b.browser->makeThumbnailButton().isEnabled());
        QCOMPARE(b.browser->information().text(), kMandelbrot80);
        QCOMPARE(b.f->menu().windowTitle(),
                 QString::fromStdString("QUORVALIS - " + b.path("p.fpi")));
        // The file's own picture becomes the thumbnail: no size change, no render.
        QVERIFY(b.press(b.browser->makeThumbnailButton()));
        QVERIFY(b.exists("p.fpi.jpg") && !b.browser->makeThumbnailButton().isEnabled());
        // Loading it ended the thumbnail size: REDRAW keeps the file's size.
        QVERIFY(b.press(b.browser->redrawButton()));
        QCOMPARE(b.size(), QSize(352, 288));
        QCOMPARE(b.f->program.rendersStarted(), renders + 2);
    }

    void presentThumbnailsAreShownWithoutRendering()
    {
        Browsing b;
        QVERIFY(b.f && b.save("a.fra") && b.save("small.fra"));
        QVERIFY(qv::test::typeMandelbrotWindow(*b.f, "-2e-20", "2e-20", "0.99999999999999999998",
                                               "1.00000000000000000002"));
        QVERIFY(b.save("deep.fdz"));
        const QString deepText = QString("FRACTAL TYPE: Mandelbrot\n\nPrecision: %1 bits")
                                     .arg(b.f->app.view.precisionBits);
        QVERIFY(b.writeImage("a.fra.jpg", {640, 480}, Qt::blue));
        QVERIFY(b.writeImage("deep.fdz.jpg", {640, 480}, Qt::blue));
        QVERIFY(b.writeImage("small.fra.jpg", {50, 40}, Qt::red));
        QVERIFY(b.open());
        const int renders = b.f->program.rendersStarted();

        // Each file's information and the size its thumbnail shows at.
        const std::tuple<const char*, QString, QSize> files[] = {
            {"deep.fdz", deepText, {176, 144}},
            {"a.fra", kMandelbrot80, {176, 144}},
            {"small.fra", kMandelbrot80, {50, 40}}};
        for (const auto& [name, information, shown] : files) {
            b.browser->makeThumbnailButton().setEnabled(true);
            QVERIFY(b.select(name));
            QVERIFY(!b.browser->makeThumbnailButton().isEnabled());
            QCOMPARE(b.browser->information().text(), information);
            QCOMPARE(b.browser->thumbnail().image().size(), shown);
        }
        // The small one at the top-left corner, unscaled, on white.
        const QImage box = b.browser->thumbnail().grab().toImage();
        QVERIFY(qRed(box.pixel(25, 20)) > 200 && qGreen(box.pixel(25, 20)) < 60);
        QCOMPARE(box.pixel(60, 20), QColor(Qt::white).rgb());
        QCOMPARE(box.pixel(25, 50), QColor(Qt::white).rgb());
        QCOMPARE(b.f->program.rendersStarted(), renders);
        QCOMPARE(b.size(), QSize(352, 288));
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
        Browsing b(std::make_unique<ProgramFixture>(qv::ScreenFacts{screenWidth, 1024, 32}));
        QVERIFY(b.f->showWindows() && qv::test::waitForPicture(*b.f));
        const QPoint home = b.f->picture().pos();
        QVERIFY(b.save("a.fra") && b.save("b.fra") && b.open());
        QVERIFY(b.select("a.fra") && b.select("b.fra"));
        QCOMPARE(b.size(), QSize(176, 144));
        const int renders = b.f->program.rendersStarted();
        QVERIFY(b.press(b.browser->redrawButton()));
        QCOMPARE(b.size(), size);
        QCOMPARE(QSize(b.f->app.picture.width, b.f->app.picture.height), size);
        QCOMPARE(b.f->program.rendersStarted(), renders + 1);
        QTRY_COMPARE(b.f->picture().pos(), home);
        QCOMPARE(b.f->app.shell.currentFileName, b.path("b.fra"));
        QVERIFY(b.press(b.browser->redrawButton())); // the saved size is forgotten
        QCOMPARE(b.size(), size);
    }

    void damagedFilesChangeNothingAndTheBrowserGoesOn()
    {
        Browsing b;
        QVERIFY(b.f && b.save("good.fdz"));
        QVERIFY(b.write("bad.fra", QByteArray(140, '\7')) && b.write("bad.fdz", "777") &&
                b.write("bad.fpi", QByteArray(300, '2')));
        QVERIFY(b.open());
        const QPoint home = b.f->picture().pos();
        const int renders = b.f->program.rendersStarted();
        b.f->app.settings.colourFlags = 3;
        b.f->app.paletteState.paletteOffset = 9;
        // Only a header is read: the initial text again, no message.
        QVERIFY(b.select("good.fdz") && b.select("bad.fdz"));
        QCOMPARE(b.browser->information().text(), QString("FRACTAL: \n\nPrecision:"));
        QCOMPARE(b.f->prompts.asked().size(), std::size_t{1});
        // A loader runs: its message, and nothing else; MAKE THUMBNAIL neither.
        QVERIFY(b.select("bad.fra") && b.select("bad.fpi"));
        QVERIFY(b.press(b.browser->makeThumbnailButton()));
        QCOMPARE(b.f->prompts.texts().size(), std::size_t{4});
        QCOMPARE(b.f->prompts.asked().back().kind, std::string("message"));
        QVERIFY(!b.exists("bad.fra.jpg") && !b.exists("bad.fpi.jpg"));
        QCOMPARE(b.f->program.rendersStarted(), renders);
        QCOMPARE(b.size(), QSize(352, 288));
        QCOMPARE(b.f->app.settings.colourFlags, 3u);
        QCOMPARE(b.f->app.paletteState.paletteOffset, 9);
        QCOMPARE(b.f->app.shell.pictureFromImage, 0);
        QCOMPARE(b.f->picture().pos(), home);
        QVERIFY(b.select("good.fdz"));
        QVERIFY(b.browser->information().text().startsWith("FRACTAL TYPE:"));
    }

    void actionsDuringARenderWaitAndOnlyTheLatestSelectionRuns()
    {
        Browsing b;
        QVERIFY(b.f && b.save("a.fra") && b.save("b.fdz") && b.save("c.fdz") && b.open());
        b.f->app.shell.rendering = 1;
        for (int row : {0, 1, 2}) {
            b.browser->list().setCurrentRow(row);
        }
        QCOMPARE(b.f->program.pendingActions(), std::size_t{1});
        QVERIFY(b.browser->currentFile().empty());
        b.f->app.shell.rendering = 0;
        b.f->program.runPendingCommands();
        QCOMPARE(b.browser->currentFile(), b.path("c.fdz"));
        QVERIFY(!b.exists("a.fra.jpg"));
    }

    void aThumbnailRenderStoppedByEscWritesNoThumbnail()
    {
        Browsing b;
        QVERIFY(b.f);
        b.f->app.view.iterMax = 2000000; // the whole set: long enough to be stopped
        QVERIFY(b.save("slow.fra") && b.open());
        QTimer::singleShot(0, this,
                           [&] { QTest::keyClick(b.f->picture().windowHandle(), Qt::Key_Escape); });
        QVERIFY(b.select("slow.fra"));
        QCOMPARE(b.f->app.render.stoppedByUser, 1);
        QVERIFY(!b.exists("slow.fra.jpg") && b.browser->thumbnail().image().isNull());
    }
};

QTEST_MAIN(BrowserTest)
#include "tst_browser.moc"
