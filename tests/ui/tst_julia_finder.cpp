// The Julia finder on the real windows: its refusals, the finder and the preview standing in
// for the program's windows, the preview under the pointer, a burst of moves, the leave
// notification, and the right click that renders the Julia set; the clipboard stays as it was.
#include "app/julia_finder.h"
#include "engine/kernel_kind.h"
#include "tests/support/reference_kernels.h"
#include "tests/ui/support/program_fixture.h"
#include "ui/dialog_support.h"
#include "ui/julia_finder.h"

#include <memory>

#include <QApplication>
#include <QClipboard>
#include <QMouseEvent>
#include <QTest>

using qv::CommandId;
using qv::test::ProgramFixture;

namespace {

class StubDialog : public qv::ProgramDialog
{
public:
    using ProgramDialog::ProgramDialog;

    void refill() override {}
};

// Mouse events handed straight to the window: nothing else runs in between, so a burst of
// moves really arrives while one preview is being computed.
void sendMouse(QWidget& window, QEvent::Type type, QPoint at, Qt::MouseButton button)
{
    QMouseEvent event(type, QPointF(at), QPointF(window.mapToGlobal(at)), button,
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::MouseButtons(button),
                      Qt::NoModifier);
    QApplication::sendEvent(&window, &event);
}

void movePointer(qv::JuliaFinder& finder, QPoint at)
{
    sendMouse(finder.finderWindow(), QEvent::MouseMove, at, Qt::NoButton);
}

// The default view at 640 x 480 with its first picture, and the finder opened on it.
struct OpenFinder
{
    OpenFinder()
    {
        ok = f.showWindows() && qv::test::waitForPicture(f);
        if (ok) {
            f.program.dispatchCommand(CommandId::JuliaFinder);
            finder = f.program.juliaFinder();
            ok = finder != nullptr;
        }
    }

    ProgramFixture f;
    qv::JuliaFinder* finder = nullptr;
    bool ok = false;
};

} // namespace

class JuliaFinderTest : public QObject
{
    Q_OBJECT

private slots:

    void init() { qv::test::failOnWarnings(); }

    void refusedInDeepZoomAndOnJuliaViews()
    {
        struct Case
        {
            bool deep;
            std::string message;
            std::int32_t multiThreaded;
        };

        const std::vector<Case> cases = {
            {true, "Not available with\ndeep zoom", 1},
            {false, "Please switch to Mandelbrot\nto use this function", 0},
        };
        for (const Case& c : cases) {
            ProgramFixture f;
            QVERIFY(f.showWindows());
            QVERIFY(qv::test::waitForPicture(f));
            if (c.deep) {
                QVERIFY(qv::test::typeMandelbrotWindow(f, "-0.75", "-0.75000000000000000001", "0.1",
                                                       "0.10000000000000000001"));
                QCOMPARE(f.app.view.deepZoom, 1);
            } else {
                f.app.view.modeWord = 6;
            }
            f.program.dispatchCommand(CommandId::JuliaFinder);
            QCOMPARE(f.prompts.texts(), std::vector<std::string>{c.message});
            QCOMPARE(f.prompts.titles(), std::vector<std::string>{"QUORVALIS"});
            QVERIFY(f.program.juliaFinder() == nullptr);
            QVERIFY(f.picture().isVisible());
            QVERIFY(f.menu().isVisible());
            QCOMPARE(f.app.settings.multiThreaded, c.multiThreaded);
        }
    }

