#include "auth/ProxyLoginDlg.h"

#include "auth/CredentialsForm.h"

#include <QLineEdit>

ProxyLoginDlg::ProxyLoginDlg(const QString &proxyHost, const QString &previousUser, QWidget *parent)
    : QDialog(parent), m_editUser(new QLineEdit(this)), m_editPassword(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("代理服务器身份验证"));
    m_editUser->setAccessibleDescription(QStringLiteral("代理服务器的用户名"));
    m_editPassword->setAccessibleDescription(QStringLiteral("代理服务器的密码"));
    credentialsform::build(this, QStringLiteral("代理服务器 %1 要求输入用户名和密码。").arg(proxyHost), m_editUser,
                           m_editPassword, previousUser);
}

ProxyLoginDlg::~ProxyLoginDlg()
{
    credentialsform::clear(m_editPassword);
}

QString ProxyLoginDlg::user() const
{
    return m_editUser->text();
}

QString ProxyLoginDlg::password() const
{
    return m_editPassword->text();
}
