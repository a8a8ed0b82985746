#include "signin/CLogin.h"
#include "auth/ProxyLoginDlg.h"
#include "signin/DoubleImages.h"
#include "base/GbkText.h"
#include "signin/LoginParams.h"
#include "signin/SignInSession.h"
#include "tests/support/LoopbackPeer.h"
#include "tests/support/TestProxy.h"
#include "tests/support/BoxCloser.h"
#include "signin/MyOPCStatic.h"
#include "signin/PasswordKeyring.h"
#include "signin/PlainBmp.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QCryptographicHash>
#include <QDesktopServices>
#include <QEnterEvent>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <QDataStream>
#include <QDeadlineTimer>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>

using namespace std::string_literals;

namespace {

// Collects the addresses the dialog asks the desktop to open.
class UrlCatcher final : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

// A keyring in memory that answers on the next turn of the event loop, or
// fails as one that cannot be reached.
class FakeKeyring final : public PasswordKeyring
{
public:
    std::map<std::string, std::string> items;
    bool failing = false;
    int calls = 0;
    int answered = 0;

    bool available() const override { return !m_failed; }
    void lookup(const std::string &account, LookupDone done) override
    {
        later([this, account, done] {
            const auto it = items.find(account);
            done(status(it != items.end()), it != items.end() ? it->second : std::string());
        });
    }
    void store(const std::string &account, const std::string &password, Done done) override
    {
        later([this, account, password, done] {
            if (!failing)
                items[account] = password;
            if (done)
                done(status(true));
        });
    }
    void clear(const std::string &account, Done done) override
    {
        later([this, account, done] {
            if (!failing)
                items.erase(account);
            if (done)
                done(status(true));
        });
    }

private:
    void later(std::function<void()> call)
    {
        ++calls;
        QTimer::singleShot(0, qApp, [this, call = std::move(call)] {
            call();
            ++answered;
        });
    }
    Status status(bool found)
    {
        m_failed = m_failed || failing;
        return failing ? Status::Unavailable : found ? Status::Done : Status::NotFound;
    }
    bool m_failed = false;
};

} // namespace

using KeptItems = std::map<std::string, std::string>;
Q_DECLARE_METATYPE(KeptItems)

class TestLogin final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void answerTable_data();
    void answerTable();
    void throughTheProxy_data();
    void throughTheProxy();
    void successClosesWithStampedAddress();
    void requestCarriesTypedTexts();
    void enterStartsOneLogin_data();
    void enterStartsOneLogin();
    void secondCommandWhileInFlightSendsNothing();
    void refusedCheckThenValidLogin();
    void checksShowPrompts_data();
    void checksShowPrompts();
    void quitWhileServiceNeverAnswers();
    void queuedCompletion_data();
    void queuedCompletion();
    void escapeAndQuitCancel();
    void savedSignInFillsTheFields();
    void keyringFillsThePassword_data();
    void keyringFillsThePassword();
    void withoutSavedSignInNothingHasFocus();
    void loginSavesTheSignIn_data();
    void loginSavesTheSignIn();
    void focusAndHoverPrompts();
    void helpButtonsOpenSitePages_data();
    void helpButtonsOpenSitePages();
    void controlsAtTemplatePositions();
    void paintsWithoutPicture();
    void doublePictureOnScaledScreens_data();
    void doublePictureOnScaledScreens();
    void plainBmp_data();
    void plainBmp();

private:
    std::unique_ptr<CLogin> makeDialog(const std::string &endpoint = {},
                                       const std::optional<ProxySetting> &proxy = {},
                                       PasswordKeyring *keyring = nullptr);
    void typeCredentials(CLogin &dialog, const QString &account, const QString &password);

    std::unique_ptr<QTemporaryDir> m_folder;
    char m_startUrl[500] = {};
};

void TestLogin::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    std::memset(m_startUrl, 0, sizeof m_startUrl);
}

void TestLogin::cleanup()
{
    // Every worker ends (freeing its guard as it goes), also after the dialog is gone.
    QTRY_COMPARE_WITH_TIMEOUT(SignInSession::runningWorkers(), 0, 10000);
}

