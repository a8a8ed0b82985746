#include "tests/support/LoopbackPeer.h"
#include "tests/support/TestProxy.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include <iconv.h>
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

// The client under test: this build's kelumo-login, or the command that
// KELUMO_LOGIN_COMMAND names (its words separated by spaces, e.g.
// "wine build-windows/bin/kelumo-login.exe"), run in the locale
// KELUMO_LOGIN_LOCALE (default C.UTF-8), printing in the code set
// KELUMO_LOGIN_OUTPUT_CODESET (default UTF-8).
QStringList clientCommand()
{
    const QString command = qEnvironmentVariable("KELUMO_LOGIN_COMMAND");
    if (command.isEmpty())
        return {QStringLiteral(KELUMO_LOGIN_TOOL)};
    return command.split(' ', Qt::SkipEmptyParts);
}

// The client's output in UTF-8, as the expectations are written.
QByteArray toUtf8(const QByteArray &bytes)
{
    const QByteArray codeset = qgetenv("KELUMO_LOGIN_OUTPUT_CODESET");
    if (codeset.isEmpty() || codeset == "UTF-8" || bytes.isEmpty())
        return bytes;
    iconv_t cd = iconv_open("UTF-8", codeset.constData());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return bytes;
    QByteArray in = bytes;
    QByteArray out(bytes.size() * 4, '\0');
    char *inPtr = in.data();
    char *outPtr = out.data();
    std::size_t inLeft = static_cast<std::size_t>(in.size());
    std::size_t outLeft = static_cast<std::size_t>(out.size());
    const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1))
        return bytes;
    out.truncate(out.size() - static_cast<qsizetype>(outLeft));
    return out;
}

Run runTool(const QStringList &args, const QByteArray &envEndpoint = {}, const QStringList &proxyEnv = {})
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", qEnvironmentVariable("KELUMO_LOGIN_LOCALE", "C.UTF-8"));
    for (const QString &name : proxyVariables)
        env.remove(name);
    for (const QString &setting : proxyEnv)
        env.insert(setting.section('=', 0, 0), setting.section('=', 1));
    if (envEndpoint.isEmpty())
        env.remove("KELUMO_LOGIN_ENDPOINT");
    else
        env.insert("KELUMO_LOGIN_ENDPOINT", QString::fromUtf8(envEndpoint));
    process.setProcessEnvironment(env);
    QStringList command = clientCommand();
    const QString program = command.takeFirst();
    process.start(program, command + args);
    // Beyond the client's own limits (30 s without progress).
    process.waitForFinished(90000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            toUtf8(process.readAllStandardOutput()), process.readAllStandardError()};
}

const std::string envelopeStart =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://www.w3.org/2003/05/soap-envelope\" "
    "xmlns:SOAP-ENC=\"http://www.w3.org/2003/05/soap-encoding\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
    "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
    "xmlns:ns2=\"{F16595B6-DE49-44d9-94C6-1E63F3AC28E8}/CheckUserLoginSoap\" "
    "xmlns:ns1=\"{F16595B6-DE49-44d9-94C6-1E63F3AC28E8}\" "
    "xmlns:ns3=\"{F16595B6-DE49-44d9-94C6-1E63F3AC28E8}/CheckUserLoginSoap12\">"
    "<SOAP-ENV:Body><ns1:CheckUserRegisterCode>";

