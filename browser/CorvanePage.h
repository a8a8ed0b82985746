#pragma once

#include <QPointer>
#include <QUrl>
#include <QWebEnginePage>

class QMessageBox;

// The view's page. JavaScript's alert, confirm and prompt speak as the
// client ("Kelumo大数据"), not as the page's address.
class CorvanePage final : public QWebEnginePage
{
    Q_OBJECT

public:
    explicit CorvanePage(QWebEngineProfile *profile, QObject *parent = nullptr);

    // The caption of the page's JavaScript dialogs.
    static QString dialogCaption();

    // Ends the page's JavaScript dialog that is up, if any, as its OK button
    // would: the window is going anyway.
    void dismissDialogs();

protected:
    void javaScriptAlert(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptPrompt(const QUrl &securityOrigin, const QString &msg, const QString &defaultValue,
                          QString *result) override;
    // A file dropped on a page that does not take it is not opened.
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    // Nor in a window of its own.
    QWebEnginePage *createWindow(WebWindowType type) override;
    // Upload dialogs start in the last folder used, else Documents or home.
    QStringList chooseFiles(FileSelectionMode mode, const QStringList &oldFiles,
                            const QStringList &acceptedMimeTypes) override;

private:
    QWidget *dialogParent() const;
    int runBox(QMessageBox &box);

    QPointer<QMessageBox> m_openBox;
    // The address of the window asked for last, told just before createWindow.
    QUrl m_newWindowUrl;
};
