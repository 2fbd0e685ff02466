// Feeds arbitrary bytes to the workbook reader. Input that starts with the
// compound file signature is a whole .xls file; anything else is taken as the
// Workbook stream of a fresh compound file, so that mutations reach the BIFF
// records directly. Loading either succeeds or throws platform::Error. A workbook that
// loads must read in full, take a change, save, and load back with the change.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "spreadsheet/xls/CompoundFile.h"
#include "spreadsheet/xls/Workbook.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::vector<std::uint8_t> file;
  if (size >= 8 && std::memcmp(data, kSignature, 8) == 0) {
    file.assign(data, data + size);
  } else {
    xls::CompoundFile cf = xls::CompoundFile::CreateEmpty({});
    cf.SetStream(u"Workbook", std::vector<std::uint8_t>(data, data + size));
    file = cf.Serialize();
  }
  std::vector<std::uint8_t> saved, savedAgain;
  std::size_t sheets = 0;
  try {
    xls::Workbook wb = xls::Workbook::LoadFromMemory(file);
    sheets = wb.SheetCount();
    for (std::size_t s = 0; s < sheets; ++s) {
      const xls::Worksheet& ws = wb.Sheet(s);
      for (int r = 0; r < ws.RowCount(); ++r) ws.RowTexts(r);
    }
    if (sheets == 0) return 0;
    wb.Sheet(0).AppendRow({u"fuzz", u"\x6C49"});
    saved = wb.SaveToMemory();
    // A second save after a change to the last sheet: the first sheet,
    // rebuilt by the first save, is now copied as that save wrote it.
    wb.Sheet(sheets - 1).AppendRow({u"again"});
    savedAgain = wb.SaveToMemory();
  } catch (const platform::Error&) {
    return 0;
  }
  for (const auto* bytes : {&saved, &savedAgain}) {
    xls::Workbook back = xls::Workbook::LoadFromMemory(*bytes);  // must not throw
    Check(back.SheetCount() == sheets, "sheet count changed by a save");
    const xls::Worksheet& first = back.Sheet(0);
    if (bytes == &saved || sheets > 1)
      Check(first.RowCount() > 0 && first.CellText(first.RowCount() - 1, 1) == u"\x6C49", "appended row lost");
    const xls::Worksheet& last = back.Sheet(sheets - 1);
    if (bytes == &savedAgain)
      Check(last.RowCount() > 0 && last.CellText(last.RowCount() - 1, 0) == u"again", "second row lost");
  }
  return 0;
}