    void finderAndPreviewStandInForTheProgramsWindows()
    {
        ProgramFixture f;
        QVERIFY(f.showWindows());
        QVERIFY(qv::test::waitForPicture(f));
        auto* dialog = new StubDialog(f.app.palette, nullptr);
        f.program.adoptDialog(dialog);
        dialog->show();
        QGuiApplication::clipboard()->setText(QStringLiteral("the user's own text"));
        const QImage picture = f.picture().grab().toImage().convertToFormat(QImage::Format_RGB32);

        QVERIFY(f.menu().action(CommandId::JuliaFinder)->isEnabled());
        f.menu().action(CommandId::JuliaFinder)->trigger();
        qv::JuliaFinder* finder = f.program.juliaFinder();
        QVERIFY(finder != nullptr);
        QVERIFY(!f.picture().isVisible());
        QVERIFY(!f.menu().isVisible());
        QVERIFY(!dialog->isVisible());
        QCOMPARE(f.app.settings.multiThreaded, 0);
        QCOMPARE(f.app.view.iterMax, 200);

        QWidget& window = finder->finderWindow();
        QCOMPARE(window.windowTitle(),
                 QStringLiteral("JULIAFINDER - Click right mouse button when ready"));
        QCOMPARE(window.size(), QSize(640, 480));
        QCOMPARE(window.minimumSize(), window.maximumSize());
        QCOMPARE(window.pos(), QPoint(0, 0));
        QCOMPARE(window.cursor().shape(), Qt::CrossCursor);
        QVERIFY(window.isVisible());
        QCOMPARE(window.grab().toImage().convertToFormat(QImage::Format_RGB32), picture);

        QWidget& preview = finder->previewWindow();
        QCOMPARE(preview.windowTitle(), QStringLiteral("JULIA"));
        QCOMPARE(preview.size(), QSize(200, 160));
        QCOMPARE(preview.minimumSize(), preview.maximumSize());
        QCOMPARE(preview.pos(), QPoint(660, 60));
        QVERIFY(preview.isVisible());

        // Closing either would leave the program without a window: both stay.
        QVERIFY(!window.close());
        QVERIFY(!preview.close());
        QVERIFY(window.isVisible() && preview.isVisible());
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("the user's own text"));
        delete dialog;
    }

    void pointerAtTheCentrePreviewsMinusOneHalf()
    {
        OpenFinder o;
        QVERIFY(o.ok);
        const qv::MandelbrotNumbers& m = o.f.app.view.mandelbrot;
        // A bailout below 4: a fast test against 4 would give other counts.
        o.f.app.view.bailout = 2.5;
        movePointer(*o.finder, QPoint(320, 240));
        QTRY_COMPARE(o.finder->previewsShown(), 1);
        const qv::JuliaConstant c = o.finder->shownConstant();
        QVERIFY(c.cr == m.xmin.ext + 320.0L * m.dx.ext);
        QVERIFY(c.ci == m.ymin.ext + 240.0L * m.dy.ext);
        QVERIFY(c.cr > -0.5000000001L && c.cr < -0.4999999999L);
        QVERIFY(c.ci > -1e-15L && c.ci < 1e-15L);
        QCOMPARE(o.f.app.settings.multiThreaded, 1); // back at the first move

        // Every count as the plain loop gives it, its fast test against the float bailout.
        const auto bailout = static_cast<float>(o.f.app.view.bailout);
        const std::vector<std::int32_t>& counts = o.finder->shownPreview().counts;
        QCOMPARE(counts.size(), std::size_t{200 * 160});
        int wrong = 0;
        std::size_t at = 0;
        long double y = -1.8L;
        for (int row = 0; row < 160; ++row, y += 3.6L / 160.0L) {
            long double x = -1.8L;
            for (int col = 0; col < 200; ++col, ++at, x += 3.6L / 200.0L) {
                const qv::test::ReferencePixel e = qv::test::referenceExtendedPixel(
                    qv::KernelKind::Plain, x, y, c.cr, c.ci, 200, o.f.app.view.bailout, bailout);
                wrong += counts[at] != e.count ? 1 : 0;
            }
        }
        QCOMPARE(wrong, 0);
        // The window shows the preview's colours, its top row first; the centre is inside.
        const QImage shown = o.finder->previewWindow().grab().toImage();
        QCOMPARE(shown.size(), QSize(200, 160));
        QCOMPARE(shown.pixel(100, 80) & 0xFFFFFFu, 0u);
        QCOMPARE(shown.pixel(0, 0) & 0xFFFFFFu, o.finder->shownPreview().colours[0]);
    }

    void burstOfMovesGivesOnePreviewPerFinishedRender()
    {
        OpenFinder o;
        QVERIFY(o.ok);
        for (int i = 0; i < 30; ++i) {
            movePointer(*o.finder, QPoint(100 + 10 * i, 100 + 5 * i));
        }
        QCOMPARE(o.finder->previewsStarted(), 1);
        QVERIFY(o.finder->previewRunning());
        QTRY_VERIFY(!o.finder->previewRunning());
        QCOMPARE(o.finder->previewsStarted(), 2);
        QCOMPARE(o.finder->previewsShown(), 2);
        const qv::JuliaConstant last =
            qv::constantUnderPointer(o.f.app.view, 100 + 10 * 29, 100 + 5 * 29);
        QVERIFY(o.finder->shownConstant().cr == last.cr);
        QVERIFY(o.finder->shownConstant().ci == last.ci);
    }

    void leavingAndComingBackArmsTheLeaveNotificationAgain()
    {
        OpenFinder o;
        QVERIFY(o.ok);
        QVERIFY(!o.finder->state().leaveTracking);
        movePointer(*o.finder, QPoint(10, 10));
        QVERIFY(o.finder->state().leaveTracking);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&o.finder->finderWindow(), &leave);
        QVERIFY(!o.finder->state().leaveTracking);
        movePointer(*o.finder, QPoint(12, 10));
        QVERIFY(o.finder->state().leaveTracking);
    }

    void rightClickRendersTheJuliaSetOfTheLastMove()
    {
        OpenFinder o;
        QVERIFY(o.ok);
        ProgramFixture& f = o.f;
        QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
        auto* dialog = new StubDialog(f.app.palette, nullptr);
        f.program.adoptDialog(dialog);
        dialog->show();
        f.program.hideOpenDialogs(); // as if it had been open when the finder opened
        movePointer(*o.finder, QPoint(100, 100));
        movePointer(*o.finder, QPoint(320, 240));
        QWidget& window = o.finder->finderWindow();
        QWidget& preview = o.finder->previewWindow();
        sendMouse(window, QEvent::MouseButtonPress, QPoint(600, 400), Qt::RightButton);
        QVERIFY(!window.isVisible() && !preview.isVisible());
        QVERIFY(f.picture().isVisible());
        QVERIFY(f.menu().isVisible());
        QVERIFY(dialog->isVisible());
        QVERIFY(qv::test::waitForPicture(f));
        QTRY_VERIFY(f.program.juliaFinder() == nullptr);

        const qv::ViewState& v = f.app.view;
        QCOMPARE(v.modeWord & 3u, 2u); // the "Julia" box ticked, "Mandelbrot" not
        QVERIFY(v.julia.cr.ext > -0.5000000001L && v.julia.cr.ext < -0.4999999999L);
        QVERIFY(v.julia.xmin.ext == -1.8L && v.julia.xmax.ext == 1.8L);
        QVERIFY(v.julia.ymin.ext == -1.8L && v.julia.ymax.ext == 1.8L);
        QCOMPARE(v.iterMax, 200);
        QCOMPARE(f.app.shell.juliaShown, 1);
        QCOMPARE(f.app.shell.finderActive, 0);
        QVERIFY(f.menu().windowTitle().endsWith(QStringLiteral(") - Julia")));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
        delete dialog;
    }
};

QTEST_MAIN(JuliaFinderTest)
#include "tst_julia_finder.moc"
