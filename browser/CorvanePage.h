#pragma once

#include <QWebEnginePage>

#include <functional>

// The view's page. JavaScript's alert, confirm and prompt speak as the
// client ("Kelumo大数据"), not as the page's address.
class CorvanePage final : public QWebEnginePage
{
    Q_OBJECT

public:
    explicit CorvanePage(QWebEngineProfile *profile, QObject *parent = nullptr);

    // The caption of the page's JavaScript dialogs.
    static QString dialogCaption();

    // Sees every page action first (keys, menus, the view's commands); an
    // action it returns true for has been dealt with.
    void setActionFilter(std::function<bool(WebAction)> filter) { m_actionFilter = std::move(filter); }
    void triggerAction(WebAction action, bool checked = false) override;

protected:
    void javaScriptAlert(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptPrompt(const QUrl &securityOrigin, const QString &msg, const QString &defaultValue,
                          QString *result) override;

private:
    QWidget *dialogParent() const;

    std::function<bool(WebAction)> m_actionFilter;
};
