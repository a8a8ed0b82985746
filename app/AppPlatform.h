#pragma once

// What the program that starts needs from the operating system, where POSIX
// and Windows differ. The rest of app/ asks here instead of testing the
// platform itself.

// Before the QApplication: the engine's start-up dump silenced unless the
// user set logging rules, and its sandbox turned off when running as root
// (it refuses to start there otherwise; said once on stderr).
void prepareProcessForEngine();

// Whether `c` separates the folders of a path.
bool isPathSeparator(char c);

// A function of the loaded libraries by its (Itanium-mangled) name; null where
// there is none, and on Windows, whose compilers mangle otherwise.
void *loadedFunction(const char *mangledName);
