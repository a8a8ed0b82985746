#pragma once

#include "base/KelumoConfig.h"

// The sign-in's decisions, as plain functions on GBK byte strings: the input
// checks, the meaning of the service's answer, and the stamping of the start
// address with the client's version.

#include <cstddef>
#include <string>
#include <string_view>

namespace signin {

inline constexpr std::size_t maxAccountBytes = 20;
inline constexpr std::size_t maxPasswordBytes = 18;
inline constexpr std::size_t maxCompanyBytes = 19;
inline constexpr std::size_t startUrlSize = kelumo::startUrlSize;
inline constexpr std::size_t messageSize = 100;
inline constexpr const char *clientVersion = kelumo::clientVersion;

// Texts the user sees (UTF-8 here; the sign-in turns them into GBK).
inline constexpr const char *accountLengthPrompt = "账号名长度0~20字符！";
inline constexpr const char *passwordLengthPrompt = "密码长度0~18字符！";
inline constexpr const char *messageCaption = "信息提示";
inline constexpr const char *connectFailedMessage = "尝试连接服务器超时，请与客服联系！";
// The login service's certificate is not trusted; %s is the service's host.
inline constexpr const char *certificateMessage = "无法验证服务器 %s 的安全证书，请与贵单位的管理员联系！";
// The proxy wants a user name and password, and was given none it took.
inline constexpr const char *proxyCredentialsMessage = "代理服务器要求输入用户名和密码，未能登录。请与单位的网络管理员联系！";
inline constexpr const char *versionErrorMessage = "版本错误";
inline constexpr const char *expiredMessage = "您的帐号已于%s过期，请与客服联系！";
inline constexpr const char *terminalRefusedMessage = "本帐号不允许通过终端方式登陆，请与客服联系！";
inline constexpr const char *wrongCredentialsMessage = "未通过服务器验证，请检查帐号、密码！";
inline constexpr const char *loginErrorMessage = "登录错误！";
// The program's login service module is missing or damaged.
inline constexpr const char *serviceMissingMessage = "无法启动登录组件，请重新安装Kelumo大数据。";

enum class CheckResult { Accepted, AccountLength, PasswordLength };

// Lengths in GBK bytes: an account of 1..20 bytes, a password of 1..18 bytes.
// The account is checked first.
CheckResult checkCredentials(std::string_view account, std::string_view password);

// The prompt (UTF-8) for a refused check; empty when accepted.
const char *checkPrompt(CheckResult result);

// The company text as sent: at most 19 bytes, never ending inside a character.
std::string cutCompany(std::string_view company);

struct AnswerOutcome
{
    bool isAddress = false;  // first byte 'h': a start address to store
    std::string message;     // GBK, shown in a box when not an address
};

// What the service's answer means; `answer` is null when the response had no
// result string.
AnswerOutcome interpretAnswer(const std::string *answer);

// Copies the address into the buffer (cut to fit, always terminated) and
// writes the version after the first "ver" found, whole GBK characters at a
// time. Returns whether "ver" was found.
bool storeStartAddress(std::string_view address, char *buffer, std::size_t size);

// The expiry message for `date` (GBK), at most messageSize - 1 bytes; a date
// too long for it is cut at a whole character.
std::string expiryMessage(std::string_view date);

// The message for the login service's refused certificate (GBK), naming
// `host` as far as it fits in messageSize - 1 bytes.
std::string certificateFailureMessage(std::string_view host);

} // namespace signin
