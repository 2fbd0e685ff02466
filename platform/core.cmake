# Text conversion and the operator message box: used by every subsystem.
monitor_object_library(platform_core
  SOURCES platform/TextCodec.cpp platform/MessageBox.cpp
  DEPS Qt6::Widgets)
