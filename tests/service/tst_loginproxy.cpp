#include "service/CheckUserLoginSoapProxy.h"
#include "service/HttpRequestHead.h"
#include "service/ProxyAuth.h"
#include "service/QuietPipe.h"
#include "service/SoapLoginService.h"
#include "service/TlsTrust.h"
#include "tests/support/LoopbackPeer.h"
#include "tests/support/TestProxy.h"

#include <QElapsedTimer>
#include <QTest>

#include <arpa/inet.h>
#include <cstdlib>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>

using namespace std::string_literals;

namespace {

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
const std::string envelopeEnd = "</ns1:CheckUserRegisterCode></SOAP-ENV:Body></SOAP-ENV:Envelope>";

std::string expectedRequest(std::uint16_t port, const std::string &children)
{
    const std::string body = envelopeStart + children + envelopeEnd;
    return "POST /Services/CheckUserLogin.asmx HTTP/1.1\r\n"
           "Host: 127.0.0.1:" + std::to_string(port) + "\r\n"
           "User-Agent: gSOAP/2.7\r\n"
           "Content-Type: application/soap+xml; charset=utf-8\r\n"
           "Content-Length: " + std::to_string(body.size()) + "\r\n"
           "Connection: close\r\n"
           "SOAPAction: \"{F16595B6-DE49-44d9-94C6-1E63F3AC28E8}/CheckUserRegisterCode\"\r\n"
           "\r\n" + body;
}

// The bytes of expectedRequest() as they reach a proxy for `host`: the whole
// address in the request line, the proxy's authorization before the action.
std::string expectedProxiedRequest(const std::string &host, std::uint16_t port, const std::string &children,
                                   const std::string &authorization)
{
    std::string request = expectedRequest(port, children);
    const std::string authority = host + ":" + std::to_string(port);
    request.replace(0, 5, "POST http://" + authority);
    const std::string oldHost = "Host: 127.0.0.1:" + std::to_string(port);
    request.replace(request.find(oldHost), oldHost.size(), "Host: " + authority);
    if (!authorization.empty())
        request.insert(request.find("SOAPAction: "), "Proxy-Authorization: Basic " + authorization + "\r\n");
    return request;
}

// A TLS server on 127.0.0.1 for one connection: records the request, sends
// the reply.
class TlsPeer final
{
public:
    TlsPeer(const char *certificate, const char *key, std::string reply) : m_reply(std::move(reply))
    {
        m_ctx = SSL_CTX_new(TLS_server_method());
        SSL_CTX_use_certificate_chain_file(m_ctx, certificate);
        SSL_CTX_use_PrivateKey_file(m_ctx, key, SSL_FILETYPE_PEM);
        m_listenFd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listenFd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
        ::listen(m_listenFd, 1);
        socklen_t len = sizeof addr;
        ::getsockname(m_listenFd, reinterpret_cast<sockaddr *>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this] { serveOne(); });
    }
    ~TlsPeer()
    {
        ::shutdown(m_listenFd, SHUT_RDWR);
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_listenFd);
        SSL_CTX_free(m_ctx);
    }
    std::uint16_t port() const { return m_port; }
    // Once the one connection is over.
    const std::string &request()
    {
        if (m_thread.joinable())
            m_thread.join();
        return m_request;
    }

private:
    void serveOne()
    {
        // Its TLS writes to a client that has hung up must not end the test.
        const QuietPipe quiet;
        pollfd pfd{m_listenFd, POLLIN, 0};
        if (::poll(&pfd, 1, 10000) <= 0)
            return;
        const int fd = ::accept(m_listenFd, nullptr, nullptr);
        if (fd < 0)
            return;
        timeval limit{5, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        SSL *ssl = SSL_new(m_ctx);
        SSL_set_fd(ssl, fd);
        if (SSL_accept(ssl) == 1) {
            char buffer[4096];
            int n;
            while (m_request.find("</SOAP-ENV:Envelope>") == std::string::npos &&
                   (n = SSL_read(ssl, buffer, sizeof buffer)) > 0)
                m_request.append(buffer, static_cast<std::size_t>(n));
            SSL_write(ssl, m_reply.data(), static_cast<int>(m_reply.size()));
            SSL_shutdown(ssl);
        }
        SSL_free(ssl);
        ::close(fd);
    }

    SSL_CTX *m_ctx = nullptr;
    int m_listenFd = -1;
    std::uint16_t m_port = 0;
    std::string m_reply;
    std::string m_request;
    std::thread m_thread;
};

// The runtime decides the exact code; what matters is that the call fails.
constexpr int anyFailure = -1000;

struct Call {
    int code = -100;
    bool hasResult = false;
    std::string result;
    std::string report;
};

// One login call the way the sign-in makes it.
Call callPeer(const std::string &endpoint, std::string company, std::string account, std::string password,
              int receiveLimit = 5, const std::optional<ProxySetting> &way = std::nullopt, const char *caFile = nullptr,
              const std::vector<std::string> &trustedRoots = {})
{
    CheckUserLoginSoapProxy proxy;
    proxy.endpoint = endpoint.c_str();
    proxy.recv_timeout = receiveLimit;
    proxy.caFile = caFile;
    proxy.trustedRoots = trustedRoots;
    if (way)
        proxy.useProxy(*way);
    _ns1__CheckUserRegisterCode request;
    _ns1__CheckUserRegisterCodeResponse response;
    request.EntName = &company;
    request.strLoginId = &account;
    request.strPwd = &password;
    Call call;
    call.code = proxy.CheckUserRegisterCode(&request, &response);
    if (call.code == 0 && response.CheckUserRegisterCodeResult) {
        call.hasResult = true;
        call.result = *response.CheckUserRegisterCodeResult;
    }
    std::ostringstream report;
    proxy.stream_fault(report);
    call.report = report.str();
    return call;
}

