// Conversions between the module's 8-bit GBK texts (code page 936) and Unicode.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Bytes that are not valid GBK become U+FFFD; nothing is dropped silently.
std::u16string GbkToUtf16(std::string_view gbk);
// Characters GBK cannot hold become '?'.
std::string Utf16ToGbk(std::u16string_view utf16);

std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGbk(std::string_view utf8);

// Fixed texts of the module are written in UTF-8 source and used as GBK:
// Gbk(u8"保存文件失败!") converts once per call site when kept in a static.
std::string Gbk(std::u8string_view utf8);

// The text with every byte that belongs to no valid GBK character (a stray
// byte, a lead byte without its trail byte) replaced by 0xFF, a byte that is
// never part of a GBK character: it reads as U+FFFD like the byte it stands
// for, but can no longer pair with the byte after it, so the text can be cut,
// quoted and joined with other texts at character boundaries. Valid text is
// returned as it is.
std::string GbkWithStrayBytesMarked(std::string_view gbk);

// True when the byte at pos starts a character, i.e. is not the trail byte of
// a two-byte GBK character (lead bytes are 0x81..0xFE).
bool GbkIsCharStart(std::string_view text, std::size_t pos);

// Byte-wise search that never matches starting on the second byte of a
// two-byte GBK character. Returns std::string::npos when not found.
std::size_t GbkFind(std::string_view haystack, std::string_view needle, std::size_t from = 0);

}  // namespace platform
