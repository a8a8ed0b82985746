#include "base/ClientSettings.h"
#include "browser/view/BrowserProfile.h"
#include "tests/support/EventLoopWait.h"
#include "browser/view/BrowserWindow.h"
#include "browser/view/CCorvaneView.h"
#include "browser/downloads/DownloadManager.h"
#include "browser/commands/FindBar.h"
#include "browser/commands/PageCommands.h"
#include "browser/print/PagePrinter.h"
#include "browser/print/PdfDocument.h"
#include "browser/print/ShownPdf.h"
#include "browser/navigation/PageRecovery.h"
#include "auth/ProxyLoginDlg.h"
#include "browser/navigation/StartAddress.h"
#include "tests/support/TestProxy.h"
#include "tests/browser/TinyHttpServer.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMainWindow>
#include <QMenu>
#include <QNetworkProxy>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QMessageBox>
#include <QPointer>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWheelEvent>

#include <poppler-qt6.h>

#include <csignal>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>

namespace {

// The offscreen screen the tests run on: a laptop's work area, not at the origin.
const QRect testScreen(200, 50, 1366, 705);

struct LoadEvent
{
    QWebEngineLoadingInfo::LoadStatus status;
    QUrl url;
};


// A click on a page that fills the view with a pop-up link opens one window.
// The first click can land before the page takes clicks: tried again then.
bool clickOpensPopup(QWebEngineView *view, QWidget *frame)
{
    const auto opened = [frame] { return !frame->findChildren<BrowserWindow *>().isEmpty(); };
    for (int attempt = 0; attempt < 5 && !opened(); ++attempt) {
        QTest::mouseClick(view->focusProxy(), Qt::LeftButton, {}, QPoint(20, 20));
        waitUntil(opened, 2000);
    }
    return frame->findChildren<BrowserWindow *>().size() == 1;
}

QVariant evaluate(QWebEnginePage *page, const QString &script)
{
    auto result = std::make_shared<std::optional<QVariant>>();
    page->runJavaScript(script, [result](const QVariant &value) { *result = value; });
    waitUntil([&] { return result->has_value(); }, 5000);
    return result->value_or(QVariant());
}

// A port on which nothing listens, as far as anyone can know.
quint16 freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost))
        return 0;
    return probe.serverPort();
}

QMessageBox *messageBoxOf(QWidget *owner)
{
    const auto boxes = owner->findChildren<QMessageBox *>();
    return boxes.isEmpty() ? nullptr : boxes.constFirst();
}

} // namespace

class TestCorvaneView final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void initialUpdatePlacesFrameAndOpensStartAddress();
    void notFoundShowsErrorPage();
    void errorPageStandsInForTheFailedPage();
    void platformComesBackByItself();
    void noRetryAfterGoingElsewhere();
    void noContentIsNotAnError();
    void popupOpensInItsOwnWindow();
    void downloadIsSavedToTheFolder();
    void deadRendererReloadsThenShowsErrorPage();
    void missingErrorPageEndsTheProgram();
    void pagesAreAskedForInChinese();
    void javaScriptDialogsSpeakAsTheClient();
    void findBarFindsAsYouType();
    void zoomIsRememberedPerHost();
    void printPreviewFillsIn_data();
    void printPreviewFillsIn();
    void proxyAsksOnceForCredentials();
    void printingOffOnlySaysSo();
    void shownPdfPrintsEveryPage_data();
    void shownPdfPrintsEveryPage();

private:
    void setStartAddress(const QUrl &url);
    // Loads `url` and waits for its load to end with `status`.
    void loadAndWait(const QUrl &url, QWebEngineLoadingInfo::LoadStatus status);
    bool waitForLoad(qsizetype since, QWebEngineLoadingInfo::LoadStatus status, const QUrl &url) const;
    bool waitForErrorPage(qsizetype since) const;
    // Opens /ok, then an address on a port nothing listens on, and waits for
    // the error page; returns that address.
    QUrl failUnreachable();
    QString errorPageText(const char *id) const;
    bool sawLoad(qsizetype since, QWebEngineLoadingInfo::LoadStatus status, const QUrl &url) const;

    TinyHttpServer m_server;
    // Demands credentials; takes every host to the server above.
    std::unique_ptr<TestProxy> m_proxy;
    QTemporaryDir m_currentDir;
    QTemporaryDir m_programDir;
    QTemporaryDir m_downloadDir;
    QWebEngineProfile *m_profile = nullptr;
    DownloadManager *m_downloads = nullptr;
    QMainWindow *m_frame = nullptr;
    CCorvaneView *m_view = nullptr;
    char m_startUrl[startAddressBufferSize] = {};
    QList<LoadEvent> m_loads;
    QList<bool> m_lastState; // canGoBack, canGoForward, loading
    QByteArray m_downloadBytes;
};

