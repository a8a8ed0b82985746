#include "browser/navigation/ErrorPagePolicy.h"
#include "browser/navigation/PageTrust.h"
#include "browser/navigation/RecoveryPolicy.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

class TestErrorPagePolicy final : public QObject
{
    Q_OBJECT

private slots:
    void lookupOrder();
    void deepProgramFolder();
    void redirects_data();
    void redirects();
    void reasons_data();
    void reasons();
    void retryDelays();
    void tryBudget_data();
    void tryBudget();
    void probeWay_data();
    void probeWay();
    void pageTrust_data();
    void pageTrust();
    void historyAroundErrorPage_data();
    void historyAroundErrorPage();
    void rendererEnd_data();
    void rendererEnd();
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

void TestErrorPagePolicy::reasons_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("retries");
    QTest::addColumn<bool>("probeLoads"); // a probe answered with this code

    const QString web = QStringLiteral("http://www.kelumo.com/page");
    // The page says it tries again exactly for "unreachable" and 502-504.
    QTest::newRow("refused") << web << -102 << "unreachable" << true << false;
    QTest::newRow("reset") << web << -101 << "unreachable" << true << false;
    QTest::newRow("address unreachable") << web << -109 << "unreachable" << true << false;
    QTest::newRow("name not resolved") << web << -105 << "unreachable" << true << false;
    QTest::newRow("connection timed out") << web << -118 << "unreachable" << true << false;
    QTest::newRow("proxy down") << web << -130 << "unreachable" << true << false;
    QTest::newRow("https, empty answer") << "https://www.kelumo.com/" << -324 << "unreachable" << true << false;
    QTest::newRow("timed out") << web << -7 << "unreachable" << true << false;
    QTest::newRow("connection closed") << web << -100 << "unreachable" << true << false;
    QTest::newRow("name resolution failed") << web << -137 << "unreachable" << true << false;
    // A certificate, a login or a loop does not mend itself.
    QTest::newRow("unknown authority") << "https://www.kelumo.com/" << -202 << "certificate" << false << false;
    QTest::newRow("name not in the certificate") << "https://www.kelumo.com/" << -200 << "certificate" << false
                                                 << false;
    QTest::newRow("certificate expired") << "https://www.kelumo.com/" << -201 << "certificate" << false << false;
    QTest::newRow("too many redirects") << web << -310 << "failed" << false << false;
    QTest::newRow("too many retries") << web << -375 << "failed" << false << false;
    QTest::newRow("proxy refused the tunnel") << web << -111 << "failed" << false << false;
    QTest::newRow("proxy login asked") << web << -115 << "failed" << false << false;
    QTest::newRow("blocked") << web << -20 << "failed" << false << false;
    QTest::newRow("bad gateway") << web << 502 << "http-502" << true << false;
    QTest::newRow("unavailable") << web << 503 << "http-503" << true << false;
    QTest::newRow("gateway timeout") << web << 504 << "http-504" << true << false;
    QTest::newRow("not found") << web << 404 << "http-404" << false << true;
    QTest::newRow("forbidden") << web << 403 << "http-403" << false << true;
    QTest::newRow("server error") << web << 500 << "http-500" << false << true;
    QTest::newRow("proxy wants a login") << web << 407 << "http-407" << false << true;
    QTest::newRow("probe ok") << web << 200 << "http-200" << false << true;
    QTest::newRow("probe redirected") << web << 302 << "http-302" << false << true;
    QTest::newRow("no answer") << web << 0 << "unreachable" << false << false;
    // Nothing to probe there.
    QTest::newRow("missing file") << "file:///opt/kelumo/x.html" << -6 << "failed" << false << false;
}

