#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QLineEdit>

#include "tests/ListTestSupport.h"

using namespace listtest;

namespace {

CRect EditorRectInList(CMyEdit* edit, CListCtrl& list) {
  CRect rect;
  edit->GetWindowRect(&rect);
  list.ScreenToClient(&rect);
  return rect;
}

CRect CellRect(CListCtrl& list, int row, int column) {
  CRect bounds;
  list.GetItemRect(row, &bounds, LVIR_BOUNDS);
  int left = bounds.left;
  for (int c = 0; c < column; ++c) left += list.GetColumnWidth(c);
  return CRect(left, bounds.top, left + list.GetColumnWidth(column), bounds.bottom);
}

using CellEditor = ListFixture;

TEST_F(CellEditor, OpensOverTheCellOnePixelInWithAllTextSelected) {
  EditModeOn();
  FocusRow(1);
  ClickList(*list, CellCenter(*list, 1, 1));
  CMyEdit* edit = OpenEditor();
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->m_iItem, 1);
  EXPECT_EQ(edit->m_iSubItem, 1);
  EXPECT_EQ(edit->m_sInitText, "item1");
  EXPECT_EQ(edit->GetWindowText(), "item1");
  int start = -1, end = -1;
  edit->GetSel(start, end);
  EXPECT_EQ(start, 0);
  EXPECT_EQ(end, 5);
  const CRect cell = CellRect(*list, 1, 1);
  const CRect rect = EditorRectInList(edit, *list);
  EXPECT_EQ(rect.left, cell.left + 1);
  EXPECT_EQ(rect.Width(), list->GetColumnWidth(1) - 1);
  EXPECT_EQ(rect.top, cell.top);
  EXPECT_EQ(rect.bottom, cell.bottom);
  // The column's alignment: column 1 is centred, column 2 right-aligned.
  auto* line = qobject_cast<QLineEdit*>(edit->GetQWidget());
  ASSERT_NE(line, nullptr);
  EXPECT_TRUE(line->alignment() & Qt::AlignHCenter);
  EXPECT_TRUE(edit->GetStyle() & ES_CENTER);
  Type(Qt::Key_Escape, "\x1b");
  CMyEdit* right = list->EditSubLabel(2, 2);
  ASSERT_NE(right, nullptr);
  EXPECT_TRUE(right->GetStyle() & ES_RIGHT);
  Type(Qt::Key_Escape, "\x1b");
}

TEST_F(CellEditor, EnterCommitsTheTypedTextAndTheDialogNeverSeesIt) {
  EditModeOn();
  FocusRow(2);
  ClickList(*list, CellCenter(*list, 2, 2));
  CMyEdit* edit = OpenEditor();
  ASSERT_NE(edit, nullptr);
  const HWND editor = edit->GetSafeHwnd();
  TypeText("ng");
  EXPECT_EQ(edit->GetWindowText(), "ng");
  Type(Qt::Key_Return, "\r");
  EXPECT_FALSE(IsWindow(editor));
  EXPECT_EQ(list->GetItemText(2, 2), "ng");
  EXPECT_EQ(CWnd::GetFocus(), list.get());
  EXPECT_EQ(dialog->swallowed, 0);
  EXPECT_TRUE(dialog->IsWindowVisible());
  // Editing changes only the text.
  EXPECT_EQ(list->GetItemText(2, 1), "item2");
  // With the list focused the dialog's filter takes Enter and Escape.
  Type(Qt::Key_Return, "\r");
  Type(Qt::Key_Escape, "\x1b");
  EXPECT_EQ(dialog->swallowed, 2);
  EXPECT_TRUE(dialog->IsWindowVisible());
}

TEST_F(CellEditor, EscapeLeavesTheCellAsItWas) {
  EditModeOn();
  FocusRow(0);
  ClickList(*list, CellCenter(*list, 0, 1));
  CMyEdit* edit = OpenEditor();
  ASSERT_NE(edit, nullptr);
  const HWND editor = edit->GetSafeHwnd();
  TypeText("zzz");
  Type(Qt::Key_Escape, "\x1b");
  EXPECT_FALSE(IsWindow(editor));
  EXPECT_EQ(list->GetItemText(0, 1), "item0");
  EXPECT_EQ(CWnd::GetFocus(), list.get());
  EXPECT_EQ(dialog->swallowed, 0);
}

TEST_F(CellEditor, AClickElsewhereCommits) {
  EditModeOn();
  FocusRow(3);
  ClickList(*list, CellCenter(*list, 3, 1));
  ASSERT_NE(OpenEditor(), nullptr);
  TypeText("abc");
  // Column 0 of another row: the editor loses the focus and commits; no new editor.
  ClickList(*list, CellCenter(*list, 0, 0));
  EXPECT_EQ(list->GetItemText(3, 1), "abc");
  EXPECT_EQ(OpenEditor(), nullptr);
  EXPECT_EQ(CWnd::GetFocus(), list.get());
  EXPECT_EQ(list->GetNextItem(-1, LVNI_FOCUSED), 0);
}

