// The plain decisions behind the page's windows: which closes ask the page,
// why a download failed and what it says, where a download goes and under
// which name, where file dialogs start, who may go full screen, which
// permission requests are granted, refused or asked.

#include "browser/view/ClosePolicy.h"
#include "browser/downloads/DownloadFailure.h"
#include "browser/downloads/DownloadName.h"
#include "browser/navigation/DropPolicy.h"
#include "browser/downloads/FileDialogFolders.h"
#include "browser/commands/FullScreenPolicy.h"
#include "browser/navigation/NavigationPolicy.h"
#include "browser/view/SignOnFlags.h"
#include "browser/permissions/PermissionPolicy.h"

#include <QTest>

class TestPagePolicies final : public QObject
{
    Q_OBJECT

private slots:
    void closeAsksThePage_data();
    void closeAsksThePage();
    void downloadFailures_data();
    void downloadFailures();
    void downloadFolders_data();
    void downloadFolders();
    void downloadNames_data();
    void downloadNames();
    void takenNames_data();
    void takenNames();
    void downloadPlaces_data();
    void downloadPlaces();
    void dialogFolders_data();
    void dialogFolders();
    void pageNavigations_data();
    void pageNavigations();
    void fullScreenRequests_data();
    void fullScreenRequests();
    void signOnFlags_data();
    void signOnFlags();
    void permissionRequests_data();
    void permissionRequests();
};

void TestPagePolicies::closeAsksThePage_data()
{
    QTest::addColumn<CloseCause>("cause");
    QTest::addColumn<bool>("pageAgreed");
    QTest::addColumn<CloseStep>("step");
    QTest::addColumn<int>("limitMs");
    QTest::newRow("user") << CloseCause::User << false << CloseStep::AskPage << 0;
    QTest::newRow("user, page agreed") << CloseCause::User << true << CloseStep::CloseNow << 0;
    QTest::newRow("page asked") << CloseCause::PageAsked << false << CloseStep::CloseNow << 0;
    QTest::newRow("logout") << CloseCause::SessionEnd << false << CloseStep::AskPage << 3000;
    QTest::newRow("logout, page agreed") << CloseCause::SessionEnd << true << CloseStep::CloseNow << 3000;
    QTest::newRow("program ends") << CloseCause::ProgramEnd << false << CloseStep::CloseNow << 0;
}

void TestPagePolicies::closeAsksThePage()
{
    QFETCH(CloseCause, cause);
    QFETCH(bool, pageAgreed);
    QFETCH(CloseStep, step);
    QFETCH(int, limitMs);
    QCOMPARE(closeStep(cause, pageAgreed), step);
    QCOMPARE(closeTimeLimitMs(cause), limitMs);
}

void TestPagePolicies::downloadFailures_data()
{
    using R = QWebEngineDownloadRequest;
    QTest::addColumn<R::DownloadInterruptReason>("reason");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << R::NoReason << QString();
    QTest::newRow("cancelled") << R::UserCanceled << QString();
    QTest::newRow("access denied") << R::FileAccessDenied << "“a b.csv”下载失败：没有写入目标文件夹的权限。";
    QTest::newRow("disk full") << R::FileNoSpace << "“a b.csv”下载失败：磁盘空间不足。";
    QTest::newRow("too large") << R::FileTooLarge << "“a b.csv”下载失败：磁盘空间不足。";
    QTest::newRow("disconnected") << R::NetworkDisconnected << "“a b.csv”下载失败：与服务器的连接中断。";
    QTest::newRow("network failed") << R::NetworkFailed << "“a b.csv”下载失败：与服务器的连接中断。";
    QTest::newRow("cut short") << R::FileTooShort << "“a b.csv”下载失败：与服务器的连接中断。";
    QTest::newRow("shorter than announced") << R::DownloadInterruptReason(38)
                                            << "“a b.csv”下载失败：与服务器的连接中断。";
    QTest::newRow("server failed") << R::ServerFailed << "“a b.csv”下载失败：服务器拒绝了下载。";
    QTest::newRow("forbidden") << R::ServerForbidden << "“a b.csv”下载失败：服务器拒绝了下载。";
    QTest::newRow("file failed") << R::FileFailed << "“a b.csv”下载失败：无法保存文件。";
}

