#include "app/BrowserModuleLoader.h"
#include "app/CAboutDlg.h"
#include "app/CCorvaneDoc.h"
#include "app/CommandLine.h"
#include "app/HandOver.h"
#include "app/ProgramFolder.h"
#include "app/QtTranslations.h"
#include "app/RecentFileList.h"
#include "app/SingleInstance.h"
#include "base/ClientSettings.h"
#include "base/PolicyFiles.h"
#include "base/PolicyReport.h"
#include "base/Trace.h"

#include <QApplication>
#include <QFile>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtEndian>

#include <atomic>
#include <string>
#include <thread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

Q_DECLARE_METATYPE(HandOver)

using namespace std::string_literals;

class TestAppParts final : public QObject
{
    Q_OBJECT

private slots:
    void programFolder_data();
    void programFolder();
    void commandLine_data();
    void commandLine();
    void handOverName_data();
    void handOverName();
    void handOverMessage_data();
    void handOverMessage();
    void oneClient_data();
    void oneClient();
    void launchesAtTheSameMoment();
    void badHandOverIsIgnored_data();
    void badHandOverIsIgnored();
    void stallProbeOnlyWhenTracing_data();
    void stallProbeOnlyWhenTracing();
    void recentFiles();
    void documentNeverHasTitle();
    void openReadsNothingSaveWritesNothing();
    void openMissingFileFails();
    void aboutBox();
    // Last: it changes the process's default locale.
    void chineseUnderTheCLocale();
};

void TestAppParts::programFolder_data()
{
    QTest::addColumn<std::string>("path");
    QTest::addColumn<std::string>("folder");
    QTest::newRow("installed") << "/opt/kelumo/kelumo"s << "/opt/kelumo/"s;
    QTest::newRow("root") << "/kelumo"s << "/kelumo"s;
    QTest::newRow("no separator") << "kelumo"s << "kelumo"s;
    QTest::newRow("deep") << "/a/b/c/d"s << "/a/b/c/"s;
}

void TestAppParts::programFolder()
{
    QFETCH(std::string, path);
    QFETCH(std::string, folder);
    QCOMPARE(programFolderOf(path), folder);
}

void TestAppParts::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("file");
    QTest::newRow("none") << QStringList{"kelumo"} << QString();
    QTest::newRow("a file") << QStringList{"kelumo", "report.dat"} << "report.dat";
    QTest::newRow("options are not files") << QStringList{"kelumo", "--verbose", "/p"} << QString();
    QTest::newRow("engine arguments are not files")
        << QStringList{"kelumo", "--webEngineArgs", "page.html"} << QString();
    QTest::newRow("first file wins") << QStringList{"kelumo", "a", "b"} << "a";
}

void TestAppParts::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, file);
    QCOMPARE(CommandLine::parse(arguments).fileToOpen, file);
}

void TestAppParts::handOverName_data()
{
    QTest::addColumn<QString>("runtime");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("name");
    QTest::newRow("X11") << "/run/user/1000" << ":0" << "/run/user/1000/kelumo-_0";
    QTest::newRow("X11 screen") << "/run/user/1000/" << ":0.1" << "/run/user/1000/kelumo-_0";
    QTest::newRow("remote X11") << "/run/user/7" << "host.test:10.0" << "/run/user/7/kelumo-host.test_10";
    QTest::newRow("Wayland") << "/run/user/1000" << "wayland-0" << "/run/user/1000/kelumo-wayland_0";
    QTest::newRow("no display") << "/run/user/1000" << "" << "/run/user/1000/kelumo-nodisplay";
    QTest::newRow("no runtime folder") << "" << ":1" << "/tmp/kelumo-1000/kelumo-_1";
    QTest::newRow("odd display") << "/r" << "../../x y" << "/r/kelumo-.._.._x_y";
    QTest::newRow("too long for a socket") << "/" + QString(120, 'd') << ":0" << "";
}

void TestAppParts::handOverName()
{
    QFETCH(QString, runtime);
    QFETCH(QString, display);
    QFETCH(QString, name);
    QCOMPARE(::handOverName(runtime, "/tmp/kelumo-1000", display), name);
}

namespace {

// The message's shape written out by hand: its tag, the length of the rest,
// and fields of a name (its length in a byte) and a value (its length in 4).
QByteArray length32(qsizetype length)
{
    const quint32 be = qToBigEndian(quint32(length));
    return QByteArray(reinterpret_cast<const char *>(&be), 4);
}

QByteArray field(const QByteArray &key, const QByteArray &value)
{
    return char(key.size()) + key + length32(value.size()) + value;
}

QByteArray message(const QByteArray &fields)
{
    return "kelumo-handover 2\n" + length32(fields.size()) + fields;
}

} // namespace

