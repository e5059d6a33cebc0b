// Navigation with the mouse on the real picture window: click zoom, right-click unzoom, boxed
// zoom with its band, empty and mirrored boxes in extended and deep zoom, the Julia pick and
// the automatic iteration increase.
#include "tests/ui/support/program_fixture.h"

#include <QImage>
#include <QTest>

using qv::test::ProgramFixture;

namespace {

// A completed picture of the current view: navigation works from here on.
void completePicture(ProgramFixture& f)
{
    f.app.shell.pictureValid = 1;
    f.app.shell.mandelbrotShown = 1;
}

long double ext(const qv::ViewNumber& n)
{
    return n.ext;
}

} // namespace

class NavigationTest : public QObject
{
    Q_OBJECT

private slots:

    void init() { qv::test::failOnWarnings(); }

    void clickAtTheCentreHalvesTheDefaultWindow()
    {
        ProgramFixture f;
        QVERIFY(f.showWindows());
        completePicture(f);
        QTest::mouseClick(&f.picture(), Qt::LeftButton, {}, QPoint(320, 240));
        const auto& m = f.app.view.mandelbrot;
        QVERIFY(ext(m.xmin) == -1.5L);
        QVERIFY(ext(m.xmax) == 0.5L);
        QVERIFY(ext(m.ymin) == -0.75L);
        QVERIFY(ext(m.ymax) == 0.75L);
        QCOMPARE(f.app.shell.pictureValid, 0);
        QCOMPARE(f.picture().windowTitle(), QStringLiteral("QUORVALIS (Deeplimit:-3)"));
    }

    void oneClickAndTwoRightClicksDoubleTheWindowAboutTheClick()
    {
        ProgramFixture f;
        QVERIFY(f.showWindows());
        completePicture(f);
        QTest::mouseClick(&f.picture(), Qt::LeftButton, {}, QPoint(480, 360)); // (0.5, 0.75)
        completePicture(f);
        QTest::mouseClick(&f.picture(), Qt::RightButton, {}, QPoint(10, 10));
        // While the picture is being made the right button does nothing.
        QTest::mouseClick(&f.picture(), Qt::RightButton, {}, QPoint(10, 10));
        completePicture(f);
        QTest::mouseClick(&f.picture(), Qt::RightButton, {}, QPoint(600, 400));
        const auto& m = f.app.view.mandelbrot;
        QVERIFY(ext(m.xmin) == 0.5L - 4.0L);
        QVERIFY(ext(m.xmax) == 0.5L + 4.0L);
        QVERIFY(ext(m.ymin) == 0.75L - 3.0L);
        QVERIFY(ext(m.ymax) == 0.75L + 3.0L);
    }