void TestPagePolicies::downloadFailures()
{
    QFETCH(QWebEngineDownloadRequest::DownloadInterruptReason, reason);
    QFETCH(QString, text);
    QCOMPARE(downloadFailureText(QStringLiteral("a b.csv"), downloadFailureFor(reason)), text);
}

void TestPagePolicies::downloadFolders_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<bool>("isFolder");
    QTest::addColumn<bool>("writable");
    QTest::addColumn<bool>("readOnlyDisk");
    QTest::addColumn<DownloadFailure>("failure");
    QTest::newRow("usable") << true << true << true << false << DownloadFailure::None;
    QTest::newRow("missing") << false << false << false << false << DownloadFailure::FolderGone;
    QTest::newRow("a file") << true << false << true << false << DownloadFailure::FolderGone;
    QTest::newRow("not writable") << true << true << false << false << DownloadFailure::NoPermission;
    QTest::newRow("read-only disk") << true << true << false << true << DownloadFailure::ReadOnly;
}

void TestPagePolicies::downloadFolders()
{
    QFETCH(bool, exists);
    QFETCH(bool, isFolder);
    QFETCH(bool, writable);
    QFETCH(bool, readOnlyDisk);
    QFETCH(DownloadFailure, failure);
    QCOMPARE(downloadFolderFailure(exists, isFolder, writable, readOnlyDisk), failure);
    QCOMPARE(downloadFailureText(QStringLiteral("x"), failure).isEmpty(), failure == DownloadFailure::None);
}

void TestPagePolicies::downloadNames_data()
{
    QTest::addColumn<QString>("suggested"); // by the engine
    QTest::addColumn<QString>("suffix");    // of the type
    QTest::addColumn<QString>("name");
    const QString chinese300 = QString(100, QChar(u'表'));
    QTest::newRow("plain") << "report.csv" << "csv" << "report.csv";
    QTest::newRow("UTF-8, as the engine reads it") << "报表.xlsx" << "" << "报表.xlsx";
    // The engine reads raw bytes as Latin-1, one character a byte.
    QTest::newRow("raw GBK") << QString::fromLatin1("\xB1\xA8\xB1\xED.xlsx") << "" << "报表.xlsx";
    QTest::newRow("raw UTF-8") << QString::fromLatin1("\xE6\x8A\xA5\xE8\xA1\xA8.xlsx") << "" << "报表.xlsx";
    QTest::newRow("Latin-1 that is no GBK") << QString::fromLatin1("caf\xE9.txt") << "" << QString::fromLatin1("caf\xE9.txt");
    QTest::newRow("a path") << "../../.bashrc" << "" << "_.._.bashrc";
    QTest::newRow("backslashes") << "..\\x\\y.csv" << "" << "_x_y.csv";
    QTest::newRow("control and direction characters") << QStringLiteral("a\x01" "b\tc\x7f\u202Egpj.exe") << ""
                                                      << "a_b_c__gpj.exe";
    QTest::newRow("an option") << "-rf" << "" << "rf";
    QTest::newRow("hidden") << ".profile" << "" << "profile";
    QTest::newRow("empty") << "" << "pdf" << "下载.pdf";
    QTest::newRow("only dots") << " ..." << "pdf" << "下载.pdf";
    QTest::newRow("empty, no type") << "" << "" << "下载";
    QTest::newRow("300 bytes, extension kept") << chinese300 + ".xlsx" << "" << QString(83, QChar(u'表')) + ".xlsx";
    QTest::newRow("300 bytes") << chinese300 << "" << QString(85, QChar(u'表'));
    const QString face = QString::fromUcs4(U"\U0001F600", 1);
    QTest::newRow("400 bytes of a four-byte character") << face.repeated(100) << "" << face.repeated(63);
}

void TestPagePolicies::downloadNames()
{
    QFETCH(QString, suggested);
    QFETCH(QString, suffix);
    QFETCH(QString, name);
    const QString safe = safeFileName(serverMeantName(suggested), suffix);
    QCOMPARE(safe, name);
    QVERIFY(safe.toUtf8().size() <= maxFileNameBytes);
}

