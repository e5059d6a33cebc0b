// The windows with the renderer: the paint protocol renders from the event loop, the picture
// shown is the one built, Esc stops renders while the windows are disabled (counted in polls),
// commands wait for the render, the Julia pick leads to its Julia set, and clicks lead into
// deep zoom, where the picture is rendered too.
#include "base/number_text.h"
#include "tests/ui/support/program_fixture.h"

#include <functional>

#include <QTest>
#include <QTimer>
#include <QWindow>

using qv::CommandId;
using qv::test::ProgramFixture;
using qv::test::renderedProgram;
using qv::test::waitForPicture;

namespace {

// Runs `action` once, from the event loop, as soon as a render is running: the renderer's own
// event processing calls it.
void duringRender(ProgramFixture& f, QTimer& timer, std::function<void()> action)
{
    timer.setInterval(1);
    QObject::connect(&timer, &QTimer::timeout, [&f, &timer, action] {
        if (f.app.shell.rendering != 0) {
            timer.stop();
            action();
        }
    });
    timer.start();
}

// A tiny picture of 80 x 60, as if chosen in the parameters dialog: deep renders stay quick.
std::unique_ptr<ProgramFixture> tinyProgram()
{
    auto f = std::make_unique<ProgramFixture>(qv::ScreenFacts{800, 600, 32}, 2);
    f->app.settings.pictureWidth = 80;
    f->app.settings.pictureHeight = 60;
    f->app.iterations.allocate(80, 60);
    qv::applyViewChange(f->app.view, qv::viewContext(f->app), f->program);
    return f;
}

} // namespace

class RenderTest : public QObject
{
    Q_OBJECT

private slots:

    void init() { qv::test::failOnWarnings(); }

    void staleWindowRendersOnceFromTheEventLoop()
    {
        auto f = renderedProgram(2);
        QVERIFY(f);
        QCOMPARE(f->program.rendersStarted(), 1);
        QCOMPARE(f->program.rendersStartedInPaint(), 0);
        QCOMPARE(f->app.shell.mandelbrotShown, 1);
        QCOMPARE(f->picture().windowTitle(), QStringLiteral("QUORVALIS (Deeplimit:-2)"));
        QVERIFY(f->menu().windowTitle().startsWith(QStringLiteral("QUORVALIS - (Time:")));
        QVERIFY(f->menu().windowTitle().endsWith(QStringLiteral(") - Mandelbrot")));
        QVERIFY(f->picture().isEnabled());

        // Repaints of a valid picture only draw it.
        for (int i = 0; i < 3; ++i) {
            f->picture().repaint();
        }
        QTest::qWait(0);
        QCOMPARE(f->program.rendersStarted(), 1);

        // What the window shows is the picture that was built.
        const QImage shown = f->picture().grab().toImage();
        QCOMPARE(shown.size(), QSize(352, 288));
        const qv::PictureBuffer& picture = f->app.picture;
        for (const QPoint p : {QPoint(0, 0), QPoint(100, 144), QPoint(351, 287), QPoint(250, 30)}) {
            const auto index = static_cast<std::size_t>(p.y() * picture.width + p.x());
            QCOMPARE(shown.pixel(p) & 0xffffffu, picture.pixels[index] & 0xffffffu);
        }

        // A stale picture renders again, once, however many repaints are asked for.
        f->program.requestRender();
        f->program.requestRender();
        QVERIFY(waitForPicture(*f));
        QCOMPARE(f->program.rendersStarted(), 2);
        QCOMPARE(f->program.rendersStartedInPaint(), 0);
    }

    void singleThreadedRenderDrawsRowsAndFinishes()
    {
        auto f = renderedProgram(1);
        QVERIFY(f);
        QCOMPARE(f->app.settings.threads, 1);
        QCOMPARE(f->app.render.lastRenderer, qv::RendererKind::Single);
        const QImage shown = f->picture().grab().toImage();
        const auto index = static_cast<std::size_t>(200 * 352 + 30);
        QCOMPARE(shown.pixel(30, 200) & 0xffffffu, f->app.picture.pixels[index] & 0xffffffu);
    }

