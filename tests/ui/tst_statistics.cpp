// The statistics window, the about box and "Open helpfile": the rows before and after a render,
// one statistics window at most, the home-page link, and the manual found or missing.
#include "app/help.h"
#include "base/number_text.h"
#include "tests/ui/support/program_fixture.h"
#include "ui/about_box.h"
#include "ui/auxiliary_dialogs.h"
#include "ui/statistics_window.h"

#include <algorithm>
#include <string>
#include <vector>

#include <QEnterEvent>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

using qv::CommandId;
using qv::StatisticsWindow;
using qv::test::ProgramFixture;
using qv::test::waitForPicture;

namespace {

struct RecordingDesktop : qv::DesktopOpener
{
    bool openFile(const std::string& path) override
    {
        opened.push_back(path);
        return works;
    }

    bool openAddress(const std::string& address) override
    {
        opened.push_back(address);
        return works;
    }

    bool works = true;
    std::vector<std::string> opened;
};

// The rows as shown: "label|value" ("label|" without a value).
std::vector<QString> shownRows(const StatisticsWindow& w)
{
    std::vector<QString> rows;
    for (const StatisticsWindow::RowLabels& r : w.rows()) {
        rows.push_back(r.label->text() + QLatin1Char('|') +
                       (r.value != nullptr ? r.value->text() : QString()));
    }
    return rows;
}

} // namespace

class StatisticsTest : public QObject
{
    Q_OBJECT

private slots:

    void init() { qv::test::failOnWarnings(); }

    void rowsBeforeAndAfterTheFirstRender()
    {
        ProgramFixture f({800, 600, 32}, 2);
        f.program.dispatchCommand(CommandId::Statistics);
        StatisticsWindow* w = f.program.auxiliaryDialogs().statistics();
        QVERIFY(w != nullptr);
        QCOMPARE(w->windowTitle(), QStringLiteral("QUORVALIS STATISTICS"));
        QCOMPARE(w->heading()->text(), QStringLiteral(" MANDELBROT"));
        const QString system = QLatin1Char(' ') + QSysInfo::prettyProductName();
        QCOMPARE(shownRows(*w),
                 (std::vector<QString>{" Itermax:| 100 iterations", " Bailout:| 128",
                                       " Size:| 352x 288", " Processors/Threads used:| 2",
                                       " Precision:| 80 bits", " System version:|" + system}));

        QVERIFY(f.showWindows());
        QVERIFY(waitForPicture(f));
        QVERIFY(f.app.render.elapsedSeconds > 0.0f);
        QVERIFY(f.app.render.coloursUsed > 0);
        // The render's end refreshed the open window.
        const std::vector<QString> rows = shownRows(*w);
        QCOMPARE(rows.size(), std::size_t{10});
        QCOMPARE(rows[3].left(15), QStringLiteral(" Elapsed time:|"));
        QVERIFY(rows[3].endsWith(QStringLiteral(" seconds")));
        QCOMPARE(rows[4].left(13), QStringLiteral(" Pixels/sec:|"));
        QCOMPARE(rows[7].toStdString(),
                 " Colors used:|" + qv::decimalText(std::int64_t{f.app.render.coloursUsed}));
        QCOMPARE(rows[8].toStdString(),
                 " Inside pixels: |" + qv::decimalText(f.app.render.insidePixels));
        QVERIFY(f.app.render.insidePixels > 0);

        // Values blue, labels black; nothing cut.
        for (const StatisticsWindow::RowLabels& r : w->rows()) {
            for (QLabel* label : {r.label, r.value}) {
                QVERIFY(label->width() >= label->sizeHint().width());
                QVERIFY(w->rect().contains(label->geometry()));
            }
            QCOMPARE(r.value->palette().color(QPalette::WindowText), QColor(Qt::blue));
        }
    }

    void oneWindowAtMostShowingTheMomentItWasAskedFor()
    {
        auto f = qv::test::renderedProgram();
        QVERIFY(f);
        f->program.dispatchCommand(CommandId::Statistics);
        StatisticsWindow* w = f->program.auxiliaryDialogs().statistics();
        f->app.view.modeWord = 4;
        f->app.view.deepZoom = 1;
        f->program.dispatchCommand(CommandId::Statistics);
        QCOMPARE(f->program.auxiliaryDialogs().statistics(), w);
        QCOMPARE(f->picture().findChildren<StatisticsWindow*>().size(), 1);
        QCOMPARE(w->heading()->text(), QStringLiteral(" JULIA"));
        const std::vector<QString> rows = shownRows(*w);
        QVERIFY(std::find(rows.begin(), rows.end(), QStringLiteral(" Precision:| 96 bits")) !=
                rows.end());
    }