// The whole request the service receives for the given children of the call.
std::string expectedRequest(std::uint16_t port, const std::string &children)
{
    const std::string body =
        envelopeStart + children + "</ns1:CheckUserRegisterCode></SOAP-ENV:Body></SOAP-ENV:Envelope>";
    return "POST /Services/CheckUserLogin.asmx HTTP/1.1\r\n"
           "Host: 127.0.0.1:" + std::to_string(port) + "\r\n"
           "User-Agent: gSOAP/2.7\r\n"
           "Content-Type: application/soap+xml; charset=utf-8\r\n"
           "Content-Length: " + std::to_string(body.size()) + "\r\n"
           "Connection: close\r\n"
           "SOAPAction: \"{F16595B6-DE49-44d9-94C6-1E63F3AC28E8}/CheckUserRegisterCode\"\r\n"
           "\r\n" + body;
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
    void requestBytes_data();
    void requestBytes();
    void answers_data();
    void answers();
    void peerNeverAnswers();
    void badUsage_data();
    void badUsage();
    void wayOut_data();
    void wayOut();
    void systemProxy();
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

void TestKelumoLogin::requestBytes_data()
{
    QTest::addColumn<QString>("company");
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("password");
    QTest::addColumn<std::string>("children");

    QTest::newRow("all empty") << "" << "" << ""
                               << "<ns1:EntName></ns1:EntName><ns1:strLoginId></ns1:strLoginId><ns1:strPwd></ns1:strPwd>"s;
    QTest::newRow("markup escaped, quote and tab kept")
        << "" << "a&b<c>d" << "p\"w\td"
        << "<ns1:EntName></ns1:EntName><ns1:strLoginId>a&amp;b&lt;c&gt;d</ns1:strLoginId>"
           "<ns1:strPwd>p\"w\td</ns1:strPwd>"s;
    QTest::newRow("CR and LF as references")
        << "" << "line\r\nbreak" << "x\ny"
        << "<ns1:EntName></ns1:EntName><ns1:strLoginId>line&#xD;&#xA;break</ns1:strLoginId>"
           "<ns1:strPwd>x&#xA;y</ns1:strPwd>"s;
    // 张三 in GBK is D5 C5 C8 FD, 中 D6 D0; each byte travels as a Latin-1
    // character. What GBK cannot hold becomes '?'.
    QTest::newRow("GBK bytes as Latin-1 characters")
        << "张" << "张三" << "中한😀"
        << "<ns1:EntName>\xc3\x95\xc3\x85</ns1:EntName><ns1:strLoginId>\xc3\x95\xc3\x85\xc3\x88\xc3\xbd</ns1:strLoginId>"
           "<ns1:strPwd>\xc3\x96\xc3\x90?" "?</ns1:strPwd>"s;
    QTest::newRow("other control bytes unchanged")
        << "\x01" << "a\x1f" << "\x7f"
        << "<ns1:EntName>\x01</ns1:EntName><ns1:strLoginId>a\x1f</ns1:strLoginId><ns1:strPwd>\x7f</ns1:strPwd>"s;
}

void TestKelumoLogin::requestBytes()
{
    QFETCH(QString, company);
    QFETCH(QString, account);
    QFETCH(QString, password);
    QFETCH(std::string, children);

    LoopbackPeer peer(LoopbackPeer::httpReply(200, LoopbackPeer::answer("ok")));
    const Run run = runTool({"--endpoint", QString::fromStdString(peer.endpoint()), "--company", company, "--",
                             account, password});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QByteArray("ok\n"));
    const auto requests = peer.requests();
    QCOMPARE(requests.size(), std::size_t(1));
    QCOMPARE(requests.front(), expectedRequest(peer.port(), children));
}

