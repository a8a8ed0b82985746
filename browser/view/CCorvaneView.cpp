#include "browser/view/CCorvaneView.h"

#include "base/KelumoConfig.h"
#include "base/Trace.h"
#include "browser/commands/PageCommands.h"
#include "browser/commands/ZoomMemory.h"
#include "browser/navigation/ErrorPagePolicy.h"
#include "browser/navigation/PageRecovery.h"
#include "browser/navigation/RecoveryPolicy.h"
#include "browser/navigation/StartAddress.h"
#include "browser/print/PagePrinter.h"
#include "browser/view/BrowserWindow.h"
#include "browser/view/CorvanePage.h"
#include "browser/view/PageAuthentication.h"
#include "browser/view/PageCloseGuard.h"
#include "browser/view/URLDlg.h"
#include "frame/FramePlacement.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>

namespace {

const QString productName = QString::fromUtf8(kelumo::productName);

// Far more than the shipped page needs, and well inside what setHtml() takes.
constexpr qint64 errorPageMaxBytes = 1024 * 1024;

} // namespace

CCorvaneView::CCorvaneView(QWebEngineProfile *profile, const QString &programFolder, const ClientSettings &settings,
                           QWidget *parent)
    : QWebEngineView(parent),
      m_programFolder(programFolder),
      m_settings(settings),
      m_szErrorPage(findErrorPage(QDir::currentPath(), programFolder)),
      m_exitHook([](int code) { QCoreApplication::exit(code); }),
      m_recovery(new PageRecovery(this)),
      m_page(new CorvanePage(profile, m_settings, this))
{
    setContentsMargins(0, 0, 0, 0);
    m_page->setActionFilter([this](QWebEnginePage::WebAction action) { return onPageAction(action); });
    setPage(m_page);
    m_commands = new PageCommands(this, ZoomMemory::attach(profile), [this] { return m_page->platformHosts(); });
    if (!m_settings.printingEnabled)
        m_commands->disablePrinting();
    // A dead renderer's page comes back once the print has let go of it.
    PagePrinter *printer = m_commands->printer();
    m_recovery->setReloadHold([printer] { return printer->holdsPage(); });
    connect(printer, &PagePrinter::released, m_recovery, &PageRecovery::reloadIfHeld);
    m_closeGuard = new PageCloseGuard(this, m_page);

    QWebEnginePage *p = page();
    connect(p, &QWebEnginePage::loadingChanged, this,
            [this](const QWebEngineLoadingInfo &info) { onLoadingChanged(info); });
    connect(p, &QWebEnginePage::urlChanged, this, [this] { updateNavigationState(); });
    connect(p, &QWebEnginePage::linkHovered, this, [this](const QString &url) { emit statusTextChanged(url); });
    connect(p, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int) { onRenderProcessTerminated(status); });
    PageAuthentication::attach(p, this);
}

void CCorvaneView::SetStartUrlBuffer(const char *buffer)
{
    m_startUrlBuffer = buffer;
    m_page->SetStartUrlBuffer(buffer);
}

void CCorvaneView::SetExitHook(std::function<void(int)> hook)
{
    m_exitHook = std::move(hook);
}

void CCorvaneView::OnInitialUpdate()
{
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        const QRect placed = framePlacement(area.size()).translated(area.topLeft());
        QWidget *frame = window();
        frame->move(placed.topLeft());
        frame->resize(placed.size());
    }
    load(QUrl(startAddressText(m_startUrlBuffer)));
}

void CCorvaneView::OnGoBack()
{
    back();
}

void CCorvaneView::OnGoForward()
{
    forward();
}

void CCorvaneView::OnGoRefresh()
{
    reload();
}

void CCorvaneView::OnGoStop()
{
    stop();
}

void CCorvaneView::OnOpenAddress()
{
    QPointer<URLDlg> dlg = new URLDlg(this);
    const int result = dlg->exec();
    if (!dlg)
        return;
    const QString address = dlg->m_strUrl;
    delete dlg;
    if (result == URLDlg::IDOK)
        load(QUrl(address));
}

void CCorvaneView::onLoadingChanged(const QWebEngineLoadingInfo &info)
{
    m_loading = info.status() == QWebEngineLoadingInfo::LoadStartedStatus;
    updateNavigationState();
    if (m_ending)
        return;
    const bool errorPageLoad = isErrorPageLoad(info.url());
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
        // The error page's own "重新加载" reloads it from its file (the
        // client's copy starts as data:): that means the failed address.
        if (!errorPageLoad)
            m_recovery->navigationStarted(info.url());
        else if (info.url().scheme() != QLatin1String("data") && !m_recovery->failedAddress().isEmpty())
            m_recovery->retryNow();
    } else if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus && !errorPageLoad) {
        m_recovery->loaded();
    }
    // A server's 401 that the user declined to answer shows as the server sent it.
    const bool serverPage = PageAuthentication::keepsServerPage(info);
    if (redirectsToErrorPage(info.status(), errorPageLoad) && !serverPage)
        OnNavigateError(info.url(), info.errorCode());
}

