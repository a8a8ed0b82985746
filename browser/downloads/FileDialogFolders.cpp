#include "browser/downloads/FileDialogFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <initializer_list>

namespace {

QString &lastFolder()
{
    static QString folder;
    return folder;
}

QString firstOf(std::initializer_list<QString> folders)
{
    for (const QString &folder : folders)
        if (!folder.isEmpty())
            return folder;
    return {};
}

// An existing folder, else nothing.
QString existing(const QString &folder)
{
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

} // namespace

QString uploadDialogFolder(const QString &lastUsed, const QString &documents, const QString &home)
{
    return firstOf({lastUsed, documents, home});
}

QString saveDialogFolder(const QString &downloadSetting, const QString &lastUsed, const QString &downloads,
                         const QString &home)
{
    return firstOf({downloadSetting, lastUsed, downloads, home});
}

QString uploadDialogFolder()
{
    return uploadDialogFolder(existing(lastFolder()),
                              existing(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)),
                              QDir::homePath());
}

QString saveDialogFolder(const QString &downloadSetting)
{
    return saveDialogFolder(existing(downloadSetting), existing(lastFolder()),
                            existing(QStandardPaths::writableLocation(QStandardPaths::DownloadLocation)),
                            QDir::homePath());
}

void rememberDialogFolder(const QString &chosenFile)
{
    if (!chosenFile.isEmpty())
        lastFolder() = QFileInfo(chosenFile).absolutePath();
}

DownloadPlace downloadPlace(const QString &setting, bool settingGone, std::optional<bool> prompt,
                            const QString &downloads)
{
    if (prompt == true)
        return {true, {}};
    if (!setting.isEmpty() && !settingGone)
        return {false, setting};
    if (prompt == false && !downloads.isEmpty())
        return {false, downloads};
    return {true, {}};
}
