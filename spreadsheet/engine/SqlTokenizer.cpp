#include "spreadsheet/engine/SqlToken.h"

#include "platform/TextCodec.h"
#include "platform/Error.h"

namespace sqlengine {
namespace {

bool IsSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f' || c == u'\v' || c == 0x3000;
}

bool IsWordStart(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_' || c >= 0x80;
}

bool IsWordChar(char16_t c) {
  return IsWordStart(c) || (c >= u'0' && c <= u'9') || c == u'$';
}

std::string At(std::size_t position) {
  return " at position " + std::to_string(position);
}

}  // namespace

std::vector<Token> Tokenize(const std::u16string& s) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  const std::size_t n = s.size();
  while (i < n) {
    char16_t c = s[i];
    if (IsSpace(c)) {
      ++i;
      continue;
    }
    Token t;
    t.position = i + 1;
    if (c == u'[') {
      t.kind = TokenKind::Name;
      ++i;
      for (;;) {
        if (i >= n) throw platform::Error("Unterminated bracketed name" + At(t.position) + ": missing ']'");
        if (s[i] == u']') {
          if (i + 1 < n && s[i + 1] == u']') {
            t.text += u']';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        t.text += s[i++];
      }
    } else if (c == u'\'') {
      t.kind = TokenKind::String;
      ++i;
      for (;;) {
        if (i >= n) throw platform::Error("Unterminated text literal" + At(t.position) + ": missing closing quote");
        if (s[i] == u'\'') {
          if (i + 1 < n && s[i + 1] == u'\'') {
            t.text += u'\'';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        t.text += s[i++];
      }
    } else if (c >= u'0' && c <= u'9') {
      t.kind = TokenKind::Number;
      while (i < n && s[i] >= u'0' && s[i] <= u'9') t.text += s[i++];
      if (i < n && IsWordChar(s[i])) throw platform::Error("Malformed number" + At(t.position));
    } else if (IsWordStart(c)) {
      t.kind = TokenKind::Word;
      while (i < n && IsWordChar(s[i])) t.text += s[i++];
    } else if (c == u'(' || c == u')' || c == u',' || c == u'=' || c == u'*' || c == u';') {
      t.kind = TokenKind::Symbol;
      t.text = c;
      ++i;
    } else {
      throw platform::Error("Unexpected character '" + platform::Utf16ToGbk(std::u16string(1, c)) + "'" +
                            At(t.position));
    }
    tokens.push_back(std::move(t));
  }
  Token end;
  end.kind = TokenKind::End;
  end.position = n + 1;
  tokens.push_back(end);
  return tokens;
}

std::string Describe(const Token& token) {
  std::string text = platform::Utf16ToGbk(token.text);
  switch (token.kind) {
    case TokenKind::End:
      return "end of statement";
    case TokenKind::Name:
      return "[" + text + "]";
    case TokenKind::String:
      return "'" + text + "'";
    default:
      return "\"" + text + "\"";
  }
}

}  // namespace sqlengine
