// The Julia finder on the real windows: its refusals, the finder and the preview standing in
// for the program's windows, the preview under the pointer, a burst of moves, and the right
// click that renders the Julia set; the clipboard stays as it was.
#include "app/julia_finder.h"
#include "tests/support/reference_kernels.h"
#include "tests/ui/support/program_fixture.h"
#include "ui/julia_finder.h"
#include "ui/parameters_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QMouseEvent>
#include <QTest>

using qv::CommandId;
using qv::test::ProgramFixture;

namespace {

// Handed straight to the window, so that nothing else runs in between: a burst of moves
// really arrives while one preview is being computed.
void sendMouse(QWidget& window, QEvent::Type type, QPoint at, Qt::MouseButton button = {})
{
    QMouseEvent event(type, QPointF(at), QPointF(window.mapToGlobal(at)), button, button, {});
    QApplication::sendEvent(&window, &event);
}

bool firstPicture(ProgramFixture& f)
{
    return f.showWindows() && qv::test::waitForPicture(f);
}

} // namespace

class JuliaFinderTest : public QObject
{
    Q_OBJECT

private slots:

    void init() { qv::test::failOnWarnings(); }

    void refusedInDeepZoomAndOnJuliaViews()
    {
        for (const bool deep : {true, false}) {
            ProgramFixture f;
            QVERIFY(firstPicture(f));
            if (deep) {
                QVERIFY(qv::test::typeMandelbrotWindow(f, "-0.75", "-0.75000000000000000001", "0.1",
                                                       "0.10000000000000000001"));
            } else {
                f.app.view.modeWord = 6;
            }
            f.program.dispatchCommand(CommandId::JuliaFinder);
            QCOMPARE(f.prompts.texts(),
                     std::vector<std::string>{
                         deep ? "Not available with\ndeep zoom"
                              : "Please switch to Mandelbrot\nto use this function"});
            QCOMPARE(f.prompts.titles(), std::vector<std::string>{"QUORVALIS"});
            QVERIFY(f.program.juliaFinder() == nullptr);
            QVERIFY(f.picture().isVisible() && f.menu().isVisible());
            QCOMPARE(f.app.settings.multiThreaded, deep ? 1 : 0);
        }
    }

    void pointAtTheCentreThenRightClickForTheJuliaSet()
    {
        ProgramFixture f;
        QVERIFY(firstPicture(f));
        f.program.dispatchCommand(CommandId::FractalParameters);
        qv::ParametersDialog* dialog = f.program.parametersDialog();
        QVERIFY(dialog != nullptr);
        QGuiApplication::clipboard()->setText(QStringLiteral("the user's own text"));
        const QImage picture = f.picture().grab().toImage().convertToFormat(QImage::Format_RGB32);
        f.app.view.bailout = 2.5; // below 4: a fast test against 4 would give other counts

        f.menu().action(CommandId::JuliaFinder)->trigger();
        qv::JuliaFinder* finder = f.program.juliaFinder();
        QVERIFY(finder != nullptr);
        QVERIFY(!f.picture().isVisible() && !f.menu().isVisible() && !dialog->isVisible());
        QWidget& window = finder->finderWindow();
        QWidget& preview = finder->previewWindow();
        QCOMPARE(window.windowTitle(),
                 QStringLiteral("JULIAFINDER - Click right mouse button when ready"));
        QCOMPARE(preview.windowTitle(), QStringLiteral("JULIA"));
        QCOMPARE(QRect(window.pos(), window.size()), QRect(0, 0, 640, 480));
        QCOMPARE(QRect(preview.pos(), preview.size()), QRect(660, 60, 200, 160));
        QVERIFY(window.minimumSize() == window.maximumSize() &&
                preview.minimumSize() == preview.maximumSize());
        QCOMPARE(window.grab().toImage().convertToFormat(QImage::Format_RGB32), picture);
        QVERIFY(!window.close() && !preview.close()); // no way out but the right click
        QCOMPARE(f.app.settings.multiThreaded, 0);

        sendMouse(window, QEvent::MouseMove, QPoint(320, 240));
        QTRY_COMPARE(finder->previewsShown(), 1);
        QCOMPARE(f.app.settings.multiThreaded, 1); // back at the first move
        const qv::MandelbrotNumbers& m = f.app.view.mandelbrot;
        const qv::JuliaConstant c = finder->shownConstant();
        QVERIFY(c.cr == m.xmin.ext + 320.0L * m.dx.ext && c.ci == m.ymin.ext + 240.0L * m.dy.ext);
        QVERIFY(c.cr > -0.5000000001L && c.cr < -0.4999999999L && c.ci * c.ci < 1e-30L);
        // Every count as the plain loop gives it, its fast test against the float bailout.
        const std::vector<std::int32_t>& counts = finder->shownPreview().counts;
        QCOMPARE(counts.size(), std::size_t{200 * 160});
        int wrong = 0;
        long double y = -1.8L;
        for (std::size_t row = 0, at = 0; row < 160; ++row, y += 3.6L / 160.0L) {
            long double x = -1.8L;
            for (int col = 0; col < 200; ++col, ++at, x += 3.6L / 200.0L) {
                wrong += counts[at] != qv::test::referenceExtendedPixel(qv::KernelKind::Plain, x, y,
                                                                        c.cr, c.ci, 200, 2.5, 2.5f)
                                           .count;
            }
        }
        QCOMPARE(wrong, 0);
        const QImage shown = preview.grab().toImage();
        QCOMPARE(shown.pixel(0, 0) & 0xFFFFFFu, finder->shownPreview().colours[0]);
        QCOMPARE(shown.pixel(100, 80) & 0xFFFFFFu, 0u); // z = 0 stays inside: black

        // Leaving and coming back arms the leave notification again.
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&window, &leave);
        QVERIFY(!finder->state().leaveTracking);
        sendMouse(window, QEvent::MouseMove, QPoint(320, 240));
        QVERIFY(finder->state().leaveTracking);

