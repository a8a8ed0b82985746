#include "base/LoginService.h"
#include "service/SoapLoginService.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT LoginService *kelumoLoginService(int version)
{
    if (version != loginServiceVersion)
        return nullptr;
    static SoapLoginService service;
    return &service;
}
