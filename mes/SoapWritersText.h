// Value forms of the SOAP request writer: escaped text, Base64, integers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mes {

// Text escaping to pure 7-bit ASCII: "&", "<", ">" as entities, U+0020..U+007E
// unchanged, a surrogate pair as "&#x" + six hex digits + ";", every other code
// unit as "&#x" + four hex digits + ";". With quotes set, '"' and '\'' become
// "&quot;"/"&apos;".
//
// Code units XML 1.0 cannot carry, not even as a reference, are replaced by a
// visible stand-in before escaping, so that a strict server does not refuse the
// whole document: C0 controls other than TAB, LF and CR by their control
// picture (U+2400 + unit, so ESC is U+241B), U+FFFE, U+FFFF and unpaired
// surrogates by U+FFFD. Every stand-in is escaped like any other character.

// No code unit produces more than this many bytes.
inline constexpr std::size_t kMaxEscapedBytesPerUnit = 8;

// The stand-in for a single code unit that is not half of a surrogate pair
// (the unit itself when XML 1.0 allows it).
char16_t XmlCharacterFor(char16_t unit);

// Writes the escaped text at out, which must have room for
// kMaxEscapedBytesPerUnit bytes per code unit; returns the end of what it wrote.
char* EscapeTextTo(char* out, std::u16string_view text, bool quotes = false);

// Appends the escaped text.
void AppendEscapedText(std::string& out, std::u16string_view text, bool quotes = false);

// Appends standard Base64 in lines of 76 characters, CR LF after every full
// line of whole groups; the padded final group of 1 or 2 bytes comes last.
void AppendBase64(std::string& out, const unsigned char* data, std::size_t size);
// The number of bytes AppendBase64 appends.
std::size_t Base64Length(std::size_t size);

// Decimal digits, "-" for negatives, no padding.
void AppendInt(std::string& out, std::int64_t value);

}  // namespace mes
