// Statements of any bytes through the workbook engine: parsing either succeeds
// or throws SqlError, and a parsed statement runs or is refused with SqlError
// before it changes anything (an XlsError would mean a check is missing).
#include "platform/TextCodec.h"
#include "spreadsheet/engine/SqlError.h"
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
  } catch (const sqlengine::SqlError&) {
    return 0;
  }
  xls::Workbook book = xls::Workbook::CreateEmpty();
  xls::Worksheet& sheet = book.AddSheet(u"S");
  sheet.SetText(0, 0, u"A");
  sheet.SetText(0, 1, u"B");
  sheet.SetText(1, 0, u"a1");
  sheet.SetNumber(2, 1, 2.5);
  try {
    if (auto* select = std::get_if<sqlengine::Select>(&statement))
      sqlengine::ExecuteSelect(book, *select);
    else
      sqlengine::ExecuteChange(book, statement);
  } catch (const sqlengine::SqlError&) {
  } catch (const xls::XlsError&) {
    std::abort();
  }
  return 0;
}
