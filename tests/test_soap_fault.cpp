#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "mes/SoapFaultReader.h"
#include "tests/test_soap_streams.h"

namespace {

using soaptest::FaultBody;
const std::string kEnv = soaptest::kEnvelopeOpen;

mes::SoapStatus Read(const std::string& body, mes::SoapFault& fault, platform::CXmlReader* reader = nullptr) {
  soaptest::StringSource in(body, 5);
  return mes::ParseSoapFault(in, reader, fault);
}

TEST(SoapFaultReader, CodesAndFieldsInAnyOrderUnderAnyPrefixWithHeadersAndUnknownElementsPassedOver) {
  const std::string ePrefix = "<e:Envelope xmlns:e=\"http://schemas.xmlsoap.org/soap/envelope/\"><e:Body><e:Fault>";
  const std::string fields =
      "<faultstring>Bad \xE4\xB8\xAD &amp; co</faultstring><faultactor>http://mes/a</faultactor>";
  const struct {
    std::string body;
    int code;
    std::u16string codeName, string, actor, detail;
  } cases[] = {
      {FaultBody("<faultcode> soap:VersionMismatch</faultcode>" + fields), 100, u"VersionMismatch", u"Bad \u4E2D & co",
       u"http://mes/a"},
      {FaultBody("<faultcode>soap:MustUnderstand</faultcode>"), 200, u"MustUnderstand"},
      {FaultBody("<faultcode>soap:Client.Authentication</faultcode>"), 300, u"Client.Authentication"},
      {FaultBody("<faultcode>soap:Busy</faultcode>"), 0, u"Busy"},
      {FaultBody("<detail><e:Err xmlns:e=\"urn:e\" n=\"5\">x<i/></e:Err></detail>"
                 "<faultstring>s</faultstring><faultcode>soap:Server</faultcode>"),
       400, u"Server", u"s", u"", u"<e:Err n=\"5\">x<i></i></e:Err>"},  // the detail keeps nested markup
      {ePrefix + "<faultcode>e:Client</faultcode></e:Fault></e:Body></e:Envelope>", 300, u"Client"},
      // Unknown elements after a field are skipped; an empty first occurrence does not count.
      {FaultBody("<faultcode>soap:Client</faultcode><extra><x>1</x></extra>"
                 "<faultstring></faultstring><faultstring>second</faultstring>"),
       300, u"Client", u"second"},
  };
  for (const auto& c : cases) {
    mes::SoapFault fault;
    ASSERT_EQ(Read(c.body, fault), mes::kSoapOk) << c.body;
    EXPECT_EQ(std::tie(fault.m_nCode, fault.m_strCode, fault.m_strString, fault.m_strActor, fault.m_strDetail),
              std::tie(c.code, c.codeName, c.string, c.actor, c.detail));
  }
}

TEST(SoapFaultReader, UnreadableFaultsAreRejected) {
  const std::string bad[] = {
      "",
      "<html><body>Internal Server Error</body></html>",
      FaultBody("<faultcode>Server</faultcode>"),        // no prefix
      FaultBody("<faultcode>other:Server</faultcode>"),  // not the envelope's prefix
      FaultBody("<faultcode>soap:</faultcode>"),
      FaultBody("<faultstring>only a string</faultstring>"),  // no faultcode
      FaultBody("<faultcode>soap:Server</faultcode><faultcode>soap:Client</faultcode>"),
      FaultBody("<faultcode>soap:Server</faultcode><faultstring>a</faultstring><faultstring>b</faultstring>"),
      FaultBody("<Reason/><faultcode>soap:Server</faultcode>"),  // unknown element before any field
      kEnv + "<soap:Body></soap:Body></soap:Envelope>",          // no Fault
      kEnv +
          "<soap:Body><soap:Body><soap:Fault><faultcode>soap:Server</faultcode></soap:Fault></soap:Body>"
          "</soap:Body></soap:Envelope>",                                                // the level must rise
      "<Envelope><Body><Fault><faultcode>Server</faultcode></Fault></Body></Envelope>",  // no namespace
      FaultBody("<faultcode>soap:Server</faultcode>").substr(0, 120),
      "<e:Envelope xmlns:e=\"http://schemas.xmlsoap.org/soap/envelope/\"><e:Body><e:Fault>"
      "<faultcode>soap:Client</faultcode></e:Fault></e:Body></e:Envelope>",  // the prefix the reply binds counts
  };
  for (const std::string& body : bad) {
    mes::SoapFault fault;
    EXPECT_LT(Read(body, fault), 0) << body;
  }
}

}  // namespace
