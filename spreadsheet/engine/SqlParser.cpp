#include "spreadsheet/engine/SqlStatement.h"

#include "platform/TextCodec.h"
#include "platform/Error.h"
#include "spreadsheet/engine/SqlToken.h"

#include <algorithm>

namespace sqlengine {
namespace {

bool EqualsKeyword(const std::u16string& word, const char* keyword) {
  std::size_t i = 0;
  for (; keyword[i] != '\0'; ++i) {
    if (i >= word.size()) return false;
    char16_t c = word[i];
    if (c >= u'a' && c <= u'z') c = char16_t(c - u'a' + u'A');
    if (c != char16_t(keyword[i])) return false;
  }
  return i == word.size();
}

class Parser {
 public:
  explicit Parser(const std::u16string& text) : m_tokens(Tokenize(text)) {}

  Statement Parse() {
    const Token& first = Peek();
    Statement statement;
    if (IsKeyword(first, "CREATE"))
      statement = ParseCreate();
    else if (IsKeyword(first, "DROP"))
      statement = ParseDrop();
    else if (IsKeyword(first, "INSERT"))
      statement = ParseInsert();
    else if (IsKeyword(first, "UPDATE"))
      statement = ParseUpdate();
    else if (IsKeyword(first, "SELECT"))
      statement = ParseSelect();
    else if (first.kind == TokenKind::End)
      throw platform::Error("Empty statement");
    else
      throw platform::Error("Unsupported statement " + Describe(first) +
                            ": only CREATE TABLE, DROP TABLE, INSERT INTO, UPDATE and SELECT are understood");
    if (IsSymbol(Peek(), u';')) Next();
    if (Peek().kind != TokenKind::End) Fail("end of statement");
    return statement;
  }

 private:
  const Token& Peek() const { return m_tokens[m_pos]; }
  const Token& Next() {
    const Token& t = m_tokens[m_pos];
    if (t.kind != TokenKind::End) ++m_pos;
    return t;
  }

  static bool IsKeyword(const Token& t, const char* keyword) {
    return t.kind == TokenKind::Word && EqualsKeyword(t.text, keyword);
  }
  static bool IsSymbol(const Token& t, char16_t symbol) {
    return t.kind == TokenKind::Symbol && t.text.size() == 1 && t.text[0] == symbol;
  }

  [[noreturn]] void Fail(const std::string& expected) const {
    const Token& t = Peek();
    throw platform::Error("Syntax error: expected " + expected + " at position " + std::to_string(t.position) +
                          ", found " + Describe(t));
  }

  void ExpectKeyword(const char* keyword) {
    if (!IsKeyword(Peek(), keyword)) Fail(std::string(keyword));
    Next();
  }
  void ExpectSymbol(char16_t symbol) {
    if (!IsSymbol(Peek(), symbol)) Fail("'" + std::string(1, char(symbol)) + "'");
    Next();
  }

  std::u16string ExpectName(const char* what) {
    const Token& t = Peek();
    if (t.kind != TokenKind::Name && t.kind != TokenKind::Word) Fail(what);
    return Next().text;
  }

  std::u16string ExpectString() {
    if (Peek().kind != TokenKind::String) Fail("a quoted text value such as 'abc'");
    return Next().text;
  }

  TableRef ExpectTable() { return ParseTableRef(ExpectName("a table name such as [Sheet1$A1:IV65536]")); }

  // name [= 'value'] pairs separated by `separator` ("," or "AND"),
  // optionally wrapped in parentheses.
  ColumnValue ExpectColumnValue() {
    ColumnValue cv;
    cv.column = ExpectName("a column name");
    ExpectSymbol(u'=');
    cv.value = ExpectString();
    return cv;
  }

