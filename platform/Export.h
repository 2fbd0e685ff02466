// Marks what may leave the shared library: CMonitorDialog, its base classes
// CDialog and CWnd, and the few functions of the windowing layer a host calls.
// Everything else stays hidden (the build compiles with hidden visibility);
// cmake/exports.map then keeps only the host's members of the base classes.
#pragma once

#define MONITOR_API __attribute__((visibility("default")))
