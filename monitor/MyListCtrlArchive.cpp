// The result list's archive operation, and the list control seen through the
// interface the store routine works on.
#include "monitor/ListContentsArchive.h"
#include "monitor/MyListCtrl.h"
#include "platform/ListCtrl.h"

namespace {

class ListCtrlContents : public ListContentsAccess {
 public:
  explicit ListCtrlContents(platform::CListCtrl& list) : m_list(list) {}

  bool GetColumn(int index, int* format, int* width, std::string* text) const override {
    return m_list.GetColumn(index, format, width, text) != 0;
  }
  void InsertColumn(int index, int format, int width, const std::string& text) override {
    m_list.InsertColumn(index, text, format, width);
  }
  int GetRowCount() const override { return m_list.GetItemCount(); }
  std::string GetCellText(int row, int column) const override { return m_list.GetItemText(row, column); }
  void InsertRow(int row) override { m_list.InsertItem(row, std::string()); }
  void SetCellText(int row, int column, const std::string& text) override { m_list.SetItemText(row, column, text); }
  // Item data is stored as 32 bits: the rows keep small flags there.
  uint32_t GetRowData(int row) const override { return static_cast<uint32_t>(m_list.GetItemData(row)); }
  void SetRowData(int row, uint32_t data) override { m_list.SetItemData(row, data); }

 private:
  platform::CListCtrl& m_list;
};

}  // namespace

bool StoreListContents(platform::CListCtrl& list, const std::string& path, bool store) {
  ListCtrlContents contents(list);
  return StoreListContents(contents, path, store);
}

bool CMyListCtrl::ArchiveContents(bool bStoring) {
  return StoreListContents(*this, m_strArchiveFile, bStoring);
}
