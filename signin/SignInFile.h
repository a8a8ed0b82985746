#pragma once

#include <QString>

#include <string>

// The remembered sign-in, data.dat: the account, CR LF, the password (GBK, no
// final line end), or an empty file when the user chose not to be remembered.
// Byte-compatible with the files earlier clients wrote.
class SignInFile final
{
public:
    // The file in `programFolder` (ending in '/'), or, when that folder is not
    // writable (an installation for all users), in `fallbackFolder`.
    static QString locate(const QString &programFolder, const QString &fallbackFolder);
    // The fallback folder of this user: the application's configuration folder.
    static QString userFolder();

    struct Contents
    {
        std::string account;
        std::string password;
    };

    // False when the file cannot be opened. Lines end at LF or CR LF; a missing
    // line reads as empty. Lines are read up to maxLineBytes each, and no more
    // than maxReadBytes of the file in all.
    static bool load(const QString &path, Contents &contents);

    // Replaces the file, readable by its owner only. Errors are ignored: the
    // login that asked for the save goes on. The old file stays intact when
    // the new one cannot be written completely.
    static void save(const QString &path, const std::string &account, const std::string &password,
                     bool remember);

    static std::string serialize(const std::string &account, const std::string &password, bool remember);

    static constexpr std::size_t maxLineBytes = 64 * 1024;
    static constexpr qint64 maxReadBytes = 1024 * 1024;
    static constexpr const char *fileName = "data.dat";
};
