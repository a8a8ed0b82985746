#pragma once

#include <string>
#include <string_view>
#include <vector>

struct soap;

// The login call's trust beside the system's store: the roots an
// administrator adds (TrustedRootCertificates), the same the pages trust.

// Adds every certificate of each PEM file to the TLS context of `soap` (made
// by soap_ssl_client_context). A file that cannot be read adds nothing; the
// settings have reported it already.
void addTrustedRoots(struct soap *soap, const std::vector<std::string> &files);

// Whether a call that failed with `code` and the fault report `report` failed
// because the server's certificate is not trusted (unknown root, expired, not
// naming the host), not because of the network.
bool certificateRefused(int code, std::string_view report);
