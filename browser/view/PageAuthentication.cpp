#include "browser/view/PageAuthentication.h"

#include "auth/PageLoginDlg.h"
#include "auth/ProxyLoginDlg.h"
#include "base/AuthPrompt.h"
#include "base/Trace.h"

#include <QAuthenticator>
#include <QMap>
#include <QNetworkProxy>
#include <QStringDecoder>
#include <QUrl>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>

namespace {

struct Kept
{
    QString user;
    QString password;
    // Answers refused in a row; the last one given waits for its outcome.
    int refusals = 0;
    bool waiting = false;
    // Cancelled, or given up on: the server's own page stays.
    bool declined = false;

    ~Kept() { wipe(); }
    void wipe()
    {
        password.fill(QChar(0));
        password.clear();
    }
};

// This run's answers, by "proxy host" or "host realm". Wiped when the
// program ends.
QMap<QString, Kept> &kept()
{
    static QMap<QString, Kept> answers;
    return answers;
}

// The engine reads the header's bytes as Latin-1; a server that wrote its
// realm in UTF-8, as Chinese servers do, is read as it meant it.
QString readableRealm(const QString &realm)
{
    const QByteArray bytes = realm.toLatin1();
    if (QString::fromLatin1(bytes) != realm)
        return realm;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    return utf8.hasError() ? realm : text;
}

QString serverKey(const QString &host, const QString &realm)
{
    return QStringLiteral("page ") + host + QLatin1Char(' ') + realm;
}

// One question: answered from memory, by the user, or not at all (a null
// authenticator cancels the request). Returns whether it was answered.
template<typename Ask>
bool answer(Kept &entry, QAuthenticator *authenticator, Ask ask)
{
    // Asked again after an answer: that answer was refused.
    if (entry.waiting)
        ++entry.refusals;
    entry.waiting = false;
    const authprompt::Step step = authprompt::next(!entry.user.isEmpty(), entry.refusals);
    if (step == authprompt::Step::AnswerFromMemory) {
        authenticator->setUser(entry.user);
        authenticator->setPassword(entry.password);
        entry.waiting = true;
        return true;
    }
    if (step == authprompt::Step::Ask && ask(entry)) {
        authenticator->setUser(entry.user);
        authenticator->setPassword(entry.password);
        entry.waiting = true;
        entry.declined = false;
        return true;
    }
    entry.declined = true;
    *authenticator = QAuthenticator();
    return false;
}

} // namespace

PageAuthentication::PageAuthentication(QWidget *parent) : QObject(parent), m_parent(parent)
{
}

void PageAuthentication::attach(QWebEnginePage *page, QWidget *parent)
{
    auto *self = new PageAuthentication(parent);
    connect(page, &QWebEnginePage::proxyAuthenticationRequired, self,
            [self](const QUrl &, QAuthenticator *authenticator, const QString &proxyHost) {
                self->onProxy(authenticator, proxyHost);
            });
    connect(page, &QWebEnginePage::authenticationRequired, self,
            [self](const QUrl &url, QAuthenticator *authenticator) { self->onServer(url, authenticator); });
}

void PageAuthentication::onProxy(QAuthenticator *authenticator, const QString &proxyHost)
{
    Kept &entry = kept()[QStringLiteral("proxy ") + proxyHost];
    // What the sign-in was given for the same proxy serves here first.
    const QNetworkProxy pages = QNetworkProxy::applicationProxy();
    if (entry.user.isEmpty() && pages.hostName() == proxyHost && !pages.user().isEmpty()) {
        entry.user = pages.user();
        entry.password = pages.password();
    }
    // The engine waits for the answer inside this signal.
    answer(entry, authenticator, [this, &proxyHost](Kept &e) {
        trace("proxy credentials asked", proxyHost.toStdString());
        ProxyLoginDlg dialog(proxyHost, e.user, m_parent);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        e.user = dialog.user();
        e.password = dialog.password();
        return true;
    });
}

void PageAuthentication::onServer(const QUrl &url, QAuthenticator *authenticator)
{
    const QString host = url.host();
    const QString realm = authenticator->realm();
    Kept &entry = kept()[serverKey(host, realm)];
    answer(entry, authenticator, [this, &host, &realm](Kept &e) {
        trace("page credentials asked", host.toStdString());
        PageLoginDlg dialog(host, readableRealm(realm), e.user, m_parent);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        e.user = dialog.user();
        e.password = dialog.password();
        return true;
    });
}

bool PageAuthentication::keepsServerPage(const QWebEngineLoadingInfo &info)
{
    if (info.status() != QWebEngineLoadingInfo::LoadSucceededStatus &&
        info.status() != QWebEngineLoadingInfo::LoadFailedStatus)
        return false;
    const bool refused =
        info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain && info.errorCode() == 401;
    const QString prefix = serverKey(info.url().host(), {});
    bool declined = false;
    for (auto it = kept().begin(); it != kept().end(); ++it) {
        if (!it.key().startsWith(prefix))
            continue;
        if (refused) {
            declined = declined || it->declined;
        } else {
            // Through: the answer holds, and nothing was refused.
            it->refusals = 0;
            it->waiting = false;
            it->declined = false;
        }
    }
    if (refused && declined)
        trace("server page kept", info.url().host().toStdString());
    return refused && declined;
}
