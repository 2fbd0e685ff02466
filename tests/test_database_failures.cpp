// Failures between processes and of the disk: concurrent appends lose no row,
// a held workbook is waited for a bounded time, and a write that fails or a
// writer that dies part-way leaves the previous workbook whole.
#include "platform/Database.h"
#include "platform/FileLock.h"
#include "spreadsheet/engine/WorkbookFile.h"
#include "tests/DatabaseTestFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <set>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace std::chrono_literals;
using platform::CDatabase;
using platform::CDBException;
using platform::CRecordset;

namespace {

// Runs `child` in a forked process; returns its exit code (-1: killed).
template <typename F>
int InChild(F child) {
    pid_t pid = fork();
    if (pid == 0) {
        int code = 99;
        try {
            code = child();
        } catch (const CDBException& e) {
            fprintf(stderr, "child: %s\n", e.m_strError.c_str());
            code = 98;
        } catch (...) {
            code = 97;
        }
        _exit(code);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class DatabaseFailureTest : public ::testing::Test {
protected:
    DatabaseTestFolder m_folder;
    std::string m_book = m_folder.File("PCB.xls");

    void MakeBook(int rows) {
        CDatabase db;
        db.OpenEx(WorkbookConnect(m_book), CDatabase::noOdbcDialog);
        db.BeginTrans();
        db.ExecuteSQL("CREATE TABLE [S] ([A] char(255), [B] char(255))");
        for (int i = 1; i <= rows; ++i)
            db.ExecuteSQL("INSERT INTO [S] ([A], [B]) VALUES ('a" + std::to_string(i) + "', 'b')");
        db.CommitTrans();
    }

    std::vector<std::vector<std::string>> Read() {
        CDatabase db;
        db.OpenEx(WorkbookConnect(m_book), CDatabase::noOdbcDialog);
        return ReadTable(db, "S");
    }
};

// What the spreadsheet accessor does for one export: hold the workbook for its
// whole life, load the sheet on one connection, rewrite it on another.
void ExportOneRow(const std::string& book, const std::string& value) {
    platform::FileLock held(book);
    std::vector<std::vector<std::string>> rows;
    {
        CDatabase db;
        db.OpenEx(WorkbookConnect(book), CDatabase::noOdbcDialog);
        rows = ReadTable(db, "S");
    }
    rows.push_back({value, "b"});
    usleep(2000);  // the accessor's work between its two connections
    CDatabase db;
    db.OpenEx(WorkbookConnect(book), CDatabase::noOdbcDialog);
    db.BeginTrans();
    db.ExecuteSQL("DROP TABLE [S$A1:IV65536]");
    db.ExecuteSQL("CREATE TABLE [S$A1:IV65536] ([A] char(255), [B] char(255))");
    for (std::size_t i = 1; i < rows.size(); ++i)
        db.ExecuteSQL("INSERT INTO [S$A1:IV" + std::to_string(i) + "] ([A], [B]) VALUES ('" + rows[i][0] + "', '" +
                      rows[i][1] + "')");
    db.CommitTrans();
}

}  // namespace

TEST_F(DatabaseFailureTest, ProcessesAppendingAtOnceLoseNoRow) {
    MakeBook(0);
    constexpr int kProcesses = 4;
    constexpr int kRowsEach = 30;
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        pid_t pid = fork();
        if (pid == 0) {
            close(start[1]);
            char go;
            (void)!read(start[0], &go, 1);  // all start together
            int code = 0;
            try {
                for (int r = 0; r < kRowsEach; ++r) {
                    std::string value = "p" + std::to_string(p) + "-r" + std::to_string(r);
                    if (r % 2 == 0) {
                        ExportOneRow(m_book, value);
                    } else {
                        CDatabase db;
                        db.OpenEx(WorkbookConnect(m_book), CDatabase::noOdbcDialog);
                        db.ExecuteSQL("INSERT INTO [S$A1:IV1] ([A], [B]) VALUES ('" + value + "', 'b')");
                    }
                }
            } catch (const CDBException& e) {
                fprintf(stderr, "child %d: %s\n", p, e.m_strError.c_str());
                code = 1;
            }
            _exit(code);
        }
        children.push_back(pid);
    }
    close(start[0]);
    close(start[1]);  // releases every child at once
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    auto rows = Read();
    ASSERT_EQ(rows.size(), 1u + kProcesses * kRowsEach);
    std::set<std::string> values;
    for (std::size_t i = 1; i < rows.size(); ++i)
        values.insert(rows[i][0]);
    EXPECT_EQ(values.size(), std::size_t(kProcesses * kRowsEach));
}

TEST_F(DatabaseFailureTest, AWorkbookHeldElsewhereFailsAfterABoundedWait) {
    MakeBook(1);
    platform::FileLock held(m_book);
    int code = InChild([&] {
        CDatabase::SetLockWait(300ms);
        CDatabase db;
        try {
            db.OpenEx(WorkbookConnect(m_book), CDatabase::noOdbcDialog);
        } catch (const CDBException& e) {
            bool clear = e.m_strError.find("is in use by another process") != std::string::npos &&
                         e.m_strError.find("PCB.xls") != std::string::npos;
            return clear && !db.IsOpen() ? 0 : 2;
        }
        return 1;
    });
    EXPECT_EQ(code, 0);
}

TEST_F(DatabaseFailureTest, AFailingWriteLeavesThePreviousWorkbook) {
    MakeBook(2);
    const std::string before = ReadBytes(m_book);
    // The file size limit makes every write past it fail (EFBIG), as a full
    // disk does, without needing a small file system.
    int code = InChild([&] {
        CDatabase db;
        db.OpenEx(WorkbookConnect(m_book), CDatabase::noOdbcDialog);
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 3;
        std::string big(3000, 'x');
        db.BeginTrans();
        db.ExecuteSQL("DROP TABLE [S$A1:IV65536]");
        db.ExecuteSQL("CREATE TABLE [S$A1:IV65536] ([A] char(255), [B] char(255))");
        for (int i = 0; i < 10; ++i)
            db.ExecuteSQL("INSERT INTO [S] ([A], [B]) VALUES ('" + big + std::to_string(i) + "', 'b')");
        try {
            db.CommitTrans();
            return 1;
        } catch (const CDBException& e) {
            if (e.m_strError.find("Cannot write the workbook") == std::string::npos ||
                e.m_strError.find("previous file is unchanged") == std::string::npos)
                return 2;
        }
        // The transaction is still there to be rolled back.
        return db.Rollback() ? 0 : 4;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadBytes(m_book), before);
    EXPECT_EQ(m_folder.Entries(), (std::vector<std::string>{"PCB.xls", "PCB.xls.lock"}));
    EXPECT_EQ(Read().size(), 3u);
}

TEST_F(DatabaseFailureTest, AWriterDyingBeforeTheReplaceLeavesThePreviousWorkbook) {
    MakeBook(2);
    const std::string before = ReadBytes(m_book);
    int code = InChild([&] {
        sqlengine::SetBeforeReplaceHookForTesting([](const std::string&) { _exit(7); });
        CDatabase db;
        db.OpenEx(WorkbookConnect(m_book), CDatabase::noOdbcDialog);
        db.BeginTrans();
        db.ExecuteSQL("DROP TABLE [S$A1:IV65536]");
        db.ExecuteSQL("CREATE TABLE [S$A1:IV65536] ([A] char(255))");
        db.CommitTrans();
        return 0;
    });
    EXPECT_EQ(code, 7);
    EXPECT_EQ(ReadBytes(m_book), before);
    EXPECT_EQ(m_folder.Entries().size(), 3u) << "the dead writer's new file is still there";
    // The next connection clears it away and finds the rows.
    EXPECT_EQ(Read().size(), 3u);
    EXPECT_EQ(m_folder.Entries(), (std::vector<std::string>{"PCB.xls", "PCB.xls.lock"}));
}

TEST_F(DatabaseFailureTest, AFullDiskLeavesThePreviousWorkbook) {
    // A real full disk: a small file system of its own, when this user may
    // mount one (root on a machine that allows it).
    const std::string mnt = m_folder.File("small-disk");
    std::filesystem::create_directory(mnt);
    if (mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "cannot mount a small file system here";
    struct Unmount {
        std::string path;
        ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
    } unmount{mnt};

    const std::string book = mnt + "/PCB.xls";
    {
        CDatabase db;
        db.OpenEx(WorkbookConnect(book), CDatabase::noOdbcDialog);
        db.ExecuteSQL("CREATE TABLE [S] ([A] char(255), [B] char(255))");
        db.ExecuteSQL("INSERT INTO [S] ([A], [B]) VALUES ('kept', 'row')");
    }
    const std::string before = ReadBytes(book);
    // Fill the disk up.
    int fd = open((mnt + "/filler").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    std::string block(4096, 'f');
    while (write(fd, block.data(), block.size()) > 0) {
    }
    close(fd);

    CDatabase db;
    db.OpenEx(WorkbookConnect(book), CDatabase::noOdbcDialog);
    db.BeginTrans();
    db.ExecuteSQL("DROP TABLE [S$A1:IV65536]");
    db.ExecuteSQL("CREATE TABLE [S$A1:IV65536] ([A] char(255), [B] char(255))");
    for (int i = 0; i < 20; ++i)
        db.ExecuteSQL("INSERT INTO [S] ([A], [B]) VALUES ('" + std::string(500, char('a' + i)) + "', 'b')");
    try {
        db.CommitTrans();
        FAIL() << "the commit reported success on a full disk";
    } catch (const CDBException& e) {
        EXPECT_NE(e.m_strError.find("Cannot write the workbook"), std::string::npos) << e.m_strError;
    }
    EXPECT_TRUE(db.Rollback());
    db.Close();
    EXPECT_EQ(ReadBytes(book), before);
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(mnt))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"PCB.xls", "PCB.xls.lock", "filler"}));
    CDatabase reader;
    reader.OpenEx(WorkbookConnect(book), CDatabase::noOdbcDialog);
    EXPECT_EQ(ReadTable(reader, "S").back(), (std::vector<std::string>{"kept", "row"}));
}