void TestCorvaneView::initTestCase()
{
    QCOMPARE(QGuiApplication::primaryScreen()->availableGeometry(), testScreen);

    // An empty current directory, so the page beside the "program" is found.
    QVERIFY(QDir::setCurrent(m_currentDir.path()));
    QVERIFY(QFile::copy(QStringLiteral(KELUMO_ERROR_PAGE_SOURCE), m_programDir.filePath("error")));

    m_downloadBytes.resize(300 * 1024);
    for (qsizetype i = 0; i < m_downloadBytes.size(); ++i)
        m_downloadBytes[i] = static_cast<char>((i * 7919) >> 3);
    m_server.setAnswer("/ok", 200, "<title>ok</title><p>ok</p>");
    m_server.setAnswer("/second", 200, "<title>second</title>");
    m_server.setAnswer("/popup", 200, "<title>popup</title>");
    m_server.setAnswer("/opener", 200,
                       "<title>opener</title><a href='/popup' target=_blank style='position:fixed;inset:0'>open</a>");
    m_server.setAnswer("/nocontent", 204, {}, {});
    m_server.setAnswer("/report", 200, m_downloadBytes,
                       "Content-Type: application/octet-stream\r\n"
                       "Content-Disposition: attachment; filename=\"report.bin\"\r\n");
    QVERIFY(m_server.start());
    m_proxy = std::make_unique<TestProxy>(m_server.url("/").port());
    m_proxy->requireCredentials("u", "pw");
    // The engine bypasses it for the server's own loopback address; pages
    // under other names go through it.
    QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", m_proxy->port()));

    QByteArray rows = "<title>rows</title><table>";
    for (int i = 0; i < 300; ++i)
        rows += "<tr><td>" + QByteArray::number(i) + "</td><td>行</td></tr>";
    m_server.setAnswer("/rows", 200, rows + "</table>");
    // Long enough that its PDF takes a while; its print layout fetches a
    // picture, which says that the renderer has taken the print job.
    QByteArray longRows = "<title>long rows</title><style>@media print { body::after { content: url(/print-layout); } }"
                          "</style><table>";
    for (int i = 0; i < 6000; ++i)
        longRows += "<tr><td>" + QByteArray::number(i) + "</td><td>行</td></tr>";
    m_server.setAnswer("/longrows", 200, longRows + "</table>");
    m_server.setAnswer("/fruit", 200, "<title>fruit</title><p>apple pear apple plum apple</p>");
    m_profile = new QWebEngineProfile(this); // off the record
    configureBrowserProfile(m_profile);
    m_downloads = new DownloadManager(m_profile, {}, &BrowserWindow::ownerFor);
    m_frame = new QMainWindow;
    m_view = new CCorvaneView(m_profile, m_programDir.path() + '/', ClientSettings::fromEnvironment(), m_frame);
    m_frame->setCentralWidget(m_view);
    QCOMPARE(m_view->errorPage(), m_programDir.path() + "/error");
    m_view->SetStartUrlBuffer(m_startUrl);
    m_view->SetExitHook([](int) { QFAIL("the error page is there: nothing may end the program"); });
    connect(m_view->page(), &QWebEnginePage::loadingChanged, this,
            [this](const QWebEngineLoadingInfo &info) { m_loads.append({info.status(), info.url()}); });
    connect(m_view, &CCorvaneView::navigationStateChanged, this,
            [this](bool back, bool forward, bool loading) { m_lastState = {back, forward, loading}; });
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_frame));
}

void TestCorvaneView::cleanupTestCase()
{
    // Pages before their profile.
    delete m_frame;
    delete m_profile;
}

void TestCorvaneView::setStartAddress(const QUrl &url)
{
    const QByteArray text = url.toEncoded();
    QVERIFY(text.size() < qsizetype(sizeof m_startUrl));
    std::memset(m_startUrl, 0, sizeof m_startUrl);
    std::memcpy(m_startUrl, text.constData(), static_cast<std::size_t>(text.size()));
}

bool TestCorvaneView::sawLoad(qsizetype since, QWebEngineLoadingInfo::LoadStatus status, const QUrl &url) const
{
    for (qsizetype i = since; i < m_loads.size(); ++i)
        if (m_loads[i].status == status && m_loads[i].url == url)
            return true;
    return false;
}

void TestCorvaneView::loadAndWait(const QUrl &url, QWebEngineLoadingInfo::LoadStatus status)
{
    const qsizetype since = m_loads.size();
    m_view->load(url);
    QVERIFY2(waitForLoad(since, status, url), qPrintable(url.toString()));
}

bool TestCorvaneView::waitForLoad(qsizetype since, QWebEngineLoadingInfo::LoadStatus status, const QUrl &url) const
{
    return waitUntil([&] { return sawLoad(since, status, url); });
}

bool TestCorvaneView::waitForErrorPage(qsizetype since) const
{
    // Its address carries the reason in the fragment.
    const QUrl page = QUrl::fromLocalFile(m_view->errorPage());
    return waitUntil([&] {
        for (qsizetype i = since; i < m_loads.size(); ++i)
            if (m_loads[i].status == QWebEngineLoadingInfo::LoadSucceededStatus
                && m_loads[i].url.adjusted(QUrl::RemoveFragment) == page)
                return m_view->title() == QStringLiteral("Kelumo大数据");
        return false;
    });
}

