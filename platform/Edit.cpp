#include "platform/Edit.h"

#include <QLineEdit>
#include <QPainter>

#include "platform/TextCodec.h"
#include "platform/WndBridge_p.h"

namespace platform {

namespace {

QLineEdit* LineEdit(QWidget* w) {
  return qobject_cast<QLineEdit*>(w);
}

// GBK byte offset -> character offset of the edit's text.
int CharIndex(const std::string& gbk, int byteOffset) {
  if (byteOffset < 0 || byteOffset > static_cast<int>(gbk.size())) byteOffset = static_cast<int>(gbk.size());
  return static_cast<int>(GbkToUtf16(std::string_view(gbk).substr(0, static_cast<size_t>(byteOffset))).size());
}

int ByteIndex(const QString& text, int charOffset) {
  return static_cast<int>(FromQt(text.left(charOffset)).size());
}

}  // namespace

CEdit::CEdit() = default;
CEdit::~CEdit() {
  if (GetSafeHwnd()) DestroyWindow();
}

BOOL CEdit::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
  if (!pParentWnd || !pParentWnd->GetQWidget()) return FALSE;
  auto* edit = new Bridged<QLineEdit>();
  edit->setFrame(false);
  if (dwStyle & WS_BORDER) edit->setTextMargins(1, 0, 1, 0);
  const DWORD align = dwStyle & (ES_CENTER | ES_RIGHT);
  edit->setAlignment((align == ES_CENTER  ? Qt::AlignHCenter
                      : align == ES_RIGHT ? Qt::AlignRight
                                          : Qt::AlignLeft) |
                     Qt::AlignVCenter);
  edit->setFocusPolicy(Qt::StrongFocus);
  return CreateOver(edit, dwStyle | WS_CHILD, rect, pParentWnd, nID);
}

void CEdit::SetSel(int nStartChar, int nEndChar, BOOL /*bNoScroll*/) {
  QLineEdit* edit = LineEdit(m_widget);
  if (!edit) return;
  const std::string text = FromQt(edit->text());
  if (nStartChar == 0 && nEndChar == -1) {
    edit->selectAll();
    return;
  }
  if (nStartChar == -1) {
    edit->deselect();
    return;
  }
  const int start = CharIndex(text, nStartChar);
  const int end = CharIndex(text, nEndChar < 0 ? static_cast<int>(text.size()) : nEndChar);
  edit->setSelection(start, end - start);
}

void CEdit::GetSel(int& nStartChar, int& nEndChar) const {
  nStartChar = nEndChar = 0;
  QLineEdit* edit = LineEdit(m_widget);
  if (!edit) return;
  if (!edit->hasSelectedText()) {
    nStartChar = nEndChar = ByteIndex(edit->text(), edit->cursorPosition());
    return;
  }
  nStartChar = ByteIndex(edit->text(), edit->selectionStart());
  nEndChar = ByteIndex(edit->text(), edit->selectionEnd());
}

}  // namespace platform
