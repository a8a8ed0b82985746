#include "browser/view/ProxyLoginDlg.h"

#include <QAuthenticator>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWebEnginePage>

namespace {

// The last user name given, offered again when the proxy asks once more.
QString &lastUser()
{
    static QString user;
    return user;
}

} // namespace

ProxyLoginDlg::ProxyLoginDlg(const QString &proxyHost, QWidget *parent)
    : QDialog(parent), m_editUser(new QLineEdit(this)), m_editPassword(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("代理服务器身份验证"));
    setMinimumWidth(380);
    m_editUser->setObjectName(QStringLiteral("user"));
    m_editPassword->setObjectName(QStringLiteral("password"));
    m_editPassword->setEchoMode(QLineEdit::Password);
    m_editUser->setText(lastUser());
    m_editUser->setAccessibleName(QStringLiteral("用户名"));
    m_editUser->setAccessibleDescription(QStringLiteral("代理服务器的用户名"));
    m_editPassword->setAccessibleName(QStringLiteral("密码"));
    m_editPassword->setAccessibleDescription(QStringLiteral("代理服务器的密码"));

    auto *prompt = new QLabel(this);
    prompt->setTextFormat(Qt::PlainText);
    prompt->setText(QStringLiteral("代理服务器 %1 要求输入用户名和密码。").arg(proxyHost));
    prompt->setWordWrap(true);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("用户名："), m_editUser);
    form->addRow(QStringLiteral("密码："), m_editPassword);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addLayout(form);
    layout->addWidget(buttons);

    if (!m_editUser->text().isEmpty())
        m_editPassword->setFocus();
}

QString ProxyLoginDlg::user() const
{
    return m_editUser->text();
}

QString ProxyLoginDlg::password() const
{
    return m_editPassword->text();
}

void ProxyLoginDlg::attach(QWebEnginePage *page, QWidget *parent)
{
    connect(page, &QWebEnginePage::proxyAuthenticationRequired, parent,
            [parent](const QUrl &, QAuthenticator *authenticator, const QString &proxyHost) {
                answer(authenticator, proxyHost, parent);
            });
}

void ProxyLoginDlg::answer(QAuthenticator *authenticator, const QString &proxyHost, QWidget *parent)
{
    // The engine waits for the answer inside this signal.
    ProxyLoginDlg dialog(proxyHost, parent);
    if (dialog.exec() != QDialog::Accepted) {
        // A null authenticator cancels the request: the page fails to load.
        *authenticator = QAuthenticator();
        return;
    }
    lastUser() = dialog.user();
    authenticator->setUser(dialog.user());
    authenticator->setPassword(dialog.password());
}
