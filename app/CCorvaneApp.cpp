#include "CCorvaneApp.h"

#include "CAboutDlg.h"
#include "CCorvaneDoc.h"
#include "CCorvaneView.h"
#include "CLogin.h"
#include "CMainFrame.h"
#include "CommandLine.h"
#include "DownloadManager.h"
#include "LoginEndpoint.h"
#include "ProgramFolder.h"
#include "ProxyChoice.h"
#include "SignInFile.h"
#include "Trace.h"

#include <QApplication>
#include <QFileDialog>
#include <QFont>
#include <QIcon>
#include <QMessageBox>
#include <QSettings>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <unistd.h>

CCorvaneApp theApp;

CCorvaneApp::CCorvaneApp()
{
    std::memset(m_szStartUrl, 0, sizeof m_szStartUrl);
}

CCorvaneApp::~CCorvaneApp() = default;

int CCorvaneApp::Run(int argc, char **argv)
{
#ifndef Q_OS_WIN
    // The engine's sandbox refuses to run as root; turn it off only then.
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        std::cerr << "kelumo: running as root, the web engine's sandbox is turned off\n";
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
#endif
    trace("start");
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QString::fromUtf8(registryKey));
    QCoreApplication::setApplicationName(QString::fromUtf8(title));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/kelumo/kelumo.png")));
    // Chinese text in Simplified Chinese glyphs, whatever the locale.
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPointSize(9);
    QApplication::setFont(font);

    int code = 0;
    if (InitInstance())
        code = QApplication::exec();
    ExitInstance();
    return code;
}

bool CCorvaneApp::InitInstance()
{
    InitAppFolder();

    {
        CLogin login;
        login.SetStartUrlBuffer(GetStartUrl());
        login.SetProgramFolder(QString::fromLocal8Bit(m_szAppFolder.c_str()));
        login.SetFallbackFolder(SignInFile::userFolder());
        // While the user types, the engine comes up behind the dialog: the
        // main window is built and realised without being shown, so the
        // start page does not wait for it after the login.
        QObject::connect(&login, &CLogin::firstPainted, &login, [this, &login] {
            trace("dialog painted");
            QTimer::singleShot(0, &login, [this] { PrepareMainWindow(); });
        });
        QObject::connect(&login, &CLogin::loginStarted, [] { trace("login command"); });
        if (login.DoModal() != CLogin::IDOK)
            return false;
    }
    trace("signed in");

    QSettings settings;
    m_recentFiles.ReadList(settings);

    QStringList arguments = QCoreApplication::arguments();
    if (!ProcessShellCommand(arguments))
        return false;

    m_frame->showMaximized();
    m_frame->setWindowTitle(QString::fromUtf8(title));
    return true;
}

int CCorvaneApp::ExitInstance()
{
    if (m_frame) {
        QSettings settings;
        m_recentFiles.WriteList(settings);
    }
    delete m_frame;
    m_frame = nullptr;
    m_view = nullptr;
    m_doc.reset();
    // The profile flushes its cookies when it goes, before the application.
    m_profile.reset();
    return 0;
}

