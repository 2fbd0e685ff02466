// Lexical pieces of one statement, read from its UTF-16 text.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace sqlengine {

enum class TokenKind {
  Word,    // bare name or keyword: letters, digits, '_' and '$'
  Name,    // [bracketed name], "]]" inside standing for ']'
  String,  // 'literal', "''" inside standing for '\''
  Number,  // digits, as in char(255)
  Symbol,  // one of ( ) , = * ;
  End,
};

struct Token {
  TokenKind kind = TokenKind::End;
  std::u16string text;       // without brackets or quotes, doubled characters undone
  std::size_t position = 0;  // 1-based character position in the statement
};

// Throws platform::Error for a character that starts no token, or an unterminated
// name or literal. The last token is always End.
std::vector<Token> Tokenize(const std::u16string& statement);

// The token as the user wrote it, as GBK text for messages.
std::string Describe(const Token& token);

}  // namespace sqlengine
