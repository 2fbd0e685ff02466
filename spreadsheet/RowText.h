// The in-memory form of one spreadsheet row: every value between double quotes,
// the quoted values joined by a separator. Both the workbook and the delimited
// kind of CSpreadSheet hold their rows this way.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace spreadsheet {

// "v1"<sep>"v2"<sep>... ; values are taken as they are, without escaping.
std::string BuildRowText(const std::vector<std::string>& values, std::string_view separator);

// Splits a row text back into values:
//  - when it holds quote+separator+quote, cut there and strip the opening quote
//    of the first piece and the closing quote of the last;
//  - else when it holds the bare separator, cut there and keep the pieces as
//    they are (lines written by other programs without quotes);
//  - else the whole text is one value, without its surrounding quotes.
// An empty separator cannot cut anything: the whole text is then one value.
// Searches never start on the trail byte of a two-byte GBK character.
std::vector<std::string> SplitRowText(std::string_view rowText, std::string_view separator);

// A row of made-up blank cells: "" per cell in a delimited file, " " (a single
// space between the quotes) per cell in a workbook.
std::string BlankRowText(int columns, bool workbook, std::string_view separator);

}  // namespace spreadsheet
