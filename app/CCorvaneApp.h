#pragma once

#include "RecentFileList.h"

#include <memory>
#include <string>

class CCorvaneDoc;
class CCorvaneView;
class CMainFrame;
class QWebEngineProfile;

// The program: start-up (sign-in first, then the main window), the buffers
// that the sign-in and the browser share, and the document commands.
class CCorvaneApp final
{
public:
    CCorvaneApp();
    ~CCorvaneApp();

    CCorvaneApp(const CCorvaneApp &) = delete;
    CCorvaneApp &operator=(const CCorvaneApp &) = delete;

    // The start address: written once by the sign-in worker, read by the view
    // at every initial update. At most 499 bytes and the terminator.
    char m_szStartUrl[500];
    // The folder of the executable, ending in '/'.
    std::string m_szAppFolder;

    char *GetStartUrl() { return m_szStartUrl; }

    // Runs the whole program; returns the process's exit code.
    int Run(int argc, char **argv);

    // Start-up on the user-interface thread; false ends the program (code 0).
    bool InitInstance();
    int ExitInstance();

    void OnAppAbout();
    void OnFileNew();
    void OnFileOpen();
    void OnFileSave();

    CMainFrame *mainFrame() const { return m_frame; }
    CCorvaneView *view() const { return m_view; }
    CCorvaneDoc *document() const { return m_doc.get(); }
    const RecentFileList &recentFiles() const { return m_recentFiles; }

    static constexpr const char *title = "Kelumo大数据";
    static constexpr const char *registryKey = "应用程序向导生成的本地应用程序";

private:
    bool ProcessShellCommand(const QStringList &arguments);
    bool CreateMainWindow();
    void PrepareMainWindow();
    bool OpenDocumentFile(const QString &path);

    std::unique_ptr<QWebEngineProfile> m_profile;
    std::unique_ptr<CCorvaneDoc> m_doc;
    CMainFrame *m_frame = nullptr;
    CCorvaneView *m_view = nullptr;
    RecentFileList m_recentFiles{4};
};

extern CCorvaneApp theApp;
