#include "signin/CLogin.h"

#include "base/KelumoConfig.h"

#include "auth/ProxyLoginDlg.h"
#include "signin/BitmapButton.h"
#include "signin/DoubleImages.h"
#include "signin/ImagePreload.h"
#include "base/GbkText.h"
#include "signin/LoginKeys.h"
#include "signin/LoginLook.h"
#include "signin/LoginTemplate.h"
#include "signin/MyOPCStatic.h"
#include "signin/SignInFile.h"
#include "signin/SignInRules.h"
#include "base/Trace.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include <utility>

namespace {

constexpr const char *accountPrompt = "请输入帐号信息！";
constexpr const char *passwordPrompt = "请输入账号密码！";
constexpr const char *loginHoverPrompt = "点击登录咨询信息中心";

constexpr const char *loginNormalImage = ":/kelumo/login_normal.bmp";
constexpr const char *loginPressedImage = ":/kelumo/login_pressed.bmp";
constexpr const char *quitNormalImage = ":/kelumo/quit_normal.bmp";
constexpr const char *quitPressedImage = ":/kelumo/quit_pressed.bmp";
// In the program folder.
constexpr const char *pictureFile = "Res/LoginBG.bmp";

std::string gbkOf(const QString &text)
{
    return utf8ToGbk(text.toStdString());
}

} // namespace

CLogin::CLogin(QWidget *parent) : QDialog(parent), m_settings(SignInSettings::builtIn())
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QString::fromUtf8(kelumo::productName));
    setFixedSize(loginDialogSize);
    // The dialog itself holds the focus when no control has it, so that Enter
    // and Escape still work, but it is no Tab stop: Tab visits the controls only.
    setFocusPolicy(Qt::NoFocus);
    QFont font(QString::fromUtf8(kelumo::fontFamily));
    font.setPixelSize(12);
    setFont(font);
    buildControls();
    // A child, so that whoever holds the dialog can find its session.
    m_session.setParent(this);
    m_session.setObjectName(QStringLiteral("signInSession"));
    m_session.setSettings(m_settings);
    connect(&m_session, &SignInSession::messageRequested, this, &CLogin::showMessage);
    m_session.setProxyPrompt([this](const ProxyQuestion &question) { return askProxy(question); });
    connect(&m_session, &SignInSession::finished, this, [this] { OnLoginFinished(0, 0); });
    // A turn later: the first paint is on the display before anything else starts.
    connect(this, &CLogin::firstPainted, this, [this] { QTimer::singleShot(0, this, &CLogin::askKeyring); });
}

CLogin::~CLogin() = default;

const char *CLogin::defaultPrompt()
{
    return "欢迎使用Kelumo大数据";
}

void CLogin::buildControls()
{
    const LoginControls controls = buildLoginControls(this);
    m_btnLogin = controls.login;
    m_editAccount = controls.account;
    m_editPassword = controls.password;
    m_tip = controls.tip;
    m_btnQuit = controls.quit;
    m_btnForgot = controls.forgot;
    m_btnCannotLogin = controls.cannotLogin;
    m_btnContact = controls.contact;
    m_checkRemember = controls.remember;
    m_editCompany = controls.company;
    setStyleSheet(loginStyleSheet());

    connect(m_btnLogin, &QAbstractButton::clicked, this, [this] { OnLogin(); });
    connect(m_btnLogin, &BitmapButton::hoverChanged, this,
            [this](bool entering) { prompt(entering ? loginHoverPrompt : defaultPrompt()); });
    connect(m_btnQuit, &QAbstractButton::clicked, this, [this] { done(IDCANCEL); });
    connect(m_btnForgot, &QAbstractButton::clicked, this, [this] { openHelpPage("/getpwd"); });
    connect(m_btnCannotLogin, &QAbstractButton::clicked, this, [this] { openHelpPage("/services"); });
    connect(m_btnContact, &QAbstractButton::clicked, this, [this] { openHelpPage("/contact_us"); });
    m_editAccount->installEventFilter(this);
    m_editPassword->installEventFilter(this);
    setAccessibleTexts();
    setKeyboardOrder();
}

