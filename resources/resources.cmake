# The module's pictures and icon, drawn by resources/draw_pictures.py and
# compiled in with Qt's resource system: they are registered when the library
# loads and unregistered when it unloads.
qt6_add_resources(MONITOR_PICTURE_SOURCES ${CMAKE_SOURCE_DIR}/resources/pictures.qrc)
monitor_object_library(monitor_resources
  SOURCES ${MONITOR_PICTURE_SOURCES} platform/Resources.cpp
  DEPS Qt6::Gui)