void TestErrorPagePolicy::reasons()
{
    QFETCH(QString, address);
    QFETCH(int, code);
    QFETCH(QString, reason);
    QFETCH(bool, retries);
    QFETCH(bool, probeLoads);
    QCOMPARE(errorPageReason(code), reason);
    QCOMPARE(recovery::retriesByItself(QUrl(address), code), retries);
    QCOMPARE(recovery::probeAnswerLoads(code), probeLoads);
}

void TestErrorPagePolicy::retryDelays()
{
    QList<int> delays;
    for (int attempt = 0; attempt < 8; ++attempt)
        delays << recovery::retryDelayMs(attempt);
    QCOMPARE(delays, (QList<int>{2000, 4000, 8000, 16000, 30000, 30000, 30000, 30000}));
    QCOMPARE(recovery::retryDelayMs(1 << 30), 30000);
}

void TestErrorPagePolicy::tryBudget_data()
{
    QTest::addColumn<QList<qint64>>("earlier");
    QTest::addColumn<qint64>("at");
    QTest::addColumn<qint64>("wait");
    QTest::newRow("first") << QList<qint64>{} << qint64(2000) << qint64(0);
    QTest::newRow("third in the minute") << QList<qint64>{2000, 6000} << qint64(14000) << qint64(0);
    QTest::newRow("fourth waits for the first to leave") << QList<qint64>{2000, 6000, 14000} << qint64(30000)
                                                         << qint64(32000);
    QTest::newRow("first has left") << QList<qint64>{2000, 6000, 14000} << qint64(62000) << qint64(0);
    QTest::newRow("only the last minute counts") << QList<qint64>{0, 2000, 3000, 62000, 63000} << qint64(64000)
                                                 << qint64(0);
    QTest::newRow("three in the last minute") << QList<qint64>{0, 62000, 63000, 64000} << qint64(65000)
                                              << qint64(57000);
}

void TestErrorPagePolicy::tryBudget()
{
    QFETCH(QList<qint64>, earlier);
    QFETCH(qint64, at);
    QFETCH(qint64, wait);
    QCOMPARE(recovery::waitForTryBudget(earlier, at), wait);

    // A platform away for an hour, tried with the backoff inside the budget:
    // never more than the budget in any minute.
    QList<qint64> tries;
    qint64 now = 0;
    for (int attempt = 0; now < 3600000; ++attempt) {
        now += recovery::retryDelayMs(attempt);
        now += recovery::waitForTryBudget(tries, now);
        tries.append(now);
    }
    for (const qint64 start : tries) {
        const auto inMinute = std::count_if(tries.begin(), tries.end(),
                                            [start](qint64 t) { return t >= start && t < start + 60000; });
        QVERIFY2(inMinute <= recovery::maxTriesPerMinute, qPrintable(QString::number(start)));
    }
}

void TestErrorPagePolicy::probeWay_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("direct");
    QTest::newRow("loopback") << "127.0.0.1" << true;
    QTest::newRow("loopback v6") << "::1" << true;
    QTest::newRow("link-local") << "169.254.1.2" << true;
    QTest::newRow("localhost") << "LocalHost" << true;
    QTest::newRow("simple name") << "portal" << true;
    QTest::newRow("name") << "www.kelumo.com" << false;
    QTest::newRow("address") << "10.1.2.3" << false;
}

void TestErrorPagePolicy::probeWay()
{
    QFETCH(QString, host);
    QFETCH(bool, direct);
    QCOMPARE(recovery::probeGoesDirect(host), direct);
}

