#include "auth/PageLoginDlg.h"

#include "auth/CredentialsForm.h"

#include <QLineEdit>

PageLoginDlg::PageLoginDlg(const QString &host, const QString &realm, const QString &previousUser, QWidget *parent)
    : QDialog(parent), m_editUser(new QLineEdit(this)), m_editPassword(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("网站身份验证"));
    m_editUser->setAccessibleDescription(QStringLiteral("%1 的用户名").arg(host));
    m_editPassword->setAccessibleDescription(QStringLiteral("%1 的密码").arg(host));
    const QString prompt = realm.isEmpty()
                               ? QStringLiteral("服务器 %1 要求输入用户名和密码。").arg(host)
                               : QStringLiteral("服务器 %1 要求输入用户名和密码，该网站称：“%2”。").arg(host, realm);
    credentialsform::build(this, prompt, m_editUser, m_editPassword, previousUser);
}

PageLoginDlg::~PageLoginDlg()
{
    credentialsform::clear(m_editPassword);
}

QString PageLoginDlg::user() const
{
    return m_editUser->text();
}

QString PageLoginDlg::password() const
{
    return m_editPassword->text();
}
