#include "spreadsheet/xls/CompoundFile.h"
#include "spreadsheet/xls/StreamPieces.h"

#include <algorithm>
#include <functional>

#include "spreadsheet/xls/AsciiName.h"
#include "spreadsheet/xls/BiffBytes.h"
#include "spreadsheet/xls/CaseFold.h"
#include "platform/Error.h"

namespace xls {
namespace {

constexpr std::uint32_t kFreeSect = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatSect = 0xFFFFFFFD;
constexpr std::uint32_t kDifSect = 0xFFFFFFFC;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
constexpr std::uint32_t kMiniCutoff = 4096;
constexpr std::size_t kMiniSectorSize = 64;
constexpr std::size_t kDirEntrySize = 128;
constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

[[noreturn]] void Fail(const std::string& what) {
  throw platform::Error(what);
}

// Order of siblings in a storage's tree: shorter names first, then by upper-cased
// code units.
bool NameLess(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return a.size() < b.size();
  for (std::size_t i = 0; i < a.size(); ++i) {
    char16_t x = FoldCase(a[i]), y = FoldCase(b[i]);
    if (x != y) return x < y;
  }
  return false;
}

class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> file) : m_file(file) {}

  void ReadHeader() {
    if (m_file.size() >= 4 && m_file[0] == 'P' && m_file[1] == 'K' && m_file[2] == 3 && m_file[3] == 4)
      Fail("not an OLE2 compound file: this is a ZIP archive (an .xlsx workbook renamed to .xls?)");
    if (m_file.size() < 512 || !std::equal(kSignature, kSignature + 8, m_file.begin()))
      Fail("not an OLE2 compound file (no compound file signature)");
    const std::uint8_t* h = m_file.data();
    std::uint16_t major = GetU16(h + 0x1A);
    std::uint16_t shift = GetU16(h + 0x1E);
    if (!((major == 3 && shift == 9) || (major == 4 && shift == 12)))
      Fail("compound file with unsupported version " + std::to_string(major) + " / sector shift " +
           std::to_string(shift));
    if (GetU16(h + 0x20) != 6) Fail("compound file with unsupported mini sector size");
    m_sectorSize = std::size_t{1} << shift;
    if (GetU32(h + 0x38) != kMiniCutoff) Fail("compound file with unsupported mini stream cut-off");
    m_sectorCount = m_file.size() / m_sectorSize;  // sectors that exist in full, header sector included
    if (m_file.size() % m_sectorSize) ++m_sectorCount;
    m_sectorCount = m_sectorCount > 0 ? m_sectorCount - 1 : 0;

    std::uint32_t numFat = GetU32(h + 0x2C);
    m_firstDir = GetU32(h + 0x30);
    m_firstMiniFat = GetU32(h + 0x3C);
    std::uint32_t numDifat = GetU32(h + 0x48);
    std::uint32_t difatSector = GetU32(h + 0x44);
    if (numFat > m_sectorCount) Fail("damaged compound file: header lists more FAT sectors than the file holds");

    std::vector<std::uint32_t> fatSectors;
    for (std::uint32_t i = 0; i < 109 && fatSectors.size() < numFat; ++i)
      fatSectors.push_back(GetU32(h + 0x4C + 4 * i));
    std::size_t perDifat = m_sectorSize / 4 - 1;
    std::uint32_t difatSeen = 0;
    while (fatSectors.size() < numFat) {
      if (difatSector == kEndOfChain || difatSector == kFreeSect || difatSeen >= numDifat + 1 ||
          difatSeen > m_sectorCount)
        Fail("damaged compound file: the DIFAT chain ends before listing every FAT sector");
      const std::uint8_t* d = Sector(difatSector, "DIFAT");
      for (std::size_t i = 0; i < perDifat && fatSectors.size() < numFat; ++i) fatSectors.push_back(GetU32(d + 4 * i));
      difatSector = GetU32(d + 4 * perDifat);
      ++difatSeen;
    }
    m_fat.reserve(fatSectors.size() * m_sectorSize / 4);
    for (std::uint32_t s : fatSectors) {
      const std::uint8_t* d = Sector(s, "FAT");
      for (std::size_t i = 0; i < m_sectorSize / 4; ++i) m_fat.push_back(GetU32(d + 4 * i));
    }
  }