void TestAppParts::handOverMessage_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QByteArray>("encoded"); // encoded again, when not `bytes` itself
    HandOver full;
    full.arguments = QStringList{"/opt/kelumo/kelumo", "报表 1.dat", "a\nb%0A", "--x"};
    full.workingDirectory = "/home/用户/文档";
    full.activationToken = "token 1\n";
    QTest::newRow("full") << full.encode() << true << QByteArray();
    const QByteArray plain = HandOver{{"kelumo"}, "/", {}}.encode();
    QTest::newRow("plain") << plain << true << QByteArray();
    QCOMPARE(plain, message(field("cwd", "/") + field("token", {}) + field("arg", "kelumo")));
    QTest::newRow("empty") << QByteArray() << false << QByteArray();
    QTest::newRow("cut short") << plain.left(plain.size() - 2) << false << QByteArray();
    QTest::newRow("no program name") << message(field("cwd", "/") + field("token", {})) << false << QByteArray();
    QTest::newRow("other version") << QByteArray(plain).replace("handover 2", "handover 3") << false << QByteArray();
    QTest::newRow("unknown field instead of the program name")
        << QByteArray(plain).replace("\x03" "arg", "\x03" "cmd") << false << QByteArray();
    QTest::newRow("field twice") << message(field("cwd", "/") + field("token", {}) + field("token", {}) +
                                            field("arg", "kelumo"))
                                 << false << QByteArray();
    QTest::newRow("garbage") << QByteArray("\x01\xff\n\nend\n") << false << QByteArray();
    QTest::newRow("oversized") << HandOver{{"kelumo", QString(HandOver::maxBytes, 'a')}, "/", {}}.encode() << false
                               << QByteArray();
    QTest::newRow("a field missing") << message(field("token", {}) + field("arg", "kelumo")) << false << QByteArray();
    QTest::newRow("unknown field is skipped")
        << message(field("cwd", "/") + field("later", "x") + field("token", {}) + field("arg", "kelumo")) << true
        << plain;
    QTest::newRow("fields in another order")
        << message(field("arg", "kelumo") + field("token", {}) + field("cwd", "/")) << true << plain;
    QTest::newRow("length past the end")
        << message(field("cwd", "/") + field("token", {}) + "\x03" "arg" + length32(100) + "kelumo") << false
        << QByteArray();
    QTest::newRow("more than its length") << plain + "x" << false << QByteArray();
    QTest::newRow("length over the limit")
        << "kelumo-handover 2\n" + length32(HandOver::maxBytes) + field("arg", "kelumo") << false << QByteArray();
}

void TestAppParts::handOverMessage()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    QFETCH(QByteArray, encoded);
    const std::optional<HandOver> decoded = HandOver::decode(bytes);
    QCOMPARE(decoded.has_value(), valid);
    if (valid)
        QCOMPARE(decoded->encode(), encoded.isEmpty() ? bytes : encoded);
}

namespace {

// Claims on a thread of its own, as a second process would, while this
// thread's event loop lets the first client answer.
SingleInstance::Outcome claimElsewhere(SingleInstance &instance, const HandOver &message)
{
    std::atomic<int> outcome{-1};
    std::thread claimer([&] { outcome = static_cast<int>(instance.claim(message)); });
    // A claim ends by itself within its time-outs.
    const bool ended = QTest::qWaitFor([&] { return outcome >= 0; }, 10000);
    Q_UNUSED(ended)
    claimer.join();
    return static_cast<SingleInstance::Outcome>(outcome.load());
}

} // namespace

void TestAppParts::oneClient_data()
{
    QTest::addColumn<QString>("first"); // what holds the name before the launch
    QTest::addColumn<int>("outcome");
    QTest::addColumn<bool>("handedOver");
    QTest::newRow("nothing") << "" << int(SingleInstance::Outcome::First) << false;
    QTest::newRow("running client") << "listening" << int(SingleInstance::Outcome::HandedOver) << true;
    // A crashed client left its socket behind, and nobody holds the lock.
    QTest::newRow("stale name") << "stale" << int(SingleInstance::Outcome::First) << false;
    // Takes the answer time-out: the launch then starts on its own.
    QTest::newRow("hanging client") << "hanging" << int(SingleInstance::Outcome::Alone) << false;
}

