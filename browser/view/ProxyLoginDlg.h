#pragma once

#include <QDialog>

class QAuthenticator;
class QLineEdit;
class QWebEnginePage;

// Asks for the proxy's user name and password when the company proxy refuses
// a page (407). The answer is handed to the engine, which keeps it in memory
// for the rest of the run; nothing is written to disk.
class ProxyLoginDlg final : public QDialog
{
    Q_OBJECT

public:
    explicit ProxyLoginDlg(const QString &proxyHost, QWidget *parent = nullptr);

    QString user() const;
    QString password() const;

    // Answers `page`'s proxy-authentication requests with this dialog, owned
    // by `parent`.
    static void attach(QWebEnginePage *page, QWidget *parent);

private:
    static void answer(QAuthenticator *authenticator, const QString &proxyHost, QWidget *parent);

    QLineEdit *m_editUser;
    QLineEdit *m_editPassword;
};
