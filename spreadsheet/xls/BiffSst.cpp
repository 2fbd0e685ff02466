#include "spreadsheet/xls/BiffSst.h"

#include <algorithm>

#include "spreadsheet/xls/BiffBytes.h"
#include "platform/Error.h"

namespace xls {

std::vector<SstString> ParseSst(const RecordGroup& group) {
  ContinuedReader r(group, "SST");
  r.U32();  // total references: not needed
  std::uint32_t unique = r.U32();
  std::vector<SstString> out;
  // Each string takes at least 3 bytes: a count larger than the data is damage,
  // not a reason to reserve gigabytes.
  std::size_t total = 0;
  for (auto p : group.parts) total += p.size();
  if (unique > total / 3 + 1)
    throw platform::Error("damaged workbook: the shared-string table claims " + std::to_string(unique) +
                          " strings in " + std::to_string(total) + " bytes");
  out.reserve(unique);
  for (std::uint32_t i = 0; i < unique; ++i) {
    if (r.AtEnd()) {
      // Some writers overstate the count; the strings present are all there is.
      break;
    }
    SstString s;
    std::uint16_t cch = r.U16();
    std::uint8_t flags = r.U8();
    std::uint16_t runs = (flags & 0x08) ? r.U16() : 0;
    std::uint32_t ext = (flags & 0x04) ? r.U32() : 0;
    s.text = r.Chars(cch, flags & 0x01);
    if (runs) s.runs = r.Bytes(4u * runs);
    if (ext) s.phonetic = r.Bytes(ext);
    out.push_back(std::move(s));
  }
  return out;
}

namespace {

class SstWriter {
 public:
  SerializedSst result;

  void Begin(std::uint32_t total, std::uint32_t unique) {
    StartRecord(rec::kSst);
    U32(total);
    U32(unique);
  }
  std::size_t Space() const { return kMaxRecordData - (out().size() - m_recordStart - 4); }
  void StartRecord(std::uint16_t type) {
    Finish();
    m_recordStart = out().size();
    AppendU16(out(), type);
    AppendU16(out(), 0);
    m_open = true;
  }
  void Finish() {
    if (m_open) PutU16(&out()[m_recordStart + 2], static_cast<std::uint16_t>(out().size() - m_recordStart - 4));
    m_open = false;
  }
  void U32(std::uint32_t v) { AppendU32(out(), v); }

  void Write(const SstString& s, bool bucketStart) {
    bool wide = std::any_of(s.text.begin(), s.text.end(), [](char16_t c) { return c > 0xFF; });
    std::size_t charSize = wide ? 2 : 1;
    std::size_t header = 3 + (s.runs.empty() ? 0 : 2) + (s.phonetic.empty() ? 0 : 4);
    // The header and the first character never part.
    if (Space() < header + (s.text.empty() ? 0 : charSize)) StartRecord(rec::kContinue);
    if (bucketStart)
      result.buckets.emplace_back(static_cast<std::uint32_t>(out().size()),
                                  static_cast<std::uint16_t>(out().size() - m_recordStart));
    AppendU16(out(), static_cast<std::uint16_t>(s.text.size()));
    AppendU8(out(), static_cast<std::uint8_t>((wide ? 0x01 : 0) | (s.phonetic.empty() ? 0 : 0x04) |
                                              (s.runs.empty() ? 0 : 0x08)));
    if (!s.runs.empty()) AppendU16(out(), static_cast<std::uint16_t>(s.runs.size() / 4));
    if (!s.phonetic.empty()) AppendU32(out(), static_cast<std::uint32_t>(s.phonetic.size()));
    std::size_t i = 0;
    while (i < s.text.size()) {
      std::size_t fit = Space() / charSize;
      if (fit == 0) {
        StartRecord(rec::kContinue);
        AppendU8(out(), wide ? 1 : 0);
        continue;
      }
      std::size_t take = std::min(fit, s.text.size() - i);
      for (std::size_t k = 0; k < take; ++k) {
        if (wide)
          AppendU16(out(), s.text[i + k]);
        else
          AppendU8(out(), static_cast<std::uint8_t>(s.text[i + k]));
      }
      i += take;
    }
    for (std::size_t k = 0; k + 4 <= s.runs.size(); k += 4) {
      if (Space() < 4) StartRecord(rec::kContinue);
      out().insert(out().end(), s.runs.begin() + k, s.runs.begin() + k + 4);
    }
    for (std::size_t k = 0; k < s.phonetic.size();) {
      if (Space() == 0) StartRecord(rec::kContinue);
      std::size_t take = std::min(Space(), s.phonetic.size() - k);
      out().insert(out().end(), s.phonetic.begin() + k, s.phonetic.begin() + k + take);
      k += take;
    }
  }

 private:
  std::vector<std::uint8_t>& out() { return result.bytes; }
  const std::vector<std::uint8_t>& out() const { return result.bytes; }
  std::size_t m_recordStart = 0;
  bool m_open = false;
};

}  // namespace

SerializedSst SerializeSst(const std::vector<SstString>& strings, std::uint32_t totalReferences) {
  SstWriter w;
  std::size_t n = strings.size();
  std::size_t perBucket = std::max<std::size_t>(8, (n + 127) / 128);
  w.result.stringsPerBucket = static_cast<std::uint16_t>(std::min<std::size_t>(perBucket, 0xFFFF));
  w.result.bytes.reserve(n * 12 + 16);
  w.Begin(std::max<std::uint32_t>(totalReferences, static_cast<std::uint32_t>(n)), static_cast<std::uint32_t>(n));
  for (std::size_t i = 0; i < n; ++i) w.Write(strings[i], i % w.result.stringsPerBucket == 0);
  w.Finish();
  return std::move(w.result);
}

std::size_t ExtSstSize(const SerializedSst& sst) {
  return 4 + 2 + 8 * sst.buckets.size();
}

std::vector<std::uint8_t> SerializeExtSst(const SerializedSst& sst, std::uint32_t sstOffset) {
  std::vector<std::uint8_t> data;
  AppendU16(data, sst.stringsPerBucket);
  for (auto [pos, inRecord] : sst.buckets) {
    AppendU32(data, sstOffset + pos);
    AppendU16(data, inRecord);
    AppendU16(data, 0);
  }
  std::vector<std::uint8_t> out;
  AppendRecord(out, rec::kExtSst, data);
  return out;
}

}  // namespace xls
