#include "base/LoginService.h"
#include "service/SoapLoginService.h"

LoginService *loginService()
{
    static SoapLoginService service;
    return &service;
}
