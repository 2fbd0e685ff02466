# The windowing layer, the resources, the result list and its cell editor.
# Mouse input comes from Qt's test library, like clicks from the window system.
if(MONITOR_BUILD_TESTS)
  find_package(Qt6 REQUIRED COMPONENTS Test)
endif()
set(_list_test_libs monitor_list monitor_archive platform_window Qt6::Test)
monitor_add_test(test_resources SOURCES tests/test_resources.cpp LIBS platform_window)
monitor_add_test(test_list_ctrl SOURCES tests/test_list_ctrl.cpp LIBS ${_list_test_libs})
monitor_add_test(test_cell_editor SOURCES tests/test_cell_editor.cpp LIBS ${_list_test_libs})
# Loads the built module itself: the pictures come and go with it.
if(MONITOR_BUILD_TESTS)
  monitor_add_test(test_module_resources SOURCES tests/test_module_resources.cpp LIBS Qt6::Gui ${CMAKE_DL_LIBS})
  target_compile_definitions(test_module_resources PRIVATE MONITOR_MODULE_PATH="$<TARGET_FILE:Monitor>")
  add_dependencies(test_module_resources Monitor)
endif()
