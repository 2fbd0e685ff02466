#include "platform/ListCtrl.h"

#include <QHeaderView>
#include <QScrollBar>
#include <algorithm>
#include <cstring>

#include "platform/ListModel_p.h"
#include "platform/ListScrollBar_p.h"
#include "platform/ListView_p.h"
#include "platform/WndBridge_p.h"

namespace platform {

using namespace listctrl;

struct CListCtrl::Impl {
  ListView* view = nullptr;
  ListModel* model = nullptr;
};

// The list's view and model while it has a window; both null otherwise.
struct CListCtrl::ViewAndModel {
  ListView* view;
  ListModel* model;
  explicit operator bool() const { return view && model; }
};

CListCtrl::ViewAndModel CListCtrl::Live() const {
  if (!m_impl || !m_widget) return ViewAndModel{nullptr, nullptr};
  return ViewAndModel{m_impl->view, m_impl->model};
}

CListCtrl::CListCtrl() : m_impl(std::make_unique<Impl>()) {}

CListCtrl::~CListCtrl() {
  if (GetSafeHwnd()) DestroyWindow();
}

BOOL CListCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
  if (GetSafeHwnd()) return FALSE;
  auto* view = new ListView();
  auto* header = new ListHeader(view);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->setStretchLastSection(false);
  header->setMinimumSectionSize(0);
  header->setSectionsMovable(false);
  header->setSectionsClickable(false);
  auto* model = new ListModel();
  model->setParent(view);
  model->style = dwStyle;
  model->fontSource = view;
  view->setFrameShape(QFrame::NoFrame);
  view->setFocusPolicy(Qt::StrongFocus);
  view->setAutoFillBackground(false);
  view->viewport()->setAutoFillBackground(false);
  // The rows area paints every pixel itself (its background, then the rows),
  // so nothing under it needs painting first.
  view->viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  view->setVerticalScrollBar(new ListScrollBar(Qt::Vertical));
  view->setHorizontalScrollBar(new ListScrollBar(Qt::Horizontal));
  view->TakeOverScrollBarLayout();
  view->Attach(model, header);
  if (dwStyle & LVS_NOCOLUMNHEADER) header->hide();
  header->Forget();
  // The platform reports scrolling before it happens.
  QObject::connect(view->verticalScrollBar(), &QAbstractSlider::actionTriggered, view, [view](int action) {
    if (view->owner) CWnd::Bridge::Scroll(view->owner, true, action, view->verticalScrollBar()->sliderPosition());
  });
  QObject::connect(view->horizontalScrollBar(), &QAbstractSlider::actionTriggered, view, [view](int action) {
    if (view->owner) CWnd::Bridge::Scroll(view->owner, false, action, view->horizontalScrollBar()->sliderPosition());
  });
  m_impl->view = view;
  m_impl->model = model;
  if (!CreateOver(view, dwStyle, rect, pParentWnd, nID)) {
    m_impl->view = nullptr;
    m_impl->model = nullptr;
    return FALSE;
  }
  return TRUE;
}

DWORD CListCtrl::SetExtendedStyle(DWORD dwNewStyle) {
  const ViewAndModel p = Live();
  if (!p) return 0;
  const DWORD old = p.model->extStyle;
  p.model->extStyle = dwNewStyle;
  p.view->viewport()->update();
  return old;
}

DWORD CListCtrl::GetExtendedStyle() const {
  const ViewAndModel p = Live();
  if (!p) return 0;
  return p.model->extStyle;
}

BOOL CListCtrl::SetTextBkColor(COLORREF cr) {
  const ViewAndModel p = Live();
  if (!p) return FALSE;
  p.model->textBk = cr;
  p.view->ForgetBackground();
  p.view->viewport()->update();
  return TRUE;
}

COLORREF CListCtrl::GetTextBkColor() const {
  const ViewAndModel p = Live();
  if (!p) return CLR_NONE;
  return p.model->textBk;
}

BOOL CListCtrl::SetTextColor(COLORREF cr) {
  const ViewAndModel p = Live();
  if (!p) return FALSE;
  p.model->textColor = cr;
  p.view->viewport()->update();
  return TRUE;
}

