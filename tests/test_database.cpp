// The database layer over the workbook engine: driver list, connecting,
// statements and result sets in GBK, transactions that reach the file whole.
#include "platform/Database.h"
#include "platform/TextCodec.h"
#include "tests/DatabaseTestFolder.h"
#include "tests/XlrdDump.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using platform::CDatabase;
using platform::CDBException;
using platform::CRecordset;
using Table = std::vector<std::vector<std::string>>;

namespace {

std::string ErrorOf(const std::function<void()>& work) {
    try {
        work();
    } catch (const CDBException& e) {
        return e.m_strError;
    }
    return "(no error)";
}

class DatabaseTest : public ::testing::Test {
protected:
    DatabaseTestFolder m_folder;
    std::string m_book = m_folder.File("PCB.xls");

    // A workbook with sheet S: header A, B and `rows` rows.
    void MakeBook(int rows) {
        CDatabase db;
        db.OpenEx(WorkbookConnect(m_book), CDatabase::noOdbcDialog);
        db.BeginTrans();
        db.ExecuteSQL("CREATE TABLE [S] ([A] char(255), [B] char(255))");
        for (int i = 1; i <= rows; ++i)
            db.ExecuteSQL("INSERT INTO [S$A1:IV" + std::to_string(i) + "] ([A], [B]) VALUES ('a" + std::to_string(i) +
                          "', 'b" + std::to_string(i) + "')");
        db.CommitTrans();
    }

    Table Read(const std::string& sheet = "S") {
        CDatabase db;
        db.OpenEx(WorkbookConnect(m_book), CDatabase::noOdbcDialog);
        return ReadTable(db, sheet);
    }
};

}  // namespace

TEST(DatabaseDrivers, TheWorkbookEngineIsListedAsAnExcelDriver) {
    char buf[2000];
    std::memset(buf, 'x', sizeof buf);
    std::uint16_t used = 0;
    ASSERT_TRUE(platform::SQLGetInstalledDrivers(buf, sizeof buf, &used));
    std::vector<std::string> names;
    for (const char* p = buf; *p != '\0'; p += std::strlen(p) + 1)
        names.push_back(p);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_NE(names[0].find("Excel"), std::string::npos);
    EXPECT_EQ(names[0], platform::WorkbookDriverName());
    EXPECT_EQ(used, names[0].size() + 2);

    char small[8];
    EXPECT_FALSE(platform::SQLGetInstalledDrivers(small, sizeof small, &used));
    EXPECT_FALSE(platform::SQLGetInstalledDrivers(nullptr, 100, nullptr));
}

TEST_F(DatabaseTest, ConnectingFailuresAreClearDatabaseErrors) {
    CDatabase db;
    auto open = [&](const std::string& connect) { return ErrorOf([&] { db.OpenEx(connect, CDatabase::noOdbcDialog); }); };
    EXPECT_NE(open("DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" + m_book).find(
                  "Driver \"Microsoft Access Driver (*.mdb)\" is not installed"),
              std::string::npos);
    EXPECT_NE(open("DSN=Stations;DBQ=" + m_book).find("Data source \"Stations\" is not defined"), std::string::npos);
    EXPECT_NE(open("DBQ=" + m_book).find("No driver named"), std::string::npos);
    std::string driver = std::string("DRIVER={") + platform::WorkbookDriverName() + "};";
    EXPECT_NE(open(driver + "DBQ=" + m_book).find("does not exist"), std::string::npos);
    EXPECT_NE(open(driver + "READONLY=0").find("No workbook named"), std::string::npos);
    EXPECT_NE(open(driver + "FIRSTROWHASNAMES=0;DBQ=" + m_book).find("FIRSTROWHASNAMES=0 is not supported"),
              std::string::npos);
    EXPECT_NE(ErrorOf([&] { db.OpenEx(WorkbookConnect(m_book), CDatabase::forceOdbcDialog); }).find("dialog"),
              std::string::npos);

    WriteBytes(m_book, "this is not a workbook at all, just text that fills more than a header block...");
    EXPECT_NE(open(WorkbookConnect(m_book)).find("Cannot read the workbook"), std::string::npos);
    WriteBytes(m_book, "");
    EXPECT_NE(open(WorkbookConnect(m_book)).find("Cannot read the workbook"), std::string::npos);
    EXPECT_FALSE(db.IsOpen());

    EXPECT_NE(ErrorOf([&] { db.ExecuteSQL("DROP TABLE [S]"); }).find("not open"), std::string::npos);
    EXPECT_FALSE(db.BeginTrans());
    EXPECT_FALSE(db.CommitTrans());
    EXPECT_FALSE(db.Rollback());
    CRecordset rs(&db);
    EXPECT_NE(ErrorOf([&] { rs.Open(CRecordset::forwardOnly, "SELECT * FROM [S]"); }).find("not open"),
              std::string::npos);
}

