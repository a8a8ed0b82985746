#include "soapH.h"

// The runtime looks this table up by name. The envelope and encoding rows carry
// no wildcard, so only SOAP 1.2 envelopes are accepted.
SOAP_NMAC struct Namespace namespaces[] = {
    {"SOAP-ENV", "http://www.w3.org/2003/05/soap-envelope", "http://www.w3.org/2003/05/soap-envelope", nullptr},
    {"SOAP-ENC", "http://www.w3.org/2003/05/soap-encoding", "http://www.w3.org/2003/05/soap-encoding", nullptr},
    {"xsi", "http://www.w3.org/2001/XMLSchema-instance", "http://www.w3.org/*/XMLSchema-instance", nullptr},
    {"xsd", "http://www.w3.org/2001/XMLSchema", "http://www.w3.org/*/XMLSchema", nullptr},
    {"ns2", "{F16595B6-DE49-44d9-94C6-1E63F3AC28E8}/CheckUserLoginSoap", nullptr, nullptr},
    {"ns1", "{F16595B6-DE49-44d9-94C6-1E63F3AC28E8}", nullptr, nullptr},
    {"ns3", "{F16595B6-DE49-44d9-94C6-1E63F3AC28E8}/CheckUserLoginSoap12", nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr}};
