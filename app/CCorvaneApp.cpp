#include "app/CCorvaneApp.h"

#include "app/BrowserModuleLoader.h"
#include "app/CAboutDlg.h"
#include "app/CCorvaneDoc.h"
#include "signin/CLogin.h"
#include "app/CommandLine.h"
#include "app/LaunchWarmUp.h"
#include "app/ProgramFolder.h"
#include "base/LoginService.h"
#include "app/LoginServiceLoader.h"
#include "app/QtTranslations.h"
#include "signin/SignInFile.h"
#include "signin/SignInSettings.h"
#include "base/Trace.h"

#include <QApplication>
#include <QFileDialog>
#include <QFont>
#include <QIcon>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QSettings>
#include <QTimer>

#include <cstdlib>
#include <cstring>
#include <iostream>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

CCorvaneApp theApp;

CCorvaneApp::CCorvaneApp()
{
    std::memset(m_szStartUrl, 0, sizeof m_szStartUrl);
}

CCorvaneApp::~CCorvaneApp() = default;

int CCorvaneApp::Run(int argc, char **argv)
{
    // The engine's start-up dump is for its developers; a user's own rules win.
    // (QT_LOGGING_RULES is read when Qt's libraries load, before main().)
    if (!qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
#ifndef Q_OS_WIN
    // The engine's sandbox refuses to run as root; turn it off only then.
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        std::cerr << "kelumo: running as root, the web engine's sandbox is turned off\n";
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
#endif
    trace("start");
#ifdef KELUMO_HAVE_FONTCONFIG
    // Ready by the time the login dialog is built.
    LaunchWarmUp warmUp(kelumo::fontFamily, chineseCatalogFiles(), KELUMO_FONT_FILE);
#endif
    BrowserModuleLoader::chooseShareContextPath();
    QApplication app(argc, argv);
    installChineseTranslations(&app);
    QCoreApplication::setOrganizationName(QString::fromUtf8(registryKey));
    QCoreApplication::setApplicationName(QString::fromUtf8(title));
    QFont font(QString::fromUtf8(kelumo::fontFamily));
    font.setPointSize(9);
    QApplication::setFont(font);

#ifdef KELUMO_HAVE_FONTCONFIG
    warmUp.waitForFontConfiguration();
#endif
    int code = 0;
    if (InitInstance())
        code = QApplication::exec();
    else
        code = m_exitCode;
    ExitInstance();
    return code;
}

bool CCorvaneApp::InitInstance()
{
    InitAppFolder();
    CLogin::PreloadImages(QString::fromLocal8Bit(m_szAppFolder.c_str()));
    LoginServiceLoader::setModulePath(QString::fromLocal8Bit(m_szAppFolder.c_str()) +
                                      QStringLiteral(KELUMO_SERVICE_MODULE_FILE));
    m_browser = std::make_unique<BrowserModuleLoader>(QString::fromLocal8Bit(m_szAppFolder.c_str()) +
                                                      QStringLiteral(KELUMO_BROWSER_MODULE_FILE));

    {
        CLogin login;
        login.SetStartUrlBuffer(GetStartUrl());
        login.SetProgramFolder(QString::fromLocal8Bit(m_szAppFolder.c_str()));
        login.SetFallbackFolder(SignInFile::userFolder());
        m_signIn = SignInSettings::fromEnvironment();
        login.SetSettings(m_signIn);
        // A login waits for the service and the way out to it.
        login.HoldLogins(true);
        m_login = &login;
        // While the user types, the login service and then the browser module
        // and its engine come up behind the dialog, so the start page does
        // not wait for them after the login. Nothing of it is shown, and
        // nothing written, before the sign-in succeeds.
        QObject::connect(&login, &CLogin::firstPainted, &login, [this, &login] {
            trace("dialog painted");
            QTimer::singleShot(0, &login, [this] {
                // The icon is for the task bar and the main window: decoded
                // once the frameless dialog is on screen, not before.
                QApplication::setWindowIcon(QIcon(QStringLiteral(":/kelumo/kelumo.png")));
                StartLoginService();
            });
        });
        QObject::connect(&login, &CLogin::loginStarted, [] { trace("login command"); });
        const int result = login.DoModal();
        m_login = nullptr;
        if (result != CLogin::IDOK)
            return false;
    }
    trace("signed in");

    QSettings settings;
    m_recentFiles.ReadList(settings);

    QStringList arguments = QCoreApplication::arguments();
    if (!ProcessShellCommand(arguments))
        return false;

    m_frame->setWindowTitle(QString::fromUtf8(title));
    m_browser->module()->ShowMainWindow();
    return true;
}

void CCorvaneApp::StartLoginService()
{
    // The service's libraries (SOAP, TLS, Qt Network) load, and the system is
    // asked for a proxy (a PAC script may take a while), on a thread of their
    // own: the dialog goes on taking keys meanwhile.
    m_serviceStart = std::thread([this, endpoint = m_signIn.endpoint] {
        LoginService *service = loginService();
        std::optional<ProxySetting> proxy;
        if (service)
            proxy = service->proxyFor(endpoint);
        QMetaObject::invokeMethod(
            qApp, [this, service, proxy] { OnLoginServiceReady(service, proxy); }, Qt::QueuedConnection);
    });
}

void CCorvaneApp::OnLoginServiceReady(LoginService *service, const std::optional<ProxySetting> &proxy)
{
    // The dialog ended meanwhile: nothing left to prepare.
    if (!m_login)
        return;
    // One way out for the login call and the pages, before the engine comes up.
    if (service) {
        m_signIn.proxy = proxy;
        m_login->SetSettings(m_signIn);
        service->applyToPages(proxy);
    }
    m_login->HoldLogins(false);
    PrepareMainWindow();
}

int CCorvaneApp::ExitInstance()
{
    if (m_serviceStart.joinable())
        m_serviceStart.join();
    // The frame exists only after a sign-in: a cancel writes nothing.
    if (m_frame) {
        QSettings settings;
        m_recentFiles.WriteList(settings);
    }
    m_frame = nullptr;
    // The module's frame, view and profiles go with it, before the application.
    m_browser.reset();
    m_doc.reset();
    return 0;
}

bool CCorvaneApp::CreateMainWindow()
{
    const QString folder = QString::fromLocal8Bit(m_szAppFolder.c_str());
    MainWindowModule *module = m_browser->waitUntilPrepared(GetStartUrl(), folder);
    m_browser->stopProbe();
    QWidget *frame = module ? module->CreateMainWindow(this) : nullptr;
    if (!frame) {
        // Kept silent behind the dialog; said now that the user is signed in.
        std::cerr << "kelumo: the browser module did not start: "
                  << (module ? "the main window could not be made" : qPrintable(m_browser->error())) << '\n';
        const QString text = QStringLiteral("无法启动浏览器组件，程序将退出。请重新安装Kelumo大数据。");
        trace("message", text.toStdString());
        QMessageBox::critical(nullptr, QString::fromUtf8(title), text);
        m_exitCode = 1;
        return false;
    }
    m_frame = frame;
    m_doc = std::make_unique<CCorvaneDoc>();
    QObject::connect(m_doc.get(), &CCorvaneDoc::initialUpdate, m_frame, [module] { module->OnInitialUpdate(); });
    return true;
}

void CCorvaneApp::PrepareMainWindow()
{
    m_browser->start(GetStartUrl(), QString::fromLocal8Bit(m_szAppFolder.c_str()));
}

bool CCorvaneApp::ProcessShellCommand(const QStringList &arguments)
{
    const CommandLine command = CommandLine::parse(arguments);
    if (!m_frame && !CreateMainWindow())
        return false;
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
