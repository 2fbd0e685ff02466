// The module's version, for a host that wants to log which monitor it loaded.
#pragma once

#include "platform/Export.h"

extern "C" MONITOR_API const char* MonitorModuleVersion();
