#include "tools/standin/Options.h"

#include <charconv>

namespace standin {

namespace {

bool parsePort(std::string_view text, int &port)
{
    int value = -1;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0 || value > 65535)
        return false;
    port = value;
    return true;
}

} // namespace

Options parseCommandLine(const std::vector<std::string_view> &args)
{
    Options options;
    for (std::size_t i = 0; i < args.size() && options.error.empty(); ++i) {
        std::string_view arg = args[i];
        std::string_view value;
        bool hasValue = false;
        if (const std::size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string_view::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        if (arg == "-h" || arg == "--help") {
            options.help = true;
            continue;
        }
        if (arg != "--port" && arg != "--accounts") {
            options.error = "unknown option: " + std::string(args[i]);
            break;
        }
        if (!hasValue) {
            if (i + 1 >= args.size()) {
                options.error = std::string(arg) + " needs a value";
                break;
            }
            value = args[++i];
        }
        if (arg == "--port") {
            if (!parsePort(value, options.port))
                options.error = "--port wants a number from 0 to 65535, not \"" + std::string(value) + "\"";
        } else {
            if (value.empty())
                options.error = "--accounts needs a file name";
            options.accountsPath = std::string(value);
        }
    }
    return options;
}

std::string usageText()
{
    return "usage: kelumo-standin [--port N] [--accounts FILE]\n"
           "  Serves the platform's login web service and web pages on 127.0.0.1,\n"
           "  so the client can be tried without the real platform.\n"
           "  --port N         port to listen on (default 8080; 0 picks a free one)\n"
           "  --accounts FILE  accounts and their answers (default: accounts.txt next to\n"
           "                   this program if present, else the built-in demo accounts)\n"
           "  The first line on stdout is \"listening on http://127.0.0.1:PORT\".\n"
           "  Point the client at http://127.0.0.1:PORT/Services/CheckUserLogin.asmx.\n";
}

} // namespace standin
