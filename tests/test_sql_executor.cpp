// Statements run on a workbook in memory: the worksheet-as-table meaning of
// each form, the limits, and refusals that change nothing.
#include "platform/Error.h"
#include "spreadsheet/engine/SqlExecutor.h"
#include "spreadsheet/xls/Workbook.h"

#include <gtest/gtest.h>

using namespace sqlengine;

namespace {

class SqlExecutorTest : public ::testing::Test {
 protected:
  xls::Workbook m_book = xls::Workbook::CreateEmpty();

  int Run(const std::u16string& sql) { return ExecuteChange(m_book, ParseStatement(sql)); }

  ResultTable Select(const std::u16string& sql) {
    return ExecuteSelect(m_book, std::get<sqlengine::Select>(ParseStatement(sql)));
  }

  std::string ErrorOf(const std::u16string& sql) {
    try {
      Statement s = ParseStatement(sql);
      if (auto* select = std::get_if<sqlengine::Select>(&s))
        ExecuteSelect(m_book, *select);
      else
        ExecuteChange(m_book, s);
    } catch (const platform::Error& e) {
      return e.what();
    }
    return "(no error)";
  }

  xls::Worksheet& Sheet(const std::u16string& name) {
    xls::Worksheet* sheet = m_book.FindSheet(name);
    EXPECT_NE(sheet, nullptr);
    return *sheet;
  }

  // The accessor's table with a header and `rows` rows of two values.
  void MakeTable(int rows) {
    Run(u"CREATE TABLE [S] ([A] char(255), [B] char(255))");
    for (int i = 1; i <= rows; ++i) {
      std::u16string n(1, char16_t(u'0' + i));
      Run(u"INSERT INTO [S$A1:IV" + n + u"] ([A], [B]) VALUES ('a" + n + u"', 'b" + n + u"')");
    }
  }
};

using Rows = std::vector<std::vector<std::u16string>>;

}  // namespace

TEST_F(SqlExecutorTest, InsertAppendsAfterTheLastUsedRowWhateverTheRangeSays) {
  MakeTable(2);
  // The accessor names ever-growing ranges; a repeated one must not overwrite.
  Run(u"INSERT INTO [S$A1:IV1] ([B], [A]) VALUES ('it''s', '')");
  ResultTable t = Select(u"SELECT * FROM [S$A1:IV65536]");
  EXPECT_EQ(t.columns, (std::vector<std::u16string>{u"A", u"B"}));
  EXPECT_EQ(t.rows, (Rows{{u"a1", u"b1"}, {u"a2", u"b2"}, {u"", u"it's"}}));

  // A row of empty values still takes its place.
  Run(u"INSERT INTO [S] VALUES ('', '')");
  Run(u"INSERT INTO [S] ([A]) VALUES ('last')");
  EXPECT_EQ(Select(u"SELECT * FROM [S]").rows.back(), (std::vector<std::u16string>{u"last", u""}));
}

TEST_F(SqlExecutorTest, DropEmptiesTheSheetAndCreateRefillsIt) {
  MakeTable(3);
  EXPECT_NE(ErrorOf(u"CREATE TABLE [S] ([A] char(255))").find("Table 'S' already exists"), std::string::npos);

  Run(u"DROP TABLE [S$A1:IV65536]");
  ASSERT_NE(m_book.FindSheet(u"S"), nullptr) << "DROP keeps the worksheet";
  EXPECT_EQ(Sheet(u"S").RowCount(), 0);

  Run(u"CREATE TABLE [S$A1:IV65536] ([A] char(255), [B] char(255), [C] char(255))");
  Run(u"INSERT INTO [S$A1:IV1] ([A], [B], [C]) VALUES ('1', '2', '3')");
  EXPECT_EQ(Select(u"SELECT * FROM [S$A1:IV65536]").rows, (Rows{{u"1", u"2", u"3"}}));
  EXPECT_EQ(m_book.SheetCount(), 1u);
}

