#pragma once

#include "signin/RememberedSignIn.h"
#include "signin/SignInSession.h"
#include "signin/SignInSettings.h"

#include <QDialog>

#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;
class BitmapButton;
class MyOPCStatic;
class PasswordKeyring;

// The login dialog: a borderless window over a picture, with the account and
// password fields, the remember box, the login and quit buttons, three help
// buttons and a prompt line. Ends with 1 after a successful login, 2 otherwise.
// The view of the sign-in: its session owns the in-flight guard, the worker
// and the run.
class CLogin : public QDialog
{
    Q_OBJECT

public:
    enum Result { IDOK = 1, IDCANCEL = 2 };

    explicit CLogin(QWidget *parent = nullptr);
    ~CLogin() override;

    // The application's 500-byte start-address buffer; the worker writes it.
    void SetStartUrlBuffer(char *buffer);
    // The program folder, ending in '/': the picture and the saved sign-in live there.
    void SetProgramFolder(const QString &folder);
    // Where the saved sign-in goes when the program folder is not writable.
    void SetFallbackFolder(const QString &folder);
    // The service and site addresses and the call's limits.
    void SetSettings(const SignInSettings &settings);
    // Where the remembered password is kept when the desktop has a keyring;
    // not owned, and it outlives the dialog. Without one, data.dat alone.
    void SetKeyring(PasswordKeyring *keyring);

    int DoModal();

    // The login command: the login button, Enter.
    virtual void OnLogin();
    // The worker's completion; waits for it to end and closes with IDOK.
    virtual long OnLoginFinished(quintptr wParam, qintptr lParam);

    bool LoadSignIn();
    void SaveSignIn(const std::string &account, const std::string &password, bool remember);

    void done(int result) override;
    void reject() override;

    static const char *defaultPrompt();
    // Starts reading the dialog's images on another thread, so that its first
    // paint finds them ready; `programFolder` ends in '/'.
    static void PreloadImages(const QString &programFolder);
    // While held, a login asked for (Enter, the login button) waits, and
    // starts when the hold ends; the program holds them until the login
    // service is loaded and the proxy decided.
    void HoldLogins(bool hold);

signals:
    // Once, when the dialog and its controls have first been painted and sent
    // to the display.
    void firstPainted();
    // A login passed the checks and its worker started.
    void loginStarted();

protected:
    virtual bool OnInitDialog();
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    // Names and descriptions for screen readers, and the Tab order
    // (LoginAccessibility.cpp).
    void setAccessibleTexts();
    void setKeyboardOrder();
    void placeCentred();
    void prompt(const char *utf8);
    void openHelpPage(const char *path);
    void showMessage(const QString &text);
    // The proxy refused the login call: its user name and password, asked.
    std::optional<ProxyAnswer> askProxy(const ProxyQuestion &question);
    // Enter and Escape on the dialog; false when the key is not the dialog's.
    bool actOnKey(QKeyEvent *event, bool released);
    // Once painted: the keyring is asked for the saved account's password,
    // which fills the empty field when it comes.
    void askKeyring();

    QLineEdit *m_editCompany = nullptr;
    QLineEdit *m_editAccount = nullptr;
    QLineEdit *m_editPassword = nullptr;
    MyOPCStatic *m_tip = nullptr;
    BitmapButton *m_btnLogin = nullptr;
    BitmapButton *m_btnQuit = nullptr;
    QString m_szBgPath;
    QString m_szDataPath;

    QCheckBox *m_checkRemember = nullptr;
    QPushButton *m_btnForgot = nullptr;
    QPushButton *m_btnCannotLogin = nullptr;
    QPushButton *m_btnContact = nullptr;
    QString m_programFolder;
    QString m_fallbackFolder;
    bool m_initialised = false;
    bool m_placed = false;
    bool m_loginsHeld = false;
    bool m_loginAsked = false;
    bool m_painted = false;
    SignInSettings m_settings;
    SignInSession m_session;
    RememberedSignIn m_remembered;
    // The saved account whose password is in the keyring, until asked for (GBK).
    std::string m_keyringAccount;
    // The account whose keyring item goes once the dialog is painted (passwords
    // may not be remembered).
    std::string m_forgetAccount;
};
