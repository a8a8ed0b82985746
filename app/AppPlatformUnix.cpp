#include "app/AppPlatform.h"

#include <QLoggingCategory>
#include <QtGlobal>

#include <iostream>

#include <dlfcn.h>
#include <unistd.h>

void prepareProcessForEngine()
{
    // (QT_LOGGING_RULES itself is read when Qt's libraries load, before main().)
    if (!qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        std::cerr << "kelumo: running as root, the web engine's sandbox is turned off\n";
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    // Read once, when the engine starts: pages reach a screen reader. With no
    // assistive technology active Qt's accessibility stays off and the engine
    // builds no accessibility tree. "0" turns it off, as later engines read it
    // (this one only asks whether the variable is set).
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY"))
        qputenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY", "1");
    else if (qgetenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY") == "0")
        qunsetenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY");
}

void chooseWindowSystem()
{
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsEmpty("DISPLAY"))
        return;
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && qgetenv("XDG_SESSION_TYPE") != "wayland")
        return;
    // Wayland when the X server does not answer after all.
    qputenv("QT_QPA_PLATFORM", "xcb;wayland");
}

bool isPathSeparator(char c)
{
    return c == '/';
}

void *loadedFunction(const char *mangledName)
{
    return ::dlsym(RTLD_DEFAULT, mangledName);
}