TEST_F(SqlExecutorTest, UpdateChangesEveryMatchingRowOnly) {
  MakeTable(3);
  Run(u"INSERT INTO [S] ([A], [B]) VALUES ('a1', 'b1')");
  EXPECT_EQ(Run(u"UPDATE [S] SET [A]='z', [B]='y''s' WHERE ([A]='a1' AND [B]='b1' )"), 2);
  EXPECT_EQ(Run(u"UPDATE [S] SET [A]='never' WHERE ([A]='A1')"), 0) << "comparison is exact";
  EXPECT_EQ(Select(u"SELECT * FROM [S]").rows, (Rows{{u"z", u"y's"}, {u"a2", u"b2"}, {u"a3", u"b3"}, {u"z", u"y's"}}));
  EXPECT_EQ(Run(u"UPDATE [S] SET [B]='all'"), 4);
  EXPECT_EQ(Run(u"UPDATE [S] SET [B]='x' WHERE [B]='B'"), 0) << "the header row is never matched";
}

TEST_F(SqlExecutorTest, ReadsNumbersBooleansAndEmptyNamesAsText) {
  xls::Worksheet& sheet = m_book.AddSheet(u"N");
  sheet.SetText(0, 0, u"Item");
  sheet.SetText(0, 2, u"Price");  // column B has no name
  sheet.SetNumber(1, 0, 3);
  sheet.SetNumber(1, 1, 0.1);
  sheet.SetNumber(1, 2, 1e20);
  sheet.SetNumber(2, 2, -2.5);
  sheet.SetNumber(3, 1, 0.30000000000000004);
  ResultTable t = Select(u"SELECT * FROM [N$A1:IV65536]");
  EXPECT_EQ(t.columns, (std::vector<std::u16string>{u"Item", u"F2", u"Price"}));
  EXPECT_EQ(t.rows, (Rows{{u"3", u"0.1", u"1e+20"}, {u"", u"", u"-2.5"}, {u"", u"0.30000000000000004", u""}}));
  // The positional name addresses the unnamed column.
  Run(u"UPDATE [N] SET [F2]='named' WHERE [Item]='3'");
  EXPECT_EQ(sheet.CellText(1, 1), u"named");
}

TEST_F(SqlExecutorTest, RefusedStatementsNameTheProblemAndChangeNothing) {
  MakeTable(1);
  struct Case {
    std::u16string sql;
    std::string expected;
  } cases[] = {
      {u"INSERT INTO [Missing] ([A]) VALUES ('1')", "Table 'Missing' does not exist"},
      {u"INSERT INTO [S] ([A], [Q]) VALUES ('1', '2')", "Unknown column [Q] in table 'S'"},
      {u"INSERT INTO [S] ([A], [a]) VALUES ('1', '2')", "named twice"},
      {u"INSERT INTO [S] VALUES ('1', '2', '3')", "gives 3 values, but the table has 2 columns"},
      {u"CREATE TABLE [T] ([A] char(255), [A] char(255))", "defined twice"},
      {u"CREATE TABLE [Sheet:1] ([A] char(255))", "Invalid sheet name 'Sheet:1'"},
  };
  for (const auto& c : cases) {
    std::string message = ErrorOf(c.sql);
    EXPECT_NE(message.find(c.expected), std::string::npos) << "case #" << (&c - cases) << " gave: " << message;
  }
  EXPECT_EQ(m_book.SheetCount(), 1u);
  EXPECT_EQ(Select(u"SELECT * FROM [S]").rows, (Rows{{u"a1", u"b1"}}));
  m_book.AddSheet(u"Blank");  // a sheet another program left without a header
  EXPECT_NE(ErrorOf(u"INSERT INTO [Blank] ([A]) VALUES ('1')").find("has no column names"), std::string::npos);
}

TEST_F(SqlExecutorTest, WorksheetLimitsAreClearErrors) {
  MakeTable(0);
  Sheet(u"S").SetText(65535, 0, u"at the bottom");
  EXPECT_NE(ErrorOf(u"INSERT INTO [S] ([A]) VALUES ('1')").find("is full: a worksheet holds at most 65,536 rows"),
            std::string::npos);

  std::u16string huge(40000, u'x');
  EXPECT_NE(ErrorOf(u"INSERT INTO [S$A1:IV2] ([A]) VALUES ('" + huge + u"')").find("too long"), std::string::npos);
  EXPECT_EQ(Sheet(u"S").CellText(65535, 0), u"at the bottom");
}
