#include "browser/permissions/PagePermissions.h"

#include "base/KelumoConfig.h"
#include "base/Trace.h"
#include "browser/navigation/NavigationPolicy.h"
#include "browser/permissions/DesktopNotifications.h"

#include <QHash>
#include <QMessageBox>
#include <QPushButton>
#include <QWebEngineView>

namespace {

// The user's answers for the run, by host and feature, for every page.
QHash<QString, bool> &answersOfTheRun()
{
    static QHash<QString, bool> answers;
    return answers;
}

QString answerKey(const QUrl &origin, QWebEnginePage::Feature feature)
{
    return origin.host().toLower() + QLatin1Char(' ') + QString::number(int(feature));
}

const char *featureName(QWebEnginePage::Feature feature)
{
    switch (feature) {
    case QWebEnginePage::Notifications: return "notifications";
    case QWebEnginePage::Geolocation: return "geolocation";
    case QWebEnginePage::MediaAudioCapture: return "microphone";
    case QWebEnginePage::MediaVideoCapture: return "camera";
    case QWebEnginePage::MediaAudioVideoCapture: return "microphone+camera";
    case QWebEnginePage::MouseLock: return "mouse-lock";
    case QWebEnginePage::DesktopVideoCapture: return "screen";
    case QWebEnginePage::DesktopAudioVideoCapture: return "screen+audio";
    default: break; // what later engines add (the clipboard, local fonts)
    }
    return "other";
}

std::string described(const QUrl &origin, QWebEnginePage::Feature feature)
{
    return std::string(featureName(feature)) + ' ' + origin.toString().toStdString();
}

} // namespace

void PagePermissions::attach(QWebEnginePage *page, const PermissionSettings &settings,
                             std::function<PlatformHosts()> hosts)
{
    new PagePermissions(page, settings, std::move(hosts));
}

PagePermissions::PagePermissions(QWebEnginePage *page, const PermissionSettings &settings,
                                 std::function<PlatformHosts()> hosts)
    : QObject(page), m_page(page), m_settings(settings), m_hosts(std::move(hosts))
{
    connect(page, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl &origin, QWebEnginePage::Feature feature) { onRequested(origin, feature); });
    connect(page, &QWebEnginePage::featurePermissionRequestCanceled, this,
            [this](const QUrl &origin, QWebEnginePage::Feature feature) { onCanceled(origin, feature); });
}

void PagePermissions::onRequested(const QUrl &origin, QWebEnginePage::Feature feature)
{
    trace("permission requested", described(origin, feature));
    switch (permissionAnswer(feature, origin, m_page->url(), m_hosts(), m_settings)) {
    case PermissionAnswer::Deny:
        answer(origin, feature, false);
        return;
    case PermissionAnswer::Ask:
        ask(origin, feature);
        return;
    case PermissionAnswer::Grant:
        break;
    }
    if (feature != QWebEnginePage::Notifications) {
        answer(origin, feature, true);
        return;
    }
    // Granted only where the desktop can show them.
    DesktopNotifications *notifications = DesktopNotifications::of(m_page->profile());
    if (!notifications) {
        answer(origin, feature, false);
        return;
    }
    notifications->whenAvailable(this, [this, origin, feature](bool up) { answer(origin, feature, up); });
}

void PagePermissions::ask(const QUrl &origin, QWebEnginePage::Feature feature)
{
    const auto remembered = answersOfTheRun().constFind(answerKey(origin, feature));
    if (remembered != answersOfTheRun().cend()) {
        answer(origin, feature, remembered.value());
        return;
    }
    // One question at a time; the engine asks again for a page that keeps asking.
    if (m_question) {
        answer(origin, feature, false);
        return;
    }
    QWebEngineView *view = QWebEngineView::forPage(m_page);
    auto *box = new QMessageBox(QMessageBox::Question, QString::fromUtf8(kelumo::productName),
                                permissionQuestion(feature, origin), QMessageBox::NoButton,
                                view ? view->window() : nullptr);
    box->setObjectName(QStringLiteral("permissionQuestion"));
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    QPushButton *allow = box->addButton(QStringLiteral("允许"), QMessageBox::AcceptRole);
    QPushButton *deny = box->addButton(QStringLiteral("拒绝"), QMessageBox::RejectRole);
    // A slip of the Enter key gives nothing away.
    box->setDefaultButton(deny);
    box->setEscapeButton(deny);
    m_question = box;
    m_questionOrigin = origin;
    m_questionFeature = feature;
    connect(box, &QMessageBox::finished, this, [this, box, allow, origin, feature] {
        const bool granted = box->clickedButton() == allow;
        answersOfTheRun().insert(answerKey(origin, feature), granted);
        trace("permission question answered", granted ? "allow" : "deny");
        answer(origin, feature, granted);
    });
    box->open();
    trace("permission question", described(origin, feature));
}

void PagePermissions::onCanceled(const QUrl &origin, QWebEnginePage::Feature feature)
{
    if (!m_question || origin != m_questionOrigin || feature != m_questionFeature)
        return;
    // The page took it back: the question goes without an answer to keep.
    QMessageBox *box = m_question;
    m_question = nullptr;
    box->disconnect(this);
    box->close();
}

void PagePermissions::answer(const QUrl &origin, QWebEnginePage::Feature feature, bool granted)
{
    trace(granted ? "permission granted" : "permission denied", described(origin, feature));
    m_page->setFeaturePermission(origin, feature,
                                 granted ? QWebEnginePage::PermissionGrantedByUser : QWebEnginePage::PermissionDeniedByUser);
}
