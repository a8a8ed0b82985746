#include "app/LaunchSequence.h"

#include "app/BrowserModuleLoader.h"
#include "app/LoginServiceLoader.h"
#include "app/SingleInstance.h"
#include "base/LoginService.h"
#include "base/Trace.h"
#include "signin/CLogin.h"
#include "signin/SignInFile.h"
#include "signin/keyring/SecretKeyring.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>

LaunchSequence::LaunchSequence(const QString &programFolder, char *startUrlBuffer)
    : m_programFolder(programFolder), m_startUrl(startUrlBuffer)
{
}

LaunchSequence::~LaunchSequence()
{
    // First: a launch from now on starts a client of its own.
    m_instance.reset();
    // A store still under way is cancelled: data.dat kept the password.
    m_keyring.reset();
    // Only when the program ends while the service still loads (a quick cancel).
    if (m_serviceStart.joinable())
        m_serviceStart.join();
    // The module's frame, view and profiles go with it, before the application.
    m_browser.reset();
}

bool LaunchSequence::run(const std::function<bool()> &showMainWindow)
{
    // 0. Another client running? (user-interface thread, before any window.)
    if (anotherClientTookOver())
        return false;

    // 1. The login dialog (user-interface thread, modal). Its images are read
    //    on a thread while it is built; steps 2 to 4 run while it is up.
    CLogin::PreloadImages(m_programFolder);
    LoginServiceLoader::setModulePath(m_programFolder + QStringLiteral(KELUMO_SERVICE_MODULE_FILE));
    m_browser = std::make_unique<BrowserModuleLoader>(m_programFolder + QStringLiteral(KELUMO_BROWSER_MODULE_FILE));
    CLogin login;
    login.SetStartUrlBuffer(m_startUrl);
    login.SetProgramFolder(m_programFolder);
    login.SetFallbackFolder(SignInFile::userFolder());
    // Asked by the dialog once it is painted, on a thread of its own.
    m_keyring = std::make_unique<SecretKeyring>();
    login.SetKeyring(m_keyring.get());
    m_signIn = SignInSettings::fromEnvironment();
    login.SetSettings(m_signIn);
    // A login asked for before step 3 waits for it.
    login.HoldLogins(true);
    m_login = &login;

    // 2. Dialog painted (user-interface thread, once its first paint has gone
    //    to the display): the login service starts on a thread of its own.
    connect(&login, &CLogin::firstPainted, this, &LaunchSequence::onDialogPainted);

    // 3. Login service ready (posted from that thread to the user-interface
    //    thread): the proxy is applied, held logins go ahead and the browser
    //    module starts loading: see onLoginServiceReady().

    // 4. Browser module loaded (its libraries and the engine's share context
    //    on a worker thread); prepared at the login command (the engine's
    //    start, on the user-interface thread, while the call is out): only
    //    step 6 waits for it.

    // 5. Signed in: the dialog ends with OK once the sign-in worker has
    //    written the start address.
    if (traceEnabled())
        connect(&login, &CLogin::loginStarted, this, [] { trace("login command"); });
    // The engine starts at the login command, on the next turn: the dialog
    // has saved the sign-in by then, and the user waits for the call anyway.
    connect(&login, &CLogin::loginStarted, m_browser.get(), &BrowserModuleLoader::prepareNow, Qt::QueuedConnection);
    const int result = login.DoModal();
    m_login = nullptr;
    if (result != CLogin::IDOK)
        return false;
    trace("signed in");

    // 6. Main window shown (user-interface thread): waits for step 4.
    return showMainWindow();
}

bool LaunchSequence::anotherClientTookOver()
{
    m_instance = std::make_unique<SingleInstance>(sessionHandOverName());
    switch (m_instance->claim(SingleInstance::thisLaunch(QCoreApplication::arguments()))) {
    case SingleInstance::Outcome::HandedOver:
        trace("handed over");
        m_instance.reset();
        return true;
    case SingleInstance::Outcome::First:
        connect(m_instance.get(), &SingleInstance::handedOver, this, &LaunchSequence::onHandOver);
        m_instance->listen();
        return false;
    case SingleInstance::Outcome::Alone:
        break;
    }
    m_instance.reset();
    return false;
}

void LaunchSequence::onHandOver(const HandOver &handOver)
{
    trace("launch handed over");
    // Qt's Wayland shell spends it on the next activation.
    if (!handOver.activationToken.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", handOver.activationToken);
    if (m_login)
        bringToFront(m_login);
    emit launchHandedOver(handOver);
}

void LaunchSequence::bringToFront(QWidget *window)
{
    if (!window || !window->isVisible())
        return;
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->raise();
    window->activateWindow();
    // A box or dialog over it is what the user answers first.
    if (QWidget *modal = QApplication::activeModalWidget(); modal && modal != window && modal->isVisible()) {
        modal->raise();
        modal->activateWindow();
    }
}

void LaunchSequence::onDialogPainted()
{
    trace("dialog painted");
    // On the next turn: the paint that was traced reaches the screen first.
    QTimer::singleShot(0, this, [this] {
        // The icon is for the task bar and the main window: decoded once the
        // frameless dialog is on screen, not before.
        QApplication::setWindowIcon(QIcon(QStringLiteral(":/kelumo/kelumo.png")));
        // The service's libraries (SOAP, TLS, Qt Network) load, and the system
        // is asked for a proxy (a PAC script may take a while), off the
        // dialog's thread: it goes on taking keys meanwhile.
        m_serviceStart = std::thread([this, endpoint = m_signIn.endpoint] {
            LoginService *service = loginService();
            std::optional<ProxySetting> proxy;
            if (service)
                proxy = service->proxyFor(endpoint);
            QMetaObject::invokeMethod(
                this, [this, service, proxy] { onLoginServiceReady(service, proxy); }, Qt::QueuedConnection);
        });
    });
}

void LaunchSequence::onLoginServiceReady(LoginService *service, const std::optional<ProxySetting> &proxy)
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
    m_browser->start(m_startUrl, m_programFolder);
}

MainWindowModule *LaunchSequence::waitForBrowserModule()
{
    MainWindowModule *module = m_browser->waitUntilPrepared(m_startUrl, m_programFolder);
    m_browser->stopProbe();
    return module;
}

QString LaunchSequence::browserModuleError() const
{
    return m_browser->error();
}
