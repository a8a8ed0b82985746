// Tests of kelumo-standin: its decisions called directly, then the real
// program on a free port, spoken to over a plain socket as the client does.

#include "tools/standin/Accounts.h"
#include "tools/standin/DefaultAccounts.h"
#include "tools/standin/LoginService.h"
#include "tools/standin/Options.h"
#include "tools/standin/Pages.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace standin;

namespace {

const QString kSoapNs = QStringLiteral("http://www.w3.org/2003/05/soap-envelope");
const QString kServiceNs = QStringLiteral("{F16595B6-DE49-44d9-94C6-1E63F3AC28E8}");
const std::string kBase = "http://127.0.0.1:1234";

// GBK bytes written out by hand, so the tests do not lean on iconv.
const QByteArray kZhangSanGbk("\xD5\xC5\xC8\xFD");          // 张三
const QByteArray kPasswordGbk("\xC3\xDC\xC2\xEB" "123");    // 密码123
const QByteArray kExpiryGbk("-12026\xC4\xEA" "1\xD4\xC2" "31\xC8\xD5"); // -12026年1月31日

// GBK bytes as the client puts them in the XML: one Latin-1 character each.
QByteArray asLatin1Text(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes).toUtf8();
}

// The request exactly as the client writes it, around the given fields.
QByteArray clientEnvelope(const QByteArray &fields)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://www.w3.org/2003/05/soap-envelope\" "
           "xmlns:SOAP-ENC=\"http://www.w3.org/2003/05/soap-encoding\" "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
           "xmlns:ns2=\"{F16595B6-DE49-44d9-94C6-1E63F3AC28E8}/CheckUserLoginSoap\" "
           "xmlns:ns1=\"{F16595B6-DE49-44d9-94C6-1E63F3AC28E8}\" "
           "xmlns:ns3=\"{F16595B6-DE49-44d9-94C6-1E63F3AC28E8}/CheckUserLoginSoap12\">"
           "<SOAP-ENV:Body><ns1:CheckUserRegisterCode>" +
           fields + "</ns1:CheckUserRegisterCode></SOAP-ENV:Body></SOAP-ENV:Envelope>\n";
}

QByteArray clientFields(const QByteArray &account, const QByteArray &password)
{
    return "<ns1:EntName></ns1:EntName><ns1:strLoginId>" + account + "</ns1:strLoginId><ns1:strPwd>" + password +
           "</ns1:strPwd>";
}

QString shown(const std::optional<std::string> &field)
{
    return field ? QString::fromStdString(*field) : QStringLiteral("<missing>");
}

// What a namespace-aware reader finds in a reply envelope.
struct SoapReply {
    bool wellFormed = false;
    bool envelope = false;
    bool fault = false;
    QString faultCode; // local part, after resolving the prefix in the text
    QString faultReason;
    bool hasResult = false;
    QByteArray resultBytes; // the low byte of each character, as the client reads it
    bool resultIsLatin1 = true;
};

SoapReply readReply(const QByteArray &body)
{
    SoapReply reply;
    QXmlStreamReader xml(body);
    bool first = true;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto ns = xml.namespaceUri();
        const auto name = xml.name();
        if (first)
            reply.envelope = ns == kSoapNs && name == u"Envelope";
        first = false;
        if (ns == kSoapNs && name == u"Fault") {
            reply.fault = true;
        } else if (ns == kSoapNs && name == u"Value") {
            const QString prefix = xml.prefix().toString() + ':';
            const QString text = xml.readElementText();
            reply.faultCode = text.startsWith(prefix) ? text.mid(prefix.size()) : "unresolved " + text;
        } else if (ns == kSoapNs && name == u"Text") {
            reply.faultReason = xml.readElementText();
        } else if (ns == kServiceNs && name == u"CheckUserRegisterCodeResult") {
            reply.hasResult = true;
            const QString text = xml.readElementText();
            for (const QChar ch : text)
                reply.resultIsLatin1 = reply.resultIsLatin1 && ch.unicode() <= 0xFF;
            reply.resultBytes = text.toLatin1();
        }
    }
    reply.wellFormed = !xml.hasError();
    return reply;
}

