// Statement parsing: the forms the spreadsheet accessor issues, and clear
// errors for everything else.
#include "platform/Error.h"
#include "spreadsheet/engine/SqlStatement.h"

#include <gtest/gtest.h>

using namespace sqlengine;

namespace {

template <typename T>
T ParseAs(const std::u16string& text) {
  Statement s = ParseStatement(text);
  EXPECT_TRUE(std::holds_alternative<T>(s)) << "wrong statement kind";
  return std::get<T>(s);
}

std::string ErrorOf(const std::u16string& text) {
  try {
    ParseStatement(text);
  } catch (const platform::Error& e) {
    return e.what();
  }
  return "(no error)";
}

}  // namespace

// What the statements mean is checked where they run; here the syntax the
// executor's tests do not reach.
TEST(SqlParser, KeywordsNamesRangesAndLiterals) {
  auto c = ParseAs<CreateTable>(u"create table [型号 1$A1:IV65536] ([时间] CHAR(255), [SN] text)");
  EXPECT_EQ(c.table.sheet, u"型号 1");
  EXPECT_TRUE(c.table.wholeSheet);
  EXPECT_EQ(c.columns, (std::vector<std::u16string>{u"时间", u"SN"}));

  auto i = ParseAs<Insert>(u"INSERT INTO [S$A1:IV3] ([it's], [a]]b]) VALUES ('O''Brien''s ''', '')");
  EXPECT_FALSE(i.table.wholeSheet);
  EXPECT_EQ(i.table.range.lastRow, 2);
  EXPECT_EQ(i.table.range.lastColumn, 255);
  EXPECT_EQ(i.columns, (std::vector<std::u16string>{u"it's", u"a]b"}));
  EXPECT_EQ(i.values, (std::vector<std::u16string>{u"O'Brien's '", u""}));

  auto b = ParseAs<Select>(u"SELECT * FROM [B2$b2:c5];");
  EXPECT_EQ(b.table.sheet, u"B2");
  EXPECT_EQ(std::tuple(b.table.range.firstRow, b.table.range.firstColumn, b.table.range.lastRow, b.table.range.lastColumn),
            std::tuple(1, 1, 4, 2));
  // '$' without a range after it belongs to the sheet's name.
  EXPECT_EQ(ParseAs<Select>(u"SELECT * FROM [Cost$Q1]").table.sheet, u"Cost$Q1");

  auto u = ParseAs<Update>(u"UPDATE Sheet1 SET [A]='1', B = '2' WHERE ([A]='0' AND [B]='x' )");
  EXPECT_EQ(u.table.sheet, u"Sheet1");
  ASSERT_EQ(u.assignments.size(), 2u);
  EXPECT_EQ(u.assignments[1].column, u"B");
  ASSERT_EQ(u.conditions.size(), 2u);
  EXPECT_EQ(u.conditions[1].value, u"x");
}

TEST(SqlParser, MalformedStatementsNameWhatWasNotUnderstood) {
  struct Case {
    std::u16string sql;
    std::string expected;  // part of the message
  } cases[] = {
      {u"", "Empty statement"},
      {u"CREATE TABLE [S] ([A] char(255)", "expected ')' at position"},
      {u"INSERT INTO [S] ([A]) VALUES ('1', '2')", "names 1 columns but gives 2 values"},
      {u"INSERT INTO [S] ([A]) VALUES ('unterminated)", "Unterminated text literal at position 31"},
      {u"SELECT * FROM [S] WHERE [A]='1'", "expected end of statement at position 19, found \"WHERE\""},
      {u"SELECT * FROM [S$A1:IW5]", "lies outside the worksheet"},
      {u"SELECT * FROM [S$A1:]", "Malformed cell range 'A1:'"},
  };
  for (const auto& c : cases) {
    std::string message = ErrorOf(c.sql);
    EXPECT_NE(message.find(c.expected), std::string::npos) << "statement #" << (&c - cases) << " gave: " << message;
  }
}
