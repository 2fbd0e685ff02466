// Runs the independent readers (python3-xlrd, LibreOffice Calc) on a workbook
// through the scripts in tests/peers and gives back what they saw, sheet by sheet.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

// UTF-8 literals (char8_t in C++20) as the std::string texts the readers give back.
inline std::string U8(std::u8string_view text) {
  return std::string(text.begin(), text.end());
}

struct PeerSheet {
  std::string name;                            // UTF-8
  std::vector<std::vector<std::string>> rows;  // cells as printed by the script
};

struct PeerBook {
  std::string refusal;  // the reader's message when it refused the file
  std::vector<PeerSheet> sheets;

  const PeerSheet* Find(const std::string& name) const {
    auto found = std::find_if(sheets.begin(), sheets.end(), [&](const PeerSheet& s) { return s.name == name; });
    return found == sheets.end() ? nullptr : &*found;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& s : sheets) names.push_back(s.name);
    return names;
  }
  // A sheet's cells without xlrd's type letter ("Tabc" -> "abc"); none if missing.
  std::vector<std::vector<std::string>> Texts(const std::string& name) const {
    const PeerSheet* sheet = Find(name);
    auto rows = sheet ? sheet->rows : std::vector<std::vector<std::string>>{};
    for (auto& row : rows)
      for (auto& cell : row) cell = cell.empty() ? cell : cell.substr(1);
    return rows;
  }
};

// The script's JSON: {"sheets": [{"name", "rows"}]} or {"refusal"}.
inline PeerBook RunPeerScript(const std::string& script, const std::string& path) {
  std::string dir = std::getenv("MONITOR_SOURCE_DIR") ? std::getenv("MONITOR_SOURCE_DIR") : ".";
  std::string command = "/usr/bin/python3 '" + dir + "/tests/peers/" + script + "' '" + path + "' 2>/dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return {"cannot run " + script, {}};
  std::string output;
  char buf[65536];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) output.append(buf, n);
  ::pclose(pipe);
  const nlohmann::json json = nlohmann::json::parse(output, nullptr, false);
  if (json.is_discarded() || !json.is_object()) return {"no readable output from " + script, {}};
  PeerBook book{json.value("refusal", ""), {}};
  for (const auto& sheet : json.value("sheets", nlohmann::json::array()))
    book.sheets.push_back({sheet.at("name").get<std::string>(), sheet.at("rows").get<decltype(PeerSheet::rows)>()});
  if (book.sheets.empty() && book.refusal.empty()) book.refusal = "no sheet from " + script;
  return book;
}

inline PeerBook XlrdRead(const std::string& path) {
  return RunPeerScript("xls_xlrd_dump.py", path);
}
inline PeerBook LibreOfficeRead(const std::string& path) {
  return RunPeerScript("xls_lo_dump.py", path);
}
