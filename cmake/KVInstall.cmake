# cmake --install: the shared library, the public header, a pkg-config file and a
# CMake package (find_package(KVDataReaderLib) gives KVDataReaderLib::KVDataReaderLib64).
include(CMakePackageConfigHelpers)

set(KV_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/KVDataReaderLib)

install(TARGETS KVDataReaderLib64
  EXPORT KVDataReaderLibTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(EXPORT KVDataReaderLibTargets
  NAMESPACE KVDataReaderLib::
  DESTINATION ${KV_CMAKE_PACKAGE_DIR})

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/KVDataReaderLibConfig.cmake.in
  ${PROJECT_BINARY_DIR}/KVDataReaderLibConfig.cmake
  INSTALL_DESTINATION ${KV_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/KVDataReaderLibConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/KVDataReaderLibConfig.cmake
  ${PROJECT_BINARY_DIR}/KVDataReaderLibConfigVersion.cmake
  DESTINATION ${KV_CMAKE_PACKAGE_DIR})

configure_file(${PROJECT_SOURCE_DIR}/cmake/KVDataReaderLib.pc.in
  ${PROJECT_BINARY_DIR}/KVDataReaderLib.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/KVDataReaderLib.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
