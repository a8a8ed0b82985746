// What a screen reader says of the login dialog, and the order Tab visits its
// controls in. The captions of the fields are part of the picture, so the
// controls carry them here; nothing a sighted user sees changes.

#include "signin/BitmapButton.h"
#include "signin/CLogin.h"
#include "signin/MyOPCStatic.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

namespace {

void describe(QWidget *widget, const char *name, const char *description)
{
    widget->setAccessibleName(QString::fromUtf8(name));
    widget->setAccessibleDescription(QString::fromUtf8(description));
}

} // namespace

void CLogin::setAccessibleTexts()
{
    setAccessibleDescription(QStringLiteral("登录窗口"));
    describe(m_editAccount, "账号", "输入登录账号");
    describe(m_editPassword, "密码", "输入登录密码");
    describe(m_checkRemember, "记住密码", "下次启动时填入账号和密码");
    describe(m_btnLogin, "登录", "用账号和密码登录");
    describe(m_btnQuit, "退出", "关闭登录窗口，退出程序");
    describe(m_btnForgot, "忘记密码", "在浏览器中打开找回密码的网页");
    describe(m_btnCannotLogin, "无法登陆", "在浏览器中打开无法登录时的帮助网页");
    describe(m_btnContact, "联系客服", "在浏览器中打开联系客服的网页");
    // The prompt's name is the text it shows, so that its changes are read out.
    m_tip->setAccessibleDescription(QStringLiteral("提示"));
}

void CLogin::setKeyboardOrder()
{
    // Fields first, as they are filled in; then the box that goes with them,
    // the login, the help pages and last the quit button. The dialog itself
    // comes before the account field, so a first Tab from a dialog that has
    // no focused control lands there.
    QWidget::setTabOrder(m_editAccount, m_editPassword);
    QWidget::setTabOrder(m_editPassword, m_checkRemember);
    QWidget::setTabOrder(m_checkRemember, m_btnLogin);
    QWidget::setTabOrder(m_btnLogin, m_btnForgot);
    QWidget::setTabOrder(m_btnForgot, m_btnCannotLogin);
    QWidget::setTabOrder(m_btnCannotLogin, m_btnContact);
    QWidget::setTabOrder(m_btnContact, m_btnQuit);
}
