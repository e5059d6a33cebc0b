// The "Fractal parameters" dialog as a person uses it: its controls, the two buttons with their
// bounds, the size, texture and type choices, the deep-zoom box, input that waits for a
// render, and the options it makes reachable (boxed zoom, the Julia pick).
#include "app/parameter_settings.h"
#include "tests/ui/support/program_fixture.h"
#include "ui/parameters_dialog.h"

#include <cmath>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using qv::CommandId;
using qv::OptionBox;
using qv::ParametersDialog;
using qv::test::ProgramFixture;

namespace {

ParametersDialog* openDialog(ProgramFixture& f)
{
    f.program.dispatchCommand(CommandId::FractalParameters);
    return f.program.parametersDialog();
}

void type(QLineEdit* field, const QString& text)
{
    field->selectAll();
    QTest::keyClicks(field, text);
}

// An entry chosen from the open list (also the entry already shown).
void choose(QComboBox* list, int entry)
{
    list->setCurrentIndex(entry);
    emit list->activated(entry);
}

bool near(long double value, double expected)
{
    return std::fabs(static_cast<double>(value) - expected) < 1e-15;
}

// The texts of every label, button and field.
QStringList captions(ParametersDialog* d)
{
    QStringList texts;
    for (QWidget* w : d->findChildren<QWidget*>()) {
        texts << w->property("text").toString();
    }
    return texts;
}

bool ticked(ParametersDialog* d, OptionBox box)
{
    return d->optionBox(box)->isChecked();
}

// This Mandelbrot (or Julia) window of the 352 x 288 picture with a pixel step of
// 3.2 * 10^exponent, from the origin.
bool takeStep(ProgramFixture& f, int exponent)
{
    const qv::WindowRef w = qv::currentWindow(f.app.view);
    // Moved in whole: GCC 12 warns wrongly about copying short texts into these strings.
    w.xmin.text = std::string("0");
    w.ymin.text = std::string("0");
    w.xmax.text = std::string("1.1264e").append(std::to_string(exponent + 3));
    w.ymax.text = std::string("9.216e").append(std::to_string(exponent + 2));
    return qv::takeTypedView(f.app.view, qv::viewContext(f.app), f.program, qv::TypedView::Window);
}

} // namespace

class ParametersTest : public QObject
{
    Q_OBJECT

private slots:

    void init() { qv::test::failOnWarnings(); }

