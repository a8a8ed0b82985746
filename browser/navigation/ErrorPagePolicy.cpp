#include "browser/navigation/ErrorPagePolicy.h"

#include "browser/navigation/RecoveryPolicy.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString errorPageName = QStringLiteral("error");

bool isFile(const QString &path)
{
    return QFileInfo(path).isFile();
}

QString escaped(const QString &text)
{
    // toHtmlEscaped leaves the apostrophe alone; the page may quote with it.
    QString result = text.toHtmlEscaped();
    result.replace(QLatin1Char('\''), QLatin1String("&#39;"));
    return result;
}

} // namespace

QString findErrorPage(const QString &currentDir, const QString &programFolder)
{
    const QString inCurrent = QDir(currentDir).absoluteFilePath(errorPageName);
    if (isFile(inCurrent))
        return inCurrent;
    // The program folder already ends in a separator; joined as it is, like
    // every other file the program keeps beside itself.
    const QString inProgramFolder = programFolder + errorPageName;
    if (!programFolder.isEmpty() && isFile(inProgramFolder))
        return inProgramFolder;
    return {};
}

bool redirectsToErrorPage(QWebEngineLoadingInfo::LoadStatus status, bool loadIsErrorPage)
{
    return status == QWebEngineLoadingInfo::LoadFailedStatus && !loadIsErrorPage;
}

QString errorPageReason(int statusCode)
{
    if (statusCode > 0)
        return QStringLiteral("http-%1").arg(statusCode);
    if (statusCode == 0)
        return QStringLiteral("unreachable");
    switch (recovery::failureOf(statusCode)) {
    case recovery::Failure::Network: return QStringLiteral("unreachable");
    case recovery::Failure::Certificate: return QStringLiteral("certificate");
    case recovery::Failure::Other: break;
    }
    return QStringLiteral("failed");
}

QString crashedPageReason()
{
    return QStringLiteral("crashed");
}

QUrl errorPageAddress(const QString &errorPagePath, int statusCode)
{
    return errorPageAddress(errorPagePath, errorPageReason(statusCode));
}

QUrl errorPageAddress(const QString &errorPagePath, const QString &reason)
{
    QUrl address = QUrl::fromLocalFile(errorPagePath);
    address.setFragment(reason);
    return address;
}

QString fillErrorPage(const QString &page, const QString &startAddress, const QString &failedHost)
{
    QString filled = page;
    filled.replace(QLatin1String("{{START_URL}}"), escaped(startAddress));
    filled.replace(QLatin1String("{{FAILED_HOST}}"), escaped(failedHost));
    return filled;
}
