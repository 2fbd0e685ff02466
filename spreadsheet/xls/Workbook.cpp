#include "spreadsheet/xls/Workbook.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

#include "spreadsheet/xls/AsciiName.h"
#include "spreadsheet/xls/BiffBytes.h"
#include "spreadsheet/xls/BiffRecord.h"
#include "spreadsheet/xls/BookState.h"
#include "spreadsheet/xls/CaseFold.h"
#include "spreadsheet/xls/CompoundFile.h"
#include "spreadsheet/xls/SheetModel.h"
#include "spreadsheet/xls/StreamPieces.h"

namespace xls {
namespace {

constexpr std::uint16_t kTabId = 0x013D;
constexpr std::array<std::uint8_t, 16> kExcelClsid = {0x20, 0x08, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                      0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

std::string Hex4(unsigned v) {
  char b[8];
  std::snprintf(b, sizeof b, "%04X", v & 0xFFFF);
  return b;
}

struct GlobalRecord {
  std::uint16_t type = 0;
  std::vector<std::uint8_t> bytes;  // empty for the records rebuilt on save
};

struct SheetEntry {
  std::vector<std::uint8_t> boundSheet;  // the BOUNDSHEET record, position patched on save
  std::u16string name;
  std::unique_ptr<Worksheet> ws;  // worksheets
  Substream other;                // chart and macro sheets, kept as read
};

void CheckBof(const RecordGroup& bof) {
  if (bof.type == rec::kBof2 || bof.type == rec::kBof3 || bof.type == rec::kBof4)
    throw platform::Error("Excel 2.x-4.0 workbook not supported");
  if (bof.type != rec::kBof || bof.data().size() < 4)
    throw platform::Error("not an Excel workbook: the workbook stream does not start with a BOF record");
  std::uint16_t vers = GetU16(&bof.data()[0]);
  std::uint16_t dt = GetU16(&bof.data()[2]);
  if (vers == 0x0500) throw platform::Error("Excel 5 workbook not supported (BIFF5; save it as Excel 97-2003)");
  if (vers != 0x0600) throw platform::Error("unsupported BIFF version 0x" + Hex4(vers) + " (only BIFF8 is read)");
  if (dt != 0x0005)
    throw platform::Error("not an Excel workbook: the stream starts with a substream of type 0x" + Hex4(dt));
}

// Globals of a new workbook: what Excel needs to open it, with the standard
// fonts and formats (15 style formats and the default cell format XF 15).
std::vector<std::uint8_t> NewGlobalsStream() {
  std::vector<std::uint8_t> s;
  auto add = [&](std::uint16_t type, std::vector<std::uint8_t> d) { AppendRecord(s, type, d); };
  add(rec::kBof, {0x00, 0x06, 0x05, 0x00, 0xBB, 0x0D, 0xCC, 0x07, 0, 0, 0, 0, 0x06, 0x00, 0x00, 0x00});
  add(0x00E1, {0xB0, 0x04});  // INTERFACEHDR: code page 1200
  add(0x00C1, {0x00, 0x00});  // MMS
  add(0x00E2, {});            // INTERFACEEND
  add(rec::kCodePage, {0xB0, 0x04});
  add(0x009C, {0x0E, 0x00});  // FNGROUPCOUNT
  add(0x0019, {0, 0});        // WINDOWPROTECT
  add(0x0012, {0, 0});        // PROTECT
  add(0x0013, {0, 0});        // PASSWORD
  add(0x0040, {0, 0});        // BACKUP
  add(0x008D, {0, 0});        // HIDEOBJ
  add(rec::kWindow1, {0xE0, 0x01, 0x69, 0x00, 0x13, 0x38, 0x1F, 0x1D, 0x38, 0x00, 0, 0, 0, 0, 0x01, 0x00, 0x58, 0x02});
  add(rec::kDateMode, {0, 0});
  add(0x000E, {0x01, 0x00});  // PRECISION
  add(0x00DA, {0, 0});        // BOOKBOOL
  for (int i = 0; i < 4; ++i) {
    std::vector<std::uint8_t> font = {0xC8, 0x00, 0x00, 0x00, 0xFF, 0x7F, 0x90, 0x01, 0, 0, 0, 0, 0, 0};
    AppendUnicodeString(font, u"Arial", true);
    add(rec::kFont, font);
  }
  for (int i = 0; i < 16; ++i) {
    std::vector<std::uint8_t> xf(20, 0);
    if (i < 15) {
      PutU16(&xf[4], 0xFFF5);  // style format, locked
    } else {
      PutU16(&xf[4], 0x0001);  // cell format based on the Normal style
    }
    xf[6] = 0x20;  // bottom aligned
    PutU16(&xf[18], 0x20C0);
    if (i >= 1 && i <= 14) xf[9] = 0xF4;
    add(rec::kXf, xf);
  }
  add(rec::kStyle, {0x00, 0x80, 0x00, 0xFF});  // Normal
  add(0x008C, {0x01, 0x00, 0x56, 0x00});       // COUNTRY
  add(rec::kEof, {});
  return s;
}

}  // namespace

// ---- Workbook -------------------------------------------------------------

struct Workbook::Impl {
  CompoundFile cf;  // every stream but the workbook stream, which is held in `stream`
  std::u16string streamName = u"Workbook";
  // The workbook stream as read or last written; the sheets' original bytes
  // point into it. Only a save changes it, in place when it can.
  std::shared_ptr<std::vector<std::uint8_t>> stream;
  BookState book;
  std::vector<GlobalRecord> globals;
  std::vector<SheetEntry> sheets;
  bool hadSst = false;