std::unique_ptr<CLogin> TestLogin::makeDialog(const std::string &endpoint, const std::optional<ProxySetting> &proxy,
                                              PasswordKeyring *keyring)
{
    auto dialog = std::make_unique<CLogin>();
    SignInSettings settings = SignInSettings::builtIn();
    settings.endpoint = endpoint;
    settings.proxy = proxy;
    settings.site = "http://127.0.0.1:9";
    dialog->SetSettings(settings);
    dialog->SetProgramFolder(m_folder->path() + "/");
    dialog->SetStartUrlBuffer(m_startUrl);
    dialog->SetKeyring(keyring);
    dialog->show();
    return dialog;
}

void TestLogin::typeCredentials(CLogin &dialog, const QString &account, const QString &password)
{
    dialog.findChild<QLineEdit *>("account")->setText(account);
    dialog.findChild<QLineEdit *>("password")->setText(password);
}

void TestLogin::answerTable_data()
{
    QTest::addColumn<std::string>("reply");
    QTest::addColumn<QString>("message");

    auto answer = [](const std::string &text) { return LoopbackPeer::httpReply(200, LoopbackPeer::answer(text)); };
    QTest::newRow("no ver") << answer("http://h/?lang=cn") << "版本错误";
    // The date comes back as GBK bytes carried one per character.
    QTest::newRow("expired") << answer("-12026\xc3\x84\xc3\xaa") << "您的帐号已于2026年过期，请与客服联系！";
    QTest::newRow("terminal not allowed") << answer("-4") << "本帐号不允许通过终端方式登陆，请与客服联系！";
    QTest::newRow("other minus code") << answer("-3") << "";
    QTest::newRow("wrong credentials") << answer("0") << "未通过服务器验证，请检查帐号、密码！";
    QTest::newRow("anything else") << answer("Hello") << "登录错误！";
    QTest::newRow("empty answer") << answer("") << "登录错误！";
    QTest::newRow("service fault")
        << LoopbackPeer::httpReply(500, LoopbackPeer::fault12("soap12:Receiver", "down"))
        << "尝试连接服务器超时，请与客服联系！";
    QTest::newRow("not found") << LoopbackPeer::httpReply(404, "nope", "text/html")
                               << "尝试连接服务器超时，请与客服联系！";
}

void TestLogin::answerTable()
{
    QFETCH(std::string, reply);
    QFETCH(QString, message);

    LoopbackPeer peer(reply);
    auto dialog = makeDialog(peer.endpoint());
    typeCredentials(*dialog, "demo", "demo123");
    BoxCloser closer;
    dialog->OnLogin();

    QTRY_COMPARE_WITH_TIMEOUT(closer.count, 1, 10000);
    QCOMPARE(closer.title, QString("信息提示"));
    QCOMPARE(closer.text, message);
    QCOMPARE(closer.icon, QMessageBox::Warning);
    QCOMPARE(closer.parent, dialog.get());
    QCOMPARE(closer.buttons, QMessageBox::Ok);
    // The dialog's light-on-dark button look stays the dialog's own.
    QCOMPARE(closer.okTextColor, QApplication::palette().color(QPalette::ButtonText));
    // The worker waits for the box: the login is still in flight while it shows.
    QVERIFY(closer.guardTakenWhileShown);

    QTRY_VERIFY(!loginInFlight(dialog.get()));
    QCOMPARE(closer.count, 1);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->result(), 0);
}

void TestLogin::throughTheProxy_data()
{
    QTest::addColumn<bool>("proxyDemandsCredentials");
    // What the user types in the proxy's dialog, each time it asks; an
    // empty password cancels.
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("message");

    const QString refusal = "未通过服务器验证，请检查帐号、密码！";
    const QString proxyWants = "代理服务器要求输入用户名和密码，未能登录。请与单位的网络管理员联系！";
    QTest::newRow("the service answers through the proxy") << false << QStringList{} << refusal;
    QTest::newRow("the proxy wants credentials, cancelled") << true << QStringList{"u:"} << proxyWants;
    QTest::newRow("wrong, then right") << true << QStringList{"u:bad", "u:pw"} << refusal;
    QTest::newRow("refused three times") << true << QStringList{"u:1", "u:2", "u:3"} << proxyWants;
}

