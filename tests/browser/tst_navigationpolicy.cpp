#include "browser/navigation/NavigationPolicy.h"

#include <QTest>

Q_DECLARE_METATYPE(NavigationStart)
Q_DECLARE_METATYPE(NavigationDecision)

class TestNavigationPolicy final : public QObject
{
    Q_OBJECT

private slots:
    void decisions_data();
    void decisions();
};

void TestNavigationPolicy::decisions_data()
{
    QTest::addColumn<QString>("start");       // the start address the service returned
    QTest::addColumn<QString>("extra");       // extra hosts, comma separated
    QTest::addColumn<QString>("url");
    QTest::addColumn<NavigationStart>("how");
    QTest::addColumn<bool>("mainFrame");
    QTest::addColumn<NavigationDecision>("decision");

    const QString start = "http://portal.data.test:8080/start?user=a&ver=430";
    const auto stay = NavigationDecision::Stay;
    const auto outside = NavigationDecision::OpenOutside;
    const auto ignore = NavigationDecision::Ignore;
    using N = NavigationStart;
    // The site is http://www.kelumo.com, the service http://login.service.test/....
    QTest::newRow("start host") << start << "" << "http://portal.data.test/second" << N::LinkClicked << true << stay;
    QTest::newRow("start host, other port") << start << "" << "https://portal.data.test:9443/x" << N::LinkClicked
                                            << true << stay;
    QTest::newRow("site") << start << "" << "http://www.kelumo.com/help" << N::LinkClicked << true << stay;
    QTest::newRow("site's domain") << start << "" << "http://kelumo.com/" << N::FormSubmitted << true << stay;
    QTest::newRow("subdomain") << start << "" << "https://reports.cn.kelumo.com/r" << N::NewWindow << true << stay;
    QTest::newRow("upper case") << start << "" << "HTTP://WWW.KELUMO.COM/A" << N::LinkClicked << true << stay;
    QTest::newRow("fully qualified") << start << "" << "http://www.kelumo.com./" << N::LinkClicked << true << stay;
    QTest::newRow("IDN subdomain") << start << "" << "http://数据.kelumo.com/" << N::LinkClicked << true << stay;
    QTest::newRow("login service") << start << "" << "http://login.service.test/x" << N::LinkClicked << true << stay;
    QTest::newRow("foreign link") << start << "" << "http://news.example.test/a" << N::LinkClicked << true << outside;
    QTest::newRow("foreign form") << start << "" << "https://pay.example.test/" << N::FormSubmitted << true
                                  << outside;
    QTest::newRow("foreign new window") << start << "" << "http://example.test/" << N::NewWindow << true << outside;
    // The address dialog goes where the user sends it.
    QTest::newRow("foreign typed") << start << "" << "http://example.test/" << N::Typed << true << stay;
    QTest::newRow("ends with the letters") << start << "" << "http://evilkelumo.com/" << N::LinkClicked << true
                                           << outside;
    QTest::newRow("domain as a subdomain") << start << "" << "http://kelumo.com.evil.test/" << N::LinkClicked
                                           << true << outside;
    QTest::newRow("user info") << start << "" << "http://www.kelumo.com@evil.test/" << N::LinkClicked << true
                               << outside;
    QTest::newRow("look-alike IDN") << start << "" << "http://kelumо.com/" << N::LinkClicked << true << outside;
    QTest::newRow("start host's parent") << start << "" << "http://data.test/" << N::LinkClicked << true << outside;
    // Single sign-on and report servers go through other hosts.
    QTest::newRow("foreign redirect") << start << "" << "https://sso.example.test/" << N::Redirect << true << stay;
    QTest::newRow("foreign sub-frame") << start << "" << "https://maps.example.test/" << N::LinkClicked << false
                                       << stay;
    QTest::newRow("back to a foreign page") << start << "" << "https://sso.example.test/" << N::BackForward << true
                                            << stay;
    QTest::newRow("extra host") << start << "partner.test, *.cdn.test" << "http://partner.test/r" << N::LinkClicked
                                << true << stay;
    QTest::newRow("extra host's subdomain") << start << "partner.test, *.cdn.test" << "http://a.cdn.test/"
                                            << N::LinkClicked << true << stay;
    QTest::newRow("not an extra host") << start << "partner.test" << "http://partner.test.evil/" << N::LinkClicked
                                       << true << outside;
    // An address as the start: that address only.
    const QString byAddress = "http://10.1.2.3:8080/start";
    QTest::newRow("IP start") << byAddress << "" << "http://10.1.2.3/x" << N::LinkClicked << true << stay;
    QTest::newRow("other IP") << byAddress << "" << "http://10.1.2.4:8080/x" << N::LinkClicked << true << outside;
    QTest::newRow("IP's 'subdomain'") << byAddress << "" << "http://1.10.1.2.3/" << N::LinkClicked << true
                                      << outside;
    const QString byIpv6 = "http://[fd00::1]:8080/start";
    QTest::newRow("IPv6 start") << byIpv6 << "" << "http://[FD00:0:0::1]/x" << N::LinkClicked << true << stay;
    QTest::newRow("other IPv6") << byIpv6 << "" << "http://[fd00::2]/x" << N::LinkClicked << true << outside;
    QTest::newRow("empty host") << start << "" << "http:///x" << N::LinkClicked << true << ignore;
    // Other schemes.
    QTest::newRow("mailto") << start << "" << "mailto:support@kelumo.com" << N::LinkClicked << true << outside;
    QTest::newRow("tel") << start << "" << "tel:4000000000" << N::LinkClicked << true << outside;
    QTest::newRow("mailto by redirect") << start << "" << "mailto:a@b.test" << N::Redirect << true << ignore;
    QTest::newRow("javascript") << start << "" << "javascript:void(0)" << N::LinkClicked << true << stay;
    QTest::newRow("data") << start << "" << "data:text/html,x" << N::Other << true << stay;
    QTest::newRow("blob") << start << "" << "blob:http://portal.data.test/1-2" << N::NewWindow << true << stay;
    QTest::newRow("about") << start << "" << "about:blank" << N::NewWindow << true << stay;
    QTest::newRow("file link") << start << "" << "file:///etc/passwd" << N::LinkClicked << true << ignore;
    QTest::newRow("file sub-frame") << start << "" << "file:///etc/passwd" << N::Other << false << ignore;
    QTest::newRow("file typed") << start << "" << "file:///opt/kelumo/error" << N::Typed << true << stay;
    QTest::newRow("file reloaded") << start << "" << "file:///opt/kelumo/error" << N::Reload << true << stay;
    QTest::newRow("empty address") << start << "" << "" << N::Typed << true << stay;
    // Before the sign-in there is no start address: the site still counts.
    QTest::newRow("no start address") << "" << "" << "http://www.kelumo.com/" << N::Typed << true << stay;
}

void TestNavigationPolicy::decisions()
{
    QFETCH(QString, start);
    QFETCH(QString, extra);
    QFETCH(QString, url);
    QFETCH(NavigationStart, how);
    QFETCH(bool, mainFrame);
    QFETCH(NavigationDecision, decision);
    QStringList extraHosts;
    for (const QString &host : extra.split(',', Qt::SkipEmptyParts))
        extraHosts << host.trimmed();
    const PlatformHosts hosts = PlatformHosts::of(start, "http://www.kelumo.com", "http://login.service.test/Services/"
                                                  "CheckUserLogin.asmx", extraHosts);
    QCOMPARE(navigationDecision(QUrl(url), how, mainFrame, hosts), decision);
}

QTEST_APPLESS_MAIN(TestNavigationPolicy)
#include "tst_navigationpolicy.moc"
