# The windowing layer over Qt 6 Widgets: windows, dialogs, the report list,
# the edit control, drawing objects and the module's resources.
monitor_object_library(platform_window
  SOURCES platform/Application.cpp platform/Wnd.cpp platform/Gdi.cpp platform/Dialog.cpp
          platform/Edit.cpp platform/ListCtrl.cpp platform/ListScrollBar.cpp
          platform/ListModel.cpp platform/ListCellText.cpp platform/ListView.cpp
  DEPS platform_core monitor_resources Qt6::Widgets)
