#include "platform/TextCodec.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

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
      throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
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
std::string Convert(const char* to, const char* from, const char* in, std::size_t inLen,
                    std::size_t unit, std::string_view replacement) {
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

}  // namespace

std::u16string GbkToUtf16(std::string_view gbk) {
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
  for (std::size_t at = haystack.find(needle, from); at != std::string_view::npos;
       at = haystack.find(needle, at + 1)) {
    while (boundary < at) {
      const unsigned char c = static_cast<unsigned char>(haystack[boundary]);
      boundary += (c >= 0x81 && c <= 0xFE && boundary + 1 < haystack.size()) ? 2 : 1;
    }
    if (boundary == at) return at;
  }
  return std::string::npos;
}

}  // namespace platform
