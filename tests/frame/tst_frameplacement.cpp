#include "frame/FramePlacement.h"

#include <QTest>

class TestFramePlacement final : public QObject
{
    Q_OBJECT

private slots:
    void placement_data();
    void placement();
};

void TestFramePlacement::placement_data()
{
    QTest::addColumn<QSize>("area");
    QTest::addColumn<QRect>("expected");

    QTest::newRow("laptop 1366x705") << QSize(1366, 705) << QRect(183, 52, 1000, 600);
    QTest::newRow("full hd") << QSize(1920, 1040) << QRect(460, 220, 1000, 600);
    QTest::newRow("exact width") << QSize(1000, 700) << QRect(0, 50, 1000, 600);
    QTest::newRow("one pixel wider") << QSize(1001, 700) << QRect(0, 50, 1000, 600);
    QTest::newRow("two pixels wider") << QSize(1002, 700) << QRect(1, 50, 1000, 600);
    QTest::newRow("exact height") << QSize(1200, 600) << QRect(100, 0, 1000, 600);
    QTest::newRow("one pixel taller") << QSize(1200, 601) << QRect(100, 0, 1000, 600);
    QTest::newRow("odd spare height") << QSize(1200, 603) << QRect(100, 1, 1000, 600);
    QTest::newRow("small screen") << QSize(800, 570) << QRect(0, 0, 800, 570);
    QTest::newRow("narrow but tall") << QSize(640, 1024) << QRect(0, 212, 640, 600);
    QTest::newRow("wide but short") << QSize(2560, 400) << QRect(780, 0, 1000, 400);
    QTest::newRow("empty") << QSize(0, 0) << QRect(0, 0, 0, 0);
}

void TestFramePlacement::placement()
{
    QFETCH(QSize, area);
    QFETCH(QRect, expected);
    QCOMPARE(framePlacement(area), expected);
}

QTEST_APPLESS_MAIN(TestFramePlacement)
#include "tst_frameplacement.moc"
