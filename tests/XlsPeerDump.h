// Runs the independent readers (python3-xlrd, LibreOffice Calc) on a workbook
// through the scripts in tests/peers and gives back what they saw, sheet by sheet.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

struct PeerSheet {
    std::string name;                             // UTF-8
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
};

inline std::string PeerUnescape(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        char c = s[++i];
        out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return out;
}

inline PeerBook RunPeerScript(const std::string& script, const std::string& path) {
    std::string dir = std::getenv("MONITOR_SOURCE_DIR") ? std::getenv("MONITOR_SOURCE_DIR") : ".";
    std::string command = "/usr/bin/python3 '" + dir + "/tests/peers/" + script + "' '" + path + "' 2>/dev/null";
    PeerBook book;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        book.refusal = "cannot run " + script;
        return book;
    }
    std::string output;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) output.append(buf, n);
    ::pclose(pipe);
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        std::string line = output.substr(start, end - start);
        start = end + 1;
        std::vector<std::string> fields;
        std::size_t f = 0;
        for (;;) {
            std::size_t tab = line.find('\t', f);
            fields.push_back(line.substr(f, tab == std::string::npos ? std::string::npos : tab - f));
            if (tab == std::string::npos) break;
            f = tab + 1;
        }
        if (fields[0] == "X") {
            book.refusal = fields.size() > 1 ? PeerUnescape(fields[1]) : "refused";
        } else if (fields[0] == "S" && fields.size() > 1) {
            book.sheets.push_back({PeerUnescape(fields[1]), {}});
        } else if (fields[0] == "R" && !book.sheets.empty()) {
            std::vector<std::string> row;
            for (std::size_t k = 1; k < fields.size(); ++k) row.push_back(PeerUnescape(fields[k]));
            book.sheets.back().rows.push_back(std::move(row));
        }
    }
    if (book.sheets.empty() && book.refusal.empty()) book.refusal = "no output from " + script;
    return book;
}

inline PeerBook XlrdRead(const std::string& path) { return RunPeerScript("xls_xlrd_dump.py", path); }
inline PeerBook LibreOfficeRead(const std::string& path) { return RunPeerScript("xls_lo_dump.py", path); }