TEST_F(DatabaseTest, CreateDbMakesTheWorkbookWithItsFirstChangeOnly) {
    {
        CDatabase db;
        EXPECT_TRUE(db.OpenEx(WorkbookConnect(m_book), CDatabase::noOdbcDialog));
        EXPECT_TRUE(db.IsOpen());
        CRecordset rs(&db);
        EXPECT_NE(ErrorOf([&] { rs.Open(CRecordset::forwardOnly, "SELECT * FROM [S$A1:IV65536]"); })
                      .find("Table 'S' does not exist"),
                  std::string::npos);
    }
    EXPECT_FALSE(std::filesystem::exists(m_book)) << "a connection alone writes nothing";
    MakeBook(0);
    EXPECT_TRUE(std::filesystem::exists(m_book));
    EXPECT_EQ(Read(), (Table{{"A", "B"}}));
}

TEST_F(DatabaseTest, TheAccessorsCommitRewritesTheSheetInOneTransaction) {
    MakeBook(2);
    const std::string before = ReadBytes(m_book);
    CDatabase db;
    db.OpenEx(WorkbookConnect(m_book), CDatabase::noOdbcDialog);
    ASSERT_TRUE(db.BeginTrans());
    EXPECT_FALSE(db.BeginTrans()) << "no nested transactions";
    db.ExecuteSQL("DROP TABLE [S$A1:IV65536]");
    EXPECT_EQ(ReadBytes(m_book), before) << "nothing reaches the file before the commit";
    db.ExecuteSQL("CREATE TABLE [S$A1:IV65536] ([A] char(255), [B] char(255))");
    db.ExecuteSQL("INSERT INTO [S$A1:IV1] ([A], [B]) VALUES ('a1', 'b1')");
    db.ExecuteSQL("INSERT INTO [S$A1:IV2] ([A], [B]) VALUES ('a2', 'b2')");
    db.ExecuteSQL("INSERT INTO [S$A1:IV3] ([A], [B]) VALUES ('O''Neil', 'x,\"y\"')");
    // The connection reads its own uncommitted rows.
    EXPECT_EQ(ReadTable(db, "S").size(), 4u);
    EXPECT_EQ(ReadBytes(m_book), before);
    EXPECT_TRUE(db.CommitTrans());
    EXPECT_FALSE(db.CommitTrans());
    db.Close();
    EXPECT_EQ(Read(), (Table{{"A", "B"}, {"a1", "b1"}, {"a2", "b2"}, {"O'Neil", "x,\"y\""}}));
}

TEST_F(DatabaseTest, AFailedStatementAndRollbackLeaveTheFileAsItWas) {
    MakeBook(3);
    const std::string before = ReadBytes(m_book);
    CDatabase db;
    db.OpenEx(WorkbookConnect(m_book), CDatabase::noOdbcDialog);
    db.BeginTrans();
    db.ExecuteSQL("DROP TABLE [S$A1:IV65536]");
    db.ExecuteSQL("CREATE TABLE [S$A1:IV65536] ([A] char(255), [B] char(255))");
    db.ExecuteSQL("INSERT INTO [S$A1:IV1] ([A], [B]) VALUES ('new', 'row')");
    std::string error = ErrorOf([&] { db.ExecuteSQL("INSERT INTO [S$A1:IV2] ([A], [C]) VALUES ('x', 'y')"); });
    EXPECT_NE(error.find("Unknown column [C]"), std::string::npos) << error;
    EXPECT_TRUE(db.Rollback());
    EXPECT_EQ(ReadBytes(m_book), before);
    // The connection is back on the stored content.
    EXPECT_EQ(ReadTable(db, "S").size(), 4u);
    db.Close();
    EXPECT_EQ(Read().back(), (std::vector<std::string>{"a3", "b3"}));

    // Closing with an open transaction drops it as well.
    db.OpenEx(WorkbookConnect(m_book), CDatabase::noOdbcDialog);
    db.BeginTrans();
    db.ExecuteSQL("DROP TABLE [S]");
    db.Close();
    EXPECT_EQ(ReadBytes(m_book), before);
}

