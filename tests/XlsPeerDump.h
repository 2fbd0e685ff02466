// Runs the independent readers (python3-xlrd, LibreOffice Calc) on a workbook
// through the scripts in tests/peers and gives back what they saw, sheet by sheet.
#pragma once

#include <cstdio>
#include <cstdlib>
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
    for (const auto& s : sheets)
      if (s.name == name) return &s;
    return nullptr;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& s : sheets) names.push_back(s.name);
    return names;
  }
  // A sheet's cells without xlrd's type letter ("Tabc" -> "abc"); none if missing.
  std::vector<std::vector<std::string>> Texts(const std::string& name) const {
    std::vector<std::vector<std::string>> rows;
    if (const PeerSheet* s = Find(name))
      for (auto row : s->rows) {
        for (auto& cell : row) cell = cell.empty() ? cell : cell.substr(1);
        rows.push_back(std::move(row));
      }
    return rows;
  }
};

inline std::vector<std::string> PeerFields(const std::string& line) {
  std::vector<std::string> fields(1);
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\t') {
      fields.emplace_back();
    } else if (line[i] == '\\' && i + 1 < line.size()) {
      char c = line[++i];
      fields.back() += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    } else {
      fields.back() += line[i];
    }
  }
  return fields;
}

inline PeerBook RunPeerScript(const std::string& script, const std::string& path) {
  std::string dir = std::getenv("MONITOR_SOURCE_DIR") ? std::getenv("MONITOR_SOURCE_DIR") : ".";
  std::string command = "/usr/bin/python3 '" + dir + "/tests/peers/" + script + "' '" + path + "' 2>/dev/null";
  PeerBook book;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return {"cannot run " + script, {}};
  std::string output;
  char buf[65536];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) output.append(buf, n);
  ::pclose(pipe);
  for (std::size_t start = 0, end; start < output.size(); start = end + 1) {
    end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    std::vector<std::string> fields = PeerFields(output.substr(start, end - start));
    if (fields[0] == "X")
      book.refusal = fields.size() > 1 ? fields[1] : "refused";
    else if (fields[0] == "S" && fields.size() > 1)
      book.sheets.push_back({fields[1], {}});
    else if (fields[0] == "R" && !book.sheets.empty())
      book.sheets.back().rows.emplace_back(fields.begin() + 1, fields.end());
  }
  if (book.sheets.empty() && book.refusal.empty()) book.refusal = "no output from " + script;
  return book;
}

inline PeerBook XlrdRead(const std::string& path) {
  return RunPeerScript("xls_xlrd_dump.py", path);
}
inline PeerBook LibreOfficeRead(const std::string& path) {
  return RunPeerScript("xls_lo_dump.py", path);
}
