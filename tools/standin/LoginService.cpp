#include "tools/standin/LoginService.h"

#include "base/GbkText.h"

#include "tools/standin/StandinText.h"

#include <exception>
#include <pugixml.hpp>

namespace standin {

namespace {

constexpr std::string_view kSoap11Namespace = "http://schemas.xmlsoap.org/soap/envelope/";
constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";

std::string_view localName(pugi::xml_node element)
{
    const std::string_view name = element.name();
    const std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// pugixml keeps prefixes as part of the name; the namespace is found by
// looking for the matching xmlns attribute on the element or its ancestors.
std::string_view namespaceOf(pugi::xml_node element)
{
    const std::string_view name = element.name();
    const std::size_t colon = name.find(':');
    std::string attribute = "xmlns";
    if (colon != std::string_view::npos) {
        const std::string_view prefix = name.substr(0, colon);
        if (prefix == "xml")
            return kXmlNamespace;
        attribute += ':';
        attribute += prefix;
    }
    for (pugi::xml_node node = element; node; node = node.parent()) {
        if (const pugi::xml_attribute a = node.attribute(attribute.c_str()))
            return a.value();
    }
    return {};
}

bool isElement(pugi::xml_node node, std::string_view ns, std::string_view local)
{
    return node.type() == pugi::node_element && localName(node) == local && namespaceOf(node) == ns;
}

pugi::xml_node childElement(pugi::xml_node parent, std::string_view ns, std::string_view local)
{
    for (pugi::xml_node child : parent.children()) {
        if (isElement(child, ns, local))
            return child;
    }
    return {};
}

pugi::xml_node firstChildElement(pugi::xml_node parent)
{
    for (pugi::xml_node child : parent.children()) {
        if (child.type() == pugi::node_element)
            return child;
    }
    return {};
}

std::string describe(pugi::xml_node element)
{
    // Appended piece by piece: GCC 12 at -O3 warns (-Wrestrict, wrongly) on a
    // chain of + starting from a literal.
    const std::string_view ns = namespaceOf(element);
    std::string out = "<";
    out += element.name();
    out += '>';
    if (ns.empty()) {
        out += " (no namespace)";
    } else {
        out += " (namespace ";
        out += ns;
        out += ')';
    }
    return out;
}

// The text of a field, joined over all its text and CDATA pieces, decoded.
std::optional<std::string> fieldText(pugi::xml_node request, std::string_view local)
{
    const pugi::xml_node field = childElement(request, kServiceNamespace, local);
    if (!field)
        return std::nullopt;
    std::string text;
    for (pugi::xml_node piece : field.children()) {
        if (piece.type() == pugi::node_pcdata || piece.type() == pugi::node_cdata)
            text += piece.value();
    }
    return gbkToUtf8(latin1ToBytes(text));
}

DecodedRequest refuse(std::string reason)
{
    DecodedRequest decoded;
    decoded.fault = std::move(reason);
    return decoded;
}

// Named apart from std::quoted, which argument-dependent lookup finds for a
// std::string once <iomanip> is in (GCC 14 brings it with <chrono>).
std::string noteQuoted(std::string_view text)
{
    std::string out = "\"";
    for (const char ch : text) {
        if (ch == '"' || ch == '\\')
            out += '\\';
        out += static_cast<unsigned char>(ch) < 0x20 ? '?' : ch;
    }
    return out + '"';
}

} // namespace

DecodedRequest decodeLoginRequest(std::string_view body)
{
    pugi::xml_document doc;
    // Keep a whitespace-only field: "   " is a password like any other.
    const pugi::xml_parse_result parsed = doc.load_buffer(
        body.data(), body.size(), pugi::parse_default | pugi::parse_ws_pcdata_single, pugi::encoding_auto);
    if (!parsed)
        return refuse("the request is not well-formed XML: " + std::string(parsed.description()) + " at offset " +
                      std::to_string(parsed.offset));

    const pugi::xml_node envelope = doc.document_element();
    if (localName(envelope) != "Envelope")
        return refuse("the request is not a SOAP envelope: the document element is " + describe(envelope));
    if (namespaceOf(envelope) == kSoap11Namespace)
        return refuse("this is a SOAP 1.1 envelope; the service speaks SOAP 1.2 (" + std::string(kSoap12Namespace) +
                      ")");
    if (namespaceOf(envelope) != kSoap12Namespace)
        return refuse("the envelope is not in the SOAP 1.2 namespace: " + describe(envelope));

    const pugi::xml_node soapBody = childElement(envelope, kSoap12Namespace, "Body");
    if (!soapBody)
        return refuse("the envelope has no SOAP 1.2 Body");

    const pugi::xml_node request = childElement(soapBody, kServiceNamespace, "CheckUserRegisterCode");
    if (!request) {
        const pugi::xml_node other = firstChildElement(soapBody);
        if (!other)
            return refuse("the SOAP body is empty");
        return refuse("the body holds " + describe(other) + ", not CheckUserRegisterCode of namespace " +
                      std::string(kServiceNamespace));
    }

    DecodedRequest decoded;
    decoded.ok = true;
    decoded.request.company = fieldText(request, "EntName");
    decoded.request.account = fieldText(request, "strLoginId");
    decoded.request.password = fieldText(request, "strPwd");
    return decoded;
}

std::string encodeAnswer(std::string_view utf8Answer)
{
    return bytesToLatin1(utf8ToGbk(utf8Answer));
}

int faultStatus(FaultCode code)
{
    return code == FaultCode::Sender ? 400 : 500;
}

std::string answerEnvelope(std::string_view utf8Answer)
{
    const std::string text = xmlEscape(encodeAnswer(utf8Answer));
    std::string out =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
        "<soap12:Envelope xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
        "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" xmlns:soap12=\"http://www.w3.org/2003/05/soap-envelope\">"
        "<soap12:Body><CheckUserRegisterCodeResponse xmlns=\"" +
        std::string(kServiceNamespace) + "\">";
    // An empty string comes out as an empty element, as ASP.NET writes it.
    if (text.empty())
        out += "<CheckUserRegisterCodeResult />";
    else
        out += "<CheckUserRegisterCodeResult>" + text + "</CheckUserRegisterCodeResult>";
    out += "</CheckUserRegisterCodeResponse></soap12:Body></soap12:Envelope>";
    return out;
}

std::string faultEnvelope(FaultCode code, std::string_view reason)
{
    return std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                       "<soap12:Envelope xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                       "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
                       "xmlns:soap12=\"http://www.w3.org/2003/05/soap-envelope\">"
                       "<soap12:Body><soap12:Fault><soap12:Code><soap12:Value>") +
           (code == FaultCode::Sender ? "soap12:Sender" : "soap12:Receiver") +
           "</soap12:Value></soap12:Code><soap12:Reason><soap12:Text xml:lang=\"en\">" + xmlEscape(reason) +
           "</soap12:Text></soap12:Reason></soap12:Fault></soap12:Body></soap12:Envelope>";
}

Reply faultReply(FaultCode code, std::string_view reason)
{
    return {faultStatus(code), std::string(kSoapContentType), faultEnvelope(code, reason)};
}

LoginOutcome answerLogin(std::string_view body, const std::vector<Account> &accounts, std::string_view base)
{
    LoginOutcome outcome;
    try {
        const DecodedRequest decoded = decodeLoginRequest(body);
        if (!decoded.ok) {
            outcome.reply = faultReply(FaultCode::Sender, decoded.fault);
            outcome.logNote = "fault=" + noteQuoted(decoded.fault);
            return outcome;
        }
        const LoginRequest &request = decoded.request;
        const Answer answer =
            chooseAnswer(accounts, request.account.value_or(""), request.password.value_or(""), base);
        outcome.reply = {200, std::string(kSoapContentType), answerEnvelope(answer.text)};
        outcome.delay = answer.delay;
        if (request.company && !request.company->empty())
            outcome.logNote = "company=" + noteQuoted(*request.company) + " ";
        outcome.logNote += "account=" + (request.account ? noteQuoted(*request.account) : std::string("(missing)")) +
                           " answer=" + noteQuoted(answer.text);
        if (!answer.known)
            outcome.logNote += " (unknown account or wrong password)";
        if (answer.delay.count() > 0)
            outcome.logNote += " delay=" + std::to_string(answer.delay.count()) + "ms";
    } catch (const std::exception &e) {
        // Never let one odd request take the server down; the caller sees why.
        const std::string reason = std::string("internal error: ") + e.what();
        outcome = {};
        outcome.reply = faultReply(FaultCode::Receiver, reason);
        outcome.logNote = "fault=" + noteQuoted(reason);
    }
    return outcome;
}

} // namespace standin