  // The sector ids of a chain in the FAT (or mini FAT).
  std::vector<std::uint32_t> Chain(std::uint32_t start, const std::vector<std::uint32_t>& table,
                                   const char* what) const {
    std::vector<std::uint32_t> chain;
    // A sector belongs to one chain only: this catches loops, and chains that
    // cross each other (which would let a small file expand without bound).
    std::vector<bool>& used = &table == &m_fat ? m_usedSectors : m_usedMiniSectors;
    if (used.size() < table.size()) used.resize(table.size(), false);
    std::uint32_t s = start;
    while (s != kEndOfChain) {
      if (s >= table.size())
        Fail(std::string("damaged compound file: the ") + what + " chain points to sector " + std::to_string(s) +
             ", which does not exist");
      if (used[s])
        Fail(std::string("damaged compound file: the ") + what + " chain loops or crosses another chain at sector " +
             std::to_string(s));
      used[s] = true;
      chain.push_back(s);
      s = table[s];
    }
    return chain;
  }

  // Reads up to `size` bytes of a chain of regular sectors; every byte must exist.
  std::vector<std::uint8_t> ReadChain(std::uint32_t start, std::uint64_t size, const std::string& what) const {
    if (size > m_file.size())
      Fail("damaged compound file: " + what + " claims " + std::to_string(size) + " bytes, more than the whole file");
    std::vector<std::uint8_t> out;
    // Room behind a large stream lets a save grow it in place later.
    out.reserve(size >= kMiniCutoff ? StreamRoomFor(size) : size);
    std::vector<std::uint32_t> chain = Chain(start, m_fat, what.c_str());
    for (std::uint32_t s : chain) {
      if (out.size() >= size) break;
      std::size_t want = std::min<std::uint64_t>(m_sectorSize, size - out.size());
      std::uint64_t off = (std::uint64_t{s} + 1) * m_sectorSize;
      if (off + want > m_file.size())
        Fail("truncated compound file: " + what + " continues at offset " + std::to_string(off) +
             ", beyond the end of the file (" + std::to_string(m_file.size()) + " bytes)");
      out.insert(out.end(), m_file.begin() + off, m_file.begin() + off + want);
    }
    if (out.size() < size)
      Fail("truncated compound file: " + what + " holds " + std::to_string(out.size()) + " of its " +
           std::to_string(size) + " bytes");
    return out;
  }

  std::vector<std::uint8_t> ReadWholeChain(std::uint32_t start, const char* what) const {
    std::vector<std::uint32_t> chain = Chain(start, m_fat, what);
    std::vector<std::uint8_t> out;
    for (std::uint32_t s : chain) {
      const std::uint8_t* d = Sector(s, what);
      out.insert(out.end(), d, d + m_sectorSize);
    }
    return out;
  }

  std::vector<CompoundFile::Entry> ReadTree() {
    m_dir = ReadWholeChain(m_firstDir, "directory");
    std::size_t count = m_dir.size() / kDirEntrySize;
    if (count == 0 || m_dir[0x42] != CompoundFile::kRoot) Fail("damaged compound file: no root storage");
    m_visited.assign(count, false);
    std::vector<CompoundFile::Entry> entries;
    entries.push_back(MakeEntry(0));
    m_visited[0] = true;
    std::uint64_t rootSize = GetU64(&m_dir[0x78]);
    if (m_sectorSize == 512) rootSize &= 0xFFFFFFFF;
    std::uint32_t rootStart = GetU32(&m_dir[0x74]);
    if (rootSize > 0) m_ministream = ReadChain(rootStart, rootSize, "the mini stream");
    if (m_firstMiniFat != kEndOfChain && m_firstMiniFat != kFreeSect) {
      std::vector<std::uint8_t> mf = ReadWholeChain(m_firstMiniFat, "mini FAT");
      for (std::size_t i = 0; i + 4 <= mf.size(); i += 4) m_miniFat.push_back(GetU32(&mf[i]));
    }
    LoadChildren(entries, 0, GetU32(&m_dir[0x4C]), 0);
    return entries;
  }

