#include "base/ClientSettings.h"

#include "base/KelumoConfig.h"
#include "base/proxy/ProxyRules.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

// Set and not empty, else the fallback.
std::string variable(const ClientSettings::Environment &environment, const char *name, const char *fallback = "")
{
    const char *value = environment(name);
    return (value && *value) ? value : fallback;
}

// Names or addresses separated by commas, semicolons or spaces.
std::vector<std::string> splitList(const std::string &text)
{
    std::vector<std::string> items;
    std::size_t at = 0;
    while ((at = text.find_first_not_of(",; \t", at)) != std::string::npos) {
        const std::size_t end = text.find_first_of(",; \t", at);
        items.push_back(text.substr(at, end - at));
        at = end;
    }
    return items;
}

std::string trimmed(const std::string &text)
{
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    return first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string joined(const std::vector<std::string> &items)
{
    std::string text;
    for (const std::string &item : items)
        text += (text.empty() ? "" : ", ") + item;
    return text;
}

// An http or https address with a host, as the client can use it.
bool isWebAddress(const std::string &text)
{
    for (const char *scheme : {"http://", "https://"}) {
        const std::size_t length = std::strlen(scheme);
        if (text.size() > length && text.compare(0, length, scheme) == 0) {
            const char first = text[length];
            return first != '/' && first != '?' && first != '#' && first != ':'
                && text.find_first_of(" \t\r\n") == std::string::npos;
        }
    }
    return false;
}

// Why a root certificate file cannot be used, or null when it can: it must
// be readable and hold at least one PEM certificate (a bundle may hold many).
const char *certificateFileProblem(const std::string &file)
{
    std::FILE *in = std::fopen(file.c_str(), "rb");
    if (!in)
        return " 无法读取，已忽略";
    static constexpr std::string_view begin = "-----BEGIN CERTIFICATE-----";
    // A system bundle is some 200 KB; nothing sensible is larger than this.
    std::string text(1024 * 1024, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), in));
    std::fclose(in);
    if (text.find(begin) == std::string::npos)
        return " 不含 PEM 格式的证书，已忽略";
    return nullptr;
}

// Applies the policies it knows to `settings`, recording each in force and
// reporting each it cannot take.
class PolicyReader
{
public:
    PolicyReader(const PolicySet &set, ClientSettings &settings) : m_set(set), m_settings(settings) {}

    void read()
    {
        m_settings.policyProblems = m_set.problems;
        for (const auto &[name, value] : m_set.values) {
            if (!take(name, value))
                continue;
            m_settings.policies.push_back({name, shown(name, value), value.source});
        }
    }

private:
    bool take(const std::string &name, const PolicyValue &value)
    {
        using Kind = PolicyValue::Kind;
        if (name == "LoginServiceUrl" || name == "SiteUrl") {
            if (!expect(name, value, Kind::Text))
                return false;
            if (!isWebAddress(value.text))
                return refuse(name, value, "不是有效的 http 或 https 地址");
            (name == "LoginServiceUrl" ? m_settings.loginEndpoint : m_settings.site) = value.text;
            return true;
        }
        if (name == "PlatformHosts" || name == "AuthServerAllowlist" || name == "TrustedRootCertificates") {
            std::vector<std::string> items;
            if (value.kind == Kind::List)
                items = value.list;
            else if (value.kind == Kind::Text)
                items = splitList(value.text);
            else
                return refuse(name, value, "应为字符串列表");
            if (name == "PlatformHosts")
                m_settings.platformHosts = items;
            else if (name == "AuthServerAllowlist")
                m_settings.authServerAllowlist = items;
            else
                return takeCertificates(name, value, items);
            return true;
        }
        if (name == "ProxyMode") {
            if (!expect(name, value, Kind::Text))
                return false;
            using Mode = ClientSettings::ProxyMode;
            if (value.text == "direct")
                m_settings.proxyMode = Mode::Direct;
            else if (value.text == "system")
                m_settings.proxyMode = Mode::System;
            else if (value.text == "fixed_servers")
                m_settings.proxyMode = Mode::FixedServers;
            else
                return refuse(name, value, "应为 direct、system 或 fixed_servers");
            return true;
        }
        if (name == "ProxyServer" || name == "ProxyBypassList" || name == "DownloadDirectory") {
            if (!expect(name, value, Kind::Text))
                return false;
            if (name == "ProxyServer" && !proxyrules::fromProxyAddress(trimmed(value.text)))
                return refuse(name, value, "不是有效的 HTTP 代理地址（[http://]主机[:端口]）");
            (name == "ProxyServer"       ? m_settings.proxyServer
             : name == "ProxyBypassList" ? m_settings.proxyBypassList
                                         : m_settings.downloadFolder) = value.text;
            return true;
        }
        if (bool *flag = flagNamed(name)) {
            if (!expect(name, value, Kind::Boolean))
                return false;
            *flag = value.flag;
            return true;
        }
        if (name == "PromptForDownloadLocation") {
            if (!expect(name, value, Kind::Boolean))
                return false;
            m_settings.promptForDownloadLocation = value.flag;
            return true;
        }
        return refuse(name, value, "不是本客户端的策略");
    }