void TestCorvaneView::initialUpdatePlacesFrameAndOpensStartAddress()
{
    const QUrl start = m_server.url("/ok?from=start&x=1");
    m_frame->setGeometry(0, 0, 300, 200);
    setStartAddress(start);
    qsizetype since = m_loads.size();
    m_view->OnInitialUpdate();

    // Centred in the work area, which does not start at the origin.
    QCOMPARE(m_frame->pos(), QPoint(383, 102));
    QCOMPARE(m_frame->size(), QSize(1000, 600));
    QVERIFY(waitForLoad(since, QWebEngineLoadingInfo::LoadSucceededStatus, start));
    QCOMPARE(m_view->title(), QStringLiteral("ok"));

    // The buffer is read anew each time, never remembered.
    setStartAddress(m_server.url("/second"));
    since = m_loads.size();
    m_view->OnInitialUpdate();
    QVERIFY(waitForLoad(since, QWebEngineLoadingInfo::LoadSucceededStatus, m_server.url("/second")));
    setStartAddress(start);

    // The frame hears of history and loading: back, forward, loading.
    QVERIFY(waitUntil([&] { return m_lastState == QList<bool>{true, false, false}; }));
    m_view->OnGoBack();
    QVERIFY(waitUntil([&] { return m_lastState == QList<bool>{false, true, false}; }));
    QCOMPARE(m_view->url(), start);
}

void TestCorvaneView::notFoundShowsErrorPage()
{
    loadAndWait(m_server.url("/ok"), QWebEngineLoadingInfo::LoadSucceededStatus);
    const qsizetype since = m_loads.size();
    m_view->load(m_server.url("/missing"));
    QVERIFY(waitForErrorPage(since));

    QCOMPARE(evaluate(m_view->page(), "document.querySelector('meta[name=kelumo-page]').content").toString(),
             QStringLiteral("error"));
    // The way back is the start address, its & intact through the escaping.
    QCOMPARE(evaluate(m_view->page(), "document.getElementById('home').getAttribute('href')").toString(),
             m_server.url("/ok?from=start&x=1").toString());
    QVERIFY(m_view->history()->canGoBack());
    QVERIFY(!messageBoxOf(m_view));
    // The platform answered: the page says the page is missing, not the network.
    QCOMPARE(evaluate(m_view->page(), "location.hash").toString(), QStringLiteral("#http-404"));
    QCOMPARE(evaluate(m_view->page(), "document.getElementById('title').textContent").toString(),
             QStringLiteral("页面不存在（404）"));
    // Not tried again by itself, and it does not say so.
    QVERIFY(!m_view->recovery()->retryPending());
    QCOMPARE(errorPageText("retrying"), QString());
}

QString TestCorvaneView::errorPageText(const char *id) const
{
    // Empty while hidden.
    return evaluate(m_view->page(), QStringLiteral("var e = document.getElementById('%1'); e.hidden ? '' : e.textContent")
                                        .arg(QLatin1String(id))).toString();
}

QUrl TestCorvaneView::failUnreachable()
{
    const quint16 port = freePort();
    const QUrl platform(QStringLiteral("http://127.0.0.1:%1/home").arg(port));
    loadAndWait(m_server.url("/ok"), QWebEngineLoadingInfo::LoadSucceededStatus);
    const qsizetype since = m_loads.size();
    m_view->load(platform);
    if (!waitForErrorPage(since))
        return {};
    return platform;
}

