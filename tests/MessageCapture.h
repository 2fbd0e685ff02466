// Captures the operator messages of the savers in tests. Kept apart from
// platform/MessageBox.h so that a test can include the windowing headers too
// (both declare platform::IDOK).
#pragma once

#include <string>
#include <vector>

namespace results_test {

struct CapturedMessage {
  std::string text;
  unsigned flags;
};

// Messages go to *pMessages until RestoreMessageBox().
void CaptureMessages(std::vector<CapturedMessage>* pMessages);
void RestoreMessageBox();
// True when the message box flags ask for the error icon.
bool HasErrorIcon(unsigned flags);

}  // namespace results_test
