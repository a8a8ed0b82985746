#include "service/SoapFaultCode.h"

#include <string_view>

int faultResultCode(const SOAP_ENV__Fault *fault)
{
    const char *code = nullptr;
    if (fault) {
        if (fault->SOAP_ENV__Code && fault->SOAP_ENV__Code->SOAP_ENV__Value)
            code = fault->SOAP_ENV__Code->SOAP_ENV__Value;
        else
            code = fault->faultcode;
    }
    if (!code)
        return SOAP_FAULT;
    const std::string_view value(code);
    if (value == "SOAP-ENV:Server" || value == "SOAP-ENV:Receiver")
        return SOAP_SVR_FAULT;
    if (value == "SOAP-ENV:Client" || value == "SOAP-ENV:Sender")
        return SOAP_CLI_FAULT;
    if (value == "SOAP-ENV:MustUnderstand")
        return SOAP_MUSTUNDERSTAND;
    if (value == "SOAP-ENV:VersionMismatch")
        return SOAP_VERSIONMISMATCH;
    return SOAP_FAULT;
}
