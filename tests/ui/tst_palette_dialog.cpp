// The palette dialog over a rendered picture: its controls and labels, the offset slider and
// its title, GENERATE and RANDOM with the recolouring, SAVE and LOAD, and its actions while a
// picture renders.
#include "engine/colouring.h"
#include "tests/ui/support/program_fixture.h"
#include "ui/palette_dialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

using qv::PaletteButton;
using qv::PaletteDialog;
using qv::PaletteOption;
using qv::test::ProgramFixture;

namespace {

constexpr std::uint32_t kSmooth = qv::ColourSettings::kSmoothColour;

PaletteDialog* openDialog(ProgramFixture& f)
{
    f.program.dispatchCommand(qv::CommandId::PaletteControl);
    return f.picture().findChild<PaletteDialog*>();
}

void click(PaletteDialog* d, PaletteButton which)
{
    QTest::mouseClick(d->button(which), Qt::LeftButton);
}

// The picture as it must look when rebuilt from the stored indices with the current palette.
std::vector<std::uint32_t> rebuiltPicture(ProgramFixture& f)
{
    qv::PictureBuffer expected;
    qv::Palette palette = f.app.palette;
    qv::buildPicture(expected, f.app.iterations, palette, qv::drawingMode(f.app.view.modeWord),
                     f.app.paletteState.paletteOffset);
    return expected.pixels;
}

QStringList fieldTexts(PaletteDialog* d)
{
    QStringList texts;
    for (int i = 0; i < 9; ++i) {
        texts << d->parameterField(i)->text();
    }
    return texts << d->maxColourStepField()->text();
}

} // namespace

class PaletteDialogTest : public QObject
{
    Q_OBJECT

private slots:

    void init() { qv::test::failOnWarnings(); }

    void opensWithTheSettingsInForceAndAgainAfterExitAndTheSliderRecolours()
    {
        auto f = qv::test::renderedProgram();
        QVERIFY(f);
        f->app.paletteState.paletteOffset = 41;
        f->app.paletteState.options.exp2 = true;
        PaletteDialog* d = openDialog(*f);
        QVERIFY(d && d->isVisible());
        QCOMPARE(d->windowTitle(), QStringLiteral("PALETTE SETUP"));
        QCOMPARE(fieldTexts(d), (QStringList{" 12", " 164", " 127", " 1", " 1", " 1", " 245",
                                             " 172", " 200", " 1.9"}));
        QCOMPARE(d->offsetSlider()->value(), 42);
        QCOMPARE(d->offsetSlider()->maximum(), 262143 - 100);
        QCOMPARE(f->app.paletteState.paletteOffset, 41);
        QVERIFY(d->optionBox(PaletteOption::Exp2)->isChecked());
        QVERIFY(!d->optionBox(PaletteOption::Exp3)->isChecked());
        QCOMPARE(openDialog(*f), d);

        QTest::keyClick(d->offsetSlider(), Qt::Key_Right);
        f->app.paletteState.paletteOffset = 300;
        click(d, PaletteButton::Exit);
        QVERIFY(!d->isVisible());
        QVERIFY(f->app.picture.pixels == rebuiltPicture(*f));
        QCOMPARE(openDialog(*f), d);
        QCOMPARE(d->windowTitle(), QStringLiteral("PALETTE SETUP"));
        QCOMPARE(d->offsetSlider()->value(), 301);
        f->app.paletteState.parameters.start[0] = 218.0f; // as new defaults would
        f->program.reopenPaletteDialog();
        QCOMPARE(d->parameterField(0)->text(), QStringLiteral(" 218"));

        // The slider sets the offset, the title and the picture, without a render.
        const std::pair<Qt::Key, int> moves[] = {
            {Qt::Key_Home, 0}, {Qt::Key_Right, 1}, {Qt::Key_PageUp, 6}, {Qt::Key_End, 262042}};
        for (const auto& [key, offset] : moves) {
            QTest::keyClick(d->offsetSlider(), key);
            QCOMPARE(f->app.paletteState.paletteOffset, offset);
            QCOMPARE(d->windowTitle().toStdString(),
                     "PALETTE SETUP  Palette offset:  " + std::to_string(offset));
            QVERIFY(f->app.picture.pixels == rebuiltPicture(*f));
        }
        QCOMPARE(f->program.rendersStarted(), 1);
    }

