#include "tests/support/LoopbackPeer.h"
#include "tests/support/TestProxy.h"

#include <QProcess>
#include <QTest>

#include <string>

using namespace std::string_literals;

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

const QStringList proxyVariables = {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                                    "all_proxy",  "ALL_PROXY",  "no_proxy",    "NO_PROXY"};

Run runTool(const QStringList &args, const QByteArray &envEndpoint = {}, const QStringList &proxyEnv = {})
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", "C.UTF-8");
    for (const QString &name : proxyVariables)
        env.remove(name);
    for (const QString &setting : proxyEnv)
        env.insert(setting.section('=', 0, 0), setting.section('=', 1));
    if (envEndpoint.isEmpty())
        env.remove("KELUMO_LOGIN_ENDPOINT");
    else
        env.insert("KELUMO_LOGIN_ENDPOINT", QString::fromUtf8(envEndpoint));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(KELUMO_LOGIN_TOOL), args);
    process.waitForFinished(20000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

} // namespace

class TestKelumoLogin final : public QObject
{
    Q_OBJECT

private slots:
    void printsAnswerInUtf8();
    void sendsArgumentsAsGbk();
    void absentResultPrintsEmptyLine();
    void endpointFromEnvironment();
    void failureWritesReport();
    void badUsage_data();
    void badUsage();
    void wayOut_data();
    void wayOut();
};

void TestKelumoLogin::printsAnswerInUtf8()
{
    // The service answers GBK bytes as Latin-1 characters: D5 C5 is 张.
    LoopbackPeer peer(LoopbackPeer::httpReply(200, LoopbackPeer::answer("-1\xc3\x95\xc3\x85")));
    const Run run = runTool({"--endpoint", QString::fromStdString(peer.endpoint()), "demo", "pw"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QByteArray("-1张\n"));
}

void TestKelumoLogin::sendsArgumentsAsGbk()
{
    LoopbackPeer peer(LoopbackPeer::httpReply(200, LoopbackPeer::answer("0")));
    const Run run = runTool({"--endpoint", QString::fromStdString(peer.endpoint()), "--company", "企", "张三",
                             "p&w<d>"});
    QCOMPARE(run.exitCode, 0);
    const std::string request = peer.requests().front();
    QVERIFY(request.find("<ns1:EntName>\xc3\x86\xc3\xb3</ns1:EntName>") != std::string::npos);
    QVERIFY(request.find("<ns1:strLoginId>\xc3\x95\xc3\x85\xc3\x88\xc3\xbd</ns1:strLoginId>") != std::string::npos);
    QVERIFY(request.find("<ns1:strPwd>p&amp;w&lt;d&gt;</ns1:strPwd>") != std::string::npos);
}

void TestKelumoLogin::absentResultPrintsEmptyLine()
{
    LoopbackPeer peer(LoopbackPeer::httpReply(
        200, LoopbackPeer::soap12Envelope(
                 "<CheckUserRegisterCodeResponse xmlns=\"{F16595B6-DE49-44d9-94C6-1E63F3AC28E8}\"/>")));
    const Run run = runTool({"--endpoint", QString::fromStdString(peer.endpoint()), "a", "b"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QByteArray("\n"));
}

void TestKelumoLogin::endpointFromEnvironment()
{
    LoopbackPeer peer(LoopbackPeer::httpReply(200, LoopbackPeer::answer("0")));
    const Run run = runTool({"a", "b"}, QByteArray::fromStdString(peer.endpoint()));
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QByteArray("0\n"));
    QCOMPARE(peer.requests().size(), std::size_t(1));
}

void TestKelumoLogin::failureWritesReport()
{
    LoopbackPeer peer(LoopbackPeer::httpReply(500, LoopbackPeer::fault12("soap12:Receiver", "down")));
    const Run run = runTool({"--endpoint", QString::fromStdString(peer.endpoint()), "a", "b"});
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.out.isEmpty());
    QCOMPARE(run.err, QByteArray("SOAP 1.2 fault: SOAP-ENV:Receiver[no subcode]\n\"down\"\nDetail: [no detail]\n"));
}

void TestKelumoLogin::badUsage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("nothing") << QStringList{};
    QTest::newRow("one argument") << QStringList{"a"};
    QTest::newRow("three arguments") << QStringList{"a", "b", "c"};
    QTest::newRow("unknown option") << QStringList{"--bogus", "a", "b"};
    QTest::newRow("option without value") << QStringList{"a", "b", "--endpoint"};
    QTest::newRow("no-proxy with a value") << QStringList{"--no-proxy=yes", "a", "b"};
}

void TestKelumoLogin::badUsage()
{
    QFETCH(QStringList, args);
    const Run run = runTool(args);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.err.contains("usage"));
}

void TestKelumoLogin::wayOut_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QStringList>("env");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("proxyDemandsCredentials");
    QTest::addColumn<bool>("viaProxy");
    QTest::addColumn<int>("exitCode");

    // {proxy} is the test proxy's address. login.kelumo.test resolves
    // nowhere; 0.0.0.0 is no loopback name, yet a direct call to it arrives
    // at this host.
    const QString nowhere = "login.kelumo.test";
    const QString here = "0.0.0.0";
    const QStringList none;
    QTest::newRow("http_proxy") << nowhere << QStringList{"http_proxy={proxy}"} << none << false << true << 0;
    QTest::newRow("no_proxy sends direct") << here << QStringList{"http_proxy={proxy}", "no_proxy=example.org, 0.0.0.0"}
                                           << none << false << false << 0;
    QTest::newRow("--no-proxy sends direct") << here << QStringList{"http_proxy={proxy}"}
                                             << QStringList{"--no-proxy"} << false << false << 0;
    QTest::newRow("credentials from the address")
        << nowhere << QStringList{"http_proxy=http://us%40er:p%3Aw@{proxyHost}"} << none << true << true << 0;
    QTest::newRow("407 without credentials") << nowhere << QStringList{"http_proxy={proxy}"} << none << true << true
                                             << 1;
}

void TestKelumoLogin::wayOut()
{
    QFETCH(QString, host);
    QFETCH(QStringList, env);
    QFETCH(QStringList, options);
    QFETCH(bool, proxyDemandsCredentials);
    QFETCH(bool, viaProxy);
    QFETCH(int, exitCode);

    LoopbackPeer peer(LoopbackPeer::httpReply(200, LoopbackPeer::answer("0")));
    TestProxy proxy;
    if (proxyDemandsCredentials)
        proxy.requireCredentials("us@er", "p:w");
    for (QString &setting : env)
        setting.replace("{proxy}", QString::fromStdString(proxy.address()))
            .replace("{proxyHost}", "127.0.0.1:" + QString::number(proxy.port()));
    const QString endpoint = "http://" + host + ":" + QString::number(peer.port()) + "/Services/CheckUserLogin.asmx";
    const Run run = runTool(options + QStringList{"--endpoint", endpoint, "a", "b"}, {}, env);

    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(proxy.requests().size(), std::size_t(viaProxy ? 1 : 0));
    QCOMPARE(peer.requests().size(), std::size_t(exitCode == 0 ? 1 : 0));
    if (viaProxy)
        QVERIFY(proxy.requests().front().rfind("POST " + endpoint.toStdString() + " HTTP/1.1\r\n", 0) == 0);
    if (exitCode != 0)
        QVERIFY2(run.err.contains("407 Proxy Authentication Required"), run.err.constData());
}

QTEST_GUILESS_MAIN(TestKelumoLogin)
#include "tst_kelumologin.moc"
