#include <gtest/gtest.h>

#include "platform/TextCodec.h"
#include "spreadsheet/DelimitedFile.h"
#include "spreadsheet/RowText.h"

using spreadsheet::BlankRowText;
using spreadsheet::BuildRowText;
using spreadsheet::SplitLines;
using spreadsheet::SplitRowText;
using V = std::vector<std::string>;

TEST(RowText, QuotesEveryValueAndJoinsWithTheSeparator) {
  EXPECT_EQ(BuildRowText({"a", "b", "c"}, ","), "\"a\",\"b\",\"c\"");
  EXPECT_EQ(BuildRowText({"1", ""}, ",;.?"), "\"1\",;.?\"\"");
  EXPECT_EQ(BuildRowText({}, ","), "");
  // Values are held unchanged, quotes and separators included.
  EXPECT_EQ(BuildRowText({"x,\"y\""}, ","), "\"x,\"y\"\"");
}

TEST(RowText, SplitsQuotedValuesKeepingSeparatorsInside) {
  EXPECT_EQ(SplitRowText("\"a\",\"b\",\"c\"", ","), (V{"a", "b", "c"}));
  EXPECT_EQ(SplitRowText("\"x,y\",\"z\"", ","), (V{"x,y", "z"}));
  EXPECT_EQ(SplitRowText("\"1\",;.?\" \",;.?\"\"", ",;.?"), (V{"1", " ", ""}));
  EXPECT_EQ(SplitRowText("\"\",\"\"", ","), (V{"", ""}));
}

TEST(RowText, SplitsUnquotedLinesAtTheBareSeparator) {
  EXPECT_EQ(SplitRowText("a,b,c", ","), (V{"a", "b", "c"}));
  EXPECT_EQ(SplitRowText("a,,", ","), (V{"a", "", ""}));
  // Stray quotes stay part of the values in this form.
  EXPECT_EQ(SplitRowText("\"a,b", ","), (V{"\"a", "b"}));
}

TEST(RowText, SingleValueLosesOnlyItsSurroundingQuotes) {
  EXPECT_EQ(SplitRowText("\"only\"", ","), (V{"only"}));
  EXPECT_EQ(SplitRowText("plain", ","), (V{"plain"}));
  EXPECT_EQ(SplitRowText("\"", ","), (V{"\""}));
  EXPECT_EQ(SplitRowText("", ","), (V{""}));
  EXPECT_EQ(SplitRowText("\"\"", ","), (V{""}));
}

TEST(RowText, QuoteSeparatorQuoteInsideAValueCutsIt) {
  EXPECT_EQ(SplitRowText(BuildRowText({"p\",\"q"}, ","), ","), (V{"p", "q"}));
}

TEST(RowText, RoundTripsValuesWithoutTheDelimiter) {
  V values{"时间", "SN", "", " ", "a;b", "\"quoted\"", "1.23"};
  std::vector<std::string> gbk;
  for (const auto& v : values) gbk.push_back(platform::Utf8ToGbk(v));
  EXPECT_EQ(SplitRowText(BuildRowText(gbk, ",;.?"), ",;.?"), gbk);
}

TEST(RowText, NeverCutsInsideATwoByteCharacter) {
  // 0x95 0x7C is one GBK character whose trail byte is '|'.
  std::string row = "\"a\x95\x7C" "b\"|\"c\"";
  EXPECT_EQ(SplitRowText(row, "|"), (V{"a\x95\x7C" "b", "c"}));
  EXPECT_EQ(SplitRowText("x\x95\x7Cy", "|"), (V{"x\x95\x7Cy"}));
}

TEST(RowText, EmptySeparatorKeepsTheWholeTextAsOneValue) {
  EXPECT_EQ(SplitRowText("\"a\"\"b\"", ""), (V{"a\"\"b"}));
}

TEST(RowText, BlankRowsDifferByKind) {
  EXPECT_EQ(BlankRowText(3, false, ","), "\"\",\"\",\"\"");
  EXPECT_EQ(BlankRowText(2, true, ",;.?"), "\" \",;.?\" \"");
  EXPECT_EQ(BlankRowText(0, true, ",;.?"), "");
}

TEST(DelimitedLines, EndWithLfOrCrLfAndLoseTheirEnds) {
  EXPECT_EQ(SplitLines("a\r\nb\nc"), (V{"a", "b", "c"}));
  EXPECT_EQ(SplitLines("a\r\n"), (V{"a"}));
  EXPECT_EQ(SplitLines("\n\n"), (V{"", ""}));
  EXPECT_EQ(SplitLines(""), V{});
  // A lone CR is part of the line.
  EXPECT_EQ(SplitLines("a\rb\n"), (V{"a\rb"}));
}
