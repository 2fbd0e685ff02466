// Feeds arbitrary bytes to CSpreadSheet as a delimited file: the first byte
// picks the separator, the rest is the file. Loading, every read, a change in
// a transaction and a commit must neither crash nor lose a row, and what is
// committed must load back as the same rows.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "spreadsheet/DelimitedFile.h"
#include "spreadsheet/SpreadSheet.h"

namespace {

const char* const kSeparators[] = {",", ";", "\t", ",;.?", "|", "\"", "", "ab"};

// In memory where there is a tmpfs: the commits flush to the disk otherwise.
struct ScratchFile {
  std::string path = std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/fuzz_delimited_" +
                     std::to_string(::getpid()) + ".csv";
  ~ScratchFile() { ::unlink(path.c_str()); }
};

const std::string& ScratchPath() {
  static const ScratchFile file;
  return file.path;
}

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string separator = kSeparators[data[0] % (sizeof kSeparators / sizeof *kSeparators)];
  std::string content(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string& path = ScratchPath();
  {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
  }
  std::vector<std::string> lines = spreadsheet::SplitLines(content);

  std::vector<std::vector<std::string>> rows;
  {
    CSpreadSheet sheet(path, separator, false);
    Check(sheet.GetTotalRows() == static_cast<int32_t>(lines.size()), "row count");
    Check(sheet.GetTotalColumns() >= 0, "column count");
    Check(sheet.IsExisting() == (sheet.GetTotalColumns() != 0), "existing flag");

    std::vector<std::string> values;
    while (sheet.ReadRow(values)) rows.push_back(values);
    Check(rows.size() == lines.size(), "walking the rows");
    Check(!sheet.ReadRow(values, sheet.GetTotalRows() + 1), "row beyond the end");

    int16_t columns = sheet.GetTotalColumns();
    for (int16_t c = 1; c <= columns && c <= 3; ++c) {
      Check(sheet.ReadColumn(values, c), "column read");
      Check(values.size() == lines.size(), "column length");
    }
    std::string cell;
    sheet.ReadCell(cell, "A", 1, true);
    sheet.ReadCell(cell, content.substr(0, 8), 0, false);

    // Committing unchanged rows writes them back exactly.
    Check(sheet.Commit(), "commit");
  }
  {
    CSpreadSheet again(path, separator, false);
    std::vector<std::string> values;
    std::size_t n = 0;
    while (again.ReadRow(values)) {
      Check(n < rows.size() && values == rows[n], "rows survive a commit");
      ++n;
    }
    Check(n == rows.size(), "row count after a commit");

    again.BeginTransaction();
    again.AddRow(rows.empty() ? std::vector<std::string>{"x"} : rows.front(), 0, false);
    again.AddCell("cell", 2, 2);
    again.AddHeaders({"h"}, false);
    Check(again.GetTotalRows() >= static_cast<int32_t>(lines.size()), "rows only grow");
    Check(again.RollBack(), "roll back");
    Check(again.GetTotalRows() == static_cast<int32_t>(lines.size()), "roll back restores the rows");
  }
  return 0;
}
