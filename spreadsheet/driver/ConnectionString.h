// The settings of a database connection string: KEY=value pairs separated by
// ';', keys case-insensitive, values bare, {braced}, "quoted" or 'quoted'.
#pragma once

#include <string>

namespace spreadsheet {

struct ConnectionSettings {
  std::string driver;            // DRIVER, without its braces
  std::string dsn;               // DSN
  std::string path;              // DBQ, or CREATE_DB when DBQ is missing (GBK)
  bool createIfMissing = false;  // CREATE_DB given
  bool readOnly = true;          // READONLY; the workbook driver's default is read-only
  bool firstRowHasNames = true;  // FIRSTROWHASNAMES
};

// Throws CDBException naming what is malformed. Unknown keys are ignored, as
// ODBC drivers do; a key given twice is an error.
ConnectionSettings ParseConnectionString(const std::string& gbk);

}  // namespace spreadsheet
