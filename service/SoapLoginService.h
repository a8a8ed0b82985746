#pragma once

#include "base/LoginService.h"

// The login service over the hand-written SOAP proxy (CheckUserLoginSoapProxy),
// with the way out chosen by proxychoice.
class SoapLoginService final : public LoginService
{
public:
    Reply checkUserRegisterCode(Call call) override;
    std::optional<ProxySetting> proxyFor(const std::string &address) override;
    void applyToPages(const std::optional<ProxySetting> &choice) override;
};
