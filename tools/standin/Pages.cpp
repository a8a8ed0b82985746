#include "tools/standin/Pages.h"

#include "tools/standin/StandinText.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace standin {

namespace {

constexpr std::string_view kStyle = R"css(
body { margin: 0; font-family: "Microsoft YaHei", "PingFang SC", "Noto Sans CJK SC", sans-serif;
       background: #f4f6f9; color: #222; }
header { background: #1f5fa8; color: #fff; padding: 12px 24px; font-size: 18px; font-weight: bold; }
main { max-width: 720px; margin: 24px auto; background: #fff; padding: 24px 32px;
       border-radius: 6px; box-shadow: 0 1px 4px rgba(0, 0, 0, 0.12); }
h1 { font-size: 22px; margin-top: 0; }
a { color: #1f5fa8; }
ul { line-height: 2; }
button { padding: 6px 16px; font-size: 14px; }
.meta { color: #666; }
)css";

std::string page(std::string_view title, std::string_view content)
{
    std::string out;
    out += "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n<title>";
    out += htmlEscape(title);
    out += "</title>\n<style>";
    out += kStyle;
    out += "</style>\n</head>\n<body>\n<header>Kelumo大数据</header>\n<main>\n";
    out += content;
    out += "</main>\n</body>\n</html>\n";
    return out;
}

std::string_view statusText(int status)
{
    switch (status) {
    case 400: return "请求有误";
    case 401: return "需要身份验证";
    case 404: return "页面不存在";
    case 405: return "不支持的请求方式";
    case 413: return "请求内容过大";
    case 500: return "服务器内部错误";
    default: return "出错了";
    }
}

// A small fixed generator, so the report is the same on every machine.
struct Lcg {
    std::uint32_t state;
    std::uint32_t next(std::uint32_t bound)
    {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % bound;
    }
};

// One made-up sales record per call, in order; the CSV export and the report
// page draw from the same sequence.
class SalesRecords
{
public:
    // The fields of the next record, written with `format` (seven fields:
    // number, month, day, region, product, quantity, unit price, amount).
    template <std::size_t N>
    void next(char (&line)[N], const char *format)
    {
        static constexpr std::array<std::string_view, 7> regions{"华北", "华东", "华南", "华中", "西南", "西北", "东北"};
        static constexpr std::array<std::string_view, 5> products{"数据服务", "存储套餐", "分析报表", "接口调用",
                                                                  "咨询服务"};
        static constexpr std::array<int, 12> monthDays{31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        int day = m_index % 366;
        int month = 0;
        while (day >= monthDays[month])
            day -= monthDays[month++];
        const std::string_view region = regions[m_random.next(regions.size())];
        const std::string_view product = products[m_random.next(products.size())];
        const unsigned quantity = 1 + m_random.next(500);
        const unsigned priceCents = 1000 + m_random.next(99000);
        const unsigned long long amountCents = 1ull * quantity * priceCents;
        std::snprintf(line, N, format, m_index + 1, month + 1, day + 1, static_cast<int>(region.size()),
                      region.data(), static_cast<int>(product.size()), product.data(), quantity, priceCents / 100,
                      priceCents % 100, amountCents / 100, amountCents % 100);
        ++m_index;
    }

private:
    Lcg m_random{20240101u};
    int m_index = 0;
};

std::string buildReport()
{
    constexpr int rows = 1900;
    std::string out = "序号,日期,地区,产品,数量,单价(元),金额(元)\r\n";
    out.reserve(110 * 1024);
    SalesRecords records;
    char line[160];
    for (int i = 0; i < rows; ++i) {
        records.next(line, "%d,2024-%02d-%02d,%.*s,%.*s,%u,%u.%02u,%llu.%02llu\r\n");
        out += line;
    }
    return out;
}

} // namespace

std::string startPage(std::string_view user, std::string_view ver, std::string_view lang, std::string_view outside)
{
    std::string content;
    content += "<h1>欢迎, <span id=\"user\">" + htmlEscape(user) + "</span></h1>\n";
    content += "<p class=\"meta\">客户端版本: <span id=\"ver\">" + htmlEscape(ver) +
               "</span> &nbsp; 语言: <span id=\"lang\">" + htmlEscape(lang) + "</span></p>\n";
    content += R"html(<ul>
<li><a id="second" href="/second" accesskey="s">第二页</a></li>
<li><a id="missing" href="/no-such-page" accesskey="m">不存在的页面</a></li>
<li><a id="download" href="/export.csv" accesskey="d">下载报表 (CSV)</a></li>
<li><a id="newwindow" href="/second" target="_blank" accesskey="n">在新窗口打开第二页</a></li>
)html";
    const std::string partner = htmlEscape(outside);
    content += "<li><a id=\"partner\" href=\"" + partner + "\" accesskey=\"p\">合作伙伴的报告</a></li>\n";
    content += "<li><a id=\"partnerwindow\" href=\"" + partner + "\" target=\"_blank\" accesskey=\"w\">在新窗口打开合作伙伴的报告</a></li>\n";
    content += R"html(</ul>
<p><button id="alert" type="button" onclick="alert('提示')">弹出提示</button></p>
)html";
    return page("Kelumo大数据 - 首页", content);
}

std::string secondPage()
{
    return page("第二页", "<h1>第二页</h1>\n<p>这是第二个页面。</p>\n"
                          "<p><a id=\"back\" href=\"/start\">返回首页</a></p>\n");
}

std::string partnerPage()
{
    return page("合作伙伴的报告", "<h1>合作伙伴的报告</h1>\n<p>这是平台之外的一个网站。</p>\n");
}

std::optional<std::string> helpPage(std::string_view path)
{
    if (path == "/getpwd")
        return page("找回密码", "<h1>找回密码</h1>\n"
                                "<p>忘记密码时, 请联系贵单位的系统管理员重置密码; "
                                "管理员也忘记时, 请联系客服并提供单位名称和账号。</p>\n");
    if (path == "/services")
        return page("无法登录", "<h1>无法登录</h1>\n<ul>\n"
                                "<li>请确认账号和密码输入正确, 注意大小写。</li>\n"
                                "<li>请确认网络连接正常, 代理设置正确。</li>\n"
                                "<li>账号已到期时, 请联系客服续费。</li>\n"
                                "<li>账号已在其他电脑登录时, 请先在那台电脑退出。</li>\n</ul>\n");
    if (path == "/contact_us")
        return page("联系客服", "<h1>联系客服</h1>\n"
                                "<p>客服电话: 400-000-0000 (工作日 9:00-18:00)</p>\n"
                                "<p>电子邮件: support@example.com</p>\n");
    return std::nullopt;
}

std::string filesPage(const char *const *ways, int count)
{
    std::string content = "<h1>报表下载</h1>\n";
    for (int i = 0; i < count; ++i)
        content += "<iframe style=\"display:none\" src=\"/file?as=" + std::string(ways[i]) + "\"></iframe>\n";
    return page("报表下载", content);
}

std::string fileDisposition(std::string_view way)
{
    if (way == "gbk")
        return "attachment; filename=\"\xB1\xA8\xB1\xED.xlsx\"";
    if (way == "utf8")
        return "attachment; filename=\"报表.xlsx\"";
    if (way == "ext")
        return "attachment; filename=\"report.xlsx\"; filename*=UTF-8''%E6%8A%A5%E8%A1%A8.xlsx";
    if (way == "hurt") {
        std::string name = "..%2F..%2F.bashrc%01%1B%5B31m%0A";
        for (int i = 0; i < 100; ++i)
            name += "%E8%A1%A8";
        return "attachment; filename=\"../../.bashrc\"; filename*=UTF-8''" + name;
    }
    return {};
}

std::string errorPage(int status, std::string_view path)
{
    const std::string title = std::to_string(status) + " " + std::string(statusText(status));
    return page(title, "<h1>" + htmlEscape(title) + "</h1>\n<p>地址: <code>" + htmlEscape(path) +
                           "</code></p>\n<p><a href=\"/start\">返回首页</a></p>\n");
}

std::string reportPage()
{
    // About ten A4 pages when printed: the first rows of the export as a table.
    constexpr int rows = 450;
    std::string content = "<style>table { border-collapse: collapse; width: 100%; font-size: 14px; }\n"
                          "th, td { border: 1px solid #ccc; padding: 2px 6px; text-align: right; }\n"
                          "th { background: #eef2f7; }</style>\n"
                          "<h1>销售明细报表</h1>\n<p class=\"meta\">2024年, 共 450 条</p>\n"
                          "<table id=\"report\">\n<thead><tr><th>序号</th><th>日期</th><th>地区</th><th>产品</th>"
                          "<th>数量</th><th>单价(元)</th><th>金额(元)</th></tr></thead>\n<tbody>\n";
    content.reserve(rows * 140);
    SalesRecords records;
    char line[320];
    for (int i = 0; i < rows; ++i) {
        records.next(line, "<tr><td>%d</td><td>2024-%02d-%02d</td><td>%.*s</td><td>%.*s</td><td>%u</td>"
                           "<td>%u.%02u</td><td>%llu.%02llu</td></tr>\n");
        content += line;
    }
    content += "</tbody>\n</table>\n";
    return page("销售明细报表", content);
}

std::string hopPage(std::string_view run, int hop, int last, int delayMs)
{
    std::string name;
    for (const char c : run.substr(0, 64)) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_')
            name += c;
    }
    const std::string next = "/hop?run=" + name + "&n=" + std::to_string(hop + 1) + "&last=" + std::to_string(last) +
                             "&delay=" + std::to_string(delayMs);
    std::string content = "<h1>第 " + std::to_string(hop) + " 页</h1>\n";
    content += "<p><a id=\"next\" href=\"" + htmlEscape(next) + "\">下一页</a></p>\n";
    if (hop < last)
        content += "<script>addEventListener('load', function () { setTimeout(function () { "
                   "document.getElementById('next').click(); }, " +
                   std::to_string(delayMs) + "); });</script>\n";
    return page("第 " + std::to_string(hop) + " 页", content);
}

const std::string &reportCsv()
{
    static const std::string report = buildReport();
    return report;
}

} // namespace standin
