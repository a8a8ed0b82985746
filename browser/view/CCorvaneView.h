#pragma once

#include "base/ClientSettings.h"

#include <QString>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <functional>

class CorvanePage;
class PageCloseGuard;
class PageCommands;
class PageRecovery;
class QWebEngineLoadingInfo;
class QWebEngineProfile;

// The client's browser view: opens the start address, follows the frame's
// navigation commands, shows the shipped error page in place of a page that
// could not be loaded and opens popups in windows of their own. Downloads
// are the profile's (DownloadManager).
class CCorvaneView final : public QWebEngineView
{
    Q_OBJECT

public:
    // `programFolder` ends in '/'; the error page may live there. `settings`
    // name the platform's hosts and the download folder; popups get the same.
    CCorvaneView(QWebEngineProfile *profile, const QString &programFolder, const ClientSettings &settings,
                 QWidget *parent = nullptr);

    // The application's 500-byte start-address buffer, read again at every
    // initial update.
    void SetStartUrlBuffer(const char *buffer);

    // Places the main frame and opens the start address.
    void OnInitialUpdate();

    // A navigation failed: shows the error page, or, when it is missing, says
    // so and ends the program.
    void OnNavigateError(const QUrl &url, int statusCode);

    // The error page found at construction; empty when there was none.
    const QString &errorPage() const { return m_szErrorPage; }

    // The failed address and its retries, while the error page is up.
    PageRecovery *recovery() const { return m_recovery; }

    // What the user does with the page: print, find, zoom, full screen.
    PageCommands *commands() const { return m_commands; }
    // Asks the page before the view's window closes.
    PageCloseGuard *closeGuard() const { return m_closeGuard; }

    // How the program ends when the error page is missing; tests put their
    // own in. Popups opened from this view inherit it.
    void SetExitHook(std::function<void(int)> hook);

public slots:
    void OnGoBack();
    void OnGoForward();
    void OnGoRefresh();
    void OnGoStop();
    void OnOpenAddress();

signals:
    void statusTextChanged(const QString &text);
    void navigationStateChanged(bool canGoBack, bool canGoForward, bool loading);

protected:
    QWebEngineView *createWindow(QWebEnginePage::WebWindowType type) override;

private:
    void onLoadingChanged(const QWebEngineLoadingInfo &info);
    void onRenderProcessTerminated(QWebEnginePage::RenderProcessTerminationStatus status);
    bool isErrorPageLoad(const QUrl &url) const;
    bool showErrorPage(const QString &reason, const QString &failedHost = {});
    bool onPageAction(QWebEnginePage::WebAction action);
    int historyTarget(bool back) const;
    void reportMissingErrorPage();
    void updateNavigationState();

    QString m_programFolder;
    ClientSettings m_settings;
    QString m_szErrorPage;
    const char *m_startUrlBuffer = nullptr;
    std::function<void(int)> m_exitHook;
    // Set once the missing-file message is up: the program is ending and no
    // further failure may show anything.
    bool m_ending = false;
    PageRecovery *m_recovery;
    CorvanePage *m_page;
    PageCommands *m_commands;
    PageCloseGuard *m_closeGuard;
    bool m_loading = false;
    // What navigationStateChanged last said, so that it only speaks of changes.
    bool m_loadingReported = false;
    bool m_canGoBack = false;
    bool m_canGoForward = false;
};