// One HTTP exchange over a plain socket; the request asks the server to close.
QByteArray exchange(quint16 port, const QByteArray &request)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QByteArray response;
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0) {
        for (qsizetype sent = 0; sent < request.size();) {
            const ssize_t n = ::send(fd, request.constData() + sent, request.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += n;
        }
        pollfd pfd{fd, POLLIN, 0};
        char buffer[4096];
        while (::poll(&pfd, 1, 10000) > 0) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            response.append(buffer, n);
        }
    }
    ::close(fd);
    return response;
}

QByteArray loginRequest(quint16 port, const QByteArray &body)
{
    return "POST /Services/CheckUserLogin.asmx HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
           "\r\nUser-Agent: gSOAP/2.7\r\nContent-Type: application/soap+xml; charset=utf-8\r\n"
           "Content-Length: " +
           QByteArray::number(body.size()) +
           "\r\nConnection: close\r\n"
           "SOAPAction: \"{F16595B6-DE49-44d9-94C6-1E63F3AC28E8}/CheckUserRegisterCode\"\r\n\r\n" +
           body;
}

QByteArray getRequest(quint16 port, const QByteArray &target)
{
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
           "\r\nConnection: close\r\n\r\n";
}

QByteArray responseBody(const QByteArray &response)
{
    const qsizetype end = response.indexOf("\r\n\r\n");
    return end < 0 ? QByteArray() : response.mid(end + 4);
}

} // namespace

class TestStandin : public QObject {
    Q_OBJECT

private slots:
    void decodeRequest_data();
    void decodeRequest();
    void malformedRequest_data();
    void malformedRequest();
    void internalTroubleIsReceiverFault();
    void parseAccounts_data();
    void parseAccounts();
    void shippedAccounts_data();
    void shippedAccounts();
    void encodeAnswer_data();
    void encodeAnswer();
    void loginOnTheWire_data();
    void loginOnTheWire();
    void logNoteLeavesOutThePassword();
    void startPage();
    void otherPages();
    void commandLine_data();
    void commandLine();
    void realServer();
};

void TestStandin::decodeRequest_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("company");
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("password");

    QTest::newRow("as the client sends it") << clientEnvelope(clientFields("demo", "demo123")) << "" << "demo"
                                            << "demo123";
    QTest::newRow("GBK carried as Latin-1")
        << clientEnvelope(clientFields(asLatin1Text(kZhangSanGbk), asLatin1Text(kPasswordGbk))) << "" << "张三"
        << "密码123";
    QTest::newRow("company in Chinese")
        << clientEnvelope("<ns1:EntName>" + asLatin1Text("\xB2\xE2\xCA\xD4") + "</ns1:EntName>" +
                          "<ns1:strLoginId>a</ns1:strLoginId><ns1:strPwd>b</ns1:strPwd>")
        << "测试" << "a" << "b";
    QTest::newRow("escapes") << clientEnvelope(clientFields("a&amp;b", "&lt;p&gt;&#xD;&#xA;q")) << "" << "a&b"
                             << "<p>\r\nq";
    QTest::newRow("missing fields") << clientEnvelope("<ns1:strLoginId>demo</ns1:strLoginId>") << "<missing>"
                                    << "demo" << "<missing>";
    QTest::newRow("self-closing fields") << clientEnvelope("<ns1:EntName/><ns1:strLoginId/><ns1:strPwd/>") << ""
                                         << "" << "";
    QTest::newRow("password of spaces") << clientEnvelope(clientFields("demo", "   ")) << "" << "demo" << "   ";
    QTest::newRow("CDATA") << clientEnvelope(clientFields("demo", "<![CDATA[a<b]]>")) << "" << "demo" << "a<b";
    QTest::newRow("other prefixes")
        << QByteArray("<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\" "
                      "xmlns:k=\"{F16595B6-DE49-44d9-94C6-1E63F3AC28E8}\"><s:Header/><s:Body>"
                      "<k:CheckUserRegisterCode><k:strLoginId>demo</k:strLoginId><k:strPwd>x</k:strPwd>"
                      "</k:CheckUserRegisterCode></s:Body></s:Envelope>")
        << "<missing>" << "demo" << "x";
    QTest::newRow("default namespace")
        << QByteArray("<soap12:Envelope xmlns:soap12=\"http://www.w3.org/2003/05/soap-envelope\"><soap12:Body>"
                      "<CheckUserRegisterCode xmlns=\"{F16595B6-DE49-44d9-94C6-1E63F3AC28E8}\">"
                      "<EntName>c</EntName><strLoginId>demo</strLoginId><strPwd>x</strPwd>"
                      "</CheckUserRegisterCode></soap12:Body></soap12:Envelope>")
        << "c" << "demo" << "x";
    QTest::newRow("prefix rebound inside")
        << QByteArray("<a:Envelope xmlns:a=\"http://www.w3.org/2003/05/soap-envelope\" xmlns:b=\"urn:other\">"
                      "<a:Body><b:CheckUserRegisterCode xmlns:b=\"{F16595B6-DE49-44d9-94C6-1E63F3AC28E8}\">"
                      "<b:strLoginId>demo</b:strLoginId></b:CheckUserRegisterCode></a:Body></a:Envelope>")
        << "<missing>" << "demo" << "<missing>";
    QTest::newRow("unqualified fields are not the service's")
        << clientEnvelope("<strLoginId>demo</strLoginId><strPwd>x</strPwd>") << "<missing>" << "<missing>"
        << "<missing>";
    QTest::newRow("plain UTF-8 Chinese") << clientEnvelope(clientFields("张三", "密码123")) << "" << "张三"
                                         << "密码123";
    QTest::newRow("raw GBK bytes") << clientEnvelope(clientFields(kZhangSanGbk, "x")) << "" << "张三" << "x";
}