void TestLogin::throughTheProxy()
{
    QFETCH(bool, proxyDemandsCredentials);
    QFETCH(QStringList, answers);
    QFETCH(QString, message);

    LoopbackPeer peer(LoopbackPeer::httpReply(200, LoopbackPeer::answer("0")));
    TestProxy proxy;
    if (proxyDemandsCredentials)
        proxy.requireCredentials("u", "pw");
    // A name that resolves nowhere: only the proxy reaches it.
    auto dialog = makeDialog("http://login.kelumo.test:" + std::to_string(peer.port()) + "/Services/CheckUserLogin.asmx",
                             ProxySetting{"127.0.0.1", proxy.port(), {}, {}});
    typeCredentials(*dialog, "demo", "demo123");
    // The proxy's dialog, met from inside its own event loop as the boxes are.
    QStringList prefilled;
    bool guardHeld = true;
    QTimer answerer;
    connect(&answerer, &QTimer::timeout, this, [&] {
        auto *asking = qobject_cast<ProxyLoginDlg *>(QApplication::activeModalWidget());
        if (!asking)
            return;
        guardHeld = guardHeld && loginInFlight(asking->parentWidget());
        prefilled << asking->user();
        const QString typed = answers.value(prefilled.size() - 1);
        asking->findChild<QLineEdit *>("user")->setText(typed.section(':', 0, 0));
        asking->findChild<QLineEdit *>("password")->setText(typed.section(':', 1));
        if (typed.section(':', 1).isEmpty())
            asking->reject();
        else
            asking->accept();
    });
    answerer.start(20);
    BoxCloser closer;
    dialog->OnLogin();
    QTRY_COMPARE_WITH_TIMEOUT(closer.count, 1, 10000);
    QCOMPARE(closer.text, message);
    QCOMPARE(prefilled.size(), answers.size());
    QVERIFY(guardHeld);
    // Asked again, the refused user name is filled in.
    for (qsizetype i = 1; i < prefilled.size(); ++i)
        QCOMPARE(prefilled[i], QStringLiteral("u"));
    const bool cancelled = !answers.isEmpty() && answers.back().endsWith(':');
    QCOMPARE(proxy.requests().size(), std::size_t(1 + answers.size() - (cancelled ? 1 : 0)));
    const bool through = !proxyDemandsCredentials || answers.contains("u:pw");
    QCOMPARE(peer.requests().size(), std::size_t(through ? 1 : 0));
    if (through && proxyDemandsCredentials) {
        QVERIFY(proxy.requests().back().find("Proxy-Authorization: Basic " + TestProxy::base64("u:pw")) !=
                std::string::npos);
        // The dialog's next login goes through on the answer kept, unasked.
        const std::size_t before = proxy.requests().size();
        QTRY_VERIFY(!loginInFlight(dialog.get()));
        typeCredentials(*dialog, "demo", "demo123");
        dialog->OnLogin();
        QTRY_COMPARE_WITH_TIMEOUT(closer.count, 2, 10000);
        QCOMPARE(prefilled.size(), answers.size());
        QCOMPARE(proxy.requests().size(), before + 1);
    }
}

void TestLogin::successClosesWithStampedAddress()
{
    LoopbackPeer peer(LoopbackPeer::httpReply(200, LoopbackPeer::answer("http://h/start?ver=100&amp;lang=cn")));
    auto dialog = makeDialog(peer.endpoint());
    QSignalSpy finished(dialog.get(), &QDialog::finished);
    typeCredentials(*dialog, "demo", "demo123");
    dialog->OnLogin();
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
    QCOMPARE(finished.front().front().toInt(), 1);
    QCOMPARE(std::string(m_startUrl), "http://h/start?ver=430"s);
    QVERIFY(!dialog->isVisible());
}

void TestLogin::requestCarriesTypedTexts()
{
    LoopbackPeer peer(LoopbackPeer::httpReply(200, LoopbackPeer::answer("http://h/?ver=1")));
    auto dialog = makeDialog(peer.endpoint());
    typeCredentials(*dialog, "张三", "p&w<d>");
    dialog->OnLogin();
    QTRY_COMPARE(dialog->result(), 1);
    const std::string request = peer.requests().at(0);
    QVERIFY(request.find("<ns1:EntName></ns1:EntName>"
                         "<ns1:strLoginId>\xc3\x95\xc3\x85\xc3\x88\xc3\xbd</ns1:strLoginId>"
                         "<ns1:strPwd>p&amp;w&lt;d&gt;</ns1:strPwd>") != std::string::npos);
    // The run took its copies: the password does not stay in the global.
    QCOMPARE(g_loginParams.account, ""s);
    QCOMPARE(g_loginParams.password, ""s);
    QCOMPARE(g_loginParams.company, ""s);
}

