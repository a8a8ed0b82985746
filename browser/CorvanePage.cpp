#include "browser/CorvanePage.h"

#include "base/KelumoConfig.h"

#include "browser/DropPolicy.h"
#include "browser/FileDialogFolders.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMimeDatabase>
#include <QTimer>
#include <QMessageBox>
#include <QPointer>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineView>

#include <algorithm>
#include <utility>

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

// "*.csv *.xlsx" for the page's accept list (".csv", "text/csv", "image/*").
QString nameFilterFor(const QStringList &accepted)
{
    QStringList patterns;
    const QMimeDatabase mimes;
    for (const QString &entry : accepted) {
        if (entry.startsWith(QLatin1Char('.')))
            patterns << QLatin1Char('*') + entry;
        else if (const QMimeType type = mimes.mimeTypeForName(entry); type.isValid())
            patterns << type.globPatterns();
    }
    patterns.removeDuplicates();
    return patterns.isEmpty() ? QString() : QStringLiteral("(%1)").arg(patterns.join(QLatin1Char(' ')));
}

} // namespace

CorvanePage::CorvanePage(QWebEngineProfile *profile, QObject *parent) : QWebEnginePage(profile, parent)
{
    connect(this, &QWebEnginePage::newWindowRequested, this,
            [this](QWebEngineNewWindowRequest &request) { m_newWindowUrl = request.requestedUrl(); });
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

QStringList CorvanePage::chooseFiles(FileSelectionMode mode, const QStringList &oldFiles,
                                     const QStringList &acceptedMimeTypes)
{
    Q_UNUSED(oldFiles)
    QWidget *parent = dialogParent();
    const QString filter = nameFilterFor(acceptedMimeTypes);
    QStringList chosen;
    switch (mode) {
    case FileSelectOpen:
        chosen << QFileDialog::getOpenFileName(parent, QString(), uploadDialogFolder(), filter);
        break;
    case FileSelectOpenMultiple:
        chosen = QFileDialog::getOpenFileNames(parent, QString(), uploadDialogFolder(), filter);
        break;
    case FileSelectUploadFolder:
        chosen << QFileDialog::getExistingDirectory(parent, QString(), uploadDialogFolder());
        break;
    case FileSelectSave:
        chosen << QFileDialog::getSaveFileName(parent, QString(), saveDialogFolder(), filter);
        break;
    }
    chosen.removeAll(QString());
    if (!chosen.isEmpty())
        rememberDialogFolder(mode == FileSelectUploadFolder ? chosen.constFirst() + QStringLiteral("/.") : chosen.constFirst());
    return chosen;
}

bool CorvanePage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    if (!pageMayOpen(url, type)) {
        // The engine opens a dropped file in a window made for it, before it
        // tries the address: a window that has shown nothing goes again.
        if (const QUrl shown = QWebEnginePage::url();
            isMainFrame && (shown.isEmpty() || shown == QUrl(QStringLiteral("about:blank"))))
            QTimer::singleShot(0, this, [this] { triggerAction(RequestClose); });
        return false;
    }
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

QWebEnginePage *CorvanePage::createWindow(WebWindowType type)
{
    const QUrl url = std::exchange(m_newWindowUrl, QUrl());
    if (!pageMayOpen(url, NavigationTypeLinkClicked))
        return nullptr;
    return QWebEnginePage::createWindow(type);
}
