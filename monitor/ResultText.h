// How a test item's result text is judged and how a row is numbered.
#pragma once

#include <string>

namespace monitor {

// The row's pass flag (its item data) and, for marked rows, its mark image.
enum class ResultClass { Fail = 0, Pass = 1, Neither = 2 };

// Upper-cases the single-byte letters of a GBK text in place; the two bytes
// of a Chinese character are left alone (their second byte may look like a
// lower-case letter).
void MakeUpperGbk(std::string& text);

// True when the text contains the word, never matching inside a two-byte
// character.
bool ResultContains(const std::string& text, const char* word);

// Upper-cases result in place, then: "PASS" anywhere -> Pass, otherwise
// "FAIL" anywhere -> Fail, otherwise Neither.
ResultClass ClassifyResult(std::string& result);

// Row numbers: "000", "001", ..., "999", "1000".
std::string RowNumber(int nRow);

}  // namespace monitor
