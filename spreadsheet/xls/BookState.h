#pragma once

// What the sheets of one workbook share: the shared-string table and the cell
// formats that decide whether a number is a date.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "spreadsheet/xls/BiffSst.h"
#include "spreadsheet/xls/CellText.h"

namespace xls {

struct BookState {
  std::vector<SstString> strings;
  std::vector<std::uint16_t> xfFormat;  // number format id of each XF
  std::vector<bool> xfIsStyle;
  std::unordered_map<std::uint16_t, DateKind> customFormats;
  bool date1904 = false;

  // The SST index of a plain string equal to `text`, appending one when there is
  // none. Existing entries never move, so stored references stay valid.
  std::uint32_t Intern(std::u16string_view text) {
    if (!m_indexed) {
      m_index.reserve(strings.size() + 16);
      for (std::size_t i = 0; i < strings.size(); ++i)
        if (strings[i].runs.empty() && strings[i].phonetic.empty())
          m_index.emplace(Hash(strings[i].text), static_cast<std::uint32_t>(i));
      m_indexed = true;
    }
    const std::size_t hash = Hash(text);
    for (auto [it, end] = m_index.equal_range(hash); it != end; ++it)
      if (strings[it->second].text == text) return it->second;
    const auto added = static_cast<std::uint32_t>(strings.size());
    strings.push_back(SstString{std::u16string(text), {}, {}});
    m_index.emplace(hash, added);
    return added;
  }

  DateKind XfDateKind(std::uint16_t xf) const {
    if (xf >= xfFormat.size()) return DateKind::None;
    std::uint16_t id = xfFormat[xf];
    auto it = customFormats.find(id);
    return it != customFormats.end() ? it->second : ClassifyBuiltinFormat(id);
  }

  // The format new cells get: the default cell format (XF 15) when it is there.
  std::uint16_t DefaultXf() const {
    if (xfIsStyle.size() > 15 && !xfIsStyle[15]) return 15;
    for (std::size_t i = 0; i < xfIsStyle.size(); ++i)
      if (!xfIsStyle[i]) return static_cast<std::uint16_t>(i);
    return 0;
  }

 private:
  static std::size_t Hash(std::u16string_view text) { return std::hash<std::u16string_view>{}(text); }
  // The plain strings by the hash of their text: the texts are not held twice.
  std::unordered_multimap<std::size_t, std::uint32_t> m_index;
  bool m_indexed = false;
};

}  // namespace xls
