#pragma once

#include "soapH.h"

// The result code of a fault the service sent instead of an answer, from its
// code (SOAP 1.2's Value, else SOAP 1.1's faultcode): SOAP_FAULT when it names
// none of the standard ones, or there is none.
int faultResultCode(const SOAP_ENV__Fault *fault);
