#include "base/GbkText.h"

#include <QProcess>
#include <QTest>

#include <string>
#include <vector>

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
    void sameAsWindows_data();
    void sameAsWindows();
};

namespace {

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Lines of one item each.
std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        out.push_back(text.substr(start, end - start));
    out.push_back(text.substr(start));
    return out;
}

QByteArray hex(const std::string &bytes)
{
    return QByteArray::fromStdString(bytes).toHex(' ');
}

} // namespace

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

// The Windows build converts through code page 936 (KELUMO_GBK_PROBE_COMMAND
// names its probe, e.g. "wine build-windows/bin/gbk-probe.exe"); it must give
// iconv's bytes for every character.
void TestGbkText::sameAsWindows_data()
{
    QTest::addColumn<QString>("direction");
    QTest::addColumn<std::string>("input");

    std::string bmp, beyond, pairs, singles;
    for (char32_t c = 0x80; c <= 0xFFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        appendUtf8(bmp, c);
        bmp += '\n';
    }
    for (char32_t c : {0x10000u, 0x1F600u, 0x20000u, 0x2A6D6u, 0x10FFFFu}) {
        appendUtf8(beyond, c);
        beyond += '\n';
    }
    for (int lead = 0x81; lead <= 0xFE; ++lead)
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F)
                continue;
            pairs += static_cast<char>(lead);
            pairs += static_cast<char>(trail);
            pairs += '\n';
        }
    for (int b = 0x01; b <= 0xFF; ++b) {
        if (b == '\n')
            continue;
        singles += static_cast<char>(b);
        singles += '\n';
    }
    QTest::newRow("every BMP character") << "to-gbk" << bmp;
    QTest::newRow("characters beyond the BMP") << "to-gbk" << beyond;
    QTest::newRow("broken UTF-8") << "to-gbk" << "a\xe4\xb8\n\xc0\x80\n\xff\n\xe4\x41\x42\n\xed\xa0\x80\nz\xe4"s;
    QTest::newRow("every GBK pair") << "from-gbk" << pairs;
    QTest::newRow("every single byte") << "from-gbk" << singles;
    QTest::newRow("lone lead byte at the end") << "from-gbk" << "ab\xd5"s;
}

void TestGbkText::sameAsWindows()
{
    QFETCH(QString, direction);
    QFETCH(std::string, input);

    QStringList command = qEnvironmentVariable("KELUMO_GBK_PROBE_COMMAND").split(' ', Qt::SkipEmptyParts);
    if (command.isEmpty())
        QSKIP("KELUMO_GBK_PROBE_COMMAND names no Windows build's probe");
    QProcess probe;
    const QString program = command.takeFirst();
    probe.start(program, command << direction);
    QVERIFY(probe.waitForStarted());
    probe.write(input.data(), static_cast<qint64>(input.size()));
    probe.closeWriteChannel();
    QVERIFY(probe.waitForFinished(60000));
    QCOMPARE(probe.exitCode(), 0);
    const std::string windows = probe.readAllStandardOutput().toStdString();
    const std::string iconv = direction == "to-gbk" ? utf8ToGbk(input) : gbkToUtf8(input);

    const auto items = lines(input);
    const auto expected = lines(iconv);
    const auto actual = lines(windows);
    QByteArray differences;
    int count = 0;
    for (std::size_t i = 0; i < std::max(expected.size(), actual.size()); ++i) {
        const std::string e = i < expected.size() ? expected[i] : "(none)";
        const std::string a = i < actual.size() ? actual[i] : "(none)";
        if (e == a)
            continue;
        if (++count <= 20)
            differences += "\n  " + hex(i < items.size() ? items[i] : "") + ": iconv " + hex(e) + ", Windows " + hex(a);
    }
    QVERIFY2(count == 0, (QByteArray::number(count) + " differ:" + differences).constData());
}

QTEST_APPLESS_MAIN(TestGbkText)
#include "tst_gbktext.moc"
