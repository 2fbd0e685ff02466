#include "mes/SoapWritersText.h"

#include <charconv>

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

// Output length of one code unit (or pair); 0 for the low half of a pair.
std::size_t EscapedLength(char16_t c, bool pairedHigh, bool quotes) {
  if (c == u'&') return 5;
  if (c == u'<' || c == u'>') return 4;
  if (quotes && (c == u'"' || c == u'\'')) return 6;
  if (c >= 0x20 && c <= 0x7E) return 1;
  if (pairedHigh) return 10;  // "&#x" + 6 digits + ";"
  return 8;                   // "&#x" + 4 digits + ";"
}

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

char* PutHex(char* p, std::uint32_t value, int digits) {
  *p++ = '&';
  *p++ = '#';
  *p++ = 'x';
  for (int i = digits - 1; i >= 0; --i) *p++ = kHex[(value >> (4 * i)) & 0xF];
  *p++ = ';';
  return p;
}

char* PutLiteral(char* p, std::string_view s) {
  for (char c : s) *p++ = c;
  return p;
}

}  // namespace

void AppendEscapedText(std::string& out, std::u16string_view text, bool quotes) {
  // Measure first so the output grows once: long Chinese texts grow eightfold.
  std::size_t n = text.size();
  std::size_t need = 0;
  for (std::size_t i = 0; i < n; ++i) {
    char16_t c = text[i];
    bool paired = IsHigh(c) && i + 1 < n && IsLow(text[i + 1]);
    need += EscapedLength(c, paired, quotes);
    if (paired) ++i;
  }
  std::size_t at = out.size();
  out.resize(at + need);
  char* p = out.data() + at;
  for (std::size_t i = 0; i < n; ++i) {
    char16_t c = text[i];
    if (c >= 0x20 && c <= 0x7E) {
      switch (c) {
        case u'&': p = PutLiteral(p, "&amp;"); break;
        case u'<': p = PutLiteral(p, "&lt;"); break;
        case u'>': p = PutLiteral(p, "&gt;"); break;
        case u'"': p = quotes ? PutLiteral(p, "&quot;") : (*p = '"', p + 1); break;
        case u'\'': p = quotes ? PutLiteral(p, "&apos;") : (*p = '\'', p + 1); break;
        default: *p++ = static_cast<char>(c);
      }
    } else if (IsHigh(c) && i + 1 < n && IsLow(text[i + 1])) {
      std::uint32_t cp = (static_cast<std::uint32_t>(c) - 0xD800) * 0x400 + (text[i + 1] - 0xDC00) + 0x10000;
      p = PutHex(p, cp, 6);
      ++i;
    } else {
      p = PutHex(p, c, 4);
    }
  }
}

void AppendBase64(std::string& out, const unsigned char* data, std::size_t size) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  constexpr std::size_t kGroupsPerLine = 19;  // 76 characters
  std::size_t groups = size / 3;
  std::size_t rest = size % 3;
  std::size_t fullLines = groups / kGroupsPerLine;
  std::size_t at = out.size();
  out.resize(at + groups * 4 + fullLines * 2 + (rest ? 4 : 0));
  char* p = out.data() + at;
  const unsigned char* s = data;
  for (std::size_t g = 0; g < groups; ++g, s += 3) {
    std::uint32_t v = (std::uint32_t{s[0]} << 16) | (std::uint32_t{s[1]} << 8) | s[2];
    *p++ = kAlphabet[v >> 18];
    *p++ = kAlphabet[(v >> 12) & 0x3F];
    *p++ = kAlphabet[(v >> 6) & 0x3F];
    *p++ = kAlphabet[v & 0x3F];
    if ((g + 1) % kGroupsPerLine == 0) {
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
