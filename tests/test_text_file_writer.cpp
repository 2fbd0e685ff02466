// The text-mode file writer the result logs go through: every LF reaches the
// disk as CR LF, every other byte as it is.
#include "platform/Files.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/ScratchFolder.h"

namespace {

TEST(TextFileWriter, LineFeedsBecomeCrLfAndNothingElseChanges) {
  const ScratchFolder folder;
  const std::string path = folder.File("log.txt");
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"\n\nx\n", "\r\n\r\nx\r\n"},
      {"already\r\n", "already\r\r\n"},  // text mode: a CR before it is kept as it is
      {std::string("nul\0\n\x1b[0m\xB1\xA3", 11), std::string("nul\0\r\n\x1b[0m\xB1\xA3", 12)},
      {std::string(10000, 'x') + "\n", std::string(10000, 'x') + "\r\n"},  // past any buffer
  };
  for (const auto& [text, expected] : cases) {
    platform::TextFileWriter file;
    ASSERT_TRUE(file.Create(path));
    ASSERT_TRUE(file.Write(text));
    ASSERT_TRUE(file.Write("b\n"));  // writes append
    ASSERT_TRUE(file.Close());
    EXPECT_FALSE(file.Write("c\n"));  // a closed writer refuses to write
    EXPECT_EQ(ReadBytes(path), expected + "b\r\n") << text.substr(0, 20);
  }
}

}  // namespace