void TestCorvaneView::errorPageStandsInForTheFailedPage()
{
    const QByteArray missing = "/gone";
    loadAndWait(m_server.url("/ok"), QWebEngineLoadingInfo::LoadSucceededStatus);
    qsizetype since = m_loads.size();
    m_view->load(m_server.url(missing));
    QVERIFY(waitForErrorPage(since));
    QCOMPARE(m_server.requestCount(missing), 1);
    QCOMPARE(m_lastState, (QList<bool>{true, false, false}));

    // F5, the refresh command and the page's "重新加载" each ask for it again.
    since = m_loads.size();
    m_view->commands()->run(PageCommands::Command::Reload);
    QVERIFY(waitForLoad(since, QWebEngineLoadingInfo::LoadFailedStatus, m_server.url(missing)));
    QVERIFY(waitForErrorPage(since));
    QCOMPARE(m_server.requestCount(missing), 2);
    since = m_loads.size();
    m_view->OnGoRefresh();
    QVERIFY(waitForLoad(since, QWebEngineLoadingInfo::LoadFailedStatus, m_server.url(missing)));
    QVERIFY(waitForErrorPage(since));
    QCOMPARE(m_server.requestCount(missing), 3);
    since = m_loads.size();
    evaluate(m_view->page(), "document.getElementById('reload').click(); true");
    QVERIFY(waitForLoad(since, QWebEngineLoadingInfo::LoadFailedStatus, m_server.url(missing)));
    QVERIFY(waitForErrorPage(since));
    QCOMPARE(m_server.requestCount(missing), 4);
    QCOMPARE(evaluate(m_view->page(), "location.hash").toString(), QStringLiteral("#http-404"));

    // Back leads to the page before it, without asking for it once more.
    since = m_loads.size();
    m_view->OnGoBack();
    QVERIFY(waitForLoad(since, QWebEngineLoadingInfo::LoadSucceededStatus, m_server.url("/ok")));
    QCOMPARE(m_view->title(), QStringLiteral("ok"));
    QCOMPARE(m_server.requestCount(missing), 4);
    QVERIFY(waitUntil([&] { return m_lastState.value(1) && !m_lastState.value(2); })); // forward, not loading
    // Forward comes back to it.
    since = m_loads.size();
    m_view->OnGoForward();
    QVERIFY(waitForErrorPage(since));
    QCOMPARE(evaluate(m_view->page(), "location.hash").toString(), QStringLiteral("#http-404"));
    since = m_loads.size();
    m_view->OnGoBack();
    QVERIFY(waitForLoad(since, QWebEngineLoadingInfo::LoadSucceededStatus, m_server.url("/ok")));
}

void TestCorvaneView::platformComesBackByItself()
{
    // The platform is down: nothing listens on its port.
    const QUrl platform = failUnreachable();
    QVERIFY(!platform.isEmpty());
    QCOMPARE(m_view->url().adjusted(QUrl::RemoveFragment), QUrl::fromLocalFile(m_view->errorPage()));
    QCOMPARE(evaluate(m_view->page(), "location.hash").toString(), QStringLiteral("#unreachable"));
    QCOMPARE(errorPageText("title"), QStringLiteral("无法连接到Kelumo大数据平台"));
    QCOMPARE(errorPageText("retrying"), QStringLiteral("客户端会自动重试，平台恢复后页面将自动打开。"));
    QVERIFY(m_view->recovery()->retryPending());
    QCOMPARE(m_view->recovery()->failedAddress(), platform);

    // It comes back: the page shows with no one doing anything.
    TinyHttpServer recovered;
    recovered.setAnswer("/home", 200, "<title>back</title>");
    QVERIFY(recovered.start(static_cast<quint16>(platform.port())));
    const qsizetype since = m_loads.size();
    QVERIFY(waitUntil([&] { return sawLoad(since, QWebEngineLoadingInfo::LoadSucceededStatus, platform); }, 30000));
    QCOMPARE(m_view->title(), QStringLiteral("back"));
    // The probe asked first, the page once.
    QVERIFY2(recovered.lastRequestHead("/home").startsWith("GET "), recovered.lastRequestHead("/home").constData());
    QCOMPARE(recovered.requestCount("/home"), 2);
    QVERIFY(!m_view->recovery()->retryPending());
    QVERIFY(m_view->recovery()->failedAddress().isEmpty());

    // In history the failed try is gone: Back is the page before it.
    QVERIFY(waitUntil([&] { return m_lastState == QList<bool>{true, false, false}; }));
    const qsizetype back = m_loads.size();
    m_view->OnGoBack();
    QVERIFY(waitForLoad(back, QWebEngineLoadingInfo::LoadSucceededStatus, m_server.url("/ok")));
    const qsizetype forward = m_loads.size();
    m_view->OnGoForward();
    QVERIFY(waitForLoad(forward, QWebEngineLoadingInfo::LoadSucceededStatus, platform));
}

void TestCorvaneView::noRetryAfterGoingElsewhere()
{
    const QUrl platform = failUnreachable();
    QVERIFY(!platform.isEmpty());
    QVERIFY(m_view->recovery()->retryPending());
    loadAndWait(m_server.url("/second"), QWebEngineLoadingInfo::LoadSucceededStatus);
    QVERIFY(!m_view->recovery()->retryPending());
    QVERIFY(m_view->recovery()->failedAddress().isEmpty());

    // Back up, the platform hears nothing more of the address, well past the
    // first try's time.
    TinyHttpServer recovered;
    QVERIFY(recovered.start(static_cast<quint16>(platform.port())));
    waitUntil([] { return false; }, 3000);
    QCOMPARE(recovered.requestCount("/home"), 0);
    QCOMPARE(m_view->url(), m_server.url("/second"));
}

void TestCorvaneView::noContentIsNotAnError()
{
    loadAndWait(m_server.url("/ok"), QWebEngineLoadingInfo::LoadSucceededStatus);
    const qsizetype since = m_loads.size();
    loadAndWait(m_server.url("/nocontent"), QWebEngineLoadingInfo::LoadStoppedStatus);
    waitUntil([] { return false; }, 200); // room for a wrong redirect to start
    QCOMPARE(m_loads.size(), since + 2);  // started, stopped, and nothing after
    QCOMPARE(m_view->url(), m_server.url("/ok"));
    QCOMPARE(m_view->title(), QStringLiteral("ok"));
}