    void boxZoomTakesTheBoxAndTheBandNeverRenders()
    {
        ProgramFixture f;
        QVERIFY(f.showWindows());
        f.app.settings.boxedZoom = 1;
        completePicture(f);
        const int queued = f.picture().queuedRenders();
        QTest::mousePress(&f.picture(), Qt::LeftButton, {}, QPoint(100, 100));
        QTest::mouseMove(&f.picture(), QPoint(300, 250));
        QTest::mouseMove(&f.picture(), QPoint(420, 340));
        QVERIFY(f.picture().pointer().bandShown);
        QCOMPARE(f.picture().cursor().shape(), Qt::CrossCursor);

        // The band is on screen over the picture (black here), its inside untouched.
        const QImage shown = f.picture().grab().toImage();
        int bandPixels = 0;
        for (int x = 100; x <= 420; ++x) {
            bandPixels += (shown.pixel(x, 100) & 0xffffffu) != 0 ? 1 : 0;
            bandPixels += (shown.pixel(x, 340) & 0xffffffu) != 0 ? 1 : 0;
        }
        QVERIFY(bandPixels > 100);
        QCOMPARE(shown.pixel(260, 220) & 0xffffffu, 0u);
        QCOMPARE(f.app.shell.pictureValid, 1);
        QCOMPARE(f.picture().queuedRenders(), queued);

        QTest::mouseRelease(&f.picture(), Qt::LeftButton, {}, QPoint(420, 340));
        const auto& m = f.app.view.mandelbrot;
        QVERIFY(ext(m.xmin) == -1.875L);
        QVERIFY(ext(m.xmax) == 0.125L);
        QVERIFY(ext(m.ymin) == -0.875L);
        QVERIFY(ext(m.ymax) == 0.625L);
        QVERIFY(!f.picture().pointer().bandShown);
        QCOMPARE(f.picture().cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(f.app.shell.pictureValid, 0);
    }

    void emptyAndMirroredBoxesInExtended()
    {
        ProgramFixture f;
        QVERIFY(f.showWindows());
        f.app.settings.boxedZoom = 1;
        completePicture(f);
        QTest::mousePress(&f.picture(), Qt::LeftButton, {}, QPoint(200, 200));
        QTest::mouseRelease(&f.picture(), Qt::LeftButton, {}, QPoint(200, 200));
        QTest::mousePress(&f.picture(), Qt::LeftButton, {}, QPoint(200, 200));
        QTest::mouseMove(&f.picture(), QPoint(200, 300));
        QTest::mouseRelease(&f.picture(), Qt::LeftButton, {}, QPoint(200, 300));
        QCOMPARE(f.app.shell.pictureValid, 1);
        QVERIFY(ext(f.app.view.mandelbrot.xmin) == -2.5L);

        QTest::mousePress(&f.picture(), Qt::LeftButton, {}, QPoint(420, 340));
        QTest::mouseMove(&f.picture(), QPoint(100, 100));
        QTest::mouseRelease(&f.picture(), Qt::LeftButton, {}, QPoint(100, 100));
        const auto& m = f.app.view.mandelbrot;
        QVERIFY(ext(m.xmin) == 0.125L);
        QVERIFY(ext(m.xmax) == -1.875L);
        QVERIFY(ext(m.ymin) == 0.625L);
        QVERIFY(ext(m.ymax) == -0.875L);
    }

    void emptyAndMirroredBoxesInDeepZoom()
    {
        ProgramFixture f;
        QVERIFY(f.showWindows());
        qv::AppState& app = f.app;
        const auto& m = app.view.mandelbrot;
        // 640 pixels of 1e-25 from -0.75, 480 of 1e-25 from 0.1.
        QVERIFY(qv::test::typeMandelbrotWindow(f, "-7.5e-1", "-7.49999999999999999999936e-1",
                                               "1.0e-1", "1.00000000000000000000048e-1"));
        QCOMPARE(app.view.deepZoom, 1);
        app.settings.boxedZoom = 1;
        completePicture(f);

        QTest::mousePress(&f.picture(), Qt::LeftButton, {}, QPoint(50, 60));
        QTest::mouseRelease(&f.picture(), Qt::LeftButton, {}, QPoint(50, 60));
        QCOMPARE(m.xmin.text, std::string("-7.5e-1"));
        QCOMPARE(app.shell.pictureValid, 1);

        QTest::mousePress(&f.picture(), Qt::LeftButton, {}, QPoint(420, 340));
        QTest::mouseMove(&f.picture(), QPoint(100, 100));
        QTest::mouseRelease(&f.picture(), Qt::LeftButton, {}, QPoint(100, 100));
        // xmin + 420 steps, then 320 steps back; ymin + 340 steps, then 240 back.
        QCOMPARE(m.xmin.text, std::string("-7.49999999999999999999958e-1"));
        QCOMPARE(m.xmax.text, std::string("-7.4999999999999999999999e-1"));
        QCOMPARE(m.ymin.text, std::string("1.00000000000000000000034e-1"));
        QCOMPARE(m.ymax.text, std::string("1.0000000000000000000001e-1"));
        QCOMPARE(app.view.deepZoom, 1);
        QCOMPARE(app.shell.pictureValid, 0);
    }

    void juliaConstantIsPickedOnTheStillVisibleMandelbrotPicture()
    {
        ProgramFixture f;
        QVERIFY(f.showWindows());
        completePicture(f);
        f.app.view.modeWord = 4; // Julia chosen; the Mandelbrot picture is still shown
        QTest::mouseClick(&f.picture(), Qt::LeftButton, {}, QPoint(480, 120));
        QVERIFY(ext(f.app.view.julia.cr) == -2.5L + 480 * (4.0L / 640));
        QVERIFY(ext(f.app.view.julia.ci) == -1.5L + 120 * (3.0L / 480));
        QCOMPARE(f.app.view.julia.cr.text, std::string("5.0e-1"));
        QCOMPARE(f.app.shell.pictureValid, 0);
    }

    void autoIterationIncreaseRaisesTheLimitOnAClick()
    {
        ProgramFixture f;
        QVERIFY(f.showWindows());
        completePicture(f);
        QCOMPARE(f.app.view.iterMax, 100);
        QTest::mouseClick(&f.picture(), Qt::LeftButton, {}, QPoint(320, 240));
        QCOMPARE(f.app.view.iterMax, 300);
    }

    void nothingHappensBeforeAPictureIsComplete()
    {
        ProgramFixture f;
        QVERIFY(f.showWindows());
        QTest::mouseClick(&f.picture(), Qt::LeftButton, {}, QPoint(320, 240));
        QTest::mouseClick(&f.picture(), Qt::RightButton, {}, QPoint(320, 240));
        QVERIFY(ext(f.app.view.mandelbrot.xmin) == -2.5L);
        QCOMPARE(f.app.view.iterMax, 100);
    }
};

QTEST_MAIN(NavigationTest)
#include "tst_navigation.moc"