  void ParseConditions(std::vector<ColumnValue>& out) {
    ParseConditionTerm(out);
    while (IsKeyword(Peek(), "AND")) {
      Next();
      ParseConditionTerm(out);
    }
  }
  void ParseConditionTerm(std::vector<ColumnValue>& out) {
    if (IsSymbol(Peek(), u'(')) {
      Next();
      ParseConditions(out);
      ExpectSymbol(u')');
      return;
    }
    if (IsKeyword(Peek(), "OR") || IsKeyword(Peek(), "NOT"))
      Fail("a condition of the form [column]='value' (only AND is understood)");
    out.push_back(ExpectColumnValue());
  }

  Statement ParseCreate() {
    Next();
    ExpectKeyword("TABLE");
    CreateTable create;
    create.table = ExpectTable();
    ExpectSymbol(u'(');
    for (;;) {
      create.columns.push_back(ExpectName("a column name"));
      ParseColumnType();
      if (IsSymbol(Peek(), u',')) {
        Next();
        continue;
      }
      ExpectSymbol(u')');
      break;
    }
    return create;
  }

  // Worksheet cells hold text of any length, so every text type is accepted;
  // a declared length does not cut values.
  void ParseColumnType() {
    const Token& t = Peek();
    static const char* const kTextTypes[] = {"CHAR", "VARCHAR", "TEXT", "NCHAR", "NVARCHAR", "LONGTEXT", "MEMO"};
    bool known =
        t.kind == TokenKind::Word && std::any_of(std::begin(kTextTypes), std::end(kTextTypes),
                                                 [&](const char* type) { return EqualsKeyword(t.text, type); });
    if (!known) {
      if (t.kind == TokenKind::Word)
        throw platform::Error("Unsupported column type " + Describe(t) + " at position " + std::to_string(t.position) +
                              ": only text columns (CHAR, VARCHAR, TEXT) are understood");
      Fail("a column type such as char(255)");
    }
    Next();
    if (IsSymbol(Peek(), u'(')) {
      Next();
      const Token& size = Peek();
      bool valid = size.kind == TokenKind::Number && size.text.size() <= 5 &&
                   size.text.find_first_not_of(u'0') != std::u16string::npos;
      if (!valid) Fail("a column length such as 255");
      Next();
      ExpectSymbol(u')');
    }
  }

  Statement ParseDrop() {
    Next();
    ExpectKeyword("TABLE");
    return DropTable{ExpectTable()};
  }

  Statement ParseInsert() {
    Next();
    ExpectKeyword("INTO");
    Insert insert;
    insert.table = ExpectTable();
    if (IsSymbol(Peek(), u'(')) {
      insert.hasColumnList = true;
      Next();
      for (;;) {
        insert.columns.push_back(ExpectName("a column name"));
        if (IsSymbol(Peek(), u',')) {
          Next();
          continue;
        }
        ExpectSymbol(u')');
        break;
      }
    }
    ExpectKeyword("VALUES");
    ExpectSymbol(u'(');
    for (;;) {
      insert.values.push_back(ExpectString());
      if (IsSymbol(Peek(), u',')) {
        Next();
        continue;
      }
      ExpectSymbol(u')');
      break;
    }
    if (insert.hasColumnList && insert.columns.size() != insert.values.size())
      throw platform::Error("INSERT names " + std::to_string(insert.columns.size()) + " columns but gives " +
                            std::to_string(insert.values.size()) + " values");
    return insert;
  }

  Statement ParseUpdate() {
    Next();
    Update update;
    update.table = ExpectTable();
    ExpectKeyword("SET");
    update.assignments.push_back(ExpectColumnValue());
    while (IsSymbol(Peek(), u',')) {
      Next();
      update.assignments.push_back(ExpectColumnValue());
    }
    if (IsKeyword(Peek(), "WHERE")) {
      Next();
      ParseConditions(update.conditions);
    }
    return update;
  }

  Statement ParseSelect() {
    Next();
    ExpectSymbol(u'*');
    ExpectKeyword("FROM");
    return Select{ExpectTable()};
  }

  std::vector<Token> m_tokens;
  std::size_t m_pos = 0;
};

}  // namespace

Statement ParseStatement(const std::u16string& text) {
  return Parser(text).Parse();
}

}  // namespace sqlengine
