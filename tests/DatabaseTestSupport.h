// The connection string the spreadsheet accessor builds, a whole table read
// back, a test's own workbook with a small sheet, and the database error of a
// piece of work.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "spreadsheet/driver/Database.h"
#include "tests/ScratchFolder.h"

using Table = std::vector<std::vector<std::string>>;

inline std::string WorkbookConnect(const std::string& path) {
  return std::string("DRIVER={") + spreadsheet::WorkbookDriverName() +
         "};DSN='';FIRSTROWHASNAMES=1;READONLY=FALSE;CREATE_DB=\"" + path + "\";DBQ=" + path;
}

// Every row of SELECT * FROM [sheet$A1:IV65536], header first.
inline Table ReadTable(spreadsheet::CDatabase& db, const std::string& sheet) {
  spreadsheet::CRecordset rs(&db);
  rs.Open(spreadsheet::CRecordset::forwardOnly, "SELECT * FROM [" + sheet + "$A1:IV65536]",
          spreadsheet::CRecordset::readOnly);
  Table rows(1);
  for (short i = 0; i < rs.GetODBCFieldCount(); ++i) rows[0].push_back(rs.GetFieldName(i));
  for (; !rs.IsEOF(); rs.MoveNext()) {
    rows.emplace_back();
    for (short i = 0; i < rs.GetODBCFieldCount(); ++i) {
      std::string value;
      rs.GetFieldValue(i, value);
      rows.back().push_back(value);
    }
  }
  return rows;
}

inline Table ReadTable(const std::string& book, const std::string& sheet) {
  spreadsheet::CDatabase db;
  db.OpenEx(WorkbookConnect(book), spreadsheet::CDatabase::noOdbcDialog);
  return ReadTable(db, sheet);
}

// A test with its own folder for PCB.xls.
class WorkbookDatabaseTest : public ::testing::Test {
 protected:
  ScratchFolder m_folder;
  std::string m_book = m_folder.File("PCB.xls");
  std::string m_before;  // the file as MakeBook left it

  void Open(spreadsheet::CDatabase& db, const std::string& path = "") {
    db.OpenEx(WorkbookConnect(path.empty() ? m_book : path), spreadsheet::CDatabase::noOdbcDialog);
  }
  void MakeBook(int rows) {  // sheet S: header A, B and `rows` rows a<i>, b<i>
    spreadsheet::CDatabase db;
    Open(db);
    db.BeginTrans();
    db.ExecuteSQL("CREATE TABLE [S] ([A] char(255), [B] char(255))");
    for (int i = 1; i <= rows; ++i) {
      const std::string n = std::to_string(i);
      db.ExecuteSQL("INSERT INTO [S$A1:IV" + n + "] ([A], [B]) VALUES ('a" + n + "', 'b" + n + "')");
    }
    db.CommitTrans();
    db.Close();
    m_before = ReadBytes(m_book);
  }
  Table Read(const std::string& sheet = "S") { return ReadTable(m_book, sheet); }
};

inline std::string DbErrorOf(const std::function<void()>& work) {
  try {
    work();
  } catch (const spreadsheet::CDBException& e) {
    return e.m_strError;
  }
  return "(no error)";
}
