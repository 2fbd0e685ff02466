// The result list's archive operation on a real list window.
#include <gtest/gtest.h>

#include <unistd.h>

#include "platform/MessageBox.h"
#include "tests/ListTestSupport.h"

namespace {

using namespace platform;
using ListArchive = listtest::ListFixture;

TEST_F(ListArchive, StoredListLoadsIntoAnEmptyListWithColumnsTextsAndFlags) {
  list->SetItemData(0, 1);
  list->SetItemData(1, 2);
  list->SetItemText(2, 1, "\xB5\xE7\xD1\xB9");  // 电压
  char path[] = "/tmp/list-ctrl-archive-XXXXXX";
  close(mkstemp(path));
  list->m_strArchiveFile = path;
  ASSERT_TRUE(list->ArchiveContents(true));

  int boxes = 0;
  auto previous = platform::SetMessageBoxHandler([&](const std::string&, unsigned) { return ++boxes, platform::IDOK; });
  CMyListCtrl other(0, 1);
  ASSERT_TRUE(other.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, CRect(0, 0, 200, 200), dialog.get(), 1));
  other.m_strArchiveFile = path;
  ASSERT_TRUE(other.ArchiveContents(false));
  platform::SetMessageBoxHandler(previous);
  unlink(path);

  EXPECT_EQ(boxes, 1);
  ASSERT_EQ(other.GetColumnCount(), 3);
  for (int c = 0; c < 3; ++c) {
    int f[2], w[2];
    std::string t[2];
    list->GetColumn(c, &f[0], &w[0], &t[0]);
    other.GetColumn(c, &f[1], &w[1], &t[1]);
    EXPECT_EQ(std::tie(f[0], w[0], t[0]), std::tie(f[1], w[1], t[1])) << c;
  }
  ASSERT_EQ(other.GetItemCount(), list->GetItemCount());
  for (int r = 0; r < list->GetItemCount(); ++r) {
    for (int c = 0; c < 3; ++c) EXPECT_EQ(other.GetItemText(r, c), list->GetItemText(r, c));
    EXPECT_EQ(other.GetItemData(r), list->GetItemData(r));
  }
}

}  // namespace
