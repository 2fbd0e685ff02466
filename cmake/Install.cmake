# cmake --install: the library (runtime), and for building a host against it
# (development) the host's headers under include/monitor/, a CMake package
# (find_package(Monitor) -> Monitor::Monitor) and monitor.pc for pkg-config.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(MONITOR_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/monitor)
set(MONITOR_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Monitor)

install(TARGETS Monitor
  EXPORT MonitorTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    COMPONENT runtime
    NAMELINK_COMPONENT development
  FILE_SET HEADERS DESTINATION ${MONITOR_INSTALL_INCLUDEDIR} COMPONENT development
  INCLUDES DESTINATION ${MONITOR_INSTALL_INCLUDEDIR})

install(EXPORT MonitorTargets
  NAMESPACE Monitor::
  DESTINATION ${MONITOR_INSTALL_CMAKEDIR}
  COMPONENT development)
configure_package_config_file(cmake/MonitorConfig.cmake.in
  ${PROJECT_BINARY_DIR}/MonitorConfig.cmake
  INSTALL_DESTINATION ${MONITOR_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/MonitorConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/MonitorConfig.cmake ${PROJECT_BINARY_DIR}/MonitorConfigVersion.cmake
  DESTINATION ${MONITOR_INSTALL_CMAKEDIR}
  COMPONENT development)

# monitor.pc finds its prefix from its own place, so the installed tree can
# be moved (or installed with --prefix) without rewriting it.
file(RELATIVE_PATH MONITOR_PC_TO_PREFIX
  ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" MONITOR_PC_TO_PREFIX "${MONITOR_PC_TO_PREFIX}")
configure_file(cmake/monitor.pc.in ${PROJECT_BINARY_DIR}/monitor.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/monitor.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT development)