void TestCorvaneView::popupOpensInItsOwnWindow()
{
    loadAndWait(m_server.url("/opener"), QWebEngineLoadingInfo::LoadSucceededStatus);
    QVERIFY(m_frame->findChildren<BrowserWindow *>().isEmpty());
    // Only a user's action opens one: a script alone does not.
    evaluate(m_view->page(), "window.open('/popup', '_blank'); true");
    QTest::qWait(300);
    QVERIFY(m_frame->findChildren<BrowserWindow *>().isEmpty());
    QVERIFY(clickOpensPopup(m_view, m_frame));

    QPointer<BrowserWindow> popup = m_frame->findChildren<BrowserWindow *>().constFirst();
    QVERIFY(popup->isWindow() && popup->isVisible());
    QCOMPARE(popup->windowTitle(), QStringLiteral("Kelumo大数据"));
    QCOMPARE(popup->view()->page()->profile(), m_profile);
    QVERIFY(waitUntil([&] { return popup->view()->title() == QStringLiteral("popup"); }));
    QCOMPARE(popup->view()->url(), m_server.url("/popup"));
    QCOMPARE(m_view->url(), m_server.url("/opener"));

    // The page may close the window it opened; the window then goes away.
    evaluate(popup->view()->page(), "window.close(); true");
    QVERIFY(waitUntil([&] { return popup.isNull(); }));
}

void TestCorvaneView::downloadIsSavedToTheFolder()
{
    loadAndWait(m_server.url("/ok"), QWebEngineLoadingInfo::LoadSucceededStatus);
    m_downloads->setDownloadFolder(m_downloadDir.path());
    QSignalSpy finished(m_downloads, &DownloadManager::downloadFinished);
    const qsizetype since = m_loads.size();
    m_view->load(m_server.url("/report"));
    QVERIFY(finished.wait(10000));

    const QString saved = m_downloadDir.filePath("report.bin");
    QCOMPARE(finished.constFirst().at(0).toString(), saved);
    QCOMPARE(finished.constFirst().at(1).toBool(), true);
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll() == m_downloadBytes);

    // The page stays: a download is not a failed navigation.
    waitUntil([] { return false; }, 100); // room for a wrong redirect to start
    QCOMPARE(m_loads.size(), since + 2);
    QVERIFY(sawLoad(since, QWebEngineLoadingInfo::LoadStoppedStatus, m_server.url("/report")));
    QCOMPARE(m_view->url(), m_server.url("/ok"));
    // Its small window tells the user.
    bool told = false;
    for (QWidget *window : QApplication::topLevelWidgets())
        for (const QLabel *label : window->findChildren<QLabel *>())
            told = told || label->text().startsWith(QStringLiteral("下载完成"));
    QVERIFY(told);
}

void TestCorvaneView::deadRendererReloadsThenShowsErrorPage()
{
    loadAndWait(m_server.url("/ok"), QWebEngineLoadingInfo::LoadSucceededStatus);
    qint64 pid = m_view->page()->renderProcessPid();
    QVERIFY(pid > 0);
    qsizetype since = m_loads.size();
    QCOMPARE(::kill(static_cast<pid_t>(pid), SIGKILL), 0);

    // Back by itself, and no box.
    QVERIFY(waitUntil([&] { return sawLoad(since, QWebEngineLoadingInfo::LoadSucceededStatus, m_server.url("/ok")); },
                      10000));
    QCOMPARE(m_view->title(), QStringLiteral("ok"));
    QVERIFY(!messageBoxOf(m_view));

    // Dead again soon after: the error page says so, and its reload brings
    // the page back.
    QVERIFY(waitUntil([&] { return m_view->page()->renderProcessPid() > 0 && m_view->page()->renderProcessPid() != pid; }));
    pid = m_view->page()->renderProcessPid();
    since = m_loads.size();
    QCOMPARE(::kill(static_cast<pid_t>(pid), SIGKILL), 0);
    QVERIFY(waitForErrorPage(since));
    QVERIFY(!messageBoxOf(m_view));
    QCOMPARE(evaluate(m_view->page(), "location.hash").toString(), QStringLiteral("#crashed"));
    QCOMPARE(errorPageText("title"), QStringLiteral("页面意外终止"));
    QCOMPARE(errorPageText("retrying"), QString());
    QVERIFY(!m_view->recovery()->retryPending());
    since = m_loads.size();
    evaluate(m_view->page(), "document.getElementById('reload').click(); true");
    QVERIFY(waitForLoad(since, QWebEngineLoadingInfo::LoadSucceededStatus, m_server.url("/ok")));

    // A pop-up window's page comes back the same way (opened by a click: a
    // script alone opens none).
    loadAndWait(m_server.url("/opener"), QWebEngineLoadingInfo::LoadSucceededStatus);
    QVERIFY(clickOpensPopup(m_view, m_frame));
    QPointer<BrowserWindow> popup = m_frame->findChildren<BrowserWindow *>().constFirst();
    auto *popupView = qobject_cast<CCorvaneView *>(popup->view());
    QVERIFY(popupView);
    int popupLoads = 0;
    connect(popupView, &QWebEngineView::loadFinished, this, [&popupLoads](bool ok) { popupLoads += ok; });
    QVERIFY(waitUntil([&] { return popupLoads == 1 && popupView->page()->renderProcessPid() > 0; }));
    QCOMPARE(::kill(static_cast<pid_t>(popupView->page()->renderProcessPid()), SIGKILL), 0);
    QVERIFY(waitUntil([&] { return popupLoads == 2; }, 10000));
    QCOMPARE(popupView->title(), QStringLiteral("popup"));
    QVERIFY(!messageBoxOf(popup));
    evaluate(popupView->page(), "window.close(); true");
    QVERIFY(waitUntil([&] { return popup.isNull(); }));
}

