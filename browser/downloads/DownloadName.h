#pragma once

#include <QString>

// The rules for the name a download is saved under, in plain functions.

// The longest file name the file systems take, in bytes.
inline constexpr int maxFileNameBytes = 255;

// The name the server meant, from the engine's suggestion. The engine reads
// a Content-Disposition name that is not UTF-8 as Latin-1, so each of its
// characters is one byte of the header: those bytes are read again as UTF-8,
// else as GB18030 (older Chinese servers), else the suggestion stays.
QString serverMeantName(const QString &suggested);

// `name` made harmless as one file in one folder: no path separators, no
// control or direction characters, no leading dots, dashes or spaces, at most
// maxFileNameBytes bytes in UTF-8 with its extension kept and no character
// cut. An empty result is "下载" with `suffix` (the type's extension, may be
// empty).
QString safeFileName(const QString &name, const QString &suffix);

// The `n`th choice for a name that is taken: "报表 (n).xlsx" (n = 0: the name
// itself), shortened before the extension to stay within the limit.
QString numberedFileName(const QString &name, int n);

// The hidden name a download is written under until it is complete, with
// room left for the engine's own ".download" while it writes.
QString partialFileName(const QString &name, int n);

// `name` cut to at most `maxBytes` bytes of UTF-8, the extension kept where
// the stem leaves room for it, never inside a character.
QString fileNameWithinBytes(const QString &name, int maxBytes);
