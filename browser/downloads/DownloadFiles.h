#pragma once

#include <QString>

#include <functional>

// The files a download goes through in its folder: a hidden partial file
// the engine writes, then the free name it is moved to once complete.

// Whether a file of that path is taken by another download of this run.
using ReservedName = std::function<bool(const QString &path)>;

// The first of "name", "name (1)", … in `folder` that neither exists nor is
// reserved: the name to show while the download runs.
QString firstFreeFile(const QString &folder, const QString &name, const ReservedName &reserved);

// Creates the hidden partial file for `name` in `folder`, exclusively, so
// that two downloads of one name never write into one file. Its path, or
// empty when the folder takes no file.
QString claimPartialFile(const QString &folder, const QString &name);

// Moves the complete `partial` to `wanted`, or, when that has been taken
// meanwhile, to the next free numbered name; never over an existing file
// unless `replace` (the user chose to replace it). The final path, or empty
// when it could not be moved.
QString moveIntoPlace(const QString &partial, const QString &wanted, const QString &name, bool replace,
                      const ReservedName &reserved);
