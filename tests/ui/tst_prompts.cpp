// The Qt dialogs behind the program's questions: titles, texts, buttons and answers, and the
// file dialogs' filters.
#include "tests/ui/support/program_fixture.h"
#include "ui/qt_prompts.h"

#include <functional>

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// Calls `answer` with the modal dialog as soon as one is shown.
void whenModalShows(std::function<void(QWidget*)> answer)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            answer(modal);
        }
    });
    timer->start();
}

} // namespace

class PromptsTest : public QObject
{
    Q_OBJECT

private slots:

    void init() { qv::test::failOnWarnings(); }

    void filtersKeepTheirDescriptionsAndMatchBothCases()
    {
        QCOMPARE(qv::nameFiltersFor("Fractal Files (*.fdz;*.fra)|*.FDZ;*.FRA|"),
                 QStringList{QStringLiteral("Fractal Files (*.fdz *.FDZ *.fra *.FRA)")});
        QCOMPARE(qv::nameFiltersFor("Picture Files (*.jpg)|*.JPG|"),
                 QStringList{QStringLiteral("Picture Files (*.jpg *.JPG)")});
        QCOMPARE(
            qv::nameFiltersFor("A (*.a)|*.a|B|*.b;*.c"),
            (QStringList{QStringLiteral("A (*.a *.A)"), QStringLiteral("B (*.b *.B *.c *.C)")}));
        QVERIFY(qv::nameFiltersFor("").isEmpty());
        QVERIFY(qv::nameFiltersFor("only a description").isEmpty());
    }

    void messageBoxHasItsTitleTextAndOk()
    {
        qv::QtPrompts prompts;
        QString title;
        QString text;
        whenModalShows([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box != nullptr);
            title = box->windowTitle();
            text = box->text();
            QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
            box->button(QMessageBox::Ok)->click();
        });
        prompts.message("Already running", "QUORVALIS");
        QCOMPARE(title, QStringLiteral("QUORVALIS"));
        QCOMPARE(text, QStringLiteral("Already running"));
    }

    void okCancelQuestionAnswersBothWays()
    {
        qv::QtPrompts prompts;
        for (const bool ok : {true, false}) {
            whenModalShows([ok](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                QVERIFY(box != nullptr);
                QCOMPARE(box->windowTitle(), QStringLiteral("QUORVALIS"));
                QCOMPARE(box->text(), QStringLiteral("Do you want to quit?"));
                QCOMPARE(box->standardButtons(),
                         QMessageBox::StandardButtons(QMessageBox::Ok | QMessageBox::Cancel));
                box->button(ok ? QMessageBox::Ok : QMessageBox::Cancel)->click();
            });
            QCOMPARE(prompts.askOkCancel("Do you want to quit?"), ok);
        }
    }

    void inputBoxProposesItsAnswer()
    {
        qv::QtPrompts prompts;
        whenModalShows([](QWidget* modal) {
            auto* input = qobject_cast<QInputDialog*>(modal);
            QVERIFY(input != nullptr);
            QCOMPARE(input->windowTitle(), QStringLiteral("QUORVALIS"));
            QCOMPARE(input->textValue(), QStringLiteral("1"));
            input->setTextValue(QStringLiteral("6"));
            input->accept();
        });
        QCOMPARE(prompts.inputText("Number of processors not detected!", "1"),
                 std::optional<std::string>("6"));
        whenModalShows([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
        QCOMPARE(prompts.inputText("Number of processors not detected!", "1"), std::nullopt);
    }

    void saveDialogAddsTheDefaultExtension()
    {
        qv::QtPrompts prompts;
        QTemporaryDir folder;
        qv::FileDialogRequest request;
        request.title = "SAVE PARAMETERS";
        request.initialFolder = folder.path().toStdString();
        request.filter = "Fractal Files (*.fra)|*.FRA|";
        request.defaultExtension = "FRA";
        whenModalShows([](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog != nullptr);
            QCOMPARE(dialog->windowTitle(), QStringLiteral("SAVE PARAMETERS"));
            QCOMPARE(dialog->selectedNameFilter(), QStringLiteral("Fractal Files (*.fra *.FRA)"));
            dialog->selectFile(QStringLiteral("view"));
            QMetaObject::invokeMethod(dialog, "accept");
        });
        QCOMPARE(prompts.saveFile(request), folder.path().toStdString() + "/view.fra");
        whenModalShows([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
        QCOMPARE(prompts.saveFile(request), std::string());
    }
};

QTEST_MAIN(PromptsTest)
#include "tst_prompts.moc"