    // Without smooth colour the picture is rebuilt from its indices; with it, it is rendered,
    // in deep zoom only after the redraw question.
    void generateRecoloursOrRendersOrIsDeclined()
    {
        auto f = qv::test::renderedProgram();
        QVERIFY(f);
        PaletteDialog* d = openDialog(*f);
        d->parameterField(0)->setText(QStringLiteral("no number"));
        d->maxColourStepField()->setText(QStringLiteral("0"));
        click(d, PaletteButton::Generate);
        QCOMPARE(f->app.paletteState.parameters.start[0], 0.0f);
        QCOMPARE(f->app.paletteState.maxColourStep, 1.0f);
        QVERIFY(f->app.picture.pixels == rebuiltPicture(*f));
        QCOMPARE(f->program.rendersStarted(), 1);

        f->app.settings.colourFlags |= kSmooth;
        click(d, PaletteButton::Generate);
        QCOMPARE(f->program.rendersStarted(), 2);
        QVERIFY(f->prompts.asked().empty());

        f->app.view.deepZoom = 1;
        const std::vector<std::uint32_t> picture = f->app.picture.pixels;
        const std::vector<std::uint32_t> table = f->app.palette.entries;
        d->parameterField(1)->setText(QStringLiteral("3"));
        f->prompts.answer("cancel");
        click(d, PaletteButton::Generate);
        QCOMPARE(f->prompts.texts(),
                 (std::vector<std::string>{"REDRAW REQUIRED!\nDo You Want to Continue?"}));
        QVERIFY(f->prompts.asked()[0].cancelPreselected);
        QVERIFY(f->app.palette.entries != table);
        QVERIFY(f->app.picture.pixels == picture);
        QCOMPARE(f->app.shell.pictureValid, 1);
        QCOMPARE(f->program.rendersStarted(), 2);
    }

    void saveThenLoadRestoresParametersOptionsAndOffset()
    {
        auto f = qv::test::renderedProgram();
        QVERIFY(f);
        QTemporaryDir folder;
        const std::string path = (folder.path() + QStringLiteral("/warm.pal")).toStdString();
        PaletteDialog* d = openDialog(*f);
        d->parameterField(0)->setText(QStringLiteral(" 99"));
        click(d, PaletteButton::Generate);
        QTest::mouseClick(d->optionBox(PaletteOption::Reverse), Qt::LeftButton);
        QTest::keyClick(d->offsetSlider(), Qt::Key_PageUp);
        f->prompts.answer(path);
        click(d, PaletteButton::Save);
        const QStringList saved = fieldTexts(d);

        d->parameterField(0)->setText(QStringLiteral("1"));
        click(d, PaletteButton::Generate);
        QTest::mouseClick(d->optionBox(PaletteOption::Reverse), Qt::LeftButton);
        QTest::keyClick(d->offsetSlider(), Qt::Key_Home);

        f->prompts.answer(path);
        click(d, PaletteButton::Load);
        QCOMPARE(f->app.paletteState.parameters.start[0], 99.0f);
        QVERIFY(f->app.paletteState.options.reverse);
        QCOMPARE(f->app.paletteState.paletteOffset, 5);
        QCOMPARE(fieldTexts(d), saved);
        QVERIFY(d->optionBox(PaletteOption::Reverse)->isChecked());
        QCOMPARE(d->offsetSlider()->value(), 6);
        QVERIFY(f->app.picture.pixels == rebuiltPicture(*f));
    }