void TestCorvaneView::missingErrorPageEndsTheProgram()
{
    QList<int> exits;
    QTemporaryDir emptyProgramDir;
    auto view = std::make_unique<CCorvaneView>(m_profile, emptyProgramDir.path() + '/', ClientSettings::fromEnvironment());
    QVERIFY(view->errorPage().isEmpty());
    view->SetExitHook([&exits](int code) { exits << code; });
    view->show();

    view->load(m_server.url("/missing"));
    QVERIFY(waitUntil([&] { return messageBoxOf(view.get()); }));
    QMessageBox *box = messageBoxOf(view.get());
    QCOMPARE(box->windowTitle(), QStringLiteral("Kelumo大数据"));
    QCOMPARE(box->text(), QStringLiteral("缺少客户端文件，请重新下载客户端"));
    QCOMPARE(box->icon(), QMessageBox::NoIcon);
    QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(exits.isEmpty()); // not before the user has read it

    // Further failures while it is up change nothing.
    view->OnNavigateError(m_server.url("/missing"), 404);
    QCOMPARE(view->findChildren<QMessageBox *>().size(), 1);

    box->button(QMessageBox::Ok)->click();
    QVERIFY(waitUntil([&] { return !exits.isEmpty(); }));
    waitUntil([] { return false; }, 50);
    QCOMPARE(exits, QList<int>{0});
}

void TestCorvaneView::pagesAreAskedForInChinese()
{
    loadAndWait(m_server.url("/ok"), QWebEngineLoadingInfo::LoadSucceededStatus);
    QVERIFY2(m_server.lastRequestHead("/ok").contains("\r\nAccept-Language: zh-CN,zh;q=0.9\r\n"),
             m_server.lastRequestHead("/ok").constData());
    // The engine's own texts (form validation here) are Chinese too.
    QCOMPARE(evaluate(m_view->page(), "var i = document.createElement('input'); i.required = true;"
                                      "i.validationMessage").toString(),
             QStringLiteral("请填写此字段。"));
}

void TestCorvaneView::javaScriptDialogsSpeakAsTheClient()
{
    loadAndWait(m_server.url("/ok"), QWebEngineLoadingInfo::LoadSucceededStatus);
    QStringList captions;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            captions << box->windowTitle() + ':' + box->text();
            box->button(box->standardButtons().testFlag(QMessageBox::Cancel) ? QMessageBox::Cancel
                                                                              : QMessageBox::Ok)->click();
        }
    });
    closer.start(20);
    evaluate(m_view->page(), "alert('提示'); true");
    QCOMPARE(evaluate(m_view->page(), "confirm('确认吗')").toBool(), false);
    QCOMPARE(captions, (QStringList{QStringLiteral("Kelumo大数据:提示"), QStringLiteral("Kelumo大数据:确认吗")}));
}

void TestCorvaneView::findBarFindsAsYouType()
{
    loadAndWait(m_server.url("/fruit"), QWebEngineLoadingInfo::LoadSucceededStatus);
    PageCommands *commands = m_view->commands();
    commands->run(PageCommands::Command::Find);
    FindBar *bar = commands->findBar();
    QVERIFY(bar && bar->isVisible());
    QCOMPARE(bar->parentWidget(), m_frame); // a strip of the window, not over the page
    QCOMPARE(m_frame->toolBarArea(bar), Qt::BottomToolBarArea);

    QTest::keyClicks(bar->searchField(), "apple");
    QVERIFY(waitUntil([&] { return bar->statusText() == QStringLiteral("第 1 项，共 3 项"); }));
    QTest::keyClick(bar->searchField(), Qt::Key_Return);
    QVERIFY(waitUntil([&] { return bar->statusText() == QStringLiteral("第 2 项，共 3 项"); }));
    commands->run(PageCommands::Command::FindNext);
    QVERIFY(waitUntil([&] { return bar->statusText() == QStringLiteral("第 3 项，共 3 项"); }));
    QTest::keyClick(bar->searchField(), Qt::Key_Return, Qt::ShiftModifier);
    QVERIFY(waitUntil([&] { return bar->statusText() == QStringLiteral("第 2 项，共 3 项"); }));
    QTest::keyClicks(bar->searchField(), "x");
    QVERIFY(waitUntil([&] { return bar->statusText() == QStringLiteral("无匹配"); }));

    QTest::keyClick(bar->searchField(), Qt::Key_Escape);
    QVERIFY(!bar->isVisible());
    QVERIFY(bar->statusText().isEmpty());
}

