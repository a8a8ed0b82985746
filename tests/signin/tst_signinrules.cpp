#include "base/AuthPrompt.h"
#include "base/GbkText.h"
#include "signin/LoginKeys.h"
#include "signin/PasswordPlan.h"
#include "signin/SignInRules.h"

#include <QTest>

#include <string>

using namespace std::string_literals;
using signin::CheckResult;
using signin::KeyAction;
using signin::KeyringAction;
using signin::SavedFile;

Q_DECLARE_METATYPE(CheckResult)
Q_DECLARE_METATYPE(KeyAction)
Q_DECLARE_METATYPE(SavedFile)
Q_DECLARE_METATYPE(KeyringAction)

class TestSignInRules final : public QObject
{
    Q_OBJECT

private slots:
    void checks_data();
    void checks();
    void answers_data();
    void answers();
    void stamping_data();
    void stamping();
    void expiryDateCutAtWholeCharacter();
    void companyCutAtWholeCharacter();
    void dialogKeys_data();
    void dialogKeys();
    void passwordPlans_data();
    void passwordPlans();
    void authPrompts_data();
    void authPrompts();
};

void TestSignInRules::checks_data()
{
    QTest::addColumn<std::string>("account");
    QTest::addColumn<std::string>("password");
    QTest::addColumn<CheckResult>("result");

    QTest::newRow("ordinary") << "demo"s << "demo123"s << CheckResult::Accepted;
    QTest::newRow("account of 20 bytes") << std::string(20, 'a') << "p"s << CheckResult::Accepted;
    QTest::newRow("account of 21 bytes") << std::string(21, 'a') << "p"s << CheckResult::AccountLength;
    QTest::newRow("ten Chinese characters") << utf8ToGbk("一二三四五六七八九十") << "p"s << CheckResult::Accepted;
    QTest::newRow("ten and a half") << utf8ToGbk("一二三四五六七八九十a") << "p"s << CheckResult::AccountLength;
    QTest::newRow("empty account") << ""s << "p"s << CheckResult::AccountLength;
    QTest::newRow("password of 18 bytes") << "a"s << std::string(18, 'p') << CheckResult::Accepted;
    QTest::newRow("password of 19 bytes") << "a"s << std::string(19, 'p') << CheckResult::PasswordLength;
    QTest::newRow("empty password") << "a"s << ""s << CheckResult::PasswordLength;
    QTest::newRow("both wrong: account first") << ""s << ""s << CheckResult::AccountLength;
}

void TestSignInRules::checks()
{
    QFETCH(std::string, account);
    QFETCH(std::string, password);
    QFETCH(CheckResult, result);
    QCOMPARE(signin::checkCredentials(account, password), result);
}

void TestSignInRules::answers_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<std::string>("answer");
    QTest::addColumn<bool>("isAddress");
    QTest::addColumn<QString>("message");

    QTest::newRow("address") << true << "http://h/?ver=1"s << true << QString();
    QTest::newRow("wrong credentials") << true << "0"s << false << "未通过服务器验证，请检查帐号、密码！";
    QTest::newRow("expired with date") << true << "-1"s + utf8ToGbk("2026年1月31日") << false
                                       << "您的帐号已于2026年1月31日过期，请与客服联系！";
    QTest::newRow("expired without date") << true << "-1"s << false << "您的帐号已于过期，请与客服联系！";
    QTest::newRow("not through this client") << true << "-4"s << false
                                              << "本帐号不允许通过终端方式登陆，请与客服联系！";
    QTest::newRow("other minus code") << true << "-3"s << false << QString();
    QTest::newRow("lone minus") << true << "-"s << false << QString();
    QTest::newRow("empty answer") << true << ""s << false << "登录错误！";
    QTest::newRow("no result string") << false << ""s << false << "登录错误！";
    QTest::newRow("capital H") << true << "Http://h/?ver=1"s << false << "登录错误！";
    QTest::newRow("leading space") << true << " http://h/?ver=1"s << false << "登录错误！";
    QTest::newRow("other text") << true << "Hello"s << false << "登录错误！";
}

void TestSignInRules::answers()
{
    QFETCH(bool, present);
    QFETCH(std::string, answer);
    QFETCH(bool, isAddress);
    QFETCH(QString, message);

    const signin::AnswerOutcome outcome = signin::interpretAnswer(present ? &answer : nullptr);
    QCOMPARE(outcome.isAddress, isAddress);
    QCOMPARE(QString::fromStdString(gbkToUtf8(outcome.message)), message);
    QVERIFY(outcome.message.size() < signin::messageSize);
}

