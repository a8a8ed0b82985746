#include "browser/navigation/StartAddress.h"

#include <QTest>

#include <cstring>

class TestStartAddress final : public QObject
{
    Q_OBJECT

private slots:
    void readsTheBuffer();
};

void TestStartAddress::readsTheBuffer()
{
    QCOMPARE(startAddressText(nullptr), QString());

    // Up to the first NUL; the sign-in's text is GBK ("数据" here).
    char buffer[startAddressBufferSize + 8] = "http://h/\xca\xfd\xbe\xdd?ver=2.0\0stale";
    QCOMPARE(startAddressText(buffer), QStringLiteral("http://h/数据?ver=2.0"));

    // Never past the 500 bytes, even when nothing ends them.
    std::memset(buffer, 'a', sizeof buffer);
    QCOMPARE(startAddressText(buffer), QString(startAddressBufferSize, QLatin1Char('a')));
}

QTEST_APPLESS_MAIN(TestStartAddress)
#include "tst_startaddress.moc"
