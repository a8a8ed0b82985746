#include "browser/downloads/DownloadFiles.h"

#include "browser/downloads/DownloadName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Every numbered choice is tried at most this far; past it the folder is
// full of copies and the download fails rather than search on.
constexpr int maxNumber = 9999;

// Renames without ever replacing: one step in the kernel where the file
// system has it, else a hard link (which fails on an existing name) and the
// old name removed. 0, or the error (EEXIST: the name is taken).
int renameNoReplace(const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return 0;
    }
    if (errno == EEXIST)
        return EEXIST;
    // Neither (a file system without links): checked, then renamed.
    if (QFileInfo::exists(QFile::decodeName(to)))
        return EEXIST;
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

} // namespace

QString firstFreeFile(const QString &folder, const QString &name, const ReservedName &reserved)
{
    const QDir dir(folder);
    for (int n = 0; n <= maxNumber; ++n) {
        const QString path = dir.filePath(numberedFileName(name, n));
        if (!QFileInfo::exists(path) && !(reserved && reserved(path)))
            return path;
    }
    return dir.filePath(name);
}

QString claimPartialFile(const QString &folder, const QString &name)
{
    const QDir dir(folder);
    for (int n = 0; n <= maxNumber; ++n) {
        const QString path = dir.filePath(partialFileName(name, n));
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST)
            return {};
    }
    return {};
}

QString moveIntoPlace(const QString &partial, const QString &wanted, const QString &name, bool replace,
                      const ReservedName &reserved)
{
    const QByteArray from = QFile::encodeName(partial);
    if (replace)
        return ::rename(from.constData(), QFile::encodeName(wanted).constData()) == 0 ? wanted : QString();
    int error = renameNoReplace(from, QFile::encodeName(wanted));
    if (error == 0)
        return wanted;
    const QDir dir = QFileInfo(wanted).absoluteDir();
    for (int n = 0; n <= maxNumber && error == EEXIST; ++n) {
        const QString path = dir.filePath(numberedFileName(name, n));
        if (path == wanted || (reserved && reserved(path)))
            continue;
        error = renameNoReplace(from, QFile::encodeName(path));
        if (error == 0)
            return path;
    }
    return {};
}
