# The desktop work area that a top-level window is centred in by default.
monitor_object_library(platform_screen
  SOURCES platform/ScreenWorkArea.cpp
  DEPS Qt6::Gui)
