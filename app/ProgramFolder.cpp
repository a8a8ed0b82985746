#include "app/ProgramFolder.h"

#include "app/CCorvaneApp.h"

#include <QCoreApplication>
#include <QFile>

namespace {

bool isSeparator(char c)
{
#ifdef Q_OS_WIN
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

} // namespace

std::string programFolderOf(const std::string &modulePath)
{
    // Scanned from the end down to the second character; the first one is
    // never a folder of its own.
    for (std::size_t i = modulePath.size(); i-- > 1;) {
        if (isSeparator(modulePath[i]))
            return modulePath.substr(0, i + 1);
    }
    return modulePath;
}

void InitAppFolder()
{
    const QString path = QCoreApplication::applicationFilePath();
    theApp.m_szAppFolder = programFolderOf(QFile::encodeName(path).toStdString());
}
