#include "signin/LoginTemplate.h"

#include "signin/BitmapButton.h"
#include "signin/MyOPCStatic.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRect>

namespace {

constexpr QRect loginRect(517, 200, 78, 26);
constexpr QRect accountRect(57, 201, 135, 24);
constexpr QRect passwordRect(252, 201, 133, 24);
constexpr QRect tipRect(27, 250, 342, 21);
constexpr QRect quitRect(579, 10, 15, 16);
constexpr QRect forgotRect(375, 244, 66, 23);
constexpr QRect cannotLoginRect(450, 244, 64, 23);
constexpr QRect contactRect(522, 244, 64, 23);
constexpr QRect rememberRect(480, 206, 12, 13);
constexpr QRect companyRect(152, 42, 94, 20);

constexpr const char *initialPrompt = "请输入账号";

QPushButton *helpButton(QWidget *dialog, const char *name, const char *text, const QRect &rect)
{
    auto *button = new QPushButton(QString::fromUtf8(text), dialog);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(rect);
    // Enter on a focused help button opens its page, as Enter does on any
    // focused push button.
    button->setAutoDefault(true);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

LoginControls buildLoginControls(QWidget *dialog)
{
    LoginControls c;
    c.login = new BitmapButton(dialog);
    c.login->setObjectName(QStringLiteral("login"));
    c.login->setText(QStringLiteral("登 录"));
    c.login->setGeometry(loginRect);

    c.account = new QLineEdit(dialog);
    c.account->setObjectName(QStringLiteral("account"));
    c.account->setGeometry(accountRect);

    c.password = new QLineEdit(dialog);
    c.password->setObjectName(QStringLiteral("password"));
    c.password->setEchoMode(QLineEdit::Password);
    c.password->setGeometry(passwordRect);

    c.tip = new MyOPCStatic(dialog);
    c.tip->setObjectName(QStringLiteral("tip"));
    c.tip->setGeometry(tipRect);
    c.tip->setText(QString::fromUtf8(initialPrompt));

    c.quit = new BitmapButton(dialog);
    c.quit->setObjectName(QStringLiteral("quit"));
    c.quit->setText(QStringLiteral("ButtonQuit"));
    c.quit->setToolTip(QStringLiteral("退出"));
    c.quit->setGeometry(quitRect);

    c.forgot = helpButton(dialog, "forgotPassword", "忘记密码", forgotRect);
    c.cannotLogin = helpButton(dialog, "cannotLogin", "无法登陆", cannotLoginRect);
    c.contact = helpButton(dialog, "contactService", "联系客服", contactRect);

    c.remember = new QCheckBox(dialog);
    c.remember->setObjectName(QStringLiteral("remember"));
    c.remember->setToolTip(QStringLiteral("记住账号和密码"));
    c.remember->setGeometry(rememberRect);

    // Never shown nor enabled: what it holds (nothing) is sent as the company.
    c.company = new QLineEdit(dialog);
    c.company->setObjectName(QStringLiteral("company"));
    c.company->setGeometry(companyRect);
    c.company->setEnabled(false);
    c.company->hide();
    return c;
}