bool CCorvaneApp::CreateMainWindow()
{
    proxychoice::applyToPages(defaultLoginEndpoint());
    m_profile = std::make_unique<QWebEngineProfile>(QStringLiteral("kelumo"));
    DownloadManager::attach(m_profile.get());
    m_doc = std::make_unique<CCorvaneDoc>();

    m_frame = new CMainFrame;
    m_frame->setAttribute(Qt::WA_DeleteOnClose, false);
    const QString folder = QString::fromLocal8Bit(m_szAppFolder.c_str());
    const bool created = m_frame->LoadFrame([this, folder](QWidget *parent) -> QWidget * {
        m_view = new CCorvaneView(m_profile.get(), folder, parent);
        m_view->SetStartUrlBuffer(GetStartUrl());
        return m_view;
    });
    if (!created || !m_view) {
        delete m_frame;
        m_frame = nullptr;
        m_view = nullptr;
        return false;
    }

    QObject::connect(m_frame, &CMainFrame::goBack, m_view, &CCorvaneView::OnGoBack);
    QObject::connect(m_frame, &CMainFrame::goForward, m_view, &CCorvaneView::OnGoForward);
    QObject::connect(m_frame, &CMainFrame::goRefresh, m_view, &CCorvaneView::OnGoRefresh);
    QObject::connect(m_frame, &CMainFrame::goStop, m_view, &CCorvaneView::OnGoStop);
    QObject::connect(m_frame, &CMainFrame::editCut, m_view, [this] { m_view->triggerPageAction(QWebEnginePage::Cut); });
    QObject::connect(m_frame, &CMainFrame::editCopy, m_view,
                     [this] { m_view->triggerPageAction(QWebEnginePage::Copy); });
    QObject::connect(m_frame, &CMainFrame::editPaste, m_view,
                     [this] { m_view->triggerPageAction(QWebEnginePage::Paste); });
    QObject::connect(m_frame, &CMainFrame::fileNew, m_frame, [this] { OnFileNew(); });
    QObject::connect(m_frame, &CMainFrame::fileOpen, m_frame, [this] { OnFileOpen(); });
    QObject::connect(m_frame, &CMainFrame::fileSave, m_frame, [this] { OnFileSave(); });
    QObject::connect(m_view, &CCorvaneView::statusTextChanged, m_frame, &CMainFrame::showStatusText);
    QObject::connect(m_view, &CCorvaneView::navigationStateChanged, m_frame, &CMainFrame::setNavigationState);
    QObject::connect(m_doc.get(), &CCorvaneDoc::initialUpdate, m_view, &CCorvaneView::OnInitialUpdate);
    QObject::connect(m_view, &QWebEngineView::loadFinished, m_view, [](bool ok) {
        if (ok)
            trace("page loaded");
    });
    return true;
}

void CCorvaneApp::PrepareMainWindow()
{
    if (m_frame || !CreateMainWindow())
        return;
    m_frame->setAttribute(Qt::WA_DontShowOnScreen);
    m_frame->show();
}

bool CCorvaneApp::ProcessShellCommand(const QStringList &arguments)
{
    const CommandLine command = CommandLine::parse(arguments);
    if (!m_frame && !CreateMainWindow())
        return false;
    if (m_frame->testAttribute(Qt::WA_DontShowOnScreen)) {
        m_frame->hide();
        m_frame->setAttribute(Qt::WA_DontShowOnScreen, false);
    }
    if (command.fileToOpen.isEmpty())
        return m_doc->OnNewDocument();
    return OpenDocumentFile(command.fileToOpen);
}

bool CCorvaneApp::OpenDocumentFile(const QString &path)
{
    if (!m_doc->OnOpenDocument(path)) {
        QMessageBox::warning(m_frame && m_frame->isVisible() ? m_frame : nullptr, QString::fromUtf8(title),
                             QStringLiteral("无法打开文档“%1”。").arg(path));
        return false;
    }
    m_recentFiles.Add(m_doc->GetPathName());
    return true;
}

void CCorvaneApp::OnAppAbout()
{
    CAboutDlg about(m_frame);
    about.DoModal();
}

void CCorvaneApp::OnFileNew()
{
    m_doc->OnNewDocument();
}

void CCorvaneApp::OnFileOpen()
{
    const QString path = QFileDialog::getOpenFileName(m_frame, QStringLiteral("打开"));
    if (!path.isEmpty())
        OpenDocumentFile(path);
}

void CCorvaneApp::OnFileSave()
{
    QString path = m_doc->GetPathName();
    if (path.isEmpty())
        path = QFileDialog::getSaveFileName(m_frame, QStringLiteral("另存为"));
    if (path.isEmpty())
        return;
    if (!m_doc->OnSaveDocument(path))
        QMessageBox::warning(m_frame, QString::fromUtf8(title), QStringLiteral("无法保存文档“%1”。").arg(path));
}
