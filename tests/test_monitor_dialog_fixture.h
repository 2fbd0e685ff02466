// A monitor window for the dialog, row and verdict tests: created modeless,
// shown and settled, on the offscreen platform.
#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "monitor/MonitorDialog.h"
#include "monitor/MyListCtrl.h"
#include "platform/Application.h"
#include "platform/Resources.h"

namespace monitor_test {

struct GridOptions {
  int rows = 1;
  int cols = 1;
  int width = 800;
  int height = 600;
  std::string title = "Station";
};

inline std::unique_ptr<CMonitorDialog> OpenMonitor(const GridOptions& options = {}) {
  auto dlg = std::make_unique<CMonitorDialog>();
  dlg->m_nRows = options.rows;
  dlg->m_nCols = options.cols;
  dlg->m_nWndWidth = options.width;
  dlg->m_nWndHeight = options.height;
  dlg->m_strTitle = options.title;
  dlg->m_rcScreen = platform::CRect(0, 0, 1920, 1080);
  if (!dlg->Create(CMonitorDialog::IDD)) return nullptr;
  dlg->ShowWindow(platform::SW_SHOW);
  platform::PumpMessages();
  return dlg;
}

// True when the list shows exactly the named picture.
inline bool ShowsPicture(CMyListCtrl* pList, const std::string& name) {
  const QImage* shown = pList->m_bmpBack.Image();
  const QImage expected = platform::LoadBitmapResource(name);
  if (!shown || expected.isNull()) return false;
  return shown->convertToFormat(QImage::Format_RGB32) == expected.convertToFormat(QImage::Format_RGB32);
}

// Position of a list in the dialog's client coordinates.
inline platform::CRect ListRectInDialog(CMonitorDialog* dlg, CMyListCtrl* pList) {
  platform::CRect rc;
  pList->GetWindowRect(&rc);
  dlg->ScreenToClient(&rc);
  return rc;
}

inline void ExpectRect(const platform::CRect& rc, int left, int top, int width, int height) {
  EXPECT_EQ(std::make_tuple(rc.left, rc.top, rc.Width(), rc.Height()), std::make_tuple(left, top, width, height));
}

}  // namespace monitor_test
