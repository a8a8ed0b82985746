#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class QWebEngineView;

// What a view keeps while its error page is up: the address that failed (in
// memory only), the timer and the probe that try it again, and the clock of
// the last reload after a renderer's death. Lives as long as its view.
class PageRecovery final : public QObject
{
    Q_OBJECT

public:
    explicit PageRecovery(QWebEngineView *view);

    // The error page is up for `url`, which failed with `errorCode`; tries it
    // again by itself when the policy says so.
    void failed(const QUrl &url, int errorCode);
    // A load of anything but the error page started: stops trying.
    void navigationStarted(const QUrl &url);
    // A page other than the error page is up: nothing is kept any longer.
    void loaded();
    // Loads the failed address now (F5, the error page's "重新加载").
    void retryNow();

    const QUrl &failedAddress() const { return m_failedUrl; }
    // A try is waiting for its time or for its probe.
    bool retryPending() const;

    // The page's renderer ended; returns whether the error page is to be
    // shown (otherwise the page is reloaded here, or nothing happens).
    bool rendererEnded(bool abnormal);
    // While `hold` says so, that reload waits for reloadIfHeld().
    void setReloadHold(std::function<bool()> hold) { m_reloadHold = std::move(hold); }
    void reloadIfHeld();

private:
    void reload();
    void scheduleRetry();
    void probe();
    void onProbeFinished(QNetworkReply *reply);
    void stop();
    void forget();
    void watchNetwork();
    qint64 waitForBudget(qint64 inMs) const;

    QWebEngineView *m_view;
    QUrl m_failedUrl;
    int m_attempt = 0;
    // When the failed address was tried by itself, on m_clock.
    QList<qint64> m_triesMs;
    QElapsedTimer m_clock;
    QTimer m_timer;
    QNetworkAccessManager *m_network = nullptr;
    QPointer<QNetworkReply> m_probe;
    bool m_watchingNetwork = false;
    QElapsedTimer m_sinceCrashReload;
    std::function<bool()> m_reloadHold;
    bool m_reloadHeld = false;
};
