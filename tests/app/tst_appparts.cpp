#include "app/CAboutDlg.h"
#include "app/CCorvaneDoc.h"
#include "app/CommandLine.h"
#include "app/ProgramFolder.h"
#include "app/QtTranslations.h"
#include "app/RecentFileList.h"

#include <QApplication>
#include <QFile>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <string>

using namespace std::string_literals;

class TestAppParts final : public QObject
{
    Q_OBJECT

private slots:
    void programFolder_data();
    void programFolder();
    void commandLine_data();
    void commandLine();
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