 private:
  const std::uint8_t* Sector(std::uint32_t s, const char* what) const {
    std::uint64_t off = (std::uint64_t{s} + 1) * m_sectorSize;
    if (s >= kDifSect || off + m_sectorSize > m_file.size())
      Fail(std::string("truncated compound file: ") + what + " sector " + std::to_string(s) +
           " lies beyond the end of the file");
    return m_file.data() + off;
  }

  CompoundFile::Entry MakeEntry(std::uint32_t id) const {
    const std::uint8_t* e = &m_dir[id * kDirEntrySize];
    CompoundFile::Entry entry;
    std::uint16_t nameBytes = GetU16(e + 0x40);
    if (nameBytes > 64 || nameBytes % 2) Fail("damaged compound file: directory entry with a bad name length");
    for (unsigned i = 0; i + 2 < nameBytes; i += 2) entry.name += static_cast<char16_t>(GetU16(e + i));
    entry.type = static_cast<CompoundFile::EntryType>(e[0x42]);
    std::copy(e + 0x50, e + 0x60, entry.clsid.begin());
    entry.stateBits = GetU32(e + 0x60);
    std::copy(e + 0x64, e + 0x6C, entry.created.begin());
    std::copy(e + 0x6C, e + 0x74, entry.modified.begin());
    return entry;
  }

  std::vector<std::uint8_t> ReadStream(std::uint32_t id, const std::u16string& name) const {
    const std::uint8_t* e = &m_dir[id * kDirEntrySize];
    std::uint32_t start = GetU32(e + 0x74);
    std::uint64_t size = GetU64(e + 0x78);
    if (m_sectorSize == 512) size &= 0xFFFFFFFF;
    std::string what = "stream '" + Ascii(name) + "'";
    if (size >= kMiniCutoff) return ReadChain(start, size, what);
    std::vector<std::uint8_t> out;
    if (size == 0) return out;
    std::vector<std::uint32_t> chain = Chain(start, m_miniFat, (what + " (mini)").c_str());
    for (std::uint32_t s : chain) {
      if (out.size() >= size) break;
      std::size_t want = std::min<std::uint64_t>(kMiniSectorSize, size - out.size());
      std::uint64_t off = std::uint64_t{s} * kMiniSectorSize;
      if (off + want > m_ministream.size())
        Fail("truncated compound file: " + what + " lies beyond the end of the mini stream");
      out.insert(out.end(), m_ministream.begin() + off, m_ministream.begin() + off + want);
    }
    if (out.size() < size)
      Fail("truncated compound file: " + what + " holds " + std::to_string(out.size()) + " of its " +
           std::to_string(size) + " bytes");
    return out;
  }