void TestErrorPagePolicy::pageTrust_data()
{
    using Type = QWebEngineCertificateError::Type;
    // Chains as the names of the certificates the build made, the server's
    // first; the roots as files. Never the machine's store.
    QTest::addColumn<Type>("type");
    QTest::addColumn<QStringList>("chain");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QStringList>("roots");
    QTest::addColumn<bool>("accepted");

    const Type unknownRoot = QWebEngineCertificateError::CertificateAuthorityInvalid;
    const QStringList platform{"platform"};
    const QStringList company{"trusted-root"};
    QTest::newRow("company root, named host") << unknownRoot << platform << "platform.kelumo.test" << company << true;
    QTest::newRow("company root, named address") << unknownRoot << platform << "127.0.0.1" << company << true;
    QTest::newRow("root in a bundle") << unknownRoot << platform << "platform.kelumo.test" << QStringList{"bundle"}
                                      << true;
    QTest::newRow("host not named") << unknownRoot << platform << "www.kelumo.com" << company << false;
    QTest::newRow("subdomain not named") << unknownRoot << platform << "a.platform.kelumo.test" << company << false;
    QTest::newRow("other host's certificate") << unknownRoot << QStringList{"other-host"} << "platform.kelumo.test"
                                              << company << false;
    QTest::newRow("root nobody trusts") << unknownRoot << QStringList{"impostor"} << "platform.kelumo.test" << company
                                        << false;
    QTest::newRow("no roots") << unknownRoot << platform << "platform.kelumo.test" << QStringList{} << false;
    QTest::newRow("missing root file") << unknownRoot << platform << "platform.kelumo.test" << QStringList{"none"}
                                       << false;
    QTest::newRow("the chain brings its own root") << unknownRoot << QStringList{"platform", "trusted-root"}
                                                   << "platform.kelumo.test" << QStringList{} << false;
    QTest::newRow("no chain") << unknownRoot << QStringList{} << "platform.kelumo.test" << company << false;
    // Whatever the roots, the engine's other refusals stand.
    QTest::newRow("expired") << QWebEngineCertificateError::CertificateDateInvalid << platform
                             << "platform.kelumo.test" << company << false;
    QTest::newRow("name mismatch") << QWebEngineCertificateError::CertificateCommonNameInvalid << platform
                                   << "platform.kelumo.test" << company << false;
    QTest::newRow("revoked") << QWebEngineCertificateError::CertificateRevoked << platform << "platform.kelumo.test"
                             << company << false;
    QTest::newRow("weak key") << QWebEngineCertificateError::CertificateWeakKey << platform << "platform.kelumo.test"
                              << company << false;
}

void TestErrorPagePolicy::pageTrust()
{
    QFETCH(QWebEngineCertificateError::Type, type);
    QFETCH(QStringList, chain);
    QFETCH(QString, host);
    QFETCH(QStringList, roots);
    QFETCH(bool, accepted);

    const QString folder = QStringLiteral(TEST_CERTIFICATES "/");
    QList<QSslCertificate> certificates;
    for (const QString &name : chain)
        certificates += QSslCertificate::fromPath(folder + name + ".pem");
    QCOMPARE(certificates.size(), chain.size());
    pagetrust::Roots trust{.systemStore = false, .files = {}};
    for (const QString &name : roots)
        trust.files << folder + name + ".pem";
    QCOMPARE(pagetrust::accepts(type, certificates, host, trust), accepted);
}

void TestErrorPagePolicy::historyAroundErrorPage_data()
{
    // The engine's entries as letters: a page, its address in lower case;
    // "!" the error page. Then where the user is, and where Back and Forward
    // lead (-1: nowhere).
    QTest::addColumn<QString>("entries");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("back");
    QTest::addColumn<int>("forward");

    QTest::newRow("plain pages") << "abc" << 1 << 0 << 2;
    QTest::newRow("on the error page") << "ab!" << 2 << 0 << -1;
    QTest::newRow("back before it: forward returns to it") << "ab!" << 0 << -1 << 1;
    QTest::newRow("first page failed") << "a!" << 1 << -1 << -1;
    QTest::newRow("failed page came back from the cache") << "ab!" << 1 << 0 << -1;
    QTest::newRow("tried again and loaded") << "ab!b" << 3 << 0 << -1;
    QTest::newRow("tried again: forward skips the old try") << "ab!b" << 0 << -1 << 3;
    QTest::newRow("tried again and failed again") << "ab!b!" << 4 << 0 << -1;
    QTest::newRow("left the error page for another page") << "ab!c" << 3 << 1 << -1;
    QTest::newRow("in the middle") << "ab!cd" << 3 << 1 << 4;
}