Call callWithReply(const std::string &reply)
{
    LoopbackPeer peer(reply);
    return callPeer(peer.endpoint(), "", "user", "pw");
}

} // namespace

class TestLoginProxy final : public QObject
{
    Q_OBJECT

private slots:
    void requestBytes_data();
    void requestBytes();
    void requestHead_data();
    void requestHead();
    void tunnelHead_data();
    void tunnelHead();
    void digest_data();
    void digest();
    void nullFieldIsLeftOut();
    void answers_data();
    void answers();
    void refusedConnection();
    void peerClosesAtOnce();
    void peerNeverAnswers();
    void endpointSetBeforehand();
    void defaultEndpointFromEnvironment();
    void nullResponseSendsWithoutReading();
    void faultReport_data();
    void faultReport();
    void formatFaultHonoursLength();
    void httpsWithoutTlsPeerFails();
    void secondCallReusesEndpoint();
    void throughProxy_data();
    void throughProxy();
    void throughTunnel_data();
    void throughTunnel();
    void proxyNeverAnswers_data();
    void proxyNeverAnswers();
    void proxyDigestChallengeAnswered();
    void closedPeerRaisesNoSignal();
};


void TestLoginProxy::requestBytes_data()
{
    QTest::addColumn<std::string>("company");
    QTest::addColumn<std::string>("account");
    QTest::addColumn<std::string>("password");
    QTest::addColumn<std::string>("children");

    QTest::newRow("all empty") << ""s << ""s << ""s
                               << "<ns1:EntName></ns1:EntName><ns1:strLoginId></ns1:strLoginId><ns1:strPwd></ns1:strPwd>"s;
    QTest::newRow("markup escaped, quote and tab kept")
        << ""s << "a&b<c>d"s << "p\"w\td"s
        << "<ns1:EntName></ns1:EntName><ns1:strLoginId>a&amp;b&lt;c&gt;d</ns1:strLoginId>"
           "<ns1:strPwd>p\"w\td</ns1:strPwd>"s;
    QTest::newRow("CR and LF as references")
        << ""s << "line\r\nbreak"s << "x\ny"s
        << "<ns1:EntName></ns1:EntName><ns1:strLoginId>line&#xD;&#xA;break</ns1:strLoginId>"
           "<ns1:strPwd>x&#xA;y</ns1:strPwd>"s;
    // 张三 in GBK is D5 C5 C8 FD; each byte travels as a Latin-1 character.
    QTest::newRow("GBK bytes as Latin-1 characters")
        << "\xd5\xc5"s << "\xd5\xc5\xc8\xfd"s << "\xb5"s
        << "<ns1:EntName>\xc3\x95\xc3\x85</ns1:EntName><ns1:strLoginId>\xc3\x95\xc3\x85\xc3\x88\xc3\xbd</ns1:strLoginId>"
           "<ns1:strPwd>\xc2\xb5</ns1:strPwd>"s;
    QTest::newRow("other control bytes unchanged")
        << "\x01"s << "a\x1f"s << "\x7f"s
        << "<ns1:EntName>\x01</ns1:EntName><ns1:strLoginId>a\x1f</ns1:strLoginId><ns1:strPwd>\x7f</ns1:strPwd>"s;
}

void TestLoginProxy::requestBytes()
{
    QFETCH(std::string, company);
    QFETCH(std::string, account);
    QFETCH(std::string, password);
    QFETCH(std::string, children);

    LoopbackPeer peer(LoopbackPeer::httpReply(200, LoopbackPeer::answer("ok")));
    const Call call = callPeer(peer.endpoint(), company, account, password);
    QCOMPARE(call.code, 0);
    const auto requests = peer.requests();
    QCOMPARE(requests.size(), std::size_t(1));
    QCOMPARE(requests.front(), expectedRequest(peer.port(), children));
}

void TestLoginProxy::requestHead_data()
{
    QTest::addColumn<std::string>("endpoint");
    QTest::addColumn<std::string>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<std::string>("path");
    QTest::addColumn<std::string>("action");
    QTest::addColumn<bool>("viaProxy");
    QTest::addColumn<bool>("overTls");
    QTest::addColumn<std::string>("head");

    const std::string action = CheckUserLoginSoapProxy::action;
    const std::string tail = "User-Agent: gSOAP/2.7\r\n"
                             "Content-Type: application/soap+xml; charset=utf-8\r\n"
                             "Content-Length: 42\r\n"
                             "Connection: close\r\n";
    const std::string actionLine = "SOAPAction: \"" + action + "\"\r\n\r\n";
    const std::string credentials = "Proxy-Authorization: Basic dTpwdw==\r\n";

    QTest::newRow("default port left out") << "http://www.kelumo.com/Services/CheckUserLogin.asmx"s
        << "www.kelumo.com"s << 80 << "/Services/CheckUserLogin.asmx"s << action << false << false
        << "POST /Services/CheckUserLogin.asmx HTTP/1.1\r\nHost: www.kelumo.com\r\n" + tail + actionLine;
    QTest::newRow("other port, path without slash, no action") << "http://h:8080/x.asmx"s << "h"s << 8080
        << "x.asmx"s << ""s << false << false << "POST /x.asmx HTTP/1.1\r\nHost: h:8080\r\n" + tail + "\r\n";
    QTest::newRow("IPv6 host in brackets") << "http://[::1]:8080/a"s << "::1"s << 8080 << "/a"s << action << false
        << false << "POST /a HTTP/1.1\r\nHost: [::1]:8080\r\n" + tail + actionLine;
    QTest::newRow("proxy: whole address, its credentials") << "http://[::1]:8080/a"s << "::1"s << 8080 << "/a"s
        << action << true << false
        << "POST http://[::1]:8080/a HTTP/1.1\r\nHost: [::1]:8080\r\n" + tail + credentials + actionLine;
    QTest::newRow("proxy, https inside the tunnel") << "https://h/a"s << "h"s << 443 << "/a"s << action << true
        << true << "POST /a HTTP/1.1\r\nHost: h:443\r\n" + tail + actionLine;
    QTest::newRow("proxy, HTTPS in capitals as https") << "HTTPS://h/a"s << "h"s << 443 << "/a"s << action << true
        << false << "POST /a HTTP/1.1\r\nHost: h:443\r\n" + tail + actionLine;
}

