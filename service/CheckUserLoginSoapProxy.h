#pragma once

#include "base/ProxySetting.h"
#include "soapH.h"

#include <cstddef>
#include <cstdio>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

// One login call to the platform's web service. A SOAP context itself, so the
// runtime's functions take the proxy as their context. Confined to the thread
// that created it; meant to live for one call on that thread's stack.
class CheckUserLoginSoapProxy : public soap
{
public:
    // Service address; null until the first call stores the default in it.
    // Not owned. (Hides the runtime's own buffer of the same name.)
    const char *endpoint = nullptr;
    // CA certificates (PEM file) an https server is verified against; null
    // means the system's store.
    const char *caFile = nullptr;
    // Further PEM files of roots trusted beside those (TlsTrust.h).
    std::vector<std::string> trustedRoots;
    // The proxy's challenge the credentials answer (Digest's, else Basic is
    // sent); after a 407, the one the proxy sent with it.
    std::string proxyChallenge;

    CheckUserLoginSoapProxy();
    explicit CheckUserLoginSoapProxy(soap_mode iomode);
    CheckUserLoginSoapProxy(soap_mode imode, soap_mode omode);
    virtual ~CheckUserLoginSoapProxy();

    CheckUserLoginSoapProxy(const CheckUserLoginSoapProxy &) = delete;
    CheckUserLoginSoapProxy &operator=(const CheckUserLoginSoapProxy &) = delete;

    virtual void init_modes(soap_mode imode, soap_mode omode);
    virtual void free_results();
    virtual void drop_header();
    virtual SOAP_ENV__Fault *get_fault();
    virtual const char *get_fault_string();
    virtual const char *get_fault_detail();
    virtual int close_connection();
    virtual void print_fault(FILE *fd);
    virtual void stream_fault(std::ostream &os);
    virtual char *format_fault(char *buf, size_t len);

    // Sends the calls through an HTTP proxy: http with the absolute address in
    // the request line, https through a CONNECT tunnel. The setting is not
    // copied and must outlive the calls.
    void useProxy(const ProxySetting &setting);

    // 0 on success, else a result code: -1 broken connection, 1/2/8/12/39 a
    // fault, 3..6 an undecodable answer, 28 no connection, 30 TLS, 100..599 an
    // HTTP status (also of any answer that is not a SOAP 1.2 envelope; 407
    // when the proxy wants other credentials).
    virtual int CheckUserRegisterCode(_ns1__CheckUserRegisterCode *request,
                                      _ns1__CheckUserRegisterCodeResponse *response);

    static constexpr const char *action = "{F16595B6-DE49-44d9-94C6-1E63F3AC28E8}/CheckUserRegisterCode";

    // Time limits of a call, in seconds.
    static constexpr int connectTimeLimit = 15;
    static constexpr int sendTimeLimit = 30;
    static constexpr int receiveTimeLimit = 30;
    // However steadily a server trickles it, the whole answer must arrive
    // within this time.
    static constexpr int transferTimeLimit = 60;
    // Largest answer taken, in bytes (after any decompression). The service's
    // answers are well under 1 KB; this bounds the memory and the parsing time
    // a server can make the client spend.
    static constexpr ULONG64 receiveSizeLimit = 64 * 1024;

private:
    // Holds the default address while `endpoint` points at it.
    std::string m_defaultEndpoint;
    // The runtime's own reader of an answer's head, wrapped while a proxy is
    // in use: a tunnel the proxy refused fails with the proxy's status.
    static int parseProxyAnswer(struct soap *soap);
    int (*m_stockParse)(struct soap *) = nullptr;
    // Likewise its reader of each header: keeps the proxy's challenge.
    static int parseProxyHeader(struct soap *soap, const char *key, const char *value);
    int (*m_stockParseHeader)(struct soap *, const char *, const char *) = nullptr;

    int call(_ns1__CheckUserRegisterCode *request, _ns1__CheckUserRegisterCodeResponse *response);
    void describeLostConnection();
    const char **defaultedFaultCode();
    // The fault report of the last call; print_fault and format_fault open
    // the subcode with " [", stream_fault with "[" (no space).
    std::string faultReport(std::string_view subcodeOpening);
    void applyDefaults();
    int writeEnvelope(const __ns2__CheckUserRegisterCode &wrapper);
    int prepareTls();
    int notAnEnvelope();
    int readFaultInstead(int readError);
};