void TestErrorPagePolicy::historyAroundErrorPage()
{
    QFETCH(QString, entries);
    QFETCH(int, current);
    QFETCH(int, back);
    QFETCH(int, forward);
    QList<recovery::HistoryEntry> list;
    for (const QChar c : entries)
        list.append(c == '!' ? recovery::HistoryEntry{QUrl("data:text/html,error"), true}
                             : recovery::HistoryEntry{QUrl(QStringLiteral("http://h/") + c), false});
    QCOMPARE(recovery::backTarget(list, current), back);
    QCOMPARE(recovery::forwardTarget(list, current), forward);
}

void TestErrorPagePolicy::rendererEnd_data()
{
    using End = recovery::RendererEnd;
    QTest::addColumn<bool>("abnormal");
    QTest::addColumn<qint64>("sinceReload"); // -1: not reloaded after a death yet
    QTest::addColumn<End>("expected");
    QTest::newRow("window closed") << false << qint64(-1) << End::Nothing;
    QTest::newRow("closed after a reload") << false << qint64(10) << End::Nothing;
    QTest::newRow("first death") << true << qint64(-1) << End::Reload;
    QTest::newRow("again at once") << true << qint64(0) << End::ErrorPage;
    QTest::newRow("again within the minute") << true << qint64(59999) << End::ErrorPage;
    QTest::newRow("again after the minute") << true << qint64(60000) << End::Reload;
}

void TestErrorPagePolicy::rendererEnd()
{
    QFETCH(bool, abnormal);
    QFETCH(qint64, sinceReload);
    QFETCH(recovery::RendererEnd, expected);
    QCOMPARE(recovery::afterRendererEnd(abnormal, sinceReload), expected);
}

void TestErrorPagePolicy::startAddressIsEscaped()
{
    const QString page = QStringLiteral("<a href=\"{{START_URL}}\">返回首页</a> <a href='{{START_URL}}'>");
    QCOMPARE(fillErrorPage(page, QStringLiteral("http://h/a?x=1&y=\"2\"<b>'")),
             QStringLiteral("<a href=\"http://h/a?x=1&amp;y=&quot;2&quot;&lt;b&gt;&#39;\">返回首页</a> "
                            "<a href='http://h/a?x=1&amp;y=&quot;2&quot;&lt;b&gt;&#39;'>"));
    // The host a refused certificate came from, the same way.
    QCOMPARE(fillErrorPage(QStringLiteral("<meta content=\"{{FAILED_HOST}}\">"), {}, QStringLiteral("a\"b<")),
             QStringLiteral("<meta content=\"a&quot;b&lt;\">"));
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
    // It says when it tries again by itself, and names a dead page.
    QVERIFY(page.contains(QStringLiteral("客户端会自动重试，平台恢复后页面将自动打开。")));
    QVERIFY(page.contains(QStringLiteral("页面意外终止")));
    // A refused certificate says so, names the host, and sends to the administrator.
    QVERIFY(page.contains(QStringLiteral("'#certificate'")));
    QVERIFY(page.contains(QStringLiteral("无法验证服务器 ' + (host || '') + ' 的安全证书")));
    QVERIFY(page.contains(QStringLiteral("请与贵单位的系统管理员联系")));
    // Shown exactly when the network is down: nothing may come from outside.
    static const QRegularExpression outside(QStringLiteral("(src|href)\\s*=\\s*[\"']?(https?:|//)|@import|url\\("));
    QVERIFY2(!page.contains(outside), qPrintable(outside.match(page).captured()));
}

QTEST_APPLESS_MAIN(TestErrorPagePolicy)
#include "tst_errorpagepolicy.moc"