TEST_F(CellEditor, DeleteAndControlKeysStayInTheEditor) {
  EditModeOn();
  FocusRow(1);
  ClickList(*list, CellCenter(*list, 1, 1));
  CMyEdit* edit = OpenEditor();
  ASSERT_NE(edit, nullptr);
  Type(Qt::Key_Delete);  // removes the selected text
  EXPECT_EQ(edit->GetWindowText(), "");
  TypeText("hello");
  Type(Qt::Key_A, "\x01", Qt::ControlModifier);  // select all
  int start = -1, end = -1;
  edit->GetSel(start, end);
  EXPECT_EQ(start, 0);
  EXPECT_EQ(end, 5);
  Type(Qt::Key_Return, "\r");
  EXPECT_EQ(list->GetItemText(1, 1), "hello");
}

TEST_F(CellEditor, TypingWidensUpToTheListsRightEdgeOnly) {
  list->SetColumnWidth(1, 30);
  EditModeOn();
  FocusRow(1);
  ClickList(*list, CellCenter(*list, 1, 1));
  CMyEdit* edit = OpenEditor();
  ASSERT_NE(edit, nullptr);
  const int before = EditorRectInList(edit, *list).Width();
  EXPECT_EQ(before, 29);
  TypeText("wider text");
  const CRect widened = EditorRectInList(edit, *list);
  EXPECT_GT(widened.Width(), before);
  EXPECT_EQ(widened.left, CellRect(*list, 1, 1).left + 1);
  TypeText("and much much longer text that cannot fit into the list at all");
  CRect client;
  list->GetClientRect(&client);
  const CRect full = EditorRectInList(edit, *list);
  EXPECT_EQ(full.right, client.right);
  TypeText("more");
  EXPECT_EQ(EditorRectInList(edit, *list).right, client.right);
  Type(Qt::Key_Escape, "\x1b");
}

TEST_F(CellEditor, ColumnZeroAndUnfocusedRowsOpenNoEditor) {
  EditModeOn();
  FocusRow(1);
  ClickList(*list, CellCenter(*list, 1, 0));
  EXPECT_EQ(OpenEditor(), nullptr);
  // Row 3 is not the focused row: the click only selects and focuses it.
  ClickList(*list, CellCenter(*list, 3, 1));
  EXPECT_EQ(OpenEditor(), nullptr);
  EXPECT_EQ(list->GetItemState(3, LVIS_SELECTED | LVIS_FOCUSED), LVIS_SELECTED | LVIS_FOCUSED);
  EXPECT_EQ(list->GetItemState(1, LVIS_SELECTED), 0u);
  // Now it is focused: a second click opens the editor.
  ClickList(*list, CellCenter(*list, 3, 1));
  ASSERT_NE(OpenEditor(), nullptr);
  EXPECT_EQ(OpenEditor()->m_iItem, 3);
  Type(Qt::Key_Escape, "\x1b");
}

TEST_F(CellEditor, AClickOnTheBorderOfTwoColumnsBelongsToTheLeftOne) {
  EditModeOn();
  FocusRow(2);
  const CPoint middle = CellCenter(*list, 2, 0);
  // x = 60 is both the right edge of column 0 and the left edge of column 1.
  ClickList(*list, CPoint(60, middle.y));
  EXPECT_EQ(OpenEditor(), nullptr);
  // Between columns 1 and 2 (x = 170): column 1 is edited.
  ClickList(*list, CPoint(170, middle.y));
  CMyEdit* edit = OpenEditor();
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->m_iSubItem, 1);
  Type(Qt::Key_Escape, "\x1b");
}

TEST_F(CellEditor, WithTheSwitchOffAClickOnlySelects) {
  ASSERT_EQ(list->m_bEditMode, 0);
  FocusRow(2);
  list->SetItemState(2, 0, LVIS_SELECTED);
  ClickList(*list, CellCenter(*list, 2, 2));
  EXPECT_EQ(OpenEditor(), nullptr);
  EXPECT_EQ(list->GetItemState(2, LVIS_SELECTED | LVIS_FOCUSED), LVIS_SELECTED | LVIS_FOCUSED);
}

TEST_F(CellEditor, TwoHotKeysLeaveTheSwitchAsItWas) {
  EXPECT_EQ(list->SendMessage(WM_HOTKEY, 7, 0), 1);
  EXPECT_EQ(list->m_bEditMode, 1);
  EXPECT_EQ(list->SendMessage(WM_HOTKEY, 7, 0), 1);
  EXPECT_EQ(list->m_bEditMode, 0);
  list->PostMessage(WM_HOTKEY, 7, 0);
  Pump();
  EXPECT_EQ(list->m_bEditMode, 1);
}

