// The location dialog: the fields of each view type, REDRAW with corners, centre or Julia
// constant (deep locations keep their digits), refusals that change nothing, RESET
// COORDINATES, actions that wait for a render, its layout and background.
#include "engine/view_state.h"
#include "tests/ui/support/program_fixture.h"
#include "ui/auxiliary_dialogs.h"
#include "ui/location_dialog.h"

#include <string>
#include <vector>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gmp.h>

using qv::CommandId;
using qv::LocationDialog;
using qv::LocationField;
using qv::test::ProgramFixture;
using qv::test::waitForPicture;

namespace {

// The program with an 80 x 60 picture rendered, so that deep renders stay quick.
std::unique_ptr<ProgramFixture> smallProgram()
{
    auto f = std::make_unique<ProgramFixture>(qv::ScreenFacts{800, 600, 32}, 2);
    f->app.settings.pictureWidth = 80;
    f->app.settings.pictureHeight = 60;
    f->app.iterations.allocate(80, 60);
    qv::applyViewChange(f->app.view, qv::viewContext(f->app), f->program);
    if (!f->showWindows() || !waitForPicture(*f)) {
        return {};
    }
    return f;
}

LocationDialog* openDialog(ProgramFixture& f)
{
    f.program.dispatchCommand(CommandId::Location);
    return f.program.auxiliaryDialogs().location();
}

void type(LocationDialog* d, LocationField field, const std::string& text)
{
    d->field(field)->setText(QString::fromStdString(text));
}

double value(const qv::ViewNumber& n)
{
    return mpf_get_d(n.mp());
}

// |typed - n| below 10^exponent, read at 2048 bits.
bool closeTo(const std::string& typed, const qv::ViewNumber& n, long exponent)
{
    mpf_t x, bound;
    mpf_init2(x, 2048);
    mpf_init2(bound, 2048);
    mpf_set_str(x, typed.c_str(), 10);
    mpf_sub(x, x, n.mp());
    mpf_abs(x, x);
    mpf_set_str(bound, ("1e" + std::to_string(exponent)).c_str(), 10);
    const bool close = mpf_cmp(x, bound) < 0;
    mpf_clear(x);
    mpf_clear(bound);
    return close;
}

} // namespace

class LocationTest : public QObject
{
    Q_OBJECT

private slots:

    void init() { qv::test::failOnWarnings(); }

    void opensOnTheDefaultViewWithCornersEnabled()
    {
        auto f = smallProgram();
        QVERIFY(f);
        LocationDialog* d = openDialog(*f);
        QVERIFY(d != nullptr);
        QTRY_VERIFY(d->isVisible());
        QCOMPARE(d->windowTitle(), QStringLiteral("FRACTAL LOCATION"));

        struct Row
        {
            LocationField field;
            QString label, text;
            bool shown, enabled;
        };

        const std::vector<Row> rows = {
            {LocationField::Xmin, "Realmin:", "-2.5e0", true, true},
            {LocationField::Xmax, "Realmax:", "1.5e0", true, true},
            {LocationField::Ymin, "Imagmin:", "-1.5e0", true, true},
            {LocationField::Ymax, "Imagmax:", "1.5e0", true, true},
            {LocationField::CentreRe, "Real center", "-5.0e-1", true, false},
            {LocationField::CentreIm, "Imag center", "0.0e0", true, false},
            {LocationField::Magnification, "Magnification", "1.0e0", true, false},
            {LocationField::IterMax, "Iter max: ", " 100", true, true},
            {LocationField::JuliaRe, "Julia real:", "", false, false},
            {LocationField::JuliaIm, "Julia imag:", "", false, false},
        };
        for (const Row& r : rows) {
            QCOMPARE(d->label(r.field)->text(), r.label);
            QCOMPARE(d->field(r.field)->isVisible(), r.shown);
            QCOMPARE(d->field(r.field)->isEnabled(), r.enabled);
            if (r.shown) {
                QCOMPARE(d->field(r.field)->text(), r.text);
            }
            // Deep locations are typed whole.
            QVERIFY(d->field(r.field)->maxLength() > 1'000'000);
        }
        QVERIFY(d->useCentreBox()->isVisible());
        QVERIFY(!d->useCentreBox()->isChecked());
        QCOMPARE(d->coordinatesFrame()->title(), QStringLiteral("Fractal coordinates"));
        QCOMPARE(d->centreFrame()->title(), QStringLiteral("Center/Magnification"));
        QCOMPARE(d->redrawButton()->text(), QStringLiteral("REDRAW"));
        QCOMPARE(d->resetButton()->text(), QStringLiteral("RESET COORDINATES"));

        // At most one: the menu brings the open dialog up again.
        QCOMPARE(openDialog(*f), d);
    }

