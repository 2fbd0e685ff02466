#include "platform/MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>

#include <cstdio>

#include "platform/TextCodec.h"

namespace platform {
namespace {

MessageBoxHandler& Handler() {
  static MessageBoxHandler handler;
  return handler;
}

bool CanShowWindows() {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return false;
  const QString name = QGuiApplication::platformName();
  return name != QLatin1String("offscreen") && name != QLatin1String("minimal");
}

int DefaultMessageBox(const std::string& gbkText, unsigned flags) {
  const std::string utf8 = GbkToUtf8(gbkText);
  if (!CanShowWindows()) {
    std::fprintf(stderr, "[message] %s\n", utf8.c_str());
    return IDOK;
  }
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (flags & 0xF0) {
    case MB_ICONERROR:
      icon = QMessageBox::Critical;
      break;
    case MB_ICONWARNING:
      icon = QMessageBox::Warning;
      break;
    case MB_ICONINFORMATION:
      icon = QMessageBox::Information;
      break;
    default:
      break;
  }
  QMessageBox box(icon, QApplication::applicationDisplayName(), QString::fromUtf8(utf8.c_str()), QMessageBox::Ok,
                  QApplication::activeWindow());
  box.exec();
  return IDOK;
}

}  // namespace

int MessageBox(const std::string& gbkText, unsigned flags) {
  if (Handler()) return Handler()(gbkText, flags);
  return DefaultMessageBox(gbkText, flags);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  MessageBoxHandler previous = std::move(Handler());
  Handler() = std::move(handler);
  return previous;
}

}  // namespace platform