void TestLoginProxy::requestHead()
{
    QFETCH(std::string, endpoint);
    QFETCH(std::string, host);
    QFETCH(int, port);
    QFETCH(std::string, path);
    QFETCH(std::string, action);
    QFETCH(bool, viaProxy);
    QFETCH(bool, overTls);
    QFETCH(std::string, head);

    QCOMPARE(postHead({.endpoint = endpoint, .host = host, .port = port, .path = path, .action = action,
                       .contentLength = 42, .viaProxy = viaProxy, .overTls = overTls, .proxy = {"u", "pw"}}),
             head);
}

void TestLoginProxy::tunnelHead_data()
{
    QTest::addColumn<std::string>("host");
    QTest::addColumn<std::string>("user");
    QTest::addColumn<std::string>("password");
    // The proxy's last challenge, and Digest's client nonce.
    QTest::addColumn<std::string>("challenge");
    QTest::addColumn<std::string>("head");

    QTest::newRow("name, no credentials") << "h"s << ""s << "pw"s << ""s
                                          << "CONNECT h:443 HTTP/1.1\r\nHost: h:443\r\n\r\n"s;
    QTest::newRow("IPv6 in brackets, empty password") << "::1"s << "u"s << ""s << ""s
        << "CONNECT [::1]:443 HTTP/1.1\r\nHost: [::1]:443\r\nProxy-Authorization: Basic dTo=\r\n\r\n"s;
    QTest::newRow("credentials without padding") << "h"s << "a"s << "b"s << "Basic realm=\"x\""s
        << "CONNECT h:443 HTTP/1.1\r\nHost: h:443\r\nProxy-Authorization: Basic YTpi\r\n\r\n"s;
    QTest::newRow("Digest for the tunnel's target") << "h"s << "a"s << "b"s
        << "Digest realm=\"r\", nonce=\"n\", qop=\"auth,auth-int\", opaque=\"o\""s
        << "CONNECT h:443 HTTP/1.1\r\nHost: h:443\r\nProxy-Authorization: Digest username=\"a\", realm=\"r\", "
           "nonce=\"n\", uri=\"h:443\", algorithm=MD5, response=\"d05bb53cde60dfd3b8f1cb798c4ade47\", opaque=\"o\", "
           "qop=auth, nc=00000001, cnonce=\"c\"\r\n\r\n"s;
    QTest::newRow("Digest without qop") << "h"s << "a"s << "b"s << "digest nonce=n, realm=\"r\""s
        << "CONNECT h:443 HTTP/1.1\r\nHost: h:443\r\nProxy-Authorization: Digest username=\"a\", realm=\"r\", "
           "nonce=\"n\", uri=\"h:443\", algorithm=MD5, response=\"e6c9436b27f9b8845b3508bbb1c11fbd\"\r\n\r\n"s;
    QTest::newRow("Digest with only auth-int: Basic") << "h"s << "a"s << "b"s << "Digest nonce=\"n\", qop=\"auth-int\""s
        << "CONNECT h:443 HTTP/1.1\r\nHost: h:443\r\nProxy-Authorization: Basic YTpi\r\n\r\n"s;
}

void TestLoginProxy::tunnelHead()
{
    QFETCH(std::string, host);
    QFETCH(std::string, user);
    QFETCH(std::string, password);
    QFETCH(std::string, challenge);
    QFETCH(std::string, head);
    QCOMPARE(connectHead(host, 443, "1.1", {user, password, challenge, "c"}), head);
}

void TestLoginProxy::digest_data()
{
    QTest::addColumn<std::string>("password");
    QTest::addColumn<std::string>("realm");
    QTest::addColumn<std::string>("nonce");
    QTest::addColumn<std::string>("cnonce");
    QTest::addColumn<std::string>("algorithm");
    QTest::addColumn<std::string>("response");

    const std::string nonce2617 = "dcd98b7102dd2f0e8b11d0f600bfb0c093";
    QTest::newRow("RFC 2617's example") << "Circle Of Life"s << "testrealm@host.com"s << nonce2617 << "0a4f113b"s
                                         << "MD5"s << "6629fae49393a05397450978507c4ef1"s;
    QTest::newRow("the same, MD5-sess") << "Circle Of Life"s << "testrealm@host.com"s << nonce2617 << "0a4f113b"s
                                        << "MD5-sess"s << "8e3825c57e897f5a0dec6c2d4e5059d0"s;
    QTest::newRow("RFC 7616's MD5 example")
        << "Circle of Life"s << "http-auth@example.org"s << "7ypf/xlj9XXwfDPEoM4URrv/xwf94BcCAzFZH4GiTo0v"s
        << "f2/wE4q74E6zIJEtWaHKaf5wv/H5QzzpXusqGemxURZJ"s << "md5"s << "8ca523f5e9506fed4657c9700eebdbec"s;
    QTest::newRow("an algorithm this client lacks") << "Circle of Life"s << "r"s << "n"s << "c"s << "SHA-256"s
                                                    << ""s;
}