void CLogin::PreloadImages(const QString &programFolder)
{
    ImagePreload::start({programFolder + QLatin1String(pictureFile), QLatin1String(loginNormalImage),
                         QLatin1String(loginPressedImage), QLatin1String(quitNormalImage),
                         QLatin1String(quitPressedImage)});
}

void CLogin::SetStartUrlBuffer(char *buffer)
{
    m_session.setStartUrlBuffer(buffer);
}

void CLogin::SetSettings(const SignInSettings &settings)
{
    m_settings = settings;
    m_session.setSettings(settings);
    m_remembered.setSavingAllowed(settings.passwordSavingAllowed);
    // An administrator forbids remembering: the box says so and cannot change it.
    if (!settings.passwordSavingAllowed)
        m_checkRemember->setChecked(false);
    m_checkRemember->setEnabled(settings.passwordSavingAllowed);
}

void CLogin::SetKeyring(PasswordKeyring *keyring)
{
    m_remembered.setKeyring(keyring);
}

void CLogin::SetProgramFolder(const QString &folder)
{
    m_programFolder = folder;
}

void CLogin::SetFallbackFolder(const QString &folder)
{
    m_fallbackFolder = folder;
}

int CLogin::DoModal()
{
    // Placed before its window exists, so that the window is made and mapped
    // where it is to be: moved after it is made, a window manager that reparents
    // it can leave Qt believing it is at the screen's corner, and its message
    // boxes then open there.
    placeCentred();
    return exec();
}

void CLogin::placeCentred()
{
    if (m_placed)
        return;
    m_placed = true;
    if (const QScreen *where = screen())
        move(where->availableGeometry().center() - rect().center());
}

