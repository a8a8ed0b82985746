// The message records' own operations. Reading and reference marking use the
// generated serializers; the request is written here so that its bytes are
// exactly what the service expects (empty strings as a start and an end tag,
// line feeds escaped, no type attributes).

#include "service/XmlEscape.h"
#include "soapH.h"

namespace {

void appendChild(std::string &out, const char *tag, const std::string *value)
{
    if (!value)
        return;
    out += '<';
    out += tag;
    out += '>';
    appendEscapedText(out, *value);
    out += "</";
    out += tag;
    out += '>';
}

} // namespace

long _ns1__CheckUserRegisterCode::type_id() const
{
    return soap_type();
}

void _ns1__CheckUserRegisterCode::set_defaults(struct soap *soap)
{
    soap_default(soap);
}

void _ns1__CheckUserRegisterCode::mark_references(struct soap *soap) const
{
    soap_serialize(soap);
}

int _ns1__CheckUserRegisterCode::put_element(struct soap *soap, const char *tag, const char *type) const
{
    if (write_element(soap, tag ? tag : "ns1:CheckUserRegisterCode", -2, type))
        return soap->error;
    return soap_putindependent(soap);
}

int _ns1__CheckUserRegisterCode::write_element(struct soap *soap, const char *tag, int, const char *) const
{
    std::string out;
    out.reserve(256);
    out += '<';
    out += tag;
    out += '>';
    appendChild(out, "ns1:EntName", EntName);
    appendChild(out, "ns1:strLoginId", strLoginId);
    appendChild(out, "ns1:strPwd", strPwd);
    out += "</";
    out += tag;
    out += '>';
    return soap_send_raw(soap, out.data(), out.size());
}

void *_ns1__CheckUserRegisterCode::get_element(struct soap *soap, const char *tag, const char *type)
{
    return soap_get(soap, tag, type);
}

void *_ns1__CheckUserRegisterCode::read_element(struct soap *soap, const char *tag, const char *type)
{
    return soap_in(soap, tag, type);
}

long _ns1__CheckUserRegisterCodeResponse::type_id() const
{
    return soap_type();
}

void _ns1__CheckUserRegisterCodeResponse::set_defaults(struct soap *soap)
{
    soap_default(soap);
}

void _ns1__CheckUserRegisterCodeResponse::mark_references(struct soap *soap) const
{
    soap_serialize(soap);
}

int _ns1__CheckUserRegisterCodeResponse::put_element(struct soap *soap, const char *tag, const char *type) const
{
    return soap_put(soap, tag, type);
}

int _ns1__CheckUserRegisterCodeResponse::write_element(struct soap *soap, const char *tag, int id, const char *type) const
{
    return soap_out(soap, tag, id, type);
}

void *_ns1__CheckUserRegisterCodeResponse::get_element(struct soap *soap, const char *tag, const char *type)
{
    return soap_get(soap, tag, type);
}

void *_ns1__CheckUserRegisterCodeResponse::read_element(struct soap *soap, const char *tag, const char *type)
{
    return soap_in(soap, tag, type);
}
