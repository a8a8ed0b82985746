#include "signin/SignInFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace {

// One line up to LF, without the LF and a CR before it; at most `limit` bytes
// are kept, the rest of an overlong line is skipped. Reads no more than
// `budget` bytes (and takes them off it), so that a huge damaged file cannot
// hold up the dialog that opens it.
void readLine(QFile &file, std::string &line, std::size_t limit, qint64 &budget)
{
    line.clear();
    char buffer[4096];
    bool lineEnded = false;
    while (!lineEnded && budget > 0) {
        // readLine() leaves room for a terminating NUL in maxSize.
        const qint64 n = file.readLine(buffer, std::min<qint64>(sizeof buffer, budget + 1));
        if (n <= 0)
            break;
        budget -= n;
        std::size_t length = static_cast<std::size_t>(n);
        if (buffer[length - 1] == '\n') {
            --length;
            lineEnded = true;
        }
        if (line.size() < limit)
            line.append(buffer, std::min(length, limit - line.size()));
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
}

} // namespace

QString SignInFile::userFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
}

QString SignInFile::locate(const QString &programFolder, const QString &fallbackFolder)
{
    if (QFileInfo(programFolder).isWritable() || fallbackFolder.isEmpty())
        return programFolder + QLatin1String(fileName);
    return QDir(fallbackFolder).filePath(QLatin1String(fileName));
}

bool SignInFile::load(const QString &path, Contents &contents)
{
    if (!QFileInfo(path).isFile())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    qint64 budget = maxReadBytes;
    readLine(file, contents.account, maxLineBytes, budget);
    readLine(file, contents.password, maxLineBytes, budget);
    return true;
}

std::string SignInFile::serialize(const std::string &account, const std::string &password, bool remember)
{
    if (!remember)
        return {};
    return account + "\r\n" + password;
}

void SignInFile::save(const QString &path, const std::string &account, const std::string &password, bool remember)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Written beside the file and moved into place, so that a full disk never
    // leaves a half-written sign-in behind.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const std::string bytes = serialize(account, password, remember);
    if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())) {
        file.cancelWriting();
        return;
    }
    file.commit();
}
