#include <QFontMetrics>

#include "platform/ListModel_p.h"
#include "platform/WndBridge_p.h"

namespace platform::listctrl {

int TextWidth(const QFont& font, const std::string& text) {
  return text.empty() ? 0 : QFontMetrics(font).horizontalAdvance(ToQt(text));
}

int RowHeightFor(const QFont& font, const ListModel* model) {
  int iconHeight = 0;
  if (model && model->smallImages) model->smallImages->GetIconSize(nullptr, &iconHeight);
  return std::max(QFontMetrics(font).height() + 4, iconHeight + 2);
}

int IconWidthOf(const ListModel* model) {
  int cx = 0;
  if (model && model->smallImages) model->smallImages->GetIconSize(&cx, nullptr);
  return cx;
}

}  // namespace platform::listctrl
