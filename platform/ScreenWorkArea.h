// The desktop area that windows may use (the primary screen without its task
// bars and panels), in screen coordinates, as the platform reports it.
#pragma once

#include "platform/WinTypes.h"

namespace platform {

// Empty rectangle when there is no screen (or no application object yet).
RECT GetPrimaryWorkArea();

}  // namespace platform