TEST_F(DatabaseTest, OutsideATransactionEachStatementIsWrittenAtOnceOrNotAtAll) {
    MakeBook(1);
    CDatabase db;
    db.OpenEx(WorkbookConnect(m_book), CDatabase::noOdbcDialog);
    db.ExecuteSQL("INSERT INTO [S] ([A], [B]) VALUES ('a2', 'b2')");
    EXPECT_EQ(Read().size(), 3u);
    const std::string before = ReadBytes(m_book);
    EXPECT_NE(ErrorOf([&] { db.ExecuteSQL("INSERT INTO [S] ([Z]) VALUES ('1')"); }).find("Unknown column [Z]"),
              std::string::npos);
    EXPECT_EQ(ReadBytes(m_book), before);
    db.ExecuteSQL("UPDATE [S] SET [A]='1', [B]='2' WHERE ([A]='a2' AND [B]='b2' )");
    EXPECT_EQ(Read().back(), (std::vector<std::string>{"1", "2"}));
}

TEST_F(DatabaseTest, TwoConnectionsInOneProcessDoNotOverwriteEachOther) {
    MakeBook(1);
    CDatabase first, second;
    first.OpenEx(WorkbookConnect(m_book), CDatabase::noOdbcDialog);
    second.OpenEx(WorkbookConnect(m_book), CDatabase::noOdbcDialog);
    first.ExecuteSQL("INSERT INTO [S] ([A]) VALUES ('from first')");
    second.ExecuteSQL("INSERT INTO [S] ([A]) VALUES ('from second')");
    EXPECT_EQ(Read().size(), 4u);

    // A transaction begun on content that another connection then replaced
    // is not committed over it.
    first.BeginTrans();
    first.ExecuteSQL("INSERT INTO [S] ([A]) VALUES ('stale')");
    second.ExecuteSQL("INSERT INTO [S] ([A]) VALUES ('meanwhile')");
    EXPECT_NE(ErrorOf([&] { first.CommitTrans(); }).find("changed by another connection"), std::string::npos);
    EXPECT_TRUE(first.Rollback());
    Table rows = Read();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows.back()[0], "meanwhile");
}

TEST_F(DatabaseTest, TextIsGbkAtTheEdgeAndUnicodeInTheFile) {
    const std::string sheet = platform::Gbk(u8"型号A");
    const std::string value = platform::Gbk(u8"当前日期：2026/12/05  11:55:18");
    {
        CDatabase db;
        db.OpenEx(WorkbookConnect(m_book), CDatabase::noOdbcDialog);
        db.ExecuteSQL("CREATE TABLE [" + sheet + "] ([" + platform::Gbk(u8"时间") + "] char(255), [SN] char(255))");
        db.ExecuteSQL("INSERT INTO [" + sheet + "$A1:IV1] ([" + platform::Gbk(u8"时间") + "], [SN]) VALUES ('" + value +
                      "', 'SN-" + platform::Gbk(u8"测试") + "')");
        // Bytes that are not GBK are refused rather than stored as replacement characters.
        EXPECT_NE(ErrorOf([&] { db.ExecuteSQL("INSERT INTO [" + sheet + "] ([SN]) VALUES ('\x81')"); })
                      .find("not GBK text"),
                  std::string::npos);
    }
    Table rows = Read(sheet);
    EXPECT_EQ(rows, (Table{{platform::Gbk(u8"时间"), "SN"}, {value, "SN-" + platform::Gbk(u8"测试")}}));
    // A character whose second GBK byte is ']' (0x5D) or '[' stays inside its name.
    const std::string trail = platform::Gbk(u8"乚");
    ASSERT_EQ(trail[1], ']');
    {
        CDatabase db;
        db.OpenEx(WorkbookConnect(m_book), CDatabase::noOdbcDialog);
        db.ExecuteSQL("CREATE TABLE [" + trail + "] ([" + trail + "a]]b] char(255))");
        db.ExecuteSQL("INSERT INTO [" + trail + "$A1:IV1] ([" + trail + "a]]b]) VALUES ('" + trail + "')");
    }
    EXPECT_EQ(Read(trail), (Table{{trail + "a]b"}, {trail}}));
    // Stored as Unicode: the raw file holds the UTF-16 of the text.
    std::u16string utf16 = u"测试";
    std::string raw = ReadBytes(m_book);
    std::string needle(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2);
    EXPECT_NE(raw.find(needle), std::string::npos);
}

