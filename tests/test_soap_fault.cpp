#include <gtest/gtest.h>

#include <string>

#include "mes/SoapFaultReader.h"
#include "tests/test_soap_streams.h"

namespace {

const std::string kEnv = "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\">";

std::string FaultReply(const std::string& fields) {
  return kEnv + "<soap:Body><soap:Fault>" + fields + "</soap:Fault></soap:Body></soap:Envelope>";
}

SoapStatus Read(const std::string& body, SoapFault& fault, platform::CXmlReader* reader = nullptr) {
  soaptest::StringSource in(body, 5);
  return ParseSoapFault(in, reader, fault);
}

TEST(SoapFaultReader, StandardCodesAndFieldsAreRead) {
  struct Case {
    const char* local;
    int code;
  } cases[] = {{"VersionMismatch", 100}, {"MustUnderstand", 200}, {"Client", 300}, {"Server", 400},
               {"Client.Authentication", 300}, {"Busy", 0}};
  for (const Case& c : cases) {
    SoapFault fault;
    ASSERT_EQ(Read(FaultReply(std::string("<faultcode> soap:") + c.local +
                              "</faultcode><faultstring>Bad \xE4\xB8\xAD &amp; co</faultstring>"
                              "<faultactor>http://mes/a</faultactor>"),
                   fault),
              kSoapOk)
        << c.local;
    EXPECT_EQ(fault.m_nCode, c.code);
    EXPECT_EQ(fault.m_strCode, std::u16string(c.local, c.local + std::char_traits<char>::length(c.local)));
    EXPECT_EQ(fault.m_strString, u"Bad \u4E2D & co");
    EXPECT_EQ(fault.m_strActor, u"http://mes/a");
    EXPECT_TRUE(fault.m_strDetail.empty());
  }
}

TEST(SoapFaultReader, DetailKeepsNestedMarkupAndFieldsMayComeInAnyOrder) {
  SoapFault fault;
  ASSERT_EQ(Read(FaultReply("<detail><e:Err xmlns:e=\"urn:e\" n=\"5\">x<i/></e:Err></detail>"
                            "<faultstring>s</faultstring><faultcode>soap:Server</faultcode>"),
                 fault),
            kSoapOk);
  EXPECT_EQ(fault.m_strDetail, u"<e:Err n=\"5\">x<i></i></e:Err>");
  EXPECT_EQ(fault.m_strString, u"s");
  EXPECT_EQ(fault.m_strCode, u"Server");
  EXPECT_EQ(fault.m_nCode, 400);
}

TEST(SoapFaultReader, TheEnvelopePrefixIsWhateverTheReplyBinds) {
  SoapFault fault;
  EXPECT_EQ(Read("<e:Envelope xmlns:e=\"http://schemas.xmlsoap.org/soap/envelope/\"><e:Body><e:Fault>"
                 "<faultcode>e:Client</faultcode></e:Fault></e:Body></e:Envelope>",
                 fault),
            kSoapOk);
  EXPECT_EQ(fault.m_nCode, 300);
  EXPECT_EQ(Read("<e:Envelope xmlns:e=\"http://schemas.xmlsoap.org/soap/envelope/\"><e:Body><e:Fault>"
                 "<faultcode>soap:Client</faultcode></e:Fault></e:Body></e:Envelope>",
                 fault),
            kSoapFail);
}

TEST(SoapFaultReader, AHeaderBeforeTheBodyIsPassedOver) {
  SoapFault fault;
  EXPECT_EQ(Read(kEnv + "<soap:Header><h:T xmlns:h=\"x\"><soap:Fault/></h:T></soap:Header><soap:Body><soap:Fault>"
                        "<faultcode>soap:Server</faultcode></soap:Fault></soap:Body></soap:Envelope>",
                 fault),
            kSoapOk);
  EXPECT_EQ(fault.m_nCode, 400);
}

TEST(SoapFaultReader, UnreadableFaultsAreRejected) {
  const std::string bad[] = {
      "",
      "<html><body>Internal Server Error</body></html>",
      FaultReply("<faultcode>Server</faultcode>"),                  // no prefix
      FaultReply("<faultcode>other:Server</faultcode>"),            // not the envelope's prefix
      FaultReply("<faultcode>soap:</faultcode>"),
      FaultReply("<faultstring>only a string</faultstring>"),       // no faultcode
      FaultReply("<faultcode>soap:Server</faultcode><faultcode>soap:Client</faultcode>"),
      FaultReply("<faultcode>soap:Server</faultcode><faultstring>a</faultstring><faultstring>b</faultstring>"),
      FaultReply("<Reason/><faultcode>soap:Server</faultcode>"),   // unknown element before any field
      kEnv + "<soap:Body></soap:Body></soap:Envelope>",            // no Fault
      kEnv + "<soap:Body><soap:Body><soap:Fault><faultcode>soap:Server</faultcode></soap:Fault></soap:Body>"
             "</soap:Body></soap:Envelope>",                        // the level must rise
      "<Envelope><Body><Fault><faultcode>Server</faultcode></Fault></Body></Envelope>",  // no namespace
      "<!DOCTYPE x [<!ENTITY e \"soap:Server\">]>" + FaultReply("<faultcode>&e;</faultcode>"),
      FaultReply("<faultcode>soap:Server</faultcode>").substr(0, 120),
  };
  for (const std::string& body : bad) {
    SoapFault fault;
    EXPECT_LT(Read(body, fault), 0) << body;
  }
}

TEST(SoapFaultReader, UnknownElementsAfterAFieldAreSkipped) {
  SoapFault fault;
  EXPECT_EQ(Read(FaultReply("<faultcode>soap:Client</faultcode><extra><x>1</x></extra>"
                            "<faultstring></faultstring><faultstring>second</faultstring>"),
                 fault),
            kSoapOk);
  EXPECT_EQ(fault.m_strString, u"second");  // an empty first occurrence does not count
}

TEST(SoapFaultReader, ReusedReaderAndRecordStartClean) {
  platform::CXmlReader reader;
  SoapFault fault;
  ASSERT_EQ(Read(FaultReply("<faultcode>soap:Client</faultcode><faultactor>a</faultactor>"), fault, &reader),
            kSoapOk);
  ASSERT_EQ(Read(FaultReply("<faultcode>soap:Server</faultcode>"), fault, &reader), kSoapOk);
  EXPECT_EQ(fault.m_nCode, 400);
  EXPECT_TRUE(fault.m_strActor.empty());
  EXPECT_EQ(reader.GetContentHandler(), nullptr);
}

}  // namespace
