// Marks the classes the host program uses; everything else in the library stays hidden.
#pragma once

#define MONITOR_API __attribute__((visibility("default")))