void TestLogin::enterStartsOneLogin_data()
{
    QTest::addColumn<bool>("held");
    QTest::newRow("at once") << false;
    // Pressed while the program still loads the service: the login starts,
    // once, when that is done.
    QTest::newRow("while logins are held") << true;
}

void TestLogin::enterStartsOneLogin()
{
    QFETCH(bool, held);
    LoopbackPeer peer({}, LoopbackPeer::Behaviour::NeverAnswer);
    auto dialog = makeDialog(peer.endpoint());
    dialog->HoldLogins(held);
    typeCredentials(*dialog, "demo", "demo123");
    // With no control focused, the press and the release both reach the dialog.
    dialog->setFocus();
    QTest::keyClick(dialog.get(), Qt::Key_Return);
    QTest::keyClick(dialog.get(), Qt::Key_Enter);
    if (held) {
        QTest::qWait(100);
        QCOMPARE(peer.connectionCount(), 0);
        dialog->HoldLogins(false);
    }
    QTRY_COMPARE(peer.connectionCount(), 1);
    QTest::qWait(200);
    QCOMPARE(peer.connectionCount(), 1);
    dialog->done(CLogin::IDCANCEL);
}

void TestLogin::secondCommandWhileInFlightSendsNothing()
{
    LoopbackPeer peer({}, LoopbackPeer::Behaviour::NeverAnswer);
    auto dialog = makeDialog(peer.endpoint());
    typeCredentials(*dialog, "demo", "demo123");
    auto *loginButton = dialog->findChild<QAbstractButton *>("login");
    loginButton->click();
    loginButton->click();
    dialog->OnLogin();
    QTRY_COMPARE(peer.connectionCount(), 1);
    QTest::qWait(200);
    QCOMPARE(peer.connectionCount(), 1);
    dialog->done(CLogin::IDCANCEL);
}

void TestLogin::refusedCheckThenValidLogin()
{
    LoopbackPeer peer(LoopbackPeer::httpReply(200, LoopbackPeer::answer("http://h/?ver=1")));
    auto dialog = makeDialog(peer.endpoint());
    typeCredentials(*dialog, "", "demo123");
    dialog->OnLogin();
    QVERIFY(!loginInFlight(dialog.get()));
    QCOMPARE(peer.connectionCount(), 0);
    typeCredentials(*dialog, "demo", "demo123");
    dialog->OnLogin();
    QTRY_COMPARE(dialog->result(), 1);
    QCOMPARE(peer.connectionCount(), 1);
}

void TestLogin::checksShowPrompts_data()
{
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("prompt");
    QTest::newRow("empty account") << "" << "pw" << "账号名长度0~20字符！";
    QTest::newRow("eleven Chinese characters") << "一二三四五六七八九十一" << "pw" << "账号名长度0~20字符！";
    QTest::newRow("password of 19") << "demo" << QString(19, 'p') << "密码长度0~18字符！";
}

void TestLogin::checksShowPrompts()
{
    QFETCH(QString, account);
    QFETCH(QString, password);
    QFETCH(QString, prompt);
    auto dialog = makeDialog();
    typeCredentials(*dialog, account, password);
    dialog->OnLogin();
    QCOMPARE(dialog->findChild<MyOPCStatic *>("tip")->text(), prompt);
    QVERIFY(!QApplication::activeModalWidget() || QApplication::activeModalWidget() == dialog.get());
    // A refused check saves nothing.
    QVERIFY(!QFile::exists(m_folder->filePath("data.dat")));
}

void TestLogin::quitWhileServiceNeverAnswers()
{
    auto peer = std::make_unique<LoopbackPeer>(std::string(), LoopbackPeer::Behaviour::NeverAnswer);
    auto dialog = makeDialog(peer->endpoint());
    typeCredentials(*dialog, "demo", "demo123");
    dialog->OnLogin();
    QTRY_COMPARE(peer->connectionCount(), 1);
    QElapsedTimer timer;
    timer.start();
    dialog->findChild<QAbstractButton *>("quit")->click();
    QCOMPARE(dialog->result(), int(CLogin::IDCANCEL));
    dialog.reset();
    QVERIFY(timer.elapsed() < 1000);
    // When the service finally goes away the worker ends without a word.
    peer.reset();
    QTRY_COMPARE(SignInSession::runningWorkers(), 0);
    QTest::qWait(100);
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(std::string(m_startUrl), ""s);
}

