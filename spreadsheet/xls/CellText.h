#pragma once

// How a cell's value reads as text: numbers in their shortest form, dates and
// times as ISO texts, and which number formats show dates.

#include <cstdint>
#include <string>
#include <string_view>

namespace xls {

enum class DateKind : std::uint8_t { None, Date, Time, DateTime };

// What a number format (a built-in id with its format text, when the workbook
// defines one) shows a number as.
DateKind ClassifyBuiltinFormat(std::uint16_t formatId);
DateKind ClassifyFormatText(std::u16string_view format);

// 15 significant digits at most, no trailing zeros: "12.5", "3", "1e+20".
std::u16string NumberText(double value);
// A date serial number of the 1900 (or 1904) date system as text.
std::u16string DateText(double serial, bool date1904, DateKind kind);

}  // namespace xls
