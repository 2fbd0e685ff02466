// Statements of any bytes through the workbook engine: parsing either succeeds
// or throws platform::Error, and a parsed statement runs or is refused before
// it changes anything (a failure after the first change means a check is missing).
#include "platform/TextCodec.h"
#include "platform/Error.h"
#include "spreadsheet/engine/SqlExecutor.h"
#include "spreadsheet/xls/Workbook.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string text = platform::GbkToUtf16(std::string(reinterpret_cast<const char*>(data), size));
  sqlengine::Statement statement;
  try {
    statement = sqlengine::ParseStatement(text);
  } catch (const platform::Error&) {
    return 0;
  }
  xls::Workbook book = xls::Workbook::CreateEmpty();
  xls::Worksheet& sheet = book.AddSheet(u"S");
  sheet.SetText(0, 0, u"A");
  sheet.SetText(0, 1, u"B");
  sheet.SetText(1, 0, u"a1");
  sheet.SetNumber(2, 1, 2.5);
  bool changing = false;
  try {
    if (auto* select = std::get_if<sqlengine::Select>(&statement))
      sqlengine::ExecuteSelect(book, *select);
    else
      sqlengine::ExecuteChange(book, statement, &changing);
  } catch (const platform::Error&) {
    if (changing) std::abort();
  }
  return 0;
}