  // Walks the sibling tree below `node` in order, appending every entry as a
  // child of entries[parent].
  void LoadChildren(std::vector<CompoundFile::Entry>& entries, std::size_t parent, std::uint32_t node, int depth) {
    if (node == kNoStream) return;
    if (depth > 256) Fail("damaged compound file: directory too deep");
    std::vector<std::uint32_t> stack;
    std::uint32_t cur = node;
    // Iterative in-order walk so that a degenerate tree cannot overflow the stack.
    while (cur != kNoStream || !stack.empty()) {
      while (cur != kNoStream) {
        if (cur >= m_visited.size()) Fail("damaged compound file: directory entry id out of range");
        if (m_visited[cur]) Fail("damaged compound file: the directory tree loops");
        m_visited[cur] = true;
        stack.push_back(cur);
        cur = GetU32(&m_dir[cur * kDirEntrySize + 0x44]);
      }
      std::uint32_t id = stack.back();
      stack.pop_back();
      const std::uint8_t* e = &m_dir[id * kDirEntrySize];
      std::uint8_t type = e[0x42];
      if (type == CompoundFile::kStorage || type == CompoundFile::kStream) {
        CompoundFile::Entry entry = MakeEntry(id);
        if (type == CompoundFile::kStream) entry.data = ReadStream(id, entry.name);
        entries.push_back(std::move(entry));
        std::size_t index = entries.size() - 1;
        entries[parent].children.push_back(index);
        if (type == CompoundFile::kStorage) LoadChildren(entries, index, GetU32(e + 0x4C), depth + 1);
      } else if (type != 0) {
        Fail("damaged compound file: directory entry of unknown type " + std::to_string(type));
      }
      cur = GetU32(e + 0x48);
    }
  }

  std::span<const std::uint8_t> m_file;
  std::size_t m_sectorSize = 512;
  std::size_t m_sectorCount = 0;
  std::uint32_t m_firstDir = 0;
  std::uint32_t m_firstMiniFat = kEndOfChain;
  std::vector<std::uint32_t> m_fat;
  std::vector<std::uint32_t> m_miniFat;
  std::vector<std::uint8_t> m_dir;
  std::vector<std::uint8_t> m_ministream;
  std::vector<bool> m_visited;
  mutable std::vector<bool> m_usedSectors;
  mutable std::vector<bool> m_usedMiniSectors;
};

// Directory record of one entry, tree links filled in later.
struct DirRecord {
  const CompoundFile::Entry* entry = nullptr;
  std::uint32_t left = kNoStream, right = kNoStream, child = kNoStream;
  std::uint8_t color = 1;  // black
  std::uint32_t start = kEndOfChain;
  std::uint64_t size = 0;
};

// Links sorted siblings into a balanced search tree and colours it so that it is a
// valid red-black tree: every level is full except the deepest, whose nodes are red.
std::uint32_t BuildTree(std::vector<DirRecord>& recs, const std::vector<std::uint32_t>& sorted, std::size_t lo,
                        std::size_t hi, int depth, int redDepth) {
  if (lo >= hi) return kNoStream;
  std::size_t mid = lo + (hi - lo) / 2;
  std::uint32_t id = sorted[mid];
  recs[id].color = depth == redDepth ? 0 : 1;
  recs[id].left = BuildTree(recs, sorted, lo, mid, depth + 1, redDepth);
  recs[id].right = BuildTree(recs, sorted, mid + 1, hi, depth + 1, redDepth);
  return id;
}

}  // namespace

CompoundFile CompoundFile::Parse(std::span<const std::uint8_t> file) {
  Reader reader(file);
  reader.ReadHeader();
  CompoundFile cf;
  cf.m_entries = reader.ReadTree();
  return cf;
}

CompoundFile CompoundFile::CreateEmpty(const std::array<std::uint8_t, 16>& rootClsid) {
  CompoundFile cf;
  Entry root;
  root.name = u"Root Entry";
  root.type = kRoot;
  root.clsid = rootClsid;
  cf.m_entries.push_back(std::move(root));
  return cf;
}

std::size_t CompoundFile::FindChild(std::u16string_view name) const {
  for (std::size_t i : m_entries[0].children)
    if (EqualsIgnoringCase(m_entries[i].name, name)) return i;
  return 0;
}

const std::vector<std::uint8_t>* CompoundFile::FindStream(std::u16string_view name) const {
  std::size_t i = FindChild(name);
  return i && m_entries[i].type == kStream ? &m_entries[i].data : nullptr;
}

