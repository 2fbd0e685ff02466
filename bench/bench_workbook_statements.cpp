// Figures for the workbook engine behind the database layer: the spreadsheet
// accessor's whole-sheet commit (DROP, CREATE and one INSERT per row in one
// transaction), reading the sheet back, and appending one row to it, on a
// long sheet (20,000 rows x 20 text columns) and a wide one (1,000 x 256).
#include "spreadsheet/driver/Database.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

using spreadsheet::CDatabase;
using spreadsheet::CRecordset;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

std::string Connect(const std::string& path) {
  return std::string("DRIVER={") + spreadsheet::WorkbookDriverName() +
         "};DSN='';FIRSTROWHASNAMES=1;READONLY=FALSE;CREATE_DB=\"" + path + "\";DBQ=" + path;
}

void Measure(const std::string& book, int rows, int columns) {
  std::string names;
  std::string create = "CREATE TABLE [Bench$A1:IV65536] (";
  for (int c = 0; c < columns; ++c) {
    std::string name = "[Item" + std::to_string(c) + "]";
    names += name + (c + 1 < columns ? ", " : "");
    create += name + " char(255)" + (c + 1 < columns ? ", " : ")");
  }
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
  for (int r = 1; r <= rows; ++r) {
    std::string insert = "INSERT INTO [Bench$A1:IV" + std::to_string(r) + "] (" + names + ") VALUES (";
    for (int c = 0; c < columns; ++c)
      insert += "'value " + std::to_string(r) + "-" + std::to_string(c) + "'" + (c + 1 < columns ? ", " : ")");
    db.ExecuteSQL(insert);
  }
  auto t1 = Clock::now();
  db.CommitTrans();
  db.Close();
  auto t2 = Clock::now();

  db.OpenEx(Connect(book), CDatabase::noOdbcDialog);
  CRecordset rs(&db);
  rs.Open(CRecordset::forwardOnly, "SELECT * FROM [Bench$A1:IV65536]", CRecordset::readOnly);
  long fields = 0;
  std::string value;
  for (; !rs.IsEOF(); rs.MoveNext())
    for (short c = 0; c < rs.GetODBCFieldCount(); ++c) {
      rs.GetFieldValue(c, value);
      ++fields;
    }
  rs.Close();
  db.Close();
  auto t3 = Clock::now();

  db.OpenEx(Connect(book), CDatabase::noOdbcDialog);
  db.ExecuteSQL("INSERT INTO [Bench$A1:IV1] ([Item0], [Item1]) VALUES ('appended', 'row')");
  db.Close();
  auto t4 = Clock::now();

  std::printf("sheet of %d rows x %d text columns (%.1f MB file)\n", rows, columns,
              double(std::filesystem::file_size(book)) / 1e6);
  std::printf("  %-50s %9.1f ms\n", "DROP + CREATE + one INSERT per row, uncommitted", Ms(t1 - t0));
  std::printf("  %-50s %9.1f ms\n", "CommitTrans (new file, flush, rename)", Ms(t2 - t1));
  std::printf("  %-50s %9.1f ms   (%ld fields)\n", "open + SELECT * reading every field + close", Ms(t3 - t2), fields);
  std::printf("  %-50s %9.1f ms\n", "open + one INSERT written at once + close", Ms(t4 - t3));
}

}  // namespace

int main() {
  char pattern[] = "/tmp/bench-workbook-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const std::string dir = pattern;
  int status = 0;
  try {
    std::printf("workbook engine through CDatabase\n");
    Measure(dir + "/long.xls", 20000, 20);
    Measure(dir + "/wide.xls", 1000, 256);
  } catch (const spreadsheet::CDBException& e) {
    std::fprintf(stderr, "database error: %s\n", e.m_strError.c_str());
    status = 1;
  }
  std::filesystem::remove_all(dir);
  return status;
}