    void opensOnceBesideThePictureWithEveryControlReadable()
    {
        auto f = qv::test::renderedProgram(4);
        QVERIFY(f);
        QVERIFY(f->menu().action(CommandId::FractalParameters)->isEnabled());
        f->menu().action(CommandId::FractalParameters)->trigger();
        ParametersDialog* d = f->program.parametersDialog();
        QVERIFY(d);
        QCOMPARE(d->windowTitle(), QStringLiteral("Fractal parameters"));
        QVERIFY(!d->isModal());
        QCOMPARE(openDialog(*f), d);
        QCOMPARE(d->findChildren<ParametersDialog*>().size(), 0);

        const QStringList texts = captions(d);
        for (const char* caption : {"Iter max:",      "Bailout:",
                                    "Pot value:",     "Unzoom:",
                                    "Pic size:",      "Pic format:",
                                    "Texture:",       "Threads:",
                                    "Inside color",   "Color by potential",
                                    "Boxed zoom",     "Auto iter increase",
                                    "Mandelbrot",     "Julia",
                                    "Smooth color",   "Autosave parameter",
                                    "Multi-threaded", "Deep zoom",
                                    "Auto pot value", "Unzoom video",
                                    "Fast deep zoom", "APPLY AND EXIT",
                                    "REDRAW"}) {
            QVERIFY2(texts.contains(QString::fromLatin1(caption)), caption);
        }
        QCOMPARE(d->findChild<QGroupBox*>()->title(), QStringLiteral("Options"));
        QCOMPARE(d->sizeList()->count(), 36);
        QCOMPARE(d->sizeList()->itemText(35), QStringLiteral("Z  8192 x  6140"));
        QCOMPARE(d->sizeList()->currentText(), QStringLiteral("2  352 x  288"));
        QCOMPARE(d->formatList()->count(), 4);
        QCOMPARE(d->formatList()->currentText(), QStringLiteral("A. JPG"));
        QCOMPARE(d->textureList()->count(), 28);
        QCOMPARE(d->textureList()->itemText(27), QStringLiteral("Texture R"));
        QCOMPARE(d->iterMaxField()->text(), QStringLiteral(" 100"));
        QCOMPARE(d->bailoutField()->text(), QStringLiteral(" 128"));
        QCOMPARE(d->potValueField()->text(), QStringLiteral(" 0.0001"));
        QCOMPARE(d->unzoomField()->text(), QStringLiteral(" 1.02"));
        QCOMPARE(d->threadsField()->text(), QStringLiteral(" 4"));
        QVERIFY(ticked(d, OptionBox::Mandelbrot) && ticked(d, OptionBox::ColourByPotential));
        QVERIFY(!ticked(d, OptionBox::Julia) && !ticked(d, OptionBox::DeepZoom));
        QVERIFY(!ticked(d, OptionBox::FastDeepZoom));

        // Every control shows its text whole, none covers another, and the picture sits at the
        // top left: the sizes in dialog units are minimums that grow with the text.
        QVERIFY(QTest::qWaitForWindowExposed(d));
        const qv::DialogUnits du(d->font());
        QVERIFY(d->width() >= du.x(360) && d->height() >= du.y(370));
        std::vector<QWidget*> controls;
        for (QWidget* w : d->findChildren<QWidget*>()) {
            if (w->isVisible() && w->parentWidget() != nullptr &&
                (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w) ||
                 qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w))) {
                controls.push_back(w);
            }
        }
        // 8 labels and the picture, 5 fields, 3 lists, 13 boxes, 2 buttons.
        QCOMPARE(controls.size(), std::size_t{32});
        const auto onDialog = [d](QWidget* w) {
            return QRect(w->mapTo(d, QPoint(0, 0)), w->size());
        };
        for (QWidget* w : controls) {
            QVERIFY2(d->rect().contains(onDialog(w)), w->metaObject()->className());
            if (!qobject_cast<QLineEdit*>(w)) {
                QVERIFY(w->width() >= w->sizeHint().width());
                QVERIFY(w->height() >= w->sizeHint().height());
            }
            for (QWidget* other : controls) {
                QVERIFY(other == w || !onDialog(w).intersects(onDialog(other)));
            }
        }
        QLabel* picture = nullptr;
        for (QLabel* label : d->findChildren<QLabel*>()) {
            if (!label->pixmap().isNull()) {
                picture = label;
            }
        }
        QVERIFY(picture);
        QVERIFY(picture->x() < du.x(10) && picture->y() < du.y(10));
        // A long pot value fits its field.
        QLineEdit* pot = d->potValueField();
        pot->setText(QStringLiteral(" 6.66666666667e-5"));
        QVERIFY(pot->fontMetrics().horizontalAdvance(pot->text()) < pot->width() - 8);
        // The strip shows through between the controls: palette entry 0 at the top left.
        const QImage shown = d->grab().toImage();
        QCOMPARE(shown.pixel(1, 1) & 0xffffffu, f->app.palette.colourAt(0) & 0xffffffu);

        // Esc belongs to the render; the close box closes, and the dialog opens again with the
        // values in force.
        QTest::keyClick(d->iterMaxField(), Qt::Key_Escape);
        QVERIFY(f->program.parametersDialog());
        d->close();
        QVERIFY(!f->program.parametersDialog());
        f->app.view.iterMax = 777;
        QCOMPARE(openDialog(*f), d);
        QCOMPARE(d->iterMaxField()->text(), QStringLiteral(" 777"));
    }

    void oneProcessorHasNeitherThreadsNorMultiThreaded()
    {
        auto f = qv::test::renderedProgram(1);
        QVERIFY(f);
        ParametersDialog* d = openDialog(*f);
        QVERIFY(!d->threadsField());
        QVERIFY(!d->optionBox(OptionBox::MultiThreaded));
        QVERIFY(!captions(d).contains(QStringLiteral("Threads:")));
        type(d->iterMaxField(), QStringLiteral("60"));
        QTest::mouseClick(d->redrawButton(), Qt::LeftButton);
        QVERIFY(qv::test::waitForPicture(*f));
        QCOMPARE(f->app.settings.threads, 1);
        QCOMPARE(f->app.view.iterMax, 60);
    }

    void buttonsTakeTheTypedNumbersWithTheirBounds_data()
    {
        QTest::addColumn<bool>("redraw");
        QTest::addColumn<QStringList>("typed"); // iter max, bailout, pot value, unzoom, threads
        QTest::addColumn<QStringList>("shown"); // the fields afterwards
        QTest::addColumn<bool>("warned");
        QTest::newRow("redraw raises a low limit")
            << true << QStringList{"5", "1", "0", "0.5", "9"}
            << QStringList{" 10", " 2", " 0.0001", " 0.5", " 4"} << true;
        QTest::newRow("apply never lowers")
            << false << QStringList{"50", "3.5", "-1e-9", "1.03", "0"}
            << QStringList{" 200", " 3.5", "-1e-9", " 1.03", " 1"} << false;
        QTest::newRow("redraw may lower")
            << true << QStringList{"50", "abc", "1e-9", "1.01", "2"}
            << QStringList{" 50", " 2", " 1e-9", " 1.01", " 2"} << false;
        QTest::newRow("rounded, no number")
            << false << QStringList{"250.5", "x", "1,5", "no", "-7"}
            << QStringList{" 250", " 2", " 0.0001", " 0", " 1"} << true;
        QTest::newRow("out of range keeps")
            << true << QStringList{"3e9", "1e999", "-1e999", "1e39", "5e9"}
            << QStringList{" 200", " 128", " 0.0001", " 1.02", " 4"} << false;
    }

    void buttonsTakeTheTypedNumbersWithTheirBounds()
    {
        QFETCH(bool, redraw);
        QFETCH(QStringList, typed);
        QFETCH(QStringList, shown);
        QFETCH(bool, warned);
        auto f = qv::test::renderedProgram(4);
        QVERIFY(f);
        f->app.view.iterMax = 200;
        f->app.settings.autoIterIncrease = 0;
        ParametersDialog* d = openDialog(*f);
        QLineEdit* fields[] = {d->iterMaxField(), d->bailoutField(), d->potValueField(),
                               d->unzoomField(), d->threadsField()};
        for (int i = 0; i < 5; ++i) {
            type(fields[i], typed[i]);
        }
        const int renders = f->program.rendersStarted();
        QTest::mouseClick(redraw ? d->redrawButton() : d->applyButton(), Qt::LeftButton);
        QCOMPARE(f->prompts.asked().size(), std::size_t{warned ? 1u : 0u});
        if (warned) {
            QCOMPARE(f->prompts.texts()[0],
                     std::string("Values less than 1 are not allowed!\nTry between 1.01 and 1.03"));
        }
        QVERIFY(qv::test::waitForPicture(*f));
        QCOMPARE(f->program.rendersStarted(), renders + (redraw ? 1 : 0));
        QCOMPARE(f->program.parametersDialog() == d, redraw);
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(fields[i]->text(), shown[i]);
        }
        QCOMPARE(f->app.view.iterMax, shown[0].trimmed().toInt());
        QCOMPARE(f->app.settings.unzoomFactor, shown[3].trimmed().toFloat());
    }

    void textureAndSizeChoicesTakeEffect()
    {
        auto f = qv::test::renderedProgram(4);
        QVERIFY(f);
        ParametersDialog* d = openDialog(*f);
        choose(d->textureList(), 5);
        QCOMPARE(d->bailoutField()->text(), QStringLiteral(" 4"));
        QVERIFY(!ticked(d, OptionBox::ColourByPotential) && !ticked(d, OptionBox::SmoothColour));
        QCOMPARE(f->app.paletteState.maxColourStep, 5.0f);
        QCOMPARE(qv::drawingMode(f->app.view.modeWord), 6);
        QCOMPARE(f->app.shell.pictureValid, 1);

        choose(d->textureList(), 0);
        QCOMPARE(d->bailoutField()->text(), QStringLiteral(" 128"));
        QVERIFY(ticked(d, OptionBox::ColourByPotential) && !ticked(d, OptionBox::SmoothColour));
        QCOMPARE(f->app.paletteState.maxColourStep, 1.9f);

        // A drawing mode of the workers only, drawn by REDRAW.
        choose(d->textureList(), 26);
        QTest::mouseClick(d->redrawButton(), Qt::LeftButton);
        QVERIFY(qv::test::waitForPicture(*f));
        QCOMPARE(f->app.render.lastRenderer, qv::RendererKind::Threaded);
        QCOMPARE(d->textureList()->currentText(), QStringLiteral("Texture Q"));

        // The size question comes only for a new size, and cancel keeps the size.
        choose(d->sizeList(), 2); // 352 x 288, in force
        QVERIFY(f->prompts.asked().empty());

        f->prompts.answer("cancel");
        choose(d->sizeList(), 1);
        QCOMPARE(f->prompts.texts().back(),
                 std::string("REDRAW REQUIRED!\nDo You Want to Continue?"));
        QVERIFY(f->prompts.asked().back().cancelPreselected);
        QCOMPARE(f->picture().size(), QSize(352, 288));
        QCOMPARE(f->app.shell.pictureValid, 1);
        QCOMPARE(d->sizeList()->currentIndex(), 1);

        f->prompts.answer("ok");
        choose(d->sizeList(), 1);
        QVERIFY(qv::test::waitForPicture(*f));
        QCOMPARE(f->picture().size(), QSize(320, 240));
        QCOMPARE(f->app.picture.width, 320);
        QCOMPARE(f->app.iterations.height, 240);
        QVERIFY(f->app.view.mandelbrot.dx.ext == 4.0L / 320);
        QCOMPARE(d->sizeList()->currentIndex(), 1);

        // A picture larger than the 800 x 600 screen starts at the screen's corner.
        f->prompts.answer("ok");
        choose(d->sizeList(), 9);
        QVERIFY(qv::test::waitForPicture(*f));
        QCOMPARE(f->picture().size(), QSize(1024, 768));
        QCOMPARE(f->picture().pos(), QPoint(0, 0));
    }

    void juliaTakesTheCentreAndComesBack()
    {
        // The default view at 640 x 480, whose centre is (-0.5, 0) exactly.
        auto f = std::make_unique<ProgramFixture>();
        QVERIFY(f->showWindows());
        QVERIFY(qv::test::waitForPicture(*f));
        ParametersDialog* d = openDialog(*f);
        d->optionBox(OptionBox::Julia)->click();
        QVERIFY(ticked(d, OptionBox::Julia) && !ticked(d, OptionBox::Mandelbrot));
        const qv::JuliaNumbers& j = f->app.view.julia;
        QVERIFY(j.cr.ext == -0.5L && j.ci.ext == 0.0L);
        QVERIFY(j.xmin.ext == -1.8L && j.xmax.ext == 1.8L && j.ymax.ext == 1.8L);
        QCOMPARE(f->app.shell.pictureValid, 1);

        // The next click zooms into the Julia set, which renders.
        QTest::mouseClick(&f->picture(), Qt::LeftButton, {}, QPoint(320, 240));
        QVERIFY(qv::test::waitForPicture(*f));
        QVERIFY(near(j.xmax.ext - j.xmin.ext, 1.8) && j.cr.ext == -0.5L);
        QCOMPARE(f->app.shell.juliaShown, 1);

        d->optionBox(OptionBox::Julia)->click();
        QVERIFY(!ticked(d, OptionBox::Julia) && ticked(d, OptionBox::Mandelbrot));
        QCOMPARE(f->app.shell.juliaShown, 0);
        QVERIFY(j.cr.ext == -0.5L);
    }

    // Unticking "Mandelbrot" leaves the Mandelbrot picture on screen: the next click picks
    // the Julia constant there, and the Julia set is drawn at its default window.
    void untickedMandelbrotLetsTheNextClickPickTheConstant()
    {
        auto f = qv::test::renderedProgram(4);
        QVERIFY(f);
        ParametersDialog* d = openDialog(*f);
        d->optionBox(OptionBox::Mandelbrot)->click();
        QVERIFY(ticked(d, OptionBox::Julia) && !ticked(d, OptionBox::Mandelbrot));
        QTest::mouseClick(&f->picture(), Qt::LeftButton, {}, QPoint(88, 72));
        QVERIFY(qv::test::waitForPicture(*f));
        const qv::JuliaNumbers& j = f->app.view.julia;
        QVERIFY(near(j.cr.ext, -1.5) && near(j.ci.ext, -0.75));
        QVERIFY(j.xmin.ext == -1.8L && j.ymax.ext == 1.8L);
        QCOMPARE(f->app.shell.juliaShown, 1);
    }

    void deepZoomBoxFollowsTheDepth_data()
    {
        QTest::addColumn<bool>("julia");
        QTest::addColumn<int>("exponent");
        QTest::addColumn<bool>("tickedAfter");
        QTest::addColumn<bool>("autosaveAfter");
        QTest::newRow("too deep to untick") << false << -20 << true << true;
        QTest::newRow("shallow enough") << false << -5 << false << false;
        QTest::newRow("a Julia view needs it again") << true << -12 << true << false;
    }

    void deepZoomBoxFollowsTheDepth()
    {
        QFETCH(bool, julia);
        QFETCH(int, exponent);
        QFETCH(bool, tickedAfter);
        QFETCH(bool, autosaveAfter);
        auto f = qv::test::renderedProgram(4);
        QVERIFY(f);
        if (julia) {
            f->app.view.modeWord ^= 3u;
            f->app.shell.juliaShown = 1;
        }
        QVERIFY(takeStep(*f, exponent));
        QCOMPARE(f->app.view.deepLimit, exponent);
        f->app.view.deepZoom = 1;
        f->app.settings.autosaveParameter = 1;
        ParametersDialog* d = openDialog(*f);
        f->app.view.deepZoom = 1;
        d->refill();
        d->optionBox(OptionBox::DeepZoom)->click();
        QCOMPARE(ticked(d, OptionBox::DeepZoom), tickedAfter);
        QCOMPARE(f->app.view.deepZoom, tickedAfter ? 1 : 0);
        QCOMPARE(ticked(d, OptionBox::AutosaveParameter), autosaveAfter);
    }

    void dialogFollowsAClickZoomAndARefill()
    {
        auto f = qv::test::renderedProgram(4);
        QVERIFY(f);
        ParametersDialog* d = openDialog(*f);
        QTest::mouseClick(&f->picture(), Qt::LeftButton, {}, QPoint(100, 100));
        QVERIFY(qv::test::waitForPicture(*f));
        QCOMPARE(f->app.view.iterMax, 200);
        QCOMPARE(d->iterMaxField()->text(), QStringLiteral(" 200"));

        // Settings changed elsewhere show in the same dialog, which stays where it is.
        const QPoint place = d->pos();
        f->app.settings.boxedZoom = 1;
        f->app.view.bailout = 3.25;
        f->program.refreshOpenDialogs();
        QCOMPARE(f->program.parametersDialog(), d);
        QCOMPARE(d->pos(), place);
        QVERIFY(ticked(d, OptionBox::BoxedZoom));
        QCOMPARE(d->bailoutField()->text(), QStringLiteral(" 3.25"));
    }

    // Input given while a picture renders waits for its end; a list keeps its latest entry.
    void inputDuringARenderWaitsForItsEndThenTakesEffect()
    {
        auto f = qv::test::renderedProgram(4);
        QVERIFY(f);
        ParametersDialog* d = openDialog(*f);
        f->app.shell.rendering = 1;
        d->optionBox(OptionBox::BoxedZoom)->click();
        d->optionBox(OptionBox::FastDeepZoom)->click();
        choose(d->formatList(), 1);
        choose(d->formatList(), 3);
        type(d->iterMaxField(), QStringLiteral("300"));
        QTest::mouseClick(d->applyButton(), Qt::LeftButton);
        QCOMPARE(f->app.settings.boxedZoom, 0);
        QCOMPARE(f->app.settings.fastDeepZoom, 0);
        QCOMPARE(f->app.view.iterMax, 100);
        QVERIFY(f->program.parametersDialog());
        f->app.shell.rendering = 0;
        f->program.runPendingCommands();
        QCOMPARE(f->app.settings.boxedZoom, 1);
        QCOMPARE(f->app.settings.fastDeepZoom, 1);
        QCOMPARE(f->app.settings.pictureFormatCode, std::string("PNG"));
        QCOMPARE(f->app.view.iterMax, 300);
        QVERIFY(!f->program.parametersDialog());

        // Boxed zoom, ticked in the dialog, zooms to the box dragged on the picture.
        QTest::mousePress(&f->picture(), Qt::LeftButton, {}, QPoint(88, 72));
        QTest::mouseMove(&f->picture(), QPoint(200, 150));
        QTest::mouseMove(&f->picture(), QPoint(264, 216));
        QTest::mouseRelease(&f->picture(), Qt::LeftButton, {}, QPoint(264, 216));
        QVERIFY(qv::test::waitForPicture(*f));
        const qv::MandelbrotNumbers& m = f->app.view.mandelbrot;
        QVERIFY(near(m.xmin.ext, -1.5) && near(m.xmax.ext, 0.5));
        QVERIFY(near(m.ymin.ext, -0.75) && near(m.ymax.ext, 0.75));
    }
};

QTEST_MAIN(ParametersTest)
#include "tst_parameters.moc"
