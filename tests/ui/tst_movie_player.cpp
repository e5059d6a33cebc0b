#include <QTest>
class MoviePlayerTest : public QObject
{
    Q_OBJECT
};
QTEST_MAIN(MoviePlayerTest)
#include "tst_movie_player.moc"
