// Reading data.dat: the bytes become the file, the file is loaded as the
// dialog loads it and turned into the fields' text.

#include "base/GbkText.h"
#include "signin/SignInFile.h"

#include <QString>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

QString g_path;

const QString &scratchFile()
{
    if (g_path.isEmpty()) {
        char name[] = "/tmp/kelumo-fuzz-signin-XXXXXX";
        const int fd = ::mkstemp(name);
        if (fd < 0)
            std::abort();
        ::close(fd);
        g_path = QString::fromLocal8Bit(name);
        std::atexit([] { ::unlink(g_path.toLocal8Bit().constData()); });
    }
    return g_path;
}

bool writeAll(const QString &path, const std::uint8_t *data, std::size_t size)
{
    FILE *file = std::fopen(path.toLocal8Bit().constData(), "wb");
    if (!file)
        return false;
    const bool ok = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

bool hasLineFeed(const std::string &line)
{
    return line.find('\n') != std::string::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString &path = scratchFile();
    if (!writeAll(path, data, size))
        std::abort();

    SignInFile::Contents contents;
    if (!SignInFile::load(path, contents))
        __builtin_trap();
    // Lines are cut to the limit and never hold their line end.
    if (contents.account.size() > SignInFile::maxLineBytes || contents.password.size() > SignInFile::maxLineBytes ||
        hasLineFeed(contents.account) || hasLineFeed(contents.password))
        __builtin_trap();
    // The dialog shows them as text, and a login turns that text back.
    const QString account = QString::fromStdString(gbkToUtf8(contents.account));
    const QString password = QString::fromStdString(gbkToUtf8(contents.password));
    utf8ToGbk(account.toStdString());
    utf8ToGbk(password.toStdString());

    // What the next save writes reads back the same (a final CR on the
    // password is taken for a line end, as in files earlier clients wrote).
    if (!contents.password.empty() && contents.password.back() == '\r')
        return 0;
    const std::string saved = SignInFile::serialize(contents.account, contents.password, true);
    if (!writeAll(path, reinterpret_cast<const std::uint8_t *>(saved.data()), saved.size()))
        std::abort();
    SignInFile::Contents again;
    if (!SignInFile::load(path, again) || again.account != contents.account || again.password != contents.password)
        __builtin_trap();
    return 0;
}