        // The right click takes the constant of the last move, not its own place.
        sendMouse(window, QEvent::MouseButtonPress, QPoint(600, 400), Qt::RightButton);
        QVERIFY(!window.isVisible() && !preview.isVisible());
        QVERIFY(f.picture().isVisible() && f.menu().isVisible() && dialog->isVisible());
        QVERIFY(qv::test::waitForPicture(f));
        QTRY_VERIFY(f.program.juliaFinder() == nullptr);
        const qv::JuliaNumbers& j = f.app.view.julia;
        QCOMPARE(f.app.view.modeWord & 3u, 2u);
        QVERIFY(dialog->optionBox(qv::OptionBox::Julia)->isChecked());
        QVERIFY(!dialog->optionBox(qv::OptionBox::Mandelbrot)->isChecked());
        QVERIFY(dialog->optionBox(qv::OptionBox::MultiThreaded)->isChecked());
        QVERIFY(j.cr.ext == c.cr && j.ci.ext == c.ci);
        QVERIFY(j.xmin.ext == -1.8L && j.xmax.ext == 1.8L && j.ymin.ext == -1.8L &&
                j.ymax.ext == 1.8L);
        QCOMPARE(f.app.view.iterMax, 200);
        QVERIFY(f.menu().windowTitle().endsWith(QStringLiteral(") - Julia")));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("the user's own text"));
    }

    void burstOfMovesGivesOnePreviewPerFinishedRender()
    {
        ProgramFixture f;
        QVERIFY(firstPicture(f));
        f.program.dispatchCommand(CommandId::JuliaFinder);
        qv::JuliaFinder* finder = f.program.juliaFinder();
        QVERIFY(finder != nullptr);
        for (int i = 0; i < 30; ++i) {
            sendMouse(finder->finderWindow(), QEvent::MouseMove, QPoint(100 + 10 * i, 100 + i));
        }
        QCOMPARE(finder->previewsStarted(), 1);
        QTRY_VERIFY(!finder->previewRunning());
        QCOMPARE(finder->previewsStarted(), 2);
        QCOMPARE(finder->previewsShown(), 2);
        const qv::JuliaConstant last = qv::constantUnderPointer(f.app.view, 390, 129);
        QVERIFY(finder->shownConstant().cr == last.cr && finder->shownConstant().ci == last.ci);
    }
};

QTEST_MAIN(JuliaFinderTest)
#include "tst_julia_finder.moc"