void TestKelumoLogin::answers_data()
{
    QTest::addColumn<std::string>("reply");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");

    const std::string ns = "{F16595B6-DE49-44d9-94C6-1E63F3AC28E8}";
    auto ok = [](const std::string &body) { return LoopbackPeer::httpReply(200, body); };
    const QByteArray none;
    auto report = [](const char *code, const char *reason, const char *detail = "[no detail]") {
        return "SOAP 1.2 fault: SOAP-ENV:" + QByteArray(code) + "[no subcode]\n\"" + reason + "\"\nDetail: " +
               detail + "\n";
    };

    QTest::newRow("start address") << ok(LoopbackPeer::answer("http://x/?ver=100")) << 0 << QByteArray("http://x/?ver=100\n")
                                   << none;
    QTest::newRow("chunked answer") << LoopbackPeer::chunkedReply(LoopbackPeer::answer("http://x/?ver=1")) << 0
                                    << QByteArray("http://x/?ver=1\n") << none;
    QTest::newRow("account expired, GBK text") << ok(LoopbackPeer::answer("-1\xc3\x95\xc3\x85")) << 0
                                               << QByteArray("-1张\n") << none;
    QTest::newRow("nil result")
        << ok(LoopbackPeer::soap12Envelope("<CheckUserRegisterCodeResponse xmlns=\"" + ns +
                                           "\"><CheckUserRegisterCodeResult xsi:nil=\"true\"/>"
                                           "</CheckUserRegisterCodeResponse>"))
        << 0 << QByteArray("\n") << none;
    QTest::newRow("SOAP 1.1 envelope (39)")
        << ok("<?xml version=\"1.0\"?><soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\">"
              "<soap:Body><CheckUserRegisterCodeResponse xmlns=\"" + ns + "\"><CheckUserRegisterCodeResult>0"
              "</CheckUserRegisterCodeResult></CheckUserRegisterCodeResponse></soap:Body></soap:Envelope>")
        << 1 << none << report("VersionMismatch", "Invalid SOAP message or SOAP version mismatch");
    QTest::newRow("HTML with 200")
        << LoopbackPeer::httpReply(200, "<html><body>maintenance</body></html>", "text/html") << 1 << none
        << report("Sender", "Error 200: HTTP 200 OK");
    QTest::newRow("404") << LoopbackPeer::httpReply(404, "<html>not found</html>", "text/html") << 1 << none
                         << report("Sender", "Error 404: HTTP 404 Not Found");
    QTest::newRow("503") << LoopbackPeer::httpReply(503, "busy", "text/plain") << 1 << none
                         << report("Sender", "Error 503: HTTP 503 Service Unavailable");
    QTest::newRow("Receiver fault with detail (2)")
        << LoopbackPeer::httpReply(500, LoopbackPeer::fault12("soap12:Receiver", "Server was unable", "<d>bad</d>"))
        << 1 << none << report("Receiver", "Server was unable", "<d>bad</d>");
    QTest::newRow("Sender fault (1)") << LoopbackPeer::httpReply(400, LoopbackPeer::fault12("soap12:Sender", "bad"))
                                      << 1 << none << report("Sender", "bad");
    QTest::newRow("MustUnderstand fault (8)")
        << LoopbackPeer::httpReply(500, LoopbackPeer::fault12("soap12:MustUnderstand", "mu")) << 1 << none
        << report("MustUnderstand", "mu");
    QTest::newRow("fault of another code (12)")
        << LoopbackPeer::httpReply(500, LoopbackPeer::fault12("soap12:DataEncodingUnknown", "enc")) << 1 << none
        << report("DataEncodingUnknown", "enc");
    QTest::newRow("fault with subcode")
        << LoopbackPeer::httpReply(
               500, LoopbackPeer::soap12Envelope(
                        "<soap12:Fault><soap12:Code><soap12:Value>soap12:Sender</soap12:Value><soap12:Subcode>"
                        "<soap12:Value xmlns:a=\"urn:a\">a:Locked</soap12:Value></soap12:Subcode></soap12:Code>"
                        "<soap12:Reason><soap12:Text xml:lang=\"en\">locked</soap12:Text></soap12:Reason>"
                        "</soap12:Fault>"))
        << 1 << none << QByteArray("SOAP 1.2 fault: SOAP-ENV:Sender[\"urn:a\":Locked]\n\"locked\"\nDetail: [no detail]\n");
    QTest::newRow("unexpected element in the body (3)")
        << ok(LoopbackPeer::soap12Envelope("<Other xmlns=\"urn:x\"/>")) << 1 << none
        << report("Sender", "Validation constraint violation: tag name or namespace mismatch in element 'Other'");
    QTest::newRow("connection lost inside the body (-1)")
        << "HTTP/1.1 200 OK\r\nContent-Type: application/soap+xml\r\nContent-Length: 900\r\n\r\n"
           "<?xml version=\"1.0\"?><soap12:Envelope xmlns:soap12=\"http://www.w3.org/2003/05/soap-envelope\">"
           "<soap12:Body><CheckUserRegisterCodeResponse xmlns=\"" + ns + "\"><CheckUserRegisterCodeResult>ht"s
        << 1 << none << report("Sender", "End of file or no input: message transfer interrupted or timed out (60 sec max "
                                  "transfer time) (30 sec max recv delay) (30 sec max send delay)");
}