void TestLoginProxy::digest()
{
    QFETCH(std::string, password);
    QFETCH(std::string, realm);
    QFETCH(std::string, nonce);
    QFETCH(std::string, cnonce);
    QFETCH(std::string, algorithm);
    QFETCH(std::string, response);
    QCOMPARE(proxyauth::digestResponse({.user = "Mufasa", .password = password, .realm = realm, .nonce = nonce,
                                        .method = "GET", .uri = "/dir/index.html", .qop = "auth",
                                        .cnonce = cnonce, .algorithm = algorithm}),
             response);
}

void TestLoginProxy::nullFieldIsLeftOut()
{
    LoopbackPeer peer(LoopbackPeer::httpReply(200, LoopbackPeer::answer("ok")));
    CheckUserLoginSoapProxy proxy;
    const std::string endpoint = peer.endpoint();
    proxy.endpoint = endpoint.c_str();
    std::string account = "acc";
    _ns1__CheckUserRegisterCode request;
    _ns1__CheckUserRegisterCodeResponse response;
    request.strLoginId = &account;
    QCOMPARE(proxy.CheckUserRegisterCode(&request, &response), 0);
    QCOMPARE(peer.requests().front(),
             expectedRequest(peer.port(), "<ns1:strLoginId>acc</ns1:strLoginId>"));
}

