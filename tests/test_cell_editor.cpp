#include <gtest/gtest.h>

#include <QLineEdit>
#include <functional>

#include "tests/ListTestSupport.h"

using namespace listtest;

namespace {

using CellEditor = ListFixture;

std::pair<int, int> Selection(CMyEdit* edit) {
  int start = -1, end = -1;
  edit->GetSel(start, end);
  return {start, end};
}

// On a GBK text: the selection counts its bytes, and the edit goes back as GBK.
TEST_F(CellEditor, OpensOverTheCellOnePixelInWithAllTextSelectedAndABlackFrame) {
  const std::string chinese = "\xB2\xE2\xCA\xD4";  // 测试
  list->SetItemText(1, 1, chinese);
  CMyEdit* edit = ClickToEdit(1, 1);
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(std::make_tuple(edit->m_iItem, edit->m_iSubItem, edit->GetWindowText()), std::make_tuple(1, 1, chinese));
  EXPECT_EQ(Selection(edit), std::make_pair(0, 4));
  const CRect cell = CellRect(*list, 1, 1);
  EXPECT_EQ(Edges(EditorRect(edit)), Edges(CRect(cell.left + 1, cell.top, cell.right, cell.bottom)));
  EXPECT_EQ(edit->GetQWidget()->grab().toImage().pixel(0, 0) & 0xFFFFFF, 0u);  // a black frame
  // The column's alignment: column 1 is centred, column 2 right-aligned.
  EXPECT_TRUE(qobject_cast<QLineEdit*>(edit->GetQWidget())->alignment() & Qt::AlignHCenter);
  Type(Qt::Key_End);
  TypeText("1");
  Enter();
  EXPECT_EQ(list->GetItemText(1, 1), chinese + "1");
  ASSERT_NE(list->EditSubLabel(2, 2), nullptr);
  EXPECT_TRUE(qobject_cast<QLineEdit*>(OpenEditor()->GetQWidget())->alignment() & Qt::AlignRight);
  Escape();
}

// Each way an edit ends: Enter, Escape (cancels), a click elsewhere (the
// editor loses the focus; no new editor), a size change, a scroll. Enter and
// Escape reach the editor, not the dialog's key filter; the focus goes back
// to the list.
TEST_F(CellEditor, EachWayAnEditEndsCommitsOrCancelsOnlyItsCell) {
  for (int i = rows; i < 40; ++i) list->InsertItem(i, std::to_string(i));
  auto* area = qobject_cast<QAbstractScrollArea*>(list->GetQWidget());
  const std::pair<const char*, std::function<void()>> ends[] = {
      {"ng", Enter},
      {"PASS", Escape},
      {"ng", [&] { ClickList(*list, CellCenter(*list, 0, 0)); }},
      {"ng", [&] { list->MoveWindow(0, 0, 300, 200); }},
      {"ng", [&] { area->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd); }}};
  for (const auto& [kept, end] : ends) {
    list->SetItemText(2, 2, "PASS");
    CMyEdit* edit = ClickToEdit(2, 2);
    ASSERT_NE(edit, nullptr);
    const HWND editor = edit->GetSafeHwnd();
    Type(Qt::Key_Delete);  // removes the selected text, in the editor
    TypeText("ng");
    end();
    Pump();
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_EQ(std::make_pair(list->GetItemText(2, 2), list->GetItemText(2, 1)),
              std::make_pair(std::string(kept), std::string("item2")));
    EXPECT_EQ(CWnd::GetFocus(), list.get());
    EXPECT_EQ(OpenEditor(), nullptr);
  }
  EXPECT_EQ(dialog->swallowed, 0);
  // With the list focused the dialog's filter takes Enter and Escape.
  Enter();
  Escape();
  EXPECT_EQ(dialog->swallowed, 2);
}

TEST_F(CellEditor, TypingWidensUpToTheListsRightEdgeOnly) {
  list->SetColumnWidth(1, 30);
  CMyEdit* edit = ClickToEdit(1, 1);
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(EditorRect(edit).Width(), 29);
  TypeText("wider text");
  EXPECT_GT(EditorRect(edit).Width(), 29);
  EXPECT_EQ(EditorRect(edit).left, CellRect(*list, 1, 1).left + 1);
  TypeText("and much much longer text that cannot fit into the list at all");
  CRect client;
  list->GetClientRect(&client);
  EXPECT_EQ(EditorRect(edit).right, client.right);
  Escape();
}

// Clicks that only select: column 0, a row that is not focused, and any
// click with the switch off. (Which cell a point is in: the list's hit test.)
TEST_F(CellEditor, ClicksThatOpenNoEditor) {
  EditModeOn();
  FocusRow(1);
  for (CPoint pt : {CellCenter(*list, 1, 0), CellCenter(*list, 3, 1)}) {
    ClickList(*list, pt);
    EXPECT_EQ(OpenEditor(), nullptr);
  }
  EXPECT_EQ(list->GetItemState(3, LVIS_SELECTED | LVIS_FOCUSED), LVIS_SELECTED | LVIS_FOCUSED);
  list->SendMessage(WM_HOTKEY, 1, 0);  // switched off, a click on the focused row only selects
  ClickList(*list, CellCenter(*list, 3, 2));
  EXPECT_EQ(OpenEditor(), nullptr);
}

// A registered Ctrl+E flips the switch.
TEST_F(CellEditor, HotKeysFlipTheSwitch) {
  ASSERT_TRUE(RegisterHotKey(list->GetSafeHwnd(), 1, MOD_CONTROL, 'E'));
  EXPECT_FALSE(RegisterHotKey(list->GetSafeHwnd(), 2, MOD_CONTROL, 'E'));  // taken
  // The switch after each key typed; without Control an ordinary key.
  const auto typed = [&](bool control) {
    control ? Type(Qt::Key_E, "\x05", Qt::ControlModifier) : Type(Qt::Key_E, "e");
    return list->m_bEditMode;
  };
  EXPECT_EQ((std::vector<int>{typed(true), typed(false), typed(true)}), (std::vector<int>{1, 1, 0}));
}

TEST_F(CellEditor, ACellOutsideTheVisibleAreaIsScrolledIntoViewAndTooNarrowOnesAreNotEdited) {
  for (int c = 0; c < 3; ++c) list->SetColumnWidth(c, 200);
  ASSERT_TRUE(list->Scroll(CSize(250, 0)));
  // Column 1 starts at 200 - 250 = -50: left of the client area.
  CMyEdit* edit = list->EditSubLabel(1, 1);
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(list->GetScrollPos(0), 200);
  EXPECT_EQ(EditorRect(edit).left, 1);
  Escape();
  // Under 5 pixels wide, no such column, no such row: no editor.
  list->SetColumnWidth(1, 4);
  EXPECT_EQ(std::make_tuple(list->EditSubLabel(1, 1), list->EditSubLabel(1, 7), list->EditSubLabel(99, 1)),
            std::make_tuple(nullptr, nullptr, nullptr));
  list->SetColumnWidth(1, 5);
  EXPECT_NE(list->EditSubLabel(1, 1), nullptr);
  // Left open: the list goes first at tear-down, its editor with it.
}

}  // namespace
