// The database layer over the workbook engine: driver list, connecting,
// statements and result sets in GBK, transactions that reach the file whole.
#include "spreadsheet/driver/Database.h"
#include "platform/TextCodec.h"
#include "tests/DatabaseTestSupport.h"
#include "tests/XlsPeerDump.h"


#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>

using spreadsheet::CDatabase;
using spreadsheet::CRecordset;
using Row = std::vector<std::string>;

namespace {

class DatabaseTest : public WorkbookDatabaseTest {};

}  // namespace

// (The accessor always connects with the same string: other drivers and keys
// are refused in the connection string tests.)
TEST_F(DatabaseTest, ConnectingFailuresAreClearDatabaseErrors) {
  CDatabase db;
  const std::string driver = std::string("DRIVER={") + spreadsheet::WorkbookDriverName() + "};";
  EXPECT_NE(DbErrorOf([&] { db.OpenEx(driver + "DBQ=" + m_book, CDatabase::noOdbcDialog); }).find("does not exist"),
            std::string::npos);
  for (const char* content : {"this is not a workbook at all, just text that fills more than a header block...", ""}) {
    WriteBytes(m_book, content);
    EXPECT_NE(DbErrorOf([&] { Open(db); }).find("Cannot read the workbook"), std::string::npos) << content;
  }
  EXPECT_FALSE(db.IsOpen());
  EXPECT_NE(DbErrorOf([&] { db.ExecuteSQL("DROP TABLE [S]"); }).find("not open"), std::string::npos);
}

// The accessor's commit rewrites the sheet in one transaction: the file gets
// all of it or, after a failed statement and a roll back, none of it.
TEST_F(DatabaseTest, TheAccessorsRewriteReachesTheFileWholeOrNotAtAll) {
  MakeBook(2);
  CDatabase db;
  Open(db);
  for (bool fail : {true, false}) {
    ASSERT_TRUE(db.BeginTrans());
    EXPECT_FALSE(db.BeginTrans()) << "no nested transactions";
    db.ExecuteSQL("DROP TABLE [S$A1:IV65536]");
    db.ExecuteSQL("CREATE TABLE [S$A1:IV65536] ([A] char(255), [B] char(255))");
    db.ExecuteSQL("INSERT INTO [S$A1:IV1] ([A], [B]) VALUES ('a1', 'b1')");
    db.ExecuteSQL("INSERT INTO [S$A1:IV2] ([A], [B]) VALUES ('O''Neil', 'x,\"y\"')");
    EXPECT_EQ(ReadTable(db, "S").size(), 3u) << "the connection reads its own uncommitted rows";
    EXPECT_EQ(ReadBytes(m_book), m_before);
    if (!fail) break;
    EXPECT_NE(DbErrorOf([&] { db.ExecuteSQL("INSERT INTO [S] ([A], [C]) VALUES ('x', 'y')"); }), "(no error)");
    EXPECT_TRUE(db.Rollback());
    EXPECT_EQ(ReadTable(db, "S").size(), 3u) << "back on the stored content";
  }
  EXPECT_TRUE(db.CommitTrans());
  db.Close();
  EXPECT_EQ(Read(), (Table{{"A", "B"}, {"a1", "b1"}, {"O'Neil", "x,\"y\""}}));
  // Closing with an open transaction drops it.
  const std::string committed = ReadBytes(m_book);
  Open(db);
  db.BeginTrans();
  db.ExecuteSQL("DROP TABLE [S]");
  db.Close();
  EXPECT_EQ(ReadBytes(m_book), committed);
}

// Outside a transaction each statement is written at once or not at all, and
// two connections in one process do not overwrite each other.
TEST_F(DatabaseTest, StatementsOutsideATransactionAndTwoConnections) {
  MakeBook(1);
  CDatabase first, second;
  Open(first);
  Open(second);
  first.ExecuteSQL("INSERT INTO [S] ([A]) VALUES ('from first')");
  second.ExecuteSQL("INSERT INTO [S] ([A]) VALUES ('from second')");
  EXPECT_EQ(Read().size(), 4u);

  // A transaction begun on content that another connection then replaced
  // is not committed over it.
  first.BeginTrans();
  first.ExecuteSQL("INSERT INTO [S] ([A]) VALUES ('stale')");
  second.ExecuteSQL("INSERT INTO [S] ([A]) VALUES ('meanwhile')");
  EXPECT_NE(DbErrorOf([&] { first.CommitTrans(); }).find("changed by another connection"), std::string::npos);
  EXPECT_TRUE(first.Rollback());
  EXPECT_EQ(Read().back(), (Row{"meanwhile", ""}));
}

TEST_F(DatabaseTest, ReplacingKeepsPermissionsAndSymbolicLinks) {
  MakeBook(1);
  ASSERT_EQ(chmod(m_book.c_str(), 0640), 0);
  const std::string link = m_folder.File("link.xls");
  ASSERT_EQ(symlink(m_book.c_str(), link.c_str()), 0);
  CDatabase db;
  Open(db, link);
  db.ExecuteSQL("INSERT INTO [S] ([A]) VALUES ('via link')");
  db.Close();
  struct stat st;
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(stat(m_book.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(Read().back()[0], "via link");
  EXPECT_EQ(m_folder.Entries(), (Row{"PCB.xls", "PCB.xls.lock", "link.xls"})) << "no temporary file stays behind";
}

// A closed connection leaves its workbook for the next one on the same file;
// whatever another program did to the file since, and whatever the closed
// connection did not commit, must not come back from it.
TEST_F(DatabaseTest, ALaterConnectionSeesTheFileAsItIsNow) {
  MakeBook(2);
  ASSERT_EQ(Read().size(), 3u);

  // Replaced by another process (another station's export).
  const std::string other = m_folder.File("other.xls");
  ASSERT_EQ(InChild([&] {
              CDatabase db;
              Open(db, other);
              db.ExecuteSQL("CREATE TABLE [S] ([A] char(255), [B] char(255))");
              db.ExecuteSQL("INSERT INTO [S] ([A], [B]) VALUES ('x1', 'y1')");
              return 0;
            }),
            0);
  ASSERT_EQ(rename(other.c_str(), m_book.c_str()), 0);
  EXPECT_EQ(Read(), (Table{{"A", "B"}, {"x1", "y1"}}));

  // Cut short in place by another program: an error, not the old content.
  std::filesystem::resize_file(m_book, std::filesystem::file_size(m_book) / 2);
  EXPECT_NE(DbErrorOf([&] { Read(); }), "(no error)");
}

// A byte that is not GBK is stored as U+FFFD instead of losing the statement,
// and read back as the byte 0xFF that stands for it, so the text names the
// same header or cell again.
TEST_F(DatabaseTest, BytesThatAreNotGbkAreStoredAsReplacementCharacters) {
  {
    CDatabase db;
    Open(db);
    db.ExecuteSQL("CREATE TABLE [S] ([A\xFF] char(255), [B] char(255))");
    db.ExecuteSQL("INSERT INTO [S] ([A\xFF], [B]) VALUES ('\x81', 'x\x81''y')");
    db.ExecuteSQL("UPDATE [S] SET [B]='z' WHERE ([A\xFF]='\xFF')");
  }
  EXPECT_EQ(Read("S"), (Table{{"A\xFF", "B"}, {"\xFF", "z"}}));
  PeerBook book = XlrdRead(m_book);
  ASSERT_TRUE(book.refusal.empty()) << book.refusal;
  EXPECT_EQ(book.Texts("S"), (Table{{U8(u8"A\uFFFD"), "B"}, {U8(u8"\uFFFD"), "z"}}));
}