void TestAppParts::oneClient()
{
    QFETCH(QString, first);
    QFETCH(int, outcome);
    QFETCH(bool, handedOver);
    QTemporaryDir runtime;
    const QString name = ::handOverName(runtime.path(), {}, ":9");
    HandOver message{{"kelumo", "report.dat"}, "/data", "tok"};

    SingleInstance running(name);
    if (first == "listening" || first == "hanging")
        QCOMPARE(running.claim({{"kelumo"}, "/", {}}), SingleInstance::Outcome::First);
    if (first == "listening")
        running.listen();
    if (first == "stale") {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, name.toLocal8Bit().constData(), sizeof address.sun_path);
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        QCOMPARE(::listen(fd, 1), 0);
        ::close(fd);
    }
    QSignalSpy received(&running, &SingleInstance::handedOver);

    SingleInstance launch(name);
    QCOMPARE(int(claimElsewhere(launch, message)), outcome);
    QCOMPARE(received.size(), handedOver ? 1 : 0);
    if (handedOver)
        QCOMPARE(received.at(0).at(0).value<HandOver>().encode(), message.encode());
    if (outcome == int(SingleInstance::Outcome::First)) {
        // Only its user may connect.
        struct stat st{};
        QCOMPARE(::stat(name.toLocal8Bit().constData(), &st), 0);
        QCOMPARE(st.st_mode & 077, 0u);
    }
}

void TestAppParts::launchesAtTheSameMoment()
{
    QTemporaryDir runtime;
    const QString name = ::handOverName(runtime.path(), {}, ":9");
    SingleInstance a(name);
    SingleInstance b(name);
    std::atomic<int> outcomeA{-1};
    std::atomic<int> outcomeB{-1};
    std::thread claimA([&] { outcomeA = static_cast<int>(a.claim({{"kelumo"}, "/", {}})); });
    std::thread claimB([&] { outcomeB = static_cast<int>(b.claim({{"kelumo"}, "/", {}})); });
    const int first = static_cast<int>(SingleInstance::Outcome::First);
    // The one that got the name listens, as its start-up goes on.
    QVERIFY(QTest::qWaitFor([&] { return outcomeA == first || outcomeB == first; }, 10000));
    (outcomeA == first ? a : b).listen();
    QVERIFY(QTest::qWaitFor([&] { return outcomeA >= 0 && outcomeB >= 0; }, 10000));
    claimA.join();
    claimB.join();
    QCOMPARE(QSet<int>({outcomeA, outcomeB}), QSet<int>({first, int(SingleInstance::Outcome::HandedOver)}));
}

void TestAppParts::badHandOverIsIgnored_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("hangUp"); // the sender goes away without waiting
    QTest::newRow("garbled") << message("nonsense") << false;
    QTest::newRow("oversized") << QByteArray(HandOver::maxBytes + 4096, 'a') << false;
    QTest::newRow("cut short") << HandOver{{"kelumo"}, "/", {}}.encode().left(20) << true;
}

void TestAppParts::badHandOverIsIgnored()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, hangUp);
    QTemporaryDir runtime;
    const QString name = ::handOverName(runtime.path(), {}, ":9");
    SingleInstance running(name);
    QCOMPARE(running.claim({{"kelumo"}, "/", {}}), SingleInstance::Outcome::First);
    running.listen();
    QSignalSpy received(&running, &SingleInstance::handedOver);

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, name.toLocal8Bit().constData(), sizeof address.sun_path);
    QCOMPARE(::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    qsizetype sent = 0;
    // The client may hang up before all of it is in.
    QVERIFY(QTest::qWaitFor([&] {
        const ssize_t n = ::send(fd, bytes.constData() + sent, std::size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n > 0)
            sent += n;
        return sent == bytes.size() || (n < 0 && errno != EAGAIN);
    }));
    if (hangUp) {
        ::close(fd);
    } else {
        // No answer: the client hangs up.
        QVERIFY(QTest::qWaitFor([&] {
            char c;
            const ssize_t n = ::recv(fd, &c, 1, 0);
            return n == 0 || (n < 0 && errno != EAGAIN);
        }));
        ::close(fd);
    }
    // And goes on taking launches.
    SingleInstance launch(name);
    QCOMPARE(claimElsewhere(launch, {{"kelumo", "a.dat"}, "/", {}}), SingleInstance::Outcome::HandedOver);
    QCOMPARE(received.size(), 1);
    QCOMPARE(received.at(0).at(0).value<HandOver>().arguments, (QStringList{"kelumo", "a.dat"}));
}

void TestAppParts::stallProbeOnlyWhenTracing_data()
{
    QTest::addColumn<bool>("tracing");
    QTest::newRow("tracing off") << false;
    QTest::newRow("tracing on") << true;
}

void TestAppParts::stallProbeOnlyWhenTracing()
{
    QFETCH(bool, tracing);
    const auto restore = qScopeGuard([was = traceEnabled()] { setTraceEnabled(was); });
    setTraceEnabled(tracing);
    QTemporaryDir dir;
    char startUrl[500] = {};
    BrowserModuleLoader loader(dir.filePath("missing.so"));
    loader.start(startUrl, dir.path());
    QCOMPARE(loader.probing(), tracing);
    // A module that is not there fails on its own, and the probe goes with it.
    QVERIFY(QTest::qWaitFor([&] { return loader.finished(); }, 10000));
    QVERIFY(!loader.module());
    QVERIFY(!loader.probing());
}