void CLogin::showEvent(QShowEvent *event)
{
    if (!m_initialised) {
        m_initialised = true;
        // Centred on the screen by the dialog itself, not left to a window
        // manager: its message boxes are placed over where it really is.
        placeCentred();
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

bool CLogin::OnInitDialog()
{
    m_btnLogin->LoadBitmaps(QLatin1String(loginNormalImage), QLatin1String(loginPressedImage),
                            QLatin1String(loginPressedImage));
    m_btnQuit->LoadBitmaps(QLatin1String(quitNormalImage), QLatin1String(quitPressedImage),
                           QLatin1String(quitPressedImage));
    m_szBgPath = m_programFolder + QLatin1String(pictureFile);
    const bool loaded = LoadSignIn();
    // With a saved sign-in the focus goes to the first control, the login
    // button, so Enter logs in at once; without one no control has it.
    if (loaded)
        m_btnLogin->setFocus(Qt::OtherFocusReason);
    else
        setFocus(Qt::OtherFocusReason);
    return loaded;
}

bool CLogin::LoadSignIn()
{
    m_szDataPath = SignInFile::locate(m_programFolder, m_fallbackFolder);
    SignInFile::Contents contents;
    if (!SignInFile::load(m_szDataPath, contents))
        return false;
    if (!m_settings.passwordSavingAllowed) {
        // What an earlier run remembered goes: the file now, the keyring
        // once the dialog is painted.
        if (!contents.account.empty() || !contents.password.empty())
            RememberedSignIn::write(m_szDataPath, signin::SavedFile::Empty, {}, {});
        m_forgetAccount = contents.account;
        return true;
    }
    if (!contents.account.empty()) {
        m_editAccount->setText(QString::fromStdString(gbkToUtf8(contents.account)));
        m_editPassword->setText(QString::fromStdString(gbkToUtf8(contents.password)));
        m_checkRemember->setChecked(true);
        if (contents.password.empty())
            m_keyringAccount = contents.account;
    }
    return true;
}

void CLogin::askKeyring()
{
    if (!m_forgetAccount.empty())
        m_remembered.forget(std::exchange(m_forgetAccount, {}));
    if (m_keyringAccount.empty())
        return;
    const std::string account = std::exchange(m_keyringAccount, {});
    m_remembered.lookUp(account, [dialog = QPointer<CLogin>(this), account](const std::string &password) {
        // Not over what the user has typed meanwhile.
        if (dialog && gbkOf(dialog->m_editAccount->text()) == account && dialog->m_editPassword->text().isEmpty()) {
            dialog->m_editPassword->setText(QString::fromStdString(gbkToUtf8(password)));
            trace("password filled");
        }
    });
}

void CLogin::SaveSignIn(const std::string &account, const std::string &password, bool remember)
{
    m_szDataPath = SignInFile::locate(m_programFolder, m_fallbackFolder);
    m_remembered.save(m_szDataPath, account, password, remember);
}

void CLogin::HoldLogins(bool hold)
{
    m_loginsHeld = hold;
    if (!hold && m_loginAsked) {
        m_loginAsked = false;
        OnLogin();
    }
}

void CLogin::OnLogin()
{
    if (m_loginsHeld) {
        m_loginAsked = true;
        return;
    }
    const std::string account = gbkOf(m_editAccount->text());
    const std::string password = gbkOf(m_editPassword->text());
    const SignInSession::Outcome outcome = m_session.begin(gbkOf(m_editCompany->text()), account, password);
    switch (outcome.begun) {
    case SignInSession::Begun::InFlight:
        return;
    case SignInSession::Begun::Refused:
        prompt(outcome.prompt);
        return;
    case SignInSession::Begun::NoThread:
        QMessageBox::warning(this, QString::fromUtf8(signin::messageCaption),
                             QString::fromUtf8(signin::connectFailedMessage));
        return;
    case SignInSession::Begun::Started:
        break;
    }
    emit loginStarted();

    SaveSignIn(account, password, m_checkRemember->isChecked());
}

long CLogin::OnLoginFinished(quintptr, qintptr)
{
    m_session.waitForWorker();
    done(IDOK);
    return 1;
}

void CLogin::done(int result)
{
    if (result != IDOK)
        m_session.cancel();
    QDialog::done(result);
}

void CLogin::reject()
{
    done(IDCANCEL);
}

void CLogin::showMessage(const QString &text)
{
    trace("message", text.toStdString());
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(signin::messageCaption), text, QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("signInMessage"));
    box.exec();
}

std::optional<ProxyAnswer> CLogin::askProxy(const ProxyQuestion &question)
{
    // The moment only: neither the names nor what is typed are traced.
    trace("proxy credentials asked", question.proxyHost);
    ProxyLoginDlg dialog(QString::fromStdString(question.proxyHost), QString::fromStdString(question.previousUser),
                         this);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return ProxyAnswer{dialog.user().toStdString(), dialog.password().toStdString()};
}

void CLogin::prompt(const char *utf8)
{
    trace("prompt", utf8);
    m_tip->SetText(utf8ToGbk(utf8).c_str());
}

void CLogin::openHelpPage(const char *path)
{
    QDesktopServices::openUrl(QUrl(QString::fromStdString(m_settings.site) + QLatin1String(path)));
}

void CLogin::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintLoginBackdrop(painter, *this,
                       loadLoginPicture(m_szBgPath, devicePixelRatioF(),
                                        QByteArrayLiteral(KELUMO_SHIPPED_LOGINBG_SHA256)));
    if (!m_painted) {
        m_painted = true;
        // Said once the whole first paint is on screen: the controls are
        // painted after the dialog itself, then it all goes to the display.
        QTimer::singleShot(0, this, &CLogin::firstPainted);
    }
}

void CLogin::keyPressEvent(QKeyEvent *event)
{
    if (!actOnKey(event, false))
        QDialog::keyPressEvent(event);
}

void CLogin::keyReleaseEvent(QKeyEvent *event)
{
    if (!actOnKey(event, true))
        QDialog::keyReleaseEvent(event);
}

bool CLogin::actOnKey(QKeyEvent *event, bool released)
{
    const QWidget *focused = focusWidget();
    switch (signin::dialogKeyAction(event->key(), released, event->isAutoRepeat(), !focused || focused == this)) {
    case signin::KeyAction::PassOn:
        return false;
    case signin::KeyAction::Swallow:
        break;
    case signin::KeyAction::Login:
        OnLogin();
        break;
    case signin::KeyAction::Cancel:
        done(IDCANCEL);
        break;
    }
    event->accept();
    return true;
}

bool CLogin::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn)
        prompt(watched == m_editAccount ? accountPrompt : passwordPrompt);
    else if (event->type() == QEvent::FocusOut)
        prompt(defaultPrompt());
    return QDialog::eventFilter(watched, event);
}
