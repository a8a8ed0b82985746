#include "app/CAboutDlg.h"

#include "base/KelumoConfig.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QString::fromUtf8(kelumo::productName));
    setFixedSize(352, 89);

    auto *icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    icon->setGeometry(16, 20, 32, 32);
    icon->setPixmap(QApplication::windowIcon().pixmap(32, 32));

    auto *text = new QLabel(QString::fromUtf8(kelumo::productName) + QLatin1Char(' ') + QLatin1String(kelumo::programVersion), this);
    text->setObjectName(QStringLiteral("text"));
    text->setTextFormat(Qt::PlainText);
    text->setGeometry(60, 16, 190, 20);

    auto *ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setGeometry(267, 11, 75, 26);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { done(1); });
}
