#pragma once

#include "base/KelumoConfig.h"

#include "base/MainWindowModule.h"
#include "app/RecentFileList.h"

#include <QString>

#include <memory>
#include <string>

class CCorvaneDoc;
struct HandOver;
class LaunchSequence;
class QWidget;

// The program: start-up (sign-in first, then the main window; the steps in
// between are LaunchSequence's), the buffers that the sign-in and the browser
// share, and the document commands. The main window comes from the browser
// module (MainWindowModule.h), loaded behind the login dialog.
class CCorvaneApp final : public MainWindowHost
{
public:
    CCorvaneApp();
    ~CCorvaneApp();

    CCorvaneApp(const CCorvaneApp &) = delete;
    CCorvaneApp &operator=(const CCorvaneApp &) = delete;

    // The start address: written once by the sign-in worker, read by the view
    // at every initial update. At most 499 bytes and the terminator.
    kelumo::StartUrlBuffer m_szStartUrl;
    // The folder of the executable, ending in '/': its bytes, and as text.
    std::string m_szAppFolder;
    QString m_appFolder;

    char *GetStartUrl() { return m_szStartUrl; }

    // Runs the whole program; returns the process's exit code.
    int Run(int argc, char **argv);

    // Start-up on the user-interface thread; false ends the program (with
    // code 0, or 1 when the main window could not be made).
    bool InitInstance();
    int ExitInstance();

    void OnAppAbout();
    void OnFileNew() override;
    void OnFileOpen() override;
    void OnFileSave() override;

    QWidget *mainFrame() const { return m_frame; }
    CCorvaneDoc *document() const { return m_doc.get(); }
    const RecentFileList &recentFiles() const { return m_recentFiles; }

    static constexpr const char *title = kelumo::productName;
    static constexpr const char *registryKey = kelumo::registryKey;

private:
    bool ShowMainWindow();
    // A later launch's command line: the main window comes to the front, and
    // a document it names opens (after the sign-in, when the dialog is up).
    void OnHandOver(const HandOver &handOver);
    bool ProcessShellCommand(const QStringList &arguments);
    bool CreateMainWindow();
    bool OpenDocumentFile(const QString &path);

    // The launch; it owns the browser module and what it made.
    std::unique_ptr<LaunchSequence> m_launch;
    std::unique_ptr<CCorvaneDoc> m_doc;
    // The module and its frame; set only once the sign-in has succeeded.
    MainWindowModule *m_module = nullptr;
    QWidget *m_frame = nullptr;
    RecentFileList m_recentFiles{4};
    // A document handed over while the login dialog was up.
    QString m_pendingDocument;
    int m_exitCode = 0;
};

extern CCorvaneApp theApp;