TEST_F(DatabaseTest, ReadOnlyConnectionsRefuseChanges) {
    MakeBook(1);
    const std::string before = ReadBytes(m_book);
    CDatabase db;
    std::string driver = std::string("DRIVER={") + platform::WorkbookDriverName() + "};";
    db.OpenEx(driver + "DBQ=" + m_book, CDatabase::noOdbcDialog);  // the driver's default
    EXPECT_NE(ErrorOf([&] { db.ExecuteSQL("DROP TABLE [S]"); }).find("read-only"), std::string::npos);
    EXPECT_EQ(ReadTable(db, "S").size(), 2u);
    db.OpenEx(WorkbookConnect(m_book), CDatabase::openReadOnly);
    EXPECT_NE(ErrorOf([&] { db.ExecuteSQL("DROP TABLE [S]"); }).find("read-only"), std::string::npos);
    EXPECT_EQ(ReadBytes(m_book), before);
}

TEST_F(DatabaseTest, ResultSetMisuseIsADatabaseError) {
    MakeBook(1);
    CDatabase db;
    db.OpenEx(WorkbookConnect(m_book), CDatabase::noOdbcDialog);
    CRecordset rs(&db);
    EXPECT_NE(ErrorOf([&] { rs.Open(CRecordset::dynaset, "SELECT * FROM [S]"); }).find("forward-only"),
              std::string::npos);
    EXPECT_NE(ErrorOf([&] { rs.Open(CRecordset::forwardOnly, "DROP TABLE [S]"); }).find("needs a SELECT"),
              std::string::npos);
    ASSERT_TRUE(rs.Open(CRecordset::forwardOnly, "SELECT * FROM [S$A1:IV65536]", CRecordset::readOnly));
    EXPECT_EQ(rs.GetODBCFieldCount(), 2);
    platform::CODBCFieldInfo info;
    rs.GetODBCFieldInfo(1, info);
    EXPECT_EQ(info.m_strName, "B");
    std::string value;
    EXPECT_NE(ErrorOf([&] { rs.GetFieldValue(2, value); }).find("Column index 2 is out of range"), std::string::npos);
    EXPECT_NE(ErrorOf([&] { rs.GetFieldValue(-1, value); }).find("out of range"), std::string::npos);
    rs.GetFieldValue(0, value);
    EXPECT_EQ(value, "a1");
    rs.MoveNext();
    EXPECT_TRUE(rs.IsEOF());
    EXPECT_NE(ErrorOf([&] { rs.GetFieldValue(0, value); }).find("at its end"), std::string::npos);
    EXPECT_NE(ErrorOf([&] { rs.MoveNext(); }).find("past the end"), std::string::npos);
    rs.Close();
    EXPECT_FALSE(rs.IsOpen());
}