void TestStandin::decodeRequest()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, company);
    QFETCH(QString, account);
    QFETCH(QString, password);
    const DecodedRequest decoded = decodeLoginRequest(body.toStdString());
    QVERIFY2(decoded.ok, decoded.fault.c_str());
    QCOMPARE(shown(decoded.request.company), company);
    QCOMPARE(shown(decoded.request.account), account);
    QCOMPARE(shown(decoded.request.password), password);
}

void TestStandin::malformedRequest_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("reasonMentions");

    const QByteArray request = "<ns1:CheckUserRegisterCode xmlns:ns1=\"{F16595B6-DE49-44d9-94C6-1E63F3AC28E8}\"/>";
    QTest::newRow("empty") << QByteArray() << "XML";
    QTest::newRow("not XML") << QByteArray("hello") << "XML";
    QTest::newRow("binary") << QByteArray("\x00\x01\xFF<\x00>", 6) << "XML";
    QTest::newRow("cut short") << clientEnvelope(clientFields("demo", "x")).left(300) << "XML";
    QTest::newRow("not an envelope") << QByteArray("<html><body/></html>") << "envelope";
    QTest::newRow("SOAP 1.1") << "<e:Envelope xmlns:e=\"http://schemas.xmlsoap.org/soap/envelope/\"><e:Body>" +
                                     request + "</e:Body></e:Envelope>"
                              << "SOAP 1.1";
    QTest::newRow("envelope without namespace") << "<Envelope><Body>" + request + "</Body></Envelope>"
                                                << "namespace";
    QTest::newRow("unbound prefix") << "<soap:Envelope><soap:Body>" + request + "</soap:Body></soap:Envelope>"
                                    << "namespace";
    QTest::newRow("no body") << QByteArray("<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\">"
                                           "<s:Header/></s:Envelope>")
                             << "Body";
    QTest::newRow("empty body") << QByteArray("<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\">"
                                              "<s:Body/></s:Envelope>")
                                << "empty";
    QTest::newRow("other operation")
        << QByteArray("<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"><s:Body>"
                      "<ns1:GetVersion xmlns:ns1=\"{F16595B6-DE49-44d9-94C6-1E63F3AC28E8}\"/></s:Body></s:Envelope>")
        << "GetVersion";
    QTest::newRow("request in another namespace")
        << QByteArray("<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"><s:Body>"
                      "<CheckUserRegisterCode xmlns=\"urn:other\"/></s:Body></s:Envelope>")
        << "urn:other";
}

void TestStandin::malformedRequest()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, reasonMentions);
    const LoginOutcome outcome = answerLogin(body.toStdString(), {}, kBase);
    QCOMPARE(outcome.reply.status, 400);
    QCOMPARE(outcome.reply.contentType, std::string("application/soap+xml; charset=utf-8"));
    const SoapReply reply = readReply(QByteArray::fromStdString(outcome.reply.body));
    QVERIFY(reply.wellFormed && reply.envelope && reply.fault);
    QCOMPARE(reply.faultCode, QStringLiteral("Sender"));
    QVERIFY2(reply.faultReason.contains(reasonMentions), qPrintable(reply.faultReason));
    QVERIFY(!reply.hasResult);
}

