// The inter-process workbook lock: re-entrant in one process, exclusive
// between processes (its bounded wait is checked through a connection).
#include "spreadsheet/driver/FileLock.h"
#include "tests/ScratchFolder.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <thread>

using namespace std::chrono_literals;
using spreadsheet::FileLock;

namespace {

class FileLockTest : public ::testing::Test {
 protected:
  ScratchFolder m_dir;
  std::string m_path = m_dir.File("PCB.xls");

  // Waits for the child's end (killing it first if asked) and gives its exit code.
  static int ExitCode(pid_t pid, bool kill = false) {
    int status = 0;
    if (kill) ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // True once `n` requests queue for the lock (at most 10 s).
  bool QueuedSoon(int n) {
    for (int i = 0; i < 1000 && FileLock::QueuedWaiters(m_path) != n; ++i) std::this_thread::sleep_for(10ms);
    return FileLock::QueuedWaiters(m_path) == n;
  }
  // A child that takes the lock, says so through `marker`, and keeps it
  // until killed.
  pid_t HoldInChild(const std::string& marker) {
    pid_t pid = SpawnChild([&] {
      FileLock lock(m_path, 10s);
      WriteBytes(marker, "held");
      for (;;) ::pause();
      return 0;
    });
    while (!std::filesystem::exists(marker)) std::this_thread::sleep_for(5ms);
    return pid;
  }

  // 0 when this process cannot get the lock within 100 ms.
  int Refused() {
    try {
      FileLock again(m_path, 100ms);
      return 2;
    } catch (const platform::Error&) {
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
  }
  EXPECT_EQ(FileLock::HoldCount(m_path), 0);
}

TEST_F(FileLockTest, AForkedChildDoesNotInheritTheHolding) {
  FileLock held(m_path);
  EXPECT_EQ(InChild([&] { return FileLock::HoldCount(m_path) == 0 ? Refused() : 1; }), 0);
  // The child's exit did not release the parent's lock.
  EXPECT_EQ(InChild([&] { return Refused(); }), 0);
}

// A holder that releases the lock and asks for it again at once goes behind
// the process already waiting, also when the sidecar holds bytes of its own.
TEST_F(FileLockTest, TheReleasedLockGoesToTheWaiterBeforeItsHolderTakesItAgain) {
  for (const std::string sidecar : {std::string(), std::string("not a counter")}) {
    SCOPED_TRACE(sidecar.size());
    WriteBytes(m_path + ".lock", sidecar);
    const std::string marker = m_dir.File("waiter-had-it");
    std::filesystem::remove(marker);
    auto held = std::make_unique<FileLock>(m_path);
    pid_t waiter = SpawnChild([&] {
      FileLock lock(m_path, 10s);
      WriteBytes(marker, "x");
      std::this_thread::sleep_for(200ms);
      return 0;
    });
    ASSERT_TRUE(QueuedSoon(1));
    held.reset();
    FileLock again(m_path, 10s);
    EXPECT_TRUE(std::filesystem::exists(marker)) << "the releasing process took the lock again first";
    EXPECT_EQ(ExitCode(waiter), 0);
    EXPECT_EQ(FileLock::QueuedWaiters(m_path), 0);
  }
}

// Processes killed while waiting or while holding leave nothing that blocks
// the next one.
TEST_F(FileLockTest, AKilledWaiterOrHolderBlocksNobody) {
  pid_t holder = HoldInChild(m_dir.File("holding"));
  auto waitForTheLock = [&] {
    FileLock lock(m_path, 60s);
    return 0;
  };
  pid_t waiter = SpawnChild(waitForTheLock);
  ASSERT_TRUE(QueuedSoon(1));
  pid_t second = SpawnChild(waitForTheLock);  // queued behind the first
  ASSERT_TRUE(QueuedSoon(2));
  ExitCode(waiter, true);
  EXPECT_EQ(FileLock::QueuedWaiters(m_path), 1);
  ExitCode(holder, true);
  EXPECT_EQ(ExitCode(second), 0) << "the waiter behind the killed one got its turn";

  holder = HoldInChild(m_dir.File("holding-again"));
  EXPECT_EQ(Refused(), 0);
  ExitCode(holder, true);
  EXPECT_NO_THROW(FileLock(m_path, 1s));
  EXPECT_EQ(FileLock::QueuedWaiters(m_path), 0);
}