TEST_F(DatabaseTest, ReplacingKeepsPermissionsAndSymbolicLinks) {
    MakeBook(1);
    ASSERT_EQ(chmod(m_book.c_str(), 0640), 0);
    const std::string link = m_folder.File("link.xls");
    ASSERT_EQ(symlink(m_book.c_str(), link.c_str()), 0);
    CDatabase db;
    db.OpenEx(WorkbookConnect(link), CDatabase::noOdbcDialog);
    db.ExecuteSQL("INSERT INTO [S] ([A]) VALUES ('via link')");
    db.Close();
    struct stat st;
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat(m_book.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(Read().back()[0], "via link");
    // No temporary file stays behind.
    EXPECT_EQ(m_folder.Entries(), (std::vector<std::string>{"PCB.xls", "PCB.xls.lock", "link.xls"}));
}

TEST_F(DatabaseTest, ReadsAWorkbookOfAnotherProgramAndKeepsItsOtherSheets) {
    const char* fixtures = std::getenv("MONITOR_FIXTURES_DIR");
    ASSERT_NE(fixtures, nullptr);
    std::filesystem::copy_file(std::string(fixtures) + "/xls/lo_two_sheets.xls", m_book);
    std::filesystem::permissions(m_book, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
    const std::string sheet = platform::Gbk(u8"型号A");
    CDatabase db;
    db.OpenEx(WorkbookConnect(m_book), CDatabase::noOdbcDialog);
    Table numbers = ReadTable(db, "Numbers");
    ASSERT_GE(numbers.size(), 3u);
    EXPECT_EQ(numbers[0], (std::vector<std::string>{"Item", "Qty", "Price", "Total"}));
    EXPECT_EQ(numbers[1], (std::vector<std::string>{"Apple", "3", "1.5", "4.5"}));
    db.ExecuteSQL("INSERT INTO [" + sheet + "$A1:IV4] ([SN]) VALUES ('SN0004')");
    db.Close();
    EXPECT_EQ(Read(sheet).size(), 5u);
    EXPECT_EQ(Read("Numbers"), numbers);
}

TEST_F(DatabaseTest, AnotherReaderSeesWhatTheStatementsWrote) {
    // xlrd, an independent reader, on a workbook made from nothing by statements.
    const std::string sheet = platform::Gbk(u8"型号M");
    {
        CDatabase db;
        db.OpenEx(WorkbookConnect(m_book), CDatabase::noOdbcDialog);
        db.BeginTrans();
        db.ExecuteSQL("CREATE TABLE [" + sheet + "] ([" + platform::Gbk(u8"时间") + "] char(255), [SN] char(255), [A] char(255))");
        db.ExecuteSQL("INSERT INTO [" + sheet + "$A1:IV1] ([" + platform::Gbk(u8"时间") + "], [SN], [A]) VALUES ('" +
                      platform::Gbk(u8"当前日期：2026/12/05  11:55:18") + "', 'SN''1', '1.23')");
        db.ExecuteSQL("UPDATE [" + sheet + "] SET [A]='PASS' WHERE ([SN]='SN''1' )");
        db.CommitTrans();
    }
    XlrdBook book = XlrdDump(m_book);
    ASSERT_TRUE(book.ok) << book.error;
    EXPECT_EQ(book.sheetNames, (std::vector<std::string>{U8(u8"型号M")}));
    EXPECT_EQ(book.rows[U8(u8"型号M")],
              (std::vector<std::vector<std::string>>{{U8(u8"时间"), "SN", "A"},
                                                     {U8(u8"当前日期：2026/12/05  11:55:18"), "SN'1", "PASS"}}));
}

// A closed connection leaves its workbook for the next one on the same file;
// whatever another program did to the file since, and whatever the closed
// connection did not commit, must not come back from it.
TEST_F(DatabaseTest, ALaterConnectionSeesTheFileAsItIsNow) {
    MakeBook(2);
    ASSERT_EQ(Read().size(), 3u);

    // Replaced by another process (another station's export).
    const std::string other = m_folder.File("other.xls");
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        try {
            CDatabase db;
            db.OpenEx(WorkbookConnect(other), CDatabase::noOdbcDialog);
            db.ExecuteSQL("CREATE TABLE [S] ([A] char(255), [B] char(255))");
            db.ExecuteSQL("INSERT INTO [S] ([A], [B]) VALUES ('x1', 'y1')");
        } catch (...) {
            _exit(1);
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_EQ(rename(other.c_str(), m_book.c_str()), 0);
    EXPECT_EQ(Read(), (Table{{"A", "B"}, {"x1", "y1"}}));

    // Changes of a transaction that was never committed.
    {
        CDatabase db;
        db.OpenEx(WorkbookConnect(m_book), CDatabase::noOdbcDialog);
        db.BeginTrans();
        db.ExecuteSQL("INSERT INTO [S] ([A], [B]) VALUES ('lost', 'lost')");
        ASSERT_EQ(ReadTable(db, "S").size(), 3u);
    }
    EXPECT_EQ(Read(), (Table{{"A", "B"}, {"x1", "y1"}}));

    // Cut short in place by another program: an error, not the old content.
    std::filesystem::resize_file(m_book, std::filesystem::file_size(m_book) / 2);
    EXPECT_NE(ErrorOf([&] { Read(); }), "(no error)");
}
