#include "base/GbkText.h"

#include <QTest>

#include <string>

using namespace std::string_literals;

class TestGbkText final : public QObject
{
    Q_OBJECT

private slots:
    void toGbk_data();
    void toGbk();
    void fromGbk_data();
    void fromGbk();
    void prefixLength_data();
    void prefixLength();
};

void TestGbkText::toGbk_data()
{
    QTest::addColumn<std::string>("utf8");
    QTest::addColumn<std::string>("gbk");
    QTest::newRow("ascii") << "demo123"s << "demo123"s;
    QTest::newRow("chinese") << "张三"s << "\xd5\xc5\xc8\xfd"s;
    QTest::newRow("ten characters are twenty bytes") << "一二三四五六七八九十"s
                                                     << "\xd2\xbb\xb6\xfe\xc8\xfd\xcb\xc4\xce\xe5\xc1\xf9\xc6\xdf"
                                                        "\xb0\xcb\xbe\xc5\xca\xae"s;
    QTest::newRow("emoji becomes ?") << "a\xf0\x9f\x98\x80z"s << "a?z"s;
    QTest::newRow("broken UTF-8 becomes ?") << "a\xe4\xb8"s << "a?"s;
    QTest::newRow("empty") << ""s << ""s;
}

void TestGbkText::toGbk()
{
    QFETCH(std::string, utf8);
    QFETCH(std::string, gbk);
    QCOMPARE(utf8ToGbk(utf8), gbk);
}

void TestGbkText::fromGbk_data()
{
    QTest::addColumn<std::string>("gbk");
    QTest::addColumn<std::string>("utf8");
    QTest::newRow("chinese") << "\xd5\xc5\xc8\xfd"s << "张三"s;
    QTest::newRow("lone lead byte at the end") << "ab\xd5"s << "ab?"s;
    QTest::newRow("invalid pair") << "\xb5-x"s << "?x"s;
}

void TestGbkText::fromGbk()
{
    QFETCH(std::string, gbk);
    QFETCH(std::string, utf8);
    QCOMPARE(gbkToUtf8(gbk), utf8);
}

void TestGbkText::prefixLength_data()
{
    QTest::addColumn<std::string>("gbk");
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("length");
    QTest::newRow("fits") << "abc"s << 10 << 3;
    QTest::newRow("ascii cut") << "abcdef"s << 4 << 4;
    QTest::newRow("never inside a character") << "a\xd5\xc5\xc8\xfd"s << 4 << 3;
    QTest::newRow("whole characters") << "\xd5\xc5\xc8\xfd"s << 4 << 4;
    QTest::newRow("zero") << "\xd5\xc5"s << 0 << 0;
}

void TestGbkText::prefixLength()
{
    QFETCH(std::string, gbk);
    QFETCH(int, limit);
    QFETCH(int, length);
    QCOMPARE(int(gbkPrefixLength(gbk, std::size_t(limit))), length);
}

QTEST_APPLESS_MAIN(TestGbkText)
#include "tst_gbktext.moc"