TEST_F(CellEditor, ARegisteredHotKeyFlipsTheSwitch) {
  ASSERT_TRUE(RegisterHotKey(list->GetSafeHwnd(), 1, MOD_CONTROL, 'E'));
  EXPECT_FALSE(RegisterHotKey(list->GetSafeHwnd(), 2, MOD_CONTROL, 'E'));  // taken
  EXPECT_FALSE(RegisterHotKey(nullptr, 3, MOD_CONTROL, 'F'));
  Type(Qt::Key_E, "\x05", Qt::ControlModifier);
  EXPECT_EQ(list->m_bEditMode, 1);
  Type(Qt::Key_E, "e");  // without Control: an ordinary key
  EXPECT_EQ(list->m_bEditMode, 1);
  Type(Qt::Key_E, "\x05", Qt::ControlModifier);
  EXPECT_EQ(list->m_bEditMode, 0);
  EXPECT_TRUE(UnregisterHotKey(list->GetSafeHwnd(), 1));
  EXPECT_FALSE(UnregisterHotKey(list->GetSafeHwnd(), 1));
  Type(Qt::Key_E, "\x05", Qt::ControlModifier);
  EXPECT_EQ(list->m_bEditMode, 0);
  // A registration ends with its window.
  ASSERT_TRUE(RegisterHotKey(list->GetSafeHwnd(), 1, MOD_CONTROL, 'E'));
  list->DestroyWindow();
  CMyListCtrl other(0, 1);
  ASSERT_TRUE(other.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, CRect(0, 0, 100, 100), dialog.get(), 1));
  EXPECT_TRUE(RegisterHotKey(other.GetSafeHwnd(), 1, MOD_CONTROL, 'E'));
}

TEST_F(CellEditor, ASizeChangeEndsAnOpenEditorWithACommit) {
  EditModeOn();
  FocusRow(4);
  ClickList(*list, CellCenter(*list, 4, 1));
  CMyEdit* edit = OpenEditor();
  ASSERT_NE(edit, nullptr);
  const HWND editor = edit->GetSafeHwnd();
  TypeText("resized");
  list->MoveWindow(0, 0, 300, 200);
  Pump();
  EXPECT_FALSE(IsWindow(editor));
  EXPECT_EQ(list->GetItemText(4, 1), "resized");
  EXPECT_EQ(CWnd::GetFocus(), list.get());
}

TEST_F(CellEditor, AScrollEndsAnOpenEditorWithACommit) {
  for (int i = rows; i < 40; ++i) list->InsertItem(i, std::to_string(i));
  EditModeOn();
  FocusRow(0);
  ClickList(*list, CellCenter(*list, 0, 1));
  ASSERT_NE(OpenEditor(), nullptr);
  TypeText("scrolled");
  auto* area = qobject_cast<QAbstractScrollArea*>(list->GetQWidget());
  area->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  Pump();
  EXPECT_EQ(OpenEditor(), nullptr);
  EXPECT_EQ(list->GetItemText(0, 1), "scrolled");
  EXPECT_EQ(list->GetTopIndex(), 1);
}

// A popup menu takes no keyboard focus from the window it belongs to: the
// editor's own context menu (to paste, say) must not end the edit.
TEST_F(CellEditor, ItsContextMenuKeepsTheEditorOpen) {
  EditModeOn();
  FocusRow(1);
  ClickList(*list, CellCenter(*list, 1, 1));
  CMyEdit* edit = OpenEditor();
  ASSERT_NE(edit, nullptr);
  const HWND editor = edit->GetSafeHwnd();
  TypeText("abc");
  QWidget* widget = edit->GetQWidget();
  QContextMenuEvent menuRequest(QContextMenuEvent::Mouse, QPoint(3, 3), widget->mapToGlobal(QPoint(3, 3)));
  QApplication::sendEvent(widget, &menuRequest);
  Pump();
  QWidget* menu = QApplication::activePopupWidget();
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(IsWindow(editor));
  EXPECT_EQ(list->GetItemText(1, 1), "item1");
  menu->close();
  Pump();
  ASSERT_TRUE(IsWindow(editor));
  EXPECT_EQ(OpenEditor(), edit);
  TypeText("d");
  Type(Qt::Key_Return, "\r");
  EXPECT_FALSE(IsWindow(editor));
  EXPECT_EQ(list->GetItemText(1, 1), "abcd");
}

