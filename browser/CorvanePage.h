#pragma once

#include <QPointer>
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
    // Upload dialogs start in the last folder used, else Documents or home.
    QStringList chooseFiles(FileSelectionMode mode, const QStringList &oldFiles,
                            const QStringList &acceptedMimeTypes) override;

private:
    QWidget *dialogParent() const;
    int runBox(QMessageBox &box);

    QPointer<QMessageBox> m_openBox;
};
