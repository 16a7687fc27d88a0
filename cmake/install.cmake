# Installation: the library, its public headers under include/hestrel, a
# CMake package (find_package(hestrel)), pkg-config files (hestrel.pc for C
# and Fortran, hestrel-qt.pc for the Qt-typed C++ headers) and the docs.
include(CMakePackageConfigHelpers)

get_property(public_headers GLOBAL PROPERTY HESTREL_PUBLIC_HEADERS)
install(TARGETS hestrel EXPORT hestrelTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS hestrel_qt EXPORT hestrelQtTargets)
install(FILES ${public_headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/hestrel)

install(EXPORT hestrelTargets NAMESPACE hestrel::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/hestrel)
# A file of its own, read only when Qt Core is found for a C++ user.
install(EXPORT hestrelQtTargets NAMESPACE hestrel::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/hestrel)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/hestrelConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/hestrelConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/hestrel)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/hestrelConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/hestrelConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/hestrelConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/hestrel)

# The pkg-config file finds the prefix from its own place when the folders
# are relative to it (so any GNUInstallDirs layout and DESTDIR work), and
# names the configured folders when they are absolute.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(HESTREL_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  set(HESTREL_PC_LIBDIR "${CMAKE_INSTALL_FULL_LIBDIR}")
  set(HESTREL_PC_INCLUDEDIR "${CMAKE_INSTALL_FULL_INCLUDEDIR}")
else()
  file(RELATIVE_PATH pc_up "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
  string(REGEX REPLACE "/$" "" pc_up "${pc_up}")
  set(HESTREL_PC_PREFIX "\${pcfiledir}/${pc_up}")
  set(HESTREL_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
  set(HESTREL_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
foreach(pc hestrel hestrel-qt)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${pc}.pc.in
    ${CMAKE_CURRENT_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${pc}.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()

# share/doc/hestrel: what a user reads beside the headers, laid out as in the
# source tree (README.md beside docs/ and examples/), so that every relative
# link works in both places.
file(GLOB hestrel_docs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/*.md)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/README.md
              ${PROJECT_SOURCE_DIR}/CHANGELOG.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT doc)
install(FILES ${hestrel_docs} DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs COMPONENT doc)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples COMPONENT doc)
