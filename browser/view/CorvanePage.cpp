#include "browser/view/CorvanePage.h"

#include "base/ClientSettings.h"
#include "base/KelumoConfig.h"
#include "base/Trace.h"
#include "browser/downloads/FileDialogFolders.h"
#include "browser/navigation/DropPolicy.h"
#include "browser/navigation/StartAddress.h"
#include "browser/permissions/PagePermissions.h"
#include "browser/view/FileChooser.h"
#include "browser/view/PageCertificates.h"

#include <QDesktopServices>

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

NavigationStart startOf(QWebEnginePage::NavigationType type)
{
    switch (type) {
    case QWebEnginePage::NavigationTypeLinkClicked: return NavigationStart::LinkClicked;
    case QWebEnginePage::NavigationTypeTyped: return NavigationStart::Typed;
    case QWebEnginePage::NavigationTypeFormSubmitted: return NavigationStart::FormSubmitted;
    case QWebEnginePage::NavigationTypeBackForward: return NavigationStart::BackForward;
    case QWebEnginePage::NavigationTypeReload: return NavigationStart::Reload;
    case QWebEnginePage::NavigationTypeRedirect: return NavigationStart::Redirect;
    case QWebEnginePage::NavigationTypeOther: break;
    }
    return NavigationStart::Other;
}

QWebEnginePage::WebWindowType windowTypeOf(QWebEngineNewWindowRequest::DestinationType destination)
{
    switch (destination) {
    case QWebEngineNewWindowRequest::InNewTab: return QWebEnginePage::WebBrowserTab;
    case QWebEngineNewWindowRequest::InNewBackgroundTab: return QWebEnginePage::WebBrowserBackgroundTab;
    case QWebEngineNewWindowRequest::InNewDialog: return QWebEnginePage::WebDialog;
    case QWebEngineNewWindowRequest::InNewWindow: break;
    }
    return QWebEnginePage::WebBrowserWindow;
}

} // namespace

CorvanePage::CorvanePage(QWebEngineProfile *profile, const ClientSettings &settings, QObject *parent)
    : QWebEnginePage(profile, parent)
{
    m_downloadFolder = QString::fromStdString(settings.downloadFolder);
    m_site = QString::fromStdString(settings.site);
    m_loginEndpoint = QString::fromStdString(settings.loginEndpoint);
    for (const std::string &host : settings.platformHosts)
        m_extraHosts << QString::fromStdString(host);
    connect(this, &QWebEnginePage::newWindowRequested, this,
            [this](QWebEngineNewWindowRequest &request) { onNewWindowRequested(request); });
    pagetrust::Roots roots;
    for (const std::string &file : settings.trustedRootCertificates)
        roots.files << QString::fromStdString(file);
    PageCertificates::attach(this, roots);
    PagePermissions::attach(this, {settings.notificationsAllowed, settings.mediaCaptureAllowed},
                            [this] { return platformHosts(); });
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
    return follow(url, startOf(type), isMainFrame);
}

QWebEnginePage *CorvanePage::createWindow(WebWindowType)
{
    // Decided in onNewWindowRequested(), which knows the address.
    return nullptr;
}

void CorvanePage::onNewWindowRequested(QWebEngineNewWindowRequest &request)
{
    const QUrl url = request.requestedUrl();
    if (!pageMayOpen(url, NavigationTypeLinkClicked) || !follow(url, NavigationStart::NewWindow, true))
        return;
    if (QWebEnginePage *page = QWebEnginePage::createWindow(windowTypeOf(request.destination())))
        request.openIn(page);
}

PlatformHosts CorvanePage::platformHosts() const
{
    return PlatformHosts::of(startAddressText(m_startUrlBuffer), m_site, m_loginEndpoint, m_extraHosts);
}

bool CorvanePage::follow(const QUrl &url, NavigationStart start, bool mainFrame)
{
    switch (navigationDecision(url, start, mainFrame, platformHosts())) {
    case NavigationDecision::Stay:
        return true;
    case NavigationDecision::OpenOutside:
        trace("opened outside", url.toString().toStdString());
        QDesktopServices::openUrl(url);
        return false;
    case NavigationDecision::Ignore:
        trace("navigation ignored", url.toString().toStdString());
        return false;
    }
    return false;
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
    FileChoice choice;
    choice.parent = dialogParent();
    choice.mode = mode;
    choice.folder = mode == FileSelectSave ? saveDialogFolder(m_downloadFolder) : uploadDialogFolder();
    if (mode != FileSelectUploadFolder)
        choice.filter = nameFilterFor(acceptedMimeTypes);
    QStringList chosen = m_fileChooser(choice);
    chosen.removeAll(QString());
    if (!chosen.isEmpty())
        rememberDialogFolder(mode == FileSelectUploadFolder ? chosen.constFirst() + QStringLiteral("/.") : chosen.constFirst());
    return chosen;
}
