// The picture window on a 150% screen: whole-number scaling, each picture pixel a sharp block of
// device pixels, and mouse positions on the right picture pixels.
#include "tests/ui/support/program_fixture.h"
#include "ui/pixel_scaling.h"

#include <cmath>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QScreen>
#include <QTest>

using qv::test::ProgramFixture;

namespace {

long double centreX(const qv::ViewState& view)
{
    return (view.mandelbrot.xmin.ext + view.mandelbrot.xmax.ext) / 2;
}

long double centreY(const qv::ViewState& view)
{
    return (view.mandelbrot.ymin.ext + view.mandelbrot.ymax.ext) / 2;
}

} // namespace

class HighDpiTest : public QObject
{
    Q_OBJECT

private slots:

    void init() { qv::test::failOnWarnings(); }

    void theScaleIsAWholeNumber()
    {
        const qreal ratio = QGuiApplication::primaryScreen()->devicePixelRatio();
        QCOMPARE(ratio, 2.0);
    }

    void eachPicturePixelIsASharpBlock()
    {
        auto f = qv::test::renderedProgram();
        QVERIFY(f);
        const QPixmap grabbed = f->picture().grab();
        QCOMPARE(grabbed.devicePixelRatio(), 2.0);
        const QImage shown = grabbed.toImage().convertToFormat(QImage::Format_RGB32);
        const int width = f->app.picture.width;
        const int height = f->app.picture.height;
        QCOMPARE(shown.size(), QSize(2 * width, 2 * height));
        for (int y = 0; y < shown.height(); ++y) {
            const auto* row = reinterpret_cast<const quint32*>(shown.constScanLine(y));
            for (int x = 0; x < shown.width(); ++x) {
                const quint32 picture =
                    f->app.picture.pixels[static_cast<std::size_t>((y / 2) * width + x / 2)];
                if ((row[x] & 0xffffffu) != (picture & 0xffffffu)) {
                    QFAIL(qPrintable(QStringLiteral("device pixel %1,%2").arg(x).arg(y)));
                }
            }
        }
    }

    void aClickZoomsAboutThePicturePixelUnderIt()
    {
        auto f = qv::test::renderedProgram();
        QVERIFY(f);
        const auto& now = f->app.view.mandelbrot;

        const struct
        {
            long double xmin, xmax, ymin, ymax;
        } m{now.xmin.ext, now.xmax.ext, now.ymin.ext, now.ymax.ext};

        const int width = f->app.picture.width;
        const int height = f->app.picture.height;
        // A quarter of the way in, in window coordinates: the picture's own quarter point.
        QTest::mouseClick(&f->picture(), Qt::LeftButton, {}, QPoint(width / 4, height / 4));
        const long double wantX = m.xmin + (m.xmax - m.xmin) / 4;
        const long double wantY = m.ymin + (m.ymax - m.ymin) / 4;
        // Within a picture pixel each way.
        const auto off = [](long double got, long double want, long double span, int pixels) {
            return std::abs(static_cast<double>((got - want) / span)) * pixels;
        };
        QVERIFY(off(centreX(f->app.view), wantX, m.xmax - m.xmin, width) < 1.0);
        QVERIFY(off(centreY(f->app.view), wantY, m.ymax - m.ymin, height) < 1.0);
    }
};

int main(int argc, char** argv)
{
    // A 1920 x 1080 screen at 144 dots per inch, where 96 is 100%.
    const QString config = QDir::temp().filePath(QStringLiteral("qv_high_dpi_screen.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(R"({"screens": [{"name": "scaled", "x": 0, "y": 0, "width": 1920,
                       "height": 1080, "logicalDpi": 144}]})") < 0) {
        return 1;
    }
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
    qv::useWholeNumberScaling();
    QApplication application(argc, argv);
    HighDpiTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_high_dpi.moc"