void TestCorvaneView::printPreviewFillsIn_data()
{
    QTest::addColumn<bool>("rendererDies");
    QTest::newRow("pages of the page") << false;
    // The preview then says the page cannot be printed, and closes as usual.
    QTest::newRow("renderer dies while the PDF is made") << true;
}

void TestCorvaneView::printPreviewFillsIn()
{
    QFETCH(bool, rendererDies);
    loadAndWait(m_server.url(rendererDies ? "/longrows" : "/rows"), QWebEngineLoadingInfo::LoadSucceededStatus);
    PagePrinter *printer = m_view->commands()->printer();
    QSignalSpy filled(printer, &PagePrinter::previewFilled);
    const qint64 pid = m_view->page()->renderProcessPid();
    QVERIFY(pid > 0);
    int previewPages = -1;
    bool sawPreparing = false;
    // The preview runs its own loop: the checks run from inside it.
    QTimer::singleShot(0, this, [&] {
        QPrintPreviewDialog *dialog = printer->preview();
        if (!dialog)
            return;
        auto *widget = dialog->findChild<QPrintPreviewWidget *>();
        // On screen before the engine is done, saying so on its one page.
        sawPreparing = dialog->isVisible() && printer->previewPageCount() == 0 && widget->pageCount() == 1;
        // Killed while it makes the PDF. Qt WebEngine 6.4 itself ends the
        // process (a trap) when the renderer is lost before it has taken the
        // job, between the request and its beforeprint's end: no client can
        // catch that, and the client itself never ends a renderer.
        if (rendererDies && waitUntil([&] { return m_server.requestCount("/print-layout") > 0; }, 30000))
            ::kill(static_cast<pid_t>(pid), SIGKILL);
        // A second request while preparing is ignored.
        printer->printWithPreview();
        QCOMPARE(printer->preview(), dialog);
        if (waitUntil([&] { return !filled.isEmpty(); }, 30000))
            previewPages = widget->pageCount();
        dialog->reject();
    });
    printer->printWithPreview();
    QVERIFY(!printer->preview());
    QVERIFY(sawPreparing);
    QCOMPARE(filled.size(), 1);
    const int pages = filled.first().first().toInt();
    if (rendererDies) {
        QCOMPARE(pages, 0);
        QCOMPARE(previewPages, 1); // "无法打印此页面。"
        // The view brings a renderer back by itself.
        QVERIFY(waitUntil([&] { return m_view->page()->renderProcessPid() > 0 && m_view->page()->renderProcessPid() != pid; }));
    } else {
        QVERIFY2(pages > 3, qPrintable(QString::number(pages)));
        QCOMPARE(previewPages, pages);
    }
}

void TestCorvaneView::shownPdfPrintsEveryPage_data()
{
    QByteArray twoPages;
    {
        QBuffer buffer(&twoPages);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        QPainter painter(&writer);
        painter.drawText(100, 100, QStringLiteral("第一页"));
        writer.newPage();
        painter.drawText(100, 100, QStringLiteral("第二页"));
    }
    QTest::addColumn<QByteArray>("pdf");
    QTest::addColumn<int>("pages"); // 0: refused, nothing printed
    QTest::newRow("two pages") << twoPages << 2;
    QTest::newRow("cut short") << twoPages.left(twoPages.size() / 3) << 0;
    QTest::newRow("not a PDF") << QByteArray("<html>report</html>") << 0;
}

void TestCorvaneView::shownPdfPrintsEveryPage()
{
    QFETCH(QByteArray, pdf);
    QFETCH(int, pages);
    QTemporaryDir dir;
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("paper.pdf"));
    QCOMPARE(ShownPdf::print(pdf, &printer), pages > 0);
    if (pages == 0)
        return;
    QFile paper(dir.filePath("paper.pdf"));
    QVERIFY(paper.open(QIODevice::ReadOnly));
    const QByteArray printed = paper.readAll();
    const std::unique_ptr<Poppler::Document> document = openPdf(printed);
    QVERIFY(document);
    QCOMPARE(document->numPages(), pages);
    // The second sheet carries its page's text, not white paper.
    const QImage sheet = document->page(1)->renderToImage(36, 36).convertToFormat(QImage::Format_Grayscale8);
    int inked = 0;
    for (int y = 0; y < sheet.height(); ++y)
        for (int x = 0; x < sheet.width(); ++x)
            inked += qGray(sheet.pixel(x, y)) < 128;
    QVERIFY(inked > 0);
}