CImageList* CListCtrl::SetImageList(CImageList* pImageList, int nImageListType) {
  const ViewAndModel p = Live();
  if (!p) return nullptr;
  CImageList*& slot = nImageListType == LVSIL_SMALL ? p.model->smallImages : p.model->normalImages;
  CImageList* old = slot;
  slot = pImageList;
  // Row heights follow the image height.
  p.view->GeometryChanged();
  p.view->Sync();
  p.view->viewport()->update();
  return old;
}

CImageList* CListCtrl::GetImageList(int nImageListType) const {
  const ViewAndModel p = Live();
  if (!p) return nullptr;
  return nImageListType == LVSIL_SMALL ? p.model->smallImages : p.model->normalImages;
}

int CListCtrl::InsertColumn(int nCol, const std::string& lpszColumnHeading, int nFormat, int nWidth, int /*nSubItem*/) {
  const ViewAndModel p = Live();
  if (!p) return -1;
  if (nCol < 0) return -1;
  nCol = std::min(nCol, p.model->ColumnCount());
  p.model->InsertColumn(nCol, Column{nFormat & LVCFMT_JUSTIFYMASK, lpszColumnHeading});
  p.view->Sync();
  const int width = nWidth >= 0 ? nWidth : GetStringWidth(lpszColumnHeading) + 2 * kTextPadding;
  p.view->header()->resizeSection(nCol, width);
  p.view->viewport()->update();
  return nCol;
}

BOOL CListCtrl::DeleteColumn(int nCol) {
  const ViewAndModel p = Live();
  if (!p) return FALSE;
  if (nCol < 0 || nCol >= p.model->ColumnCount()) return FALSE;
  p.model->RemoveColumn(nCol);
  p.view->Sync();
  p.view->viewport()->update();
  return TRUE;
}

BOOL CListCtrl::GetColumn(int nCol, int* pFormat, int* pWidth, std::string* pText) const {
  const ViewAndModel p = Live();
  if (!p) return FALSE;
  if (nCol < 0 || nCol >= p.model->ColumnCount()) return FALSE;
  const Column& c = p.model->columns[static_cast<size_t>(nCol)];
  if (pFormat) *pFormat = c.format;
  if (pWidth) *pWidth = p.view->header()->sectionSize(nCol);
  if (pText) *pText = c.text;
  return TRUE;
}

BOOL CListCtrl::SetColumnText(int nCol, const std::string& text) {
  const ViewAndModel p = Live();
  if (!p) return FALSE;
  if (nCol < 0 || nCol >= p.model->ColumnCount()) return FALSE;
  p.model->columns[static_cast<size_t>(nCol)].text = text;
  p.model->columns[static_cast<size_t>(nCol)].headerWidth = -1;
  p.model->HeaderChanged(nCol);
  return TRUE;
}

int CListCtrl::GetColumnCount() const {
  const ViewAndModel p = Live();
  if (!p) return 0;
  return p.model->ColumnCount();
}

int CListCtrl::GetAutoSizeWidth(int nCol, int cx) const {
  const ViewAndModel p = Live();
  if (!p) return -1;
  if (nCol < 0 || nCol >= p.model->ColumnCount() || (cx != LVSCW_AUTOSIZE && cx != LVSCW_AUTOSIZE_USEHEADER)) return -1;
  int content = p.model->ContentWidth(nCol) + 2 * kTextPadding;
  if (nCol == 0 && p.model->smallImages) content += kIconGap + IconWidthOf(p.model);
  if (cx == LVSCW_AUTOSIZE) return content;
  int width = std::max(content, p.model->HeaderWidth(nCol) + 2 * kTextPadding);
  // The last column also takes what is left of the client width.
  if (nCol == p.model->ColumnCount() - 1) {
    p.view->Sync();
    int others = 0;
    for (int c = 0; c < nCol; ++c) others += p.view->header()->sectionSize(c);
    width = std::max(width, p.view->viewport()->width() - others);
  }
  return width;
}

BOOL CListCtrl::SetColumnWidth(int nCol, int cx) {
  const ViewAndModel p = Live();
  if (!p) return FALSE;
  if (nCol < 0 || nCol >= p.model->ColumnCount() || cx < LVSCW_AUTOSIZE_USEHEADER) return FALSE;
  const int width = cx >= 0 ? cx : GetAutoSizeWidth(nCol, cx);
  // The header reports a real change, which repaints from the column on.
  if (width != p.view->header()->sectionSize(nCol)) p.view->header()->resizeSection(nCol, width);
  return TRUE;
}

