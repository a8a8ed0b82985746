#include "browser/downloads/DownloadFailure.h"

#include <QFileInfo>
#include <QStorageInfo>

namespace {

constexpr int serverContentLengthMismatch = 38;

} // namespace

DownloadFailure downloadFailureFor(QWebEngineDownloadRequest::DownloadInterruptReason reason)
{
    using R = QWebEngineDownloadRequest;
    switch (reason) {
    case R::NoReason:
    case R::UserCanceled:
        return DownloadFailure::None;
    case R::FileAccessDenied:
    case R::FileBlocked:
    case R::FileSecurityCheckFailed:
    case R::FileVirusInfected:
        return DownloadFailure::NoPermission;
    case R::FileNoSpace:
    case R::FileTooLarge:
        return DownloadFailure::DiskFull;
    case R::NetworkFailed:
    case R::NetworkTimeout:
    case R::NetworkDisconnected:
    case R::NetworkServerDown:
    case R::ServerUnreachable:
    case R::FileTooShort:
        return DownloadFailure::Interrupted;
    case R::NetworkInvalidRequest:
    case R::ServerFailed:
    case R::ServerBadContent:
    case R::ServerUnauthorized:
    case R::ServerCertProblem:
    case R::ServerForbidden:
        return DownloadFailure::ServerRefused;
    default:
        // The engine's reason for a body shorter than its announced length
        // has no name in Qt's list.
        if (static_cast<int>(reason) == serverContentLengthMismatch)
            return DownloadFailure::Interrupted;
        return DownloadFailure::Other;
    }
}

DownloadFailure downloadFolderFailure(bool exists, bool isFolder, bool writable, bool readOnlyDisk)
{
    if (!exists || !isFolder)
        return DownloadFailure::FolderGone;
    if (readOnlyDisk)
        return DownloadFailure::ReadOnly;
    if (!writable)
        return DownloadFailure::NoPermission;
    return DownloadFailure::None;
}

DownloadFailure downloadFolderFailure(const QString &path)
{
    const QFileInfo folder(path);
    // The access check the system makes for this user, so that an immutable
    // folder counts as unwritable for root too.
    return downloadFolderFailure(folder.exists(), folder.isDir(), folder.isWritable(),
                                 folder.exists() && QStorageInfo(path).isReadOnly());
}

QString downloadFailureText(const QString &fileName, DownloadFailure failure)
{
    QString reason;
    switch (failure) {
    case DownloadFailure::None: return {};
    case DownloadFailure::NoPermission: reason = QStringLiteral("没有写入目标文件夹的权限"); break;
    case DownloadFailure::ReadOnly: reason = QStringLiteral("目标磁盘是只读的"); break;
    case DownloadFailure::DiskFull: reason = QStringLiteral("磁盘空间不足"); break;
    case DownloadFailure::FolderGone: reason = QStringLiteral("目标文件夹不存在"); break;
    case DownloadFailure::Interrupted: reason = QStringLiteral("与服务器的连接中断"); break;
    case DownloadFailure::ServerRefused: reason = QStringLiteral("服务器拒绝了下载"); break;
    case DownloadFailure::Disabled: reason = QStringLiteral("管理员已禁用下载"); break;
    case DownloadFailure::Other: reason = QStringLiteral("无法保存文件"); break;
    }
    return QStringLiteral("“%1”下载失败：%2。").arg(fileName, reason);
}

const char *downloadFailureName(DownloadFailure failure)
{
    switch (failure) {
    case DownloadFailure::None: return "none";
    case DownloadFailure::NoPermission: return "no-permission";
    case DownloadFailure::ReadOnly: return "read-only";
    case DownloadFailure::DiskFull: return "disk-full";
    case DownloadFailure::FolderGone: return "folder-gone";
    case DownloadFailure::Interrupted: return "interrupted";
    case DownloadFailure::ServerRefused: return "server-refused";
    case DownloadFailure::Disabled: return "disabled";
    case DownloadFailure::Other: return "other";
    }
    return "other";
}
