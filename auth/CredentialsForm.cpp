#include "auth/CredentialsForm.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace credentialsform {

void build(QDialog *dialog, const QString &prompt, QLineEdit *user, QLineEdit *password, const QString &previousUser)
{
    dialog->setMinimumWidth(380);
    user->setObjectName(QStringLiteral("user"));
    password->setObjectName(QStringLiteral("password"));
    password->setEchoMode(QLineEdit::Password);
    user->setText(previousUser);
    user->setAccessibleName(QStringLiteral("用户名"));
    password->setAccessibleName(QStringLiteral("密码"));

    auto *label = new QLabel(dialog);
    label->setTextFormat(Qt::PlainText);
    label->setText(prompt);
    label->setWordWrap(true);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("用户名："), user);
    form->addRow(QStringLiteral("密码："), password);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);

    auto *layout = new QVBoxLayout(dialog);
    layout->addWidget(label);
    layout->addLayout(form);
    layout->addWidget(buttons);

    if (!user->text().isEmpty())
        password->setFocus();
}

void clear(QLineEdit *password)
{
    password->clear();
}

} // namespace credentialsform
