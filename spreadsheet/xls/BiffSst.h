#pragma once

// The shared-string table (SST) of a workbook and its lookup index (EXTSST).

#include <cstdint>
#include <string>
#include <vector>

#include "spreadsheet/xls/BiffRecord.h"

namespace xls {

struct SstString {
  std::u16string text;
  std::vector<std::uint8_t> runs;      // rich-text formatting runs, kept as read
  std::vector<std::uint8_t> phonetic;  // phonetic (ExtRst) data, kept as read
};

// Reads every string of an SST record group. Throws platform::Error when the table is
// damaged (a count larger than the data, a string running past the last CONTINUE).
std::vector<SstString> ParseSst(const RecordGroup& group);

struct SerializedSst {
  std::vector<std::uint8_t> bytes;  // SST and CONTINUE records, headers included
  // Per EXTSST bucket: the position of its first string within `bytes`, and that
  // string's offset inside the record that holds it.
  std::vector<std::pair<std::uint32_t, std::uint16_t>> buckets;
  std::uint16_t stringsPerBucket = 8;
};

SerializedSst SerializeSst(const std::vector<SstString>& strings, std::uint32_t totalReferences);
// The EXTSST record for an SST written at stream position `sstOffset`.
std::vector<std::uint8_t> SerializeExtSst(const SerializedSst& sst, std::uint32_t sstOffset);
// Size of that record, known before the position is.
std::size_t ExtSstSize(const SerializedSst& sst);

}  // namespace xls
