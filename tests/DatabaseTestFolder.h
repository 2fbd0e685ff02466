// A temporary folder per database test, and small helpers around CDatabase.
#pragma once

#include "platform/Database.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

class DatabaseTestFolder {
public:
    DatabaseTestFolder() {
        std::string pattern = "/tmp/monitor-db-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~DatabaseTestFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    DatabaseTestFolder(const DatabaseTestFolder&) = delete;
    DatabaseTestFolder& operator=(const DatabaseTestFolder&) = delete;

    std::string File(const std::string& name) const { return m_path + "/" + name; }
    const std::string& Path() const { return m_path; }

    // Names in the folder, sorted.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(m_path))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string m_path;
};

// The connection string the spreadsheet accessor builds.
inline std::string WorkbookConnect(const std::string& path) {
    return std::string("DRIVER={") + platform::WorkbookDriverName() +
           "};DSN='';FIRSTROWHASNAMES=1;READONLY=FALSE;CREATE_DB=\"" + path + "\";DBQ=" + path;
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Every row of SELECT * FROM [sheet$A1:IV65536], header first.
inline std::vector<std::vector<std::string>> ReadTable(platform::CDatabase& db, const std::string& sheet) {
    platform::CRecordset rs(&db);
    rs.Open(platform::CRecordset::forwardOnly, "SELECT * FROM [" + sheet + "$A1:IV65536]", platform::CRecordset::readOnly);
    std::vector<std::vector<std::string>> rows(1);
    for (short i = 0; i < rs.GetODBCFieldCount(); ++i)
        rows[0].push_back(rs.GetFieldName(i));
    for (; !rs.IsEOF(); rs.MoveNext()) {
        rows.emplace_back();
        for (short i = 0; i < rs.GetODBCFieldCount(); ++i) {
            std::string value;
            rs.GetFieldValue(i, value);
            rows.back().push_back(value);
        }
    }
    rs.Close();
    return rows;
}
