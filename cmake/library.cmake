# SPDX-License-Identifier: MIT
# What installs libzavevuv for programs that link it: the runtime (the
# shared library) in one component, and in the other the header, the link
# to it, the static library, a pkg-config file, a CMake package and the man
# page of the interface.
include(CMakePackageConfigHelpers)
set(cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/zavevuv)

set_target_properties(zavevuv_shared PROPERTIES EXPORT_NAME zavevuv)
set_target_properties(zavevuv_static PROPERTIES EXPORT_NAME zavevuv_static)
# The static library's code is C++: a C program linking it needs the
# runtime.
target_link_libraries(zavevuv_static INTERFACE stdc++)
install(TARGETS zavevuv_shared EXPORT zavevuv
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT libzavevuv${ZAVEVUV_ABI}
    NAMELINK_COMPONENT libzavevuv-dev)
install(TARGETS zavevuv_static EXPORT zavevuv
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT libzavevuv-dev)
install(FILES ${public_header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT libzavevuv-dev)
install(EXPORT zavevuv NAMESPACE zavevuv:: FILE zavevuvTargets.cmake DESTINATION ${cmake_dir}
  COMPONENT libzavevuv-dev)
configure_file(cmake/zavevuvConfig.cmake.in generated/zavevuvConfig.cmake COPYONLY)
write_basic_package_version_file(generated/zavevuvConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/generated/zavevuvConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/generated/zavevuvConfigVersion.cmake
  DESTINATION ${cmake_dir} COMPONENT libzavevuv-dev)

# The pkg-config file names the prefix installed to, known only at install
# time (cmake --install --prefix, or /usr in a package).
install(CODE "
  get_filename_component(prefix \"\${CMAKE_INSTALL_PREFIX}\" ABSOLUTE)
  set(CMAKE_INSTALL_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
  set(CMAKE_INSTALL_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
  set(PROJECT_VERSION \"${PROJECT_VERSION}\")
  configure_file(\"${PROJECT_SOURCE_DIR}/cmake/zavevuv.pc.in\"
    \"${CMAKE_CURRENT_BINARY_DIR}/generated/pc/zavevuv.pc\" @ONLY)
  file(INSTALL \"${CMAKE_CURRENT_BINARY_DIR}/generated/pc/zavevuv.pc\"
    DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig\")"
  COMPONENT libzavevuv-dev)
# The examples, as Debian ships a library's: under the -dev package's doc.
install(FILES examples/launch.c examples/launch.py
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/libzavevuv-dev/examples COMPONENT libzavevuv-dev)

man_page(zavevuv 3 libzavevuv-dev)
