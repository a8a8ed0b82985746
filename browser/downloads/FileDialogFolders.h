#pragma once

#include <QString>

#include <optional>

// Where the file dialogs start, never in the program's working folder. Each
// argument may be empty (not set, or not there).

// Upload: the last folder used in this run, else Documents, else home.
QString uploadDialogFolder(const QString &lastUsed, const QString &documents, const QString &home);

// Save: the download folder setting, else the last folder used, else
// Downloads, else home.
QString saveDialogFolder(const QString &downloadSetting, const QString &lastUsed, const QString &downloads,
                         const QString &home);

// The same, from this run's memory and the user's folders as they are now;
// `downloadSetting` is the client's download folder setting (empty: none).
QString uploadDialogFolder();
QString saveDialogFolder(const QString &downloadSetting);

// Remembers the folder of a file the user chose in either dialog.
void rememberDialogFolder(const QString &chosenFile);

// Where a download goes: asked for, or saved into `folder` without asking.
struct DownloadPlace
{
    bool ask = true;
    QString folder;
};

// `setting`: the download folder setting (empty: none); `settingGone`: it is
// set but not there, and so counts as not set; `prompt`: whether to ask for
// each download, when the administrator said; `downloads`: the user's
// Downloads folder.
DownloadPlace downloadPlace(const QString &setting, bool settingGone, std::optional<bool> prompt,
                            const QString &downloads);
