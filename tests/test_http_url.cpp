// URL splitting, reassembly, Location resolution and endpoint escaping.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "mes/HttpClient.h"
#include "mes/HttpUrl.h"

TEST(HttpUrl, SplitsEveryPart) {
  mes::CHttpUrl url;
  ASSERT_TRUE(url.CrackUrl("http://user:pw@Mes.Example:8080/querysn/cs_querysn.asmx?wsdl#top"));
  EXPECT_EQ(url.GetScheme(), mes::kUrlSchemeHttp);
  EXPECT_EQ(url.GetSchemeName(), "http");
  EXPECT_EQ(url.GetUserName(), "user");
  EXPECT_EQ(url.GetPassword(), "pw");
  EXPECT_EQ(url.GetHostName(), "Mes.Example");
  EXPECT_EQ(url.GetPortNumber(), 8080);
  EXPECT_EQ(url.GetUrlPath(), "/querysn/cs_querysn.asmx");
  EXPECT_EQ(url.GetExtraInfo(), "?wsdl#top");
  EXPECT_EQ(url.CreateUrl(), "http://user:pw@Mes.Example:8080/querysn/cs_querysn.asmx?wsdl#top");
}

TEST(HttpUrl, MissingPortTakesTheSchemeDefault) {
  const std::pair<const char*, unsigned short> cases[] = {
      {"http://mes/querysn/cs_querysn.asmx", 80}, {"https://mes/", 443}, {"HTTP://h", 80}};
  for (const auto& [text, port] : cases) {
    mes::CHttpUrl url;
    ASSERT_TRUE(url.CrackUrl(text)) << text;
    EXPECT_EQ(url.GetPortNumber(), port) << text;
  }
  mes::CHttpUrl bare;
  ASSERT_TRUE(bare.CrackUrl("http://mes"));
  EXPECT_EQ(bare.GetUrlPath(), "");
  EXPECT_EQ(bare.CreateUrl(), "http://mes");
  mes::CHttpUrl v6;
  ASSERT_TRUE(v6.CrackUrl("http://[::1]:8080/x"));
  EXPECT_EQ(v6.GetHostName(), "::1");
  EXPECT_EQ(v6.CreateUrl(), "http://[::1]:8080/x");
}

TEST(HttpUrl, RefusesMalformedUrlsAndLeavesTheObjectEmpty) {
  const std::string longHost(257, 'h');
  const std::string longPath = "/" + std::string(2048, 'p');
  const std::string longExtra = "?" + std::string(2048, 'q');
  const std::string longUser(129, 'u');
  const std::string cases[] = {"",
                               "mes/querysn",
                               "://mes/",
                               "unknown://mes/",
                               "http:mes/",
                               "http://mes:/x",
                               "http://mes:65536/x",
                               "http://mes:0/x",
                               "http://mes:80a/x",
                               "http://[::1/x",
                               "http://" + longHost + "/",
                               "http://mes" + longPath,
                               "http://mes/" + longExtra,
                               "http://" + longUser + "@mes/"};
  for (const auto& text : cases) {
    mes::CHttpUrl url;
    ASSERT_TRUE(url.CrackUrl("http://old/"));
    EXPECT_FALSE(url.CrackUrl(text)) << text;
    EXPECT_TRUE(url.IsEmpty()) << text;
  }
  mes::CHttpUrl limits;
  EXPECT_TRUE(limits.CrackUrl("http://" + std::string(256, 'h') + "/" + std::string(2047, 'p')));
}

TEST(HttpUrl, EscapingWritesUnsafeBytesAsLowerCaseHexUpToTheQuery) {
  std::string out;
  ASSERT_TRUE(mes::EscapeUrl("http://mes/a b\"<>{}|\\^`[];,$&+=@/x\x7f\x01\xe4?q=a b#f g", out));
  EXPECT_EQ(out, "http://mes/a%20b%22%3c%3e%7b%7d%7c%5c%5e%60%5b%5d%3b%2c%24%26%2b%3d%40/x%7f%01%e4?q=a b#f g");
  ASSERT_TRUE(mes::EscapeUrl("http://mes/already%20escaped#frag ment", out));
  EXPECT_EQ(out, "http://mes/already%20escaped#frag ment");  // "%" survives, "#" ends the escaping
  ASSERT_TRUE(mes::EscapeUrl("http://mes/querysn/cs_querysn.asmx", out));
  EXPECT_EQ(out, "http://mes/querysn/cs_querysn.asmx");
}

TEST(HttpUrl, EscapedLengthIsLimited) {
  std::string out = "unchanged";
  const std::string fits = "http://mes/" + std::string(2082 - 11, 'a');
  ASSERT_TRUE(mes::EscapeUrl(fits, out));
  EXPECT_EQ(out.size(), 2082u);
  out = "unchanged";
  EXPECT_FALSE(mes::EscapeUrl(fits + "a", out));
  EXPECT_FALSE(mes::EscapeUrl("http://mes/" + std::string(700, ' '), out));  // grows threefold
  EXPECT_EQ(out, "unchanged");
}

TEST(HttpLocation, ResolvesAgainstTheCurrentUrl) {
  mes::CHttpUrl current;
  ASSERT_TRUE(current.CrackUrl("http://mes:81/querysn/cs_querysn.asmx?x=1"));
  const std::pair<std::string, const char*> cases[] = {
      {"/other.asmx", "http://mes:81/other.asmx"},
      {"other.asmx?y=2", "http://mes:81/querysn/other.asmx?y=2"},
      {"http://Other:9000/p", "http://Other:9000/p"},
      {"http://other/p", "http://other/p"},  // a complete URL without port takes the scheme's
      {"//third/p", "http://third/p"},
      {"  /spaced  ", "http://mes:81/spaced"},
      {"", nullptr},
      {"/" + std::string(3000, 'p'), nullptr}};
  for (const auto& [location, expected] : cases) {
    mes::CHttpUrl next;
    EXPECT_EQ(mes::ResolveHttpLocation(current, location, next), expected != nullptr) << location;
    if (expected) EXPECT_EQ(next.CreateUrl(), expected);
  }
  mes::CHttpUrl next;
  ASSERT_TRUE(mes::ResolveHttpLocation(current, "http://other/p", next));
  EXPECT_EQ(next.GetPortNumber(), 80);
}

TEST(HttpStatus, JudgingFollowsTheTable) {
  for (int s : {200, 201, 202, 203, 204, 205, 206, 304, 305})
    EXPECT_EQ(mes::JudgeHttpStatus(s), mes::HttpStatusJudgement::Success) << s;
  for (int s : {301, 302, 303}) EXPECT_EQ(mes::JudgeHttpStatus(s), mes::HttpStatusJudgement::Redirect) << s;
  for (int s : {-1, 0, 100, 207, 300, 307, 308, 401, 404, 407, 500, 503})
    EXPECT_EQ(mes::JudgeHttpStatus(s), mes::HttpStatusJudgement::Failure) << s;
}