void TestSignInRules::stamping_data()
{
    QTest::addColumn<std::string>("answer");
    QTest::addColumn<bool>("found");
    QTest::addColumn<std::string>("stored");

    QTest::newRow("value and more parameters") << "http://p.example/index?ver=100&lang=cn"s << true
                                               << "http://p.example/index?ver=430"s;
    QTest::newRow("empty value at the end") << "http://p/?ver="s << true << "http://p/?ver=430"s;
    QTest::newRow("ver ends the text") << "http://p/ver"s << true << "http://p/ver"s;
    QTest::newRow("ver in the host name") << "http://server.p/?ver=1"s << true << "http://server.430"s;
    QTest::newRow("no ver") << "http://p/?lang=cn"s << false << "http://p/?lang=cn"s;
    QTest::newRow("case matters") << "http://p/?VER=1"s << false << "http://p/?VER=1"s;
    // 0x81 0x76 is one GBK character whose second byte is 'v'.
    QTest::newRow("never inside a character") << "http://p/\x81ver"s << false << "http://p/\x81ver"s;
    QTest::newRow("after a whole character") << "http://\xd5\xc5ver=1"s << true << "http://\xd5\xc5ver=430"s;
    QTest::newRow("too long: cut to the buffer") << "http://p/?a=" + std::string(600, 'x') << false
                                                 << "http://p/?a=" + std::string(499 - 12, 'x');
    QTest::newRow("digits that would not fit are left out")
        << "http://p/" + std::string(484, 'x') + "?ver=12"s << true
        << "http://p/" + std::string(484, 'x') + "?ver=1";
    QTest::newRow("digits that just fit") << "http://p/" + std::string(482, 'x') + "?ver=12"s << true
                                          << "http://p/" + std::string(482, 'x') + "?ver=430";
    QTest::newRow("NUL ends the answer") << "http://p/?ver=1\0tail"s << true << "http://p/?ver=430"s;
}

void TestSignInRules::stamping()
{
    QFETCH(std::string, answer);
    QFETCH(bool, found);
    QFETCH(std::string, stored);

    char buffer[signin::startUrlSize + 8];
    std::memset(buffer, '#', sizeof buffer);
    QCOMPARE(signin::storeStartAddress(answer, buffer, signin::startUrlSize), found);
    QCOMPARE(std::string(buffer), stored);
    // Nothing beyond the buffer is touched.
    for (std::size_t i = signin::startUrlSize; i < sizeof buffer; ++i)
        QCOMPARE(buffer[i], '#');
}

void TestSignInRules::expiryDateCutAtWholeCharacter()
{
    // One ASCII byte first, so that a cut by bytes would split a character.
    std::string years;
    for (int i = 0; i < 40; ++i)
        years += "年";
    const std::string date = "x" + utf8ToGbk(years);
    const std::string message = signin::expiryMessage(date);
    QVERIFY(message.size() <= signin::messageSize - 1);
    const QString text = QString::fromStdString(gbkToUtf8(message));
    QVERIFY(text.startsWith("您的帐号已于x年"));
    QVERIFY(text.endsWith("年过期，请与客服联系！"));
    QVERIFY(!text.contains('?'));

    // The certificate message names the host, as far as it fits.
    QCOMPARE(QString::fromStdString(gbkToUtf8(signin::certificateFailureMessage("login.kelumo.com"))),
             QStringLiteral("无法验证服务器 login.kelumo.com 的安全证书，请与贵单位的管理员联系！"));
    const std::string longHost = signin::certificateFailureMessage(std::string(200, 'h'));
    QCOMPARE(longHost.size(), signin::messageSize - 1);
    QVERIFY(QString::fromStdString(gbkToUtf8(longHost)).endsWith("的安全证书，请与贵单位的管理员联系！"));
}

void TestSignInRules::companyCutAtWholeCharacter()
{
    QCOMPARE(signin::cutCompany(std::string(25, 'c')), std::string(19, 'c'));
    const std::string chinese = utf8ToGbk("一二三四五六七八九十");
    QCOMPARE(signin::cutCompany(chinese), chinese.substr(0, 18));
    QCOMPARE(signin::cutCompany(""), ""s);
}

void TestSignInRules::dialogKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("released");
    QTest::addColumn<bool>("autoRepeat");
    QTest::addColumn<bool>("dialogHasFocus");
    QTest::addColumn<KeyAction>("action");

    // A press acts wherever the focus is; a release only on the dialog itself.
    QTest::newRow("Return pressed") << int(Qt::Key_Return) << false << false << false << KeyAction::Login;
    QTest::newRow("Enter pressed") << int(Qt::Key_Enter) << false << false << true << KeyAction::Login;
    QTest::newRow("Return held down") << int(Qt::Key_Return) << false << true << true << KeyAction::Swallow;
    QTest::newRow("Escape pressed") << int(Qt::Key_Escape) << false << false << false << KeyAction::Cancel;
    QTest::newRow("Escape held down") << int(Qt::Key_Escape) << false << true << false << KeyAction::Cancel;
    QTest::newRow("Return released on the dialog") << int(Qt::Key_Return) << true << false << true << KeyAction::Login;
    QTest::newRow("Enter released on the dialog") << int(Qt::Key_Enter) << true << false << true << KeyAction::Login;
    QTest::newRow("Escape released on the dialog") << int(Qt::Key_Escape) << true << false << true << KeyAction::Cancel;
    QTest::newRow("Return released on a control") << int(Qt::Key_Return) << true << false << false << KeyAction::PassOn;
    QTest::newRow("Escape released on a control") << int(Qt::Key_Escape) << true << false << false << KeyAction::PassOn;
    QTest::newRow("auto-repeated release") << int(Qt::Key_Return) << true << true << true << KeyAction::PassOn;
    QTest::newRow("another key pressed") << int(Qt::Key_A) << false << false << true << KeyAction::PassOn;
    QTest::newRow("another key released") << int(Qt::Key_Space) << true << false << true << KeyAction::PassOn;
}

