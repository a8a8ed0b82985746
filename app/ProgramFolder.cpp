#include "app/ProgramFolder.h"

#include "app/AppPlatform.h"
#include "app/CCorvaneApp.h"

#include <QCoreApplication>
#include <QFile>

std::string programFolderOf(const std::string &modulePath)
{
    // Scanned from the end down to the second character; the first one is
    // never a folder of its own.
    for (std::size_t i = modulePath.size(); i-- > 1;) {
        if (isPathSeparator(modulePath[i]))
            return modulePath.substr(0, i + 1);
    }
    return modulePath;
}

void InitAppFolder()
{
    const QString path = QCoreApplication::applicationFilePath();
    theApp.m_szAppFolder = programFolderOf(QFile::encodeName(path).toStdString());
    theApp.m_appFolder = QString::fromLocal8Bit(theApp.m_szAppFolder.c_str());
}
