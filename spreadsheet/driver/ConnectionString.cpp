#include "spreadsheet/driver/ConnectionString.h"

#include "spreadsheet/driver/Database.h"

#include <map>

namespace spreadsheet {
namespace {

bool IsLead(unsigned char c) {
  return c >= 0x81 && c <= 0xFE;
}

std::string Upper(std::string text) {
  for (auto& c : text)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return text;
}

std::string Trim(const std::string& text) {
  auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

[[noreturn]] void Malformed(const std::string& connect, const std::string& why) {
  throw CDBException("Malformed connection string \"" + connect + "\": " + why);
}

// Reads one value starting at i (after "KEY="); leaves i on the ';' or end.
// Bytes are taken two at a time after a GBK lead byte, so a trail byte that
// looks like '}' or ';' never ends a value.
std::string ReadValue(const std::string& s, std::size_t& i, const std::string& key) {
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  std::string value;
  if (i < s.size() && (s[i] == '{' || s[i] == '"' || s[i] == '\'')) {
    char close = s[i] == '{' ? '}' : s[i];
    ++i;
    for (;;) {
      if (i >= s.size()) Malformed(s, "the value of " + key + " lacks its closing " + std::string(1, close));
      unsigned char c = static_cast<unsigned char>(s[i]);
      if (IsLead(c) && i + 1 < s.size()) {
        value.append(s, i, 2);
        i += 2;
        continue;
      }
      if (s[i] == close) {
        if (i + 1 < s.size() && s[i + 1] == close) {  // doubled: the character itself
          value += close;
          i += 2;
          continue;
        }
        ++i;
        break;
      }
      value += s[i++];
    }
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    if (i < s.size() && s[i] != ';') Malformed(s, "unexpected text after the value of " + key);
    return value;
  }
  while (i < s.size() && s[i] != ';') {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (IsLead(c) && i + 1 < s.size()) {
      value.append(s, i, 2);
      i += 2;
      continue;
    }
    value += s[i++];
  }
  return Trim(value);
}

bool ReadFlag(const std::string& connect, const std::string& key, const std::string& value) {
  std::string v = Upper(value);
  if (v == "1" || v == "TRUE" || v == "YES") return true;
  if (v == "0" || v == "FALSE" || v == "NO") return false;
  Malformed(connect, key + " must be TRUE or FALSE (1 or 0), not \"" + value + "\"");
}

}  // namespace

ConnectionSettings ParseConnectionString(const std::string& s) {
  std::map<std::string, std::string> values;
  std::size_t i = 0;
  while (i < s.size()) {
    if (s[i] == ';' || s[i] == ' ' || s[i] == '\t') {
      ++i;
      continue;
    }
    auto eq = s.find('=', i);
    auto semi = s.find(';', i);
    if (eq == std::string::npos || (semi != std::string::npos && semi < eq))
      Malformed(s, "\"" + s.substr(i, semi == std::string::npos ? std::string::npos : semi - i) +
                       "\" is not of the form KEY=value");
    std::string key = Upper(Trim(s.substr(i, eq - i)));
    if (key.empty()) Malformed(s, "a value without a key");
    i = eq + 1;
    std::string value = ReadValue(s, i, key);
    if (!values.emplace(key, value).second) Malformed(s, key + " is given twice");
  }

  ConnectionSettings settings;
  auto take = [&](const char* key, std::string& out) {
    auto it = values.find(key);
    if (it == values.end()) return false;
    out = it->second;
    return true;
  };
  take("DRIVER", settings.driver);
  take("DSN", settings.dsn);
  std::string dbq, createDb, flag;
  bool hasDbq = take("DBQ", dbq);
  settings.createIfMissing = take("CREATE_DB", createDb);
  if (settings.createIfMissing && createDb.empty()) Malformed(s, "CREATE_DB names no file");
  if (hasDbq && settings.createIfMissing && dbq != createDb) Malformed(s, "CREATE_DB and DBQ name different files");
  settings.path = hasDbq ? dbq : createDb;
  if (take("READONLY", flag)) settings.readOnly = ReadFlag(s, "READONLY", flag);
  if (take("FIRSTROWHASNAMES", flag)) settings.firstRowHasNames = ReadFlag(s, "FIRSTROWHASNAMES", flag);
  return settings;
}

}  // namespace spreadsheet
