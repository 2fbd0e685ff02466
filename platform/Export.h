// Marks what leaves the shared library: CMonitorDialog, and the few members
// of its base classes and functions of the windowing layer that a host calls.
// Everything else stays hidden (the build compiles with hidden visibility and
// links with the list in monitor.map).
#pragma once

#define MONITOR_API __attribute__((visibility("default")))
