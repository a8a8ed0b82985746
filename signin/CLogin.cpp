#include "signin/CLogin.h"

#include "base/KelumoConfig.h"

#include "signin/BitmapButton.h"
#include "signin/DoubleImages.h"
#include "signin/ImagePreload.h"
#include "base/GbkText.h"
#include "signin/LoginParams.h"
#include "signin/MyOPCStatic.h"
#include "signin/SignInFile.h"
#include "signin/SignInRules.h"
#include "base/Trace.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>

namespace {

// The dialog's template, in pixels at 96 DPI.
constexpr QSize dialogSize(609, 278);
constexpr QRect loginRect(517, 200, 78, 26);
constexpr QRect accountRect(57, 201, 135, 24);
constexpr QRect passwordRect(252, 201, 133, 24);
constexpr QRect tipRect(27, 250, 342, 21);
constexpr QRect quitRect(579, 10, 15, 16);
constexpr QRect forgotRect(375, 244, 66, 23);
constexpr QRect cannotLoginRect(450, 244, 64, 23);
constexpr QRect contactRect(522, 244, 64, 23);
constexpr QRect rememberRect(480, 206, 12, 13);
constexpr QRect companyRect(152, 42, 94, 20);

constexpr const char *accountPrompt = "请输入帐号信息！";
constexpr const char *passwordPrompt = "请输入账号密码！";
constexpr const char *loginHoverPrompt = "点击登录咨询信息中心";
constexpr const char *initialPrompt = "请输入账号";

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
    setFixedSize(dialogSize);
    // The dialog itself holds the focus when no control has it, so that Enter
    // and Escape still work, but it is no Tab stop: Tab visits the controls only.
    setFocusPolicy(Qt::NoFocus);
    QFont font(QString::fromUtf8(kelumo::fontFamily));
    font.setPixelSize(12);
    setFont(font);
    buildControls();
    m_session.setSettings(m_settings);
    connect(&m_session, &SignInSession::messageRequested, this, &CLogin::showMessage);
    connect(&m_session, &SignInSession::finished, this, [this] { OnLoginFinished(0, 0); });
}

CLogin::~CLogin() = default;

const char *CLogin::defaultPrompt()
{
    return "欢迎使用Kelumo大数据";
}

void CLogin::buildControls()
{
    // Created in the template's order; Tab goes as setKeyboardOrder() says.
    m_btnLogin = new BitmapButton(this);
    m_btnLogin->setObjectName(QStringLiteral("login"));
    m_btnLogin->setText(QStringLiteral("登 录"));
    m_btnLogin->setGeometry(loginRect);

    m_editAccount = new QLineEdit(this);
    m_editAccount->setObjectName(QStringLiteral("account"));
    m_editAccount->setGeometry(accountRect);

    m_editPassword = new QLineEdit(this);
    m_editPassword->setObjectName(QStringLiteral("password"));
    m_editPassword->setEchoMode(QLineEdit::Password);
    m_editPassword->setGeometry(passwordRect);

    m_tip = new MyOPCStatic(this);
    m_tip->setObjectName(QStringLiteral("tip"));
    m_tip->setGeometry(tipRect);
    m_tip->setText(QString::fromUtf8(initialPrompt));

    m_btnQuit = new BitmapButton(this);
    m_btnQuit->setObjectName(QStringLiteral("quit"));
    m_btnQuit->setText(QStringLiteral("ButtonQuit"));
    m_btnQuit->setToolTip(QStringLiteral("退出"));
    m_btnQuit->setGeometry(quitRect);

    auto helpButton = [this](const char *name, const char *text, const QRect &rect) {
        auto *button = new QPushButton(QString::fromUtf8(text), this);
        button->setObjectName(QLatin1String(name));
        button->setGeometry(rect);
        // Enter on a focused help button opens its page, as Enter does on any
        // focused push button.
        button->setAutoDefault(true);
        button->setCursor(Qt::PointingHandCursor);
        return button;
    };
    m_btnForgot = helpButton("forgotPassword", "忘记密码", forgotRect);
    m_btnCannotLogin = helpButton("cannotLogin", "无法登陆", cannotLoginRect);
    m_btnContact = helpButton("contactService", "联系客服", contactRect);

    m_checkRemember = new QCheckBox(this);
    m_checkRemember->setObjectName(QStringLiteral("remember"));
    m_checkRemember->setToolTip(QStringLiteral("记住账号和密码"));
    m_checkRemember->setGeometry(rememberRect);

    // Never shown nor enabled: what it holds (nothing) is sent as the company.
    m_editCompany = new QLineEdit(this);
    m_editCompany->setObjectName(QStringLiteral("company"));
    m_editCompany->setGeometry(companyRect);
    m_editCompany->setEnabled(false);
    m_editCompany->hide();

    // Texts drawn on the picture's dark lower panel. Only the dialog's own
    // buttons: the message boxes it owns would inherit light text on grey.
    setStyleSheet(QStringLiteral(
        "CLogin > QPushButton { color: #dde6ee; background: transparent; border: 1px solid rgba(185,211,226,90);"
        " border-radius: 3px; }"
        "CLogin > QPushButton:hover { background: rgba(255,255,255,30); }"
        "CLogin > QPushButton:pressed { background: rgba(255,255,255,60); }"
        "CLogin > QPushButton:focus { border-color: #b9d3e2; }"
        "MyOPCStatic { color: #b9d3e2; }"
        "QLineEdit { border: 1px solid #7f9db9; background: white; color: black; padding: 0 3px; }"
        "QLineEdit:focus { border-color: #2a8bd0; }"));

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
    m_pStartUrl = buffer;
    m_session.setStartUrlBuffer(buffer);
}

