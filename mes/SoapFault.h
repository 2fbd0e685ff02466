// The last SOAP Fault a service answered with. The SOAP transport owns one and
// clears it at the start of each call; the fault reader fills it from a 500
// reply. All texts are UTF-16.
#pragma once

#include <string>

namespace mes {

// Numeric codes of the standard SOAP 1.1 fault codes; 0 for any other code.
enum SoapFaultCode : int {
  kSoapFaultUnknown = 0,
  kSoapFaultVersionMismatch = 100,
  kSoapFaultMustUnderstand = 200,
  kSoapFaultClient = 300,
  kSoapFaultServer = 400,
};

struct SoapFault {
  int m_nCode = kSoapFaultUnknown;  // one of SoapFaultCode
  std::u16string m_strCode;         // local part of faultcode, e.g. u"Client"
  std::u16string m_strString;       // faultstring
  std::u16string m_strActor;        // faultactor
  std::u16string m_strDetail;       // detail, nested markup kept as text

  void Clear() {
    m_nCode = kSoapFaultUnknown;
    m_strCode.clear();
    m_strString.clear();
    m_strActor.clear();
    m_strDetail.clear();
  }
};

}  // namespace mes
