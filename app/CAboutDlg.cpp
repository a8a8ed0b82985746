#include "app/CAboutDlg.h"

#include "base/KelumoConfig.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

// Room below the box's own line for the policies in force.
constexpr int policiesHeight = 160;

} // namespace

CAboutDlg::CAboutDlg(QWidget *parent, const QString &policies) : QDialog(parent)
{
    setWindowTitle(QString::fromUtf8(kelumo::productName));
    setFixedSize(352, 89);
    if (!policies.isEmpty()) {
        setFixedSize(480, 89 + policiesHeight);
        auto *managed = new QLabel(QStringLiteral("由贵单位管理"), this);
        managed->setObjectName(QStringLiteral("managed"));
        managed->setGeometry(60, 40, 190, 20);
        auto *list = new QPlainTextEdit(policies, this);
        list->setObjectName(QStringLiteral("policies"));
        list->setReadOnly(true);
        list->setAccessibleName(QStringLiteral("生效的策略"));
        list->setLineWrapMode(QPlainTextEdit::NoWrap);
        list->setGeometry(16, 76, 480 - 32, policiesHeight);
    }

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
    ok->setGeometry(width() - 85, 11, 75, 26);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { done(1); });
}