    void withImageLoadClearsTheRenderCountsAndPaletteChangesKeepThem()
    {
        auto f = qv::test::renderedProgram();
        QVERIFY(f);
        const std::int32_t colours = f->app.render.coloursUsed;
        QVERIFY(colours > 0);
        f->program.redisplayPicture();
        QCOMPARE(f->app.render.coloursUsed, colours);
        QTemporaryDir folder;
        const std::string path = (folder.path() + QStringLiteral("/x.fpi")).toStdString();
        f->dispatchAnswering(CommandId::SaveFractalWithImage, path);
        f->dispatchAnswering(CommandId::LoadFractalWithImage, path);
        QCOMPARE(f->app.shell.pictureFromImage, 1);
        QCOMPARE(f->app.render.coloursUsed, 0);
        QCOMPARE(f->app.render.insidePixels, std::int64_t{0});
        f->program.dispatchCommand(CommandId::Statistics);
        for (const QString& row : shownRows(*f->program.auxiliaryDialogs().statistics())) {
            QVERIFY(!row.startsWith(QStringLiteral(" Colors used:")));
            QVERIFY(!row.startsWith(QStringLiteral(" Elapsed time:")));
        }
    }

    void aboutBoxShowsTheProgramAndOpensTheHomePage()
    {
        ProgramFixture f;
        QVERIFY(f.showWindows());
        RecordingDesktop desktop;
        f.program.auxiliaryDialogs().setDesktop(desktop);
        f.program.dispatchCommand(CommandId::Info);
        qv::AboutBox* about = f.program.auxiliaryDialogs().about();
        QVERIFY(about != nullptr);
        QCOMPARE(about->windowTitle(), QStringLiteral("About Quorvalis"));
        QVERIFY(about->isModal());
        QCOMPARE(about->picture()->pixmap().size(), QSize(176, 144));
        QVERIFY(about->nameLine()->text().startsWith(QStringLiteral("QUORVALIS ")));
        QVERIFY(about->infoLines()->text().startsWith(
            QStringLiteral("Fractal generator for Linux\n\n")));
        for (const QLabel* label : about->findChildren<QLabel*>()) {
            QVERIFY(label->width() >= label->sizeHint().width());
            QVERIFY(about->rect().contains(label->geometry()));
        }
        QVERIFY(about->width() >= 340 && about->height() >= 350);

        qv::HomePageLabel* home = about->homePage();
        auto colour = [home] { return home->palette().color(QPalette::WindowText); };
        QCOMPARE(colour(), QColor(Qt::black));
        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
        QCoreApplication::sendEvent(home, &enter);
        QCOMPARE(colour(), QColor(Qt::red));
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(home, &leave);
        QCOMPARE(colour(), QColor(Qt::black));
        QTest::mouseClick(home, Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(desktop.opened, std::vector<std::string>{std::string(qv::kHomePage)});

        desktop.works = false;
        QTest::mouseClick(home, Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(f.prompts.texts(),
                 std::vector<std::string>{"The home page could not be opened:\n" +
                                          std::string(qv::kHomePage)});
        about->close();
        QTRY_VERIFY(f.program.auxiliaryDialogs().about() == nullptr);
    }

    void helpFileFoundOrMissing()
    {
        ProgramFixture f;
        QVERIFY(f.showWindows());
        RecordingDesktop desktop;
        f.program.auxiliaryDialogs().setDesktop(desktop);
        QTemporaryDir program;
        QTemporaryDir documentation;
        f.program.auxiliaryDialogs().setHelpPlaces(
            {program.path().toStdString(), documentation.path().toStdString()});

        f.program.dispatchCommand(CommandId::OpenHelpfile);
        QCOMPARE(f.prompts.texts(),
                 std::vector<std::string>{"Helpfile: \nquorvalis.html not found!"});
        QVERIFY(desktop.opened.empty());

        // Beside the program first, then in the documentation folder.
        for (const QTemporaryDir* folder : {&documentation, &program}) {
            QFile manual(folder->path() + QStringLiteral("/quorvalis.html"));
            QVERIFY(manual.open(QIODevice::WriteOnly));
            desktop.opened.clear();
            f.program.dispatchCommand(CommandId::OpenHelpfile);
            QCOMPARE(desktop.opened, std::vector<std::string>{manual.fileName().toStdString()});
        }
        QCOMPARE(f.prompts.asked().size(), std::size_t{1});
    }
};

QTEST_MAIN(StatisticsTest)
#include "tst_statistics.moc"