    void centreAndMagnificationRedrawAFourByThreeWindow()
    {
        auto f = smallProgram();
        QVERIFY(f);
        LocationDialog* d = openDialog(*f);
        d->useCentreBox()->click();
        QVERIFY(f->program.auxiliaryDialogs().useCentre());
        QVERIFY(!d->field(LocationField::Xmin)->isEnabled());
        QVERIFY(d->field(LocationField::Magnification)->isEnabled());
        type(d, LocationField::CentreRe, "-0.75");
        type(d, LocationField::CentreIm, "0.1");
        type(d, LocationField::Magnification, "100");
        type(d, LocationField::IterMax, "5");
        const int renders = f->program.rendersStarted();
        d->redrawButton()->click();
        QVERIFY(!d->isVisible());
        QVERIFY(waitForPicture(*f));
        QCOMPARE(f->program.rendersStarted(), renders + 1);
        const qv::MandelbrotNumbers& m = f->app.view.mandelbrot;
        QVERIFY(qAbs(value(m.xmin) + 0.77) < 1e-12);
        QVERIFY(qAbs(value(m.xmax) + 0.73) < 1e-12);
        QVERIFY(qAbs(value(m.ymin) - 0.085) < 1e-12);
        QVERIFY(qAbs(value(m.ymax) - 0.115) < 1e-12);
        QCOMPARE(f->app.view.iterMax, 10);

        // The choice outlives the dialog.
        d = openDialog(*f);
        QVERIFY(d->useCentreBox()->isChecked());
        QVERIFY(d->field(LocationField::CentreRe)->isEnabled());
    }

    // A Julia view shows its constant in the rows of Imagmin and Imagmax; with "Use
    // Center/Magnification" left on, the pair is disabled and REDRAW sets the limit only.
    void juliaViewTakesOnlyItsConstant()
    {
        auto f = smallProgram();
        QVERIFY(f);
        f->app.view.modeWord = 4;
        f->app.shell.juliaShown = 1;
        qv::resetView(f->app.view);
        qv::applyViewChange(f->app.view, qv::viewContext(f->app), f->program);
        LocationDialog* d = openDialog(*f);
        for (std::size_t i = 0; i < qv::kLocationFieldCount; ++i) {
            const auto field = static_cast<LocationField>(i);
            QCOMPARE(d->field(field)->isVisible(), qv::locationFieldShown(field, false));
        }
        QVERIFY(!d->useCentreBox()->isVisible() && !d->centreFrame()->isVisible());
        QCOMPARE(d->field(LocationField::JuliaIm)->geometry(),
                 d->field(LocationField::Ymax)->geometry());
        const std::string xmin = f->app.view.julia.xmin.text;
        type(d, LocationField::JuliaRe, "-0.8");
        type(d, LocationField::JuliaIm, "0.156");
        type(d, LocationField::IterMax, "60");
        d->redrawButton()->click();
        QVERIFY(waitForPicture(*f));
        QCOMPARE(value(f->app.view.julia.cr), -0.8);
        QCOMPARE(value(f->app.view.julia.ci), 0.156);
        QCOMPARE(f->app.view.julia.xmin.text, xmin);

        d = openDialog(*f);
        d->useCentreBox()->click();
        QVERIFY(!d->field(LocationField::JuliaRe)->isEnabled());
        type(d, LocationField::JuliaRe, "0.3");
        type(d, LocationField::IterMax, "77");
        d->redrawButton()->click();
        QVERIFY(waitForPicture(*f));
        QCOMPARE(value(f->app.view.julia.cr), -0.8);
        QCOMPARE(f->app.view.iterMax, 77);
    }

    // A window 4e-290 wide typed with 300-digit corners: deep zoom at a precision that holds
    // them, and the numbers are the typed ones (the precision decides how many digits show).
    void deepCornersSurviveRedraw()
    {
        auto f = smallProgram();
        QVERIFY(f);
        LocationDialog* d = openDialog(*f);
        const std::string x(287, '0');
        const std::string y(288, '0');
        const std::string xmin = "-0.75" + x + "51234567891";
        const std::string xmax = "-0.75" + x + "11234567891";
        const std::string ymin = "0.1" + y + "19876543211";
        const std::string ymax = "0.1" + y + "49876543211";
        type(d, LocationField::Xmin, xmin);
        type(d, LocationField::Xmax, xmax);
        type(d, LocationField::Ymin, ymin);
        type(d, LocationField::Ymax, ymax);
        type(d, LocationField::IterMax, "10");
        d->redrawButton()->click();
        QVERIFY(waitForPicture(*f, 60000));
        const qv::ViewState& view = f->app.view;
        QCOMPARE(view.deepZoom, 1);
        QVERIFY(view.precisionBits >= 1000);
        QVERIFY(closeTo(xmin, view.mandelbrot.xmin, -305));
        QVERIFY(closeTo(xmax, view.mandelbrot.xmax, -305));
        QVERIFY(closeTo(ymin, view.mandelbrot.ymin, -305));
        QVERIFY(closeTo(ymax, view.mandelbrot.ymax, -305));

        // Reopened, the dialog shows the same numbers again.
        d = openDialog(*f);
        QVERIFY(closeTo(d->field(LocationField::Xmin)->text().toStdString(), view.mandelbrot.xmin,
                        -305));
    }