  void ParseStream(std::shared_ptr<std::vector<std::uint8_t>> bytes);
  // The new workbook stream as pieces of the held one and new bytes, with
  // where each sheet lands in it.
  struct NewStream {
    StreamPieces pieces;
    std::vector<std::pair<std::size_t, std::size_t>> placed;  // each sheet's start and size
  };
  NewStream BuildStream();
  // Writes the compound file with the new stream, piece by piece.
  void WriteFile(const std::function<void(std::span<const std::uint8_t>)>& sink, const NewStream& next) const {
    cf.Write(sink, streamName, next.pieces.Spans());
  }
  // Once the new stream is written: it becomes the one held, and the sheets
  // point into it.
  void Adopt(const NewStream& next);
  bool NameTaken(std::u16string_view name) const {
    for (const auto& s : sheets)
      if (EqualsIgnoringCase(s.name, name)) return true;
    return false;
  }
};

void Workbook::Impl::ParseStream(std::shared_ptr<std::vector<std::uint8_t>> bytes) {
  this->stream = std::move(bytes);
  std::span<const std::uint8_t> stream(*this->stream);
  if (stream.size() < 4)
    throw platform::Error("truncated workbook stream: it holds " + std::to_string(stream.size()) + " bytes");
  CheckBof(ReadRecordGroup(stream, 0));
  std::size_t at = 0;
  bool eof = false;
  std::vector<std::uint32_t> positions;
  while (at < stream.size() && !eof) {
    RecordGroup g = ReadRecordGroup(stream, at);
    auto d = g.data();
    GlobalRecord gr{g.type, std::vector<std::uint8_t>(stream.begin() + g.offset, stream.begin() + g.end)};
    switch (g.type) {
      case rec::kFilePass:
        throw platform::Error("encrypted (password-protected) workbook not supported");
      case rec::kBof:
        if (at != 0)
          throw platform::Error("damaged workbook: BOF record inside the workbook globals at offset " +
                                std::to_string(at));
        break;
      case rec::kBoundSheet: {
        if (d.size() < 8)
          throw platform::Error("damaged workbook: BOUNDSHEET record too short at offset " + std::to_string(at));
        SheetEntry e;
        std::size_t pos = 6;
        e.name = ParseUnicodeString(d, pos, true, "BOUNDSHEET");
        e.boundSheet.assign(stream.begin() + g.offset, stream.begin() + g.offset + 4 + d.size());
        positions.push_back(GetU32(&d[0]));
        sheets.push_back(std::move(e));
        gr.bytes.clear();
        break;
      }
      case rec::kSst:
        book.strings = ParseSst(g);
        hadSst = true;
        gr.bytes.clear();
        break;
      case rec::kExtSst:
        gr.bytes.clear();
        break;
      case rec::kXf:
        if (d.size() >= 6) {
          book.xfFormat.push_back(GetU16(&d[2]));
          book.xfIsStyle.push_back((GetU16(&d[4]) & 0x0004) != 0);
        }
        break;
      case rec::kFormat:
        if (d.size() >= 5) {
          std::size_t pos = 2;
          std::u16string code = ParseUnicodeString(d, pos, false, "FORMAT");
          book.customFormats[GetU16(&d[0])] = ClassifyFormatText(code);
        }
        break;
      case rec::kDateMode:
        if (d.size() >= 2) book.date1904 = GetU16(&d[0]) != 0;
        break;
      case rec::kEof:
        eof = true;
        break;
      default:
        break;
    }
    globals.push_back(std::move(gr));
    at = g.end;
  }
  if (!eof) throw platform::Error("truncated workbook stream: the workbook globals end without an EOF record");

  // Sheets lie after the globals and never overlap: a file that says otherwise
  // is damaged (and could make one substream count many times over).
  std::vector<std::pair<std::size_t, std::size_t>> extents;  // start, end
  std::size_t globalsEnd = at;
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    SheetEntry& e = sheets[i];
    std::uint8_t dt = e.boundSheet[4 + 5];
    if (positions[i] < globalsEnd)
      throw platform::Error("damaged workbook: sheet '" + Ascii(e.name) + "' is said to start at offset " +
                            std::to_string(positions[i]) + ", inside the workbook globals");
    for (auto [start, end] : extents)
      if (positions[i] >= start && positions[i] < end)
        throw platform::Error("damaged workbook: sheet '" + Ascii(e.name) + "' at offset " +
                              std::to_string(positions[i]) + " overlaps another sheet");
    Substream sub;
    std::uint16_t bofType = sub.Read(this->stream, positions[i], Ascii(e.name));
    for (auto [start, end] : extents)
      if (start >= sub.offset && start < sub.offset + sub.size)
        throw platform::Error("damaged workbook: sheet '" + Ascii(e.name) + "' at offset " +
                              std::to_string(positions[i]) + " overlaps another sheet");
    extents.emplace_back(sub.offset, sub.offset + sub.size);
    if (dt == 0 && bofType == 0x0010) {
      auto impl = std::make_unique<Worksheet::Impl>();
      impl->book = &book;
      impl->name = e.name;
      impl->original = std::move(sub);
      impl->ScanCells();
      e.ws = std::make_unique<Worksheet>(std::move(impl));
    } else {
      e.other = std::move(sub);
    }
  }
}

Workbook::Impl::NewStream Workbook::Impl::BuildStream() {
  std::uint32_t refs = 0;
  for (auto& s : sheets)
    if (s.ws) {
      // A rebuilt sheet stores every text in the shared-string table; an
      // appended one keeps its old records as they are.
      if (s.ws->IsModified() && !s.ws->impl().Appendable()) {
        s.ws->impl().EnsureParsed();
        s.ws->impl().InternTexts();
      }
      refs += s.ws->impl().SstReferences();
    }
  bool needSst = hadSst || !book.strings.empty();
  SerializedSst sst;
  if (needSst) sst = SerializeSst(book.strings, refs);

  // The globals are built anew (they are small beside the sheets).
  std::vector<std::uint8_t> out;
  out.reserve(sst.bytes.size() + 4096);

  std::vector<std::size_t> boundPos;
  bool boundDone = false, sstDone = false;
  auto emitBound = [&] {
    for (auto& s : sheets) {
      boundPos.push_back(out.size());
      out.insert(out.end(), s.boundSheet.begin(), s.boundSheet.end());
    }
    boundDone = true;
  };
  auto emitSst = [&] {
    if (needSst) {
      std::size_t at = out.size();
      out.insert(out.end(), sst.bytes.begin(), sst.bytes.end());
      auto ext = SerializeExtSst(sst, static_cast<std::uint32_t>(at));
      out.insert(out.end(), ext.begin(), ext.end());
    }
    sstDone = true;
  };
  for (const GlobalRecord& g : globals) {
    switch (g.type) {
      case rec::kBoundSheet:
        if (!boundDone) emitBound();
        continue;
      case rec::kSst:
        if (!sstDone) emitSst();
        continue;
      case rec::kExtSst:
        continue;
      case rec::kEof:
        if (!boundDone) emitBound();
        if (!sstDone) emitSst();
        break;
      default:
        break;
    }
    std::size_t at = out.size();
    out.insert(out.end(), g.bytes.begin(), g.bytes.end());
    std::size_t len = g.bytes.size() >= 4 ? GetU16(&g.bytes[2]) : 0;
    bool single = g.bytes.size() == 4 + len;
    if (g.type == rec::kSupBook && single && len == 4 && GetU16(&g.bytes[6]) == 0x0401) {
      // The workbook's own reference carries the sheet count.
      PutU16(&out[at + 4], static_cast<std::uint16_t>(sheets.size()));
    } else if (g.type == kTabId && single && len / 2 < sheets.size()) {
      std::uint16_t next = 0;
      for (std::size_t k = 0; k + 1 < len; k += 2) next = std::max(next, GetU16(&g.bytes[4 + k]));
      out.resize(at + 4 + (len & ~std::size_t{1}));
      for (std::size_t k = len / 2; k < sheets.size(); ++k) AppendU16(out, ++next);
      PutU16(&out[at + 2], static_cast<std::uint16_t>(out.size() - at - 4));
    }
  }
  std::vector<std::uint8_t>().swap(sst.bytes);  // copied into the globals
  NewStream next{StreamPieces(stream ? std::span<const std::uint8_t>(*stream) : std::span<const std::uint8_t>()), {}};
  StreamPieces& pieces = next.pieces;
  pieces.Add(std::move(out));
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    pieces.PatchU32(boundPos[i] + 4, static_cast<std::uint32_t>(pieces.size()));
    const std::size_t start = pieces.size();
    if (sheets[i].ws)
      sheets[i].ws->impl().Write(pieces);
    else
      sheets[i].other.WriteMoved(pieces);
    next.placed.emplace_back(start, pieces.size() - start);
  }
  return next;
}

