// Row texts, as the accessor holds a sheet's rows: building and splitting.
#include <gtest/gtest.h>

#include "platform/TextCodec.h"
#include "spreadsheet/RowText.h"

using spreadsheet::BuildRowText;
using spreadsheet::SplitRowText;
using V = std::vector<std::string>;

TEST(RowText, SplittingRules) {
  const struct {
    std::string text, separator;
    V values;
  } cases[] = {
      // Quoted values keep separators inside.
      {"\"a\",\"b\",\"c\"", ",", {"a", "b", "c"}},
      {"\"x,y\",\"z\"", ",", {"x,y", "z"}},
      {"\"1\",;.?\" \",;.?\"\"", ",;.?", {"1", " ", ""}},
      // Unquoted lines split at the bare separator; stray quotes stay in the values.
      {"a,b,c", ",", {"a", "b", "c"}},
      {"a,,", ",", {"a", "", ""}},
      {"\"a,b", ",", {"\"a", "b"}},
      // A single value loses only its surrounding quotes.
      {"\"only\"", ",", {"only"}},
      {"\"", ",", {"\""}},
      {"", ",", {""}},
      // Never inside a two-byte character: 0x95 0x7C is one GBK character whose trail byte is '|'.
      {"\"a\x95\x7C"
       "b\"|\"c\"",
       "|",
       {"a\x95\x7C"
        "b",
        "c"}},
      {"x\x95\x7Cy", "|", {"x\x95\x7Cy"}},
      // An empty separator keeps the whole text as one value.
      {"\"a\"\"b\"", "", {"a\"\"b"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitRowText(c.text, c.separator), c.values) << c.text;
}

// Building is checked by what splitting gives back here and by the files the
// accessor writes.
TEST(RowText, RoundTripsValuesWithoutTheDelimiter) {
  std::vector<std::string> gbk;
  for (const char* v : {"时间", "SN", "", " ", "a;b", "\"quoted\"", "1.23"}) gbk.push_back(platform::Utf8ToGbk(v));
  EXPECT_EQ(SplitRowText(BuildRowText(gbk, ",;.?"), ",;.?"), gbk);
}
