#include "app/LoginServiceLoader.h"

#include "base/LoginService.h"
#include "base/Trace.h"

#include <QLibrary>

#include <iostream>
#include <mutex>

namespace {

QString g_modulePath;
std::once_flag g_loadOnce;
LoginService *g_service = nullptr;

void load()
{
    // Never unloaded: a worker may still be in a call when the program ends.
    auto *library = new QLibrary(g_modulePath);
    const auto create = reinterpret_cast<LoginServiceFunction>(library->resolve("kelumoLoginService"));
    g_service = create ? create(loginServiceVersion) : nullptr;
    if (!g_service)
        std::cerr << "kelumo: the login service module did not load: "
                  << qPrintable(create ? QStringLiteral("another version") : library->errorString()) << '\n';
    trace("service loaded");
}

} // namespace

void LoginServiceLoader::setModulePath(const QString &path)
{
    g_modulePath = path;
}

LoginService *LoginServiceLoader::service()
{
    std::call_once(g_loadOnce, load);
    return g_service;
}

LoginService *loginService()
{
    return LoginServiceLoader::service();
}
