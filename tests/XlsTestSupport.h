// Shared helpers of the workbook engine tests: fixture paths, UTF-8 texts, temp
// files, and a whole sheet as a table of texts.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "spreadsheet/xls/Workbook.h"

inline std::string XlsFixture(const std::string& name) {
    const char* dir = std::getenv("MONITOR_FIXTURES_DIR");
    return std::string(dir ? dir : "../shared/fixtures") + "/xls/" + name;
}

inline std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline std::string ToUtf8(std::u16string_view s) {
    std::string o;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size()) c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
        if (c < 0x80) {
            o += static_cast<char>(c);
        } else if (c < 0x800) {
            o += static_cast<char>(0xC0 | (c >> 6));
            o += static_cast<char>(0x80 | (c & 63));
        } else if (c < 0x10000) {
            o += static_cast<char>(0xE0 | (c >> 12));
            o += static_cast<char>(0x80 | ((c >> 6) & 63));
            o += static_cast<char>(0x80 | (c & 63));
        } else {
            o += static_cast<char>(0xF0 | (c >> 18));
            o += static_cast<char>(0x80 | ((c >> 12) & 63));
            o += static_cast<char>(0x80 | ((c >> 6) & 63));
            o += static_cast<char>(0x80 | (c & 63));
        }
    }
    return o;
}

inline std::u16string FromUtf8(std::u8string_view s) {
    std::u16string o;
    for (std::size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        char32_t cp;
        int n;
        if (c < 0x80) cp = c, n = 1;
        else if (c < 0xE0) cp = c & 0x1F, n = 2;
        else if (c < 0xF0) cp = c & 0x0F, n = 3;
        else cp = c & 0x07, n = 4;
        for (int k = 1; k < n && i + k < s.size(); ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 63);
        i += n;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            o += static_cast<char16_t>(0xD800 + (cp >> 10));
            o += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            o += static_cast<char16_t>(cp);
        }
    }
    return o;
}

// The sheet's used range as UTF-8 texts (CellText).
inline std::vector<std::vector<std::string>> SheetTexts(const xls::Worksheet& ws) {
    std::vector<std::vector<std::string>> rows;
    for (int r = 0; r < ws.RowCount(); ++r) {
        std::vector<std::string> row;
        for (const auto& t : ws.RowTexts(r)) row.push_back(ToUtf8(t));
        rows.push_back(std::move(row));
    }
    return rows;
}

// Drops trailing empty cells and trailing empty rows, as readers differ there.
inline std::vector<std::vector<std::string>> Trimmed(std::vector<std::vector<std::string>> rows) {
    for (auto& r : rows)
        while (!r.empty() && r.back().empty()) r.pop_back();
    while (!rows.empty() && rows.back().empty()) rows.pop_back();
    return rows;
}

// A file name in a fresh private directory, removed with the object.
class XlsTempDir {
public:
    XlsTempDir() {
        char tmpl[] = "/tmp/xls-test-XXXXXX";
        dir_ = ::mkdtemp(tmpl) ? tmpl : "/tmp";
    }
    ~XlsTempDir() { std::system(("rm -rf '" + dir_ + "'").c_str()); }
    std::string File(const std::string& name) const { return dir_ + "/" + name; }
    const std::string& path() const { return dir_; }

private:
    std::string dir_;
};