void TestPagePolicies::takenNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("numbered");
    QTest::addColumn<QString>("partial");
    const QString long255 = QString(83, QChar(u'表')) + ".xlsx";
    QTest::newRow("free") << "报表.xlsx" << 0 << "报表.xlsx" << ".报表.xlsx.part";
    QTest::newRow("taken once") << "报表.xlsx" << 1 << "报表 (1).xlsx" << ".报表.xlsx.1.part";
    QTest::newRow("no extension") << "README" << 2 << "README (2)" << ".README.2.part";
    QTest::newRow("two dots") << "a.tar.gz" << 1 << "a.tar (1).gz" << ".a.tar.gz.1.part";
    QTest::newRow("at the limit") << long255 << 1 << QString(82, QChar(u'表')) + " (1).xlsx"
                                  << "." + QString(79, QChar(u'表')) + ".1.part";
}

void TestPagePolicies::takenNames()
{
    QFETCH(QString, name);
    QFETCH(int, n);
    QFETCH(QString, numbered);
    QFETCH(QString, partial);
    QCOMPARE(numberedFileName(name, n), numbered);
    QCOMPARE(partialFileName(name, n), partial);
    // With the engine's ".download" while it writes.
    QVERIFY(partialFileName(name, n).toUtf8().size() + 9 <= maxFileNameBytes);
}

void TestPagePolicies::downloadPlaces_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<bool>("gone");
    QTest::addColumn<int>("prompt"); // -1: not said
    QTest::addColumn<QString>("folder"); // empty: asked
    QTest::newRow("nothing set") << "" << false << -1 << "";
    QTest::newRow("folder") << "/set" << false << -1 << "/set";
    QTest::newRow("folder gone") << "/set" << true << -1 << "";
    QTest::newRow("folder, always ask") << "/set" << false << 1 << "";
    QTest::newRow("never ask") << "" << false << 0 << "/dl";
    QTest::newRow("folder, never ask") << "/set" << false << 0 << "/set";
    QTest::newRow("folder gone, never ask") << "/set" << true << 0 << "/dl";
}

void TestPagePolicies::downloadPlaces()
{
    QFETCH(QString, setting);
    QFETCH(bool, gone);
    QFETCH(int, prompt);
    QFETCH(QString, folder);
    const DownloadPlace place =
        downloadPlace(setting, gone, prompt < 0 ? std::nullopt : std::optional<bool>(prompt == 1), "/dl");
    QCOMPARE(place.ask, folder.isEmpty());
    QCOMPARE(place.folder, folder);
}

void TestPagePolicies::dialogFolders_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("lastUsed");
    QTest::addColumn<QString>("upload");
    QTest::addColumn<QString>("save");
    // Documents /d, Downloads /dl, home /h throughout.
    QTest::newRow("first dialog") << "" << "" << "/d" << "/dl";
    QTest::newRow("after one") << "" << "/last" << "/last" << "/last";
    QTest::newRow("download folder set") << "/set" << "/last" << "/last" << "/set";
    QTest::newRow("download folder set, first") << "/set" << "" << "/d" << "/set";
}

void TestPagePolicies::dialogFolders()
{
    QFETCH(QString, setting);
    QFETCH(QString, lastUsed);
    QFETCH(QString, upload);
    QFETCH(QString, save);
    QCOMPARE(uploadDialogFolder(lastUsed, "/d", "/h"), upload);
    QCOMPARE(saveDialogFolder(setting, lastUsed, "/dl", "/h"), save);
    // Without Documents or Downloads: home, never the working folder.
    QCOMPARE(uploadDialogFolder(QString(), QString(), "/h"), QStringLiteral("/h"));
    QCOMPARE(saveDialogFolder(QString(), QString(), QString(), "/h"), QStringLiteral("/h"));
}

