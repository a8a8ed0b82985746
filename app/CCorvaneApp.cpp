#include "app/CCorvaneApp.h"

#include "app/AppPlatform.h"
#include "app/CAboutDlg.h"
#include "app/CCorvaneDoc.h"
#include "app/CommandLine.h"
#include "app/LaunchSequence.h"
#include "app/LaunchWarmUp.h"
#include "app/ProgramFolder.h"
#include "app/QtTranslations.h"
#include "app/BrowserModuleLoader.h"
#include "base/ClientSettings.h"
#include "base/PolicyReport.h"
#include "base/Trace.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFont>
#include <QMessageBox>
#include <QSettings>

#include <cstring>
#include <iostream>
#include <utility>

CCorvaneApp theApp;

CCorvaneApp::CCorvaneApp()
{
    std::memset(m_szStartUrl, 0, sizeof m_szStartUrl);
}

CCorvaneApp::~CCorvaneApp() = default;

int CCorvaneApp::Run(int argc, char **argv)
{
    // An administrator checks a desktop over ssh: no display, no window.
    if (CommandLine::asksForPolicies(argc, argv)) {
        const std::string report = policyReport(ClientSettings::fromEnvironment());
        std::cout << (report.empty() ? std::string("没有生效的策略（策略文件夹 ") + kelumo::policyFolder + "/managed）\n"
                                     : report);
        return 0;
    }
    prepareProcessForEngine();
    chooseWindowSystem();
    trace("start");
    if (traceEnabled())
        for (const PolicyProblem &problem : ClientSettings::fromEnvironment().policyProblems)
            trace("policy ignored", problem.source + " " + problem.text);
    // Ready by the time the login dialog is built.
    LaunchWarmUp warmUp(kelumo::fontFamily, chineseCatalogFiles(), KELUMO_FONT_FILE);
    BrowserModuleLoader::chooseShareContextPath();
    QApplication app(argc, argv);
    installChineseTranslations(&app);
    QCoreApplication::setOrganizationName(QString::fromUtf8(registryKey));
    QCoreApplication::setApplicationName(QString::fromUtf8(title));
    QFont font(QString::fromUtf8(kelumo::fontFamily));
    font.setPointSize(9);
    QApplication::setFont(font);

    warmUp.waitForFontConfiguration();
    int code = 0;
    if (InitInstance())
        code = QApplication::exec();
    else
        code = m_exitCode;
    ExitInstance();
    return code;
}

bool CCorvaneApp::InitInstance()
{
    InitAppFolder();
    m_launch = std::make_unique<LaunchSequence>(m_appFolder, GetStartUrl());
    QObject::connect(m_launch.get(), &LaunchSequence::launchHandedOver,
                     [this](const HandOver &handOver) { OnHandOver(handOver); });
    return m_launch->run([this] { return ShowMainWindow(); });
}

bool CCorvaneApp::ShowMainWindow()
{
    QSettings settings;
    m_recentFiles.ReadList(settings);

    if (!ProcessShellCommand(QCoreApplication::arguments()))
        return false;

    if (!m_pendingDocument.isEmpty())
        OpenDocumentFile(std::exchange(m_pendingDocument, QString()));
    m_frame->setWindowTitle(QString::fromUtf8(title));
    m_module->ShowMainWindow();
    return true;
}

void CCorvaneApp::OnHandOver(const HandOver &handOver)
{
    // Before it is on screen, the main window comes up by itself, active.
    LaunchSequence::bringToFront(m_frame);
    const QString file = CommandLine::parse(handOver.arguments).fileToOpen;
    if (file.isEmpty())
        return;
    const QString path = QDir(handOver.workingDirectory).absoluteFilePath(file);
    if (m_frame)
        OpenDocumentFile(path);
    else
        m_pendingDocument = path;
}

int CCorvaneApp::ExitInstance()
{
    // The frame exists only after a sign-in: a cancel writes nothing.
    if (m_frame) {
        QSettings settings;
        m_recentFiles.WriteList(settings);
    }
    m_frame = nullptr;
    m_module = nullptr;
    m_launch.reset();
    m_doc.reset();
    return 0;
}

bool CCorvaneApp::CreateMainWindow()
{
    MainWindowModule *module = m_launch->waitForBrowserModule();
    QWidget *frame = module ? module->CreateMainWindow(this) : nullptr;
    if (!frame) {
        // Kept silent behind the dialog; said now that the user is signed in.
        std::cerr << "kelumo: the browser module did not start: "
                  << (module ? "the main window could not be made" : qPrintable(m_launch->browserModuleError())) << '\n';
        const QString text = QStringLiteral("无法启动浏览器组件，程序将退出。请重新安装Kelumo大数据。");
        trace("message", text.toStdString());
        QMessageBox::critical(nullptr, QString::fromUtf8(title), text);
        m_exitCode = 1;
        return false;
    }
    m_module = module;
    m_frame = frame;
    m_doc = std::make_unique<CCorvaneDoc>();
    QObject::connect(m_doc.get(), &CCorvaneDoc::initialUpdate, m_frame, [module] { module->OnInitialUpdate(); });
    return true;
}

bool CCorvaneApp::ProcessShellCommand(const QStringList &arguments)
{
    const CommandLine command = CommandLine::parse(arguments);
    if (!m_frame && !CreateMainWindow())
        return false;
    if (command.fileToOpen.isEmpty())
        return m_doc->OnNewDocument();
    return OpenDocumentFile(command.fileToOpen);
}

bool CCorvaneApp::OpenDocumentFile(const QString &path)
{
    if (!m_doc->OnOpenDocument(path)) {
        QMessageBox::warning(m_frame && m_frame->isVisible() ? m_frame : nullptr, QString::fromUtf8(title),
                             QStringLiteral("无法打开文档“%1”。").arg(path));
        return false;
    }
    m_recentFiles.Add(m_doc->GetPathName());
    return true;
}

void CCorvaneApp::OnAppAbout()
{
    CAboutDlg about(m_frame, QString::fromStdString(policyReport(ClientSettings::fromEnvironment())));
    about.DoModal();
}

void CCorvaneApp::OnFileNew()
{
    m_doc->OnNewDocument();
}

void CCorvaneApp::OnFileOpen()
{
    const QString path = QFileDialog::getOpenFileName(m_frame, QStringLiteral("打开"));
    if (!path.isEmpty())
        OpenDocumentFile(path);
}

void CCorvaneApp::OnFileSave()
{
    QString path = m_doc->GetPathName();
    if (path.isEmpty())
        path = QFileDialog::getSaveFileName(m_frame, QStringLiteral("另存为"));
    if (path.isEmpty())
        return;
    if (!m_doc->OnSaveDocument(path))
        QMessageBox::warning(m_frame, QString::fromUtf8(title), QStringLiteral("无法保存文档“%1”。").arg(path));
}
