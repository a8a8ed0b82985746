#pragma once

#include "base/PolicySet.h"

#include <QByteArray>
#include <QString>

#include <vector>

// An administrator's policy files: JSON objects of named values, in root-owned
// folders, read once at start. Files anyone but root could change are not
// taken; nothing in a file stops the client, it is reported and passed over.
namespace policy {

// A file found in a folder: its path, its bytes and whether it may be taken
// (a file or folder others than root could write is refused, with the reason).
struct FoundFile
{
    QString path;
    QByteArray bytes;
    QString refusal; // empty when the file may be taken
};

// Every "*.json" in `folder`, in name order. `trustedOwner` is the user whose
// files count besides root's (root itself for the managed folder).
std::vector<FoundFile> findFiles(const QString &folder, unsigned trustedOwner);

// Reads the files in order into one set, reporting what it passes over:
// unreadable JSON, a top level that is not an object, a name set twice.
PolicySet read(const std::vector<FoundFile> &files);

} // namespace policy