void Workbook::Impl::Adopt(const NewStream& next) {
  // The bytes just written now stand for the sheets: a later save copies
  // them unless a sheet changes again. The held stream's buffer becomes the
  // new stream when it has the room; otherwise a new one is built (with
  // room for the next saves), the old one dropped after.
  std::shared_ptr<std::vector<std::uint8_t>> written = stream;
  if (!written || !next.pieces.ApplyInPlace(*written))
    written = std::make_shared<std::vector<std::uint8_t>>(next.pieces.Assemble(StreamRoomFor(next.pieces.size())));
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    auto [start, size] = next.placed[i];
    if (!sheets[i].ws)
      sheets[i].other.MovedTo(written, start, size);
    else if (sheets[i].ws->IsModified())
      sheets[i].ws->impl().Written(written, start, size);
    else
      sheets[i].ws->impl().Moved(written, start, size);
  }
  stream = std::move(written);
}

Workbook::Workbook(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
Workbook::Workbook(Workbook&&) noexcept = default;
Workbook& Workbook::operator=(Workbook&&) noexcept = default;
Workbook::~Workbook() = default;

namespace {
// Takes the workbook stream out of the compound file: the one copy kept.
std::shared_ptr<std::vector<std::uint8_t>> TakeWorkbookStream(CompoundFile& cf, std::u16string& name) {
  std::vector<std::uint8_t>* stream = cf.MutableStream(u"Workbook");
  if (!stream) {
    if (cf.FindStream(u"Book"))
      throw platform::Error("Excel 5 workbook not supported (it has a 'Book' stream, not a BIFF8 'Workbook' stream)");
    throw platform::Error("not an Excel workbook: the compound file has no 'Workbook' stream");
  }
  for (const auto& e : cf.entries())
    if (e.type == CompoundFile::kStream && EqualsIgnoringCase(e.name, u"Workbook")) name = e.name;
  auto taken = std::make_shared<std::vector<std::uint8_t>>(std::move(*stream));
  stream->clear();
  return taken;
}
}  // namespace

Workbook Workbook::LoadFromMemory(std::span<const std::uint8_t> bytes) {
  auto impl = std::make_unique<Impl>();
  impl->cf = CompoundFile::Parse(bytes);
  impl->ParseStream(TakeWorkbookStream(impl->cf, impl->streamName));
  return Workbook(std::move(impl));
}

Workbook Workbook::Load(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw platform::Error("cannot open workbook '" + path + "': " + std::strerror(errno));
  std::vector<std::uint8_t> bytes;
  struct stat st {};
  std::size_t expected = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? static_cast<std::size_t>(st.st_size) : 0;
  // Read straight into the buffer; a file that grows meanwhile is read on.
  bytes.resize(expected + 1);
  std::size_t done = 0;
  for (;;) {
    if (done == bytes.size()) bytes.resize(bytes.size() * 2 + 65536);
    ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      throw platform::Error("cannot read workbook '" + path + "': " + std::strerror(err));
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  bytes.resize(done);
  auto impl = std::make_unique<Impl>();
  impl->cf = CompoundFile::Parse(bytes);
  auto stream = TakeWorkbookStream(impl->cf, impl->streamName);
  std::vector<std::uint8_t>().swap(bytes);  // the file's bytes are not needed from here on
  impl->ParseStream(std::move(stream));
  return Workbook(std::move(impl));
}

Workbook Workbook::CreateEmpty() {
  auto impl = std::make_unique<Impl>();
  impl->cf = CompoundFile::CreateEmpty(kExcelClsid);
  impl->cf.SetStream(impl->streamName, {});
  impl->ParseStream(std::make_shared<std::vector<std::uint8_t>>(NewGlobalsStream()));
  return Workbook(std::move(impl));
}

namespace {
void RequireWorksheet(const std::vector<SheetEntry>& sheets) {
  bool anyWorksheet = false;
  for (const auto& s : sheets) anyWorksheet = anyWorksheet || s.ws;
  if (!anyWorksheet) throw platform::Error("a workbook needs at least one worksheet to be saved");
}
}  // namespace

std::vector<std::uint8_t> Workbook::SaveToMemory() const {
  RequireWorksheet(m_impl->sheets);
  auto next = m_impl->BuildStream();
  std::vector<std::uint8_t> out;
  m_impl->WriteFile([&](std::span<const std::uint8_t> part) { out.insert(out.end(), part.begin(), part.end()); }, next);
  m_impl->Adopt(next);
  return out;
}

void Workbook::Save(const std::string& path) const {
  RequireWorksheet(m_impl->sheets);
  auto next = m_impl->BuildStream();
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) throw platform::Error("cannot create workbook '" + path + "': " + std::strerror(errno));
  auto fail = [&](const char* what) {
    int err = errno;
    ::close(fd);
    throw platform::Error(std::string(what) + " workbook '" + path + "': " + std::strerror(err));
  };
  // The file goes out in the pieces the compound file is made of: the
  // streams are written from where they are held, not copied first.
  m_impl->WriteFile(
      [&](std::span<const std::uint8_t> part) {
        std::size_t done = 0;
        while (done < part.size()) {
          ssize_t n = ::write(fd, part.data() + done, part.size() - done);
          if (n < 0) {
            if (errno == EINTR) continue;
            fail("cannot write");
          }
          if (n == 0) {
            errno = ENOSPC;
            fail("cannot write");
          }
          done += static_cast<std::size_t>(n);
        }
      },
      next);
  // Delayed allocation reports a full disk only here.
  if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) fail("cannot write");
  if (::close(fd) != 0) throw platform::Error("cannot write workbook '" + path + "': " + std::strerror(errno));
  // Only a complete file makes the new stream the one held: after a failed
  // write the workbook in memory is still the one read.
  m_impl->Adopt(next);
}

