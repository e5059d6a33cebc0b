// Esc reaches the program while its windows are disabled, as during a render.
#include "tests/ui/support/program_fixture.h"

#include <QTest>
#include <QWindow>

using qv::test::ProgramFixture;

class EscapeTest : public QObject
{
    Q_OBJECT

private slots:

    void init() { qv::test::failOnWarnings(); }

    void escIsSeenWhileTheWindowsAreDisabled()
    {
        ProgramFixture f;
        QVERIFY(f.showWindows());
        // The first picture is done: no render reads the latch meanwhile.
        QTRY_COMPARE(f.app.shell.pictureValid, 1);
        QCOMPARE(f.app.shell.rendering, 0);
        f.picture().setEnabled(false);
        QVERIFY(!f.menu().isEnabled());
        qv::EscapeWatcher& watcher = f.program.escapeWatcher();
        QVERIFY(!watcher.takePress());

        QTest::keyClick(f.picture().windowHandle(), Qt::Key_Escape);
        QVERIFY(watcher.takePress());
        // Read once, the press is gone.
        QVERIFY(!watcher.takePress());

        // Other keys are not Esc; a press made before a render starts is forgotten.
        QTest::keyClick(f.picture().windowHandle(), Qt::Key_Space);
        QVERIFY(!watcher.takePress());
        QTest::keyClick(f.menu().windowHandle(), Qt::Key_Escape);
        watcher.forget();
        QVERIFY(!watcher.takePress());
    }
};

QTEST_MAIN(EscapeTest)
#include "tst_escape.moc"
