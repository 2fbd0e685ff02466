#include "tests/MessageCapture.h"

#include "platform/MessageBox.h"

namespace results_test {
namespace {

platform::MessageBoxHandler g_previous;

}  // namespace

void CaptureMessages(std::vector<CapturedMessage>* pMessages) {
  g_previous = platform::SetMessageBoxHandler([pMessages](const std::string& text, unsigned flags) {
    pMessages->push_back({text, flags});
    return platform::IDOK;
  });
}

void RestoreMessageBox() {
  platform::SetMessageBoxHandler(std::move(g_previous));
}

bool HasErrorIcon(unsigned flags) {
  return (flags & 0xF0) == platform::MB_ICONERROR;
}

}  // namespace results_test
