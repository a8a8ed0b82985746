#pragma once

// The browser side of the program is a module (kelumo_browser_module), loaded
// after the login dialog is on screen so that the web engine's libraries and
// start-up stay off the launch path. This is all the program knows of it.

class QString;
class QWidget;

// What the main window asks of the program: the document commands.
class MainWindowHost
{
public:
    virtual void OnFileNew() = 0;
    virtual void OnFileOpen() = 0;
    virtual void OnFileSave() = 0;

protected:
    ~MainWindowHost() = default;
};

// The main window's side, made by the module's one exported function.
class MainWindowModule
{
public:
    virtual ~MainWindowModule() = default;

    // At the login command, while the call is out: brings the web engine up
    // with a profile that keeps nothing, shows nothing and writes no file of
    // the user's. It holds the calling thread until the engine's processes
    // have answered. `startUrlBuffer` is the program's 500-byte start address,
    // read at every initial update; `programFolder` ends in '/'. False when
    // the engine cannot start.
    virtual bool Prepare(const char *startUrlBuffer, const QString &programFolder) = 0;

    // After the sign-in: the profile that keeps the user's data, the frame and
    // its view, wired to `host`. Returns the frame, not yet shown, or null when
    // a part cannot be made. The module keeps the frame; it goes with the module.
    virtual QWidget *CreateMainWindow(MainWindowHost *host) = 0;

    // The document was renewed: the view goes back to the start address.
    virtual void OnInitialUpdate() = 0;

    // Shows the frame maximised once the start page has loaded, or after a
    // few hundred milliseconds at most.
    virtual void ShowMainWindow() = 0;
};

// The module's one exported function: extern "C" MainWindowModule *
// kelumoCreateMainWindowModule(int version); null for another version.
using CreateMainWindowModuleFunction = MainWindowModule *(*)(int version);
inline constexpr const char createMainWindowModuleSymbol[] = "kelumoCreateMainWindowModule";
inline constexpr int mainWindowModuleVersion = 1;