void TestPagePolicies::pageNavigations_data()
{
    using P = QWebEnginePage;
    QTest::addColumn<QUrl>("url");
    QTest::addColumn<P::NavigationType>("type");
    QTest::addColumn<bool>("allowed");
    const QUrl file = QUrl::fromLocalFile("/home/u/orders.csv");
    const QUrl page("http://bi.kelumo.com/a");
    QTest::newRow("dropped file") << file << P::NavigationTypeLinkClicked << false;
    QTest::newRow("file by a form") << file << P::NavigationTypeFormSubmitted << false;
    QTest::newRow("file by a redirect") << file << P::NavigationTypeRedirect << false;
    QTest::newRow("file by a script") << file << P::NavigationTypeOther << false;
    QTest::newRow("file, the client's own load") << file << P::NavigationTypeTyped << true;
    QTest::newRow("file, reloaded") << file << P::NavigationTypeReload << true;
    QTest::newRow("file, history") << file << P::NavigationTypeBackForward << true;
    QTest::newRow("link") << page << P::NavigationTypeLinkClicked << true;
    QTest::newRow("data") << QUrl("data:text/html,x") << P::NavigationTypeOther << true;
}

void TestPagePolicies::pageNavigations()
{
    QFETCH(QUrl, url);
    QFETCH(QWebEnginePage::NavigationType, type);
    QFETCH(bool, allowed);
    QCOMPARE(pageMayOpen(url, type), allowed);
}

void TestPagePolicies::fullScreenRequests_data()
{
    QTest::addColumn<QUrl>("origin");
    QTest::addColumn<QUrl>("page");
    QTest::addColumn<bool>("granted");
    const QUrl page("http://bi.kelumo.com/wall/1?x=2");
    QTest::newRow("the page's own") << QUrl("http://bi.kelumo.com") << page << true;
    QTest::newRow("host in capitals") << QUrl("http://BI.kelumo.com/") << page << true;
    QTest::newRow("another host's frame") << QUrl("http://ads.example.com") << page << false;
    // The platform's hosts are hosts, whatever the port or scheme.
    QTest::newRow("a subdomain") << QUrl("http://x.bi.kelumo.com") << page << true;
    QTest::newRow("another port") << QUrl("http://bi.kelumo.com:8080") << page << true;
    QTest::newRow("another scheme") << QUrl("https://bi.kelumo.com") << page << true;
    QTest::newRow("another port of a foreign page") << QUrl("http://ads.example.com:8080")
                                                    << QUrl("http://ads.example.com/") << false;
    QTest::newRow("loopback with port") << QUrl("http://127.0.0.1:5000") << QUrl("http://127.0.0.1:5000/a") << true;
    QTest::newRow("no origin") << QUrl() << page << false;
    QTest::newRow("a data page") << QUrl("data:text/html,x") << QUrl("data:text/html,x") << false;
    QTest::newRow("another platform host's frame") << QUrl("https://reports.kelumo.com") << page << true;
    QTest::newRow("a frame on a foreign page") << QUrl("https://reports.kelumo.com") << QUrl("http://ads.example.com/")
                                               << false;
    QTest::newRow("a host merely ending like it") << QUrl("http://evilkelumo.com") << page << false;
}

void TestPagePolicies::fullScreenRequests()
{
    QFETCH(QUrl, origin);
    QFETCH(QUrl, page);
    QFETCH(bool, granted);
    const PlatformHosts hosts = PlatformHosts::of(QStringLiteral("http://bi.kelumo.com/start?ver=430"),
                                                  QStringLiteral("http://www.kelumo.com"), QString(), {});
    QCOMPARE(mayGoFullScreen(origin, page, hosts), granted);
}

void TestPagePolicies::signOnFlags_data()
{
    QTest::addColumn<QByteArray>("flags");
    QTest::addColumn<QStringList>("allowlist");
    QTest::addColumn<QByteArray>("result");
    QTest::newRow("no hosts: the flags as they were") << QByteArray("--a") << QStringList{} << QByteArray("--a");
    QTest::newRow("hosts after the flags given") << QByteArray(" --a ") << QStringList{"sso.example.com", "*.corp"}
                                                 << QByteArray("--a --auth-server-allowlist=sso.example.com,*.corp");
    QTest::newRow("alone") << QByteArray() << QStringList{"h:8080"} << QByteArray("--auth-server-allowlist=h:8080");
    QTest::newRow("a host that would bring in a flag is left out")
        << QByteArray() << QStringList{"a --no-sandbox", "b", ""} << QByteArray("--auth-server-allowlist=b");
}