void TestKelumoLogin::answers()
{
    QFETCH(std::string, reply);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);

    LoopbackPeer peer(reply);
    const Run run = runTool({"--endpoint", QString::fromStdString(peer.endpoint()), "a", "b"});
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.out, out);
    QCOMPARE(run.err, err);
}

void TestKelumoLogin::peerNeverAnswers()
{
    // The receive limit ends the call: shortened from the client's 30 s,
    // which the "connection lost" report above shows unchanged.
    LoopbackPeer peer({}, LoopbackPeer::Behaviour::NeverAnswer);
    QElapsedTimer clock;
    clock.start();
    const Run run =
        runTool({"--receive-timeout", "1", "--endpoint", QString::fromStdString(peer.endpoint()), "a", "b"});
    QVERIFY2(clock.elapsed() < 20000, QByteArray::number(clock.elapsed()).constData());
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.startsWith("SOAP 1.2 fault: SOAP-ENV:Sender[no subcode]\n\"End of file or no input: "),
             run.err.constData());
    QCOMPARE(peer.requests().size(), std::size_t(1));
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
    QTest::newRow("receive-timeout without seconds") << QStringList{"a", "b", "--receive-timeout"};
    QTest::newRow("receive-timeout of 0") << QStringList{"--receive-timeout", "0", "a", "b"};
    QTest::newRow("receive-timeout not a number") << QStringList{"--receive-timeout", "1s", "a", "b"};
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

void TestKelumoLogin::systemProxy()
{
    // KELUMO_SYSTEM_PROXY_SETTER names a command that sets the client's
    // system proxy settings to its HOST:PORT argument, or clears them with
    // --clear (on Windows, the user's settings that WinHTTP reads).
    const QString setter = qEnvironmentVariable("KELUMO_SYSTEM_PROXY_SETTER");
    if (setter.isEmpty())
        QSKIP("KELUMO_SYSTEM_PROXY_SETTER names no way to set this client's system proxy");
    LoopbackPeer peer(LoopbackPeer::httpReply(200, LoopbackPeer::answer("0")));
    TestProxy proxy;
    QCOMPARE(QProcess::execute(setter, {"127.0.0.1:" + QString::number(proxy.port())}), 0);
    const QString endpoint = "http://login.kelumo.test:" + QString::number(peer.port()) + "/Services/CheckUserLogin.asmx";
    const Run viaSystem = runTool({"--endpoint", endpoint, "a", "b"});
    // The environment still comes first.
    TestProxy environmentProxy;
    const Run viaEnvironment =
        runTool({"--endpoint", endpoint, "a", "b"}, {}, {"http_proxy=" + QString::fromStdString(environmentProxy.address())});
    QCOMPARE(QProcess::execute(setter, {"--clear"}), 0);

    QCOMPARE(viaSystem.exitCode, 0);
    QCOMPARE(viaEnvironment.exitCode, 0);
    QCOMPARE(proxy.requests().size(), std::size_t(1));
    QVERIFY(proxy.requests().front().rfind("POST " + endpoint.toStdString() + " HTTP/1.1\r\n", 0) == 0);
    QCOMPARE(environmentProxy.requests().size(), std::size_t(1));
}

QTEST_GUILESS_MAIN(TestKelumoLogin)
#include "tst_kelumologin.moc"