void CLogin::SetSettings(const SignInSettings &settings)
{
    m_settings = settings;
    m_session.setSettings(settings);
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
    if (!contents.account.empty()) {
        m_editAccount->setText(QString::fromStdString(gbkToUtf8(contents.account)));
        m_editPassword->setText(QString::fromStdString(gbkToUtf8(contents.password)));
        m_checkRemember->setChecked(true);
    }
    return true;
}

void CLogin::SaveSignIn(const std::string &account, const std::string &password, bool remember)
{
    m_szDataPath = SignInFile::locate(m_programFolder, m_fallbackFolder);
    SignInFile::save(m_szDataPath, account, password, remember);
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
    if (!m_session.tryBegin())
        return;

    const std::string account = gbkOf(m_editAccount->text());
    const std::string password = gbkOf(m_editPassword->text());
    const std::string company = signin::cutCompany(gbkOf(m_editCompany->text()));

    const signin::CheckResult check = signin::checkCredentials(account, password);
    if (check != signin::CheckResult::Accepted) {
        prompt(signin::checkPrompt(check));
        m_session.abandon();
        return;
    }

    g_loginParams.account = account;
    g_loginParams.password = password;
    g_loginParams.company = company;

    if (!m_session.start(company, account, password)) {
        QMessageBox::warning(this, QString::fromUtf8(signin::messageCaption),
                             QString::fromUtf8(signin::connectFailedMessage));
        return;
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
    const QPixmap picture =
        loadLoginPicture(m_szBgPath, devicePixelRatioF(), QByteArrayLiteral(KELUMO_SHIPPED_LOGINBG_SHA256));
    if (!picture.isNull()) {
        painter.drawPixmap(rect(), picture);
    } else {
        // No picture beside the program: a plain field with the product name.
        QLinearGradient gradient(0, 0, width(), height());
        gradient.setColorAt(0, QColor(0x0b, 0x2a, 0x4a));
        gradient.setColorAt(1, QColor(0x0a, 0x21, 0x36));
        painter.fillRect(rect(), gradient);
        QFont title = font();
        title.setPixelSize(36);
        title.setBold(true);
        painter.setFont(title);
        painter.setPen(Qt::white);
        painter.drawText(QRect(40, 40, width() - 80, 90), Qt::AlignLeft | Qt::AlignVCenter,
                         QString::fromUtf8(kelumo::productName));
    }
    // A thin edge around the borderless window.
    painter.setPen(QColor(0, 0, 0, 140));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (!m_painted) {
        m_painted = true;
        // Said once the whole first paint is on screen: the controls are
        // painted after the dialog itself, then it all goes to the display.
        QTimer::singleShot(0, this, &CLogin::firstPainted);
    }
}

void CLogin::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!event->isAutoRepeat())
            OnLogin();
        event->accept();
        return;
    case Qt::Key_Escape:
        done(IDCANCEL);
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void CLogin::keyReleaseEvent(QKeyEvent *event)
{
    // Only releases that reach the dialog window itself (no control has the
    // focus); the in-flight guard keeps a press and its release to one login.
    const QWidget *focused = focusWidget();
    if (!event->isAutoRepeat() && (!focused || focused == this)) {
        if (event->key() == Qt::Key_Escape) {
            done(IDCANCEL);
            return;
        }
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            OnLogin();
            return;
        }
    }
    QDialog::keyReleaseEvent(event);
}

bool CLogin::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn)
        prompt(watched == m_editAccount ? accountPrompt : passwordPrompt);
    else if (event->type() == QEvent::FocusOut)
        prompt(defaultPrompt());
    return QDialog::eventFilter(watched, event);
}
