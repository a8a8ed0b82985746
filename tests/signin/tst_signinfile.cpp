#include "signin/SignInFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <string>

using namespace std::string_literals;

namespace {

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class TestSignInFile final : public QObject
{
    Q_OBJECT

private slots:
    void savedBytes_data();
    void savedBytes();
    void ownerOnly();
    void load_data();
    void load();
    void cannotOpen();
    void roundTrip();
    void fallbackWhenProgramFolderNotWritable();
    void saveIntoMissingFolderCreatesIt();
};

void TestSignInFile::savedBytes_data()
{
    QTest::addColumn<std::string>("account");
    QTest::addColumn<std::string>("password");
    QTest::addColumn<bool>("remember");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("remembered") << "demo"s << "demo123"s << true << QByteArray("demo\r\ndemo123");
    QTest::newRow("GBK account") << "\xd5\xc5\xc8\xfd"s << "p"s << true << QByteArray("\xd5\xc5\xc8\xfd\r\np");
    QTest::newRow("not remembered") << "demo"s << "demo123"s << false << QByteArray();
    // The password in the keyring: an earlier client reads an empty one.
    QTest::newRow("password kept elsewhere") << "demo"s << ""s << true << QByteArray("demo\r\n");
}

void TestSignInFile::savedBytes()
{
    QFETCH(std::string, account);
    QFETCH(std::string, password);
    QFETCH(bool, remember);
    QFETCH(QByteArray, bytes);

    QTemporaryDir dir;
    const QString path = dir.filePath("data.dat");
    writeBytes(path, "old content that is longer than the new one\r\nxxxxxxxxxxxxxxxx");
    SignInFile::save(path, account, password, remember);
    QVERIFY(QFile::exists(path));
    QCOMPARE(readBytes(path), bytes);
}

void TestSignInFile::ownerOnly()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("data.dat");
    writeBytes(path, "x\r\ny");
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    SignInFile::save(path, "a", "b", true);
    QCOMPARE(QFile::permissions(path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QVERIFY(!(QFile::permissions(path) & (QFileDevice::ReadGroup | QFileDevice::ReadOther)));
}

void TestSignInFile::load_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<std::string>("account");
    QTest::addColumn<std::string>("password");

    QTest::newRow("CR LF") << QByteArray("demo\r\ndemo123") << "demo"s << "demo123"s;
    QTest::newRow("LF") << QByteArray("demo\ndemo123\n") << "demo"s << "demo123"s;
    QTest::newRow("account only") << QByteArray("demo\r\n") << "demo"s << ""s;
    QTest::newRow("account without line end") << QByteArray("demo") << "demo"s << ""s;
    QTest::newRow("first line empty") << QByteArray("\r\nsecret") << ""s << "secret"s;
    QTest::newRow("empty file") << QByteArray() << ""s << ""s;
    QTest::newRow("long account kept") << QByteArray(30, 'a') + "\r\np" << std::string(30, 'a') << "p"s;
    QTest::newRow("lone CR stays in the line") << QByteArray("a\rb\r\nc") << "a\rb"s << "c"s;
    QTest::newRow("third line ignored") << QByteArray("a\r\nb\r\nc") << "a"s << "b"s;
    QTest::newRow("overlong line capped") << QByteArray(100000, 'z') + "\r\np"
                                          << std::string(SignInFile::maxLineBytes, 'z') << "p"s;
    QTest::newRow("binary") << QByteArray("\x00\xff\x01\n\xfe", 5) << "\0\xff\x01"s << "\xfe"s;
}

void TestSignInFile::load()
{
    QFETCH(QByteArray, bytes);
    QFETCH(std::string, account);
    QFETCH(std::string, password);

    QTemporaryDir dir;
    const QString path = dir.filePath("data.dat");
    writeBytes(path, bytes);
    SignInFile::Contents contents;
    QVERIFY(SignInFile::load(path, contents));
    QCOMPARE(contents.account, account);
    QCOMPARE(contents.password, password);
}

void TestSignInFile::cannotOpen()
{
    QTemporaryDir dir;
    SignInFile::Contents contents;
    QVERIFY(!SignInFile::load(dir.filePath("data.dat"), contents));
    // A folder where the file should be.
    QVERIFY(QDir(dir.path()).mkdir("data.dat"));
    QVERIFY(!SignInFile::load(dir.filePath("data.dat"), contents));
    // Saving over a folder fails quietly and leaves it alone.
    SignInFile::save(dir.filePath("data.dat"), "a", "b", true);
    QVERIFY(QFileInfo(dir.filePath("data.dat")).isDir());
}

void TestSignInFile::roundTrip()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("data.dat");
    SignInFile::save(path, "\xd5\xc5\xc8\xfd", "p&w\"d", true);
    SignInFile::Contents contents;
    QVERIFY(SignInFile::load(path, contents));
    QCOMPARE(contents.account, "\xd5\xc5\xc8\xfd"s);
    QCOMPARE(contents.password, "p&w\"d"s);
}

void TestSignInFile::fallbackWhenProgramFolderNotWritable()
{
    QTemporaryDir dir;
    const QString program = dir.path() + "/";
    QCOMPARE(SignInFile::locate(program, "/elsewhere"), program + "data.dat");
    // A folder nobody may write to (it does not even exist; root could write
    // anywhere else).
    const QString missing = dir.path() + "/not-there/";
    QCOMPARE(SignInFile::locate(missing, dir.filePath("config")), dir.filePath("config/data.dat"));
}

void TestSignInFile::saveIntoMissingFolderCreatesIt()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("config/kelumo/data.dat");
    SignInFile::save(path, "a", "b", true);
    QCOMPARE(readBytes(path), QByteArray("a\r\nb"));
}

QTEST_GUILESS_MAIN(TestSignInFile)
#include "tst_signinfile.moc"
