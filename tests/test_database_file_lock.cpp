// The inter-process workbook lock: re-entrant in one process, exclusive
// between processes (its bounded wait is checked through a connection).
#include "spreadsheet/driver/FileLock.h"
#include "tests/ScratchFolder.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace std::chrono_literals;
using platform::FileLock;
using platform::FileLockError;

namespace {

class FileLockTest : public ::testing::Test {
protected:
    ScratchFolder m_dir;
    std::string m_path = m_dir.File("PCB.xls");

    // 0 when this process cannot get the lock within 100 ms.
    int Refused() {
        try {
            FileLock again(m_path, 100ms);
            return 2;
        } catch (const FileLockError&) {
            return 0;
        }
    }
};

}  // namespace

TEST_F(FileLockTest, ReentrantInOneProcessAndCountedPerCanonicalPath) {
    EXPECT_EQ(FileLock::HoldCount(m_path), 0);
    {
        FileLock outer(m_path);
        EXPECT_TRUE(outer.Held());
        // Another spelling of the same file shares the holding.
        FileLock inner(m_dir.Path() + "/./../" + std::filesystem::path(m_dir.Path()).filename().string() + "/PCB.xls", 0ms);
        EXPECT_EQ(FileLock::HoldCount(m_path), 2);
        inner.Release();
        inner.Release();
        EXPECT_EQ(FileLock::HoldCount(m_path), 1);
        FileLock moved(std::move(outer));
        EXPECT_FALSE(outer.Held());
        EXPECT_EQ(FileLock::HoldCount(m_path), 1);
    }
    EXPECT_EQ(FileLock::HoldCount(m_path), 0);
    EXPECT_TRUE(std::filesystem::exists(m_path + ".lock"));
}

TEST_F(FileLockTest, AForkedChildDoesNotInheritTheHolding) {
    FileLock held(m_path);
    EXPECT_EQ(InChild([&] { return FileLock::HoldCount(m_path) == 0 ? Refused() : 1; }), 0);
    // The child's exit did not release the parent's lock.
    EXPECT_EQ(InChild([&] { return Refused(); }), 0);
}

TEST_F(FileLockTest, BadPathsGiveClearErrors) {
    try {
        FileLock lock(m_dir.File("missing-folder/PCB.xls"));
        FAIL() << "locked a file in a missing folder";
    } catch (const FileLockError& e) {
        EXPECT_NE(std::string(e.what()).find("missing-folder"), std::string::npos) << e.what();
    }
    EXPECT_THROW(FileLock(m_dir.Path() + "/"), FileLockError);
}
