#include "service/SoapLoginService.h"

#include "service/CheckUserLoginSoapProxy.h"
#include "service/ProxyAuth.h"
#include "service/ProxyChoice.h"
#include "service/TlsTrust.h"

#include <sstream>
#include <utility>

LoginService::Reply SoapLoginService::checkUserRegisterCode(Call call)
{
    CheckUserLoginSoapProxy proxy;
    if (!call.endpoint.empty())
        proxy.endpoint = call.endpoint.c_str();
    if (call.receiveTimeLimit > 0)
        proxy.recv_timeout = call.receiveTimeLimit;
    if (call.proxy) {
        proxy.useProxy(*call.proxy);
        proxy.proxyChallenge = call.proxyChallenge;
    }
    proxy.trustedRoots = std::move(call.trustedRoots);

    _ns1__CheckUserRegisterCode request;
    _ns1__CheckUserRegisterCodeResponse response;
    request.EntName = &call.company;
    request.strLoginId = &call.account;
    request.strPwd = &call.password;

    Reply reply;
    if (const int code = proxy.CheckUserRegisterCode(&request, &response); code != SOAP_OK) {
        std::ostringstream fault;
        proxy.stream_fault(fault);
        reply.fault = fault.str();
        if (code == 407 && call.proxy) {
            reply.failure = Reply::Failure::ProxyAuthentication;
            reply.proxyChallenge = proxy.proxyChallenge;
            reply.proxyRealm = proxyauth::parseChallenge(proxy.proxyChallenge).realm;
        } else {
            reply.failure =
                certificateRefused(code, reply.fault) ? Reply::Failure::Certificate : Reply::Failure::Network;
        }
        reply.host = proxy.host;
        return reply;
    }
    // Credentials the proxy took serve the pages too, when they go the same way.
    if (call.proxy && !call.proxy->user.empty())
        proxychoice::lendCredentials(*call.proxy);
    reply.answered = true;
    if (response.CheckUserRegisterCodeResult)
        reply.result = *response.CheckUserRegisterCodeResult;
    return reply;
}

std::optional<ProxySetting> SoapLoginService::proxyFor(const std::string &address)
{
    return proxychoice::forAddress(address);
}

void SoapLoginService::applyToPages(const std::optional<ProxySetting> &choice)
{
    proxychoice::applyToPages(choice);
}