void TestLogin::queuedCompletion_data()
{
    QTest::addColumn<bool>("quit");
    QTest::addColumn<int>("result");
    QTest::newRow("another login command") << false << int(CLogin::IDOK);
    QTest::newRow("quit") << true << int(CLogin::IDCANCEL);
}

// The worker has ended and its completion waits in the queue when the user
// acts: a second login must not start, and a quit must stay a quit.
void TestLogin::queuedCompletion()
{
    QFETCH(bool, quit);
    QFETCH(int, result);
    LoopbackPeer peer(LoopbackPeer::httpReply(200, LoopbackPeer::answer("http://h/?ver=1")));
    auto dialog = makeDialog(peer.endpoint());
    typeCredentials(*dialog, "demo", "demo123");
    QSignalSpy finished(dialog.get(), &QDialog::finished);
    dialog->OnLogin();
    QDeadlineTimer deadline(10000);
    while (loginInFlight(dialog.get()) && !deadline.hasExpired())
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    QVERIFY(!loginInFlight(dialog.get()));

    if (quit)
        dialog->findChild<QAbstractButton *>("quit")->click();
    else
        dialog->OnLogin();
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(finished.front().front().toInt(), result);
    QTest::qWait(100);
    QCOMPARE(finished.size(), 1);
    QCOMPARE(peer.connectionCount(), 1);
}

void TestLogin::escapeAndQuitCancel()
{
    auto dialog = makeDialog();
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    QCOMPARE(dialog->result(), int(CLogin::IDCANCEL));
    auto second = makeDialog();
    second->findChild<QAbstractButton *>("quit")->click();
    QCOMPARE(second->result(), int(CLogin::IDCANCEL));
    auto third = makeDialog();
    third->close();
    QCOMPARE(third->result(), int(CLogin::IDCANCEL));
}

