#pragma once

// What the program that starts needs from the operating system, where POSIX
// and Windows differ. The rest of app/ asks here instead of testing the
// platform itself; the build picks AppPlatformUnix.cpp or AppPlatformWindows.cpp.

// Before the QApplication: the engine's start-up dump silenced unless the
// user set logging rules, and its sandbox turned off when running as root
// (it refuses to start there otherwise; said once on stderr).
// The engine's pages are exposed to screen readers unless the user said
// otherwise (QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY=0).
void prepareProcessForEngine();

// Before the QApplication: in a Wayland session that has an X server too
// (XWayland), the client runs on X, where its login dialog is centred and its
// frame keeps its own title bar; with no X server it runs on Wayland itself.
// A platform the user chose (QT_QPA_PLATFORM) stays.
void chooseWindowSystem();

// Whether `c` separates the folders of a path.
bool isPathSeparator(char c);

// A function of the loaded libraries by its (Itanium-mangled) name; null where
// there is none, and on Windows, whose compilers mangle otherwise.
void *loadedFunction(const char *mangledName);