void TestStandin::internalTroubleIsReceiverFault()
{
    const Reply fault = faultReply(FaultCode::Receiver, "disk <full> & more");
    QCOMPARE(fault.status, 500);
    const SoapReply reply = readReply(QByteArray::fromStdString(fault.body));
    QVERIFY(reply.wellFormed && reply.fault);
    QCOMPARE(reply.faultCode, QStringLiteral("Receiver"));
    QCOMPARE(reply.faultReason, QStringLiteral("disk <full> & more"));
}

namespace {

// An account as one comparable string: name/password/answer/delay.
QStringList listed(const std::vector<Account> &accounts)
{
    QStringList out;
    for (const Account &a : accounts)
        out << QString::fromStdString(a.name + "/" + a.password + "/" + a.answer + "/" +
                                      std::to_string(a.delay.count()));
    return out;
}

} // namespace

void TestStandin::parseAccounts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("accounts");
    QTest::addColumn<QList<int>>("problemLines");

    QTest::newRow("bar with spaces") << "demo | demo123 | start\n" << QStringList{"demo/demo123/start/0"}
                                     << QList<int>{};
    QTest::newRow("bare bars, no final newline") << "demo|demo123|start" << QStringList{"demo/demo123/start/0"}
                                                 << QList<int>{};
    QTest::newRow("TAB keeps fields exactly") << "a b\t p|w \tx | y\n" << QStringList{"a b/ p|w /x | y/0"}
                                              << QList<int>{};
    QTest::newRow("comments and blank lines") << "# note\n\n   # indented note\n \t \ndemo | x | 0\n"
                                              << QStringList{"demo/x/0/0"} << QList<int>{};
    QTest::newRow("# inside a field") << "demo | pa#ss | 0\n" << QStringList{"demo/pa#ss/0/0"} << QList<int>{};
    QTest::newRow("CRLF and BOM") << "\xEF\xBB\xBF" "demo | x | 0\r\nsecond | y | 1\r\n"
                                  << QStringList{"demo/x/0/0", "second/y/1/0"} << QList<int>{};
    QTest::newRow("empty answer") << "empty | demo123 |\nempty2 | demo123 | \n"
                                  << QStringList{"empty/demo123//0", "empty2/demo123//0"} << QList<int>{};
    QTest::newRow("Chinese") << "张三 | 密码123 | -12026年1月31日\n" << QStringList{"张三/密码123/-12026年1月31日/0"}
                             << QList<int>{};
    QTest::newRow("delay") << "slow | p | start | delay=5000\n" << QStringList{"slow/p/start/5000"}
                           << QList<int>{};
    QTest::newRow("bad lines are skipped")
        << "two | fields\nmany | a | b | c | d\n | nameless | 0\nsoon | p | 0 | delay=soon\n"
           "fast | p | 0 | speed=1\nlong | p | 0 | delay=999999999\nok | p | 0\n"
        << QStringList{"ok/p/0/0"} << QList<int>{1, 2, 3, 4, 5, 6};
    QTest::newRow("first of two wins") << "dup | one | 0\ndup | two | 1\n" << QStringList{"dup/one/0/0"}
                                       << QList<int>{2};
}

void TestStandin::parseAccounts()
{
    QFETCH(QString, text);
    QFETCH(QStringList, accounts);
    QFETCH(QList<int>, problemLines);
    const AccountsFile file = standin::parseAccounts(text.toStdString());
    QCOMPARE(listed(file.accounts), accounts);
    QList<int> lines;
    for (const AccountsProblem &problem : file.problems) {
        QVERIFY(!problem.message.empty());
        lines << problem.line;
    }
    QCOMPARE(lines, problemLines);
}