void TestAppParts::recentFiles()
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath("profile.ini"), QSettings::IniFormat);
    RecentFileList list(4);
    for (const char *name : {"/a", "/b", "/c", "/d", "/e", "/c"})
        list.Add(name);
    QCOMPARE(list.files(), (QStringList{"/c", "/e", "/d", "/b"}));
    list.WriteList(settings);
    RecentFileList read(4);
    read.ReadList(settings);
    QCOMPARE(read.files(), list.files());
    QCOMPARE(settings.value("Recent File List/File1").toString(), QString("/c"));
}

void TestAppParts::documentNeverHasTitle()
{
    CCorvaneDoc doc;
    QSignalSpy updates(&doc, &CCorvaneDoc::initialUpdate);
    QVERIFY(doc.OnNewDocument());
    QCOMPARE(doc.GetTitle(), QString());
    doc.SetTitle("report.dat");
    QCOMPARE(doc.GetTitle(), QString());
    QCOMPARE(updates.size(), 1);
}

void TestAppParts::openReadsNothingSaveWritesNothing()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("some.file");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("content that stays as it is");
    file.close();

    CCorvaneDoc doc;
    QSignalSpy updates(&doc, &CCorvaneDoc::initialUpdate);
    QVERIFY(doc.OnOpenDocument(path));
    QCOMPARE(doc.GetTitle(), QString());
    QCOMPARE(updates.size(), 1);

    const QString saved = dir.filePath("saved.file");
    QVERIFY(doc.OnSaveDocument(saved));
    QCOMPARE(QFileInfo(saved).size(), 0);
    QFile original(path);
    QVERIFY(original.open(QIODevice::ReadOnly));
    QCOMPARE(original.readAll(), QByteArray("content that stays as it is"));
}

void TestAppParts::openMissingFileFails()
{
    QTemporaryDir dir;
    CCorvaneDoc doc;
    QVERIFY(!doc.OnOpenDocument(dir.filePath("missing")));
    QVERIFY(!doc.OnOpenDocument(dir.path()));
}

void TestAppParts::aboutBox()
{
    CAboutDlg about;
    QCOMPARE(about.windowTitle(), QString("Kelumo大数据"));
    QCOMPARE(about.findChild<QLabel *>("text")->text(), QString("Kelumo大数据 2.0"));
    QTimer::singleShot(0, &about, [&] { about.findChild<QPushButton *>("ok")->click(); });
    QCOMPARE(about.DoModal(), 1);
    QVERIFY(!about.findChild<QLabel *>("managed"));

    // Under an administrator's policies the box says so and lists them.
    CAboutDlg managed(nullptr, "由贵单位管理\n  PrintingEnabled = false（a.json）\n");
    QCOMPARE(managed.findChild<QLabel *>("managed")->text(), QString("由贵单位管理"));
    QVERIFY(managed.findChild<QPlainTextEdit *>("policies")->toPlainText().contains("PrintingEnabled = false"));

    // A broken file beside a good one: the good one's policy in force, the
    // broken one named, as the program gives the box its report.
    const ClientSettings settings = ClientSettings::resolve(
        policy::read({{"/p/10-good.json", "{\"PrintingEnabled\":false}", {}}, {"/p/20-broken.json", "{\"x\"", {}}}),
        [](const char *) -> const char * { return nullptr; });
    CAboutDlg broken(nullptr, QString::fromStdString(policyReport(settings)));
    const QString listed = broken.findChild<QPlainTextEdit *>("policies")->toPlainText();
    QVERIFY2(listed.contains("PrintingEnabled = false（/p/10-good.json）") && listed.contains("/p/20-broken.json：不是有效的 JSON"),
             qPrintable(listed));
}

void TestAppParts::chineseUnderTheCLocale()
{
    // CTest runs this under LANG=C.UTF-8: nothing in the system asks for Chinese.
    QCOMPARE(QLocale::system().language(), QLocale::C);
    QCOMPARE(installChineseTranslations(qApp), qtCatalogNames());
    QCOMPARE(QLocale().name(), QStringLiteral("zh_CN"));

    QMessageBox box(QMessageBox::Warning, QStringLiteral("信息提示"), QStringLiteral("x"), QMessageBox::Ok);
    QCOMPARE(box.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
    QDialogButtonBox buttons(QDialogButtonBox::Cancel);
    QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));
    // The web engine's menu texts come from the second catalog.
    QCOMPARE(QCoreApplication::translate("RenderViewContextMenuQt", "Back"), QStringLiteral("后退"));
}

QTEST_MAIN(TestAppParts)
#include "tst_appparts.moc"
