// URL splitting, reassembly, Location resolution and endpoint escaping.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

#include "mes/HttpClient.h"
#include "mes/HttpUrl.h"

TEST(HttpUrl, SplitsEveryPartAndDefaultsThePort) {
  mes::CHttpUrl url;
  ASSERT_TRUE(url.CrackUrl("http://user:pw@Mes.Example:8080/querysn/cs_querysn.asmx?wsdl#top"));
  EXPECT_EQ(
      std::tuple(url.GetScheme(), url.GetUserName(), url.GetPassword(), url.GetHostName(), url.GetPortNumber(),
                 url.GetUrlPath(), url.GetExtraInfo()),
      std::tuple(mes::kUrlSchemeHttp, "user", "pw", "Mes.Example", 8080, "/querysn/cs_querysn.asmx", "?wsdl#top"));
  EXPECT_EQ(url.CreateUrl(), "http://user:pw@Mes.Example:8080/querysn/cs_querysn.asmx?wsdl#top");
  const std::tuple<const char*, unsigned short, const char*> cases[] = {
      {"http://mes/querysn/cs_querysn.asmx", 80, "http://mes/querysn/cs_querysn.asmx"},
      {"https://mes/", 443, "https://mes/"},
      {"HTTP://h", 80, nullptr},
      {"http://mes", 80, "http://mes"},
      {"http://[::1]:8080/x", 8080, "http://[::1]:8080/x"}};
  for (const auto& [text, port, again] : cases) {
    ASSERT_TRUE(url.CrackUrl(text)) << text;
    EXPECT_EQ(url.GetPortNumber(), port) << text;
    if (again) EXPECT_EQ(url.CreateUrl(), again);
  }
  EXPECT_EQ(url.GetHostName(), "::1");
}

TEST(HttpUrl, RefusesMalformedUrlsAndLeavesTheObjectEmpty) {
  const std::string longHost(257, 'h'), longPath = "/" + std::string(2048, 'p'), longUser(129, 'u');
  const std::string longExtra = "?" + std::string(2048, 'q');
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

TEST(HttpUrl, EscapingWritesUnsafeBytesAsLowerCaseHexUpToTheQueryWithinTheLengthLimit) {
  std::string out;
  ASSERT_TRUE(mes::EscapeUrl("http://mes/a b\"<>{}|\\^`[];,$&+=@/x\x7f\x01\xe4%20?q=a b#f g", out));
  EXPECT_EQ(out, "http://mes/a%20b%22%3c%3e%7b%7d%7c%5c%5e%60%5b%5d%3b%2c%24%26%2b%3d%40/x%7f%01%e4%20?q=a b#f g");
  const std::string fits = "http://mes/" + std::string(2082 - 11, 'a');
  ASSERT_TRUE(mes::EscapeUrl(fits, out));
  EXPECT_FALSE(mes::EscapeUrl(fits + "a", out));
  EXPECT_FALSE(mes::EscapeUrl("http://mes/" + std::string(700, ' '), out));  // grows threefold
  EXPECT_EQ(out, fits);                                                      // untouched by a refusal
}

TEST(HttpLocation, ResolvesAgainstTheCurrentUrl) {
  mes::CHttpUrl current;
  ASSERT_TRUE(current.CrackUrl("http://mes:81/querysn/cs_querysn.asmx?x=1"));
  const std::pair<std::string, const char*> cases[] = {
      {"/other.asmx", "http://mes:81/other.asmx"},
      {"other.asmx?y=2", "http://mes:81/querysn/other.asmx?y=2"},
      {"http://Other:9000/p", "http://Other:9000/p"},
      {"http://other/p", "http://other/p"},  // a complete URL without port takes the scheme's (not :81)
      {"//third/p", "http://third/p"},
      {"  /spaced  ", "http://mes:81/spaced"},
      {"", nullptr},
      {"/" + std::string(3000, 'p'), nullptr}};
  for (const auto& [location, expected] : cases) {
    mes::CHttpUrl next;
    EXPECT_EQ(mes::ResolveHttpLocation(current, location, next), expected != nullptr) << location;
    if (expected) EXPECT_EQ(next.CreateUrl(), expected);
  }
}

TEST(HttpStatus, JudgingFollowsTheTable) {
  for (int s : {200, 206, 304, 305}) EXPECT_EQ(mes::JudgeHttpStatus(s), mes::HttpStatusJudgement::Success) << s;
  for (int s : {301, 302, 303}) EXPECT_EQ(mes::JudgeHttpStatus(s), mes::HttpStatusJudgement::Redirect) << s;
  for (int s : {-1, 100, 207, 300, 307, 401, 500})
    EXPECT_EQ(mes::JudgeHttpStatus(s), mes::HttpStatusJudgement::Failure) << s;
}