std::vector<std::uint8_t>* CompoundFile::MutableStream(std::u16string_view name) {
  std::size_t i = FindChild(name);
  return i && m_entries[i].type == kStream ? &m_entries[i].data : nullptr;
}

bool CompoundFile::HasEntry(std::u16string_view name) const {
  return FindChild(name) != 0;
}

void CompoundFile::SetStream(std::u16string_view name, std::vector<std::uint8_t> data) {
  std::size_t i = FindChild(name);
  if (i) {
    if (m_entries[i].type != kStream)
      throw platform::Error("compound file entry '" + Ascii(name) + "' is not a stream");
    m_entries[i].data = std::move(data);
    return;
  }
  Entry e;
  e.name = std::u16string(name);
  e.type = kStream;
  e.data = std::move(data);
  m_entries.push_back(std::move(e));
  m_entries[0].children.push_back(m_entries.size() - 1);
}

std::vector<std::uint8_t> CompoundFile::Serialize() const {
  std::vector<std::uint8_t> out;
  Write([&](std::span<const std::uint8_t> part) { out.insert(out.end(), part.begin(), part.end()); });
  return out;
}

void CompoundFile::Write(const std::function<void(std::span<const std::uint8_t>)>& sink, std::u16string_view heldName,
                         std::span<const std::uint8_t> heldData) const {
  Write(sink, heldName, std::vector<std::span<const std::uint8_t>>{heldData});
}

