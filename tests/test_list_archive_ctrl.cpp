// The result list's archive operation on a real list window.
#include <gtest/gtest.h>

#include "platform/MessageBox.h"
#include "tests/ListTestSupport.h"
#include "tests/MemoryListContents.h"
#include "tests/ScratchFolder.h"

namespace {

using namespace platform;
using ListArchive = listtest::ListFixture;

// What a list window holds, column layout, texts and flags.
MemoryListContents Contents(CListCtrl& list) {
  MemoryListContents out;
  out.columns.resize(list.GetColumnCount());
  for (int c = 0; c < list.GetColumnCount(); ++c)
    list.GetColumn(c, &out.columns[c].format, &out.columns[c].width, &out.columns[c].text);
  for (int r = 0; r < list.GetItemCount(); ++r) {
    out.rows.push_back({{}, static_cast<uint32_t>(list.GetItemData(r))});
    for (int c = 0; c < list.GetColumnCount(); ++c) out.rows.back().cells.push_back(list.GetItemText(r, c));
  }
  return out;
}

TEST_F(ListArchive, StoredListLoadsIntoAnEmptyListWithColumnsTextsAndFlags) {
  list->SetItemData(0, 1);
  list->SetItemData(1, 2);
  list->SetItemText(2, 1, "\xB5\xE7\xD1\xB9");  // 电压
  ScratchFolder folder;
  list->m_strArchiveFile = folder.File("list.arc");
  ASSERT_TRUE(list->ArchiveContents(true));

  int boxes = 0;
  auto previous = SetMessageBoxHandler([&](const std::string&, unsigned) { return ++boxes, IDOK; });
  CMyListCtrl other(0, 1);
  ASSERT_TRUE(other.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, CRect(0, 0, 200, 200), dialog.get(), 1));
  other.m_strArchiveFile = list->m_strArchiveFile;
  ASSERT_TRUE(other.ArchiveContents(false));
  SetMessageBoxHandler(previous);
  EXPECT_EQ(boxes, 1);
  EXPECT_EQ(Contents(other), Contents(*list));
}

}  // namespace