    void escStopsThreadedAndSingleRendersWhileTheWindowsAreDisabled_data()
    {
        QTest::addColumn<unsigned>("processors");
        QTest::addColumn<int>("renderer");
        QTest::newRow("threaded") << 2u << static_cast<int>(qv::RendererKind::Threaded);
        QTest::newRow("single") << 1u << static_cast<int>(qv::RendererKind::Single);
    }

    void escStopsThreadedAndSingleRendersWhileTheWindowsAreDisabled()
    {
        QFETCH(unsigned, processors);
        QFETCH(int, renderer);
        auto f = renderedProgram(processors);
        QVERIFY(f);
        // Far too many iterations to finish: only Esc ends this render.
        f->app.view.iterMax = 100000000;
        int pollsBeforeEsc = -1;
        bool disabledAtEsc = false;
        QTimer timer;
        duringRender(*f, timer, [&] {
            disabledAtEsc = !f->picture().isEnabled() && !f->menu().isEnabled();
            pollsBeforeEsc = f->program.escapePolls();
            QTest::keyClick(f->picture().windowHandle(), Qt::Key_Escape);
        });
        f->program.requestRender();
        QVERIFY(waitForPicture(*f, 60000));
        QVERIFY(pollsBeforeEsc >= 0);
        QVERIFY(disabledAtEsc);
        // The first poll after the key press saw it.
        QCOMPARE(f->program.escapePolls() - pollsBeforeEsc, 1);
        QCOMPARE(f->app.render.stoppedByUser, 1);
        QCOMPARE(static_cast<int>(f->app.render.lastRenderer), renderer);
        QVERIFY(f->picture().isEnabled());
        QVERIFY(f->menu().isEnabled());
    }

    void escStopsADeepRender()
    {
        auto f = renderedProgram(2);
        QVERIFY(f);
        QVERIFY(qv::test::typeMandelbrotWindow(*f, "-7.5e-1", "-7.49999999999999999999648e-1",
                                               "1.0e-1", "1.00000000000000000000288e-1"));
        QCOMPARE(f->app.view.deepZoom, 1);
        f->app.view.iterMax = 100000000;
        int pollsBeforeEsc = -1;
        QTimer timer;
        duringRender(*f, timer, [&] {
            pollsBeforeEsc = f->program.escapePolls();
            QTest::keyClick(f->picture().windowHandle(), Qt::Key_Escape);
        });
        f->program.requestRender();
        QVERIFY(waitForPicture(*f, 60000));
        QCOMPARE(f->program.escapePolls() - pollsBeforeEsc, 1);
        QCOMPARE(f->app.render.stoppedByUser, 1);
        QCOMPARE(f->app.render.lastRenderer, qv::RendererKind::Deep);
    }

    void commandsArrivingDuringARenderRunAfterIt()
    {
        auto f = renderedProgram(2);
        QVERIFY(f);
        f->app.view.iterMax = 100000000;
        bool heldBack = false;
        QTimer timer;
        duringRender(*f, timer, [&] {
            f->program.dispatchCommand(CommandId::Exit);
            heldBack = f->prompts.asked().empty() && f->program.pendingCommands().size() == 1;
            QTest::keyClick(f->picture().windowHandle(), Qt::Key_Escape);
        });
        f->prompts.answer("cancel");
        f->program.requestRender();
        QVERIFY(waitForPicture(*f, 60000));
        QVERIFY(heldBack);
        QCOMPARE(f->prompts.texts(), (std::vector<std::string>{"Do you want to quit?"}));
        QVERIFY(f->program.pendingCommands().empty());
    }

