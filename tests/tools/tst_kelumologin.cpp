#include "LoopbackPeer.h"

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

Run runTool(const QStringList &args, const QByteArray &envEndpoint = {})
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", "C.UTF-8");
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
}

void TestKelumoLogin::badUsage()
{
    QFETCH(QStringList, args);
    const Run run = runTool(args);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.err.contains("usage"));
}

QTEST_GUILESS_MAIN(TestKelumoLogin)
#include "tst_kelumologin.moc"
