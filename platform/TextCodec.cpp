#include "platform/TextCodec.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/Error.h"

namespace platform {
namespace {

// Opening a converter costs far more than a short conversion, so each thread
// keeps the few it uses open.
class ConverterCache {
 public:
  ~ConverterCache() {
    for (Entry& e : m_entries) iconv_close(e.cd);
  }
  iconv_t Get(const char* to, const char* from) {
    for (Entry& e : m_entries) {
      if (std::strcmp(e.to, to) == 0 && std::strcmp(e.from, from) == 0) return e.cd;
    }
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
      throw Error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    m_entries.push_back({to, from, cd});
    return cd;
  }

 private:
  struct Entry {
    const char* to;
    const char* from;
    iconv_t cd;
  };
  std::vector<Entry> m_entries;
};

// One conversion through iconv. Invalid or unconvertible input is replaced by
// `replacement` (already in the target encoding) and the offending input unit
// skipped, so a conversion always completes.
std::string Convert(const char* to, const char* from, const char* in, std::size_t inLen, std::size_t unit,
                    std::string_view replacement) {
  thread_local ConverterCache cache;
  iconv_t cd = cache.Get(to, from);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // fresh shift state
  std::string out;
  out.reserve(inLen * 2);
  char buf[4096];
  char* src = const_cast<char*>(in);
  std::size_t left = inLen;
  while (left > 0) {
    char* dst = buf;
    std::size_t room = sizeof buf;
    std::size_t rc = iconv(cd, &src, &left, &dst, &room);
    out.append(buf, dst - buf);
    if (rc == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL (truncated sequence at the end): replace one unit.
      out.append(replacement);
      std::size_t skip = left < unit ? left : unit;
      src += skip;
      left -= skip;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  char* dst = buf;
  std::size_t room = sizeof buf;
  iconv(cd, nullptr, nullptr, &dst, &room);
  out.append(buf, dst - buf);
  return out;
}

std::u16string BytesToU16(const std::string& bytes) {
  std::u16string s(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < s.size(); ++i) {
    s[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                 (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  return s;
}

std::string U16ToBytes(std::u16string_view s) {
  std::string bytes(s.size() * 2, '\0');
  for (std::size_t i = 0; i < s.size(); ++i) {
    bytes[2 * i] = static_cast<char>(s[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(s[i] >> 8);
  }
  return bytes;
}

const std::string_view kU16Replacement("\xFD\xFF", 2);  // U+FFFD little-endian

// GBK decoding by table: iconv's own reading of every single byte and every
// byte pair, asked once per process. GBK is stateless, so iconv reads a text
// the same way one character at a time: a byte pair it reads as one character
// is that character, otherwise the first byte alone is a character or is
// replaced by U+FFFD, and reading goes on with the next byte.
class GbkDecodeTable {
 public:
  static const GbkDecodeTable* Get() {
    static const std::unique_ptr<GbkDecodeTable> table = Build();
    return table.get();
  }

  // Decodes the whole text; bytes iconv cannot read become U+FFFD.
  std::u16string Decode(std::string_view gbk) const {
    std::u16string out(gbk.size(), u'\0');
    char16_t* p = out.data();
    const auto* s = reinterpret_cast<const unsigned char*>(gbk.data());
    const auto* const end = s + gbk.size();
    while (s < end) {
      const unsigned char b = *s;
      if (s + 1 < end && m_pair[b][s[1]] != 0) {
        *p++ = m_pair[b][s[1]];
        s += 2;
      } else {
        *p++ = m_single[b] >= 0 ? static_cast<char16_t>(m_single[b]) : u'\uFFFD';
        ++s;
      }
    }
    out.resize(static_cast<std::size_t>(p - out.data()));
    return out;
  }

 private:
  // Null when iconv reads GBK in a way the table cannot hold (a pair read as
  // two characters, say); the conversions then go through iconv directly.
  static std::unique_ptr<GbkDecodeTable> Build() {
    auto table = std::make_unique<GbkDecodeTable>();
    iconv_t cd = iconv_open("UTF-16LE", "GBK");
    if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
    const bool ok = table->Fill(cd);
    iconv_close(cd);
    if (!ok) return nullptr;
    return table;
  }

  bool Fill(iconv_t cd) {
    for (int b = 0; b < 256; ++b) {
      char in = static_cast<char>(b);
      char16_t unit = 0;
      m_single[b] = DecodeOne(cd, &in, 1, &unit) ? unit : -1;
    }
    // Every pair of a first byte in one buffer: iconv reads the good pairs in
    // one go and stops at each one it cannot read, which is then skipped.
    for (int b = 0; b < 256; ++b) {
      if (m_single[b] >= 0) continue;  // a character alone never starts a pair
      char pairs[512];
      for (int t = 0; t < 256; ++t) {
        pairs[2 * t] = static_cast<char>(b);
        pairs[2 * t + 1] = static_cast<char>(t);
      }
      char* src = pairs;
      std::size_t left = sizeof pairs;
      while (left > 0) {
        char16_t units[256];
        char* dst = reinterpret_cast<char*>(units);
        std::size_t room = sizeof units;
        const char* from = src;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        const std::size_t rc = iconv(cd, &src, &left, &dst, &room);
        const std::size_t consumed = static_cast<std::size_t>(src - from);
        const std::size_t produced = static_cast<std::size_t>(dst - reinterpret_cast<char*>(units)) / 2;
        if (consumed % 2 != 0 || consumed / 2 != produced) return false;
        const std::size_t first = static_cast<std::size_t>(from - pairs) / 2;
        for (std::size_t k = 0; k < produced; ++k) {
          // Read from the bytes: the buffer holds UTF-16LE whatever the host order.
          const auto* u = reinterpret_cast<const unsigned char*>(units) + 2 * k;
          const char16_t c = static_cast<char16_t>(u[0] | u[1] << 8);
          if (c == 0) return false;  // 0 marks a pair that is no character
          m_pair[b][first + k] = c;
        }
        if (rc == static_cast<std::size_t>(-1)) {
          if (errno == E2BIG) continue;
          src += 2;  // this pair is no character; its entry stays 0
          left -= 2;
        }
      }
    }
    return true;
  }

  // True when iconv reads exactly one UTF-16 unit from the whole input.
  static bool DecodeOne(iconv_t cd, char* in, std::size_t length, char16_t* unit) {
    unsigned char out[8];
    char* dst = reinterpret_cast<char*>(out);
    std::size_t room = sizeof out;
    std::size_t left = length;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &in, &left, &dst, &room) == static_cast<std::size_t>(-1) || left != 0) return false;
    if (dst - reinterpret_cast<char*>(out) != 2) return false;
    *unit = static_cast<char16_t>(out[0] | out[1] << 8);
    return true;
  }

  std::int32_t m_single[256] = {};  // -1: the byte alone is no character
  char16_t m_pair[256][256] = {};   // 0: the pair is no character
};

}  // namespace

std::u16string GbkToUtf16(std::string_view gbk) {
  if (const GbkDecodeTable* table = GbkDecodeTable::Get()) return table->Decode(gbk);
  return BytesToU16(Convert("UTF-16LE", "GBK", gbk.data(), gbk.size(), 1, kU16Replacement));
}

std::string Utf16ToGbk(std::u16string_view utf16) {
  std::string bytes = U16ToBytes(utf16);
  return Convert("GBK", "UTF-16LE", bytes.data(), bytes.size(), 2, "?");
}

std::string GbkToUtf8(std::string_view gbk) {
  return Convert("UTF-8", "GBK", gbk.data(), gbk.size(), 1, "\xEF\xBF\xBD");
}

std::string Utf8ToGbk(std::string_view utf8) {
  return Convert("GBK", "UTF-8", utf8.data(), utf8.size(), 1, "?");
}

std::string Gbk(std::u8string_view utf8) {
  return Utf8ToGbk(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}

std::string GbkWithStrayBytesMarked(std::string_view gbk) {
  if (GbkToUtf16(gbk).find(u'\uFFFD') == std::u16string::npos) return std::string(gbk);
  // Decided one character at a time, as the converter skips one byte after
  // each byte it cannot decode.
  std::string out;
  out.reserve(gbk.size());
  for (std::size_t i = 0; i < gbk.size();) {
    unsigned char c = static_cast<unsigned char>(gbk[i]);
    std::size_t length = c >= 0x81 && c <= 0xFE && i + 1 < gbk.size() ? 2 : 1;
    std::string_view character = gbk.substr(i, length);
    std::u16string decoded = c < 0x80 ? u"x" : GbkToUtf16(character);
    if (decoded.size() == 1 && decoded[0] != u'\uFFFD') {
      out.append(character);
      i += length;
    } else {
      out.push_back('\xFF');
      ++i;
    }
  }
  return out;
}

bool GbkIsCharStart(std::string_view text, std::size_t pos) {
  std::size_t i = 0;
  while (i < pos) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    i += (c >= 0x81 && c <= 0xFE && i + 1 < text.size()) ? 2 : 1;
  }
  return i == pos;
}

std::size_t GbkFind(std::string_view haystack, std::string_view needle, std::size_t from) {
  if (needle.empty()) return from <= haystack.size() ? from : std::string::npos;
  // The library search finds the candidates; the character walk only decides
  // whether a candidate starts on a character, and never goes back.
  std::size_t boundary = 0;
  for (std::size_t at = haystack.find(needle, from); at != std::string_view::npos; at = haystack.find(needle, at + 1)) {
    while (boundary < at) {
      const unsigned char c = static_cast<unsigned char>(haystack[boundary]);
      boundary += (c >= 0x81 && c <= 0xFE && boundary + 1 < haystack.size()) ? 2 : 1;
    }
    if (boundary == at) return at;
  }
  return std::string::npos;
}

}  // namespace platform
