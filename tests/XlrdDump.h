// Reads a workbook with python3-xlrd, an independent reader, so tests check
// what other programs will see. Texts come back as UTF-8.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// UTF-8 literals (char8_t in C++20) as the std::string texts xlrd gives back.
inline std::string U8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

struct XlrdBook {
  bool ok = false;
  std::string error;
  std::vector<std::string> sheetNames;
  std::map<std::string, std::vector<std::vector<std::string>>> rows;  // by sheet name
};

inline XlrdBook XlrdDump(const std::string& path) {
  static const char kScript[] = R"PY(
import sys, xlrd
def esc(s):
    return s.replace('\\', '\\\\').replace('\t', '\\t').replace('\n', '\\n').replace('\r', '\\r')
def text(c):
    if c.ctype == xlrd.XL_CELL_NUMBER:
        v = c.value
        return repr(int(v)) if v == int(v) else repr(v)
    return str(c.value)
try:
    b = xlrd.open_workbook(sys.argv[1])
except Exception as e:
    sys.stdout.write('E\t' + esc(str(e)) + '\n'); sys.exit(0)
for s in b.sheets():
    sys.stdout.write('S\t' + esc(s.name) + '\n')
    for r in range(s.nrows):
        sys.stdout.write('R' + ''.join('\t' + esc(text(c)) for c in s.row(r)) + '\n')
)PY";
  XlrdBook book;
  std::string command = "/usr/bin/python3 -c '";
  for (const char* p = kScript; *p; ++p) {
    if (*p == '\'')
      command += "'\\''";
    else
      command += *p;
  }
  command += "' '" + path + "' 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) {
    book.error = "popen failed";
    return book;
  }
  std::string out;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
  ::pclose(pipe);

  auto unescape = [](const std::string& s) {
    std::string r;
    for (std::size_t i = 0; i < s.size(); ++i) {
      if (s[i] == '\\' && i + 1 < s.size()) {
        char c = s[++i];
        r += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
      } else {
        r += s[i];
      }
    }
    return r;
  };
  std::string current;
  std::size_t pos = 0;
  book.ok = true;
  while (pos < out.size()) {
    std::size_t end = out.find('\n', pos);
    if (end == std::string::npos) end = out.size();
    std::string line = out.substr(pos, end - pos);
    pos = end + 1;
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
      std::size_t tab = line.find('\t', start);
      fields.push_back(unescape(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start)));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    if (fields[0] == "S" && fields.size() == 2) {
      current = fields[1];
      book.sheetNames.push_back(current);
      book.rows[current];
    } else if (fields[0] == "R") {
      book.rows[current].emplace_back(fields.begin() + 1, fields.end());
    } else {
      book.ok = false;
      book.error += line + "\n";
    }
  }
  return book;
}