TEST_F(CellEditor, ColumnsNarrowerThanFivePixelsCannotBeEdited) {
  list->SetColumnWidth(1, 4);
  EditModeOn();
  FocusRow(1);
  EXPECT_EQ(list->EditSubLabel(1, 1), nullptr);
  EXPECT_EQ(list->EditSubLabel(1, 7), nullptr);   // no such column
  EXPECT_EQ(list->EditSubLabel(99, 1), nullptr);  // no such row
  list->SetColumnWidth(1, 5);
  CMyEdit* edit = list->EditSubLabel(1, 1);
  ASSERT_NE(edit, nullptr);
  Type(Qt::Key_Escape, "\x1b");
}

TEST_F(CellEditor, ACellLeftOfTheVisibleAreaIsScrolledIntoView) {
  list->SetColumnWidth(0, 200);
  list->SetColumnWidth(1, 200);
  list->SetColumnWidth(2, 200);
  ASSERT_TRUE(list->Scroll(CSize(250, 0)));
  ASSERT_EQ(list->GetScrollPos(0), 250);
  // Column 1 starts at 200 - 250 = -50: left of the client area.
  CMyEdit* edit = list->EditSubLabel(1, 1);
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(list->GetScrollPos(0), 200);
  EXPECT_EQ(EditorRectInList(edit, *list).left, 1);
  Type(Qt::Key_Escape, "\x1b");
  // A cell right of the client area scrolls the other way, as far as it can.
  list->Scroll(CSize(-1000, 0));
  edit = list->EditSubLabel(1, 2);
  ASSERT_NE(edit, nullptr);
  const CRect cell = CellRect(*list, 1, 2);
  EXPECT_EQ(EditorRectInList(edit, *list).left, cell.left + 1);
  CRect client;
  list->GetClientRect(&client);
  EXPECT_LE(EditorRectInList(edit, *list).right, client.right);
  Type(Qt::Key_Escape, "\x1b");
}

TEST_F(CellEditor, PaintsAOnePixelBlackFrame) {
  EditModeOn();
  FocusRow(1);
  CMyEdit* edit = list->EditSubLabel(1, 1);
  ASSERT_NE(edit, nullptr);
  const QImage image = edit->GetQWidget()->grab().toImage();
  ASSERT_FALSE(image.isNull());
  const int w = image.width(), h = image.height();
  EXPECT_EQ(image.pixel(0, 0) & 0xFFFFFF, 0u);
  EXPECT_EQ(image.pixel(w - 1, h - 1) & 0xFFFFFF, 0u);
  EXPECT_EQ(image.pixel(w / 2, 0) & 0xFFFFFF, 0u);
  EXPECT_EQ(image.pixel(0, h / 2) & 0xFFFFFF, 0u);
  Type(Qt::Key_Escape, "\x1b");
}

TEST_F(CellEditor, GoesAwayWithItsListWindow) {
  EditModeOn();
  FocusRow(1);
  CMyEdit* edit = list->EditSubLabel(1, 1);
  ASSERT_NE(edit, nullptr);
  const HWND editor = edit->GetSafeHwnd();
  list->DestroyWindow();
  EXPECT_FALSE(IsWindow(editor));
  Pump();
}

// Nobody holds an editor: the object itself must go with its window, whether
// editing ended or its list went first.
struct CountedEdit : CMyEdit {
  using CMyEdit::CMyEdit;
  ~CountedEdit() override { ++deleted; }
  static int deleted;
};
int CountedEdit::deleted = 0;

TEST_F(CellEditor, TheEditorObjectIsDeletedWithItsWindow) {
  CountedEdit::deleted = 0;
  auto* edit = new CountedEdit(1, 1, "item1");
  ASSERT_TRUE(edit->Create(WS_BORDER | WS_CHILD | WS_VISIBLE, CellRect(*list, 1, 1), list.get(), 0));
  Pump();
  ASSERT_EQ(OpenEditor(), edit);
  Type(Qt::Key_Return, "\r");
  EXPECT_EQ(CountedEdit::deleted, 1);
  auto* second = new CountedEdit(2, 1, "item2");
  ASSERT_TRUE(second->Create(WS_BORDER | WS_CHILD | WS_VISIBLE, CellRect(*list, 2, 1), list.get(), 0));
  list->DestroyWindow();
  Pump();
  EXPECT_EQ(CountedEdit::deleted, 2);
}

TEST_F(CellEditor, GbkTextsRoundTripThroughTheEditor) {
  const std::string chinese = "\xB2\xE2\xCA\xD4";  // 测试
  list->SetItemText(1, 1, chinese);
  EditModeOn();
  FocusRow(1);
  CMyEdit* edit = list->EditSubLabel(1, 1);
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->GetWindowText(), chinese);
  int start = -1, end = -1;
  edit->GetSel(start, end);
  EXPECT_EQ(end, 4);  // bytes
  Type(Qt::Key_End);
  TypeText("1");
  Type(Qt::Key_Return, "\r");
  EXPECT_EQ(list->GetItemText(1, 1), chinese + "1");
}

}  // namespace