void TestStandin::shippedAccounts_data()
{
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("delayMs");

    const QString start = "http://127.0.0.1:1234/start?user=%1&ver=100&lang=cn";
    QTest::newRow("demo") << "demo" << "demo123" << start.arg("demo") << 0;
    QTest::newRow("Chinese name") << "张三" << "密码123" << start.arg("%E5%BC%A0%E4%B8%89") << 0;
    QTest::newRow("report") << "report" << "demo123" << "http://127.0.0.1:1234/report?user=report&ver=100&lang=cn" << 0;
    QTest::newRow("expired") << "expired" << "demo123" << "-12026年1月31日" << 0;
    QTest::newRow("terminal") << "terminal" << "demo123" << "-4" << 0;
    QTest::newRow("other") << "other" << "demo123" << "-3" << 0;
    QTest::newRow("no version") << "noversion" << "demo123" << "http://127.0.0.1:1234/start?lang=cn" << 0;
    QTest::newRow("garbled") << "garbled" << "demo123" << "Hello" << 0;
    QTest::newRow("empty") << "empty" << "demo123" << "" << 0;
    QTest::newRow("slow") << "slow" << "demo123" << start.arg("slow") << 5000;
    QTest::newRow("wrong password") << "demo" << "demo124" << "0" << 0;
    QTest::newRow("another account's password") << "张三" << "demo123" << "0" << 0;
    QTest::newRow("unknown account") << "nobody" << "demo123" << "0" << 0;
    QTest::newRow("case matters") << "Demo" << "demo123" << "0" << 0;
    QTest::newRow("nothing typed") << "" << "" << "0" << 0;
}

void TestStandin::shippedAccounts()
{
    QFETCH(QString, account);
    QFETCH(QString, password);
    QFETCH(QString, answer);
    QFETCH(int, delayMs);
    const AccountsFile file = standin::parseAccounts(defaultAccountsText());
    QVERIFY(file.problems.empty());
    const Answer chosen = chooseAnswer(file.accounts, account.toStdString(), password.toStdString(), kBase);
    QCOMPARE(QString::fromStdString(chosen.text), answer);
    QCOMPARE(chosen.delay.count(), delayMs);
}

void TestStandin::encodeAnswer_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("code") << "0" << QByteArray("0");
    QTest::newRow("address") << "http://127.0.0.1:1234/start?user=%E5&ver=100"
                             << QByteArray("http://127.0.0.1:1234/start?user=%E5&ver=100");
    QTest::newRow("Chinese date") << "-12026年1月31日" << kExpiryGbk;
    QTest::newRow("name") << "张三" << kZhangSanGbk;
    QTest::newRow("not in GBK") << "a😀b" << QByteArray("a?b");
    QTest::newRow("empty") << "" << QByteArray();
}

void TestStandin::encodeAnswer()
{
    QFETCH(QString, answer);
    QFETCH(QByteArray, bytes);
    const QString wire = QString::fromStdString(standin::encodeAnswer(answer.toStdString()));
    for (const QChar ch : wire)
        QVERIFY2(ch.unicode() <= 0xFF, "the client keeps only the low byte of each character");
    QCOMPARE(wire.toLatin1(), bytes);
}

void TestStandin::loginOnTheWire_data()
{
    QTest::addColumn<QByteArray>("account");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QByteArray>("resultBytes");

    QTest::newRow("Chinese sign-in") << kZhangSanGbk << kPasswordGbk
                                     << QByteArray("http://127.0.0.1:1234/start?user=%E5%BC%A0%E4%B8%89&ver=100&lang=cn");
    QTest::newRow("expiry date in GBK") << QByteArray("expired") << QByteArray("demo123") << kExpiryGbk;
    QTest::newRow("empty answer") << QByteArray("empty") << QByteArray("demo123") << QByteArray();
    QTest::newRow("wrong password") << kZhangSanGbk << QByteArray("123") << QByteArray("0");
}

void TestStandin::loginOnTheWire()
{
    QFETCH(QByteArray, account);
    QFETCH(QByteArray, password);
    QFETCH(QByteArray, resultBytes);
    const AccountsFile file = standin::parseAccounts(defaultAccountsText());
    const QByteArray body = clientEnvelope(clientFields(asLatin1Text(account), asLatin1Text(password)));
    const LoginOutcome outcome = answerLogin(body.toStdString(), file.accounts, kBase);
    QCOMPARE(outcome.reply.status, 200);
    QCOMPARE(outcome.reply.contentType, std::string("application/soap+xml; charset=utf-8"));
    const SoapReply reply = readReply(QByteArray::fromStdString(outcome.reply.body));
    QVERIFY(reply.wellFormed && reply.envelope && !reply.fault && reply.hasResult);
    QVERIFY(reply.resultIsLatin1);
    QCOMPARE(reply.resultBytes, resultBytes);
}

