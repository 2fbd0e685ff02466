// Modal message box for the operator. On a desktop it is a real modal box; on a
// headless run (no application object, or the offscreen/minimal platform) the
// text goes to standard error and the call returns at once, so nothing blocks.
// A host or a test can install its own handler and receives every text.
#pragma once

#include <functional>
#include <string>

#include "platform/WinTypes.h"  // IDOK

namespace platform {

// Flags, with the values the Windows message box uses.
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_ICONERROR = 0x10;
constexpr unsigned MB_ICONWARNING = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;

// gbkText is the module's GBK text; the handler receives it unchanged.
using MessageBoxHandler = std::function<int(const std::string& gbkText, unsigned flags)>;

int MessageBox(const std::string& gbkText, unsigned flags = MB_OK);

// Installs a handler in place of the default; an empty handler restores it.
// Returns the previous handler.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

}  // namespace platform