    // The render's end refreshes the dialogs before the waiting actions run: the controls keep
    // what the person set, and only the slider's last position is applied.
    void actionsDuringARenderWaitAndKeepWhatThePersonSet()
    {
        auto f = qv::test::renderedProgram();
        QVERIFY(f);
        PaletteDialog* d = openDialog(*f);
        f->app.shell.rendering = 1;
        for (Qt::Key key : {Qt::Key_PageUp, Qt::Key_PageUp, Qt::Key_Right}) {
            QTest::keyClick(d->offsetSlider(), key);
        }
        QTest::mouseClick(d->optionBox(PaletteOption::Exp2), Qt::LeftButton);
        d->parameterField(2)->setText(QStringLiteral("33"));
        click(d, PaletteButton::Generate);
        QCOMPARE(f->program.pendingActions(), std::size_t{3});
        QCOMPARE(f->app.paletteState.paletteOffset, 0);
        f->program.refreshOpenDialogs();
        f->app.shell.rendering = 0;
        f->program.runPendingCommands();
        QCOMPARE(f->app.paletteState.paletteOffset, 11);
        QCOMPARE(d->offsetSlider()->value(), 12);
        QVERIFY(f->app.paletteState.options.exp2 && d->optionBox(PaletteOption::Exp2)->isChecked());
        QCOMPARE(f->app.paletteState.parameters.start[2], 33.0f);
        QCOMPARE(d->parameterField(2)->text(), QStringLiteral(" 33"));
    }

    void controlsReadWholeLabelsFollowHslAndRandomFillsTheFields()
    {
        ProgramFixture f;
        QVERIFY(f.showWindows());
        PaletteDialog* d = openDialog(f);
        const qv::DialogUnits units(d->font());
        QVERIFY(d->width() >= units.x(380) && d->height() >= units.y(140));
        const QList<QWidget*> controls = d->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        QCOMPARE(controls.size(), 9 + 9 + 1 + 1 + 5 + 5 + 1);
        for (QWidget* c : controls) {
            QVERIFY(d->rect().contains(c->geometry()));
            if (qobject_cast<QLabel*>(c) || qobject_cast<QCheckBox*>(c)) {
                QVERIFY2(c->width() >= c->sizeHint().width(), qPrintable(c->objectName()));
            }
            if (auto* b = qobject_cast<QPushButton*>(c)) {
                QVERIFY(b->width() > b->fontMetrics().horizontalAdvance(b->text()));
            }
            for (QWidget* other : controls) {
                QVERIFY(c == other || !c->geometry().intersects(other->geometry()));
            }
        }
        d->parameterField(0)->setText(QStringLiteral("-0.1234567"));
        QVERIFY(d->parameterField(0)->width() >
                d->fontMetrics().horizontalAdvance(d->parameterField(0)->text()));

        // The labels name the channels by the HSL option; a typed field keeps its text.
        d->parameterField(0)->setText(QStringLiteral("77"));
        for (const auto& names : {QStringList{"Hue", "Sat.", "Lum."}, {"Red", "Green", "Blue"}}) {
            QTest::mouseClick(d->optionBox(PaletteOption::Hsl), Qt::LeftButton);
            for (int i = 0; i < 9; ++i) {
                const char* column[] = {" start", " step", " stop"};
                QCOMPARE(d->parameterLabel(i)->text(), names[i % 3] + column[i / 3]);
            }
        }
        QCOMPARE(d->parameterField(0)->text(), QStringLiteral("77"));
        QVERIFY(!f.app.paletteState.options.hsl);

        // RANDOM twice gives different parameters, shown in the fields.
        click(d, PaletteButton::Random);
        const QStringList first = fieldTexts(d);
        click(d, PaletteButton::Random);
        QVERIFY(fieldTexts(d) != first);
        QVERIFY(f.app.paletteState.randomPaletteFlag);
    }
};

QTEST_MAIN(PaletteDialogTest)
#include "tst_palette_dialog.moc"
