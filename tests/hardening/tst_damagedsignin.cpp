// The login dialog over a damaged or odd data.dat: it must open quickly,
// never crash nor block, and the next login's save must leave a correct file.

#include "signin/CLogin.h"
#include "tests/hardening/HardeningSupport.h"
#include "signin/SignInSession.h"
#include "tests/support/LoopbackPeer.h"
#include "signin/SignInFile.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Stands for "whatever the damaged bytes decode to": only opening matters.
const QString anyText = QStringLiteral("<any>");

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// `size` bytes of `byte` written a megabyte at a time.
bool writeLarge(const QString &path, qint64 size, char byte)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray block(1024 * 1024, byte);
    for (qint64 done = 0; done < size; done += block.size()) {
        if (file.write(block.constData(), std::min<qint64>(block.size(), size - done)) < 0)
            return false;
    }
    return true;
}

using Setup = std::function<bool(const QString &path)>;

struct Damage
{
    Setup setup;
};

} // namespace

Q_DECLARE_METATYPE(Damage)

class TestDamagedSignIn final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void damaged_data();
    void damaged();

private:
    char m_startUrl[500] = {};
};

void TestDamagedSignIn::initTestCase()
{
    // One dialog and one box first, so that loading fonts and styles once
    // does not count against the first row's memory.
    QTemporaryDir folder;
    CLogin dialog;
    dialog.SetProgramFolder(folder.path() + "/");
    dialog.show();
    BoxCloser closer;
    QTimer::singleShot(0, &dialog, [&dialog] { QMessageBox::information(&dialog, "warm-up", "warm-up"); });
    QTRY_COMPARE(closer.count, 1);
}

void TestDamagedSignIn::cleanup()
{
    QTRY_COMPARE_WITH_TIMEOUT(SignInSession::runningWorkers(), 0, 10000);
}

void TestDamagedSignIn::damaged_data()
{
    QTest::addColumn<Damage>("damage");
    QTest::addColumn<QString>("account");  // expected in the field, or anyText
    QTest::addColumn<QString>("password"); // expected in the field, or anyText
    QTest::addColumn<bool>("remembered");
    QTest::addColumn<bool>("saved"); // whether the later login's save can land

    QTest::newRow("binary garbage") << Damage{[](const QString &path) {
        std::mt19937 random(20240611);
        QByteArray bytes(4096, '\0');
        for (char &b : bytes)
            b = static_cast<char>(random() & 0xFF);
        return writeFile(path, bytes);
    }} << anyText << anyText << true << true;
    // A field keeps at most its default 32767 characters.
    QTest::newRow("100 MB without line ends") << Damage{[](const QString &path) {
        return writeLarge(path, 100ll * 1024 * 1024, 'x');
    }} << QString(32767, 'x') << QString() << true << true;
    QTest::newRow("100 MB, password after the first 100 MB") << Damage{[](const QString &path) {
        QFile file(path);
        return writeLarge(path, 100ll * 1024 * 1024, 'y') && file.open(QIODevice::Append) &&
               file.write("\r\nsecret") == 8;
    }} << QString(32767, 'y') << QString() << true << true;
    // Nothing on the disk, but endless to read: the file is read only so far.
    QTest::newRow("16 GB sparse file") << Damage{[](const QString &path) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || !file.resize(16ll * 1024 * 1024 * 1024))
            return false;
        file.close();
        struct stat info{};
        if (::stat(QFile::encodeName(path).constData(), &info) != 0 || info.st_blocks * 512 > 1024 * 1024) {
            QFile::remove(path);
            return false; // not sparse here: the row is skipped
        }
        return true;
    }} << anyText << QString() << true << true;
    QTest::newRow("no line ends") << Damage{[](const QString &path) { return writeFile(path, "demo"); }}
                                  << "demo" << QString() << true << true;
    // Lines end at LF only; the lone CRs stay inside the one line.
    QTest::newRow("only CR") << Damage{[](const QString &path) { return writeFile(path, "ab\rcd\r"); }}
                             << QStringLiteral("ab\rcd") << QString() << true << true;
    QTest::newRow("line of 10,000 bytes") << Damage{[](const QString &path) {
        return writeFile(path, QByteArray(10000, 'a') + "\r\npw");
    }} << QString(10000, 'a') << "pw" << true << true;
    QTest::newRow("empty file") << Damage{[](const QString &path) { return writeFile(path, ""); }} << QString()
                                << QString() << false << true;
    QTest::newRow("lone GBK lead bytes") << Damage{[](const QString &path) {
        return writeFile(path, "\x81\r\n\xfe");
    }} << anyText << anyText << true << true;
    QTest::newRow("a folder in its place") << Damage{[](const QString &path) { return QDir().mkdir(path); }}
                                           << QString() << QString() << false << false;
    // Opening a named pipe for reading would wait for a writer forever.
    QTest::newRow("a named pipe in its place") << Damage{[](const QString &path) {
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    }} << QString() << QString() << false << true;
    // As root permissions do not stop the read: then the fields are filled
    // and only the save is checked for real.
    QTest::newRow("no permissions at all") << Damage{[](const QString &path) {
        return writeFile(path, "demo\r\ndemo123") && QFile::setPermissions(path, {});
    }} << (::geteuid() == 0 ? "demo" : "") << (::geteuid() == 0 ? "demo123" : "") << (::geteuid() == 0) << true;
}

