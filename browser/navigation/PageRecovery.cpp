#include "browser/navigation/PageRecovery.h"

#include "browser/navigation/RecoveryPolicy.h"

#include <QNetworkAccessManager>
#include <QNetworkInformation>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QWebEngineView>

#include <utility>

namespace {

// A platform that takes the connection and never answers must not hold the
// next try forever.
constexpr int probeTimeoutMs = 10000;

} // namespace

PageRecovery::PageRecovery(QWebEngineView *view) : QObject(view), m_view(view)
{
    m_clock.start();
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { probe(); });
}

void PageRecovery::failed(const QUrl &url, int errorCode)
{
    // Another failure of the address being tried keeps the backoff going.
    if (url != m_failedUrl)
        forget();
    stop();
    m_failedUrl = url;
    if (!recovery::retriesByItself(url, errorCode))
        return;
    watchNetwork();
    scheduleRetry();
}

void PageRecovery::navigationStarted(const QUrl &url)
{
    stop();
    if (url != m_failedUrl) {
        m_failedUrl.clear();
        forget();
    }
}

void PageRecovery::loaded()
{
    stop();
    m_failedUrl.clear();
    forget();
}

void PageRecovery::forget()
{
    m_attempt = 0;
    m_triesMs.clear();
}

qint64 PageRecovery::waitForBudget(qint64 inMs) const
{
    return recovery::waitForTryBudget(m_triesMs, m_clock.elapsed() + inMs);
}

void PageRecovery::retryNow()
{
    if (m_failedUrl.isEmpty())
        return;
    stop();
    m_view->load(m_failedUrl);
}

bool PageRecovery::retryPending() const
{
    return m_timer.isActive() || !m_probe.isNull();
}

void PageRecovery::scheduleRetry()
{
    const int delay = recovery::retryDelayMs(m_attempt);
    m_timer.start(int(delay + waitForBudget(delay)));
    ++m_attempt;
}

void PageRecovery::stop()
{
    m_timer.stop();
    if (m_probe) {
        QNetworkReply *reply = m_probe;
        m_probe.clear();
        reply->abort();
        reply->deleteLater();
    }
}

void PageRecovery::watchNetwork()
{
    if (m_watchingNetwork)
        return;
    m_watchingNetwork = true;
    // Where no backend loads, the timer alone tries again.
    if (!QNetworkInformation::instance() && !QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability))
        return;
    connect(QNetworkInformation::instance(), &QNetworkInformation::reachabilityChanged, this,
            [this](QNetworkInformation::Reachability reachability) {
                if (reachability == QNetworkInformation::Reachability::Online && m_timer.isActive()
                    && waitForBudget(0) == 0) {
                    m_timer.stop();
                    probe();
                }
            });
}

void PageRecovery::probe()
{
    if (m_failedUrl.isEmpty())
        return;
    // Only the last minute's tries count; a long outage keeps no more.
    const qint64 now = m_clock.elapsed();
    m_triesMs.removeIf([now](qint64 at) { return now - at >= 60000; });
    m_triesMs.append(now);
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    // The way the pages take: the application proxy, except for the hosts
    // the engine never sends through one.
    m_network->setProxy(recovery::probeGoesDirect(m_failedUrl.host()) ? QNetworkProxy(QNetworkProxy::NoProxy)
                                                                       : QNetworkProxy::applicationProxy());
    QNetworkRequest request(m_failedUrl.adjusted(QUrl::RemoveFragment));
    request.setTransferTimeout(probeTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    QNetworkReply *reply = m_network->head(request);
    m_probe = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { onProbeFinished(reply); });
}

void PageRecovery::onProbeFinished(QNetworkReply *reply)
{
    reply->deleteLater();
    if (reply != m_probe)
        return;
    m_probe.clear();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // A server whose certificate the probe could not verify did answer: the
    // probe knows only the system's roots, the engine's load is checked
    // against the client's whole trust.
    const bool answeredOverTls = reply->error() == QNetworkReply::SslHandshakeFailedError;
    if (recovery::probeAnswerLoads(status) || answeredOverTls)
        retryNow();
    else
        scheduleRetry();
}

bool PageRecovery::rendererEnded(bool abnormal)
{
    const qint64 since = m_sinceCrashReload.isValid() ? m_sinceCrashReload.elapsed() : -1;
    switch (recovery::afterRendererEnd(abnormal, since)) {
    case recovery::RendererEnd::Nothing:
        return false;
    case recovery::RendererEnd::ErrorPage:
        m_sinceCrashReload.invalidate();
        return true;
    case recovery::RendererEnd::Reload:
        m_sinceCrashReload.start();
        m_reloadHeld = m_reloadHold && m_reloadHold();
        if (!m_reloadHeld)
            reload();
        return false;
    }
    return false;
}

void PageRecovery::reloadIfHeld()
{
    if (std::exchange(m_reloadHeld, false))
        reload();
}

void PageRecovery::reload()
{
    // Not from inside the engine's signal.
    QTimer::singleShot(0, m_view, [view = m_view] { view->reload(); });
}
