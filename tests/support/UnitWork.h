// What one unit does to the monitor window, shared by the event-backlog test
// and the unpumped-memory benchmark: the same work measured in both.
#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <string>

#include "monitor/MonitorDialog.h"
#include "monitor/MyEdit.h"
#include "monitor/MyListCtrl.h"

namespace unitwork {

// 40 items on list unit % 4 + 1, every tenth failing.
inline void FillUnit(CMonitorDialog& dlg, int unit) {
  const int list = unit % 4 + 1;
  dlg.DeleteAllItems(list);
  for (int i = 0; i < 40; ++i) dlg.InsertItem(list, "Test item " + std::to_string(i), i % 10 == 9 ? "FAIL" : "PASS");
}

// Opens the cell editor on row 1's result of list 1, types the unit's last
// digit and commits it with Enter, as an operator would. False when no editor
// opened.
inline bool EditUnit(CMonitorDialog& dlg, int unit) {
  CMyListCtrl* list = dlg.FindListCtrl(1);
  if (list->GetItemCount() < 3) FillUnit(dlg, 0);
  list->m_bEditMode = 1;
  list->SetItemState(1, platform::LVIS_SELECTED | platform::LVIS_FOCUSED,
                     platform::LVIS_SELECTED | platform::LVIS_FOCUSED);
  if (!list->EditSubLabel(1, 2)) return false;
  QKeyEvent key(QEvent::KeyPress, Qt::Key_0 + unit % 10, Qt::NoModifier, QString::number(unit % 10));
  if (QWidget* focus = QApplication::focusWidget()) QApplication::sendEvent(focus, &key);
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
  if (QWidget* focus = QApplication::focusWidget()) QApplication::sendEvent(focus, &enter);
  return true;
}

}  // namespace unitwork
