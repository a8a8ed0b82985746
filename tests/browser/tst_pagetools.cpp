#include "browser/navigation/ErrorPagePolicy.h"
#include "browser/commands/FindBar.h"
#include "frame/FrameAccelerators.h"
#include "browser/commands/PageCommands.h"
#include "browser/commands/PageZoom.h"
#include "browser/commands/ZoomMemory.h"

#include <QTemporaryDir>
#include <QTest>

// The plain decisions behind find, zoom and the error page's reason.
class TestPageTools final : public QObject
{
    Q_OBJECT

private slots:
    void zoomSteps_data();
    void zoomSteps();
    void zoomMemoryPersists();
    void findStatus_data();
    void findStatus();
    void errorReason_data();
    void errorReason();
    void keysLeaveTheFrameAlone();
};

void TestPageTools::zoomSteps_data()
{
    QTest::addColumn<int>("percent");
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("expected");

    QTest::newRow("in from 100") << 100 << 1 << 110;
    QTest::newRow("out from 100") << 100 << -1 << 90;
    QTest::newRow("in past 200") << 200 << 1 << 250;
    QTest::newRow("out to 25") << 33 << -1 << 25;
    QTest::newRow("stays at 500") << 500 << 1 << 500;
    QTest::newRow("stays at 25") << 25 << -1 << 25;
    // A level between steps (set by the page, or stored by an older client)
    // goes to the neighbouring step, not past it.
    QTest::newRow("in between") << 115 << 1 << 125;
    QTest::newRow("out between") << 115 << -1 << 110;
    QTest::newRow("beyond the top") << 900 << -1 << 400;
    QTest::newRow("reset") << 250 << 0 << 100;
    QTest::newRow("nonsense") << 0 << 1 << 110;
}

void TestPageTools::zoomSteps()
{
    QFETCH(int, percent);
    QFETCH(int, direction);
    QFETCH(int, expected);
    QCOMPARE(nextZoomPercent(percent, direction), expected);
    QVERIFY(::zoomSteps().contains(expected));
}

void TestPageTools::zoomMemoryPersists()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("zoom.ini");
    {
        ZoomMemory memory(file);
        QCOMPARE(memory.percentFor("platform.example"), 100);
        memory.remember("Platform.Example", 150);
        memory.remember("other.example", 67);
        memory.remember("other.example", 100); // back to normal: forgotten
        memory.remember("", 200);              // a local page: nothing to keep
        memory.remember("big.example", 9000);
        QCOMPARE(memory.percentFor("platform.example"), 150);
    }
    const ZoomMemory again(file);
    QCOMPARE(again.percentFor("platform.example"), 150);
    QCOMPARE(again.percentFor("PLATFORM.example"), 150);
    QCOMPARE(again.percentFor("other.example"), 100);
    QCOMPARE(again.percentFor(""), 100);
    QCOMPARE(again.percentFor("big.example"), 500);

    // Without a file the levels last for the run only.
    ZoomMemory offTheRecord({});
    offTheRecord.remember("platform.example", 125);
    QCOMPARE(offTheRecord.percentFor("platform.example"), 125);
    QCOMPARE(ZoomMemory({}).percentFor("platform.example"), 100);
}

void TestPageTools::findStatus_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("active");
    QTest::addColumn<int>("matches");
    QTest::addColumn<QString>("expected");

    QTest::newRow("first of three") << "页" << 1 << 3 << QStringLiteral("第 1 项，共 3 项");
    QTest::newRow("last of twelve") << "a" << 12 << 12 << QStringLiteral("第 12 项，共 12 项");
    QTest::newRow("none") << "zzz" << 0 << 0 << QStringLiteral("无匹配");
    QTest::newRow("empty search") << "" << 0 << 0 << QString();
}

void TestPageTools::findStatus()
{
    QFETCH(QString, text);
    QFETCH(int, active);
    QFETCH(int, matches);
    QFETCH(QString, expected);
    QCOMPARE(findStatusText(text, active, matches), expected);
}

void TestPageTools::errorReason_data()
{
    QTest::addColumn<int>("statusCode");
    QTest::addColumn<QString>("reason");

    QTest::newRow("missing page") << 404 << "http-404";
    QTest::newRow("server error") << 500 << "http-500";
    QTest::newRow("connection refused") << -102 << "unreachable";
    QTest::newRow("name not resolved") << -105 << "unreachable";
    QTest::newRow("timed out") << -118 << "unreachable";
}

void TestPageTools::errorReason()
{
    QFETCH(int, statusCode);
    QFETCH(QString, reason);
    QCOMPARE(errorPageReason(statusCode), reason);
    const QUrl address = errorPageAddress("/opt/kelumo/error", statusCode);
    QCOMPARE(address.fragment(), reason);
    QCOMPARE(address.adjusted(QUrl::RemoveFragment), QUrl::fromLocalFile("/opt/kelumo/error"));
}

void TestPageTools::keysLeaveTheFrameAlone()
{
    using C = PageCommands::Command;
    QList<QKeyCombination> seen;
    for (C command : {C::Print, C::Find, C::FindNext, C::FindPrevious, C::ZoomIn, C::ZoomOut, C::ZoomReset, C::Reload,
                      C::ReloadBypassingCache, C::FullScreen}) {
        const QList<QKeySequence> keys = PageCommands::keysFor(command);
        QVERIFY(!keys.isEmpty());
        for (const QKeySequence &sequence : keys) {
            QCOMPARE(sequence.count(), 1);
            QVERIFY2(!frameCommandFor(sequence[0]), qPrintable(sequence.toString()));
            QVERIFY2(!seen.contains(sequence[0]), qPrintable(sequence.toString()));
            seen << sequence[0];
        }
    }
}

QTEST_APPLESS_MAIN(TestPageTools)
#include "tst_pagetools.moc"
