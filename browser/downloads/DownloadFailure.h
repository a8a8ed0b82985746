#pragma once

#include <QString>
#include <QWebEngineDownloadRequest>

// Why a download could not be saved, in the words its message uses.
enum class DownloadFailure {
    None,
    NoPermission, // the folder or file may not be written
    ReadOnly,     // the disk is mounted read-only
    DiskFull,
    FolderGone,   // the folder is not there (any more)
    Interrupted,  // the connection to the server broke off
    ServerRefused,
    Disabled,     // the administrator allows no downloads
    Other,
};

// The failure behind the engine's reason for interrupting a download.
DownloadFailure downloadFailureFor(QWebEngineDownloadRequest::DownloadInterruptReason reason);

// What keeps a download out of a folder, before it starts: the folder's state
// as the file system tells it.
DownloadFailure downloadFolderFailure(bool exists, bool isFolder, bool writable, bool readOnlyDisk);

// The same, for the folder at `path`.
DownloadFailure downloadFolderFailure(const QString &path);

// The message for a download of `fileName` that failed so.
QString downloadFailureText(const QString &fileName, DownloadFailure failure);

// A short name of the failure for the trace.
const char *downloadFailureName(DownloadFailure failure);