void TestLoginProxy::answers_data()
{
    QTest::addColumn<std::string>("reply");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("hasResult");
    QTest::addColumn<std::string>("result");

    const std::string ns = "{F16595B6-DE49-44d9-94C6-1E63F3AC28E8}";
    auto ok = [](const std::string &body) { return LoopbackPeer::httpReply(200, body); };

    QTest::newRow("ASP.NET answer") << ok(LoopbackPeer::answer("http://x/?ver=100")) << 0 << true
                                    << "http://x/?ver=100"s;
    QTest::newRow("chunked answer") << LoopbackPeer::chunkedReply(LoopbackPeer::answer("http://x/?ver=1")) << 0
                                    << true << "http://x/?ver=1"s;
    QTest::newRow("prefixed result element")
        << ok(LoopbackPeer::soap12Envelope("<r:CheckUserRegisterCodeResponse xmlns:r=\"" + ns +
                                           "\"><r:CheckUserRegisterCodeResult>0</r:CheckUserRegisterCodeResult>"
                                           "</r:CheckUserRegisterCodeResponse>"))
        << 0 << true << "0"s;
    QTest::newRow("header entries skipped")
        << ok("<?xml version=\"1.0\"?><e:Envelope xmlns:e=\"http://www.w3.org/2003/05/soap-envelope\">"
              "<e:Header><h:Info xmlns:h=\"urn:x\">1</h:Info></e:Header><e:Body>"
              "<CheckUserRegisterCodeResponse xmlns=\"" + ns + "\"><CheckUserRegisterCodeResult>-4"
              "</CheckUserRegisterCodeResult></CheckUserRegisterCodeResponse></e:Body></e:Envelope>")
        << 0 << true << "-4"s;
    QTest::newRow("empty result") << ok(LoopbackPeer::answer("")) << 0 << true << ""s;
    QTest::newRow("nil result")
        << ok(LoopbackPeer::soap12Envelope("<CheckUserRegisterCodeResponse xmlns=\"" + ns +
                                           "\"><CheckUserRegisterCodeResult xsi:nil=\"true\"/>"
                                           "</CheckUserRegisterCodeResponse>"))
        << 0 << false << ""s;
    QTest::newRow("missing result")
        << ok(LoopbackPeer::soap12Envelope("<CheckUserRegisterCodeResponse xmlns=\"" + ns + "\"/>")) << 0 << false
        << ""s;
    QTest::newRow("first result taken, others skipped")
        << ok(LoopbackPeer::soap12Envelope("<CheckUserRegisterCodeResponse xmlns=\"" + ns +
                                           "\"><Other>x</Other><CheckUserRegisterCodeResult>first"
                                           "</CheckUserRegisterCodeResult><CheckUserRegisterCodeResult>second"
                                           "</CheckUserRegisterCodeResult></CheckUserRegisterCodeResponse>"))
        << 0 << true << "first"s;
    QTest::newRow("low eight bits of each character")
        << ok(LoopbackPeer::answer("\xc2\xb5|\xe4\xb8\xad")) << 0 << true << "\xb5|\x2d"s;
    QTest::newRow("references resolved") << ok(LoopbackPeer::answer("a&amp;b&#x41;&#181;&lt;")) << 0 << true
                                         << "a&bA\xb5<"s;
    QTest::newRow("SOAP 1.1 envelope")
        << ok("<?xml version=\"1.0\"?><soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\">"
              "<soap:Body><CheckUserRegisterCodeResponse xmlns=\"" + ns + "\"><CheckUserRegisterCodeResult>0"
              "</CheckUserRegisterCodeResult></CheckUserRegisterCodeResponse></soap:Body></soap:Envelope>")
        << 39 << false << ""s;
    QTest::newRow("SOAP 1.1 fault")
        << LoopbackPeer::httpReply(500, "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\">"
                                        "<soap:Body><soap:Fault><faultcode>soap:Server</faultcode><faultstring>x"
                                        "</faultstring></soap:Fault></soap:Body></soap:Envelope>")
        << 39 << false << ""s;
    QTest::newRow("HTML with 200")
        << LoopbackPeer::httpReply(200, "<html><body>maintenance</body></html>", "text/html") << 200 << false << ""s;
    QTest::newRow("plain text with 200")
        << LoopbackPeer::httpReply(200, "hello", "text/plain") << 200 << false << ""s;
    QTest::newRow("404") << LoopbackPeer::httpReply(404, "<html>not found</html>", "text/html") << 404 << false
                         << ""s;
    QTest::newRow("503") << LoopbackPeer::httpReply(503, "busy", "text/plain") << 503 << false << ""s;
    QTest::newRow("500 Receiver fault")
        << LoopbackPeer::httpReply(500, LoopbackPeer::fault12("soap12:Receiver", "Server was unable")) << 2 << false
        << ""s;
    QTest::newRow("400 Sender fault")
        << LoopbackPeer::httpReply(400, LoopbackPeer::fault12("soap12:Sender", "bad")) << 1 << false << ""s;
    QTest::newRow("MustUnderstand fault")
        << LoopbackPeer::httpReply(500, LoopbackPeer::fault12("soap12:MustUnderstand", "mu")) << 8 << false << ""s;
    QTest::newRow("VersionMismatch fault")
        << LoopbackPeer::httpReply(500, LoopbackPeer::fault12("soap12:VersionMismatch", "vm")) << 39 << false
        << ""s;
    QTest::newRow("fault of another code")
        << LoopbackPeer::httpReply(500, LoopbackPeer::fault12("soap12:DataEncodingUnknown", "enc")) << 12 << false
        << ""s;
    QTest::newRow("fault in a 200 answer")
        << ok(LoopbackPeer::fault12("soap12:Receiver", "late")) << 2 << false << ""s;
    QTest::newRow("header that must be understood")
        << ok("<e:Envelope xmlns:e=\"http://www.w3.org/2003/05/soap-envelope\"><e:Header>"
              "<h:Sec xmlns:h=\"urn:x\" e:mustUnderstand=\"true\">1</h:Sec></e:Header><e:Body>"
              "<CheckUserRegisterCodeResponse xmlns=\"" + ns + "\"/></e:Body></e:Envelope>")
        << 8 << false << ""s;
    QTest::newRow("envelope element inside the response")
        << ok(LoopbackPeer::soap12Envelope("<CheckUserRegisterCodeResponse xmlns=\"" + ns +
                                           "\"><soap12:Body/></CheckUserRegisterCodeResponse>"))
        << 3 << false << ""s;
    QTest::newRow("unexpected element in the body")
        << ok(LoopbackPeer::soap12Envelope("<Other xmlns=\"urn:x\"/>")) << 3 << false << ""s;
    QTest::newRow("broken XML in the body")
        << ok(LoopbackPeer::soap12Envelope("<CheckUserRegisterCodeResponse xmlns=\"" + ns +
                                           "\"><CheckUserRegisterCodeResult>x</Wrong>"))
        << anyFailure << false << ""s;
    QTest::newRow("connection lost inside the body")
        << "HTTP/1.1 200 OK\r\nContent-Type: application/soap+xml\r\nContent-Length: 900\r\n\r\n"
           "<?xml version=\"1.0\"?><soap12:Envelope xmlns:soap12=\"http://www.w3.org/2003/05/soap-envelope\">"
           "<soap12:Body><CheckUserRegisterCodeResponse xmlns=\"" + ns + "\"><CheckUserRegisterCodeResult>ht"s
        << -1 << false << ""s;
    QTest::newRow("connection lost inside the headers") << "HTTP/1.1 200 OK\r\nContent-Ty"s << anyFailure << false
                                                        << ""s;
    QTest::newRow("no body") << "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"s << anyFailure << false << ""s;
    QTest::newRow("not HTTP at all") << "SSH-2.0-OpenSSH\r\n"s << anyFailure << false << ""s;
}

void TestLoginProxy::answers()
{
    QFETCH(std::string, reply);
    QFETCH(int, code);
    QFETCH(bool, hasResult);
    QFETCH(std::string, result);

    const Call call = callWithReply(reply);
    if (code == anyFailure)
        QVERIFY(call.code != 0);
    else
        QCOMPARE(call.code, code);
    QCOMPARE(call.hasResult, hasResult);
    QCOMPARE(call.result, result);
    // A report exactly when the call failed.
    QCOMPARE(call.report.empty(), code == 0);
}

void TestLoginProxy::refusedConnection()
{
    const Call call = callPeer("http://127.0.0.1:" + std::to_string(LoopbackPeer::closedPort()) +
                                   "/Services/CheckUserLogin.asmx",
                               "", "a", "b");
    QCOMPARE(call.code, 28);
}

