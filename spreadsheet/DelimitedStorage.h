// A sheet kept as a delimited text file: one line per row, the file read whole
// at load and written whole at commit.
#pragma once

#include <string>

#include "spreadsheet/SheetStorage.h"

namespace spreadsheet {

class DelimitedStorage : public SheetStorage {
 public:
  DelimitedStorage(SheetContents& sheet, std::string& lastError, const std::string& file);

  bool Load() override;
  bool Commit() override;
  // The copy is the file with ".bak" appended.
  bool WriteBackup() override;
  // A file holds one sheet: any name removes it.
  bool DeleteOwnSheet(bool inTransaction) override;
  bool DeleteSheet(const std::string& sheetName, bool inTransaction) override;
  // Not available for a delimited file.
  bool ReplaceRows(const std::vector<std::string>& newValues, const std::vector<std::string>& oldValues) override;

  bool ColumnsNamedByHeader() const override { return false; }
  int32_t MaxRows() const override;
  const char* BlankCell() const override { return ""; }
  const char* OtherKindExtension() const override { return ".xls"; }

 private:
  std::string m_strFile;  // GBK
};

}  // namespace spreadsheet
