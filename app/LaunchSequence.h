#pragma once

#include "app/HandOver.h"
#include "base/ProxySetting.h"
#include "signin/SignInSettings.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <thread>

class BrowserModuleLoader;
class CLogin;
class LoginService;
class MainWindowModule;
class SecretKeyring;
class QWidget;
class SingleInstance;

// The launch, from the first window to the main window, in the order the
// user meets it. run() lists the steps; each one says on which thread it runs
// and what the next one waits for. What comes up behind the login dialog (the
// login service, the browser module and its engine) is invisible and writes
// nothing before the sign-in succeeds.
class LaunchSequence final : public QObject
{
    Q_OBJECT

public:
    // `programFolder` ends in '/'; the sign-in writes the start address into
    // `startUrlBuffer` (500 bytes, owned by the caller for the whole run).
    LaunchSequence(const QString &programFolder, char *startUrlBuffer);
    ~LaunchSequence() override;

    LaunchSequence(const LaunchSequence &) = delete;
    LaunchSequence &operator=(const LaunchSequence &) = delete;

    // The steps, in order, on the user-interface thread. `showMainWindow` is
    // the last one. False when the program ends before the main window: the
    // dialog was cancelled, or the main window could not be shown.
    bool run(const std::function<bool()> &showMainWindow);

    // The browser module once prepared, waiting for it if it is not yet; null
    // when it failed, with the reason in browserModuleError().
    MainWindowModule *waitForBrowserModule();
    QString browserModuleError() const;

    // Raises and activates `window`, shown again if it was minimised.
    static void bringToFront(QWidget *window);

signals:
    // A later launch handed its command line to this client (the login
    // dialog, while up, has already come to the front).
    void launchHandedOver(const HandOver &handOver);

private:
    bool anotherClientTookOver();
    void onHandOver(const HandOver &handOver);
    void onDialogPainted();
    void onLoginServiceReady(LoginService *service, const std::optional<ProxySetting> &proxy);

    const QString m_programFolder;
    char *const m_startUrl;
    // The login dialog while it is open, and what it was handed.
    QPointer<CLogin> m_login;
    SignInSettings m_signIn;
    // Loads the login service module and asks for the proxy.
    std::thread m_serviceStart;
    // The remembered password's keyring; its answers may come after the dialog.
    std::unique_ptr<SecretKeyring> m_keyring;
    // Loads the browser module and owns what it made.
    std::unique_ptr<BrowserModuleLoader> m_browser;
    // The name later launches hand over to, while this client has it.
    std::unique_ptr<SingleInstance> m_instance;
};
