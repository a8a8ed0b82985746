#include "browser/CorvanePage.h"

#include "base/KelumoConfig.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QWebEngineView>

namespace {

// A box sized to a short message would cut its caption off.
void widenForCaption(QMessageBox &box)
{
    box.setTextFormat(Qt::PlainText);
    box.setStyleSheet(QStringLiteral("QLabel#qt_msgbox_label { min-width: 200px; }"));
}

} // namespace

CorvanePage::CorvanePage(QWebEngineProfile *profile, QObject *parent) : QWebEnginePage(profile, parent)
{
}

QString CorvanePage::dialogCaption()
{
    return QString::fromUtf8(kelumo::productName);
}

void CorvanePage::triggerAction(WebAction action, bool checked)
{
    if (m_actionFilter && m_actionFilter(action))
        return;
    QWebEnginePage::triggerAction(action, checked);
}

QWidget *CorvanePage::dialogParent() const
{
    QWidget *view = QWebEngineView::forPage(this);
    return view ? view->window() : nullptr;
}

void CorvanePage::javaScriptAlert(const QUrl &, const QString &msg)
{
    QMessageBox box(QMessageBox::Information, dialogCaption(), msg, QMessageBox::Ok, dialogParent());
    widenForCaption(box);
    box.exec();
}

bool CorvanePage::javaScriptConfirm(const QUrl &, const QString &msg)
{
    QMessageBox box(QMessageBox::Question, dialogCaption(), msg, QMessageBox::Ok | QMessageBox::Cancel,
                    dialogParent());
    widenForCaption(box);
    return box.exec() == QMessageBox::Ok;
}

bool CorvanePage::javaScriptPrompt(const QUrl &, const QString &msg, const QString &defaultValue, QString *result)
{
    // The page may go while the dialog is up (its window closed under it).
    QPointer<CorvanePage> self(this);
    bool accepted = false;
    const QString text =
        QInputDialog::getText(dialogParent(), dialogCaption(), msg, QLineEdit::Normal, defaultValue, &accepted);
    if (!self || !accepted)
        return false;
    if (result)
        *result = text;
    return true;
}
