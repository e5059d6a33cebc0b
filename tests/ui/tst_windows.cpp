// The two windows and the menu: placement, titles, fixed sizes, the menu's captions, ids and
// order, and the commands that quit or reset the view, answered by scripted dialogs.
#include "tests/ui/support/program_fixture.h"
#include "ui/dialog_support.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QTest>

using qv::CommandId;
using qv::test::ProgramFixture;

namespace {

struct Item
{
    QString caption;
    int id;
    bool enabled;
};

struct Column
{
    QString title;
    std::vector<Item> items;
};

// The menu as a person reads it, for the comparison below.
std::vector<Column> menuAsShown(qv::MenuWindow& window)
{
    std::vector<Column> columns;
    for (QAction* top : window.menuBar()->actions()) {
        Column column{top->text(), {}};
        for (QAction* a : top->menu()->actions()) {
            column.items.push_back({a->isSeparator() ? QStringLiteral("-") : a->text(),
                                    a->data().toInt(), a->isEnabled() && !a->isSeparator()});
        }
        columns.push_back(column);
    }
    return columns;
}

} // namespace

class WindowsTest : public QObject
{
    Q_OBJECT

private slots:

    void init() { qv::test::failOnWarnings(); }

    void windowsComeUpBesideEachOther()
    {
        ProgramFixture f;
        QVERIFY(f.showWindows());
        QCOMPARE(f.picture().windowTitle(), QStringLiteral("QUORVALIS"));
        QCOMPARE(f.picture().pos(), QPoint(0, 20));
        QCOMPARE(f.picture().size(), QSize(640, 480));
        QCOMPARE(f.menu().windowTitle(), QStringLiteral("QUORVALIS"));
        QCOMPARE(f.menu().pos(), QPoint(660, 20));
        QCOMPARE(f.menu().size(), QSize(420, 40));
        QVERIFY(f.menu().windowFlags().testFlag(Qt::Tool));
        QCOMPARE(f.menu().parentWidget(), &f.picture());
        QVERIFY(f.menu().isVisible());
    }

    void resizesSnapBack()
    {
        ProgramFixture f;
        QVERIFY(f.showWindows());
        f.picture().move(100, 150);
        QTRY_COMPARE(f.picture().pos(), QPoint(100, 150));
        f.picture().resize(300, 200);
        QTRY_COMPARE(f.picture().size(), QSize(640, 480));
        QTRY_COMPARE(f.picture().pos(), QPoint(0, 20));

        f.menu().resize(600, 300);
        QTRY_COMPARE(f.menu().size(), QSize(420, 50));
        f.menu().resize(420, 20);
        QTRY_COMPARE(f.menu().size(), QSize(420, 50));
    }

    void pictureLargerThanTheScreenStartsAtItsCorner()
    {
        // A 640 x 480 picture on a screen 400 pixels high.
        ProgramFixture f({1280, 400, 32});
        QVERIFY(f.showWindows());
        QTRY_COMPARE(f.picture().pos(), QPoint(0, 0));
        QCOMPARE(f.picture().size(), QSize(640, 480));
    }

    void menuHasEveryItemInOrder()
    {
        ProgramFixture f;
        QVERIFY(f.showWindows());
        const std::vector<Column> expected = {
            {"File",
             {{"Browse fractals", 115, true},
              {"Load Fractal", 120, true},
              {"Load Fractal with image", 121, true},
              {"Save Fractal", 125, true},
              {"Save Fractal with image", 126, true},
              {"Save Picture", 135, true},
              {"Statistics", 110, true},
              {"-", 140, false},
              {"Exit", 145, true}}},
            {"Fractal",
             {{"Fractal Parameters", 165, true},
              {"Location", 166, true},
              {"Palette control", 160, true},
              {"Julia finder", 156, true},
              {"Original Mandelbrot", 155, true}}},
            {"Zoom movie",
             {{"Make movie to disk", 185, true},
              {"Realtime zoom movie", 192, true},
              {"Play movie", 186, true}}},
            {"Help", {{"Info", 175, true}, {"Open helpfile", 180, true}}},
        };
        const std::vector<Column> shown = menuAsShown(f.menu());
        QCOMPARE(shown.size(), expected.size());
        for (std::size_t c = 0; c < expected.size(); ++c) {
            QCOMPARE(shown[c].title, expected[c].title);
            QCOMPARE(shown[c].items.size(), expected[c].items.size());
            for (std::size_t i = 0; i < expected[c].items.size(); ++i) {
                const Item& s = shown[c].items[i];
                const Item& e = expected[c].items[i];
                QCOMPARE(s.caption, e.caption);
                QCOMPARE(s.id, e.id);
                QVERIFY2(s.enabled == e.enabled, qPrintable(e.caption));
            }
        }
        // No keyboard shortcuts.
        for (QAction* top : f.menu().menuBar()->actions()) {
            for (QAction* a : top->menu()->actions()) {
                QVERIFY(a->shortcut().isEmpty());
            }
        }
    }