void TestCorvaneView::zoomIsRememberedPerHost()
{
    PageCommands *commands = m_view->commands();
    loadAndWait(m_server.url("/ok"), QWebEngineLoadingInfo::LoadSucceededStatus);
    commands->run(PageCommands::Command::ZoomIn);
    commands->run(PageCommands::Command::ZoomIn);
    QCOMPARE(commands->zoomPercent(), 125);

    // Ctrl+wheel over the page steps as the keys do.
    QWidget *page = m_view->focusProxy();
    QVERIFY(page);
    const QPointF at(10, 10);
    QWheelEvent wheel(at, page->mapToGlobal(at), {}, QPoint(0, -120), Qt::NoButton, Qt::ControlModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(page, &wheel);
    QCOMPARE(commands->zoomPercent(), 110);

    // Another host has its own level; coming back restores this one.
    QUrl other = m_server.url("/second");
    other.setHost(QStringLiteral("localhost"));
    loadAndWait(other, QWebEngineLoadingInfo::LoadSucceededStatus);
    QVERIFY(waitUntil([&] { return commands->zoomPercent() == 100; }));
    loadAndWait(m_server.url("/second"), QWebEngineLoadingInfo::LoadSucceededStatus);
    QVERIFY(waitUntil([&] { return commands->zoomPercent() == 110; }));
    commands->run(PageCommands::Command::ZoomReset);
    QCOMPARE(commands->zoomPercent(), 100);
}

void TestCorvaneView::proxyAsksOnceForCredentials()
{
    int asked = 0;
    QTimer answerer;
    connect(&answerer, &QTimer::timeout, this, [&] {
        auto *dialog = m_view->findChild<ProxyLoginDlg *>();
        if (!dialog || !dialog->isVisible())
            return;
        ++asked;
        QCOMPARE(dialog->windowTitle(), QStringLiteral("代理服务器身份验证"));
        dialog->findChild<QLineEdit *>("user")->setText("u");
        dialog->findChild<QLineEdit *>("password")->setText("pw");
        dialog->accept();
    });
    answerer.start(20);

    loadAndWait(QUrl("http://portal.kelumo.test/ok"), QWebEngineLoadingInfo::LoadSucceededStatus);
    QCOMPARE(m_view->title(), QStringLiteral("ok"));
    QCOMPARE(asked, 1);
    // The answer holds for the rest of the run.
    loadAndWait(QUrl("http://portal.kelumo.test/second"), QWebEngineLoadingInfo::LoadSucceededStatus);
    QCOMPARE(asked, 1);
    const auto requests = m_proxy->requests();
    QVERIFY(!requests.empty());
    QVERIFY(requests.back().find("Proxy-Authorization: Basic " + TestProxy::base64("u:pw")) != std::string::npos);
}

void TestCorvaneView::printingOffOnlySaysSo()
{
    ClientSettings settings = ClientSettings::fromEnvironment();
    settings.printingEnabled = false;
    QMainWindow frame;
    auto *view = new CCorvaneView(m_profile, m_programDir.path() + '/', settings, &frame);
    frame.setCentralWidget(view);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QSignalSpy loaded(view, &QWebEngineView::loadFinished);
    view->load(m_server.url("/rows"));
    QVERIFY(loaded.wait(20000));
    PagePrinter *printer = view->commands()->printer();
    bool previewed = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] { previewed = previewed || printer->preview() || QApplication::activeModalWidget(); });
    watch.start(5);

    // Ctrl+P, the context menu's entry and the page's window.print(): each
    // only leaves the note, in the place the preview would have opened.
    const std::function<void()> ways[] = {
        [&] { view->commands()->run(PageCommands::Command::Print); },
        [&] {
            const std::unique_ptr<QMenu> menu(view->commands()->createContextMenu());
            menu->findChild<QAction *>("print")->trigger();
        },
        [&] { view->page()->runJavaScript("window.print()"); },
    };
    for (const auto &way : ways) {
        view->setAccessibleDescription({});
        way();
        QVERIFY(waitUntil([&] { return view->accessibleDescription() == PageCommands::printingDisabledNote(); }, 10000));
    }
    QVERIFY(!previewed);
    QCOMPARE(printer->previewPageCount(), 0);
}

int main(int argc, char **argv)
{
    // A private runtime folder for the engine, and a screen of known size.
    QTemporaryDir runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    QFile screens(runtime.filePath("screens.json"));
    if (!screens.open(QIODevice::WriteOnly))
        return 1;
    screens.write(QStringLiteral(R"({"screens": [{"name": "test", "x": %1, "y": %2, "width": %3, "height": %4,
                                     "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})")
                      .arg(testScreen.x()).arg(testScreen.y()).arg(testScreen.width()).arg(testScreen.height())
                      .toUtf8());
    screens.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.fileName().toLocal8Bit());

    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    // As the program does before its engine starts: the engine takes its
    // language from the default locale.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China));
    TestCorvaneView test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_corvaneview.moc"
