#include "service/SoapLoginService.h"

#include "service/CheckUserLoginSoapProxy.h"
#include "service/ProxyChoice.h"
#include "service/TlsTrust.h"

#include <utility>

#include <sstream>

LoginService::Reply SoapLoginService::checkUserRegisterCode(Call call)
{
    CheckUserLoginSoapProxy proxy;
    if (!call.endpoint.empty())
        proxy.endpoint = call.endpoint.c_str();
    if (call.receiveTimeLimit > 0)
        proxy.recv_timeout = call.receiveTimeLimit;
    if (call.proxy)
        proxy.useProxy(*call.proxy);
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
        reply.failure = certificateRefused(code, reply.fault) ? Reply::Failure::Certificate : Reply::Failure::Network;
        reply.host = proxy.host;
        return reply;
    }
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