void TestLogin::savedSignInFillsTheFields()
{
    QFile file(m_folder->filePath("data.dat"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(utf8ToGbk("张三") + "\r\n" + utf8ToGbk("密码")));
    file.close();
    auto dialog = makeDialog();
    QCOMPARE(dialog->findChild<QLineEdit *>("account")->text(), QString("张三"));
    QCOMPARE(dialog->findChild<QLineEdit *>("password")->text(), QString("密码"));
    QVERIFY(dialog->findChild<QCheckBox *>("remember")->isChecked());
    QCOMPARE(dialog->focusWidget(), dialog->findChild<QWidget *>("login"));
    QCOMPARE(dialog->findChild<QLineEdit *>("password")->echoMode(), QLineEdit::Password);
    dialog.reset();

    // Where passwords may not be remembered, what was kept goes at the next
    // start, from the file and the keyring, and the box stays unticked.
    FakeKeyring keyring;
    keyring.items["张三"] = "密码";
    auto forbidden = std::make_unique<CLogin>();
    SignInSettings settings = SignInSettings::builtIn();
    settings.passwordSavingAllowed = false;
    forbidden->SetSettings(settings);
    forbidden->SetProgramFolder(m_folder->path() + "/");
    forbidden->SetStartUrlBuffer(m_startUrl);
    forbidden->SetKeyring(&keyring);
    forbidden->show();
    QVERIFY(forbidden->findChild<QLineEdit *>("password")->text().isEmpty());
    QVERIFY(!forbidden->findChild<QCheckBox *>("remember")->isChecked());
    QVERIFY(!forbidden->findChild<QCheckBox *>("remember")->isEnabled());
    QCOMPARE(QFileInfo(file).size(), 0);
    QTRY_VERIFY(keyring.items.empty());
}

void TestLogin::keyringFillsThePassword_data()
{
    QTest::addColumn<QByteArray>("saved");
    QTest::addColumn<bool>("failing");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("calls");

    QTest::newRow("the keyring answers") << QByteArray("demo\r\n") << false << "demo123" << 1;
    QTest::newRow("the keyring fails: the account still") << QByteArray("demo\r\n") << true << "" << 1;
    QTest::newRow("a password in data.dat: the keyring is not asked")
        << QByteArray("demo\r\nold") << false << "old" << 0;
}

void TestLogin::keyringFillsThePassword()
{
    QFETCH(QByteArray, saved);
    QFETCH(bool, failing);
    QFETCH(QString, password);
    QFETCH(int, calls);
    QFile file(m_folder->filePath("data.dat"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(saved);
    file.close();
    FakeKeyring keyring;
    keyring.items["demo"] = "demo123";
    keyring.failing = failing;
    auto dialog = makeDialog({}, {}, &keyring);
    QSignalSpy painted(dialog.get(), &CLogin::firstPainted);
    // Asked once the dialog is on screen, not before.
    QCOMPARE(keyring.calls, 0);
    QTRY_COMPARE(painted.size(), 1);
    QTRY_COMPARE(keyring.answered, calls);
    QCOMPARE(keyring.calls, calls);
    QCOMPARE(dialog->findChild<QLineEdit *>("password")->text(), password);
    QCOMPARE(dialog->findChild<QLineEdit *>("account")->text(), QString("demo"));
    QVERIFY(dialog->findChild<QCheckBox *>("remember")->isChecked());
}

void TestLogin::withoutSavedSignInNothingHasFocus()
{
    auto dialog = makeDialog();
    QVERIFY(dialog->findChild<QLineEdit *>("account")->text().isEmpty());
    QVERIFY(!dialog->findChild<QCheckBox *>("remember")->isChecked());
    QVERIFY(!dialog->focusWidget() || dialog->focusWidget() == dialog.get());
    // Enter then runs the login command, which refuses the empty account.
    QTest::keyClick(dialog.get(), Qt::Key_Return);
    QCOMPARE(dialog->findChild<MyOPCStatic *>("tip")->text(), QString("账号名长度0~20字符！"));
}

void TestLogin::loginSavesTheSignIn_data()
{
    using Items = KeptItems;
    QTest::addColumn<bool>("remember");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("keyring"); // 0: none, 1: answering, 2: failing
    QTest::addColumn<QByteArray>("bytesOnceAnswered");
    QTest::addColumn<Items>("kept");
    QTest::newRow("ticked") << true << QByteArray("demo\r\ndemo123") << 0 << QByteArray("demo\r\ndemo123") << Items{};
    QTest::newRow("unticked") << false << QByteArray() << 0 << QByteArray() << Items{};
    // The password leaves data.dat once the keyring holds it.
    QTest::newRow("ticked, keyring") << true << QByteArray("demo\r\ndemo123") << 1 << QByteArray("demo\r\n")
                                     << Items{{"demo", "demo123"}, {"other", "x"}};
    QTest::newRow("ticked, keyring fails: data.dat keeps it")
        << true << QByteArray("demo\r\ndemo123") << 2 << QByteArray("demo\r\ndemo123")
        << Items{{"demo", "old"}, {"other", "x"}};
    QTest::newRow("unticked, keyring: removed there too") << false << QByteArray() << 1 << QByteArray()
                                                          << Items{{"other", "x"}};
}

void TestLogin::loginSavesTheSignIn()
{
    using Items = KeptItems;
    QFETCH(bool, remember);
    QFETCH(QByteArray, bytes);
    QFETCH(int, keyring);
    QFETCH(QByteArray, bytesOnceAnswered);
    QFETCH(Items, kept);
    FakeKeyring fake;
    fake.items = {{"demo", "old"}, {"other", "x"}};
    fake.failing = keyring == 2;
    LoopbackPeer peer(LoopbackPeer::httpReply(200, LoopbackPeer::answer("0")));
    auto dialog = makeDialog(peer.endpoint(), {}, keyring ? &fake : nullptr);
    typeCredentials(*dialog, "demo", "demo123");
    dialog->findChild<QCheckBox *>("remember")->setChecked(remember);
    BoxCloser closer;
    dialog->OnLogin();
    // Saved when the login starts, before the service has answered.
    const auto saved = [this] {
        QFile file(m_folder->filePath("data.dat"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    };
    QCOMPARE(saved(), bytes);
    QTRY_COMPARE_WITH_TIMEOUT(closer.count, 1, 10000);
    if (keyring) {
        QTRY_COMPARE(fake.answered, 1);
        QCOMPARE(fake.calls, 1);
        QCOMPARE(saved(), bytesOnceAnswered);
        QCOMPARE(fake.items, kept);
    }
}

void TestLogin::focusAndHoverPrompts()
{
    auto dialog = makeDialog();
    auto *tip = dialog->findChild<MyOPCStatic *>("tip");
    QCOMPARE(tip->text(), QString("请输入账号"));
    // The prompts follow focus-in events, which only an active window gets.
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    dialog->findChild<QLineEdit *>("account")->setFocus();
    QTRY_COMPARE(tip->text(), QString("请输入帐号信息！"));
    dialog->findChild<QLineEdit *>("password")->setFocus();
    QTRY_COMPARE(tip->text(), QString("请输入账号密码！"));
    dialog->findChild<QWidget *>("remember")->setFocus();
    QTRY_COMPARE(tip->text(), QString("欢迎使用Kelumo大数据"));

    auto *login = dialog->findChild<QWidget *>("login");
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(login, &enter);
    QCOMPARE(tip->text(), QString("点击登录咨询信息中心"));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(login, &leave);
    QCOMPARE(tip->text(), QString("欢迎使用Kelumo大数据"));
}

void TestLogin::helpButtonsOpenSitePages_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("url");
    QTest::newRow("forgotten password") << "forgotPassword" << "http://127.0.0.1:9/getpwd";
    QTest::newRow("cannot log in") << "cannotLogin" << "http://127.0.0.1:9/services";
    QTest::newRow("contact") << "contactService" << "http://127.0.0.1:9/contact_us";
}

void TestLogin::helpButtonsOpenSitePages()
{
    QFETCH(QString, button);
    QFETCH(QString, url);
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("http", &catcher, "open");
    auto dialog = makeDialog();
    dialog->findChild<QPushButton *>(button)->click();
    QDesktopServices::unsetUrlHandler("http");
    QCOMPARE(catcher.urls, QList<QUrl>{QUrl(url)});
    QVERIFY(dialog->isVisible());
}

void TestLogin::controlsAtTemplatePositions()
{
    auto dialog = makeDialog();
    QCOMPARE(dialog->size(), QSize(609, 278));
    QVERIFY(dialog->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(dialog->findChild<QWidget *>("login")->geometry(), QRect(517, 200, 78, 26));
    QCOMPARE(dialog->findChild<QWidget *>("account")->geometry(), QRect(57, 201, 135, 24));
    QCOMPARE(dialog->findChild<QWidget *>("password")->geometry(), QRect(252, 201, 133, 24));
    QCOMPARE(dialog->findChild<QWidget *>("quit")->geometry(), QRect(579, 10, 15, 16));
    QVERIFY(!dialog->findChild<QWidget *>("company")->isVisible());
    // Tab goes from the dialog itself (no control focused) through the fields,
    // the remember box, the login, the help pages and the quit button.
    QStringList order;
    QWidget *w = dialog.get();
    for (int i = 0; i < 8; ++i) {
        w = w->nextInFocusChain();
        while (!w->isVisible() || !w->isEnabled() || !(w->focusPolicy() & Qt::TabFocus))
            w = w->nextInFocusChain();
        order << w->objectName();
    }
    QCOMPARE(order, (QStringList{"account", "password", "remember", "login", "forgotPassword", "cannotLogin",
                                 "contactService", "quit"}));
}

void TestLogin::paintsWithoutPicture()
{
    auto dialog = makeDialog();
    const QImage image = dialog->grab().toImage();
    QCOMPARE(image.size(), QSize(609, 278));
    // Not left blank: the fallback field is dark blue.
    const QColor corner = image.pixelColor(100, 150);
    QVERIFY(corner.blue() > corner.red());
}

void TestLogin::doublePictureOnScaledScreens_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<bool>("replaced");
    QTest::addColumn<bool>("doubleThere");
    QTest::addColumn<int>("expectedWidth"); // in the image's own pixels

    QTest::newRow("plain screen") << 1.0 << false << true << 60;
    QTest::newRow("125%: stretched") << 1.25 << false << true << 60;
    QTest::newRow("150%") << 1.5 << false << true << 120;
    QTest::newRow("200%") << 2.0 << false << true << 120;
    QTest::newRow("replaced by the platform") << 2.0 << true << true << 60;
    QTest::newRow("no double beside it") << 2.0 << false << false << 60;
}

void TestLogin::doublePictureOnScaledScreens()
{
    QFETCH(qreal, ratio);
    QFETCH(bool, replaced);
    QFETCH(bool, doubleThere);
    QFETCH(int, expectedWidth);

    const QString path = m_folder->filePath("LoginBG.bmp");
    QCOMPARE(doubleImagePath(path), m_folder->filePath("LoginBG@2x.bmp"));
    QImage shipped(60, 30, QImage::Format_RGB888);
    shipped.fill(Qt::darkBlue);
    QVERIFY(shipped.save(path, "BMP"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray shippedHash = QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
    file.close();
    if (doubleThere)
        QVERIFY(shipped.scaled(120, 60).save(doubleImagePath(path), "BMP"));
    if (replaced) {
        shipped.fill(Qt::darkRed);
        QVERIFY(shipped.save(path, "BMP"));
    }

    const QPixmap picture = loadLoginPicture(path, ratio, shippedHash);
    QCOMPARE(picture.width(), expectedWidth);
    // Either way it covers the same area of the dialog.
    QCOMPARE(picture.deviceIndependentSize(), QSizeF(60, 30));
}

namespace {

// A BMP written field by field: `bits` 24 or 32, rows bottom-up or top-down.
QByteArray bmpOf(const QImage &image, int bits, bool topDown)
{
    const int stride = (image.width() * bits / 8 + 3) / 4 * 4;
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("BM", 2);
    out << quint32(54 + stride * image.height()) << quint32(0) << quint32(54) << quint32(40)
        << qint32(image.width()) << qint32(topDown ? -image.height() : image.height()) << quint16(1)
        << quint16(bits) << quint32(0) << quint32(stride * image.height()) << qint32(2835) << qint32(2835)
        << quint32(0) << quint32(0);
    for (int row = 0; row < image.height(); ++row) {
        const int y = topDown ? row : image.height() - 1 - row;
        QByteArray line(stride, '\0');
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            char *at = line.data() + x * bits / 8;
            at[0] = char(qBlue(pixel));
            at[1] = char(qGreen(pixel));
            at[2] = char(qRed(pixel));
        }
        out.writeRawData(line.constData(), stride);
    }
    return bytes;
}

QByteArray patched(QByteArray bytes, int at, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char(value >> (8 * i));
    return bytes;
}

} // namespace

void TestLogin::plainBmp_data()
{
    // Odd width: the rows are padded.
    QImage image(61, 7, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 4, y * 30, 255 - x * 4));
    const QByteArray plain = bmpOf(image, 24, false);
    QByteArray png;
    QBuffer buffer(&png);
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    QVERIFY(image.save(&buffer, "PNG"));

    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("readHere"); // else left to Qt's reader
    QTest::newRow("24 bits, bottom-up") << plain << true;
    QTest::newRow("24 bits, top-down") << bmpOf(image, 24, true) << true;
    QTest::newRow("32 bits") << bmpOf(image, 32, false) << true;
    QTest::newRow("compressed") << patched(plain, 30, 1) << false;
    QTest::newRow("cut short") << plain.left(plain.size() - 1) << false;
    QTest::newRow("pixels beyond the end") << patched(plain, 10, 0xfffffff0u) << false;
    QTest::newRow("absurd width") << patched(plain, 18, 0x7fffffffu) << false;
    QTest::newRow("negative width") << patched(plain, 18, 0xffffffc3u) << false;
    QTest::newRow("another format in its place") << png << false;
}

void TestLogin::plainBmp()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, readHere);
    const QImage here = decodePlainBmp(bytes);
    QCOMPARE(!here.isNull(), readHere);
    const QImage qt = QImage::fromData(bytes);
    if (readHere)
        QCOMPARE(here, qt.convertToFormat(QImage::Format_RGB32));
    // Whatever reads it, the dialog shows what Qt can read.
    const QString path = m_folder->filePath("picture.bmp");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    QCOMPARE(loadLoginPicture(path, 1.0, {}).isNull(), qt.isNull());
}

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