void TestDamagedSignIn::damaged()
{
    QFETCH(Damage, damage);
    QFETCH(QString, account);
    QFETCH(QString, password);
    QFETCH(bool, remembered);
    QFETCH(bool, saved);

    QTemporaryDir folder;
    const QString path = folder.filePath(QLatin1String(SignInFile::fileName));
    if (!damage.setup(path))
        QSKIP("this file system cannot hold the damaged file");

    resetPeakRss();
    const long rssBefore = maxRssKiB();
    QElapsedTimer timer;
    timer.start();
    auto dialog = std::make_unique<CLogin>();
    dialog->SetProgramFolder(folder.path() + "/");
    dialog->SetStartUrlBuffer(m_startUrl);
    dialog->show();
    const qint64 openMs = timer.elapsed();
    // Still responsive: its event loop runs.
    bool ran = false;
    QTimer::singleShot(0, dialog.get(), [&ran] { ran = true; });
    QTRY_VERIFY_WITH_TIMEOUT(ran, 5000);
    const long growthKiB = maxRssKiB() - rssBefore;
    qInfo("OPEN | %s | %lld ms | max RSS +%ld KiB", QTest::currentDataTag(), static_cast<long long>(openMs),
          growthKiB);
    QVERIFY2(openMs < 5000, qPrintable(QString::number(openMs)));
    QVERIFY2(growthKiB < rssGrowthLimitKiB, qPrintable(QString::number(growthKiB)));

    auto *accountField = dialog->findChild<QLineEdit *>("account");
    auto *passwordField = dialog->findChild<QLineEdit *>("password");
    auto *remember = dialog->findChild<QCheckBox *>("remember");
    if (account != anyText)
        QCOMPARE(accountField->text(), account);
    if (password != anyText)
        QCOMPARE(passwordField->text(), password);
    QCOMPARE(remember->isChecked(), remembered);

    // A later login saves what was typed, over whatever was there.
    LoopbackPeer peer(LoopbackPeer::httpReply(200, LoopbackPeer::answer("0")));
    SignInSettings settings = SignInSettings::builtIn();
    settings.endpoint = peer.endpoint();
    dialog->SetSettings(settings);
    accountField->setText("demo");
    passwordField->setText("demo123");
    remember->setChecked(true);
    BoxCloser closer;
    dialog->OnLogin();
    QTRY_COMPARE_WITH_TIMEOUT(closer.count, 1, 10000);
    QCOMPARE(closer.text, QString::fromUtf8("未通过服务器验证，请检查帐号、密码！"));
    QCOMPARE(peer.connectionCount(), 1);
    dialog.reset();

    if (!saved) {
        // Nothing can replace a folder; the login went on all the same.
        QVERIFY(QFileInfo(path).isDir());
        return;
    }
    QVERIFY(QFileInfo(path).isFile());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("demo\r\ndemo123"));
    QCOMPARE(QFile::permissions(path) & (QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                         QFileDevice::WriteGroup | QFileDevice::ReadOther | QFileDevice::WriteOther),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    // And the next start reads it back.
    auto again = std::make_unique<CLogin>();
    again->SetProgramFolder(folder.path() + "/");
    again->show();
    QCOMPARE(again->findChild<QLineEdit *>("account")->text(), QString("demo"));
    QCOMPARE(again->findChild<QLineEdit *>("password")->text(), QString("demo123"));
    QVERIFY(again->findChild<QCheckBox *>("remember")->isChecked());
}

QTEST_MAIN(TestDamagedSignIn)
#include "tst_damagedsignin.moc"
