#include "browser/CorvanePage.h"

#include "base/KelumoConfig.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QWebEngineView>

#include <algorithm>

namespace {

// A box sized to a short message would cut its caption off, and one sized
// by the style alone cut the engine's prompt before leaving a page: wide
// enough for the text in a line or two.
void widenForCaption(QMessageBox &box)
{
    box.setTextFormat(Qt::PlainText);
    const int textWidth = box.fontMetrics().horizontalAdvance(box.text()) + 16;
    const int width = std::clamp(textWidth, 200, 440);
    box.setStyleSheet(QStringLiteral("QLabel#qt_msgbox_label { min-width: %1px; }").arg(width));
}

} // namespace

CorvanePage::CorvanePage(QWebEngineProfile *profile, QObject *parent) : QWebEnginePage(profile, parent)
{
}

QString CorvanePage::dialogCaption()
{
    return QString::fromUtf8(kelumo::productName);
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
    runBox(box);
}

bool CorvanePage::javaScriptConfirm(const QUrl &, const QString &msg)
{
    QMessageBox box(QMessageBox::Question, dialogCaption(), msg, QMessageBox::Ok | QMessageBox::Cancel,
                    dialogParent());
    widenForCaption(box);
    // The engine's prompt before leaving a page comes this way too.
    return runBox(box) == QMessageBox::Ok;
}

int CorvanePage::runBox(QMessageBox &box)
{
    m_openBox = &box;
    return box.exec();
}

void CorvanePage::dismissDialogs()
{
    if (m_openBox)
        m_openBox->done(QMessageBox::Ok);
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