void TestLoginProxy::peerClosesAtOnce()
{
    LoopbackPeer peer({}, LoopbackPeer::Behaviour::CloseAtOnce);
    const Call call = callPeer(peer.endpoint(), "", "a", "b");
    QCOMPARE(call.code, -1);
    // Reset or closed, depending on timing: the report reads the same.
    QVERIFY2(call.report.rfind("SOAP 1.2 fault: SOAP-ENV:Sender[no subcode]\n\"End of file or no input: ", 0) == 0,
             call.report.c_str());
}

void TestLoginProxy::peerNeverAnswers()
{
    LoopbackPeer peer({}, LoopbackPeer::Behaviour::NeverAnswer);
    QElapsedTimer timer;
    timer.start();
    const Call call = callPeer(peer.endpoint(), "", "a", "b", 1);
    QCOMPARE(call.code, -1);
    // Bounded by the receive limit, not by the peer.
    QVERIFY2(timer.elapsed() < 4000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(peer.requests().size(), std::size_t(1));
}

void TestLoginProxy::endpointSetBeforehand()
{
    LoopbackPeer peer(LoopbackPeer::httpReply(200, LoopbackPeer::answer("0")));
    const Call call = callPeer(peer.endpoint("/other/path.asmx"), "", "a", "b");
    QCOMPARE(call.code, 0);
    QVERIFY(peer.requests().front().rfind("POST /other/path.asmx HTTP/1.1\r\n", 0) == 0);
}

void TestLoginProxy::defaultEndpointFromEnvironment()
{
    LoopbackPeer peer(LoopbackPeer::httpReply(200, LoopbackPeer::answer("0")));
    const std::string endpoint = peer.endpoint();
    qputenv("KELUMO_LOGIN_ENDPOINT", endpoint.c_str());
    CheckUserLoginSoapProxy proxy;
    QVERIFY(proxy.endpoint == nullptr);
    std::string s = "x";
    _ns1__CheckUserRegisterCode request;
    request.EntName = request.strLoginId = request.strPwd = &s;
    _ns1__CheckUserRegisterCodeResponse response;
    const int code = proxy.CheckUserRegisterCode(&request, &response);
    qunsetenv("KELUMO_LOGIN_ENDPOINT");
    QCOMPARE(code, 0);
    QCOMPARE(std::string(proxy.endpoint), endpoint);
    QCOMPARE(peer.requests().size(), std::size_t(1));
}

void TestLoginProxy::nullResponseSendsWithoutReading()
{
    LoopbackPeer peer({}, LoopbackPeer::Behaviour::NeverAnswer);
    CheckUserLoginSoapProxy proxy;
    const std::string endpoint = peer.endpoint();
    proxy.endpoint = endpoint.c_str();
    std::string s = "x";
    _ns1__CheckUserRegisterCode request;
    request.EntName = request.strLoginId = request.strPwd = &s;
    QCOMPARE(proxy.CheckUserRegisterCode(&request, nullptr), 0);
    QTRY_COMPARE(peer.requests().size(), std::size_t(1));
}

void TestLoginProxy::faultReport_data()
{
    QTest::addColumn<std::string>("reply");
    QTest::addColumn<std::string>("report");

    QTest::newRow("receiver fault with detail")
        << LoopbackPeer::httpReply(500, LoopbackPeer::fault12("soap12:Receiver", "Server was unable to process",
                                                              "<d>bad</d>"))
        << "SOAP 1.2 fault: SOAP-ENV:Receiver[no subcode]\n\"Server was unable to process\"\nDetail: <d>bad</d>\n"s;
    QTest::newRow("sender fault without detail")
        << LoopbackPeer::httpReply(400, LoopbackPeer::fault12("soap12:Sender", "no"))
        << "SOAP 1.2 fault: SOAP-ENV:Sender[no subcode]\n\"no\"\nDetail: [no detail]\n"s;
    QTest::newRow("fault with subcode")
        << LoopbackPeer::httpReply(
               500, LoopbackPeer::soap12Envelope(
                        "<soap12:Fault><soap12:Code><soap12:Value>soap12:Sender</soap12:Value><soap12:Subcode>"
                        "<soap12:Value xmlns:a=\"urn:a\">a:Locked</soap12:Value></soap12:Subcode></soap12:Code>"
                        "<soap12:Reason><soap12:Text xml:lang=\"en\">locked</soap12:Text></soap12:Reason>"
                        "</soap12:Fault>"))
        << "SOAP 1.2 fault: SOAP-ENV:Sender[\"urn:a\":Locked]\n\"locked\"\nDetail: [no detail]\n"s;
}

void TestLoginProxy::faultReport()
{
    QFETCH(std::string, reply);
    QFETCH(std::string, report);
    QCOMPARE(callWithReply(reply).report, report);
}

void TestLoginProxy::formatFaultHonoursLength()
{
    LoopbackPeer peer(LoopbackPeer::httpReply(500, LoopbackPeer::fault12("soap12:Receiver", "boom")));
    CheckUserLoginSoapProxy proxy;
    const std::string endpoint = peer.endpoint();
    proxy.endpoint = endpoint.c_str();
    std::string s;
    _ns1__CheckUserRegisterCode request;
    request.EntName = request.strLoginId = request.strPwd = &s;
    _ns1__CheckUserRegisterCodeResponse response;
    QCOMPARE(proxy.CheckUserRegisterCode(&request, &response), 2);
    char full[256];
    QCOMPARE(std::string(proxy.format_fault(full, sizeof full)),
             "SOAP 1.2 fault: SOAP-ENV:Receiver [no subcode]\n\"boom\"\nDetail: [no detail]\n"s);
    char small[12];
    std::memset(small, 'X', sizeof small);
    QCOMPARE(std::string(proxy.format_fault(small, sizeof small)), "SOAP 1.2 fa"s);
}

void TestLoginProxy::httpsWithoutTlsPeerFails()
{
    // A plain HTTP server answers the TLS greeting with a page, not a handshake.
    LoopbackPeer peer("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n", LoopbackPeer::Behaviour::AnswerAtOnce);
    const Call call = callPeer("https://127.0.0.1:" + std::to_string(peer.port()) + "/Services/CheckUserLogin.asmx",
                               "", "a", "b");
    QCOMPARE(call.code, 30);
}

void TestLoginProxy::secondCallReusesEndpoint()
{
    LoopbackPeer peer(LoopbackPeer::httpReply(500, LoopbackPeer::fault12("soap12:Receiver", "x")));
    CheckUserLoginSoapProxy proxy;
    const std::string endpoint = peer.endpoint();
    proxy.endpoint = endpoint.c_str();
    std::string s = "a";
    _ns1__CheckUserRegisterCode request;
    request.EntName = request.strLoginId = request.strPwd = &s;
    _ns1__CheckUserRegisterCodeResponse response;
    QCOMPARE(proxy.CheckUserRegisterCode(&request, &response), 2);
    peer.setReply(LoopbackPeer::httpReply(200, LoopbackPeer::answer("http://h/?ver=1")));
    QCOMPARE(proxy.CheckUserRegisterCode(&request, &response), 0);
    QVERIFY(response.CheckUserRegisterCodeResult);
    QCOMPARE(*response.CheckUserRegisterCodeResult, "http://h/?ver=1"s);
    std::ostringstream report;
    proxy.stream_fault(report);
    QVERIFY(report.str().empty());
    QCOMPARE(peer.connectionCount(), 2);
}

void TestLoginProxy::throughProxy_data()
{
    QTest::addColumn<std::string>("user");
    QTest::addColumn<std::string>("password");
    QTest::addColumn<bool>("proxyDemandsThem");
    QTest::addColumn<int>("code");
    QTest::addColumn<std::string>("authorization");

    QTest::newRow("no credentials") << ""s << ""s << false << 0 << ""s;
    QTest::newRow("credentials as Basic") << "us@er"s << "p:w \xc3\xa9"s << true << 0
                                          << TestProxy::base64("us@er:p:w \xc3\xa9");
    QTest::newRow("407 without credentials") << ""s << ""s << true << 407 << ""s;
}

void TestLoginProxy::throughProxy()
{
    QFETCH(std::string, user);
    QFETCH(std::string, password);
    QFETCH(bool, proxyDemandsThem);
    QFETCH(int, code);
    QFETCH(std::string, authorization);

    LoopbackPeer peer(LoopbackPeer::httpReply(200, LoopbackPeer::answer("ok")));
    TestProxy proxy;
    if (proxyDemandsThem)
        proxy.requireCredentials("us@er", "p:w \xc3\xa9");
    // The name resolves nowhere: only the proxy can reach it.
    const std::string endpoint =
        "http://login.kelumo.test:" + std::to_string(peer.port()) + "/Services/CheckUserLogin.asmx";
    const ProxySetting way{"127.0.0.1", proxy.port(), user, password};
    const Call call = callPeer(endpoint, "", "a", "b", 5, way);
    QCOMPARE(call.code, code);
    QCOMPARE(call.report.empty(), code == 0);
    const std::string children =
        "<ns1:EntName></ns1:EntName><ns1:strLoginId>a</ns1:strLoginId><ns1:strPwd>b</ns1:strPwd>";
    const std::string expected = expectedProxiedRequest("login.kelumo.test", peer.port(), children, authorization);
    QCOMPARE(proxy.requests().size(), std::size_t(1));
    // A refusing proxy reads no further than the head.
    QCOMPARE(proxy.requests().front(), code == 0 ? expected : expected.substr(0, expected.find("\r\n\r\n") + 4));
    QCOMPARE(peer.requests().size(), std::size_t(code == 0 ? 1 : 0));
}

void TestLoginProxy::throughTunnel_data()
{
    QTest::addColumn<bool>("trusted");
    QTest::addColumn<bool>("withCredentials");
    QTest::addColumn<bool>("proxyDemandsThem");
    QTest::addColumn<int>("code");
    QTest::addColumn<std::string>("scheme");
    QTest::addColumn<bool>("addedRoot"); // the certificate among the administrator's roots
    QTest::addColumn<std::string>("host");

    const std::string named = "secure.kelumo.test";
    QTest::newRow("trusted certificate") << true << false << false << 0 << "https"s << false << named;
    QTest::newRow("credentials for the proxy only") << true << true << true << 0 << "https"s << false << named;
    QTest::newRow("certificate not trusted") << false << false << false << 30 << "https"s << false << named;
    QTest::newRow("407 to the tunnel") << true << false << true << 407 << "https"s << false << named;
    QTest::newRow("scheme in capitals") << true << false << false << 0 << "HTTPS"s << false << named;
    QTest::newRow("trusted beside the system's store") << false << false << false << 0 << "https"s << true << named;
    QTest::newRow("host not named") << true << false << false << 30 << "https"s << false << "other.kelumo.test"s;
}

void TestLoginProxy::throughTunnel()
{
    QFETCH(bool, trusted);
    QFETCH(bool, withCredentials);
    QFETCH(bool, proxyDemandsThem);
    QFETCH(int, code);
    QFETCH(std::string, scheme);
    QFETCH(bool, addedRoot);
    QFETCH(std::string, host);

    TlsPeer server(TUNNEL_CERT, TUNNEL_KEY,
                   LoopbackPeer::httpReply(200, LoopbackPeer::answer("http://h/?ver=1")));
    TestProxy proxy;
    if (proxyDemandsThem)
        proxy.requireCredentials("u", "pw");
    const std::string authority = host + ":" + std::to_string(server.port());
    const ProxySetting way{"127.0.0.1", proxy.port(), withCredentials ? "u" : "", withCredentials ? "pw" : ""};
    const Call call = callPeer(scheme + "://" + authority + "/Services/CheckUserLogin.asmx", "", "a", "b", 5, way,
                               trusted ? TUNNEL_CERT : nullptr,
                               addedRoot ? std::vector<std::string>{TUNNEL_CERT} : std::vector<std::string>{});
    QCOMPARE(call.code, code);
    // A refused certificate is told from the network's failures.
    QCOMPARE(certificateRefused(call.code, call.report), code == 30);
    QCOMPARE(call.result, code == 0 ? "http://h/?ver=1"s : ""s);
    QCOMPARE(proxy.requests().size(), std::size_t(1));
    const std::string connect = proxy.requests().front();
    QCOMPARE(connect, "CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority + "\r\n" +
                          (withCredentials ? "Proxy-Authorization: Basic " + TestProxy::base64("u:pw") + "\r\n" : "") +
                          "\r\n");
    if (code == 0) {
        // Inside the tunnel the server gets the ordinary request, and never
        // the proxy's credentials.
        const std::string &request = server.request();
        QVERIFY2(request.rfind("POST /Services/CheckUserLogin.asmx HTTP/1.1\r\nHost: " + authority + "\r\n", 0) == 0,
                 request.c_str());
        QVERIFY(request.find("Proxy-Authorization") == std::string::npos);
    }
}

void TestLoginProxy::proxyNeverAnswers_data()
{
    QTest::addColumn<std::string>("scheme");
    QTest::newRow("http") << "http"s;
    QTest::newRow("https, while asking for the tunnel") << "https"s;
}

void TestLoginProxy::proxyNeverAnswers()
{
    QFETCH(std::string, scheme);
    LoopbackPeer silentProxy({}, LoopbackPeer::Behaviour::NeverAnswer);
    QElapsedTimer timer;
    timer.start();
    const Call call = callPeer(scheme + "://login.kelumo.test/Services/CheckUserLogin.asmx", "", "a", "b", 1,
                               ProxySetting{"127.0.0.1", silentProxy.port(), {}, {}});
    QVERIFY(call.code != 0);
    // Bounded by the receive limit, not by the proxy.
    QVERIFY2(timer.elapsed() < 4000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(silentProxy.requests().size(), std::size_t(1));
}

void TestLoginProxy::proxyDigestChallengeAnswered()
{
    // A proxy that offers Basic and Digest: the 407 hands back the Digest
    // challenge, and the call made again answers it.
    const std::string digest = "Digest realm=\"corp\", nonce=\"abc\", qop=\"auth\"";
    std::string refusal = "HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"corp\"\r\n"
                          "Proxy-Authenticate: " + digest + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    LoopbackPeer fakeProxy(refusal);
    SoapLoginService service;
    LoginService::Call call;
    call.endpoint = "http://login.kelumo.test/Services/CheckUserLogin.asmx";
    call.proxy = ProxySetting{"127.0.0.1", fakeProxy.port(), "u", "pw"};
    LoginService::Reply reply = service.checkUserRegisterCode(call);
    QVERIFY(!reply.answered);
    QCOMPARE(reply.failure, LoginService::Reply::Failure::ProxyAuthentication);
    QCOMPARE(reply.proxyChallenge, digest);
    QCOMPARE(reply.proxyRealm, "corp"s);

    fakeProxy.setReply(LoopbackPeer::httpReply(200, LoopbackPeer::answer("http://h/?ver=1")));
    call.proxyChallenge = reply.proxyChallenge;
    reply = service.checkUserRegisterCode(call);
    QVERIFY(reply.answered);
    const std::string head = fakeProxy.requests().back();
    const std::string expected = "Proxy-Authorization: Digest username=\"u\", realm=\"corp\", nonce=\"abc\", "
                                 "uri=\"http://login.kelumo.test/Services/CheckUserLogin.asmx\", algorithm=MD5, response=\"";
    QVERIFY2(head.find(expected) != std::string::npos, head.c_str());
}

void TestLoginProxy::closedPeerRaisesNoSignal()
{
    // What a TLS write to a peer that has gone does, without a call around it:
    // a plain write() on a connection closed at the other end.
    int pair[2];
    QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    ::close(pair[1]);
    {
        const QuietPipe quiet;
        QCOMPARE(::write(pair[0], "x", 1), ssize_t(-1));
    }
    ::close(pair[0]);
    // Neither left pending nor left blocked for the rest of the thread's life.
    sigset_t pending;
    sigset_t mask;
    QCOMPARE(::sigpending(&pending), 0);
    QCOMPARE(::pthread_sigmask(SIG_BLOCK, nullptr, &mask), 0);
    QVERIFY(!::sigismember(&pending, SIGPIPE));
    QVERIFY(!::sigismember(&mask, SIGPIPE));
}

QTEST_APPLESS_MAIN(TestLoginProxy)
#include "tst_loginproxy.moc"