bool CCorvaneView::isErrorPageLoad(const QUrl &url) const
{
    // setHtml() starts as a data: address and ends at the page's base address.
    if (url.scheme() == QLatin1String("data"))
        return true;
    // Its fragment tells the page why; any fragment is still the error page.
    return !m_szErrorPage.isEmpty() && url.adjusted(QUrl::RemoveFragment) == QUrl::fromLocalFile(m_szErrorPage);
}

void CCorvaneView::OnNavigateError(const QUrl &url, int statusCode)
{
    // One page that offers the way back to the start address; the reason in
    // its address lets it say whether the page or the platform is missing.
    if (m_ending)
        return;
    if (traceEnabled())
        trace("navigation failed", (url.toString() + QLatin1Char(' ') + QString::number(statusCode)).toStdString());
    if (!showErrorPage(errorPageReason(statusCode), url.host())) {
        reportMissingErrorPage();
        return;
    }
    m_recovery->failed(url, statusCode);
}

bool CCorvaneView::showErrorPage(const QString &reason, const QString &failedHost)
{
    if (m_szErrorPage.isEmpty())
        return false;
    QFile file(m_szErrorPage);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QString content = QString::fromUtf8(file.read(errorPageMaxBytes));
    setHtml(fillErrorPage(content, startAddressText(m_startUrlBuffer), failedHost),
            errorPageAddress(m_szErrorPage, reason));
    trace("error page");
    return true;
}

void CCorvaneView::reportMissingErrorPage()
{
    m_ending = true;
    auto *box = new QMessageBox(QMessageBox::NoIcon, productName, QStringLiteral("缺少客户端文件，请重新下载客户端"),
                                QMessageBox::Ok, this);
    // Not exec(): this runs inside the engine's signal, and the program ends
    // as soon as the box is gone anyway.
    connect(box, &QMessageBox::finished, this, [this, box] {
        // Deleted here: a box ended by its buttons was seen to outlive
        // WA_DeleteOnClose.
        box->deleteLater();
        if (m_exitHook)
            m_exitHook(0);
    });
    box->open();
}

void CCorvaneView::onRenderProcessTerminated(QWebEnginePage::RenderProcessTerminationStatus status)
{
    if (m_ending)
        return;
    const QUrl lost = url();
    if (!m_recovery->rendererEnded(status != QWebEnginePage::NormalTerminationStatus))
        return;
    trace("renderer ended again");
    if (!showErrorPage(crashedPageReason())) {
        reportMissingErrorPage();
        return;
    }
    // What "重新加载" brings back; nothing tries it by itself.
    m_recovery->failed(isErrorPageLoad(lost) ? m_recovery->failedAddress() : lost, 0);
}

bool CCorvaneView::onPageAction(QWebEnginePage::WebAction action)
{
    switch (action) {
    case QWebEnginePage::Back:
    case QWebEnginePage::Forward: {
        const int target = historyTarget(action == QWebEnginePage::Back);
        if (target >= 0)
            history()->goToItem(history()->itemAt(target));
        return true;
    }
    case QWebEnginePage::Reload:
    case QWebEnginePage::ReloadAndBypassCache:
        if (!isErrorPageLoad(url()) || m_recovery->failedAddress().isEmpty())
            return false;
        m_recovery->retryNow();
        return true;
    default:
        return false;
    }
}

int CCorvaneView::historyTarget(bool back) const
{
    QWebEngineHistory *entries = history();
    QList<recovery::HistoryEntry> list;
    list.reserve(entries->count());
    for (int i = 0; i < entries->count(); ++i) {
        const QUrl address = entries->itemAt(i).url();
        list.append({address, isErrorPageLoad(address)});
    }
    const int current = entries->currentItemIndex();
    return back ? recovery::backTarget(list, current) : recovery::forwardTarget(list, current);
}

QWebEngineView *CCorvaneView::createWindow(QWebEnginePage::WebWindowType type)
{
    Q_UNUSED(type) // tabs, background tabs and dialogs all get a window
    auto *window = new BrowserWindow(BrowserWindow::ownerFor(this));
    auto *view = new CCorvaneView(page()->profile(), m_programFolder, m_settings, window);
    view->SetStartUrlBuffer(m_startUrlBuffer);
    view->SetExitHook(m_exitHook);
    view->closeGuard()->setClosesWhenPageAsks(true);
    window->setView(view);
    window->show();
    return view;
}

void CCorvaneView::updateNavigationState()
{
    const bool canGoBack = historyTarget(true) >= 0;
    const bool canGoForward = historyTarget(false) >= 0;
    if (canGoBack == m_canGoBack && canGoForward == m_canGoForward && m_loading == m_loadingReported)
        return;
    m_canGoBack = canGoBack;
    m_canGoForward = canGoForward;
    m_loadingReported = m_loading;
    emit navigationStateChanged(canGoBack, canGoForward, m_loading);
}
