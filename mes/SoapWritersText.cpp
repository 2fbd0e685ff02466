#include "mes/SoapWritersText.h"

#include <bit>
#include <charconv>
#include <cstring>

namespace mes {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";
constexpr std::size_t kBase64GroupsPerLine = 19;  // 76 characters

// The two upper-case hex digits of every byte value, so that a code unit is
// written with two table reads instead of four shifts.
struct HexPairs {
  char pair[256][2];
  std::uint16_t packed[256];  // the same two digits, first in the low byte
  constexpr HexPairs() : pair(), packed() {
    for (int i = 0; i < 256; ++i) {
      pair[i][0] = kHex[i >> 4];
      pair[i][1] = kHex[i & 0xF];
      packed[i] = static_cast<std::uint16_t>(static_cast<unsigned char>(kHex[i >> 4]) |
                                             static_cast<unsigned char>(kHex[i & 0xF]) << 8);
    }
  }
};
constexpr HexPairs kHexPairs;

constexpr bool IsHigh(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
constexpr bool IsLow(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

// "&#x" + four hex digits + ";", assembled in a register and stored at once.
char* PutUnitReference(char* p, char16_t unit) {
  if constexpr (std::endian::native == std::endian::little) {
    const std::uint64_t frame = 0x3B00000000782326ull;  // '&' '#' 'x' . . . . ';'
    const std::uint64_t ref =
        frame | std::uint64_t{kHexPairs.packed[unit >> 8]} << 24 | std::uint64_t{kHexPairs.packed[unit & 0xFF]} << 40;
    std::memcpy(p, &ref, 8);
  } else {
    std::memcpy(p, "&#x", 3);
    std::memcpy(p + 3, kHexPairs.pair[unit >> 8], 2);
    std::memcpy(p + 5, kHexPairs.pair[unit & 0xFF], 2);
    p[7] = ';';
  }
  return p + 8;
}

// "&#x" + six hex digits + ";".
char* PutCodePointReference(char* p, std::uint32_t cp) {
  std::memcpy(p, "&#x", 3);
  std::memcpy(p + 3, kHexPairs.pair[(cp >> 16) & 0xFF], 2);
  std::memcpy(p + 5, kHexPairs.pair[(cp >> 8) & 0xFF], 2);
  std::memcpy(p + 7, kHexPairs.pair[cp & 0xFF], 2);
  p[9] = ';';
  return p + 10;
}

template <std::size_t N>
char* PutLiteral(char* p, const char (&s)[N]) {
  std::memcpy(p, s, N - 1);
  return p + N - 1;
}

}  // namespace

char16_t XmlCharacterFor(char16_t unit) {
  if (unit < 0x20) return unit == u'\t' || unit == u'\n' || unit == u'\r' ? unit : char16_t(0x2400 + unit);
  if ((unit >= 0xD800 && unit <= 0xDFFF) || unit >= 0xFFFE) return u'\uFFFD';
  return unit;
}

char* EscapeTextTo(char* p, std::u16string_view text, bool quotes) {
  const char16_t* s = text.data();
  const char16_t* const end = s + text.size();
  while (s < end) {
    const char16_t c = *s++;
    if (c >= 0x20 && c <= 0x7E) {
      switch (c) {
        case u'&':
          p = PutLiteral(p, "&amp;");
          break;
        case u'<':
          p = PutLiteral(p, "&lt;");
          break;
        case u'>':
          p = PutLiteral(p, "&gt;");
          break;
        case u'"':
          if (quotes)
            p = PutLiteral(p, "&quot;");
          else
            *p++ = '"';
          break;
        case u'\'':
          if (quotes)
            p = PutLiteral(p, "&apos;");
          else
            *p++ = '\'';
          break;
        default:
          *p++ = static_cast<char>(c);
      }
    } else if (c >= 0x80 && c < 0xD800) {
      // The bulk of a Chinese text: no stand-in is ever needed here.
      p = PutUnitReference(p, c);
    } else if (IsHigh(c) && s < end && IsLow(*s)) {
      const std::uint32_t cp = (static_cast<std::uint32_t>(c) - 0xD800) * 0x400 + (*s++ - 0xDC00) + 0x10000;
      p = PutCodePointReference(p, cp);
    } else {
      p = PutUnitReference(p, XmlCharacterFor(c));
    }
  }
  return p;
}

void AppendEscapedText(std::string& out, std::u16string_view text, bool quotes) {
  const std::size_t at = out.size();
  out.resize(at + text.size() * kMaxEscapedBytesPerUnit);
  char* const end = EscapeTextTo(out.data() + at, text, quotes);
  out.resize(static_cast<std::size_t>(end - out.data()));
}

std::size_t Base64Length(std::size_t size) {
  const std::size_t groups = size / 3;
  return groups * 4 + groups / kBase64GroupsPerLine * 2 + (size % 3 ? 4 : 0);
}

void AppendBase64(std::string& out, const unsigned char* data, std::size_t size) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::size_t groups = size / 3;
  std::size_t rest = size % 3;
  std::size_t at = out.size();
  out.resize(at + Base64Length(size));
  char* p = out.data() + at;
  const unsigned char* s = data;
  for (std::size_t g = 0; g < groups; ++g, s += 3) {
    std::uint32_t v = (std::uint32_t{s[0]} << 16) | (std::uint32_t{s[1]} << 8) | s[2];
    *p++ = kAlphabet[v >> 18];
    *p++ = kAlphabet[(v >> 12) & 0x3F];
    *p++ = kAlphabet[(v >> 6) & 0x3F];
    *p++ = kAlphabet[v & 0x3F];
    if ((g + 1) % kBase64GroupsPerLine == 0) {
      *p++ = '\r';
      *p++ = '\n';
    }
  }
  if (rest) {
    std::uint32_t v = std::uint32_t{s[0]} << 16;
    if (rest == 2) v |= std::uint32_t{s[1]} << 8;
    *p++ = kAlphabet[v >> 18];
    *p++ = kAlphabet[(v >> 12) & 0x3F];
    *p++ = rest == 2 ? kAlphabet[(v >> 6) & 0x3F] : '=';
    *p++ = '=';
  }
}

void AppendInt(std::string& out, std::int64_t value) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, r.ptr);
}

}  // namespace mes
