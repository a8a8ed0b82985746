#pragma once

#include <QDialog>

class QLineEdit;

// Asks for the proxy's user name and password when the company proxy refuses
// the login call or a page (407). The answer is kept in memory for the rest
// of the run; nothing is written to disk.
class ProxyLoginDlg final : public QDialog
{
    Q_OBJECT

public:
    // `previousUser`: the user name the proxy refused, filled in again.
    explicit ProxyLoginDlg(const QString &proxyHost, const QString &previousUser = {}, QWidget *parent = nullptr);
    ~ProxyLoginDlg() override;

    QString user() const;
    QString password() const;

private:
    QLineEdit *m_editUser;
    QLineEdit *m_editPassword;
};