    void refusedTextChangesNothingAndStaysTyped()
    {
        auto f = smallProgram();
        QVERIFY(f);

        struct Case
        {
            LocationField field;
            std::string text;
            bool centre;
            std::string message;
        };

        const std::vector<Case> cases = {
            {LocationField::Xmin, "abc", false, "Realmin is not a number."},
            {LocationField::Magnification, "0", true, "Magnification must not be 0."},
        };
        for (const Case& c : cases) {
            LocationDialog* d = openDialog(*f);
            if (d->useCentreBox()->isChecked() != c.centre) {
                d->useCentreBox()->click();
            }
            const std::string xmin = f->app.view.mandelbrot.xmin.text;
            const int renders = f->program.rendersStarted();
            type(d, c.field, c.text);
            type(d, LocationField::IterMax, "999");
            const std::size_t asked = f->prompts.asked().size();
            d->redrawButton()->click();
            QCOMPARE(f->prompts.asked().size(), asked + 1);
            QCOMPARE(f->prompts.asked().back().text, c.message);
            QCOMPARE(f->prompts.asked().back().title, std::string("QUORVALIS"));
            QVERIFY(d->isVisible());
            QCOMPARE(d->field(c.field)->text().toStdString(), c.text);
            QCOMPARE(f->app.view.iterMax, 100);
            QCOMPARE(f->app.view.mandelbrot.xmin.text, xmin);
            QCOMPARE(f->app.shell.pictureValid, 1);
            QCOMPARE(f->program.rendersStarted(), renders);
            d->close();
        }
    }

    void resetKeepsTheDialogAndItsTextUntilThePictureIsDone()
    {
        auto f = smallProgram();
        QVERIFY(f);
        LocationDialog* d = openDialog(*f);
        type(d, LocationField::Xmin, "-1");
        type(d, LocationField::Xmax, "0");
        type(d, LocationField::Ymin, "0");
        type(d, LocationField::Ymax, "0.75");
        d->redrawButton()->click();
        QVERIFY(waitForPicture(*f));
        d = openDialog(*f);
        QCOMPARE(d->field(LocationField::Xmin)->text(), QStringLiteral("-1.0e0"));
        d->resetButton()->click();
        QVERIFY(d->isVisible());
        QCOMPARE(f->app.shell.pictureValid, 0);
        QCOMPARE(d->field(LocationField::Xmin)->text(), QStringLiteral("-1.0e0"));
        QVERIFY(waitForPicture(*f));
        QVERIFY(d->isVisible());
        QCOMPARE(d->field(LocationField::Xmin)->text(), QStringLiteral("-2.5e0"));
        QCOMPARE(d->field(LocationField::Magnification)->text(), QStringLiteral("1.0e0"));
    }

    void actionsDuringARenderWaitForItsEnd()
    {
        auto f = smallProgram();
        QVERIFY(f);
        LocationDialog* d = openDialog(*f);
        type(d, LocationField::IterMax, "321");
        f->app.shell.rendering = 1;
        d->redrawButton()->click();
        d->useCentreBox()->click();
        QCOMPARE(f->app.view.iterMax, 100);
        QVERIFY(!f->program.auxiliaryDialogs().useCentre());
        QCOMPARE(f->program.pendingActions(), std::size_t{2});
        f->app.shell.rendering = 0;
        f->program.runPendingCommands();
        QCOMPARE(f->app.view.iterMax, 321);
        QVERIFY(f->program.auxiliaryDialogs().useCentre());
    }

    void controlsFitTheirTextsOnThePaletteStrip()
    {
        auto f = smallProgram();
        QVERIFY(f);
        LocationDialog* d = openDialog(*f);
        const qv::DialogUnits units(d->font());
        for (QWidget* w : d->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w)) {
                QVERIFY(w->width() >= w->sizeHint().width());
            }
            QVERIFY(d->rect().contains(w->geometry()));
        }
        QVERIFY(d->width() >= units.x(460) && d->height() >= units.y(300));
        // The background is the palette strip: band 0 at the top left corner.
        const QImage shot = d->grab().toImage();
        QCOMPARE(shot.pixel(1, 1) & 0xffffffu, f->app.palette.colourAt(0) & 0xffffffu);
    }
};

QTEST_MAIN(LocationTest)
#include "tst_location.moc"
