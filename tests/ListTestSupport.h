// A dialog with one result list, shown offscreen, and synthetic mouse and
// key input for driving the list and its cell editor.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <array>
#include <memory>
#include <string>

#include "monitor/MyEdit.h"
#include "monitor/MyListCtrl.h"
#include "platform/Application.h"
#include "platform/Dialog.h"

namespace listtest {

using namespace platform;

// Swallows Enter and Escape like the monitor window, and counts the key-downs
// and characters it swallowed.
class KeyFilterDialog : public CDialog {
 public:
  KeyFilterDialog() : CDialog(15003) {}
  int swallowed = 0;
  BOOL PreTranslateMessage(MSG* pMsg) override {
    if (pMsg->message >= WM_KEYDOWN && pMsg->message <= WM_KEYLAST && (pMsg->wParam == 13 || pMsg->wParam == 27)) {
      if (pMsg->message != WM_KEYUP) ++swallowed;
      return TRUE;
    }
    return CDialog::PreTranslateMessage(pMsg);
  }
};

inline void Pump() { PumpMessages(); }

// Left click at a point in the list's client coordinates.
inline void ClickList(CListCtrl& list, CPoint pt, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  auto* area = qobject_cast<QAbstractScrollArea*>(list.GetQWidget());
  QWidget* target = area ? area->viewport() : list.GetQWidget();
  const QPoint local = QPoint(pt.x, pt.y) - target->pos();
  // As from the window system: the click also moves the keyboard focus.
  QTest::mousePress(target, Qt::LeftButton, mods, local);
  QTest::mouseRelease(target, Qt::LeftButton, mods, local);
  Pump();
}

// A key typed into whatever has the keyboard focus.
inline void Type(int key, const QString& text = QString(), Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QWidget* focus = QApplication::focusWidget();
  ASSERT_NE(focus, nullptr) << "nothing has the keyboard focus";
  QKeyEvent press(QEvent::KeyPress, key, mods, text);
  QApplication::sendEvent(focus, &press);
  if (QWidget* now = QApplication::focusWidget()) {
    QKeyEvent release(QEvent::KeyRelease, key, mods, text);
    QApplication::sendEvent(now, &release);
  }
  Pump();
}

inline void TypeText(const std::string& ascii) {
  for (char c : ascii) Type(c >= 'a' && c <= 'z' ? Qt::Key_A + (c - 'a') : c, QString(QChar(c)));
}

inline void Enter() { Type(Qt::Key_Return, "\r"); }
inline void Escape() { Type(Qt::Key_Escape, "\x1b"); }

inline CMyEdit* OpenEditor() { return dynamic_cast<CMyEdit*>(CWnd::GetFocus()); }

// A cell's rectangle and middle, in list client coordinates.
inline CRect CellRect(CListCtrl& list, int row, int column) {
  CRect bounds;
  list.GetItemRect(row, &bounds, LVIR_BOUNDS);
  int left = bounds.left;
  for (int c = 0; c < column; ++c) left += list.GetColumnWidth(c);
  return CRect(left, bounds.top, left + list.GetColumnWidth(column), bounds.bottom);
}
inline CPoint CellCenter(CListCtrl& list, int row, int column) {
  const CRect cell = CellRect(list, row, column);
  return CPoint((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
}

// A rectangle's edges, left, top, right, bottom, to compare in one go.
inline std::array<int, 4> Edges(const CRect& r) { return {r.left, r.top, r.right, r.bottom}; }

// What the list's rows area shows now.
inline QImage ShownRows(CListCtrl& list) {
  auto* area = qobject_cast<QAbstractScrollArea*>(list.GetQWidget());
  EXPECT_NE(area, nullptr);
  return area ? area->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32) : QImage();
}

// A shown dialog holding one result list of three columns and some rows.
class ListFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog = std::make_unique<KeyFilterDialog>();
    ASSERT_TRUE(dialog->Create(15003));
    dialog->MoveWindow(0, 0, 420, 320);
    dialog->ShowWindow(SW_SHOW);
    list = std::make_unique<CMyListCtrl>(0, 0);
    ASSERT_TRUE(
        list->Create(WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHAREIMAGELISTS, CRect(0, 0, 320, 240), dialog.get(), 0));
    list->SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    list->InsertColumn(0, "Index", LVCFMT_LEFT, 60);
    list->InsertColumn(1, "Item", LVCFMT_CENTER, 110);
    list->InsertColumn(2, "Result", LVCFMT_RIGHT, 110);
    for (int i = 0; i < rows; ++i) {
      list->InsertItem(i, "00" + std::to_string(i));
      list->SetItemText(i, 1, "item" + std::to_string(i));
      list->SetItemText(i, 2, "PASS");
    }
    list->SetFocus();
    Pump();
  }
  void TearDown() override {
    list.reset();
    dialog.reset();
    Pump();
  }
  // Gives a row the focus (and selection) as a first click would.
  void FocusRow(int row) { list->SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED); }
  void EditModeOn() {
    if (!list->m_bEditMode) list->SendMessage(WM_HOTKEY, 1, 0);
  }

  // A click on a cell of the focused row with editing on; the editor it opened.
  CMyEdit* ClickToEdit(int row, int column) {
    EditModeOn();
    FocusRow(row);
    ClickList(*list, CellCenter(*list, row, column));
    return OpenEditor();
  }
  CRect EditorRect(CMyEdit* edit) {
    CRect rect;
    edit->GetWindowRect(&rect);
    list->ScreenToClient(&rect);
    return rect;
  }

  int rows = 5;
  std::unique_ptr<KeyFilterDialog> dialog;
  std::unique_ptr<CMyListCtrl> list;
};

}  // namespace listtest
