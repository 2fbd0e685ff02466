// The inter-process workbook lock: re-entrant in one process, exclusive
// between processes, bounded wait with a clear message.
#include "platform/FileLock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

using namespace std::chrono_literals;
using platform::FileLock;
using platform::FileLockError;

namespace {

class FileLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/filelock-XXXXXX";
        m_dir = mkdtemp(pattern);
        m_path = m_dir + "/PCB.xls";
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    // Runs `child` in a forked process and returns its exit status.
    template <typename F>
    int InChild(F child) {
        pid_t pid = fork();
        if (pid == 0) {
            int code = 99;
            try {
                code = child();
            } catch (...) {
                code = 98;
            }
            _exit(code);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string m_dir;
    std::string m_path;
};

}  // namespace

TEST_F(FileLockTest, ReentrantInOneProcessAndCountedPerCanonicalPath) {
    EXPECT_EQ(FileLock::HoldCount(m_path), 0);
    {
        FileLock outer(m_path);
        EXPECT_TRUE(outer.Held());
        // Another spelling of the same file shares the holding.
        FileLock inner(m_dir + "/./../" + std::filesystem::path(m_dir).filename().string() + "/PCB.xls", 0ms);
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

TEST_F(FileLockTest, AnotherProcessWaitsBoundedAndGetsAClearMessage) {
    FileLock held(m_path);
    int code = InChild([&] {
        auto start = std::chrono::steady_clock::now();
        try {
            FileLock again(m_path, 300ms);
            return 1;  // must not get it while the parent holds it
        } catch (const FileLockError& e) {
            auto waited = std::chrono::steady_clock::now() - start;
            std::string message = e.what();
            if (waited < 250ms || waited > 5s)
                return 2;
            if (message.find("in use by another process") == std::string::npos ||
                message.find("PCB.xls") == std::string::npos || message.find("0.3 s") == std::string::npos)
                return 3;
            return 0;
        }
    });
    EXPECT_EQ(code, 0);
}

TEST_F(FileLockTest, AProcessGetsTheLockOnceTheHolderReleasesIt) {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        FileLock held(m_path);
        char ready = 'r';
        (void)!write(pipeFds[1], &ready, 1);
        usleep(300 * 1000);
        _exit(0);  // releases by ending
    }
    close(pipeFds[1]);
    char ready = 0;
    ASSERT_EQ(read(pipeFds[0], &ready, 1), 1);
    close(pipeFds[0]);
    auto start = std::chrono::steady_clock::now();
    FileLock mine(m_path, 10s);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
    int status = 0;
    waitpid(pid, &status, 0);
}

TEST_F(FileLockTest, AForkedChildDoesNotInheritTheHolding) {
    FileLock held(m_path);
    int code = InChild([&] {
        if (FileLock::HoldCount(m_path) != 0)
            return 1;
        try {
            FileLock child(m_path, 100ms);
            return 2;
        } catch (const FileLockError&) {
            return 0;
        }
    });
    EXPECT_EQ(code, 0);
    // The child's exit did not release the parent's lock.
    int again = InChild([&] {
        try {
            FileLock child(m_path, 100ms);
            return 2;
        } catch (const FileLockError&) {
            return 0;
        }
    });
    EXPECT_EQ(again, 0);
}

TEST_F(FileLockTest, BadPathsGiveClearErrors) {
    try {
        FileLock lock(m_dir + "/missing-folder/PCB.xls");
        FAIL() << "locked a file in a missing folder";
    } catch (const FileLockError& e) {
        EXPECT_NE(std::string(e.what()).find("missing-folder"), std::string::npos) << e.what();
    }
    EXPECT_THROW(FileLock(m_dir + "/"), FileLockError);
}
