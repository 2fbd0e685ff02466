#include <gtest/gtest.h>

#include <string>

#include "mes/CS_QuerySN.h"
#include "mes/SoapEnvelopeHandler.h"
#include "tests/test_soap_streams.h"

namespace {

using mes::CS_QuerySN::IO_UpData_CommonMap;
using mes::CS_QuerySN::IO_UpData_CommonParams;
using soaptest::ReplyBody;

const std::string kEnv = soaptest::kEnvelopeOpen;

std::string Result(const std::string& inner, const std::string& attrs = "") {
  return ReplyBody("<IO_UpData_CommonResult" + attrs + ">" + inner + "</IO_UpData_CommonResult>");
}

struct Parsed {
  mes::SoapStatus status;
  mes::SoapText result;
};

Parsed Parse(const std::string& body, std::size_t piece = 1 << 20) {
  IO_UpData_CommonParams p;
  p.OrderNo = u"input";  // borrowed input values must not leak into the result
  mes::CSoapEnvelopeHandler h;
  platform::CXmlReader reader;
  EXPECT_EQ(h.BeginParse(IO_UpData_CommonMap(), &p), mes::kSoapOk);
  soaptest::StringSource in(body, piece);
  mes::SoapStatus status = h.ParseReply(in, reader);
  if (mes::SoapFailed(status)) h.FreeReadValues();
  Parsed r{status, p.IO_UpData_CommonResult};
  h.Reset();
  return r;
}

TEST(SoapReply, ResultTextsNullAndEmpty) {
  const std::string text(5000, 'x');
  const std::pair<std::string, mes::SoapText> cases[] = {
      {Result("OK \xE4\xB8\xAD &lt;&amp;&#x1F600;"), u"OK \u4E2D <&\U0001F600"},  // UTF-8 and references
      {Result(text + "&amp;"), std::u16string(text.begin(), text.end()) + u"&"},
      {ReplyBody(""), std::nullopt},
      {ReplyBody("<IO_UpData_CommonResult xsi:nil=\"true\"/>"), std::nullopt},
      {Result("", " xsi:nil=\"1\""), std::nullopt},
      {ReplyBody("<IO_UpData_CommonResult/>"), u""},
      {ReplyBody("<IO_UpData_CommonResult xsi:nil=\"false\"/>"), u""},
      {Result("done", " xsi:nil=\"yes\""), u"done"},  // an invalid nil value is ignored
      // Nested markup is copied into the text, without namespace declarations.
      {Result("a<b>x</b><c k=\"v&amp;\" xmlns:p=\"u\" p:z=\"1\"/>"), u"a<b>x</b><c k=\"v&\" p:z=\"1\"></c>"},
  };
  for (const auto& [body, expected] : cases) {
    for (std::size_t piece : {std::size_t(7), std::size_t(1) << 20}) {  // split across reads or whole
      Parsed r = Parse(body, piece);
      EXPECT_EQ(r.status, mes::kSoapOk) << body;
      EXPECT_EQ(r.result, expected) << body;
    }
  }
}

TEST(SoapReply, MalformedOrUnexpectedRepliesFailAndLeaveNoResult) {
  const std::string bad[] = {
      std::string(),
      Result("x").substr(0, 200),
      Result("x") + "<trailing/>",
      "<soap:Envelope>",                 // undeclared prefix
      Result("<x/>", " xsi:nil=\"1\""),  // nil with children
      ReplyBody("<Foo/>"),
      ReplyBody("<OrderNo>x</OrderNo>"),  // an "in" entry is not a reply value
      ReplyBody("<IO_UpData_CommonResult>a</IO_UpData_CommonResult><IO_UpData_CommonResult>b</IO_UpData_CommonResult>"),
      ReplyBody("<io_updata_commonresult>a</io_updata_commonresult>"),
      ReplyBody("<IO_UpData_CommonResult>a</IO_UpData_CommonResult><Foo/>"),  // a result parsed before the error
      // The envelope's structure: no wrapper, a second one, Body first, SOAP 1.2, no envelope,
      // Header after Body, two Headers, two Bodies.
      kEnv + "<soap:Body></soap:Body></soap:Envelope>",
      kEnv + "<soap:Body><R/><R/></soap:Body></soap:Envelope>",
      "<soap:Body xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><R/></soap:Body>",
      "<Envelope xmlns=\"http://www.w3.org/2003/05/soap-envelope\"><Body><R/></Body></Envelope>",
      "<IO_UpData_CommonResponse/>",
      kEnv + "<soap:Body><R/></soap:Body><soap:Header/></soap:Envelope>",
      kEnv + "<soap:Header/><soap:Header/><soap:Body><R/></soap:Body></soap:Envelope>",
      kEnv + "<soap:Body><R/></soap:Body><soap:Body><R/></soap:Body></soap:Envelope>",
      // An undeclared entity is malformed (a DOCTYPE is refused by the XML reader itself).
      Result("&nbsp;"),
  };
  for (const std::string& body : bad) {
    Parsed r = Parse(body);
    EXPECT_EQ(r.status, mes::kSoapFail) << body;
    EXPECT_FALSE(r.result) << body;
  }
  EXPECT_EQ(Parse(kEnv + "<soap:Body><R/></soap:Body></soap:Envelope>").status, mes::kSoapOk);  // the minimal reply
}

TEST(SoapReply, HeaderEntriesAreSkippedUnlessTheyMustBeUnderstood) {
  const std::pair<const char*, mes::SoapStatus> cases[] = {
      {"<t:Trace xmlns:t=\"x\" soap:mustUnderstand=\"0\"><a><b/></a>text</t:Trace>", mes::kSoapOk},
      {"<t:Trace xmlns:t=\"x\"><IO_UpData_CommonResult/></t:Trace>", mes::kSoapOk},
      {"<t:Auth xmlns:t=\"x\" soap:mustUnderstand=\"1\"/>", mes::kSoapFail},
      {"<t:Auth xmlns:t=\"x\" soap:mustUnderstand=\"maybe\"/>", mes::kSoapFail},  // not a boolean: true
      {"<t:Auth xmlns:t=\"x\" t:mustUnderstand=\"1\"/>", mes::kSoapOk},  // only the envelope's attribute counts
  };
  for (const auto& [entry, status] : cases) {
    const Parsed r = Parse(kEnv + "<soap:Header>" + entry +
                           "</soap:Header><soap:Body><R><IO_UpData_CommonResult>r"
                           "</IO_UpData_CommonResult></R></soap:Body></soap:Envelope>");
    EXPECT_EQ(r.status, status) << entry;
    if (status == mes::kSoapOk) EXPECT_EQ(r.result, u"r") << entry;
  }
}

}  // namespace
