#pragma once

#include <QList>
#include <QString>
#include <QUrl>

// How the view finds its way back after a failure: which failed loads are
// tried again by themselves, how long it waits between tries, where Back and
// Forward lead around the error page, and what a dead renderer leads to.
namespace recovery {

// What the network did to a failed load, by the engine's error code: the
// platform could not be reached (refused, reset or closed connections, no
// route, name not resolved, timed out, proxy down), the platform's
// certificate was refused, or anything else (too many redirects or
// retries, an authentication that failed, a blocked request).
enum class Failure { Network, Certificate, Other };
Failure failureOf(int errorCode);

// Whether a failed load of `address` is tried again behind the error page
// without the user: a web address whose platform could not be reached (a
// Network failure) or whose gateway said it is away for now (502, 503,
// 504). Certificates, other HTTP errors and everything else stay.
bool retriesByItself(const QUrl &address, int errorCode);

// However a failure is classified, the client tries one address by itself
// (a probe, and the load it leads to) at most this often in any minute.
constexpr int maxTriesPerMinute = 3;
// The wait before one more try by itself, given when the earlier tries of
// that address were made (ms on one clock, oldest first) and the time the
// next one would go: 0 when it may go then.
qint64 waitForTryBudget(const QList<qint64> &earlierTriesMs, qint64 atMs);

// The wait before try number `attempt` (0 for the first): 2, 4, 8, 16 s, then
// every 30 s.
int retryDelayMs(int attempt);

// Whether a probe of the failed address that ended with `httpStatus` (0: no
// answer at all) means the page is worth loading again: any answer but the
// gateway's 502, 503 and 504.
bool probeAnswerLoads(int httpStatus);

// Hosts the engine always reaches without a proxy (loopback and link-local
// addresses, localhost, simple names): the probe goes the same way.
bool probeGoesDirect(const QString &host);

// One entry of the engine's history, as the view sees it.
struct HistoryEntry
{
    QUrl url;
    bool errorPage = false;
};

// The error page stands in for the failed entry just before it, so that the
// pair counts as one. A pair followed by a new entry for the same address
// (the load that tried it again) is left out altogether. Each returns an
// index into `entries`, or -1 when there is nowhere to go.
int backTarget(const QList<HistoryEntry> &entries, int current);
int forwardTarget(const QList<HistoryEntry> &entries, int current);

// What the end of a page's renderer leads to.
enum class RendererEnd { Nothing, Reload, ErrorPage };
// A second abnormal end this soon after the reload of the first shows the
// error page instead of reloading again.
constexpr int crashRepeatWindowMs = 60000;
// `msSinceCrashReload` is the time since the view last reloaded after a
// renderer's death, or negative when it has not.
RendererEnd afterRendererEnd(bool abnormal, qint64 msSinceCrashReload);

} // namespace recovery
