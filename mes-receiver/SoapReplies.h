// The bodies the receiver answers with, as the service's own stack writes them.
#pragma once

#include <string>

namespace receiver {

// The operation's response envelope carrying resultText (UTF-8).
std::string ResponseEnvelope(const std::string& resultText);
// A SOAP 1.1 Fault envelope; faultCode is "soap:Client" or "soap:Server".
std::string FaultEnvelope(const std::string& faultCode, const std::string& faultString);

}  // namespace receiver
