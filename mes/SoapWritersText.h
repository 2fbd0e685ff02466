// Value forms of the SOAP request writer: escaped text, Base64, integers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Appends the text escaped to pure 7-bit ASCII: "&", "<", ">" as entities,
// U+0020..U+007E unchanged, a surrogate pair as "&#x" + six hex digits + ";",
// every other code unit (controls, U+007F up, unpaired surrogates) as "&#x" +
// four hex digits + ";". With quotes set, '"' and '\'' become "&quot;"/"&apos;".
void AppendEscapedText(std::string& out, std::u16string_view text, bool quotes = false);

// Appends standard Base64 in lines of 76 characters, CR LF after every full
// line of whole groups; the padded final group of 1 or 2 bytes comes last.
void AppendBase64(std::string& out, const unsigned char* data, std::size_t size);

// Decimal digits, "-" for negatives, no padding.
void AppendInt(std::string& out, std::int64_t value);