int CListCtrl::GetColumnWidth(int nCol) const {
  const ViewAndModel p = Live();
  if (!p) return 0;
  if (nCol < 0 || nCol >= p.model->ColumnCount()) return 0;
  return p.view->header()->sectionSize(nCol);
}

int CListCtrl::GetItemCount() const {
  const ViewAndModel p = Live();
  if (!p) return 0;
  return p.model->Count();
}

int CListCtrl::InsertItem(int nItem, const std::string& lpszItem, int nImage) {
  LVITEM item;
  item.mask = LVIF_TEXT | LVIF_IMAGE;
  item.iItem = nItem;
  std::string text = lpszItem;
  item.pszText = text.data();
  item.iImage = nImage;
  return InsertItem(&item);
}

int CListCtrl::InsertItem(const LVITEM* pItem) {
  const ViewAndModel p = Live();
  if (!p) return -1;
  if (!pItem || pItem->iItem < 0 || pItem->iSubItem != 0) return -1;
  const int at = std::min(pItem->iItem, p.model->Count());
  Row row;
  row.texts.resize(std::max<size_t>(1, p.model->columns.size()));
  if ((pItem->mask & LVIF_TEXT) && pItem->pszText) row.texts[0] = pItem->pszText;
  if (pItem->mask & LVIF_IMAGE) row.image = pItem->iImage;
  if (pItem->mask & LVIF_PARAM) row.data = pItem->lParam;
  if (pItem->mask & LVIF_INDENT) row.indent = std::max(0, pItem->iIndent);
  p.model->InsertRow(at, std::move(row));
  p.view->Sync();  // scroll bars and header follow at once, with or without an event loop
  if (pItem->mask & LVIF_STATE) SetItemState(at, pItem->state, pItem->stateMask);
  return at;
}

BOOL CListCtrl::SetItem(int nItem, int nSubItem, UINT nMask, const std::string& lpszItem, int nImage, UINT nState,
                        UINT nStateMask, LPARAM lParam, int nIndent) {
  LVITEM item;
  item.mask = nMask;
  item.iItem = nItem;
  item.iSubItem = nSubItem;
  std::string text = lpszItem;
  item.pszText = text.data();
  item.iImage = nImage;
  item.state = nState;
  item.stateMask = nStateMask;
  item.lParam = lParam;
  item.iIndent = nIndent;
  return SetItem(&item);
}

BOOL CListCtrl::SetItem(const LVITEM* pItem) {
  const ViewAndModel p = Live();
  if (!p) return FALSE;
  if (!pItem || !p.model->ValidRow(pItem->iItem)) return FALSE;
  const int sub = pItem->iSubItem;
  // Sub-items exist as far as the columns go; row properties belong to item 0.
  if (sub < 0 || (sub > 0 && sub >= p.model->ColumnCount())) return FALSE;
  if (sub > 0 && (pItem->mask & ~LVIF_TEXT)) return FALSE;
  Row& row = p.model->rows[static_cast<size_t>(pItem->iItem)];
  if ((pItem->mask & LVIF_TEXT) && pItem->pszText) {
    p.model->SetText(row, sub, pItem->pszText);
  }
  if (pItem->mask & LVIF_IMAGE) row.image = pItem->iImage;
  if (pItem->mask & LVIF_PARAM) row.data = pItem->lParam;
  if (pItem->mask & LVIF_INDENT) row.indent = std::max(0, pItem->iIndent);
  p.model->RowChanged(pItem->iItem);
  if (pItem->mask & LVIF_STATE) SetItemState(pItem->iItem, pItem->state, pItem->stateMask);
  return TRUE;
}

BOOL CListCtrl::SetItemText(int nItem, int nSubItem, const std::string& lpszText) {
  return SetItem(nItem, nSubItem, LVIF_TEXT, lpszText, 0, 0, 0, 0);
}

std::string CListCtrl::GetItemText(int nItem, int nSubItem) const {
  const ViewAndModel p = Live();
  if (!p) return std::string();
  return p.model->Text(nItem, nSubItem);
}

DWORD_PTR CListCtrl::GetItemData(int nItem) const {
  const ViewAndModel p = Live();
  if (!p) return 0;
  if (!p.model->ValidRow(nItem)) return 0;
  return static_cast<DWORD_PTR>(p.model->rows[static_cast<size_t>(nItem)].data);
}

