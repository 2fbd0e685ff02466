# The sample station host: uses the module only through its shared library.
add_executable(monitor-sample sample/main.cpp)
target_link_libraries(monitor-sample PRIVATE Monitor Qt6::Widgets)
