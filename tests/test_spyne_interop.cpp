// The request must be accepted by an independent, schema-validating SOAP
// stack: the spyne MES answers each call with a JSON text of the values it
// decoded, which is compared here with the values sent.
#include <gtest/gtest.h>

#include <QString>
#include <nlohmann/json.hpp>
#include <vector>

#include "mes/CS_QuerySN.h"
#include "tests/SpyneMes.h"

namespace {

using nlohmann::json;

json Json(const mes::SoapText& text) {
  return text ? json(QString::fromStdU16String(*text).toStdString()) : json(nullptr);
}
json Json(mes::SoapBlob blob) {
  return blob.data ? json(std::vector<int>(blob.data, blob.data + blob.size)) : json(nullptr);
}

struct Values {
  mes::SoapText text[11];  // the texts in element order, Version last
  mes::SoapBlob blob[3];
  std::int32_t systemType = 0;

  json Decoded() const {
    const char* names[] = {"OrderNo",   "SerialNumber", "MacList",  "ComponentSnList", "DealResult", "BugType",
                           "BugReason", "WorkStation",  "ToolType", "Recorder",        "Version"};
    json j = {{"SystemType", systemType}};
    for (int i = 0; i < 11; ++i) j[names[i]] = Json(text[i]);
    for (int i = 0; i < 3; ++i) j["TempColumn" + std::to_string(i + 1)] = Json(blob[i]);
    return j;
  }
};

TEST(SpyneInterop, EveryValueArrivesIntactAndUncarriableCharactersAsVisibleStandIns) {
  testsupport::SpyneMes server;
  ASSERT_TRUE(server.Start()) << "the spyne server did not start (python3-spyne missing?)";
  std::vector<unsigned char> bytes(1000);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 7 + 3);
  Values sent;
  sent.text[0] = u"ABC1234";
  sent.text[1] = u"ABC1234567";
  // A device console's colour codes (ESC is not an XML 1.0 character, not even as a reference)
  // and other controls must not make the server refuse the unit; DEL and C1 controls are XML characters.
  sent.text[2] = std::u16string{u'\0', u'\x01', u'\x1b', u'\uFFFE', char16_t(0xD800), u'z', u'\x7f', u'\x85'};
  sent.text[4] = u"FAIL";
  sent.text[5] = u"";
  sent.text[6] = u"\u7F51\u53E3\u6D4B\u8BD5\u5931\u8D25 <a&b> \"q\" 'x'\r\nline2\ttab \U0001F600 \u00E9";
  sent.blob[0] = mes::SoapBlob{0, nullptr};
  sent.blob[1] = mes::SoapBlob{static_cast<std::uint32_t>(bytes.size()), bytes.data()};  // many Base64 lines
  sent.blob[2] = mes::SoapBlob{57, bytes.data()};                                        // one line, ending in CR LF
  sent.text[7] = u"\u5DE5\u4F4D-01";
  sent.text[8] = u"ATE";
  sent.text[9] = u"operator";
  sent.systemType = -2147483647 - 1;
  sent.text[10] = u"V2.0.1 build 5";
  Values decoded = sent;  // text[3] stays null
  decoded.text[2] = u"\u2400\u2401\u241B\uFFFD\uFFFDz\u007F\u0085";

  mes::CS_QuerySN::CCS_QuerySN proxy(server.Url());
  const mes::SoapText* t = sent.text;
  mes::SoapText result;
  ASSERT_EQ(proxy.IO_UpData_Common(t[0], t[1], t[2], t[3], t[4], t[5], t[6], sent.blob[0], sent.blob[1], sent.blob[2],
                                   t[7], t[8], t[9], sent.systemType, t[10], &result),
            mes::kSoapOk)
      << "kind " << static_cast<int>(proxy.GetClientError());
  ASSERT_TRUE(result);
  EXPECT_EQ(json::parse(QString::fromStdU16String(*result).toStdString()), decoded.Decoded());
}

}  // namespace
