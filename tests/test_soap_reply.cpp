#include <gtest/gtest.h>

#include <string>

#include "mes/CS_QuerySN.h"
#include "mes/SoapEnvelopeHandler.h"
#include "tests/test_soap_streams.h"

namespace {

using CS_QuerySN::IO_UpData_CommonMap;
using CS_QuerySN::IO_UpData_CommonParams;

const std::string kOpen =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
    "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><soap:Body>";
const std::string kClose = "</soap:Body></soap:Envelope>";

std::string Reply(const std::string& wrapperContent, const std::string& wrapper = "IO_UpData_CommonResponse") {
  return kOpen + "<" + wrapper + " xmlns=\"RO_dErodo\">" + wrapperContent + "</" + wrapper + ">" + kClose;
}

struct Parsed {
  SoapStatus status;
  SoapText result;
};

Parsed Parse(const std::string& body, std::size_t piece = 1 << 20) {
  IO_UpData_CommonParams p;
  p.OrderNo = u"input";  // borrowed input values must not leak into the result
  CSoapEnvelopeHandler h;
  platform::CXmlReader reader;
  EXPECT_EQ(h.BeginParse(IO_UpData_CommonMap(), &p), kSoapOk);
  soaptest::StringSource in(body, piece);
  SoapStatus status = h.ParseReply(in, reader);
  if (SoapFailed(status)) h.FreeReadValues();
  Parsed r{status, p.IO_UpData_CommonResult};
  h.Reset();
  return r;
}

TEST(SoapReply, ResultTextIsDecodedFromUtf8AndReferences) {
  Parsed r = Parse(Reply("<IO_UpData_CommonResult>OK \xE4\xB8\xAD &lt;&amp;&#x1F600;</IO_UpData_CommonResult>"));
  ASSERT_EQ(r.status, kSoapOk);
  ASSERT_TRUE(r.result);
  EXPECT_EQ(*r.result, u"OK \u4E2D <&\U0001F600");
}

TEST(SoapReply, TextSplitAcrossManyReadsIsWhole) {
  std::string text(5000, 'x');
  Parsed r = Parse(Reply("<IO_UpData_CommonResult>" + text + "&amp;</IO_UpData_CommonResult>"), 7);
  ASSERT_EQ(r.status, kSoapOk);
  EXPECT_EQ(r.result->size(), 5001u);
}

TEST(SoapReply, AbsentNilAndEmptyResults) {
  Parsed absent = Parse(Reply(""));
  EXPECT_EQ(absent.status, kSoapOk);
  EXPECT_FALSE(absent.result);

  Parsed nil = Parse(Reply("<IO_UpData_CommonResult xsi:nil=\"true\"/>"));
  EXPECT_EQ(nil.status, kSoapOk);
  EXPECT_FALSE(nil.result);
  EXPECT_EQ(Parse(Reply("<IO_UpData_CommonResult xsi:nil=\"1\"></IO_UpData_CommonResult>")).status, kSoapOk);

  for (const char* empty : {"<IO_UpData_CommonResult/>", "<IO_UpData_CommonResult></IO_UpData_CommonResult>",
                            "<IO_UpData_CommonResult xsi:nil=\"false\"/>"}) {
    Parsed r = Parse(Reply(empty));
    EXPECT_EQ(r.status, kSoapOk) << empty;
    ASSERT_TRUE(r.result) << empty;
    EXPECT_TRUE(r.result->empty()) << empty;
  }
}

TEST(SoapReply, InvalidNilValueIsIgnoredAndTheContentRead) {
  Parsed r = Parse(Reply("<IO_UpData_CommonResult xsi:nil=\"yes\">done</IO_UpData_CommonResult>"));
  ASSERT_EQ(r.status, kSoapOk);
  EXPECT_EQ(*r.result, u"done");
}

TEST(SoapReply, NilElementWithChildrenFails) {
  EXPECT_EQ(Parse(Reply("<IO_UpData_CommonResult xsi:nil=\"1\"><x/></IO_UpData_CommonResult>")).status, kSoapFail);
}

TEST(SoapReply, NestedMarkupIsCopiedIntoTheText) {
  Parsed r = Parse(Reply("<IO_UpData_CommonResult>a<b>x</b><c k=\"v&amp;\" xmlns:p=\"u\" p:z=\"1\"/>"
                         "</IO_UpData_CommonResult>"));
  ASSERT_EQ(r.status, kSoapOk);
  EXPECT_EQ(*r.result, u"a<b>x</b><c k=\"v&\" p:z=\"1\"></c>");
}

TEST(SoapReply, WrapperNameAndNamespaceAreNotChecked) {
  Parsed r = Parse(kOpen + "<Whatever xmlns=\"other\"><IO_UpData_CommonResult>1</IO_UpData_CommonResult></Whatever>" +
                   kClose);
  EXPECT_EQ(r.status, kSoapOk);
  EXPECT_EQ(*r.result, u"1");
}

TEST(SoapReply, UnknownRepeatedOrInputChildrenFail) {
  EXPECT_EQ(Parse(Reply("<Foo/>")).status, kSoapFail);
  EXPECT_EQ(Parse(Reply("<OrderNo>x</OrderNo>")).status, kSoapFail);  // an "in" entry is not a reply value
  EXPECT_EQ(Parse(Reply("<IO_UpData_CommonResult>a</IO_UpData_CommonResult>"
                        "<IO_UpData_CommonResult>b</IO_UpData_CommonResult>"))
                .status,
            kSoapFail);
  EXPECT_EQ(Parse(Reply("<io_updata_commonresult>a</io_updata_commonresult>")).status, kSoapFail);
}

TEST(SoapReply, FailedParseLeavesNoResultBehind) {
  Parsed r = Parse(Reply("<IO_UpData_CommonResult>a</IO_UpData_CommonResult><Foo/>"));
  EXPECT_EQ(r.status, kSoapFail);
  EXPECT_FALSE(r.result);
}

TEST(SoapReply, EnvelopeStructureIsEnforced) {
  const std::string env = "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\">";
  // No wrapper in the Body.
  EXPECT_EQ(Parse(env + "<soap:Body></soap:Body></soap:Envelope>").status, kSoapFail);
  // A second element after the wrapper.
  EXPECT_EQ(Parse(env + "<soap:Body><R/><R/></soap:Body></soap:Envelope>").status, kSoapFail);
  // Body where an Envelope is due, Envelope in another namespace, no envelope at all.
  EXPECT_EQ(Parse("<soap:Body xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><R/></soap:Body>").status,
            kSoapFail);
  EXPECT_EQ(Parse("<Envelope xmlns=\"http://www.w3.org/2003/05/soap-envelope\"><Body><R/></Body></Envelope>").status,
            kSoapFail);
  EXPECT_EQ(Parse("<IO_UpData_CommonResponse/>").status, kSoapFail);
  // Header after Body, two Bodies.
  EXPECT_EQ(Parse(env + "<soap:Body><R/></soap:Body><soap:Header/></soap:Envelope>").status, kSoapFail);
  EXPECT_EQ(Parse(env + "<soap:Header/><soap:Header/><soap:Body><R/></soap:Body></soap:Envelope>").status, kSoapFail);
  EXPECT_EQ(Parse(env + "<soap:Body><R/></soap:Body><soap:Body><R/></soap:Body></soap:Envelope>").status,
            kSoapFail);
  // A minimal well-formed reply.
  EXPECT_EQ(Parse(env + "<soap:Body><R/></soap:Body></soap:Envelope>").status, kSoapOk);
}

TEST(SoapReply, HeaderEntriesAreSkippedUnlessTheyMustBeUnderstood) {
  auto withHeader = [](const std::string& entry) {
    return kOpen.substr(0, kOpen.size() - std::string("<soap:Body>").size()) + "<soap:Header>" + entry +
           "</soap:Header><soap:Body><R><IO_UpData_CommonResult>r</IO_UpData_CommonResult></R>" + kClose;
  };
  EXPECT_EQ(Parse(withHeader("<t:Trace xmlns:t=\"x\" soap:mustUnderstand=\"0\"><a><b/></a>text</t:Trace>")).status,
            kSoapOk);
  EXPECT_EQ(Parse(withHeader("<t:Trace xmlns:t=\"x\"><IO_UpData_CommonResult/></t:Trace>")).status, kSoapOk);
  EXPECT_EQ(Parse(withHeader("<t:Auth xmlns:t=\"x\" soap:mustUnderstand=\"1\"/>")).status, kSoapFail);
  EXPECT_EQ(Parse(withHeader("<t:Auth xmlns:t=\"x\" soap:mustUnderstand=\"true\"/>")).status, kSoapFail);
  // A value that is not a boolean counts as true.
  EXPECT_EQ(Parse(withHeader("<t:Auth xmlns:t=\"x\" soap:mustUnderstand=\"maybe\"/>")).status, kSoapFail);
  // Only the envelope namespace's attribute counts.
  EXPECT_EQ(Parse(withHeader("<t:Auth xmlns:t=\"x\" t:mustUnderstand=\"1\"/>")).status, kSoapOk);
}

TEST(SoapReply, DoctypeAndEntityDeclarationsAreRefused) {
  EXPECT_EQ(Parse("<!DOCTYPE soap:Envelope>" + Reply("")).status, kSoapFail);
  std::string lol = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>" +
                    Reply("<IO_UpData_CommonResult>&b;</IO_UpData_CommonResult>");
  Parsed r = Parse(lol);
  EXPECT_EQ(r.status, kSoapFail);
  EXPECT_FALSE(r.result);
  std::string external = "<!DOCTYPE r [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>" +
                         Reply("<IO_UpData_CommonResult>&x;</IO_UpData_CommonResult>");
  EXPECT_EQ(Parse(external).status, kSoapFail);
  // An undeclared entity is simply malformed.
  EXPECT_EQ(Parse(Reply("<IO_UpData_CommonResult>&nbsp;</IO_UpData_CommonResult>")).status, kSoapFail);
}

TEST(SoapReply, MalformedBodiesFail) {
  for (std::string bad : {std::string(), std::string("   "), std::string("HTTP error page"),
                          Reply("<IO_UpData_CommonResult>x</IO_UpData_CommonResult>").substr(0, 200),
                          Reply("<IO_UpData_CommonResult>x</IO_UpData_CommonResult>") + "<trailing/>",
                          std::string("<soap:Envelope>") /* undeclared prefix */}) {
    EXPECT_EQ(Parse(bad).status, kSoapFail) << bad;
  }
}

// A record with non-text reply values, to check the scalar conversions.
struct ScalarRecord {
  std::int32_t count = 0;
  bool flag = false;
};

const SoapMapEntry kScalarEntries[] = {
    {SoapNameHash(u"Count"), "Count", u"Count", kXsdInt, kSoapOut,
     [](void* r) -> void* { return &static_cast<ScalarRecord*>(r)->count; }},
    {SoapNameHash(u"Flag"), "Flag", u"Flag", kXsdBoolean, kSoapOut | kSoapNullable,
     [](void* r) -> void* { return &static_cast<ScalarRecord*>(r)->flag; }},
};
const SoapMap kScalarMap = {SoapNameHash(u"Op"), "Op", u"OpResponse", kSoapFunctionMap, kScalarEntries, 2,
                            sizeof(ScalarRecord), kSoapDocument | kSoapLiteral | kSoapParamsWrapped, "ns", u"ns",
                            SoapNameHash(u"ns"), [](void* r) { *static_cast<ScalarRecord*>(r) = {}; }};

SoapStatus ParseScalars(const std::string& content, ScalarRecord& rec) {
  CSoapEnvelopeHandler h;
  platform::CXmlReader reader;
  h.BeginParse(kScalarMap, &rec);
  soaptest::StringSource in(Reply(content, "OpResponse"));
  return h.ParseReply(in, reader);
}

TEST(SoapReply, ScalarValuesAreConvertedAndChecked) {
  ScalarRecord rec;
  ASSERT_EQ(ParseScalars("<Count> -42 </Count><Flag>true</Flag>", rec), kSoapOk);
  EXPECT_EQ(rec.count, -42);
  EXPECT_TRUE(rec.flag);
  EXPECT_EQ(ParseScalars("<Count>2147483648</Count>", rec), kSoapFail);
  EXPECT_EQ(ParseScalars("<Count>12a</Count>", rec), kSoapFail);
  EXPECT_EQ(ParseScalars("<Count></Count>", rec), kSoapFail);
  EXPECT_EQ(ParseScalars("<Count>1</Count><Flag>yes</Flag>", rec), kSoapFail);
  // A simple value may not hold elements; a required value may be neither missing nor nil.
  EXPECT_EQ(ParseScalars("<Count><b>1</b></Count>", rec), kSoapFail);
  EXPECT_EQ(ParseScalars("<Flag>0</Flag>", rec), kSoapFail);
  EXPECT_EQ(ParseScalars("<Count xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xsi:nil=\"1\"/>", rec),
            kSoapFail);
  ASSERT_EQ(ParseScalars("<Count>+7</Count><Flag xsi:nil=\"1\"/>", rec), kSoapOk);
  EXPECT_EQ(rec.count, 7);
}

}  // namespace
