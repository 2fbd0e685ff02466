// Failures between processes and of the disk: a held workbook is waited for a
// bounded time, and a write that fails or a writer that dies part-way leaves
// the previous workbook whole.
#include "spreadsheet/driver/Database.h"
#include "spreadsheet/driver/FileLock.h"
#include "spreadsheet/engine/WorkbookFile.h"
#include "tests/DatabaseTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;
using spreadsheet::CDatabase;

namespace {

class DatabaseFailureTest : public WorkbookDatabaseTest {
 protected:
  // Opens `db` in a transaction that empties the sheet, as the accessor's commit begins.
  void BeginRewrite(CDatabase& db) {
    Open(db);
    db.BeginTrans();
    db.ExecuteSQL("DROP TABLE [S$A1:IV65536]");
    db.ExecuteSQL("CREATE TABLE [S$A1:IV65536] ([A] char(255), [B] char(255))");
  }
};

}  // namespace

// (Concurrent appends from two processes are raced end to end, through the
// export, in the export contention test.)
TEST_F(DatabaseFailureTest, AWorkbookHeldElsewhereFailsAfterABoundedWait) {
  MakeBook(1);
  spreadsheet::FileLock held(m_book);
  EXPECT_EQ(InChild([&] {
              CDatabase::SetLockWait(300ms);
              CDatabase db;
              auto start = std::chrono::steady_clock::now();
              std::string error = DbErrorOf([&] { Open(db); });
              auto waited = std::chrono::steady_clock::now() - start;
              if (waited < 250ms || waited > 5s) return 3;
              bool clear = error.find("is in use by another process") != std::string::npos &&
                           error.find("PCB.xls") != std::string::npos && error.find("0.3 s") != std::string::npos;
              return clear && !db.IsOpen() ? 0 : 2;
            }),
            0);
}

// The file size limit makes every write past it fail (EFBIG) as a full disk
// does (ENOSPC): the same failed write, without needing a small file system.
TEST_F(DatabaseFailureTest, AFailingWriteLeavesThePreviousWorkbook) {
  MakeBook(2);
  int code = InChild([&] {
    CDatabase db;
    BeginRewrite(db);
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
    for (int i = 0; i < 10; ++i)
      db.ExecuteSQL("INSERT INTO [S] ([A], [B]) VALUES ('" + std::string(3000, 'x') + std::to_string(i) + "', 'b')");
    std::string error = DbErrorOf([&] { db.CommitTrans(); });
    if (error.find("Cannot write the workbook") == std::string::npos ||
        error.find("previous file is unchanged") == std::string::npos)
      return 2;
    return db.Rollback() ? 0 : 4;  // the transaction is still there to be rolled back
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadBytes(m_book), m_before);
  EXPECT_EQ(m_folder.Entries(), (std::vector<std::string>{"PCB.xls", "PCB.xls.lock"}));
  EXPECT_EQ(Read().size(), 3u);
}

TEST_F(DatabaseFailureTest, AWriterDyingBeforeTheReplaceLeavesThePreviousWorkbook) {
  MakeBook(2);
  EXPECT_EQ(InChild([&] {
              sqlengine::SetBeforeReplaceHookForTesting([](const std::string&) { _exit(7); });
              CDatabase db;
              BeginRewrite(db);
              db.CommitTrans();
              return 0;
            }),
            7);
  EXPECT_EQ(ReadBytes(m_book), m_before);
  EXPECT_EQ(m_folder.Entries().size(), 3u) << "the dead writer's new file is still there";
  // The next connection clears it away and finds the rows.
  EXPECT_EQ(Read().size(), 3u);
  EXPECT_EQ(m_folder.Entries(), (std::vector<std::string>{"PCB.xls", "PCB.xls.lock"}));
}

namespace {

// A file's owner, group and mode as "uid:gid mode".
std::string OwnerOf(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return "(missing)";
  char mode[8];
  std::snprintf(mode, sizeof mode, "%04o", unsigned(st.st_mode & 07777));
  return std::to_string(st.st_uid) + ":" + std::to_string(st.st_gid) + " " + mode;
}

}  // namespace

// A shared workbook belongs to the stations' user and group: a station
// running as root keeps them (and gives them to a new lock file); a station
// that may not give a new file that owner or group refuses the commit with a
// message that says so and leaves the workbook as it was.
TEST_F(DatabaseFailureTest, AReplacedWorkbookKeepsOwnerGroupAndModeOrIsNotReplaced) {
  if (geteuid() != 0) GTEST_SKIP() << "giving files to other users needs root";
  constexpr uid_t kStation = 65534;  // nobody
  MakeBook(1);
  ASSERT_EQ(chmod(m_folder.Path().c_str(), 0777), 0);
  const struct {
    uid_t uid, gid, runAs;
    mode_t mode, lockMode;  // lockMode 0: the connection makes the lock file anew
    const char* refusal;  // in the error text; nullptr: the write succeeds
  } cases[] = {
      {1234, 2345, 0, 02664, 0, nullptr},
      {1234, 1234, kStation, 0666, 0, "belongs to user 1234 (uid 1234"},
      {kStation, 1234, kStation, 0666, 0, "cannot give a new file that group"},
      {kStation, kStation, kStation, 0640, 0644, nullptr},  // a lock file it may only read still locks
  };
  for (const auto& c : cases) {
    std::remove((m_book + ".lock").c_str());
    if (c.lockMode) WriteBytes(m_book + ".lock", "");
    if (c.lockMode) ASSERT_EQ(chmod((m_book + ".lock").c_str(), c.lockMode), 0);
    ASSERT_EQ(chown(m_book.c_str(), c.uid, c.gid), 0);
    ASSERT_EQ(chmod(m_book.c_str(), c.mode), 0);
    const std::string owner = OwnerOf(m_book), before = ReadBytes(m_book);
    const int code = InChild([&] {
      if (c.runAs && (setgroups(0, nullptr) != 0 || setgid(c.runAs) != 0 || setuid(c.runAs) != 0)) return 3;
      CDatabase db;
      Open(db);
      std::string error = DbErrorOf([&] { db.ExecuteSQL("INSERT INTO [S] ([A], [B]) VALUES ('" + owner + "', 'b')"); });
      if (!c.refusal) return error == "(no error)" ? 0 : 4;
      std::fprintf(stderr, "%s\n", error.c_str());
      return error.find("previous file is unchanged") != std::string::npos && error.find(c.refusal) != std::string::npos ? 0 : 2;
    });
    EXPECT_EQ(code, 0) << owner;
    EXPECT_EQ(OwnerOf(m_book), owner);
    if (c.refusal) EXPECT_EQ(ReadBytes(m_book), before) << owner;
    if (!c.refusal) EXPECT_EQ(Read().back()[0], owner);
    if (!c.runAs) EXPECT_EQ(OwnerOf(m_book + ".lock"), OwnerOf(m_book).substr(0, owner.size() - 4) + "0664");
    EXPECT_EQ(m_folder.Entries(), (std::vector<std::string>{"PCB.xls", "PCB.xls.lock"})) << "no new file left";
  }
}
