// kelumo-standin: the platform's login service and web pages on 127.0.0.1,
// so the client can be tried and tested without the real platform.

#include "tools/standin/Accounts.h"
#include "tools/standin/DefaultAccounts.h"
#include "tools/standin/HopLog.h"
#include "tools/standin/LoginService.h"
#include "tools/standin/Options.h"
#include "tools/standin/Pages.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <pthread.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace standin;

namespace {

constexpr const char *kHost = "127.0.0.1";
// The client's request is under 1 KB; anything near this is not a login.
constexpr std::size_t kMaxBody = 64 * 1024;

// httplib calls the logger right after the handler, on the same worker
// thread; this carries the login details into that one log line.
thread_local std::string t_logNote;

std::mutex g_logMutex;

void logLine(const std::string &line)
{
    std::lock_guard lock(g_logMutex);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

std::string timestamp()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + n, sizeof text - n, ".%03d", static_cast<int>(ms));
    return text;
}

// Lets a delayed answer end early when the server shuts down, so stopping
// never waits for a slow account.
class Stopper {
public:
    void waitFor(std::chrono::milliseconds delay)
    {
        std::unique_lock lock(mutex_);
        stopped_.wait_for(lock, delay, [this] { return stopping_; });
    }
    void stop()
    {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        stopped_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable stopped_;
    bool stopping_ = false;
};

void sendHtml(httplib::Response &res, const std::string &html)
{
    res.set_content(html, "text/html; charset=utf-8");
}

void sendReply(httplib::Response &res, const Reply &reply)
{
    res.status = reply.status;
    res.set_content(reply.body, reply.contentType.c_str());
}

bool isLoginCall(const httplib::Request &req)
{
    return req.method == "POST" && req.path == kLoginPath;
}

void installRoutes(httplib::Server &server, const std::vector<Account> &accounts, const std::string &base,
                   Stopper &stopper)
{
    const std::string loginPattern = "/Services/CheckUserLogin\\.asmx";
    server.Post(loginPattern, [&](const httplib::Request &req, httplib::Response &res) {
        LoginOutcome outcome = answerLogin(req.body, accounts, base);
        if (outcome.delay.count() > 0)
            stopper.waitFor(outcome.delay);
        sendReply(res, outcome.reply);
        res.set_header("Cache-Control", "private, max-age=0");
        t_logNote = std::move(outcome.logNote);
    });
    server.Get(loginPattern, [](const httplib::Request &req, httplib::Response &res) {
        res.status = 405;
        res.set_header("Allow", "POST");
        sendHtml(res, errorPage(405, req.path));
    });
    // The same server under another name: a site outside the platform.
    std::string outside = base;
    if (const auto at = outside.find("127.0.0.1"); at != std::string::npos)
        outside.replace(at, 9, "localhost");
    outside += "/partner";
    server.Get("/start", [outside](const httplib::Request &req, httplib::Response &res) {
        sendHtml(res, startPage(req.get_param_value("user"), req.get_param_value("ver"),
                                req.get_param_value("lang"), outside));
    });
    server.Get("/second", [](const httplib::Request &, httplib::Response &res) { sendHtml(res, secondPage()); });
    server.Get("/report", [](const httplib::Request &, httplib::Response &res) { sendHtml(res, reportPage()); });
    server.Get("/partner", [](const httplib::Request &, httplib::Response &res) { sendHtml(res, partnerPage()); });
    // A report behind HTTP authentication, as a company's report server has
    // it: the server's own 401 page until the request carries report/demo123.
    server.Get("/protected", [](const httplib::Request &req, httplib::Response &res) {
        if (req.get_header_value("Authorization") == "Basic cmVwb3J0OmRlbW8xMjM=") {
            sendHtml(res, reportPage());
            return;
        }
        res.status = 401;
        res.set_header("WWW-Authenticate", "Basic realm=\"\xe6\x8a\xa5\xe8\xa1\xa8\"");
        sendHtml(res, errorPage(401, req.path));
    });
    // A chain of pages that click on by themselves, and when each was asked
    // for (benchmarks: scripts/bench).
    static HopLog hops;
    server.Get("/hop", [](const httplib::Request &req, httplib::Response &res) {
        const int hop = std::atoi(req.get_param_value("n").c_str());
        const int last = std::atoi(req.get_param_value("last").c_str());
        const int delay = std::atoi(req.get_param_value("delay").c_str());
        const std::string run = req.get_param_value("run");
        hops.record(run, hop);
        sendHtml(res, hopPage(run, hop, last, std::clamp(delay, 0, 10000)));
    });
    server.Get("/hops", [](const httplib::Request &req, httplib::Response &res) {
        res.set_content(hops.text(req.get_param_value("run")), "text/plain; charset=utf-8");
    });
    server.Get("/(getpwd|services|contact_us)", [](const httplib::Request &req, httplib::Response &res) {
        sendHtml(res, helpPage(req.path).value_or(errorPage(404, req.path)));
    });
    // The same file four times, named as different servers name it.
    server.Get("/files", [](const httplib::Request &, httplib::Response &res) {
        static const char *const ways[] = {"gbk", "utf8", "ext", "hurt"};
        sendHtml(res, filesPage(ways, 4));
    });
    server.Get("/file", [](const httplib::Request &req, httplib::Response &res) {
        const std::string disposition = fileDisposition(req.get_param_value("as"));
        if (disposition.empty()) {
            res.status = 404;
            return;
        }
        res.set_header("Content-Disposition", disposition);
        res.set_content(reportCsv(), "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet");
    });
    server.Get("/export\\.csv", [](const httplib::Request &, httplib::Response &res) {
        res.set_header("Content-Disposition", "attachment; filename=\"report.csv\"");
        res.set_content(reportCsv(), "text/csv; charset=utf-8");
    });

    // httplib calls this for every status >= 400, also ones a handler made.
    server.set_error_handler(httplib::Server::HandlerWithResponse([](const httplib::Request &req, httplib::Response &res) {
        if (!res.body.empty())
            return httplib::Server::HandlerResponse::Unhandled;
        if (isLoginCall(req)) {
            const int status = res.status;
            const std::string reason = status == 413 ? "the request body is larger than " +
                                                           std::to_string(kMaxBody) + " bytes"
                                                     : "the request could not be read (HTTP " +
                                                           std::to_string(status) + ")";
            sendReply(res, faultReply(FaultCode::Sender, reason));
            res.status = status;
            t_logNote = "fault=\"" + reason + "\"";
        } else {
            sendHtml(res, errorPage(res.status, req.path));
        }
        return httplib::Server::HandlerResponse::Handled;
    }));
    server.set_exception_handler([](const httplib::Request &req, httplib::Response &res, std::exception_ptr ep) {
        std::string what = "unknown exception";
        try {
            std::rethrow_exception(ep);
        } catch (const std::exception &e) {
            what = e.what();
        } catch (...) {
        }
        t_logNote = "exception=\"" + what + "\"";
        if (isLoginCall(req)) {
            sendReply(res, faultReply(FaultCode::Receiver, "internal error: " + what));
        } else {
            res.status = 500;
            sendHtml(res, errorPage(500, req.path));
        }
    });
    server.set_logger([](const httplib::Request &req, const httplib::Response &res) {
        std::string line = timestamp() + " " + req.method + " " + req.target + " " + std::to_string(res.status);
        if (!t_logNote.empty())
            line += " " + t_logNote;
        t_logNote.clear();
        logLine(line);
    });
}

std::filesystem::path programDirectory(const char *argv0)
{
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        exe = std::filesystem::absolute(argv0, ec);
    return exe.parent_path();
}

bool readFile(const std::filesystem::path &path, std::string &text)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return false;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    if (!in && !in.eof())
        return false;
    text = content.str();
    return true;
}

