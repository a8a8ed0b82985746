#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace standin {

// The platform's web pages the client opens after signing in. Element ids
// (user, ver, second, missing, download, newwindow, partner, partnerwindow,
// alert) are stable so client tests can find them. Each link has an access
// key (Alt+s, m, d, n, p, w): one key press follows it, where a count of Tabs
// would follow another link once a key is lost. `outside` is the address of
// a partner's page on another site, linked from the start page.
std::string startPage(std::string_view user, std::string_view ver, std::string_view lang, std::string_view outside);
std::string secondPage();
// The partner's page: this server under another name plays the other site.
std::string partnerPage();

// The help pages linked from the sign-in dialog: /getpwd, /services,
// /contact_us. nullopt for any other path.
std::optional<std::string> helpPage(std::string_view path);

// Body for an error status on an ordinary page (404 and the like).
std::string errorPage(int status, std::string_view path);

// A report of 450 table rows, about ten A4 pages when printed (/report).
std::string reportPage();

// About 100 KB of made-up sales figures, the same bytes on every call and
// every run, for trying downloads.
const std::string &reportCsv();

// A page that downloads /file in each of `ways` at once, each in a frame of
// its own (/files).
std::string filesPage(const char *const *ways, int count);

// The Content-Disposition of /file?as=WAY: 报表.xlsx named in raw GBK
// ("gbk"), raw UTF-8 ("utf8") or as filename* ("ext"), or a name made to
// hurt ("hurt": a path out of the folder, control characters, 300 bytes of
// Chinese). Empty for any other way.
std::string fileDisposition(std::string_view way);

// One page of a chain that follows its own link `delayMs` after it has
// loaded, to page `hop + 1`, until `last`: a user's day of clicks in
// seconds, for benchmarks. `run` (letters, digits, '-' and '_' only; others
// are dropped) names the chain in the links.
std::string hopPage(std::string_view run, int hop, int last, int delayMs);

} // namespace standin
