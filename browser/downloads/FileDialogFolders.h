#pragma once

#include <QString>

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