// The accounts from --accounts, else accounts.txt beside the program, else
// the built-in copy. `source` names where they came from, for messages.
bool loadAccounts(const Options &options, const char *argv0, AccountsFile &accounts, std::string &source)
{
    std::string text;
    if (!options.accountsPath.empty()) {
        if (!readFile(options.accountsPath, text)) {
            std::cerr << "kelumo-standin: cannot read the accounts file " << options.accountsPath << '\n';
            return false;
        }
        source = options.accountsPath;
    } else if (const auto besideProgram = programDirectory(argv0) / "accounts.txt"; readFile(besideProgram, text)) {
        source = besideProgram.string();
    } else {
        text = std::string(defaultAccountsText());
        source = "built-in accounts";
    }
    accounts = parseAccounts(text);
    for (const AccountsProblem &problem : accounts.problems)
        logLine(source + ":" + std::to_string(problem.line) + ": skipped: " + problem.message);
    logLine("accounts: " + source + " (" + std::to_string(accounts.accounts.size()) + " accounts)");
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    const Options options = parseCommandLine(std::vector<std::string_view>(argv + 1, argv + argc));
    if (!options.error.empty()) {
        std::cerr << "kelumo-standin: " << options.error << '\n' << usageText();
        return 2;
    }
    if (options.help) {
        std::cout << usageText();
        return 0;
    }

    AccountsFile accounts;
    std::string source;
    if (!loadAccounts(options, argv[0], accounts, source))
        return 2;

    // Block the stop signals before any thread starts, so every thread
    // inherits the mask and only the sigwait() below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    httplib::Server server;
    server.set_payload_max_length(kMaxBody);
    // httplib's default sets SO_REUSEPORT, which would let a second instance
    // share the port silently; a busy port must be an error instead.
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });

    int port = options.port;
    if (port == 0)
        port = server.bind_to_any_port(kHost);
    else if (!server.bind_to_port(kHost, port))
        port = -1;
    if (port <= 0) {
        std::cerr << "kelumo-standin: cannot listen on " << kHost << ":" << options.port
                  << " (is the port in use?)\n";
        return 1;
    }
    const std::string base = "http://127.0.0.1:" + std::to_string(port);

    Stopper stopper;
    installRoutes(server, accounts.accounts, base, stopper);

    std::atomic<bool> listenerDone = false;
    std::atomic<bool> stopping = false;
    std::thread listener([&] {
        server.listen_after_bind();
        listenerDone = true;
        // Ended on its own: wake the main thread, which waits for a signal.
        if (!stopping)
            kill(getpid(), SIGTERM);
    });
    // Announce only once the accept loop runs, so a stop signal right after
    // the announcement cannot come before the server can be stopped.
    while (!server.is_running() && !listenerDone)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::cout << "listening on " << base << std::endl;
    logLine("login service: " + base + std::string(kLoginPath));

    int signal = 0;
    sigwait(&stopSignals, &signal);
    stopping = true;
    const bool failed = listenerDone;
    logLine(failed ? "the server stopped unexpectedly" : std::string("stopping (") + strsignal(signal) + ")");
    stopper.stop();
    server.stop();
    listener.join();
    return failed ? 1 : 0;
}