void TestStandin::logNoteLeavesOutThePassword()
{
    const std::vector<Account> accounts{{"alice", "s3cret-xyz", "-4", {}}};
    for (const char *password : {"s3cret-xyz", "wrong-s3cret"}) {
        const QByteArray body = clientEnvelope(clientFields("alice", password));
        const LoginOutcome outcome = answerLogin(body.toStdString(), accounts, kBase);
        QVERIFY2(outcome.logNote.find("alice") != std::string::npos, outcome.logNote.c_str());
        QVERIFY2(outcome.logNote.find("s3cret") == std::string::npos, outcome.logNote.c_str());
    }
}

void TestStandin::startPage()
{
    const QString page = QString::fromStdString(standin::startPage("<b>张三</b>&", "430", "cn",
                                                                        "http://localhost:1/partner?a=1&b=2"));
    QVERIFY(page.contains("<meta charset=\"utf-8\">"));
    QVERIFY(page.contains("<title>Kelumo大数据 - 首页</title>"));
    QVERIFY(page.contains("欢迎, <span id=\"user\">&lt;b&gt;张三&lt;/b&gt;&amp;</span>"));
    QVERIFY(!page.contains("<b>"));
    QVERIFY(page.contains("<span id=\"ver\">430</span>"));
    const QRegularExpression link("<a id=\"(\\w+)\" href=\"([^\"]+)\"([^>]*)>");
    QStringList links;
    for (const auto &m : link.globalMatch(page))
        links << m.captured(1) + " " + m.captured(2) + m.captured(3);
    QCOMPARE(links, (QStringList{"second /second accesskey=\"s\"", "missing /no-such-page accesskey=\"m\"",
                                 "download /export.csv accesskey=\"d\"",
                                 "newwindow /second target=\"_blank\" accesskey=\"n\"",
                                 "partner http://localhost:1/partner?a=1&amp;b=2 accesskey=\"p\"",
                                 "partnerwindow http://localhost:1/partner?a=1&amp;b=2 target=\"_blank\" accesskey=\"w\""}));
    QVERIFY(page.contains(QRegularExpression("<button id=\"alert\"[^>]*onclick=\"alert\\('提示'\\)\"")));
}

void TestStandin::otherPages()
{
    QVERIFY(QString::fromStdString(secondPage()).contains("<title>第二页</title>"));
    const std::pair<const char *, const char *> help[] = {
        {"/getpwd", "找回密码"}, {"/services", "无法登录"}, {"/contact_us", "联系客服"}};
    for (const auto &[path, title] : help) {
        const auto page = helpPage(path);
        QVERIFY2(page && QString::fromStdString(*page).contains(title), path);
    }
    QVERIFY(!helpPage("/start"));
    QVERIFY(QString::fromStdString(errorPage(404, "/<x>")).contains("/&lt;x&gt;"));

    const QString report = QString::fromStdString(reportPage());
    QCOMPARE(report.count("<tr><td>"), 450);
    QVERIFY(report.contains("<title>销售明细报表</title>"));

    const std::string &csv = reportCsv();
    QCOMPARE(csv, reportCsv()); // same bytes every time: downloads can be compared
    QVERIFY(csv.size() > 90 * 1024 && csv.size() < 130 * 1024);
    const QStringList lines = QString::fromStdString(csv).split("\r\n", Qt::SkipEmptyParts);
    QVERIFY(lines.first().startsWith("序号,日期,"));
    for (const QString &line : lines)
        QCOMPARE(line.count(','), lines.first().count(','));
}

void TestStandin::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("accounts");
    QTest::addColumn<bool>("ok");

    QTest::newRow("defaults") << QStringList{} << 8080 << "" << true;
    QTest::newRow("any free port") << QStringList{"--port", "0"} << 0 << "" << true;
    QTest::newRow("joined forms") << QStringList{"--port=9001", "--accounts=my.txt"} << 9001 << "my.txt" << true;
    QTest::newRow("accounts") << QStringList{"--accounts", "a b.txt"} << 8080 << "a b.txt" << true;
    QTest::newRow("port too big") << QStringList{"--port", "65536"} << 0 << "" << false;
    QTest::newRow("negative port") << QStringList{"--port", "-1"} << 0 << "" << false;
    QTest::newRow("port not a number") << QStringList{"--port", "80x"} << 0 << "" << false;
    QTest::newRow("value missing") << QStringList{"--accounts"} << 0 << "" << false;
    QTest::newRow("unknown option") << QStringList{"--verbose"} << 0 << "" << false;
}

