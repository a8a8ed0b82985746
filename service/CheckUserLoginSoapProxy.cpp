#include "service/CheckUserLoginSoapProxy.h"

#include "service/HttpRequestHead.h"
#include "service/LoginEndpoint.h"
#include "service/ProxyAuth.h"
#include "service/QuietPipe.h"
#include "service/ServicePlatform.h"
#include "service/SoapFaultCode.h"
#include "service/TlsTrust.h"
#include "service/XmlEscape.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

namespace {

std::string_view orEmpty(const char *text)
{
    return text ? text : "";
}

// The runtime's hook for the head of each request it sends: a tunnel's
// CONNECT, or the POST itself.
int sendHead(struct soap *soap, const char *endpoint, const char *host, int port, const char *path,
             const char *action, ULONG64 count)
{
    const std::string_view version = soap->http_version ? soap->http_version : "1.1";
    const std::string cnonce = proxyauth::newClientNonce();
    const ProxyCredentials proxy{orEmpty(soap->proxy_userid), orEmpty(soap->proxy_passwd),
                                 static_cast<CheckUserLoginSoapProxy *>(soap)->proxyChallenge, cnonce};
    std::string head;
    if (soap->status == SOAP_CONNECT) {
        head = connectHead(orEmpty(host), port, version, proxy);
    } else {
        head = postHead({.endpoint = orEmpty(endpoint), .host = orEmpty(host), .port = port,
                         .path = orEmpty(path), .action = orEmpty(action), .contentLength = count,
                         .httpVersion = version, .viaProxy = soap->proxy_host != nullptr,
                         .overTls = soap->ssl != nullptr, .proxy = proxy});
    }
    return soap_send_raw(soap, head.data(), head.size());
}

std::string_view localName(const char *qname)
{
    std::string_view name(qname ? qname : "");
    const auto colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

#if defined(WITH_OPENSSL) || defined(WITH_GNUTLS)
// TLS is set up on demand, by the first https call: the runtime would
// otherwise initialise it with the first context of any call, which costs a
// plain http sign-in a few milliseconds. Must run before any context exists.
const bool tlsOnDemand = (soap_ssl_noinit(), true);

#endif

} // namespace

CheckUserLoginSoapProxy::CheckUserLoginSoapProxy()
{
    init_modes(SOAP_IO_DEFAULT, SOAP_IO_DEFAULT);
    applyDefaults();
}

CheckUserLoginSoapProxy::CheckUserLoginSoapProxy(soap_mode iomode)
{
    init_modes(iomode, iomode);
    applyDefaults();
}

CheckUserLoginSoapProxy::CheckUserLoginSoapProxy(soap_mode imode, soap_mode omode)
{
    init_modes(imode, omode);
    applyDefaults();
}

CheckUserLoginSoapProxy::~CheckUserLoginSoapProxy()
{
    soap_destroy(this);
    soap_end(this);
    // The base destructor closes the connection and releases the context.
}

void CheckUserLoginSoapProxy::init_modes(soap_mode imode, soap_mode omode)
{
    soap_imode(this, imode);
    soap_omode(this, omode);
    endpoint = nullptr;
    soap_set_namespaces(this, ::namespaces);
}

void CheckUserLoginSoapProxy::applyDefaults()
{
    startNetworking();
    fpost = sendHead;
    // A peer that closes early must not kill the process with SIGPIPE.
    socket_flags = quietSendFlags();
    connect_timeout = connectTimeLimit;
    send_timeout = sendTimeLimit;
    recv_timeout = receiveTimeLimit;
    transfer_timeout = transferTimeLimit;
    recv_maxlength = receiveSizeLimit;
}

void CheckUserLoginSoapProxy::useProxy(const ProxySetting &setting)
{
    proxy_host = setting.host.empty() ? nullptr : setting.host.c_str();
    proxy_port = setting.port;
    proxy_userid = setting.user.empty() ? nullptr : setting.user.c_str();
    proxy_passwd = setting.user.empty() ? nullptr : setting.password.c_str();
    if (fparse != parseProxyAnswer) {
        m_stockParse = std::exchange(fparse, parseProxyAnswer);
        m_stockParseHeader = std::exchange(fparsehdr, parseProxyHeader);
    }
}

int CheckUserLoginSoapProxy::parseProxyHeader(struct soap *soap, const char *key, const char *value)
{
    auto *self = static_cast<CheckUserLoginSoapProxy *>(soap);
    if (key && value && !soap_tag_cmp(key, "Proxy-Authenticate") &&
        proxyauth::preferred(proxyauth::parseChallenge(value), proxyauth::parseChallenge(self->proxyChallenge)))
        self->proxyChallenge = value;
    return self->m_stockParseHeader(soap, key, value);
}

int CheckUserLoginSoapProxy::parseProxyAnswer(struct soap *soap)
{
    auto *self = static_cast<CheckUserLoginSoapProxy *>(soap);
    const bool tunnel = soap->status == SOAP_CONNECT;
    // The head that answered the last challenge has gone: keep the next one only.
    self->proxyChallenge.clear();
    const int code = self->m_stockParse(soap);
    // The runtime takes 400 and 500 as answers worth reading; to a CONNECT
    // nothing but 2xx opens the tunnel.
    if (tunnel && code == SOAP_OK && (soap->status < 200 || soap->status > 299))
        return soap->error = soap->status ? soap->status : SOAP_HTTP_ERROR;
    return code;
}

void CheckUserLoginSoapProxy::free_results()
{
    soap_destroy(this);
    soap_end(this);
}

void CheckUserLoginSoapProxy::drop_header()
{
    header = nullptr;
}

SOAP_ENV__Fault *CheckUserLoginSoapProxy::get_fault()
{
    return fault;
}

const char *CheckUserLoginSoapProxy::get_fault_string()
{
    return *soap_faultstring(this);
}

const char *CheckUserLoginSoapProxy::get_fault_detail()
{
    return *soap_faultdetail(this);
}

int CheckUserLoginSoapProxy::close_connection()
{
    return soap_closesock(this);
}

void CheckUserLoginSoapProxy::print_fault(FILE *fd)
{
    const std::string report = faultReport(" [");
    std::fwrite(report.data(), 1, report.size(), fd);
}

char *CheckUserLoginSoapProxy::format_fault(char *buf, size_t len)
{
    if (!buf || len == 0)
        return buf;
    const std::string report = faultReport(" [");
    const size_t n = std::min(report.size(), len - 1);
    std::memcpy(buf, report.data(), n);
    buf[n] = '\0';
    return buf;
}

void CheckUserLoginSoapProxy::stream_fault(std::ostream &os)
{
    os << faultReport("[");
}

std::string CheckUserLoginSoapProxy::faultReport(std::string_view subcodeOpening)
{
    if (state != SOAP_INIT && state != SOAP_COPY)
        return "Error: soap struct state not initialized\n";
    if (!error)
        return {};
    const char **code = defaultedFaultCode();
    const char *subcode = soap_fault_subcode(this);
    const char *reason = *soap_faultstring(this);
    const char *detail = soap_fault_detail(this);
    std::string report = version ? "SOAP 1." + std::to_string(static_cast<int>(version))
                                 : "Error " + std::to_string(error);
    report += " fault: ";
    report += *code ? *code : "";
    report += subcodeOpening;
    report += subcode ? subcode : "no subcode";
    report += "]\n\"";
    report += reason ? reason : "[no reason]";
    report += "\"\nDetail: ";
    report += detail ? detail : "[no detail]";
    report += '\n';
    return report;
}

const char **CheckUserLoginSoapProxy::defaultedFaultCode()
{
    const char **code = soap_faultcode(this);
    if (!*code || !**code)
        soap_set_fault(this);
    if (!*code || !**code)
        *code = version == 1 ? "SOAP-ENV:Client" : "SOAP-ENV:Sender";
    return code;
}

int CheckUserLoginSoapProxy::writeEnvelope(const __ns2__CheckUserRegisterCode &wrapper)
{
    std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SOAP-ENV:Envelope";
    for (const Namespace *ns = namespaces; ns && ns->id; ++ns) {
        head += " xmlns:";
        head += ns->id;
        head += "=\"";
        appendEscapedAttribute(head, ns->ns ? ns->ns : "");
        head += '"';
    }
    head += "><SOAP-ENV:Body>";
    if (soap_send_raw(this, head.data(), head.size()))
        return error;
    // The operation wrapper is transparent: the request sits directly in the body.
    if (wrapper.ns1__CheckUserRegisterCode &&
        wrapper.ns1__CheckUserRegisterCode->put_element(this, "ns1:CheckUserRegisterCode", ""))
        return error;
    static constexpr std::string_view tail = "</SOAP-ENV:Body></SOAP-ENV:Envelope>";
    return soap_send_raw(this, tail.data(), tail.size());
}

int CheckUserLoginSoapProxy::prepareTls()
{
#if !defined(WITH_OPENSSL) && !defined(WITH_GNUTLS)
    // A build without a TLS library (Windows, for now) says so instead.
    return soap_set_sender_error(this, "https is not supported by this build yet",
                                 "the login service can only be reached through http://", SOAP_SSL_ERROR);
#else
    static std::once_flag tlsInit;
    std::call_once(tlsInit, [] { soap_ssl_init(); });
    if (ctx)
        return SOAP_OK;
    if (soap_ssl_client_context(this, SOAP_SSL_DEFAULT, nullptr, nullptr, caFile ? caFile : systemCaFile(),
                                caFile ? nullptr : "/etc/ssl/certs", nullptr))
        return error = SOAP_SSL_ERROR;
    addTrustedRoots(this, trustedRoots);
    return SOAP_OK;
#endif
}

int CheckUserLoginSoapProxy::CheckUserRegisterCode(_ns1__CheckUserRegisterCode *request,
                                                   _ns1__CheckUserRegisterCodeResponse *response)
{
    const QuietPipe quiet;
    const int code = call(request, response);
    // The context speaks SOAP 1.2 (its namespace table says so); an answer
    // that was no SOAP at all does not change that for the report.
    if (code != SOAP_OK && version == 0)
        version = 2;
    if (code == SOAP_EOF)
        describeLostConnection();
    return code;
}

// Whether the peer reset the connection or closed it, the report says the
// same: the connection ended before the exchange was complete.
void CheckUserLoginSoapProxy::describeLostConnection()
{
    static constexpr std::string_view prefix = "End of file or no input: ";
    defaultedFaultCode();
    const char **reason = soap_faultstring(this);
    if (*reason && std::string_view(*reason).starts_with(prefix))
        return;
    const std::string text = std::string(prefix) + (*reason ? *reason : "connection closed");
    *reason = soap_strdup(this, text.c_str());
}

int CheckUserLoginSoapProxy::call(_ns1__CheckUserRegisterCode *request,
                                  _ns1__CheckUserRegisterCodeResponse *response)
{
    if (!endpoint) {
        m_defaultEndpoint = defaultLoginEndpoint();
        endpoint = m_defaultEndpoint.c_str();
    }
    encodingStyle = nullptr;

    __ns2__CheckUserRegisterCode wrapper;
    soap_default___ns2__CheckUserRegisterCode(this, &wrapper);
    wrapper.ns1__CheckUserRegisterCode = request;

    soap_begin(this);
    soap_serializeheader(this);
    soap_serialize___ns2__CheckUserRegisterCode(this, &wrapper);

    // Counting pass: the body's length goes into Content-Length.
    if (soap_begin_count(this))
        return error;
    if ((mode & SOAP_IO_LENGTH) && writeEnvelope(wrapper))
        return error;
    if (soap_end_count(this))
        return error;

    if (isHttps(endpoint) && prepareTls())
        return error;

    if (soap_connect_command(this, SOAP_POST, endpoint, action) || writeEnvelope(wrapper) || soap_end_send(this))
        return soap_closesock(this);

    if (!response)
        return soap_closesock(this);

    response->set_defaults(this);
    if (soap_begin_recv(this))
        return soap_closesock(this);
    if (soap_envelope_begin_in(this))
        return notAnEnvelope();
    // The runtime takes a SOAP 1.1 envelope, or plain XML without any
    // envelope, in its stride; this service speaks SOAP 1.2 only.
    if (version != 2) {
        error = SOAP_TAG_MISMATCH;
        return notAnEnvelope();
    }
    if (soap_recv_header(this) || soap_body_begin_in(this))
        return soap_closesock(this);

    response->get_element(this, "ns1:CheckUserRegisterCodeResponse", "");
    if (error) {
        if (error == SOAP_TAG_MISMATCH || error == SOAP_NO_TAG)
            return readFaultInstead(error);
        return soap_closesock(this);
    }

    // Whether the tail of the answer reads cleanly or not, error says so.
    if (!soap_body_end_in(this) && !soap_envelope_end_in(this))
        soap_end_recv(this);
    return soap_closesock(this);
}

// The answer is not a SOAP 1.2 envelope. An envelope of another SOAP version
// is a version mismatch; any other document ends the call with the answer's
// HTTP status. A connection lost meanwhile stays a broken connection.
int CheckUserLoginSoapProxy::notAnEnvelope()
{
    if (error != SOAP_EOF && error != SOAP_EOM) {
        if (localName(tag) == "Envelope")
            error = SOAP_VERSIONMISMATCH;
        else if (status >= 100 && status <= 599)
            error = status;
    }
    return soap_closesock(this);
}

int CheckUserLoginSoapProxy::readFaultInstead(int readError)
{
    error = SOAP_OK;
    if (soap_getfault(this)) {
        // Neither the answer nor a fault: keep the failed read's code, and
        // record the default fault for it.
        error = readError;
        if (fault) {
            fault->faultcode = nullptr;
            if (fault->SOAP_ENV__Code)
                fault->SOAP_ENV__Code->SOAP_ENV__Value = nullptr;
        }
        soap_set_fault(this);
        return soap_closesock(this);
    }
    const int code = faultResultCode(fault);
    if (!soap_body_end_in(this) && !soap_envelope_end_in(this))
        soap_end_recv(this);
    error = code;
    return soap_closesock(this);
}
