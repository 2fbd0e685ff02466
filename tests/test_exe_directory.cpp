#include "platform/ExeDirectory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

TEST(ExeDirectory, IsTheDirectoryOfTheRunningProgramWithoutTrailingSeparator) {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  ASSERT_GT(n, 0);
  std::string exe(buf, n);
  std::string dir = CBasic::GetExeDirectory();
  EXPECT_EQ(dir, exe.substr(0, exe.rfind('/')));
  EXPECT_NE(dir.back(), '/');
}
