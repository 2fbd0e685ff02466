// The one operation this receiver serves, described for validators and clients:
// the XML Schema of its request and response elements and the service's WSDL.
#pragma once

#include <string>
#include <string_view>

namespace receiver {

inline constexpr std::string_view kServiceNamespace = "RO_dErodo";
inline constexpr std::string_view kServicePath = "/querysn/cs_querysn.asmx";
inline constexpr std::string_view kOperation = "IO_UpData_Common";
// The SOAPAction header value the operation is called with (quotes included).
inline constexpr std::string_view kSoapAction = "\"RO_dErodo/IO_UpData_Common\"";

// XML Schema of IO_UpData_Common and IO_UpData_CommonResponse.
const std::string& OperationSchema();

// WSDL 1.1 of the service, its port bound to endpointUrl.
std::string ServiceWsdl(const std::string& endpointUrl);

}  // namespace receiver
