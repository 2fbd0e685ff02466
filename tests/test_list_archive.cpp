#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitor/ListContentsArchive.h"
#include "platform/MessageBox.h"
#include "tests/MemoryListContents.h"
#include "tests/ScratchFolder.h"

namespace {

// A list of 3 columns and 2 rows, stored. Every 32-bit value little-endian.
const std::string kStored3x2(
    "\x16"
    "ListCtrl - StoreObject"  // header text
    "\x25\x1D\x00\x00"        // check sum 7461
    "\x00\x00\x00\x00"
    "\x28\x00\x00\x00"
    "\x05"
    "Index"  // format 0, width 40
    "\x01\x00\x00\x00"
    "\x50\x00\x00\x00"
    "\x04"
    "Item"  // format 1, width 80
    "\x02\x00\x00\x00"
    "\x78\x00\x00\x00"
    "\x06"
    "Result"            // format 2, width 120
    "\xFF\xFF\xFF\xFF"  // end of columns
    "\x02\x00\x00\x00"  // two rows
    "\x03"
    "001"
    "\x04"
    "\xB5\xE7\xD1\xB9"
    "\x04"
    "PASS"
    "\x01\x00\x00\x00"  // 电压
    "\x03"
    "002"
    "\x04"
    "\xB5\xE7\xC1\xF7"
    "\x04"
    "FAIL"
    "\x00\x00\x00\x00",  // 电流
    113);

MemoryListContents Sample3x2() {
  MemoryListContents list;
  list.columns = {{0, 40, "Index"}, {1, 80, "Item"}, {2, 120, "Result"}};
  list.rows = {{{"001", "\xB5\xE7\xD1\xB9", "PASS"}, 1}, {{"002", "\xB5\xE7\xC1\xF7", "FAIL"}, 0}};
  return list;
}

// The file with its check sum field set to the running sum of its other bytes.
std::string Signed(std::string file) {
  uint32_t sum = 0;
  for (std::size_t i = 0; i < file.size(); ++i)
    if (i < 23 || i >= 27) sum += static_cast<unsigned char>(file[i]);
  for (int i = 0; i < 4; ++i) file[23 + i] = static_cast<char>(sum >> (8 * i));
  return file;
}

class ListArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = platform::SetMessageBoxHandler([this](const std::string& text, unsigned) {
      messages_.push_back(text);
      return platform::IDOK;
    });
  }
  void TearDown() override { platform::SetMessageBoxHandler(previous_); }
  std::string ReadFile() const { return ReadBytes(path_); }
  void WriteFile(const std::string& bytes) const { WriteBytes(path_, bytes); }

  ScratchFolder dir_;
  const std::string path_ = dir_.File("list.arc");
  std::vector<std::string> messages_;
  platform::MessageBoxHandler previous_;
};

TEST_F(ListArchiveTest, StoresTheLayoutByteForByteAndLoadsItBack) {
  MemoryListContents list = Sample3x2();
  ASSERT_TRUE(StoreListContents(list, path_, true));
  EXPECT_EQ(ReadFile(), kStored3x2);

  MemoryListContents loaded;
  ASSERT_TRUE(StoreListContents(loaded, path_, false));
  EXPECT_EQ(loaded.columns, list.columns);
  EXPECT_EQ(loaded.rows, list.rows);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], "7461");
  // An empty list: header, sum, end of columns and zero rows.
  MemoryListContents empty;
  ASSERT_TRUE(StoreListContents(empty, path_, true));
  const std::string file = ReadFile();
  ASSERT_EQ(file.size(), 23u + 4 + 4 + 4);
  EXPECT_EQ(file.substr(27), std::string("\xFF\xFF\xFF\xFF\x00\x00\x00\x00", 8));
}

TEST_F(ListArchiveTest, AnySingleChangedByteLeavesTheListUnchanged) {
  for (std::size_t i = 0; i < kStored3x2.size(); ++i) {
    if (i >= 23 && i < 27) continue;  // the sum field itself
    std::string altered = kStored3x2;
    altered[i] = static_cast<char>(altered[i] + 1);
    WriteFile(altered);
    MemoryListContents list = Sample3x2();
    EXPECT_TRUE(StoreListContents(list, path_, false)) << "byte " << i;
    EXPECT_EQ(list.columns, Sample3x2().columns) << "byte " << i;
    EXPECT_EQ(list.rows, Sample3x2().rows) << "byte " << i;
  }
  EXPECT_TRUE(messages_.empty());
}

