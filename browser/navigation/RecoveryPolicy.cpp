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

Failure failureOf(int errorCode)
{
    // The engine's certificate errors are -200 to -299.
    if (errorCode <= -200 && errorCode > -300)
        return Failure::Certificate;
    switch (errorCode) {
    case -7:   // timed out
    case -21:  // the network changed under the load
    case -100: // connection closed
    case -101: // connection reset
    case -102: // connection refused
    case -103: // connection aborted
    case -104: // connection failed
    case -105: // name not resolved
    case -106: // no network
    case -109: // address unreachable
    case -118: // connection timed out
    case -130: // proxy connection failed
    case -137: // name resolution failed
    case -324: // closed without an answer
        return Failure::Network;
    default:
        return Failure::Other;
    }
}

bool retriesByItself(const QUrl &address, int errorCode)
{
    // Only a web address can be probed.
    const QString scheme = address.scheme();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return false;
    return (errorCode < 0 && failureOf(errorCode) == Failure::Network) || gatewayAway(errorCode);
}

qint64 waitForTryBudget(const QList<qint64> &earlierTriesMs, qint64 atMs)
{
    constexpr qint64 minuteMs = 60000;
    QList<qint64> inWindow;
    for (const qint64 at : earlierTriesMs)
        if (atMs - at < minuteMs)
            inWindow.append(at);
    if (inWindow.size() < maxTriesPerMinute)
        return 0;
    // The try that has to leave the minute for one more to fit in it.
    return inWindow[inWindow.size() - maxTriesPerMinute] + minuteMs - atMs;
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
