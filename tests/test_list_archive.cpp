// The list archive's stored form, read from and written to a list in
// memory, and its operation on a real list window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitor/ListContentsArchive.h"
#include "platform/MessageBox.h"
#include "tests/ListTestSupport.h"
#include "tests/MemoryListContents.h"
#include "tests/ScratchFolder.h"

namespace {

// The stored form's pieces: 32-bit values little-endian, texts after a length byte.
std::string U32(uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
}
std::string Text(const std::string& s) {
  return static_cast<char>(s.size()) + s;
}
std::string Column(uint32_t format, uint32_t width, const std::string& text) {
  return U32(format) + U32(width) + Text(text);
}
const std::string kVoltage = "\xB5\xE7\xD1\xB9", kCurrent = "\xB5\xE7\xC1\xF7";  // 电压, 电流

// A list of 3 columns and 2 rows, stored; its check sum is 7461.
const std::string kStored3x2 = Text("ListCtrl - StoreObject") + U32(7461) + Column(0, 40, "Index") +
                               Column(1, 80, "Item") + Column(2, 120, "Result") + U32(0xFFFFFFFF) + U32(2) +
                               Text("001") + Text(kVoltage) + Text("PASS") + U32(1) + Text("002") + Text(kCurrent) +
                               Text("FAIL") + U32(0);

MemoryListContents Sample3x2() {
  MemoryListContents list;
  list.columns = {{0, 40, "Index"}, {1, 80, "Item"}, {2, 120, "Result"}};
  list.rows = {{{"001", kVoltage, "PASS"}, 1}, {{"002", kCurrent, "FAIL"}, 0}};
  return list;
}

// The file with its check sum field set to the running sum of its other bytes.
std::string Signed(std::string file) {
  uint32_t sum = 0;
  for (std::size_t i = 0; i < file.size(); ++i)
    if (i < 23 || i >= 27) sum += static_cast<unsigned char>(file[i]);
  return file.replace(23, 4, U32(sum));
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
  // The list loaded from the bytes given into `list`, and what loading returned.
  bool Load(const std::string& bytes, MemoryListContents& list) {
    WriteBytes(path_, bytes);
    return StoreListContents(list, path_, false);
  }

  ScratchFolder dir_;
  const std::string path_ = dir_.File("list.arc");
  std::vector<std::string> messages_;
  platform::MessageBoxHandler previous_;
};

TEST_F(ListArchiveTest, StoresTheLayoutByteForByteAndLoadsItBack) {
  MemoryListContents list = Sample3x2();
  ASSERT_TRUE(StoreListContents(list, path_, true));
  EXPECT_EQ(ReadBytes(path_), kStored3x2);
  MemoryListContents loaded;
  ASSERT_TRUE(StoreListContents(loaded, path_, false));
  EXPECT_EQ(loaded, list);
  EXPECT_EQ(messages_, std::vector<std::string>{"7461"});
}

TEST_F(ListArchiveTest, AnySingleChangedByteLeavesTheListUnchanged) {
  for (std::size_t i = 0; i < kStored3x2.size(); ++i) {
    if (i >= 23 && i < 27) continue;  // the sum field itself
    std::string altered = kStored3x2;
    altered[i] = static_cast<char>(altered[i] + 1);
    MemoryListContents list = Sample3x2();
    EXPECT_TRUE(Load(altered, list)) << "byte " << i;
    EXPECT_EQ(list, Sample3x2()) << "byte " << i;
  }
  EXPECT_TRUE(messages_.empty());
}

// A file that is not loaded leaves the list as it was; one with a correct sum
// whose contents stop part way fails, keeping the rows inserted before.
TEST_F(ListArchiveTest, FilesThatAreNotLoaded) {
  std::string otherHeader = kStored3x2;
  otherHeader.replace(1, 8, "ListBox ");
  MemoryListContents partly = Sample3x2();
  partly.rows[1].cells = {"002", "", ""};
  partly.rows[1].data = 0;
  const struct {
    const char* what;
    std::string bytes;
    MemoryListContents before;
    bool returned;
    MemoryListContents after;
  } cases[] = {
      {"wrong header", otherHeader, Sample3x2(), true, Sample3x2()},
      {"empty: a read past the end", "", Sample3x2(), false, Sample3x2()},
      {"contents cut short", Signed(kStored3x2.substr(0, kStored3x2.size() - 10)), {}, false, partly},
  };
  for (auto c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Load(c.bytes, c.before), c.returned);
    EXPECT_EQ(c.before, c.after);
  }
  MemoryListContents list = Sample3x2();
  EXPECT_TRUE(StoreListContents(list, dir_.File("missing.arc"), false));
  EXPECT_EQ(list, Sample3x2());
  EXPECT_EQ(messages_.size(), 1u);  // only the file with a correct sum shows it
}

