#include "browser/view/SignOnFlags.h"

#include <QtGlobal>

namespace {

bool plainHost(const std::string &host)
{
    if (host.empty())
        return false;
    for (char c : host) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                             c == '.' || c == '-' || c == '_' || c == '*' || c == ':';
        if (!allowed)
            return false;
    }
    return true;
}

} // namespace

QByteArray withSignOnFlags(const QByteArray &flags, const std::vector<std::string> &allowlist)
{
    QByteArray hosts;
    for (const std::string &host : allowlist) {
        if (!plainHost(host))
            continue;
        if (!hosts.isEmpty())
            hosts += ',';
        hosts += QByteArray::fromStdString(host);
    }
    if (hosts.isEmpty())
        return flags;
    QByteArray out = flags.trimmed();
    if (!out.isEmpty())
        out += ' ';
    return out + "--auth-server-allowlist=" + hosts;
}

void applySignOnFlags(const std::vector<std::string> &allowlist)
{
    const QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    const QByteArray wanted = withSignOnFlags(flags, allowlist);
    if (wanted != flags)
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", wanted);
}