void CompoundFile::Write(const std::function<void(std::span<const std::uint8_t>)>& sink, std::u16string_view heldName,
                         const std::vector<std::span<const std::uint8_t>>& heldPieces) const {
  constexpr std::size_t kSector = 512;
  constexpr std::size_t kPerSector = kSector / 4;
  const std::size_t held = heldName.empty() ? 0 : FindChild(heldName);
  std::size_t heldSize = 0;
  for (auto piece : heldPieces) heldSize += piece.size();
  // A held stream small enough for the mini stream is joined first.
  std::vector<std::uint8_t> heldJoined;
  if (heldPieces.size() > 1 && heldSize < kMiniCutoff)
    for (auto piece : heldPieces) heldJoined.insert(heldJoined.end(), piece.begin(), piece.end());
  const bool heldInPieces = heldPieces.size() > 1 && heldSize >= kMiniCutoff;
  // The data of entry i (not asked of the held stream in pieces).
  auto dataOf = [&](std::size_t i) -> std::span<const std::uint8_t> {
    if (!held || i != held) return std::span<const std::uint8_t>(m_entries[i].data);
    if (heldPieces.size() == 1) return heldPieces.front();
    return heldJoined;
  };
  auto sizeOf = [&](std::size_t i) { return held && i == held && heldInPieces ? heldSize : dataOf(i).size(); };

  std::vector<DirRecord> recs(m_entries.size());
  for (std::size_t i = 0; i < m_entries.size(); ++i) recs[i].entry = &m_entries[i];

  // Streams below the cut-off go into the mini stream, the others into sectors.
  std::vector<std::uint8_t> mini;
  std::vector<std::uint32_t> miniFat;
  std::vector<std::size_t> bigStreams;
  for (std::size_t i = 1; i < m_entries.size(); ++i) {
    const Entry& e = m_entries[i];
    if (e.type != kStream) continue;
    recs[i].size = sizeOf(i);
    if (recs[i].size == 0) continue;
    if (recs[i].size < kMiniCutoff) {
      const auto data = dataOf(i);
      std::size_t first = miniFat.size();
      std::size_t n = (data.size() + kMiniSectorSize - 1) / kMiniSectorSize;
      for (std::size_t k = 0; k < n; ++k)
        miniFat.push_back(k + 1 < n ? static_cast<std::uint32_t>(first + k + 1) : kEndOfChain);
      recs[i].start = static_cast<std::uint32_t>(first);
      mini.insert(mini.end(), data.begin(), data.end());
      mini.resize(miniFat.size() * kMiniSectorSize, 0);
    } else {
      bigStreams.push_back(i);
    }
  }

  // Sectors are handed out in the order they are written: the big streams,
  // the mini stream, the directory, the mini FAT, the FAT, the DIFAT.
  auto sectorsFor = [](std::size_t bytes) { return (bytes + kSector - 1) / kSector; };
  std::vector<std::uint32_t> fat;
  auto allocate = [&](std::size_t n) -> std::uint32_t {
    if (n == 0) return kEndOfChain;
    std::uint32_t first = static_cast<std::uint32_t>(fat.size());
    for (std::size_t k = 0; k < n; ++k)
      fat.push_back(k + 1 < n ? static_cast<std::uint32_t>(fat.size() + 1) : kEndOfChain);
    return first;
  };
  for (std::size_t i : bigStreams) recs[i].start = allocate(sectorsFor(sizeOf(i)));
  recs[0].start = allocate(sectorsFor(mini.size()));
  recs[0].size = mini.size();
  std::size_t dirSectors = sectorsFor(m_entries.size() * kDirEntrySize);
  std::uint32_t dirStart = allocate(dirSectors);
  std::size_t miniFatSectors = sectorsFor(miniFat.size() * 4);
  std::uint32_t miniFatStart = allocate(miniFatSectors);

  std::size_t dataSectors = fat.size();
  std::size_t fatSectors = 0, difatSectors = 0;
  for (;;) {
    std::size_t total = dataSectors + fatSectors + difatSectors;
    std::size_t needFat = (total + kPerSector - 1) / kPerSector;
    std::size_t needDifat = needFat > 109 ? (needFat - 109 + kPerSector - 2) / (kPerSector - 1) : 0;
    if (needFat == fatSectors && needDifat == difatSectors) break;
    fatSectors = needFat;
    difatSectors = needDifat;
  }
  std::vector<std::uint32_t> fatIds, difatIds;
  for (std::size_t k = 0; k < fatSectors; ++k) {
    fatIds.push_back(static_cast<std::uint32_t>(fat.size()));
    fat.push_back(kFatSect);
  }
  for (std::size_t k = 0; k < difatSectors; ++k) {
    difatIds.push_back(static_cast<std::uint32_t>(fat.size()));
    fat.push_back(kDifSect);
  }
  fat.resize(fatSectors * kPerSector, kFreeSect);

  // Directory trees.
  for (std::size_t i = 0; i < m_entries.size(); ++i) {
    const Entry& e = m_entries[i];
    if (e.type == kStream || e.children.empty()) continue;
    std::vector<std::uint32_t> sorted(e.children.begin(), e.children.end());
    std::sort(sorted.begin(), sorted.end(),
              [&](std::uint32_t a, std::uint32_t b) { return NameLess(m_entries[a].name, m_entries[b].name); });
    std::size_t n = sorted.size();
    int height = 0;
    while ((std::size_t{1} << height) - 1 < n) ++height;
    bool full = ((std::size_t{1} << height) - 1) == n;
    recs[i].child = BuildTree(recs, sorted, 0, n, 0, full ? -1 : height - 1);
  }

  std::vector<std::uint8_t> header(kSector, 0);
  std::uint8_t* h = header.data();
  std::copy(kSignature, kSignature + 8, h);
  PutU16(h + 0x18, 0x003E);
  PutU16(h + 0x1A, 3);
  PutU16(h + 0x1C, 0xFFFE);
  PutU16(h + 0x1E, 9);
  PutU16(h + 0x20, 6);
  PutU32(h + 0x2C, static_cast<std::uint32_t>(fatSectors));
  PutU32(h + 0x30, dirStart);
  PutU32(h + 0x38, kMiniCutoff);
  PutU32(h + 0x3C, miniFatSectors ? miniFatStart : kEndOfChain);
  PutU32(h + 0x40, static_cast<std::uint32_t>(miniFatSectors));
  PutU32(h + 0x44, difatSectors ? difatIds[0] : kEndOfChain);
  PutU32(h + 0x48, static_cast<std::uint32_t>(difatSectors));
  for (std::size_t k = 0; k < 109; ++k) PutU32(h + 0x4C + 4 * k, k < fatIds.size() ? fatIds[k] : kFreeSect);
  sink(header);

  static const std::uint8_t kZeros[kSector] = {};
  // A run of sectors: the data, then zeros up to the sector boundary.
  auto emitSectors = [&](const std::uint8_t* data, std::size_t size) {
    if (size == 0) return;
    sink(std::span<const std::uint8_t>(data, size));
    if (size % kSector) sink(std::span<const std::uint8_t>(kZeros, kSector - size % kSector));
  };
  for (std::size_t i : bigStreams) {
    if (held && i == held && heldInPieces) {
      for (auto piece : heldPieces)
        if (!piece.empty()) sink(piece);
      if (heldSize % kSector) sink(std::span<const std::uint8_t>(kZeros, kSector - heldSize % kSector));
      continue;
    }
    emitSectors(dataOf(i).data(), dataOf(i).size());
  }
  emitSectors(mini.data(), mini.size());

  std::vector<std::uint8_t> dir(dirSectors * kSector, 0);
  for (std::size_t i = 0; i < dirSectors * kSector / kDirEntrySize; ++i) {
    std::uint8_t* e = &dir[i * kDirEntrySize];
    PutU32(e + 0x44, kNoStream);
    PutU32(e + 0x48, kNoStream);
    PutU32(e + 0x4C, kNoStream);
    if (i >= m_entries.size()) continue;
    const DirRecord& r = recs[i];
    const Entry& en = *r.entry;
    std::size_t len = std::min<std::size_t>(en.name.size(), 31);
    for (std::size_t k = 0; k < len; ++k) PutU16(e + 2 * k, en.name[k]);
    PutU16(e + 0x40, static_cast<std::uint16_t>((len + 1) * 2));
    e[0x42] = en.type;
    e[0x43] = r.color;
    PutU32(e + 0x44, r.left);
    PutU32(e + 0x48, r.right);
    PutU32(e + 0x4C, r.child);
    std::copy(en.clsid.begin(), en.clsid.end(), e + 0x50);
    PutU32(e + 0x60, en.stateBits);
    std::copy(en.created.begin(), en.created.end(), e + 0x64);
    std::copy(en.modified.begin(), en.modified.end(), e + 0x6C);
    bool hasData = en.type == kRoot ? r.size > 0 : (en.type == kStream && r.size > 0);
    PutU32(e + 0x74, hasData ? r.start : (en.type == kStorage ? 0 : kEndOfChain));
    PutU32(e + 0x78, static_cast<std::uint32_t>(r.size));
  }
  emitSectors(dir.data(), dir.size());

  std::vector<std::uint8_t> mf;
  for (std::uint32_t v : miniFat) AppendU32(mf, v);
  mf.resize(miniFatSectors * kSector, 0xFF);
  emitSectors(mf.data(), mf.size());

  std::vector<std::uint8_t> fatBytes;
  fatBytes.reserve(fat.size() * 4);
  for (std::uint32_t v : fat) AppendU32(fatBytes, v);
  emitSectors(fatBytes.data(), fatBytes.size());

  std::vector<std::uint8_t> difat;
  for (std::size_t k = 0; k < difatSectors; ++k) {
    for (std::size_t j = 0; j < kPerSector - 1; ++j) {
      std::size_t f = 109 + k * (kPerSector - 1) + j;
      AppendU32(difat, f < fatIds.size() ? fatIds[f] : kFreeSect);
    }
    AppendU32(difat, k + 1 < difatSectors ? difatIds[k + 1] : kEndOfChain);
  }
  emitSectors(difat.data(), difat.size());
}

}  // namespace xls
