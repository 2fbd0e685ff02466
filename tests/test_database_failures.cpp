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

struct Owner {
  uid_t uid;
  gid_t gid;
  mode_t mode;
};

Owner OwnerOf(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return {uid_t(-1), gid_t(-1), 0};
  return {st.st_uid, st.st_gid, st.st_mode & 07777};
}

std::string Describe(const Owner& o) {
  char mode[8];
  std::snprintf(mode, sizeof mode, "%04o", unsigned(o.mode));
  return std::to_string(o.uid) + ":" + std::to_string(o.gid) + " " + mode;
}

}  // namespace

// A shared workbook belongs to the stations' user and group; a station
// running as root must not take it over with its writes.
TEST_F(DatabaseFailureTest, AReplacedWorkbookAndItsNewLockFileKeepOwnerGroupAndMode) {
  if (geteuid() != 0) GTEST_SKIP() << "giving files to other users needs root";
  MakeBook(1);
  const std::string lock = m_book + ".lock";
  const Owner cases[] = {{1234, 2345, 0664}, {0, 2345, 02660}};
  for (const Owner& shared : cases) {
    std::remove(lock.c_str());  // made anew by this export's connection
    ASSERT_EQ(chown(m_book.c_str(), shared.uid, shared.gid), 0);
    ASSERT_EQ(chmod(m_book.c_str(), shared.mode), 0);
    {
      CDatabase db;
      Open(db);
      db.ExecuteSQL("INSERT INTO [S] ([A], [B]) VALUES ('" + Describe(shared) + "', 'b')");
    }
    EXPECT_EQ(Describe(OwnerOf(m_book)), Describe(shared));
    EXPECT_EQ(Describe(OwnerOf(lock)), Describe({shared.uid, shared.gid, mode_t(shared.mode & 0666)}));
    EXPECT_EQ(Read().back()[0], Describe(shared));
  }
}

// A station that may not give a new file the workbook's owner or group fails
// its commit with a message that says so and leaves the workbook as it was;
// one that owns the file writes it as before.
TEST_F(DatabaseFailureTest, AStationThatCannotKeepTheOwnerRefusesToReplaceTheWorkbook) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as two users";
  constexpr uid_t kStation = 65534;  // nobody
  MakeBook(1);
  ASSERT_EQ(chmod(m_folder.Path().c_str(), 0777), 0);
  struct Case {
    Owner file;
    mode_t lockMode;       // of the sidecar, which root made
    const char* expected;  // in the error text; nullptr: the write succeeds
  };
  const Case cases[] = {
      {{1234, 1234, 0666}, 0666, "belongs to user 1234 (uid 1234"},
      {{kStation, 1234, 0666}, 0666, "cannot give a new file that group"},
      {{kStation, kStation, 0640}, 0644, nullptr},  // a sidecar the station may only read still locks
  };
  for (const Case& c : cases) {
    ASSERT_EQ(chown(m_book.c_str(), c.file.uid, c.file.gid), 0);
    ASSERT_EQ(chmod(m_book.c_str(), c.file.mode), 0);
    ASSERT_EQ(chmod((m_book + ".lock").c_str(), c.lockMode), 0);
    const std::string before = ReadBytes(m_book);
    const std::string row = "station " + Describe(c.file);
    int code = InChild([&] {
      if (setgroups(0, nullptr) != 0 || setgid(kStation) != 0 || setuid(kStation) != 0) return 3;
      CDatabase db;
      Open(db);
      std::string error = DbErrorOf([&] { db.ExecuteSQL("INSERT INTO [S] ([A], [B]) VALUES ('" + row + "', 'b')"); });
      if (!c.expected) return error == "(no error)" ? 0 : 4;
      bool clear = error.find("previous file is unchanged") != std::string::npos &&
                   error.find(c.expected) != std::string::npos &&
                   error.find("this process (user nobody (uid 65534))") != std::string::npos;
      if (!clear) std::fprintf(stderr, "%s\n", error.c_str());
      return clear ? 0 : 2;
    });
    EXPECT_EQ(code, 0) << Describe(c.file);
    EXPECT_EQ(Describe(OwnerOf(m_book)), Describe(c.file));
    if (c.expected) {
      EXPECT_EQ(ReadBytes(m_book), before) << Describe(c.file);
    } else {
      EXPECT_EQ(Read().back()[0], row);
    }
    EXPECT_EQ(m_folder.Entries(), (std::vector<std::string>{"PCB.xls", "PCB.xls.lock"})) << "no new file left";
  }
}