std::size_t Workbook::SheetCount() const {
  std::size_t n = 0;
  for (const auto& s : m_impl->sheets) n += s.ws != nullptr;
  return n;
}

std::vector<std::u16string> Workbook::SheetNames() const {
  std::vector<std::u16string> names;
  for (const auto& s : m_impl->sheets)
    if (s.ws) names.push_back(s.name);
  return names;
}

Worksheet& Workbook::Sheet(std::size_t index) {
  return const_cast<Worksheet&>(static_cast<const Workbook*>(this)->Sheet(index));
}

const Worksheet& Workbook::Sheet(std::size_t index) const {
  std::size_t n = 0;
  for (const auto& s : m_impl->sheets)
    if (s.ws && n++ == index) return *s.ws;
  throw platform::Error("no worksheet number " + std::to_string(index + 1) + " in the workbook");
}

Worksheet* Workbook::FindSheet(std::u16string_view name) {
  return const_cast<Worksheet*>(static_cast<const Workbook*>(this)->FindSheet(name));
}

const Worksheet* Workbook::FindSheet(std::u16string_view name) const {
  for (const auto& s : m_impl->sheets)
    if (s.ws && EqualsIgnoringCase(s.name, name)) return s.ws.get();
  return nullptr;
}

void Workbook::CheckSheetName(std::u16string_view name) {
  if (name.empty()) throw platform::Error("sheet name is empty");
  if (name.size() > kMaxSheetNameLength)
    throw platform::Error("sheet name '" + Ascii(name) + "' is longer than 31 characters");
  for (char16_t c : name)
    if (c == u':' || c == u'\\' || c == u'/' || c == u'?' || c == u'*' || c == u'[' || c == u']' || c < 0x20)
      throw platform::Error("sheet name '" + Ascii(name) +
                            "' holds a character not allowed in sheet names (: \\ / ? * [ ])");
  if (name.front() == u'\'' || name.back() == u'\'')
    throw platform::Error("sheet name '" + Ascii(name) + "' starts or ends with an apostrophe");
}

Worksheet& Workbook::AddSheet(std::u16string_view name) {
  CheckSheetName(name);
  if (m_impl->NameTaken(name)) throw platform::Error("the workbook already has a sheet named '" + Ascii(name) + "'");
  bool first = m_impl->sheets.empty();
  SheetEntry e;
  e.name = std::u16string(name);
  std::vector<std::uint8_t> data = {0, 0, 0, 0, 0, 0};  // position (set on save), visible worksheet
  AppendUnicodeString(data, name, true);
  AppendRecord(e.boundSheet, rec::kBoundSheet, data);
  auto impl = std::make_unique<Worksheet::Impl>();
  impl->book = &m_impl->book;
  impl->name = e.name;
  impl->InitNew(first);
  e.ws = std::make_unique<Worksheet>(std::move(impl));
  m_impl->sheets.push_back(std::move(e));
  return *m_impl->sheets.back().ws;
}

}  // namespace xls
