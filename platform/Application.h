// The Qt application object behind the windowing layer.
#pragma once

#include "platform/Export.h"

namespace platform {

// Makes sure a QApplication exists. A host that has none gets one made here
// (kept until the process ends); without QT_QPA_PLATFORM and without DISPLAY
// or WAYLAND_DISPLAY the offscreen platform is used, so nothing needs a
// display. Called by every window creation; safe to call often.
MONITOR_API void EnsureApplication();

// Handles the events that are waiting (for hosts and tests without a loop).
MONITOR_API void PumpMessages();

}  // namespace platform