BOOL CListCtrl::SetItemData(int nItem, DWORD_PTR dwData) {
  const ViewAndModel p = Live();
  if (!p) return FALSE;
  if (!p.model->ValidRow(nItem)) return FALSE;
  p.model->rows[static_cast<size_t>(nItem)].data = static_cast<LPARAM>(dwData);
  return TRUE;
}

int CListCtrl::GetItemImage(int nItem) const {
  const ViewAndModel p = Live();
  if (!p) return -1;
  if (!p.model->ValidRow(nItem)) return -1;
  return p.model->rows[static_cast<size_t>(nItem)].image;
}

int CListCtrl::GetItemIndent(int nItem) const {
  const ViewAndModel p = Live();
  if (!p) return 0;
  if (!p.model->ValidRow(nItem)) return 0;
  return p.model->rows[static_cast<size_t>(nItem)].indent;
}

BOOL CListCtrl::SetItemState(int nItem, UINT nState, UINT nMask) {
  const ViewAndModel p = Live();
  if (!p) return FALSE;
  if (nItem != -1 && !p.model->ValidRow(nItem)) return FALSE;
  // -1: every row.
  const int first = nItem == -1 ? 0 : nItem;
  const int last = nItem == -1 ? p.model->Count() - 1 : nItem;
  for (int i = first; i <= last; ++i) {
    if (nMask & LVIS_SELECTED) p.model->rows[static_cast<size_t>(i)].selected = (nState & LVIS_SELECTED) != 0;
    if (nMask & LVIS_FOCUSED) {
      if (nState & LVIS_FOCUSED)
        p.model->focused = i;
      else if (p.model->focused == i)
        p.model->focused = -1;
    }
  }
  if (nItem == -1)
    p.view->viewport()->update();
  else
    p.model->RowChanged(nItem);
  return TRUE;
}

UINT CListCtrl::GetItemState(int nItem, UINT nMask) const {
  const ViewAndModel p = Live();
  if (!p) return 0;
  if (!p.model->ValidRow(nItem)) return 0;
  UINT state = 0;
  if (p.model->rows[static_cast<size_t>(nItem)].selected) state |= LVIS_SELECTED;
  if (p.model->focused == nItem) state |= LVIS_FOCUSED;
  return state & nMask;
}

int CListCtrl::GetNextItem(int nItem, int nFlags) const {
  const ViewAndModel p = Live();
  if (!p) return -1;
  UINT wanted = 0;
  if (nFlags & LVNI_SELECTED) wanted |= LVIS_SELECTED;
  if (nFlags & LVNI_FOCUSED) wanted |= LVIS_FOCUSED;
  const auto matches = [&](int i) { return (GetItemState(i, wanted) & wanted) == wanted; };
  if (nFlags & LVNI_ABOVE) {
    for (int i = nItem - 1; i >= 0; --i)
      if (matches(i)) return i;
    return -1;
  }
  for (int i = std::max(0, nItem + 1); i < p.model->Count(); ++i)
    if (matches(i)) return i;
  return -1;
}

UINT CListCtrl::GetSelectedCount() const {
  const ViewAndModel p = Live();
  if (!p) return 0;
  UINT count = 0;
  for (const Row& r : p.model->rows) count += r.selected ? 1 : 0;
  return count;
}

BOOL CListCtrl::DeleteItem(int nItem) {
  const ViewAndModel p = Live();
  if (!p) return FALSE;
  if (!p.model->ValidRow(nItem)) return FALSE;
  p.model->RemoveRow(nItem);
  p.view->Sync();
  return TRUE;
}

BOOL CListCtrl::DeleteAllItems() {
  const ViewAndModel p = Live();
  if (!p) return FALSE;
  p.model->Clear();
  p.view->Sync();
  return TRUE;
}

BOOL CListCtrl::EnsureVisible(int nItem, BOOL bPartialOK) {
  const ViewAndModel p = Live();
  if (!p) return FALSE;
  if (!p.model->ValidRow(nItem)) return FALSE;
  p.view->Sync();
  const int top = p.view->TopIndex();
  const int rowHeight = p.view->RowHeight();
  const int height = p.view->viewport()->height();
  const int perPage = height / rowHeight;
  const bool partlyShown = nItem == top + perPage && height % rowHeight != 0;
  if (nItem >= top && (nItem < top + perPage || (bPartialOK && partlyShown))) return TRUE;
  p.view->ShowRow(nItem);
  return TRUE;
}