// Texts of any length pass their own check; a long header text is cut to 259
// bytes without splitting a character.
TEST_F(ListArchiveTest, LongTextsRoundTrip) {
  std::string header = "a";
  while (header.size() < 300) header += "\xB5\xE7";  // 电
  for (std::size_t length : {254u, 255u, 0xFFFEu, 70000u}) {
    MemoryListContents list;
    list.columns = {{0, 50, header}};
    list.rows = {{{std::string(length, 'x')}, 3}};
    ASSERT_TRUE(StoreListContents(list, path_, true));
    MemoryListContents loaded;
    ASSERT_TRUE(StoreListContents(loaded, path_, false)) << length;
    list.columns[0].text = header.substr(0, 259);
    EXPECT_EQ(loaded, list) << "a text of " << length << " bytes";
  }
}

TEST_F(ListArchiveTest, ReadsTheUtf16TextFormAsGbk) {
  const std::string utf16Voltage = std::string("\xFF\xFE\xFF\x02\x35\x75\x8B\x53", 8);  // 电压 as UTF-16LE
  MemoryListContents list;
  ASSERT_TRUE(
      Load(Signed(Text("ListCtrl - StoreObject") + U32(0) + U32(0) + U32(16) + utf16Voltage + U32(0xFFFFFFFF) + U32(0)),
           list));
  EXPECT_EQ(list.columns, (std::vector<MemoryColumn>{{0, 16, kVoltage}}));
}

TEST_F(ListArchiveTest, AFailedWriteReturnsFalse) {
  MemoryListContents list = Sample3x2();
  EXPECT_FALSE(StoreListContents(list, "/dev/full", true));
  EXPECT_TRUE(StoreListContents(list, dir_.File("no/such/dir/x.arc"), true));  // cannot open: nothing written
}

using namespace platform;
using ListArchiveWindow = listtest::ListFixture;

// Stored from a list window, loaded into an empty one that stores the very
// same bytes again; what was stored holds the window's layout, texts and flags.
TEST_F(ListArchiveWindow, StoredListLoadsIntoAnEmptyListWithColumnsTextsAndFlags) {
  list->SetItemData(1, 2);
  list->SetItemText(2, 1, kVoltage);
  ScratchFolder folder;
  list->m_strArchiveFile = folder.File("list.arc");
  ASSERT_TRUE(list->ArchiveContents(true));
  auto previous = SetMessageBoxHandler([](const std::string&, unsigned) { return IDOK; });
  MemoryListContents stored;
  ASSERT_TRUE(StoreListContents(stored, list->m_strArchiveFile, false));
  EXPECT_EQ(std::make_tuple(stored.columns[2], stored.rows[1].data, stored.rows[2].cells[1]),
            std::make_tuple(MemoryColumn{LVCFMT_RIGHT, 110, "Result"}, 2u, kVoltage));
  CMyListCtrl other(0, 1);
  ASSERT_TRUE(other.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, CRect(0, 0, 200, 200), dialog.get(), 1));
  other.m_strArchiveFile = list->m_strArchiveFile;
  ASSERT_TRUE(other.ArchiveContents(false));
  SetMessageBoxHandler(previous);
  other.m_strArchiveFile = folder.File("again.arc");
  ASSERT_TRUE(other.ArchiveContents(true));
  EXPECT_EQ(ReadBytes(other.m_strArchiveFile), ReadBytes(list->m_strArchiveFile));
}

}  // namespace