void TestPagePolicies::signOnFlags()
{
    QFETCH(QByteArray, flags);
    QFETCH(QStringList, allowlist);
    QFETCH(QByteArray, result);
    std::vector<std::string> hosts;
    for (const QString &host : allowlist)
        hosts.push_back(host.toStdString());
    QCOMPARE(withSignOnFlags(flags, hosts), result);
}

void TestPagePolicies::permissionRequests_data()
{
    using P = QWebEnginePage;
    using A = PermissionAnswer;
    QTest::addColumn<P::Feature>("feature");
    QTest::addColumn<QUrl>("origin");
    QTest::addColumn<bool>("notificationsAllowed");
    QTest::addColumn<bool>("mediaCaptureAllowed");
    QTest::addColumn<A>("answer");
    const QUrl own("http://bi.kelumo.com");
    const QUrl other("https://reports.kelumo.com");
    const QUrl foreign("http://ads.example.com");
    QTest::newRow("notifications") << P::Notifications << own << true << true << A::Grant;
    QTest::newRow("notifications, another platform host") << P::Notifications << other << true << true << A::Grant;
    QTest::newRow("notifications, foreign frame") << P::Notifications << foreign << true << true << A::Deny;
    QTest::newRow("notifications, not allowed") << P::Notifications << own << false << true << A::Deny;
    QTest::newRow("microphone") << P::MediaAudioCapture << own << true << true << A::Ask;
    QTest::newRow("camera") << P::MediaVideoCapture << own << true << true << A::Ask;
    QTest::newRow("both") << P::MediaAudioVideoCapture << own << true << true << A::Ask;
    QTest::newRow("screen") << P::DesktopVideoCapture << own << true << true << A::Ask;
    QTest::newRow("screen and sound") << P::DesktopAudioVideoCapture << other << true << true << A::Ask;
    QTest::newRow("microphone, foreign frame") << P::MediaAudioCapture << foreign << true << true << A::Deny;
    QTest::newRow("camera, not allowed") << P::MediaVideoCapture << own << true << false << A::Deny;
    QTest::newRow("screen, not allowed") << P::DesktopVideoCapture << own << true << false << A::Deny;
    QTest::newRow("microphone, no origin") << P::MediaAudioCapture << QUrl() << true << true << A::Deny;
    QTest::newRow("microphone, a data frame") << P::MediaAudioCapture << QUrl("data:text/html,x") << true << true
                                              << A::Deny;
    QTest::newRow("geolocation") << P::Geolocation << own << true << true << A::Deny;
    QTest::newRow("mouse lock") << P::MouseLock << own << true << true << A::Deny;
    QTest::newRow("a host merely ending like it") << P::Notifications << QUrl("http://evilkelumo.com") << true << true
                                                  << A::Deny;
}

void TestPagePolicies::permissionRequests()
{
    QFETCH(QWebEnginePage::Feature, feature);
    QFETCH(QUrl, origin);
    QFETCH(bool, notificationsAllowed);
    QFETCH(bool, mediaCaptureAllowed);
    QFETCH(PermissionAnswer, answer);
    const PlatformHosts hosts = PlatformHosts::of(QStringLiteral("http://bi.kelumo.com/start?ver=430"),
                                                  QStringLiteral("http://www.kelumo.com"), QString(), {});
    const QUrl page("http://bi.kelumo.com/wall/1");
    QCOMPARE(permissionAnswer(feature, origin, page, hosts, {notificationsAllowed, mediaCaptureAllowed}), answer);
    // A platform frame on a foreign page is a foreign page's.
    QCOMPARE(permissionAnswer(feature, origin, QUrl("http://ads.example.com/"), hosts,
                              {notificationsAllowed, mediaCaptureAllowed}),
             PermissionAnswer::Deny);
    if (answer == PermissionAnswer::Ask)
        QVERIFY(permissionQuestion(feature, origin).startsWith("“" + origin.host() + "”想要"));
}

QTEST_APPLESS_MAIN(TestPagePolicies)
#include "tst_pagepolicies.moc"