int CListCtrl::GetTopIndex() const {
  const ViewAndModel p = Live();
  if (!p) return 0;
  p.view->Sync();
  return p.view->TopIndex();
}

int CListCtrl::GetCountPerPage() const {
  const ViewAndModel p = Live();
  if (!p) return 0;
  p.view->Sync();
  return p.view->viewport()->height() / p.view->RowHeight();
}

int CListCtrl::GetRowHeight() const {
  const ViewAndModel p = Live();
  if (!p) return 0;
  return p.view->RowHeight();
}

BOOL CListCtrl::GetItemRect(int nItem, LPRECT lpRect, UINT nCode) const {
  const ViewAndModel p = Live();
  if (!p) return FALSE;
  if (!lpRect || !p.model->ValidRow(nItem)) return FALSE;
  p.view->Sync();
  const int rowHeight = p.view->RowHeight();
  const int top = p.view->viewport()->y() + (nItem - p.view->TopIndex()) * rowHeight;
  const int left = -p.view->HorizontalOffset();
  const int iconWidth = p.model->smallImages ? IconWidthOf(p.model) : 0;
  const int column0 = p.model->ColumnCount() > 0 ? p.view->header()->sectionSize(0) : 0;
  switch (nCode) {
    case LVIR_BOUNDS:
      *lpRect = RECT{left, top, left + p.view->TotalWidth(), top + rowHeight};
      break;
    case LVIR_ICON:
      *lpRect = RECT{left, top, left + (iconWidth ? kIconGap + iconWidth : 0), top + rowHeight};
      break;
    case LVIR_LABEL:
      *lpRect = RECT{left + (iconWidth ? kIconGap + iconWidth : 0), top, left + column0, top + rowHeight};
      break;
    default:
      return FALSE;
  }
  return TRUE;
}

BOOL CListCtrl::Scroll(CSize size) {
  const ViewAndModel p = Live();
  if (!p) return FALSE;
  p.view->Sync();
  if (size.cx) p.view->horizontalScrollBar()->setValue(p.view->horizontalScrollBar()->value() + size.cx);
  if (size.cy)
    p.view->verticalScrollBar()->setValue(p.view->verticalScrollBar()->value() + size.cy / p.view->RowHeight());
  return TRUE;
}

int CListCtrl::GetScrollPos(int nBar) const {
  const ViewAndModel p = Live();
  if (!p) return 0;
  p.view->Sync();
  return nBar == 0 ? p.view->horizontalScrollBar()->value() : p.view->verticalScrollBar()->value();
}

int CListCtrl::GetStringWidth(const std::string& lpsz) const {
  const ViewAndModel p = Live();
  if (!p) return 0;
  return TextWidth(p.view->font(), lpsz);
}

int CListCtrl::HitTest(CPoint pt, UINT* pFlags) const {
  if (pFlags) *pFlags = LVHT_NOWHERE;
  const ViewAndModel p = Live();
  if (!p) return -1;
  p.view->Sync();
  const int row = p.view->RowAtViewport(QPoint(pt.x, pt.y) - p.view->viewport()->pos());
  if (row >= 0 && pFlags) *pFlags = LVHT_ONITEMLABEL;
  return row;
}

BOOL CListCtrl::OnEraseBkgnd(CDC* pDC) {
  const ViewAndModel p = Live();
  if (!p) return CWnd::OnEraseBkgnd(pDC);
  // The list's own background: its text background colour, white when none.
  RECT client;
  GetClientRect(&client);
  pDC->FillSolidRect(&client, p.model->textBk == CLR_NONE ? RGB(255, 255, 255) : p.model->textBk);
  return TRUE;
}

RECT CListCtrl::ClientArea() const {
  if (!m_impl || !m_impl->view || !m_widget) return CWnd::ClientArea();
  m_impl->view->Sync();
  const QRect vp = m_impl->view->viewport()->geometry();
  return RECT{0, 0, vp.x() + vp.width(), vp.y() + vp.height()};
}

}  // namespace platform
