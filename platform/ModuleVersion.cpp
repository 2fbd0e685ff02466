#include "platform/ModuleVersion.h"

extern "C" const char* MonitorModuleVersion() { return "1.0.0"; }
