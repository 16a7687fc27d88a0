# Installation: the library, its public headers under include/hestrel, a
# CMake package (find_package(hestrel)) and a pkg-config file (hestrel.pc).
include(CMakePackageConfigHelpers)

get_property(public_headers GLOBAL PROPERTY HESTREL_PUBLIC_HEADERS)
install(TARGETS hestrel EXPORT hestrelTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${public_headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/hestrel)

install(EXPORT hestrelTargets NAMESPACE hestrel::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/hestrel)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/hestrelConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/hestrelConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/hestrel)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/hestrelConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/hestrelConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/hestrelConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/hestrel)

configure_file(${CMAKE_CURRENT_LIST_DIR}/hestrel.pc.in
  ${CMAKE_CURRENT_BINARY_DIR}/hestrel.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/hestrel.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