void TestStandin::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, port);
    QFETCH(QString, accounts);
    QFETCH(bool, ok);
    std::vector<std::string> storage;
    for (const QString &arg : args)
        storage.push_back(arg.toStdString());
    const Options options = parseCommandLine(std::vector<std::string_view>(storage.begin(), storage.end()));
    QCOMPARE(options.error.empty(), ok);
    if (ok) {
        QCOMPARE(options.port, port);
        QCOMPARE(QString::fromStdString(options.accountsPath), accounts);
    }
}

void TestStandin::realServer()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile accountsFile(dir.filePath("accounts.txt"));
    QVERIFY(accountsFile.open(QIODevice::WriteOnly));
    accountsFile.write("alice | s3cret-xyz | start\n"
                       "sleeper | pw | 0 | delay=60000\n");
    accountsFile.close();

    QProcess server;
    server.start(KELUMO_STANDIN_EXE, {"--port", "0", "--accounts", accountsFile.fileName()});
    QVERIFY2(server.waitForStarted(), qPrintable(server.errorString()));
    auto stopServer = qScopeGuard([&] {
        if (server.state() != QProcess::NotRunning) {
            server.kill();
            server.waitForFinished();
        }
    });
    while (!server.canReadLine())
        QVERIFY2(server.waitForReadyRead(10000), "no announcement on stdout");
    const QString announced = QString::fromUtf8(server.readLine()).trimmed();
    const auto match = QRegularExpression("^listening on (http://127\\.0\\.0\\.1:(\\d+))$").match(announced);
    QVERIFY2(match.hasMatch(), qPrintable(announced));
    const QByteArray base = match.captured(1).toUtf8();
    const quint16 port = match.captured(2).toUShort();
    QVERIFY(port != 0);

    // A successful sign-in, byte for byte as the client sends it.
    QByteArray response = exchange(port, loginRequest(port, clientEnvelope(clientFields("alice", "s3cret-xyz"))));
    QVERIFY2(response.startsWith("HTTP/1.1 200 "), response.constData());
    QVERIFY(response.contains("\r\nContent-Type: application/soap+xml; charset=utf-8\r\n"));
    SoapReply reply = readReply(responseBody(response));
    QVERIFY(reply.wellFormed && reply.envelope && reply.hasResult);
    const QByteArray startUrl = base + "/start?user=alice&ver=100&lang=cn";
    QCOMPARE(reply.resultBytes, startUrl);

    // The address it answered leads to the start page on this same server.
    response = exchange(port, getRequest(port, startUrl.mid(base.size())));
    QVERIFY2(response.startsWith("HTTP/1.1 200 "), response.constData());
    QVERIFY(responseBody(response).contains("<span id=\"ver\">100</span>"));

    response = exchange(port, getRequest(port, "/no-such-page"));
    QVERIFY(response.startsWith("HTTP/1.1 404 "));

    response = exchange(port, loginRequest(port, "\x01garbage<<"));
    QVERIFY2(response.startsWith("HTTP/1.1 400 "), response.constData());
    reply = readReply(responseBody(response));
    QVERIFY(reply.fault);
    QCOMPARE(reply.faultCode, QStringLiteral("Sender"));

    response = exchange(port, loginRequest(port, QByteArray(100 * 1024, 'x')));
    QVERIFY2(response.startsWith("HTTP/1.1 413 "), response.constData());

    // Stopping must not wait for an answer that is being held back.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QCOMPARE(::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    const QByteArray held = loginRequest(port, clientEnvelope(clientFields("sleeper", "pw")));
    QCOMPARE(::send(fd, held.constData(), held.size(), MSG_NOSIGNAL), ssize_t(held.size()));
    QTest::qWait(300);

    QElapsedTimer stopping;
    stopping.start();
    server.terminate();
    QVERIFY(server.waitForFinished(10000));
    ::close(fd);
    QVERIFY2(stopping.elapsed() < 5000, "held-back answer delayed the shutdown");
    QCOMPARE(server.exitStatus(), QProcess::NormalExit);
    QCOMPARE(server.exitCode(), 0);

    const QString log = QString::fromUtf8(server.readAllStandardError());
    QVERIFY2(log.contains("POST /Services/CheckUserLogin.asmx 200 account=\"alice\""), qPrintable(log));
    QVERIFY2(log.contains("GET /no-such-page 404"), qPrintable(log));
    QVERIFY2(!log.contains("s3cret"), qPrintable(log));
}

QTEST_GUILESS_MAIN(TestStandin)
#include "tst_standin.moc"
