// The main window's side of start-up, behind the module interface: the web
// profile, the document's view and the frame, and the wiring between them.

#include "base/MainWindowModule.h"

#include "base/ClientSettings.h"
#include "base/Trace.h"
#include "browser/downloads/DownloadManager.h"
#include "browser/view/BrowserProfile.h"
#include "browser/view/BrowserWindow.h"
#include "browser/view/CCorvaneView.h"
#include "browser/view/SignOnFlags.h"
#include "frame/CMainFrame.h"
#include "frame/FirstPaintTrace.h"

#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <memory>

namespace {

// How long the frame waits for its start page before it shows anyway.
constexpr int showAtTheLatestMs = 300;

// The engine's start waits, on the dialog's thread, until each of its
// zygote processes has loaded the engine's library. The second zygote only
// serves helper processes that run without a sandbox, which then start
// directly (off that thread) instead: one process less to wait for and keep.
void leaveOutUnsandboxedZygote()
{
    const QByteArray flag = QByteArrayLiteral("--no-unsandboxed-zygote");
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (flags.split(' ').contains(flag))
        return;
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.isEmpty() ? flag : flags + ' ' + flag);
}

class KelumoBrowserModule final : public MainWindowModule
{
public:
    ~KelumoBrowserModule() override
    {
        delete m_frame;
        m_warmProfile.reset();
        // The profile flushes its cookies when it goes, before the application.
        m_profile.reset();
    }

    bool Prepare(const char *startUrlBuffer, const QString &programFolder) override
    {
        m_startUrl = startUrlBuffer;
        m_programFolder = programFolder;
        // The engine reads its flags once, as the first profile brings it up.
        applySignOnFlags(ClientSettings::fromEnvironment().authServerAllowlist);
        leaveOutUnsandboxedZygote();
        // An off-the-record profile: the engine and its processes come up
        // while the login call is out, and nothing of the user's profile is
        // opened, let alone written, before the sign-in succeeds. No page: its
        // renderer would serve this profile only, not the user's.
        m_warmProfile = std::make_unique<QWebEngineProfile>();
        return true;
    }

    QWidget *CreateMainWindow(MainWindowHost *host) override
    {
        if (m_frame)
            return m_frame;
        m_profile = std::make_unique<QWebEngineProfile>(QStringLiteral("kelumo"));
        configureBrowserProfile(m_profile.get());
        // The settings of the run, read once here and handed down.
        const ClientSettings settings = ClientSettings::fromEnvironment();
        auto *downloads =
            new DownloadManager(m_profile.get(), QString::fromStdString(settings.downloadFolder), &BrowserWindow::ownerFor);
        downloads->setPromptForLocation(settings.promptForDownloadLocation);
        downloads->setDownloadsEnabled(settings.downloadsEnabled);

        auto *frame = new CMainFrame;
        frame->setAttribute(Qt::WA_DeleteOnClose, false);
        CCorvaneView *view = nullptr;
        const bool created = frame->LoadFrame([this, &settings, &view](QWidget *parent) -> QWidget * {
            view = new CCorvaneView(m_profile.get(), m_programFolder, settings, parent);
            view->SetStartUrlBuffer(m_startUrl);
            return view;
        });
        if (!created || !view) {
            delete frame;
            return nullptr;
        }
        m_frame = frame;
        m_view = view;

        QObject::connect(frame, &CMainFrame::goBack, view, &CCorvaneView::OnGoBack);
        QObject::connect(frame, &CMainFrame::goForward, view, &CCorvaneView::OnGoForward);
        QObject::connect(frame, &CMainFrame::goRefresh, view, &CCorvaneView::OnGoRefresh);
        QObject::connect(frame, &CMainFrame::goStop, view, &CCorvaneView::OnGoStop);
        QObject::connect(frame, &CMainFrame::editCut, view, [view] { view->triggerPageAction(QWebEnginePage::Cut); });
        QObject::connect(frame, &CMainFrame::editCopy, view, [view] { view->triggerPageAction(QWebEnginePage::Copy); });
        QObject::connect(frame, &CMainFrame::editPaste, view,
                         [view] { view->triggerPageAction(QWebEnginePage::Paste); });
        QObject::connect(frame, &CMainFrame::fileNew, frame, [host] { host->OnFileNew(); });
        QObject::connect(frame, &CMainFrame::fileOpen, frame, [host] { host->OnFileOpen(); });
        QObject::connect(frame, &CMainFrame::fileSave, frame, [host] { host->OnFileSave(); });
        QObject::connect(view, &CCorvaneView::statusTextChanged, frame, &CMainFrame::showStatusText);
        QObject::connect(view, &CCorvaneView::navigationStateChanged, frame, &CMainFrame::setNavigationState);
        if (traceEnabled())
            QObject::connect(view, &QWebEngineView::loadFinished, view, [](bool ok) {
                if (ok)
                    trace("page loaded");
            });

        return frame;
    }

    void OnInitialUpdate() override
    {
        if (m_view)
            m_view->OnInitialUpdate();
    }

    void ShowMainWindow() override
    {
        if (!m_frame)
            return;
        QPointer<CMainFrame> frame = m_frame;
        const auto show = [frame] {
            if (!frame || frame->isVisible())
                return;
            FirstPaintTrace::watch(frame);
            frame->showMaximized();
            trace("main window shown");
        };
        // The start page loads first: its navigation does not wait behind the
        // frame's first paint, which a software renderer takes a few hundred
        // milliseconds over, and the frame does not show a blank page meanwhile.
        QObject::connect(m_view, &QWebEngineView::loadFinished, frame, show, Qt::SingleShotConnection);
        QTimer::singleShot(showAtTheLatestMs, frame, show);
    }

private:
    const char *m_startUrl = nullptr;
    QString m_programFolder;
    std::unique_ptr<QWebEngineProfile> m_warmProfile;
    std::unique_ptr<QWebEngineProfile> m_profile;
    QPointer<CMainFrame> m_frame;
    QPointer<CCorvaneView> m_view;
};

} // namespace

extern "C" Q_DECL_EXPORT MainWindowModule *kelumoCreateMainWindowModule(int version)
{
    if (version != mainWindowModuleVersion)
        return nullptr;
    return new KelumoBrowserModule;
}
