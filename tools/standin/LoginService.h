#pragma once

#include "tools/standin/Accounts.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

inline constexpr std::string_view kLoginPath = "/Services/CheckUserLogin.asmx";
inline constexpr std::string_view kServiceNamespace = "{F16595B6-DE49-44d9-94C6-1E63F3AC28E8}";
inline constexpr std::string_view kSoap12Namespace = "http://www.w3.org/2003/05/soap-envelope";
inline constexpr std::string_view kSoapContentType = "application/soap+xml; charset=utf-8";

// The request's three fields as UTF-8; nullopt when the element is missing.
struct LoginRequest {
    std::optional<std::string> company;
    std::optional<std::string> account;
    std::optional<std::string> password;
};

struct DecodedRequest {
    bool ok = false;
    LoginRequest request;
    std::string fault; // why the request was refused, when !ok
};

// Parses a CheckUserRegisterCode request. Elements are matched by namespace
// and local name, whatever prefixes the caller chose; each field is decoded
// from Latin-1-carried GBK to UTF-8.
DecodedRequest decodeLoginRequest(std::string_view body);

// The answer as it goes on the wire: UTF-8 -> GBK bytes -> one Latin-1
// character per byte, because the client takes each character's low 8 bits.
std::string encodeAnswer(std::string_view utf8Answer);

enum class FaultCode { Sender, Receiver };

// HTTP status for a fault: 400 when the caller sent something wrong, 500 when
// the trouble is ours (SOAP 1.2 HTTP binding).
int faultStatus(FaultCode code);

std::string answerEnvelope(std::string_view utf8Answer);
std::string faultEnvelope(FaultCode code, std::string_view reason);

struct Reply {
    int status = 200;
    std::string contentType;
    std::string body;
};

Reply faultReply(FaultCode code, std::string_view reason);

struct LoginOutcome {
    Reply reply;
    std::chrono::milliseconds delay{0}; // wait this long before answering
    std::string logNote;                // account and answer, never the password
};

// The whole login call: request body in, reply out. `base` is this server's
// own http://127.0.0.1:PORT, for answers that point back at it.
LoginOutcome answerLogin(std::string_view body, const std::vector<Account> &accounts, std::string_view base);

} // namespace standin