    void juliaPickRendersThatJuliaSetAtItsDefaultWindow()
    {
        auto f = renderedProgram(2);
        QVERIFY(f);
        f->app.view.modeWord = 4; // Julia chosen; the Mandelbrot picture stays on screen
        // Pixel (88, 72) of the 352 x 288 default view is the point (-1.5, -0.75).
        QTest::mouseClick(&f->picture(), Qt::LeftButton, {}, QPoint(88, 72));
        QVERIFY(waitForPicture(*f));
        const auto& j = f->app.view.julia;
        // The point under the pixel in the Mandelbrot window's extended numbers, held as text
        // with 18 digits.
        const auto& m = f->app.view.mandelbrot;
        QCOMPARE(j.cr.text, qv::extendedToScientific(m.xmin.ext + 88 * m.dx.ext));
        QCOMPARE(j.ci.text, qv::extendedToScientific(m.ymin.ext + 72 * m.dy.ext));
        QCOMPARE(j.xmin.text, std::string("-1.8e0"));
        QCOMPARE(j.xmax.text, std::string("1.8e0"));
        QCOMPARE(j.ymin.text, std::string("-1.8e0"));
        QCOMPARE(f->app.shell.juliaShown, 1);
        QVERIFY(f->menu().windowTitle().endsWith(QStringLiteral(") - Julia")));
    }

    // Clicking again and again at the centre of a view around 1.25 (outside the set, so that
    // every pixel escapes at once) passes into deep zoom by itself and renders there.
    void clicksLeadIntoDeepZoomAndItRenders()
    {
        auto f = tinyProgram();
        QVERIFY(f->showWindows());
        QCOMPARE(f->picture().size(), QSize(80, 60));
        QVERIFY(waitForPicture(*f));
        // Pixel (75, 30) of the default view is (1.25, 0); (40, 30) is the centre.
        QTest::mouseClick(&f->picture(), Qt::LeftButton, {}, QPoint(75, 30));
        QVERIFY(waitForPicture(*f));
        int clicks = 1;
        while (f->app.view.deepZoom == 0 && clicks < 60) {
            QTest::mouseClick(&f->picture(), Qt::LeftButton, {}, QPoint(40, 30));
            QVERIFY(waitForPicture(*f));
            ++clicks;
        }
        // The pixel step 0.05 / 2^k first has the exponent -17 at k = 49.
        QCOMPARE(clicks, 49);
        QCOMPARE(f->app.view.deepZoom, 1);
        QCOMPARE(f->app.view.deepLimit, -17);
        QCOMPARE(f->app.render.lastRenderer, qv::RendererKind::Deep);
        QCOMPARE(f->app.render.stoppedByUser, 0);
        QCOMPARE(f->picture().windowTitle(), QStringLiteral("QUORVALIS (Deeplimit:-17)"));
        // The last extended click raised the limit by the depth before it, -16.
        QCOMPARE(f->app.view.iterMax, 1600);
        // Further down the precision rises (from a step exponent of -28, at k = 86).
        while (clicks < 86) {
            QTest::mouseClick(&f->picture(), Qt::LeftButton, {}, QPoint(40, 30));
            QVERIFY(waitForPicture(*f));
            ++clicks;
        }
        QCOMPARE(f->app.view.deepLimit, -28);
        QCOMPARE(f->app.view.precisionBits, 112);
        QCOMPARE(f->app.render.lastRenderer, qv::RendererKind::Deep);
        QVERIFY(mpf_cmp_d(f->app.view.mandelbrot.xmin.mp(), 1.25) < 0);
        QVERIFY(mpf_cmp_d(f->app.view.mandelbrot.xmax.mp(), 1.25) > 0);
        // Right clicks lead back out of deep zoom.
        int rightClicks = 0;
        while (f->app.view.deepZoom == 1 && rightClicks < 60) {
            QTest::mouseClick(&f->picture(), Qt::RightButton, {}, QPoint(10, 10));
            QVERIFY(waitForPicture(*f));
            ++rightClicks;
        }
        QCOMPARE(rightClicks, 86 - 48);
        QVERIFY(f->app.render.lastRenderer != qv::RendererKind::Deep);
    }
};

QTEST_MAIN(RenderTest)
#include "tst_render.moc"
