#include "monitor/ListContentsArchive.h"

#include <cstdio>
#include <exception>

#include "monitor/CheckArchive.h"
#include "platform/File.h"
#include "platform/MessageBox.h"
#include "platform/TextCodec.h"

namespace {

// Column header texts are taken through a 260-byte buffer: at most 259 bytes,
// never ending in the first half of a two-byte character.
std::string CutHeaderText(const std::string& text) {
  constexpr std::size_t kMax = 259;
  if (text.size() <= kMax) return text;
  std::size_t cut = kMax;
  if (!platform::GbkIsCharStart(text, cut)) --cut;
  return text.substr(0, cut);
}

void Store(ListContentsAccess& list, platform::CFile& file) {
  CCheckArchive ar(&file, platform::CArchive::store);
  ar << std::string(kListArchiveHeader);
  const int sumOffset = ar.GetBufferOffset();
  ar << uint32_t{0};

  int columns = 0;
  int format = 0, width = 0;
  std::string text;
  while (list.GetColumn(columns, &format, &width, &text)) {
    ar << static_cast<uint32_t>(format) << static_cast<uint32_t>(width) << CutHeaderText(text);
    ++columns;
  }
  const int rows = list.GetRowCount();
  ar << static_cast<uint32_t>(-1) << static_cast<uint32_t>(rows);
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) ar << list.GetCellText(row, column);
    ar << list.GetRowData(row);
  }
  ar.Flush();

  // The sum goes in raw, past the archive, so that it does not count itself.
  const uint32_t sum = ar.GetCheckSum();
  const unsigned char bytes[4] = {static_cast<unsigned char>(sum), static_cast<unsigned char>(sum >> 8),
                                  static_cast<unsigned char>(sum >> 16), static_cast<unsigned char>(sum >> 24)};
  file.Seek(static_cast<uint64_t>(sumOffset));
  file.Write(bytes, 4);
  ar.Close();
}

void Load(ListContentsAccess& list, platform::CFile& file) {
  CCheckArchive ar(&file, platform::CArchive::load);
  std::string header;
  ar >> header;
  if (header != kListArchiveHeader) return;
  uint32_t stored = 0;
  ar >> stored;
  if (!ar.VerifyCheckSum(stored)) return;

  char message[16];
  std::snprintf(message, sizeof message, "%i", static_cast<int32_t>(stored));
  platform::MessageBox(message, platform::MB_OK);

  int columns = 0;
  for (;;) {
    uint32_t format = 0;
    ar >> format;
    if (static_cast<int32_t>(format) < 0) break;
    uint32_t width = 0;
    std::string text;
    ar >> width >> text;
    list.InsertColumn(columns, static_cast<int32_t>(format), static_cast<int32_t>(width), text);
    ++columns;
  }
  uint32_t rows = 0;
  ar >> rows;
  for (uint32_t row = 0; row < rows; ++row) {
    const int r = static_cast<int>(row);
    list.InsertRow(r);
    for (int column = 0; column < columns; ++column) {
      std::string text;
      ar >> text;
      list.SetCellText(r, column, text);
    }
    uint32_t data = 0;
    ar >> data;
    list.SetRowData(r, data);
  }
  ar.Close();
}

}  // namespace

bool StoreListContents(ListContentsAccess& list, const std::string& path, bool store) {
  platform::CFile file;
  if (!file.Open(path, store ? platform::CFile::modeCreate : platform::CFile::modeRead)) return true;
  try {
    if (store) {
      Store(list, file);
    } else {
      Load(list, file);
    }
    file.Close();
    return true;
  } catch (const std::exception&) {
    // A short file, a read past the end or a failed write: the list keeps
    // what was inserted, a half-written file stays as far as it got.
    return false;
  }
}
