#pragma once

#include <QDialog>

class QLineEdit;

// Asks for a user name and password when a page of the platform is behind
// HTTP authentication (401), naming the host and the realm the server gave.
// The answer is kept in memory for the run; nothing is written to disk.
class PageLoginDlg final : public QDialog
{
    Q_OBJECT

public:
    // `previousUser`: the user name the server refused, filled in again.
    PageLoginDlg(const QString &host, const QString &realm, const QString &previousUser = {},
                 QWidget *parent = nullptr);
    ~PageLoginDlg() override;

    QString user() const;
    QString password() const;

private:
    QLineEdit *m_editUser;
    QLineEdit *m_editPassword;
};
