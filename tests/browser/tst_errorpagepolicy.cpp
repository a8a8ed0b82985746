#include "browser/ErrorPagePolicy.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class TestErrorPagePolicy final : public QObject
{
    Q_OBJECT

private slots:
    void lookupOrder();
    void deepProgramFolder();
    void redirects_data();
    void redirects();
    void startAddressIsEscaped();
    void shippedPageOffersTheWayBack();
};

namespace {

void touch(const QString &path)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
}

} // namespace

void TestErrorPagePolicy::lookupOrder()
{
    QTemporaryDir current;
    QTemporaryDir program;
    const QString programFolder = program.path() + '/'; // as the program passes it

    QCOMPARE(findErrorPage(current.path(), programFolder), QString());
    // A folder of that name, or a file of a similar one, is not the page.
    QVERIFY(QDir(current.path()).mkdir("error"));
    touch(current.filePath("error.html"));
    QCOMPARE(findErrorPage(current.path(), programFolder), QString());

    touch(program.filePath("error"));
    QCOMPARE(findErrorPage(current.path(), programFolder), programFolder + "error");

    QTemporaryDir other;
    touch(other.filePath("error"));
    QCOMPARE(findErrorPage(other.path(), programFolder), other.filePath("error"));
    // A relative current directory still gives an absolute path.
    const QString saved = QDir::currentPath();
    QVERIFY(QDir::setCurrent(other.path()));
    const QString found = findErrorPage(".", programFolder);
    QDir::setCurrent(saved);
    QVERIFY2(QDir::isAbsolutePath(found), qPrintable(found));
}

void TestErrorPagePolicy::deepProgramFolder()
{
    // Far past the 260 characters some systems stop at.
    QTemporaryDir base;
    QString deep = base.path();
    for (int i = 0; i < 12; ++i)
        deep += QStringLiteral("/客户端文件夹-") + QString(20, QLatin1Char('a' + i));
    QVERIFY(QDir().mkpath(deep));
    touch(deep + "/error");
    QTemporaryDir current;
    QCOMPARE(findErrorPage(current.path(), deep + '/'), deep + "/error");
}

void TestErrorPagePolicy::redirects_data()
{
    using Info = QWebEngineLoadingInfo;
    QTest::addColumn<Info::LoadStatus>("status");
    QTest::addColumn<bool>("loadIsErrorPage");
    QTest::addColumn<bool>("expected");

    // 404/500, refused connections, unknown hosts, missing files: all fail.
    QTest::newRow("failed") << Info::LoadFailedStatus << false << true;
    QTest::newRow("succeeded") << Info::LoadSucceededStatus << false << false;
    // 204 No Content, a download, a load stopped or replaced.
    QTest::newRow("stopped") << Info::LoadStoppedStatus << false << false;
    QTest::newRow("started") << Info::LoadStartedStatus << false << false;
    QTest::newRow("error page fails: no loop") << Info::LoadFailedStatus << true << false;
}

void TestErrorPagePolicy::redirects()
{
    QFETCH(QWebEngineLoadingInfo::LoadStatus, status);
    QFETCH(bool, loadIsErrorPage);
    QFETCH(bool, expected);
    QCOMPARE(redirectsToErrorPage(status, loadIsErrorPage), expected);
}

void TestErrorPagePolicy::startAddressIsEscaped()
{
    const QString page = QStringLiteral("<a href=\"{{START_URL}}\">返回首页</a> <a href='{{START_URL}}'>");
    QCOMPARE(fillErrorPage(page, QStringLiteral("http://h/a?x=1&y=\"2\"<b>'")),
             QStringLiteral("<a href=\"http://h/a?x=1&amp;y=&quot;2&quot;&lt;b&gt;&#39;\">返回首页</a> "
                            "<a href='http://h/a?x=1&amp;y=&quot;2&quot;&lt;b&gt;&#39;'>"));
}

void TestErrorPagePolicy::shippedPageOffersTheWayBack()
{
    QFile file(QStringLiteral(KELUMO_ERROR_PAGE_SOURCE));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(file.readAll());
    QVERIFY(page.contains(QLatin1String("<meta charset=\"utf-8\">")));
    QVERIFY(page.contains(QStringLiteral("<title>Kelumo大数据</title>")));
    QVERIFY(page.contains(QStringLiteral("href=\"{{START_URL}}\">返回首页</a>")));
    QVERIFY(page.contains(QStringLiteral("重新加载")));
    // Shown exactly when the network is down: nothing may come from outside.
    static const QRegularExpression outside(QStringLiteral("(src|href)\\s*=\\s*[\"']?(https?:|//)|@import|url\\("));
    QVERIFY2(!page.contains(outside), qPrintable(outside.match(page).captured()));
}

QTEST_APPLESS_MAIN(TestErrorPagePolicy)
#include "tst_errorpagepolicy.moc"
