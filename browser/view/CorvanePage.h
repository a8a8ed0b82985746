#pragma once

#include "browser/navigation/NavigationPolicy.h"
#include "browser/view/FileChooser.h"

#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <QWebEnginePage>

#include <functional>

struct ClientSettings;
class QMessageBox;
class QWebEngineNewWindowRequest;

// The view's page. JavaScript's alert, confirm and prompt speak as the
// client ("Kelumo大数据"), not as the page's address. Only the platform's
// pages open inside the client (NavigationPolicy.h).
class CorvanePage final : public QWebEnginePage
{
    Q_OBJECT

public:
    // `settings` name the platform's hosts and the download folder.
    CorvanePage(QWebEngineProfile *profile, const ClientSettings &settings, QObject *parent = nullptr);

    // The caption of the page's JavaScript dialogs.
    static QString dialogCaption();

    // Sees every page action first (keys, menus, the view's commands); an
    // action it returns true for has been dealt with.
    void setActionFilter(std::function<bool(WebAction)> filter) { m_actionFilter = std::move(filter); }
    void triggerAction(WebAction action, bool checked = false) override;
    // The application's start-address buffer: its host is the platform's.
    void SetStartUrlBuffer(const char *buffer) { m_startUrlBuffer = buffer; }
    // The hosts whose pages the client shows (NavigationPolicy.h).
    PlatformHosts platformHosts() const;
    // Ends the page's JavaScript dialog that is up, if any, as its OK button
    // would: the window is going anyway.
    void dismissDialogs();
    // Who answers the page's file dialogs; QFileDialog's unless replaced.
    void setFileChooser(FileChooser chooser) { m_fileChooser = std::move(chooser); }

protected:
    void javaScriptAlert(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptPrompt(const QUrl &securityOrigin, const QString &msg, const QString &defaultValue,
                          QString *result) override;
    // A file dropped on a page that does not take it is not opened, and a
    // site outside the platform goes to the system's browser.
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    // New windows are decided in onNewWindowRequested(), which has the address.
    QWebEnginePage *createWindow(WebWindowType type) override;
    // Upload dialogs start in the last folder used, else Documents or home.
    QStringList chooseFiles(FileSelectionMode mode, const QStringList &oldFiles,
                            const QStringList &acceptedMimeTypes) override;

private:
    QWidget *dialogParent() const;
    int runBox(QMessageBox &box);
    bool follow(const QUrl &url, NavigationStart start, bool mainFrame);
    void onNewWindowRequested(QWebEngineNewWindowRequest &request);

    std::function<bool(WebAction)> m_actionFilter;
    QPointer<QMessageBox> m_openBox;
    const char *m_startUrlBuffer = nullptr;
    QString m_site;
    QString m_loginEndpoint;
    QStringList m_extraHosts;
    QString m_downloadFolder;
    FileChooser m_fileChooser = chooseWithFileDialog;
};