void TestSignInRules::dialogKeys()
{
    QFETCH(int, key);
    QFETCH(bool, released);
    QFETCH(bool, autoRepeat);
    QFETCH(bool, dialogHasFocus);
    QFETCH(KeyAction, action);
    QCOMPARE(signin::dialogKeyAction(key, released, autoRepeat, dialogHasFocus), action);
}

void TestSignInRules::passwordPlans_data()
{
    QTest::addColumn<bool>("remember");
    QTest::addColumn<bool>("keyring");
    QTest::addColumn<bool>("savingAllowed");
    QTest::addColumn<SavedFile>("now");
    QTest::addColumn<KeyringAction>("action");
    QTest::addColumn<SavedFile>("onceStored");

    using F = SavedFile;
    using K = KeyringAction;
    // data.dat loses the password only once the keyring holds it. The same
    // row moves a password an earlier client left in data.dat.
    QTest::newRow("remembered, keyring") << true << true << true << F::AccountAndPassword << K::Store << F::AccountOnly;
    QTest::newRow("remembered, no keyring: as earlier clients")
        << true << false << true << F::AccountAndPassword << K::None << F::AccountAndPassword;
    QTest::newRow("unticked, keyring: removed from both") << false << true << true << F::Empty << K::Remove << F::Empty;
    QTest::newRow("unticked, no keyring") << false << false << true << F::Empty << K::None << F::Empty;
    // Passwords forbidden: the account alone, and nothing kept anywhere.
    QTest::newRow("forbidden, remembered, keyring")
        << true << true << false << F::AccountOnly << K::Remove << F::AccountOnly;
    QTest::newRow("forbidden, remembered, no keyring")
        << true << false << false << F::AccountOnly << K::None << F::AccountOnly;
    QTest::newRow("forbidden, unticked, keyring") << false << true << false << F::Empty << K::Remove << F::Empty;
    QTest::newRow("forbidden, unticked, no keyring") << false << false << false << F::Empty << K::None << F::Empty;
}

void TestSignInRules::passwordPlans()
{
    QFETCH(bool, remember);
    QFETCH(bool, keyring);
    QFETCH(bool, savingAllowed);
    QFETCH(SavedFile, now);
    QFETCH(KeyringAction, action);
    QFETCH(SavedFile, onceStored);
    const signin::PasswordPlan plan = signin::passwordPlan(remember, keyring, savingAllowed);
    QCOMPARE(plan.now, now);
    QCOMPARE(plan.keyring, action);
    QCOMPARE(plan.onceStored, onceStored);
}

void TestSignInRules::authPrompts_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("kept");
    QTest::addColumn<int>("refusals");
    QTest::addColumn<int>("prompt");
    QTest::addColumn<int>("step");

    using authprompt::Prompt;
    using authprompt::Step;
    const auto row = [](const char *name, int status, bool kept, int refusals, Prompt prompt, Step step) {
        QTest::newRow(name) << status << kept << refusals << int(prompt) << int(step);
    };
    row("proxy, first time", 407, false, 0, Prompt::Proxy, Step::Ask);
    row("proxy, answered before in this run", 407, true, 0, Prompt::Proxy, Step::AnswerFromMemory);
    row("proxy refused the kept answer", 407, true, 1, Prompt::Proxy, Step::Ask);
    row("page, first time", 401, false, 0, Prompt::Page, Step::Ask);
    row("page, the realm's answer kept", 401, true, 0, Prompt::Page, Step::AnswerFromMemory);
    row("page refused twice", 401, true, 2, Prompt::Page, Step::Ask);
    row("page refused three times in a row", 401, true, 3, Prompt::Page, Step::GiveUp);
    row("proxy refused three times in a row", 407, false, 3, Prompt::Proxy, Step::GiveUp);
    row("forbidden is no question", 403, false, 0, Prompt::None, Step::Ask);
}

void TestSignInRules::authPrompts()
{
    QFETCH(int, status);
    QFETCH(bool, kept);
    QFETCH(int, refusals);
    QFETCH(int, prompt);
    QFETCH(int, step);
    QCOMPARE(int(authprompt::promptFor(status)), prompt);
    QCOMPARE(int(authprompt::next(kept, refusals)), step);
}

QTEST_APPLESS_MAIN(TestSignInRules)
#include "tst_signinrules.moc"