TEST_F(ListArchiveTest, MissingFileAndWrongHeaderLeaveTheListUnchanged) {
  MemoryListContents list = Sample3x2();
  EXPECT_TRUE(StoreListContents(list, dir_.File("missing.arc"), false));
  std::string other = kStored3x2;
  other.replace(1, 8, "ListBox ");
  WriteFile(other);
  EXPECT_TRUE(StoreListContents(list, path_, false));
  WriteFile("");
  EXPECT_FALSE(StoreListContents(list, path_, false));  // not even a header: a read past the end
  EXPECT_EQ(list.rows, Sample3x2().rows);
  EXPECT_EQ(list.columns, Sample3x2().columns);
  EXPECT_TRUE(messages_.empty());
}

TEST_F(ListArchiveTest, LoadingPutsColumnsAndRowsInFrontOfExistingOnes) {
  WriteFile(kStored3x2);
  MemoryListContents list;
  list.columns = {{0, 10, "Old"}};
  list.rows = {{{"old"}, 7}};
  ASSERT_TRUE(StoreListContents(list, path_, false));
  ASSERT_EQ(list.columns.size(), 4u);
  EXPECT_EQ(list.columns[0].text, "Index");
  EXPECT_EQ(list.columns[3].text, "Old");
  ASSERT_EQ(list.rows.size(), 3u);
  EXPECT_EQ(list.rows[0].cells[0], "001");
  EXPECT_EQ(list.rows[1].data, 0u);
  EXPECT_EQ(list.rows[2].cells[3], "old");
  EXPECT_EQ(list.rows[2].data, 7u);
}

TEST_F(ListArchiveTest, LongTextsPassTheirOwnCheck) {
  for (std::size_t length : {254u, 255u, 300u, 0xFFFDu, 0xFFFEu, 70000u}) {
    MemoryListContents list;
    list.columns = {{0, 50, "Item"}};
    list.rows = {{{std::string(length, 'x')}, 3}};
    ASSERT_TRUE(StoreListContents(list, path_, true));
    MemoryListContents loaded;
    ASSERT_TRUE(StoreListContents(loaded, path_, false)) << length;
    ASSERT_EQ(loaded.rows.size(), 1u) << "check failed for a text of " << length << " bytes";
    EXPECT_EQ(loaded.rows[0].cells[0].size(), length);
  }
}

TEST_F(ListArchiveTest, LongHeaderTextIsCutWithoutSplittingACharacter) {
  MemoryListContents list;
  std::string header = "a";
  while (header.size() < 300) header += "\xB5\xE7";  // 电
  list.columns = {{0, 50, header}};
  ASSERT_TRUE(StoreListContents(list, path_, true));
  MemoryListContents loaded;
  ASSERT_TRUE(StoreListContents(loaded, path_, false));
  ASSERT_EQ(loaded.columns.size(), 1u);
  EXPECT_EQ(loaded.columns[0].text, header.substr(0, 259));
}

// A file with a correct sum whose contents stop part way: reading fails, the
// rows inserted before the failure stay, nothing crashes.
TEST_F(ListArchiveTest, TruncatedContentsWithAValidSumReturnFalse) {
  WriteFile(Signed(kStored3x2.substr(0, kStored3x2.size() - 10)));
  MemoryListContents list;
  EXPECT_FALSE(StoreListContents(list, path_, false));
  EXPECT_EQ(list.columns.size(), 3u);
  ASSERT_EQ(list.rows.size(), 2u);
  EXPECT_EQ(list.rows[0].cells[2], "PASS");
}

TEST_F(ListArchiveTest, ReadsTheUtf16TextFormAsGbk) {
  // A header text and one column title stored in the UTF-16 form.
  std::string body = std::string("\x16") + kListArchiveHeader + std::string(4, '\0');
  body += std::string("\x00\x00\x00\x00\x10\x00\x00\x00", 8);
  body += std::string("\xFF\xFE\xFF\x02\x35\x75\x8B\x53", 8);  // 电压 as UTF-16LE
  body += std::string("\xFF\xFF\xFF\xFF\x00\x00\x00\x00", 8);
  WriteFile(Signed(body));
  MemoryListContents list;
  ASSERT_TRUE(StoreListContents(list, path_, false));
  ASSERT_EQ(list.columns.size(), 1u);
  EXPECT_EQ(list.columns[0].text, "\xB5\xE7\xD1\xB9");
}

TEST_F(ListArchiveTest, AFailedWriteReturnsFalse) {
  MemoryListContents list = Sample3x2();
  EXPECT_FALSE(StoreListContents(list, "/dev/full", true));
  EXPECT_TRUE(StoreListContents(list, dir_.File("no/such/dir/x.arc"), true));  // cannot open: nothing written
}

}  // namespace