    bool *flagNamed(const std::string &name)
    {
        if (name == "PasswordSavingEnabled")
            return &m_settings.passwordSavingEnabled;
        if (name == "DownloadsEnabled")
            return &m_settings.downloadsEnabled;
        if (name == "PrintingEnabled")
            return &m_settings.printingEnabled;
        if (name == "NotificationsAllowed")
            return &m_settings.notificationsAllowed;
        if (name == "MediaCaptureAllowed")
            return &m_settings.mediaCaptureAllowed;
        return nullptr;
    }

    // Each file must be there, readable and hold a PEM certificate; the
    // others still count.
    bool takeCertificates(const std::string &name, const PolicyValue &value, const std::vector<std::string> &files)
    {
        std::vector<std::string> readable;
        for (const std::string &file : files) {
            const char *problem = certificateFileProblem(file);
            if (!problem)
                readable.push_back(file);
            else
                m_settings.policyProblems.push_back({value.source + " " + name, "证书文件 " + file + problem});
        }
        m_settings.trustedRootCertificates = readable;
        return !readable.empty();
    }

    bool expect(const std::string &name, const PolicyValue &value, PolicyValue::Kind kind)
    {
        if (value.kind == kind)
            return true;
        const char *wanted = kind == PolicyValue::Kind::Boolean ? "应为 true 或 false" : "应为字符串";
        return refuse(name, value, wanted);
    }

    bool refuse(const std::string &name, const PolicyValue &value, const std::string &why)
    {
        m_settings.policyProblems.push_back({value.source + " " + name, why + "，已忽略"});
        return false;
    }

    static std::string shown(const std::string &name, const PolicyValue &value)
    {
        switch (value.kind) {
        case PolicyValue::Kind::Boolean: return value.flag ? "true" : "false";
        case PolicyValue::Kind::List: return joined(value.list);
        case PolicyValue::Kind::Text:
            // A proxy's address may carry a password: never shown.
            if (name == "ProxyServer") {
                const std::size_t at = value.text.rfind('@');
                if (at != std::string::npos) {
                    const std::size_t start = value.text.find("://");
                    return value.text.substr(0, start == std::string::npos ? 0 : start + 3) + "***@"
                         + value.text.substr(at + 1);
                }
            }
            return value.text;
        case PolicyValue::Kind::Other: break;
        }
        return value.text;
    }

    const PolicySet &m_set;
    ClientSettings &m_settings;
};

} // namespace

ClientSettings ClientSettings::resolve(const PolicySet &policies, const Environment &environment)
{
    ClientSettings settings;
    settings.loginEndpoint = variable(environment, "KELUMO_LOGIN_ENDPOINT", kelumo::builtInLoginEndpoint);
    settings.site = variable(environment, "KELUMO_SITE", kelumo::builtInSite);
    settings.trace = variable(environment, "KELUMO_TRACE") == "1";
    settings.downloadFolder = variable(environment, "KELUMO_DOWNLOAD_DIR");
    for (const std::string &host : splitList(variable(environment, "KELUMO_PLATFORM_HOSTS")))
        settings.platformHosts.push_back(host);
    PolicyReader(policies, settings).read();
    while (!settings.site.empty() && settings.site.back() == '/')
        settings.site.pop_back();
    return settings;
}

ClientSettings ClientSettings::fromEnvironment()
{
    return resolve(machinePolicies(), [](const char *name) -> const char * { return std::getenv(name); });
}