    void menuItemsDispatchTheirIds()
    {
        ProgramFixture f;
        QVERIFY(f.showWindows());
        f.prompts.answer("cancel");
        f.menu().action(CommandId::Exit)->trigger();
        QCOMPARE(f.prompts.texts(), (std::vector<std::string>{"Do you want to quit?"}));
    }

    void exitAsksBeforeQuitting()
    {
        ProgramFixture f;
        QVERIFY(f.showWindows());
        f.dispatchAnswering(CommandId::Exit, "cancel");
        QCOMPARE(f.app.shell.quitRequested, 0);
        QVERIFY(f.picture().isVisible());

        f.dispatchAnswering(CommandId::Exit, "ok");
        QCOMPARE(f.prompts.asked().size(), std::size_t{2});
        QCOMPARE(f.prompts.asked()[1].kind, std::string("okCancel"));
        QCOMPARE(f.prompts.asked()[1].text, std::string("Do you want to quit?"));
        QCOMPARE(f.app.shell.quitRequested, 1);
        QVERIFY(!f.picture().isVisible());
        QVERIFY(!f.menu().isVisible());
    }

    void closingEitherWindowQuitsWithoutAsking()
    {
        {
            ProgramFixture f;
            QVERIFY(f.showWindows());
            QVERIFY(f.picture().close());
            QCOMPARE(f.app.shell.quitRequested, 1);
            QVERIFY(f.prompts.asked().empty());
        }
        ProgramFixture f;
        QVERIFY(f.showWindows());
        QVERIFY(f.menu().close());
        QCOMPARE(f.app.shell.quitRequested, 1);
        QVERIFY(!f.picture().isVisible());
        QVERIFY(f.prompts.asked().empty());
    }

    void theSeparatorIdDoesNothing()
    {
        ProgramFixture f;
        QVERIFY(f.showWindows());
        f.program.dispatchCommand(CommandId::Separator);
        QVERIFY(f.prompts.asked().empty());
    }

    void originalMandelbrotResetsOnOk()
    {
        ProgramFixture f;
        QVERIFY(f.showWindows());
        qv::AppState& app = f.app;
        // A zoomed, recoloured Julia view with a file and a shifted palette.
        app.view.modeWord = 4 | 2;
        app.view.iterMax = 4000;
        app.view.bailout = 7.0;
        app.settings.colourFlags = 3;
        app.settings.autoIterIncrease = 0;
        app.paletteState.paletteOffset = 99;
        app.paletteState.options.hsl = true;
        app.shell.juliaShown = 1;
        app.shell.mandelbrotShown = 1;
        app.shell.currentFileName = "x.fra";
        app.shell.lastFilePath = "x.fra";
        app.shell.pictureValid = 1;
        app.view.mandelbrot.xmin.ext = -0.1L;

        f.dispatchAnswering(CommandId::OriginalMandelbrot, "ok");
        QCOMPARE(f.prompts.texts(), (std::vector<std::string>{"Main Mandelbrot?"}));
        QCOMPARE(f.prompts.asked()[0].kind, std::string("okCancel"));
        QCOMPARE(app.view.modeWord, 5u);
        QCOMPARE(app.view.iterMax, 100);
        QCOMPARE(app.view.bailout, 100.0);
        QCOMPARE(app.settings.colourFlags, 4u);
        QCOMPARE(app.settings.autoIterIncrease, 1);
        QCOMPARE(app.paletteState.paletteOffset, 0);
        QVERIFY(!app.paletteState.options.hsl);
        QCOMPARE(app.shell.juliaShown, 0);
        QCOMPARE(app.shell.mandelbrotShown, 0);
        QCOMPARE(app.shell.currentFileName, std::string());
        QCOMPARE(app.shell.lastFilePath, std::string());
        QCOMPARE(app.shell.pictureValid, 0);
        QCOMPARE(app.view.deepZoom, 0);
        QVERIFY(app.view.mandelbrot.xmin.ext == -2.5L);
        QVERIFY(app.view.mandelbrot.ymax.ext == 1.5L);
    }

