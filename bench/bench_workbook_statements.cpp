// Figures for the workbook engine behind the database layer, on a sheet of
// 20,000 rows x 20 text columns: the spreadsheet accessor's whole-sheet commit
// (DROP, CREATE and one INSERT per row in one transaction), reading the sheet
// back, and appending one row to it.
#include "platform/Database.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

using platform::CDatabase;
using platform::CRecordset;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRows = 20000;
constexpr int kColumns = 20;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

std::string Connect(const std::string& path) {
    return std::string("DRIVER={") + platform::WorkbookDriverName() +
           "};DSN='';FIRSTROWHASNAMES=1;READONLY=FALSE;CREATE_DB=\"" + path + "\";DBQ=" + path;
}

}  // namespace

int main() {
    char pattern[] = "/tmp/bench-workbook-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        return 1;
    const std::string dir = pattern;
    const std::string book = dir + "/PCB.xls";

    std::string columns;
    std::string create = "CREATE TABLE [Bench$A1:IV65536] (";
    for (int c = 0; c < kColumns; ++c) {
        std::string name = "[Item" + std::to_string(c) + "]";
        columns += name + (c + 1 < kColumns ? ", " : "");
        create += name + " char(255)" + (c + 1 < kColumns ? ", " : ")");
    }

    try {
        {
            CDatabase db;
            db.OpenEx(Connect(book), CDatabase::noOdbcDialog);
            db.ExecuteSQL("CREATE TABLE [Bench] ([Item0] char(255))");
        }

        CDatabase db;
        auto t0 = Clock::now();
        db.OpenEx(Connect(book), CDatabase::noOdbcDialog);
        db.BeginTrans();
        db.ExecuteSQL("DROP TABLE [Bench$A1:IV65536]");
        db.ExecuteSQL(create);
        for (int r = 1; r <= kRows; ++r) {
            std::string insert = "INSERT INTO [Bench$A1:IV" + std::to_string(r) + "] (" + columns + ") VALUES (";
            for (int c = 0; c < kColumns; ++c)
                insert += "'value " + std::to_string(r) + "-" + std::to_string(c) + "'" + (c + 1 < kColumns ? ", " : ")");
            db.ExecuteSQL(insert);
        }
        auto t1 = Clock::now();
        db.CommitTrans();
        db.Close();
        auto t2 = Clock::now();

        db.OpenEx(Connect(book), CDatabase::noOdbcDialog);
        auto t3 = Clock::now();
        CRecordset rs(&db);
        rs.Open(CRecordset::forwardOnly, "SELECT * FROM [Bench$A1:IV65536]", CRecordset::readOnly);
        long cells = 0;
        std::string value;
        for (; !rs.IsEOF(); rs.MoveNext())
            for (short c = 0; c < rs.GetODBCFieldCount(); ++c) {
                rs.GetFieldValue(c, value);
                ++cells;
            }
        rs.Close();
        db.Close();
        auto t4 = Clock::now();

        db.OpenEx(Connect(book), CDatabase::noOdbcDialog);
        db.ExecuteSQL("INSERT INTO [Bench$A1:IV1] ([Item0], [Item1]) VALUES ('appended', 'row')");
        db.Close();
        auto t5 = Clock::now();

        std::printf("workbook engine, sheet of %d rows x %d text columns (%.1f MB file)\n", kRows, kColumns,
                    double(std::filesystem::file_size(book)) / 1e6);
        std::printf("  %-52s %9.1f ms\n", "DROP + CREATE + 20,000 INSERTs in a transaction", Ms(t1 - t0));
        std::printf("  %-52s %9.1f ms\n", "CommitTrans (write new file, flush, rename)", Ms(t2 - t1));
        std::printf("  %-52s %9.1f ms\n", "open + SELECT * reading every field", Ms(t4 - t2));
        std::printf("  %-52s %9.1f ms   (%ld fields)\n", "  of which SELECT * and reading", Ms(t4 - t3), cells);
        std::printf("  %-52s %9.1f ms\n", "open + one INSERT written at once + close", Ms(t5 - t4));
    } catch (const platform::CDBException& e) {
        std::fprintf(stderr, "database error: %s\n", e.m_strError.c_str());
        std::filesystem::remove_all(dir);
        return 1;
    }
    std::filesystem::remove_all(dir);
    return 0;
}
