#pragma once

#include <QObject>
#include <QString>

class QAuthenticator;
class QUrl;
class QWebEngineLoadingInfo;
class QWebEnginePage;
class QWidget;

// Answers a page's questions for a user name and password: the company
// proxy's (407) and a server's behind HTTP authentication (401). Each answer
// is kept in memory for the run, for that proxy or that host and realm, so
// that the user is asked once; refused answers are asked for again, with the
// user name filled in, until authprompt says to stop. Nothing is written to
// disk or traced, and what was kept is wiped when the program ends.
class PageAuthentication final : public QObject
{
    Q_OBJECT

public:
    // Answers `page`'s questions with dialogs owned by `parent`.
    static void attach(QWebEnginePage *page, QWidget *parent);

    // Whether a finished load is a server's refusal (401) that the user
    // cancelled or stopped answering: its own page stays, as the server sent
    // it, and it is no failure to recover from. A load of the host that ends
    // otherwise counts as the answer's success.
    static bool keepsServerPage(const QWebEngineLoadingInfo &info);

private:
    PageAuthentication(QWidget *parent);

    void onProxy(QAuthenticator *authenticator, const QString &proxyHost);
    void onServer(const QUrl &url, QAuthenticator *authenticator);

    QWidget *m_parent;
};
