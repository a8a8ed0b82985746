#include "browser/CCorvaneView.h"

#include "base/KelumoConfig.h"

#include "browser/BrowserWindow.h"
#include "browser/CorvanePage.h"
#include "browser/DownloadManager.h"
#include "browser/ErrorPagePolicy.h"
#include "browser/FramePlacement.h"
#include "browser/PageCloseGuard.h"
#include "browser/PageCommands.h"
#include "browser/ProxyLoginDlg.h"
#include "browser/StartAddress.h"
#include "base/Trace.h"
#include "browser/URLDlg.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>

namespace {

const QString productName = QString::fromUtf8(kelumo::productName);

// Far more than the shipped page needs, and well inside what setHtml() takes.
constexpr qint64 errorPageMaxBytes = 1024 * 1024;

} // namespace

CCorvaneView::CCorvaneView(QWebEngineProfile *profile, const QString &programFolder, QWidget *parent)
    : QWebEngineView(parent),
      m_programFolder(programFolder),
      m_szErrorPage(findErrorPage(QDir::currentPath(), programFolder)),
      m_exitHook([](int code) { QCoreApplication::exit(code); })
{
    setContentsMargins(0, 0, 0, 0);
    setPage(new CorvanePage(profile, this));
    DownloadManager::attach(profile);
    PageCommands::attach(this);
    PageCloseGuard::attach(this);

    QWebEnginePage *p = page();
    connect(p, &QWebEnginePage::loadingChanged, this,
            [this](const QWebEngineLoadingInfo &info) { onLoadingChanged(info); });
    connect(p, &QWebEnginePage::urlChanged, this, [this] { updateNavigationState(); });
    connect(p, &QWebEnginePage::linkHovered, this, [this](const QString &url) { emit statusTextChanged(url); });
    connect(p, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int) { onRenderProcessTerminated(status); });
    ProxyLoginDlg::attach(p, this);
}

void CCorvaneView::SetStartUrlBuffer(const char *buffer)
{
    m_startUrlBuffer = buffer;
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
    if (redirectsToErrorPage(info.status(), isErrorPageLoad(info.url())))
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
    if (!showErrorPage(statusCode))
        reportMissingErrorPage();
}

bool CCorvaneView::showErrorPage(int statusCode)
{
    if (m_szErrorPage.isEmpty())
        return false;
    QFile file(m_szErrorPage);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QString content = QString::fromUtf8(file.read(errorPageMaxBytes));
    setHtml(fillErrorPage(content, startAddressText(m_startUrlBuffer)), errorPageAddress(m_szErrorPage, statusCode));
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
    if (status == QWebEnginePage::NormalTerminationStatus || m_ending || m_reloadQuestion)
        return;
    auto *box = new QMessageBox(QMessageBox::Question, productName, QStringLiteral("页面已停止响应，是否重新加载？"),
                                QMessageBox::Yes | QMessageBox::No, this);
    connect(box, &QMessageBox::finished, this, [this, box](int button) {
        box->deleteLater();
        if (button == QMessageBox::Yes)
            reload();
    });
    m_reloadQuestion = box;
    box->open();
}

QWebEngineView *CCorvaneView::createWindow(QWebEnginePage::WebWindowType type)
{
    Q_UNUSED(type) // tabs, background tabs and dialogs all get a window
    auto *window = new BrowserWindow(page()->profile(), m_programFolder, BrowserWindow::ownerFor(this));
    CCorvaneView *view = window->view();
    view->SetStartUrlBuffer(m_startUrlBuffer);
    view->SetExitHook(m_exitHook);
    window->show();
    return view;
}

void CCorvaneView::updateNavigationState()
{
    const bool canGoBack = history()->canGoBack();
    const bool canGoForward = history()->canGoForward();
    if (canGoBack == m_canGoBack && canGoForward == m_canGoForward && m_loading == m_loadingReported)
        return;
    m_canGoBack = canGoBack;
    m_canGoForward = canGoForward;
    m_loadingReported = m_loading;
    emit navigationStateChanged(canGoBack, canGoForward, m_loading);
}
