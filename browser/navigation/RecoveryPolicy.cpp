#include "browser/navigation/RecoveryPolicy.h"

#include "base/proxy/ProxyRules.h"

#include <algorithm>
#include <array>

namespace recovery {

namespace {

constexpr std::array<int, 5> delaysMs = {2000, 4000, 8000, 16000, 30000};

// The entry of a pair, or the entry itself.
int ownerOf(const QList<HistoryEntry> &entries, int index)
{
    if (index > 0 && entries[index].errorPage && !entries[index - 1].errorPage)
        return index - 1;
    return index;
}

bool isTarget(const QList<HistoryEntry> &entries, qsizetype index)
{
    if (entries[index].errorPage)
        return false;
    const bool failed = index + 1 < entries.size() && entries[index + 1].errorPage;
    const bool triedAgain = failed && index + 2 < entries.size() && entries[index + 2].url == entries[index].url;
    return !triedAgain;
}

bool valid(const QList<HistoryEntry> &entries, int current)
{
    return current >= 0 && current < entries.size();
}

} // namespace

namespace {

bool gatewayAway(int httpStatus)
{
    return httpStatus == 502 || httpStatus == 503 || httpStatus == 504;
}

} // namespace

bool retriesByItself(const QUrl &address, int errorCode)
{
    // Only a web address can be probed.
    const QString scheme = address.scheme();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return false;
    return errorCode < 0 || gatewayAway(errorCode);
}

int retryDelayMs(int attempt)
{
    return delaysMs[static_cast<std::size_t>(std::clamp<int>(attempt, 0, int(delaysMs.size()) - 1))];
}

bool probeAnswerLoads(int httpStatus)
{
    return httpStatus > 0 && !gatewayAway(httpStatus);
}

bool probeGoesDirect(const QString &host)
{
    return proxyrules::alwaysDirect(host.toStdString());
}

int backTarget(const QList<HistoryEntry> &entries, int current)
{
    if (!valid(entries, current))
        return -1;
    for (int i = ownerOf(entries, current) - 1; i >= 0; --i)
        if (isTarget(entries, i))
            return i;
    return -1;
}

int forwardTarget(const QList<HistoryEntry> &entries, int current)
{
    if (!valid(entries, current))
        return -1;
    for (int i = current + 1; i < entries.size(); ++i)
        if (isTarget(entries, i))
            return i;
    return -1;
}

RendererEnd afterRendererEnd(bool abnormal, qint64 msSinceCrashReload)
{
    if (!abnormal)
        return RendererEnd::Nothing;
    if (msSinceCrashReload >= 0 && msSinceCrashReload < crashRepeatWindowMs)
        return RendererEnd::ErrorPage;
    return RendererEnd::Reload;
}

} // namespace recovery