    void originalMandelbrotCancelledKeepsTheViewButNotThePaletteOptions()
    {
        ProgramFixture f;
        QVERIFY(f.showWindows());
        qv::AppState& app = f.app;
        app.paletteState.options = {true, true, true, true, true};
        app.view.iterMax = 777;
        app.view.mandelbrot.xmin.ext = -1.0L;
        app.shell.pictureValid = 1;
        f.dispatchAnswering(CommandId::OriginalMandelbrot, "cancel");
        QVERIFY(app.paletteState.options == qv::PaletteOptions{});
        QCOMPARE(app.view.iterMax, 777);
        QVERIFY(app.view.mandelbrot.xmin.ext == -1.0L);
        QCOMPARE(app.shell.pictureValid, 0);
    }

    void originalMandelbrotCancelledInDeepZoomStaysDeep()
    {
        ProgramFixture f;
        QVERIFY(f.showWindows());
        QVERIFY(qv::test::typeMandelbrotWindow(f, "-7.5e-1", "-7.4999999999999999999999e-1",
                                               "1.0e-1", "1.00000000000000000000075e-1"));
        QCOMPARE(f.app.view.deepZoom, 1);
        f.dispatchAnswering(CommandId::OriginalMandelbrot, "cancel");
        QCOMPARE(f.app.view.deepZoom, 1);
        QCOMPARE(f.app.view.mandelbrot.xmin.text, std::string("-7.5e-1"));
    }

    void commandsDuringARenderWaitForItsEnd()
    {
        ProgramFixture f;
        QVERIFY(f.showWindows());
        f.app.shell.rendering = 1;
        f.program.dispatchCommand(CommandId::Exit);
        QVERIFY(f.prompts.asked().empty());
        QCOMPARE(f.program.pendingCommands().size(), std::size_t{1});
        f.app.shell.rendering = 0;
        f.prompts.answer("cancel");
        f.program.runPendingCommands();
        QCOMPARE(f.prompts.texts(), (std::vector<std::string>{"Do you want to quit?"}));
        QVERIFY(f.program.pendingCommands().empty());
    }

    // A slider dragged during a render leaves only its last position; other actions keep
    // their order and run after the commands that waited before them.
    void dialogActionsDuringARenderKeepOnlyTheLatestValue()
    {
        ProgramFixture f;
        QVERIFY(f.showWindows());
        std::vector<int> ran;
        const int slider = 0;
        f.app.shell.rendering = 1;
        for (int position : {3, 4, 5}) {
            f.program.whenIdle([&ran, position] { ran.push_back(position); }, &slider);
        }
        f.program.whenIdle([&ran] { ran.push_back(-1); });
        f.program.whenIdle([&ran] { ran.push_back(-2); });
        QCOMPARE(f.program.pendingActions(), std::size_t{3});
        f.app.shell.rendering = 0;
        f.program.runPendingCommands();
        QCOMPARE(ran, (std::vector<int>{5, -1, -2}));
        f.program.whenIdle([&ran] { ran.push_back(9); });
        QCOMPARE(ran.back(), 9);
    }

    // The dialogs' background: 200 bands of the first palette entries, none skipped or
    // stretched, whatever the height.
    void paletteStripShowsTheFirstEntriesTopDown()
    {
        qv::Palette palette;
        for (std::size_t i = 0; i < 200; ++i) {
            palette.entries[i] = static_cast<std::uint32_t>(i * 0x010101u);
        }
        for (int height : {200, 480, 333}) {
            QImage image(7, height, QImage::Format_RGB32);
            QPainter painter(&image);
            qv::paintPaletteStrip(painter, image.rect(), palette);
            painter.end();
            for (int band : {0, 1, 99, 199}) {
                const int row = (band * height + height / 2) / 200;
                QCOMPARE(image.pixel(6, row) & 0xffffffu, palette.entries[band]);
            }
        }
    }
};

QTEST_MAIN(WindowsTest)
#include "tst_windows.moc"
