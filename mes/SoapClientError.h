// Outcome reporting of the MES web-service client: the 32-bit status codes a
// call returns (negative = failure, as COM does it) and the error kind that
// says which stage failed.
#pragma once

#include <cstdint>

namespace mes {

using SoapStatus = std::int32_t;

inline constexpr SoapStatus kSoapOk = 0;                                                 // S_OK
inline constexpr SoapStatus kSoapInvalidPointer = static_cast<SoapStatus>(0x80004003u);  // E_POINTER
inline constexpr SoapStatus kSoapFail = static_cast<SoapStatus>(0x80004005u);            // E_FAIL
inline constexpr SoapStatus kSoapOutOfMemory = static_cast<SoapStatus>(0x8007000Eu);     // E_OUTOFMEMORY

inline constexpr bool SoapSucceeded(SoapStatus status) {
  return status >= 0;
}
inline constexpr bool SoapFailed(SoapStatus status) {
  return status < 0;
}

// Kept by the SOAP transport (CSoapHttpTransportT::GetClientError) and reset to
// Success at the start of each call. The numbers are part of the interface.
enum class SoapClientError : int {
  Success = 0,
  InitializeError = 1,  // the XML reader could not be created or bound
  OutOfMemory = 2,      // the parameter record could not be registered for parsing
  GenerateError = 3,    // the request envelope could not be written
  SendError = 5,        // the HTTP exchange failed and the status was not 500
  ServerError = 6,      // the exchange completed with a status other than 200, 202, 500
  SoapFault = 7,        // the server answered 500
  ParseFaultError = 8,  // a 500 reply body could not be read as a SOAP Fault
  ReadError = 9,        // a 200 reply had no body to read
  ParseError = 10,      // the 200 reply could not be parsed into the record
};

}  // namespace mes
