// Start-up with windows: the lock against a second copy, the colour-depth warning, the picture
// size from the screen, the processor box, and where the windows come up.
#include "tests/ui/support/program_fixture.h"

#include <QApplication>
#include <QTest>

using qv::ScreenFacts;
using qv::test::ProgramFixture;

class StartupTest : public QObject
{
    Q_OBJECT

private slots:

    void init() { qv::test::failOnWarnings(); }

    void pictureSizeFollowsTheScreenWidth_data()
    {
        QTest::addColumn<int>("screenWidth");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("1280") << 1280 << 640 << 480;
        QTest::newRow("1024") << 1024 << 512 << 384;
        QTest::newRow("1023") << 1023 << 352 << 288;
        QTest::newRow("800") << 800 << 352 << 288;
        QTest::newRow("640") << 640 << 352 << 288;
    }

    void pictureSizeFollowsTheScreenWidth()
    {
        QFETCH(int, screenWidth);
        QFETCH(int, width);
        QFETCH(int, height);
        ProgramFixture f({screenWidth, 768, 32});
        QVERIFY(f.started);
        QCOMPARE(f.app.settings.pictureWidth, width);
        QCOMPARE(f.app.settings.pictureHeight, height);
        QCOMPARE(f.app.iterations.width, width);
        QCOMPARE(f.app.shell.screenWidth, screenWidth);
        QCOMPARE(f.app.shell.screenHeight, 768);
        QVERIFY(f.showWindows());
        // The picture window's client area is the picture, the menu window stands beside it.
        QCOMPARE(f.picture().size(), QSize(width, height));
        QCOMPARE(f.picture().pos(), QPoint(0, 20));
        QCOMPARE(f.menu().pos(), QPoint(width + 20, 20));
    }

    void startValuesAreThoseOfTheSettingsModel()
    {
        ProgramFixture f;
        QVERIFY(f.started);
        QVERIFY(f.prompts.asked().empty());
        QCOMPARE(f.app.settings.colourFlags, 4u);
        QCOMPARE(f.app.settings.multiThreaded, 1);
        QCOMPARE(f.app.settings.threads, 2);
        QCOMPARE(f.app.settings.autoIterIncrease, 1);
        QCOMPARE(f.app.settings.unzoomFactor, 1.02f);
        QCOMPARE(f.app.view.iterMax, 100);
        QCOMPARE(f.app.view.bailout, 128.0);
        QCOMPARE(f.app.view.potValue, 0.0001);
        QCOMPARE(f.app.view.modeWord, 5u);
        QCOMPARE(f.app.view.precisionBits, 96);
        QCOMPARE(f.app.view.mandelbrot.xmin.text, std::string("-2.5e0"));
        QCOMPARE(f.app.view.mandelbrot.ymax.text, std::string("1.5e0"));
        QCOMPARE(f.app.shell.pictureValid, 0);

        ProgramFixture single({1280, 1024, 32}, 1, QStringLiteral("single.lock"));
        QCOMPARE(single.app.settings.multiThreaded, 0);
        QCOMPARE(single.app.settings.threads, 1);
    }

    void lowColourDepthWarnsOnceAndGoesOn()
    {
        ProgramFixture f({1280, 1024, 16});
        QVERIFY(f.started);
        QCOMPARE(f.prompts.asked().size(), std::size_t{1});
        QCOMPARE(f.prompts.asked()[0].text,
                 std::string("Quorvalis works best with 24-bit or 32-bit color resolutions!"));
        QCOMPARE(f.prompts.asked()[0].title, std::string("Quorvalis"));

        ProgramFixture deep({1280, 1024, 24}, 2, QStringLiteral("depth24.lock"));
        QVERIFY(deep.prompts.asked().empty());
    }

    void processorCountIsAskedForWhenNoneIsReported()
    {
        ProgramFixture f({1280, 1024, 32}, 0, QStringLiteral("quorvalis.lock"), {}, true);
        f.prompts.answer("3");
        QVERIFY(f.start());
        QCOMPARE(f.prompts.texts(),
                 (std::vector<std::string>{
                     "Number of processors not detected!\n\nPlease input suitable number:"}));
        QCOMPARE(f.app.shell.processorCount, 3);
        QCOMPARE(f.app.settings.threads, 3);
        QCOMPARE(f.app.settings.multiThreaded, 1);
    }

    void secondCopyIsRefusedWhileTheFirstRuns()
    {
        {
            ProgramFixture first;
            QVERIFY(first.started);
            ProgramFixture second;
            QVERIFY(!second.started);
            QCOMPARE(second.prompts.texts(), (std::vector<std::string>{"Already running"}));
            QCOMPARE(second.prompts.asked()[0].title, std::string("QUORVALIS"));
            // The refused copy never reached its settings.
            QCOMPARE(second.app.iterations.width, 0);
            QVERIFY(first.showWindows());
        }
        // Once the first copy has ended, the next one starts.
        ProgramFixture third;
        QVERIFY(third.started);
        QVERIFY(third.prompts.asked().empty());
    }

    void lockInAFolderThatCannotHoldItEndsSilently()
    {
        ProgramFixture f({1280, 1024, 32}, 2, QStringLiteral("missing-folder/q.lock"));
        QVERIFY(!f.started);
        QVERIFY(f.prompts.asked().empty());
    }

    void primaryScreenIsRead()
    {
        const ScreenFacts facts = qv::primaryScreenFacts();
        QVERIFY(facts.width > 0);
        QVERIFY(facts.height > 0);
        QVERIFY(facts.depth > 0);
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
