# cpack -G DEB (in the build folder): two Debian packages,
#   libmonitor1     the library; Depends computed from what it links
#                   (dpkg-shlibdeps: Qt 6 Widgets/Gui/Core, expat, the C++ runtime)
#   libmonitor-dev  headers, CMake package and monitor.pc; Depends libmonitor1
set(CPACK_PACKAGE_NAME monitor)
set(CPACK_PACKAGE_VENDOR "Monitor developers")
set(CPACK_PACKAGE_CONTACT "Monitor developers <monitor@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Results monitor of an automated test station")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The debugging information stays in the build folder.
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL runtime development)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libmonitor${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
# Chinese item names draw as glyphs only with a CJK font.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS "fonts-wqy-microhei")
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
  "Results monitor of an automated test station: the window a station's host\nprogram opens through CMonitorDialog, result logs, MES upload and PCB.xls export.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libmonitor-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
  "libmonitor${PROJECT_VERSION_MAJOR} (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
  "Results monitor of an automated test station: headers, CMake package and\npkg-config file for building a host program against libMonitor.")

include(CPack)
