#include "app/AppPlatform.h"

#include <QLoggingCategory>
#include <QtGlobal>

void prepareProcessForEngine()
{
    // (QT_LOGGING_RULES itself is read when Qt's libraries load, before main().)
    if (!qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
}

void chooseWindowSystem()
{
}

bool isPathSeparator(char c)
{
    return c == '/' || c == '\\';
}

void *loadedFunction(const char *)
{
    // Its compilers mangle names otherwise.
    return nullptr;
}
