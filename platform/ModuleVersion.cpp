#include "platform/ModuleVersion.h"

extern "C" const char* MonitorModuleVersion() {
  return MONITOR_VERSION;
}
